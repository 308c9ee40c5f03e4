// Where the files are found: a given home, a portable folder, an installed tree with the user's
// own copies of the tables; which include cache folders are read and which one is written; the
// writability test; the copies that Edit Definition Files makes.
#include "engine/home.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "tables/file_io.h"
#include "test_support.h"

namespace tqc {
namespace {

namespace fs = std::filesystem;
using V = std::vector<std::string>;

class HomeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tqc_home_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root, ec);
  }
  void Write(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  std::string P() const { return root + "/bin"; }
  std::string S() const { return root + "/share/tqc"; }
  std::string U() const { return root + "/xdg/morlen/tqc"; }
  std::string G() const { return root + "/given"; }
  std::string root;
};

TEST_F(HomeTest, WhereFilesAreFoundAndTheCacheIsKept) {
  struct Case {
    const char* Name;
    bool Given, Portable, Shipped, UserHome;
    V UserFiles;   // the user's own copies
    V Unwritable;  // cache folders that cannot be written, symbolic
    char From;     // 'G' given, 'P' portable, 'I' installed
    V Files;       // where tqc.dat, tqc.typ, tqc.def come from: G, P, S, U or -
    V CacheDirs;   // symbolic, in reading order
    const char* WriteDir;
  };
  const Case cases[] = {
      {"given overrides all",
       true,
       true,
       true,
       true,
       {"tqc.typ"},
       {},
       'G',
       {"G", "G", "-"},
       {"G/inc"},
       "G/inc"},
      {"portable",
       false,
       true,
       true,
       true,
       {"tqc.typ"},
       {},
       'P',
       {"P", "P", "P"},
       {"P/inc", "U/inc"},
       "P/inc"},
      {"portable, read-only",
       false,
       true,
       true,
       true,
       {},
       {"P/inc"},
       'P',
       {"P", "P", "P"},
       {"U/inc", "P/inc"},
       "U/inc"},
      {"installed",
       false,
       false,
       true,
       true,
       {"tqc.typ"},
       {},
       'I',
       {"S", "U", "S"},
       {"U/inc", "S/inc"},
       "U/inc"},
      {"installed, nothing writable",
       false,
       false,
       true,
       true,
       {},
       {"U/inc"},
       'I',
       {"S", "S", "S"},
       {"U/inc", "S/inc"},
       ""},
      {"installed, no home folder",
       false,
       false,
       true,
       false,
       {},
       {},
       'I',
       {"S", "S", "S"},
       {"S/inc"},
       ""},
      {"only the user's copies",
       false,
       false,
       false,
       true,
       {"tqc.dat", "tqc.typ"},
       {},
       'I',
       {"U", "U", "-"},
       {"U/inc", "S/inc"},
       "U/inc"},
  };
  auto real = [&](const std::string& sym) {
    if (sym.empty() || sym == "-") return std::string();
    const std::string base = sym[0] == 'G' ? G() : sym[0] == 'P' ? P() : sym[0] == 'S' ? S() : U();
    return base + sym.substr(1);
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    fs::remove_all(root + "/bin");
    fs::remove_all(root + "/share");
    fs::remove_all(root + "/xdg");
    fs::remove_all(root + "/given");
    fs::create_directories(P());
    Write(G() + "/tqc.dat", "");
    Write(G() + "/tqc.typ", "");
    if (c.Portable)
      for (const char* f : {"tqc.dat", "tqc.typ", "tqc.def"}) Write(P() + "/" + f, "");
    if (c.Shipped)
      for (const char* f : {"tqc.dat", "tqc.typ", "tqc.def"}) Write(S() + "/" + f, "");
    for (const std::string& f : c.UserFiles) Write(U() + "/" + f, "");

    HomeInputs in;
    in.ProgramDir = P();
    in.GivenHome = c.Given ? G() : std::string();
    in.XdgDataHome = c.UserHome ? root + "/xdg" : std::string();
    std::set<std::string> unwritable;
    for (const std::string& u : c.Unwritable) unwritable.insert(real(u));
    in.CanWrite = [&](const std::string& dir, std::string& reason) {
      if (!unwritable.count(dir)) return true;
      reason = "Permission denied";
      return false;
    };
    const HomeLayout h = FindHome(in);
    EXPECT_EQ(static_cast<int>(h.From), c.From == 'G' ? 0 : c.From == 'P' ? 1 : 2);
    auto file = [&](const std::string& sym, const char* name) {
      return sym == "-" ? std::string() : real(sym) + "/" + name;
    };
    EXPECT_EQ(h.Dat, file(c.Files.at(0), "tqc.dat"));
    EXPECT_EQ(h.Typ, file(c.Files.at(1), "tqc.typ"));
    EXPECT_EQ(h.Def, file(c.Files.at(2), "tqc.def"));
    V dirs;
    for (const std::string& d : c.CacheDirs) dirs.push_back(real(d));
    EXPECT_EQ(h.CacheDirs, dirs);
    EXPECT_EQ(h.CacheWriteDir, real(c.WriteDir));
    EXPECT_EQ(h.Help, (fs::path(h.DataDir) / "help_eng.txt").string());
    // Every folder refused for writing is named, with its reason, in the one message.
    if (h.CacheWriteDir.empty()) {
      ASSERT_FALSE(h.CacheRefusals.empty());
      if (c.UserHome) {
        EXPECT_EQ(h.CacheNotKeptText(), "the include cache is not kept: cannot write " + U() +
                                            "/inc (Permission denied)");
      }
    }
  }
}

TEST_F(HomeTest, UserFolderFromTheEnvironment) {
  EXPECT_EQ(UserDataDir("/x/data", "/home/u"), "/x/data/morlen/tqc");
  // A relative XDG_DATA_HOME is ignored.
  EXPECT_EQ(UserDataDir("data", "/home/u"), "/home/u/.local/share/morlen/tqc");
  EXPECT_EQ(UserDataDir("", "/home/u"), "/home/u/.local/share/morlen/tqc");
  EXPECT_EQ(UserDataDir("", ""), "");
}

TEST_F(HomeTest, FolderWritableLooksAtTheNearestExistingFolder) {
  Write(root + "/file", "");
  std::string reason;
  EXPECT_TRUE(FolderWritable(root, reason));
  EXPECT_TRUE(FolderWritable(root + "/a/b/inc", reason)) << "made on first write";
  EXPECT_FALSE(FolderWritable(root + "/file", reason));
  EXPECT_EQ(reason, root + "/file is not a folder");
  EXPECT_FALSE(FolderWritable(root + "/file/inc", reason));
  EXPECT_NE(reason.find(root + "/file"), std::string::npos) << reason;
  if (::geteuid() != 0) {  // root may write anywhere but on a read-only file system
    fs::create_directories(root + "/ro");
    fs::permissions(root + "/ro", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(FolderWritable(root + "/ro/inc", reason));
    EXPECT_EQ(reason, root + "/ro: Permission denied");
    fs::permissions(root + "/ro", fs::perms::owner_all);
  }
}

TEST_F(HomeTest, CopiesOfTheShippedFilesNeverReplaceTheUsers) {
  HomeLayout h;
  h.DataDir = S();
  h.UserDir = U();
  Write(S() + "/tqc.dat", "shipped dat");
  Write(S() + "/tqc.typ", "shipped typ");
  Write(S() + "/tqc.def", "shipped def");
  Write(U() + "/tqc.typ", "mine");
  // A shipped file the user cannot write still gives a copy the user can edit.
  fs::permissions(S() + "/tqc.dat", fs::perms::owner_read | fs::perms::group_read);
  EXPECT_EQ(CopyShippedDefinitionFiles(h), (V{"tqc.dat", "tqc.def"}));
  EXPECT_EQ(testing::ReadAll(U() + "/tqc.dat"), "shipped dat");
  EXPECT_EQ(testing::ReadAll(U() + "/tqc.typ"), "mine");
  EXPECT_EQ(testing::ReadAll(U() + "/tqc.def"), "shipped def");
  EXPECT_NE(fs::status(U() + "/tqc.dat").permissions() & fs::perms::owner_write, fs::perms::none);
  Write(U() + "/tqc.dat", "edited");
  EXPECT_EQ(CopyShippedDefinitionFiles(h), V{});
  EXPECT_EQ(testing::ReadAll(U() + "/tqc.dat"), "edited");
  // The copies are then the files in use.
  h.From = HomeLayout::Source::Installed;
  PickDefinitionFiles(h);
  EXPECT_EQ(h.Dat, U() + "/tqc.dat");
  // A copy cut short (here by the file-size limit, in a child) leaves no half table behind.
  fs::remove(U() + "/tqc.def");
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    InstallWriteSignalHandlers();  // the limit fails the write instead of ending the child
    const rlimit limit{4, 4};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
      CopyShippedDefinitionFiles(h);
    } catch (const std::runtime_error&) {
      ::_exit(0);
    }
    ::_exit(1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  EXPECT_FALSE(fs::exists(U() + "/tqc.def"));
  h.UserDir.clear();
  EXPECT_THROW(CopyShippedDefinitionFiles(h), std::runtime_error);
}

}  // namespace
}  // namespace tqc
