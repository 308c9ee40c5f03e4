// Safe writes: what a replaced file keeps, and that a failed write leaves the old file and no
// temporary file behind, with the path and the system's reason in the message.
#include "tables/file_io.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>

#include "test_support.h"

namespace tqc {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;

class WriteFileSafelyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tqc_write_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    if (mounted_) ::umount2(mounted_->c_str(), MNT_DETACH);
    fs::remove_all(dir_);
  }
  std::string Put(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    return (dir_ / name).string();
  }
  // Names of temporary files left in a folder.
  static std::vector<std::string> Litter(const fs::path& folder) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder))
      if (e.path().filename().string().starts_with(".tqc-")) out.push_back(e.path().string());
    return out;
  }
  static unsigned Mode(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
  }
  // A 64 KB file system at dir/name, when this process may mount one.
  std::optional<fs::path> SmallFileSystem(const std::string& name) {
    const fs::path at = dir_ / name;
    fs::create_directories(at);
    if (::mount("tqc-test", at.c_str(), "tmpfs", 0, "size=64k") != 0) return std::nullopt;
    mounted_ = at;
    return at;
  }
  fs::path dir_;
  std::optional<fs::path> mounted_;
};

TEST_F(WriteFileSafelyTest, AReplacedFileKeepsItsModeItsLinksAndFitsAnyName) {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  const std::string fresh = (dir_ / "new.pas").string();
  ASSERT_TRUE(WriteFileSafely(fresh, "one"));
  EXPECT_EQ(ReadAll(fresh), "one");
  EXPECT_EQ(Mode(fresh), 0666u & ~mask);

  // The old file's mode stays; its other name keeps the old bytes (a new file took its place).
  const std::string old = Put("old.pas", "old");
  ::chmod(old.c_str(), 0640);
  fs::create_hard_link(old, dir_ / "other.pas");
  ASSERT_TRUE(WriteFileSafely(old, "two"));
  EXPECT_EQ(ReadAll(old), "two");
  EXPECT_EQ(Mode(old), 0640u);
  EXPECT_EQ(ReadAll(dir_ / "other.pas"), "old");

  // A link is followed and stays a link.
  const std::string real = Put("real.pas", "real");
  fs::create_symlink(real, dir_ / "link.pas");
  ASSERT_TRUE(WriteFileSafely((dir_ / "link.pas").string(), "three"));
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.pas"));
  EXPECT_EQ(ReadAll(real), "three");

  // A link that points nowhere yet is followed too: the file is made where it points.
  fs::create_symlink("made/there.pas", dir_ / "dangling.pas");
  fs::create_directories(dir_ / "made");
  ASSERT_TRUE(WriteFileSafely((dir_ / "dangling.pas").string(), "made"));
  EXPECT_TRUE(fs::is_symlink(dir_ / "dangling.pas"));
  EXPECT_EQ(ReadAll(dir_ / "made" / "there.pas"), "made");

  // The temporary name is short: a name near the limit of 255 bytes still works.
  const std::string longName = (dir_ / (std::string(251, 'n') + ".pas")).string();
  ASSERT_TRUE(WriteFileSafely(longName, "four"));
  EXPECT_EQ(ReadAll(longName), "four");

  // CreateOnly never replaces.
  FileResult kept = WriteFileSafely(old, "five", WriteMode::CreateOnly);
  EXPECT_EQ(kept.Error, EEXIST);
  EXPECT_EQ(kept.Message, "cannot create " + old + ": File exists");
  EXPECT_EQ(ReadAll(old), "two");
  ASSERT_TRUE(WriteFileSafely((dir_ / "six.pas").string(), "six", WriteMode::CreateOnly));
  EXPECT_EQ(ReadAll(dir_ / "six.pas"), "six");
  EXPECT_EQ(Litter(dir_), std::vector<std::string>());
}

TEST_F(WriteFileSafelyTest, AFailedWriteKeepsTheOldFileAndNamesPathAndReason) {
  struct Case {
    const char* Name;
    // Prepares the target (holding "old" when it is a file) and returns its path; empty: the
    // case cannot run here.
    std::function<std::string()> Target;
    std::string Bytes;
    const char* Message;   // what follows the path
    bool InChild = false;  // run the write in a child process with a small file-size limit
  } cases[] = {
      {"folder",
       [&] {
         fs::create_directories(dir_ / "d.pas");
         return (dir_ / "d.pas").string();
       },
       "x", "cannot write %: Is a directory"},
      {"missing folder", [&] { return (dir_ / "no" / "a.pas").string(); }, "x",
       "cannot create %: No such file or directory"},
      {"full device", [] { return std::string("/dev/full"); }, "x",
       "cannot write %: No space left on device"},
      {"full file system",
       [&] {
         auto fsys = SmallFileSystem("small");
         if (!fsys) return std::string();
         std::ofstream(*fsys / "a.pas", std::ios::binary) << "old";
         return (*fsys / "a.pas").string();
       },
       std::string(200000, 'x'), "cannot write %: No space left on device"},
      {"file-size limit", [&] { return Put("a.pas", "old"); }, std::string(100000, 'x'),
       "cannot write %: File too large", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string path = c.Target();
    if (path.empty()) continue;
    const std::string before = fs::is_regular_file(path) ? ReadAll(path) : std::string();
    std::string expected = c.Message;
    expected.replace(expected.find('%'), 1, path);
    if (c.InChild) {
      const pid_t pid = ::fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        // Without the ignored SIGXFSZ the limit would end the child instead of failing the write.
        InstallWriteSignalHandlers();
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const FileResult r = WriteFileSafely(path, c.Bytes);
        ::_exit(!r && r.Message == expected ? 0 : 1);
      }
      int status = 0;
      ::waitpid(pid, &status, 0);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    } else {
      const FileResult r = WriteFileSafely(path, c.Bytes);
      EXPECT_FALSE(r);
      EXPECT_EQ(r.Message, expected);
    }
    if (!before.empty()) EXPECT_EQ(ReadAll(path), before);
    const fs::path folder = fs::path(path).parent_path();
    if (fs::is_directory(folder) && folder != "/dev")
      EXPECT_EQ(Litter(folder), std::vector<std::string>());
  }
}

TEST_F(WriteFileSafelyTest, TheFirstWriteIntoAFolderRemovesTemporaryFilesOfEndedProcesses) {
  // A process killed outright left its temporary file; another one still runs.
  const pid_t ended = ::fork();
  ASSERT_GE(ended, 0);
  if (ended == 0) ::_exit(0);
  ::waitpid(ended, nullptr, 0);
  const std::string stale = ".tqc-" + std::to_string(ended) + "-3.tmp";
  const std::string running = ".tqc-" + std::to_string(::getppid()) + "-4.tmp";
  for (const std::string& name : {stale, running, std::string(".tqc-notes.tmp")}) Put(name, "x");
  ASSERT_TRUE(WriteFileSafely((dir_ / "a.pas").string(), "a"));
  EXPECT_FALSE(fs::exists(dir_ / stale));
  EXPECT_TRUE(fs::exists(dir_ / running));
  EXPECT_TRUE(fs::exists(dir_ / ".tqc-notes.tmp"));
}

}  // namespace
}  // namespace tqc
