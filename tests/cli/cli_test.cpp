// tqc-convert as a user runs it: options, exit statuses, messages and the files it writes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "cli/cli_options.h"
#include "test_support.h"

namespace tqc {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;

struct RunResult {
  int Status = -1;
  std::string Out, Err;
};

void WriteFile(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

// A header of `count` macros: its unit is large enough that writing it takes a while.
std::string ManyDefines(int count) {
  std::string text;
  for (int i = 0; i < count; ++i)
    text += "#define NAME_" + std::to_string(i) + " " + std::to_string(i) + "\n";
  return text;
}

// Temporary files of safe writes left in a folder.
std::vector<std::string> Litter(const fs::path& folder) {
  std::vector<std::string> out;
  if (!fs::is_directory(folder)) return out;
  for (const auto& e : fs::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    if (name.starts_with(".tqc-") || name.ends_with(".tmp")) out.push_back(name);
  }
  return out;
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("tqc_cli_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "home");
    for (const char* f : {"tqc.dat", "tqc.typ"})
      fs::copy_file(fs::path(TQC_DATA_DIR) / f, dir / "home" / f);
  }
  void TearDown() override {
    if (mounted) ::umount2(mounted->c_str(), MNT_DETACH);
    fs::remove_all(dir);
  }

  // Starts `argv` (a shell command line when `shell`) with standard error in err.txt and the
  // signals at their default action, whatever this process was started with.
  pid_t Start(std::vector<std::string> argv) {
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, (dir / "err.txt").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    return pid;
  }
  std::vector<std::string> ConvertArgs(std::vector<std::string> more) {
    std::vector<std::string> a{TQC_CONVERT_EXE, "--home", (dir / "home").string(), "--date",
                               "2026-12-07"};
    a.insert(a.end(), more.begin(), more.end());
    return a;
  }
  std::optional<fs::path> mounted;

  // `shell` runs first in the same shell (a limit to set, for example).
  RunResult Run(const std::string& args, const std::string& shell = "") {
    std::string cmd = shell + std::string(TQC_CONVERT_EXE) + " --home '" + (dir / "home").string() +
                      "' --date 2026-12-07 " + args + " 2>'" + (dir / "err.txt").string() + "'";
    RunResult r;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.Out.append(buf, n);
    int st = ::pclose(p);
    r.Status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    r.Err = ReadAll(dir / "err.txt");
    return r;
  }
  fs::path dir;
};

TEST_F(CliTest, ConvertsBesideTheInputWithCrLfAndASummary) {
  WriteFile(dir / "a.h", "#line 1\n");
  auto r = Run("'" + (dir / "a.h").string() + "'");
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Err, "a.h -> a.pas: 17 lines, 1 errors\n");
  std::string unit = ReadAll(dir / "a.pas");
  EXPECT_NE(unit.find("unit a;\r\n"), std::string::npos);
  EXPECT_NE(unit.find("// Error :  #line 1\r\n"), std::string::npos);
  EXPECT_TRUE(unit.ends_with("end.\r\n"));
}

TEST_F(CliTest, OutputToStandardOutputAndToAFolder) {
  WriteFile(dir / "a.h", "");
  WriteFile(dir / "b.h", "");
  auto r = Run("-o - '" + (dir / "a.h").string() + "'");
  EXPECT_EQ(r.Status, 0);
  EXPECT_TRUE(r.Out.starts_with("//  Version : tqc Ver."));
  EXPECT_NE(r.Out.find("//     Date : 07 Dec 2026\r\n"), std::string::npos);
  // The output folder is made when it does not exist yet.
  r = Run("--out-dir '" + (dir / "out").string() + "' '" + (dir / "a.h").string() + "' '" +
          (dir / "b.h").string() + "'");
  EXPECT_EQ(r.Status, 0);
  EXPECT_TRUE(fs::exists(dir / "out" / "a.pas"));
  EXPECT_TRUE(fs::exists(dir / "out" / "b.pas"));
}

TEST_F(CliTest, AnUnchangedUnitIsLeftAloneAndAChangedOneRewritten) {
  WriteFile(dir / "a.h", "#define A 1\n");
  ASSERT_EQ(Run("'" + (dir / "a.h").string() + "'").Status, 0);
  const std::string first = ReadAll(dir / "a.pas");
  // A hard link shares the file's bytes; a second name that keeps its count shows the file
  // was not replaced, and an old date shows it was not written.
  fs::create_hard_link(dir / "a.pas", dir / "link.pas");
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(24);
  fs::last_write_time(dir / "a.pas", old);
  auto r = Run("'" + (dir / "a.h").string() + "'");
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Err, "a.h -> a.pas: 18 lines, 0 errors\n");
  EXPECT_EQ(ReadAll(dir / "a.pas"), first);
  EXPECT_EQ(fs::last_write_time(dir / "a.pas"), old) << "an unchanged unit was written again";

  // A hand-edited unit differs from the conversion: it is replaced by a whole new file, so
  // the other name of the old file keeps the old text.
  WriteFile(dir / "a.pas", first + "// edited\r\n");
  ASSERT_EQ(Run("'" + (dir / "a.h").string() + "'").Status, 0);
  EXPECT_EQ(ReadAll(dir / "a.pas"), first);
  WriteFile(dir / "a.h", "#define A 2\n");
  ASSERT_EQ(Run("'" + (dir / "a.h").string() + "'").Status, 0);
  EXPECT_NE(ReadAll(dir / "a.pas").find("A\t= 2;"), std::string::npos);
  EXPECT_EQ(ReadAll(dir / "link.pas"), first + "// edited\r\n");
}

TEST_F(CliTest, AFailedWriteKeepsTheOldUnitAndLeavesNoTemporaryFile) {
  fs::create_directories(dir / "small");
  fs::create_directories(dir / "big");
  WriteFile(dir / "small" / "w.h", "#define A 1\n");
  WriteFile(dir / "big" / "w.h", ManyDefines(20000));
  struct Case {
    const char* Name;
    std::string Shell;  // run first
    fs::path Out;       // empty: the case cannot run here
    const char* Reason;
  } cases[] = {
      {"full file system", "", dir / "tmpfs", "No space left on device"},
      {"file-size limit", "ulimit -f 64; ", dir / "limited", "File too large"},
  };
  fs::create_directories(cases[0].Out);
  if (::mount("tqc-test", cases[0].Out.c_str(), "tmpfs", 0, "size=64k") == 0)
    mounted = cases[0].Out;
  else
    cases[0].Out.clear();  // not allowed to mount here: the limit still makes writes fail
  for (const Case& c : cases) {
    if (c.Out.empty()) continue;
    SCOPED_TRACE(c.Name);
    const std::string out = "--out-dir '" + c.Out.string() + "' ";
    ASSERT_EQ(Run(out + "'" + (dir / "small" / "w.h").string() + "'", c.Shell).Status, 0);
    const std::string old = ReadAll(c.Out / "w.pas");
    ASSERT_NE(old.find("unit w;"), std::string::npos);
    auto r = Run(out + "'" + (dir / "big" / "w.h").string() + "'", c.Shell);
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find("cannot write " + (c.Out / "w.pas").string() + ": " + c.Reason),
              std::string::npos)
        << r.Err;
    EXPECT_TRUE(ReadAll(c.Out / "w.pas") == old) << ReadAll(c.Out / "w.pas").size() << " bytes";
    EXPECT_EQ(Litter(c.Out), std::vector<std::string>());
    EXPECT_EQ(Litter(dir / "home" / "inc"), std::vector<std::string>());
  }
}

TEST_F(CliTest, AnInterruptedWriteLeavesAWholeUnitAndNoTemporaryFile) {
  WriteFile(dir / "big.h", ManyDefines(150000));
  const fs::path out = dir / "out";
  fs::create_directories(out);
  for (int sig : {SIGINT, SIGTERM, SIGQUIT, SIGUSR1}) {
    SCOPED_TRACE(sig);
    WriteFile(out / "big.pas", "old");
    const int watch = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, out.c_str(), IN_CREATE), 0);
    const pid_t pid = Start(ConvertArgs({"--out-dir", out.string(), (dir / "big.h").string()}));
    ASSERT_GT(pid, 0);
    // The signal goes as soon as the temporary file of the unit exists.
    bool seen = false, ended = false;
    int status = 0;
    while (!seen && !ended) {
      pollfd p{watch, POLLIN, 0};
      if (::poll(&p, 1, 100) > 0) {
        alignas(inotify_event) char buf[4096];
        const ssize_t n = ::read(watch, buf, sizeof buf);
        for (ssize_t at = 0; at < n;) {
          const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
          if (e->len > 0 && std::string(e->name).starts_with(".tqc-")) seen = true;
          at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        }
      }
      if (!seen) ended = ::waitpid(pid, &status, WNOHANG) == pid;
    }
    if (seen) {
      ::kill(pid, sig);
      ::waitpid(pid, &status, 0);
    }
    ::close(watch);
    EXPECT_TRUE(seen) << "the unit was not written through a temporary file";
    // On a busy machine the run may finish its write before the signal comes.
    EXPECT_TRUE((WIFSIGNALED(status) && WTERMSIG(status) == sig) ||
                (WIFEXITED(status) && WEXITSTATUS(status) == 0))
        << "status " << status;
    const std::string unit = ReadAll(out / "big.pas");
    EXPECT_TRUE(unit == "old" || unit.ends_with("end.\r\n")) << unit.size() << " bytes";
    EXPECT_EQ(Litter(out), std::vector<std::string>());
    EXPECT_EQ(Litter(dir / "home" / "inc"), std::vector<std::string>());
  }
}

TEST_F(CliTest, ConcurrentRunsNeverShowATornUnit) {
  // Two runs write the unit of a different x.h into one folder, over and over.
  fs::create_directories(dir / "a");
  fs::create_directories(dir / "b");
  WriteFile(dir / "a" / "x.h", ManyDefines(20000));
  WriteFile(dir / "b" / "x.h", ManyDefines(30000));
  std::string whole[2];
  for (int i = 0; i < 2; ++i) {
    const fs::path header = dir / (i == 0 ? "a" : "b") / "x.h";
    ASSERT_EQ(Run("-o '" + (dir / "expected.pas").string() + "' '" + header.string() + "'").Status,
              0);
    whole[i] = ReadAll(dir / "expected.pas");
  }
  const fs::path out = dir / "out";
  std::string loops;
  for (const char* sub : {"a", "b"}) {
    std::string cmd;
    for (const std::string& a :
         ConvertArgs({"--out-dir", out.string(), (dir / sub / "x.h").string()}))
      cmd += "'" + a + "' ";
    loops += "(for i in 1 2 3 4 5 6 7 8 9 10; do " + cmd + "|| exit 1; done) & " + sub + "=$!; ";
  }
  const pid_t pid = Start({"sh", "-c", loops + "wait $a; s=$?; wait $b && [ $s -eq 0 ]"});
  ASSERT_GT(pid, 0);
  int reads = 0, torn = 0, status = 0;
  while (::waitpid(pid, &status, WNOHANG) != pid) {
    if (!fs::exists(out / "x.pas")) continue;
    const std::string unit = ReadAll(out / "x.pas");
    ++reads;
    if (unit != whole[0] && unit != whole[1]) ++torn;
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadAll(dir / "err.txt");
  EXPECT_GT(reads, 0);
  EXPECT_EQ(torn, 0) << "of " << reads << " reads";
  const std::string last = ReadAll(out / "x.pas");
  EXPECT_TRUE(last == whole[0] || last == whole[1]);
}

// The units and include caches a run left in `out` and in the home's cache folder.
std::map<std::string, std::string> Snapshot(const fs::path& out, const fs::path& inc) {
  std::map<std::string, std::string> files;
  for (const fs::path& folder : {out, inc})
    for (const auto& e : fs::directory_iterator(folder))
      files[e.path().string()] = ReadAll(e.path());
  return files;
}

TEST_F(CliTest, IdenticalOrderRunsGiveIdenticalUnitsWhateverTheCachesHeld) {
  struct Case {
    const char* Name;
    std::vector<std::pair<const char*, const char*>> Headers;
  } cases[] = {
      // A routine type of a.h that b.h's parameter needs, both including each other.
      {"two headers that include each other",
       {{"a.h", "#include \"b.h\"\ntypedef int A_FN(int x);\n"},
        {"b.h", "#include \"a.h\"\nint __stdcall UseIt(A_FN *cb);\n"}}},
      {"a cycle of three",
       {{"a.h", "#include \"b.h\"\ntypedef int A_FN(int x);\ntypedef C_T *PC_T;\n"},
        {"b.h", "#include \"c.h\"\ntypedef struct { int b; } B_T;\nvoid UseA(A_FN *f);\n"},
        {"c.h", "#include \"a.h\"\ntypedef struct { int c; } C_T;\nvoid UseB(B_T *b);\n"}}},
  };
  const fs::path out = dir / "out", inc = dir / "home" / "inc";
  for (const Case& c : cases) {
    for (const char* mode : {"", "--compile-ready "}) {
      SCOPED_TRACE(std::string(c.Name) + " " + mode);
      fs::remove_all(out);
      fs::remove_all(inc);
      std::string args = std::string(mode) + "--order --out-dir '" + out.string() + "'";
      for (const auto& [name, text] : c.Headers) {
        WriteFile(dir / name, text);
        args += " '" + (dir / name).string() + "'";
      }
      ASSERT_EQ(Run(args).Status, 0);
      const auto first = Snapshot(out, inc);
      for (int run = 2; run <= 4; ++run) {
        ASSERT_EQ(Run(args).Status, 0);
        EXPECT_EQ(Snapshot(out, inc), first) << "run " << run;
      }
      // What a run leaves does not depend on what the caches held before it: neither on
      // those of a run in the other mode nor on caches that say nothing.
      Run((*mode ? std::string() : std::string("--compile-ready ")) +
          args.substr(std::string_view(mode).size()));
      ASSERT_EQ(Run(args).Status, 0);
      EXPECT_EQ(Snapshot(out, inc), first) << "after a run in the other mode";
      for (const auto& [name, text] : c.Headers)
        WriteFile(inc / (fs::path(name).stem().string() + ".tqc"), "[FUNC]\r\n[INC]\r\n");
      ASSERT_EQ(Run(args).Status, 0);
      EXPECT_EQ(Snapshot(out, inc), first) << "after empty caches";
      // The routine type of a.h stays in its cache.
      EXPECT_NE(ReadAll(inc / "a.tqc").find("[FUNC]\r\nA_FN\r\n"), std::string::npos);
    }
  }
}

TEST_F(CliTest, UnreadableInputIsNamedAndTheOthersStillConvert) {
  WriteFile(dir / "b.h", "");
  auto r = Run("'" + (dir / "missing.h").string() + "' '" + (dir / "b.h").string() + "'");
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("tqc-convert: cannot open " + (dir / "missing.h").string() +
                       ": No such file or directory\n"),
            std::string::npos)
      << r.Err;
  EXPECT_TRUE(fs::exists(dir / "b.pas"));
}

TEST_F(CliTest, UnwritableOutputIsAFailure) {
  WriteFile(dir / "a.h", "");
  auto r = Run("-o '" + (dir / "no" / "such" / "dir" / "a.pas").string() + "' '" +
               (dir / "a.h").string() + "'");
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(
      r.Err.find("tqc-convert: cannot create " + (dir / "no" / "such" / "dir" / "a.pas").string() +
                 ": No such file or directory\n"),
      std::string::npos)
      << r.Err;
  EXPECT_EQ(r.Err.find("lines,"), std::string::npos);
}

TEST_F(CliTest, ABatchThatKeptNoIncludeCacheFails) {
  // A folder where a cache would go makes that one write fail.
  WriteFile(dir / "x.h", "typedef int X;\n");
  WriteFile(dir / "y.h", "typedef int Y;\n");
  fs::create_directories(dir / "home" / "inc" / "x.tqc");
  auto r = Run("'" + (dir / "x.h").string() + "'");
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("tqc-convert: warning: cannot write include cache " +
                       (dir / "home" / "inc" / "x.tqc").string() + ": Is a directory\n"),
            std::string::npos)
      << r.Err;
  EXPECT_NE(r.Err.find("tqc-convert: no include cache could be written (1 failure)\n"),
            std::string::npos)
      << r.Err;
  EXPECT_TRUE(fs::exists(dir / "x.pas"));
  // One cache kept: the failure of the other is a warning.
  r = Run("'" + (dir / "x.h").string() + "' '" + (dir / "y.h").string() + "'");
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_TRUE(fs::exists(dir / "home" / "inc" / "y.tqc"));
}

TEST_F(CliTest, MissingDefinitionFilesStopTheRun) {
  WriteFile(dir / "a.h", "");
  const std::string home = (dir / "home").string();
  fs::remove(dir / "home" / "tqc.dat");
  fs::remove(dir / "home" / "tqc.typ");
  auto r = Run("'" + (dir / "a.h").string() + "'");
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err, "tqc.dat not found.\nFolder: " + home + "\n");
  fs::copy_file(fs::path(TQC_DATA_DIR) / "tqc.dat", dir / "home" / "tqc.dat");
  r = Run("'" + (dir / "a.h").string() + "'");
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err, "tqc.typ not found.\nFolder: " + home + "\n");
  EXPECT_FALSE(fs::exists(dir / "a.pas"));

  // A home that may not be entered: the reason, not only "not found".
  // Root enters any folder: the run then takes the identity of a user for whom it is closed.
  const bool root = ::geteuid() == 0;
  fs::permissions(dir, fs::perms::all);
  fs::permissions(dir / "home", root ? fs::perms::owner_all : fs::perms::none);
  r = Run("'" + (dir / "a.h").string() + "'",
          root ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "");
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err, "tqc.dat not found.\nFolder: " + home + " (Permission denied)\n");
  fs::permissions(dir / "home", fs::perms::all);

  // Present but unreadable: never converted with an empty table.
  fs::create_directories(dir / "home" / "tqc.typ");
  r = Run("'" + (dir / "a.h").string() + "'");
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err, "tqc-convert: cannot read " + home + "/tqc.typ: Is a directory\n");
  EXPECT_FALSE(fs::exists(dir / "a.pas"));
  // An unreadable tqc.def is only a warning.
  fs::remove(dir / "home" / "tqc.typ");
  fs::copy_file(fs::path(TQC_DATA_DIR) / "tqc.typ", dir / "home" / "tqc.typ");
  fs::create_directories(dir / "home" / "tqc.def");
  r = Run("'" + (dir / "a.h").string() + "'");
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Err, "tqc-convert: warning: cannot read " + home +
                       "/tqc.def: Is a directory\na.h -> a.pas: 16 lines, 0 errors\n");
}

TEST_F(CliTest, AUnitThatWouldReplaceAnInputOrAnotherInputsUnitIsRefused) {
  const std::string d = dir.string();
  struct Case {
    const char* Name;
    std::string Args;
    std::string Refusal;    // what follows "tqc-convert: "
    std::string Converted;  // a unit that must exist afterwards (the batch went on)
  } cases[] = {
      {"the input as output", "-o " + d + "/self.h " + d + "/self.h",
       d + "/self.h: unit not written: " + d + "/self.h is the input " + d + "/self.h", ""},
      {"a hard link of the input", "-o " + d + "/hard.h " + d + "/self.h",
       d + "/self.h: unit not written: " + d + "/hard.h is the input " + d + "/self.h", ""},
      {"a link to the input", "-o " + d + "/soft.h " + d + "/self.h",
       d + "/self.h: unit not written: " + d + "/soft.h is the input " + d + "/self.h", ""},
      {"a header named like its unit", d + "/like.pas " + d + "/c.h",
       d + "/like.pas: unit not written: " + d + "/like.pas is the input " + d + "/like.pas",
       "c.pas"},
      {"two headers of one name into one folder",
       "--out-dir " + d + "/out " + d + "/a/x.h " + d + "/b/x.h " + d + "/c.h",
       d + "/b/x.h: unit not written: " + d + "/out/x.pas is already the unit of " + d + "/a/x.h",
       "out/c.pas"},
      {"a header and an IDL file of one name", d + "/a/x.h " + d + "/a/x.idl " + d + "/c.h",
       d + "/a/x.idl: unit not written: " + d + "/a/x.pas is already the unit of " + d + "/a/x.h",
       "c.pas"},
      // Units apart, but one include cache.
      {"two headers of one name beside their inputs", d + "/a/x.h " + d + "/b/x.h " + d + "/c.h",
       d + "/b/x.h: unit not written: the include cache " + d +
           "/home/inc/x.tqc is already that of " + d + "/a/x.h",
       "c.pas"},
  };
  const std::string self = "typedef int SELF(int);\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    for (const char* name : {"self.h", "hard.h", "soft.h", "like.pas", "c.h", "out", "a", "b"})
      fs::remove_all(dir / name);
    fs::create_directories(dir / "a");
    fs::create_directories(dir / "b");
    WriteFile(dir / "self.h", self);
    fs::create_hard_link(dir / "self.h", dir / "hard.h");
    fs::create_symlink(dir / "self.h", dir / "soft.h");
    WriteFile(dir / "like.pas", "typedef int LIKE(int);\n");
    WriteFile(dir / "c.h", "#define C 1\n");
    WriteFile(dir / "a" / "x.h", "typedef int FROM_A(int);\n");
    WriteFile(dir / "a" / "x.idl", "typedef int FROM_IDL(int);\n");
    WriteFile(dir / "b" / "x.h", "typedef int FROM_B(int);\n");
    fs::remove_all(dir / "home" / "inc");
    auto r = Run(c.Args);
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find("tqc-convert: " + c.Refusal + "\n"), std::string::npos) << r.Err;
    // No input changed; the first of two inputs kept its unit.
    EXPECT_EQ(ReadAll(dir / "self.h"), self);
    EXPECT_TRUE(fs::is_symlink(dir / "soft.h"));
    EXPECT_EQ(ReadAll(dir / "like.pas"), "typedef int LIKE(int);\n");
    for (const char* unit : {"out/x.pas", "a/x.pas"}) {
      if (fs::exists(dir / unit)) {
        EXPECT_NE(ReadAll(dir / unit).find("FROM_A"), std::string::npos) << unit;
      }
    }
    if (!c.Converted.empty()) EXPECT_TRUE(fs::exists(dir / c.Converted)) << c.Converted;
    // A refused input wrote nothing: no include cache of its own, none over another's.
    EXPECT_FALSE(fs::exists(dir / "home" / "inc" / "self.tqc"));
    EXPECT_FALSE(fs::exists(dir / "home" / "inc" / "like.tqc"));
    if (fs::exists(dir / "home" / "inc" / "x.tqc")) {
      const std::string x = ReadAll(dir / "home" / "inc" / "x.tqc");
      EXPECT_NE(x.find("FROM_A"), std::string::npos) << x;
    }
  }
}

TEST_F(CliTest, ATooLargeInputIsNamedAndTheBatchGoesOn) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer cannot run under a memory limit";
#endif
  // Text at its start, then a hole (zeros that take no room on disk), read under a limit of
  // 128 MB: a 256 MB header is refused for its size before it is read, a 32 MB one at its
  // first NUL byte.
  const std::string big = (dir / "big.h").string(), holed = (dir / "holed.h").string();
  WriteFile(big, ManyDefines(1000));
  fs::resize_file(big, std::uintmax_t{1} << 28);
  WriteFile(holed, ManyDefines(1000));
  const std::uintmax_t text = fs::file_size(holed);
  fs::resize_file(holed, std::uintmax_t{1} << 25);
  WriteFile(dir / "small.h", "#define SMALL 1\n");
  for (const char* mode : {"", "--order "}) {
    SCOPED_TRACE(mode);
    fs::remove(dir / "small.pas");
    auto r = Run(
        std::string(mode) + "'" + big + "' '" + holed + "' '" + (dir / "small.h").string() + "'",
        "ulimit -v 131072; ");
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find("tqc-convert: cannot read " + big +
                         ": File too large (256 MB; files are read up to 64 MB)\n"),
              std::string::npos)
        << r.Err;
    EXPECT_NE(r.Err.find("tqc-convert: " + holed + ": not a text file (a NUL byte at offset " +
                         std::to_string(text) + ")\n"),
              std::string::npos)
        << r.Err;
    EXPECT_TRUE(fs::exists(dir / "small.pas"));
    EXPECT_FALSE(fs::exists(dir / "big.pas"));
    EXPECT_FALSE(fs::exists(dir / "holed.pas"));
  }
}

TEST_F(CliTest, OnlyRegularFilesAreReadAndTheBatchGoesOn) {
  // A named pipe would wait for a writer for ever, a device would never end: both are refused
  // at once, also by the scan of --order. A run that hangs is ended after a minute.
  WriteFile(dir / "a.h", "#define A 1\n");
  WriteFile(dir / "b.h", "#include \"a.h\"\n#define B 1\n");
  ASSERT_EQ(::mkfifo((dir / "f.h").c_str(), 0644), 0);
  for (const char* mode : {"", "--order "}) {
    SCOPED_TRACE(mode);
    fs::remove(dir / "a.pas");
    fs::remove(dir / "b.pas");
    auto r = Run(std::string(mode) + "'" + (dir / "b.h").string() + "' '" + (dir / "f.h").string() +
                     "' /dev/zero '" + (dir / "a.h").string() + "'",
                 "timeout 60 ");
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find("tqc-convert: cannot read " + (dir / "f.h").string() +
                         ": not a regular file (a named pipe)\n"),
              std::string::npos)
        << r.Err;
    EXPECT_NE(
        r.Err.find("tqc-convert: cannot read /dev/zero: not a regular file (a character device)\n"),
        std::string::npos)
        << r.Err;
    EXPECT_TRUE(fs::exists(dir / "a.pas"));
    EXPECT_TRUE(fs::exists(dir / "b.pas"));
  }
}

TEST_F(CliTest, MarkedTextIsReadAsTextAndABinaryFileIsRefused) {
  // A guard around a comment with a non-ASCII character, in each encoding.
  const std::string text = "#ifndef G_H\n#define G_H\n// caf\xC3\xA9\n#endif\n";
  auto utf16 = [&](bool big) {
    std::string out = big ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : std::string("#ifndef G_H\n#define G_H\n// caf")) {
      out += big ? std::string(1, '\0') + c : std::string(1, c) + '\0';
    }
    out += big ? std::string("\0\xE9", 2) : std::string("\xE9\0", 2);
    for (char c : std::string("\n#endif\n"))
      out += big ? std::string(1, '\0') + c : std::string(1, c) + '\0';
    return out;
  };
  // UTF-16 without its mark, and text with a NUL byte past the first 8 KB.
  std::string unmarked;
  for (char c : text) unmarked += std::string(1, c) + '\0';
  const std::string late = "/*" + std::string(9000, ' ') + "*/\n" + std::string(1, '\0') + text;
  struct Case {
    const char* Folder;
    std::string Bytes;
    std::string Summary;  // empty: refused
    std::string Why = "not a text file";
  } cases[] = {
      {"plain", text, "g.h -> g.pas: 20 lines, 0 errors\n"},
      {"utf8", "\xEF\xBB\xBF" + text, "g.h -> g.pas: 20 lines, 0 errors\n"},
      {"utf16le", utf16(false), "g.h -> g.pas: 20 lines, 0 errors (transcoded from UTF-16LE)\n"},
      {"utf16be", utf16(true), "g.h -> g.pas: 20 lines, 0 errors (transcoded from UTF-16BE)\n"},
      {"binary",
       std::string("\x7F"
                   "ELF\x02\x01\x01\0\0\0",
                   10) +
           text,
       ""},
      {"unmarked", unmarked, "", "not a text file (no byte-order mark: UTF-16?)"},
      {"late", late, "", "not a text file (a NUL byte at offset 9005)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Folder);
    fs::create_directories(dir / c.Folder);
    WriteFile(dir / c.Folder / "g.h", c.Bytes);
    auto r = Run("'" + (dir / c.Folder / "g.h").string() + "'");
    if (c.Summary.empty()) {
      EXPECT_EQ(r.Status, 1);
      EXPECT_EQ(r.Err, "tqc-convert: " + (dir / c.Folder / "g.h").string() + ": " + c.Why + "\n");
      EXPECT_FALSE(fs::exists(dir / c.Folder / "g.pas"));
      continue;
    }
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Err, c.Summary);
    EXPECT_EQ(ReadAll(dir / c.Folder / "g.pas"), ReadAll(dir / "plain" / "g.pas"));
  }
}

TEST_F(CliTest, PrintHomeNamesTheFilesInUse) {
  const std::string home = (dir / "home").string();
  auto r = Run("--print-home");
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Out.substr(0, r.Out.find("settings: ")),
            "home: " + home + " (given with --home)\ntqc.dat: " + home +
                "/tqc.dat\ntqc.typ: " + home + "/tqc.typ\ntqc.def: not found\ntqc.exp: not found\nhelp: " + home +
                "/help_eng.txt (not found)\ninclude cache: " + home + "/inc (written and read)\n");
  fs::remove(dir / "home" / "tqc.typ");
  r = Run("--print-home");
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Out.find("\ntqc.typ: not found\n"), std::string::npos) << r.Out;
}

TEST_F(CliTest, UsageErrorsExitWithTwo) {
  for (const char* args :
       {"", "--call fastcall x.h", "--bogus x.h", "-o a.pas x.h y.h", "--date 2026-13-01 x.h",
        "--date 2024-02-30 x.h", "--date 2023-02-29 x.h", "--date 2026-04-31 x.h",
        "--codepage 1252 x.h", "--other ptr x.h", "--ole=yes x.h", "--call=fastcall x.h",
        "--order= x.h"}) {
    auto r = Run(args);
    EXPECT_EQ(r.Status, 2) << args;
    EXPECT_NE(r.Err.find("tqc-convert: "), std::string::npos) << args;
  }
}

TEST(CliOptionsTest, ParameterModesSetOneBitPerGroup) {
  CliOptions o;
  std::string err;
  ASSERT_TRUE(ParseCliOptions({"--other", "pointer", "--intf", "var", "--void-ptr", "pointer",
                               "--call", "stdcall", "--ole", "--cpp", "--compile-ready", "--codepage", "936",
                               "f.h"},
                              o, err))
      << err;
  EXPECT_EQ(o.Conversion.PointerModeMask, 1);
  EXPECT_EQ(o.Conversion.VarModeMask, 2);
  EXPECT_TRUE(o.Conversion.VoidPtrAsPointer);
  EXPECT_EQ(o.Conversion.DefaultCall, CallType::Stdcall);
  EXPECT_TRUE(o.Conversion.OleMode);
  EXPECT_TRUE(o.Conversion.DefineCplusplus);
  EXPECT_TRUE(o.Conversion.CompileReady);
  EXPECT_EQ(o.Conversion.CodePage, 936);
  EXPECT_EQ(o.Files, std::vector<std::string>{"f.h"});
  // A later choice for the same group replaces the earlier one.
  CliOptions p;
  ASSERT_TRUE(ParseCliOptions({"--other", "var", "--other", "normal", "f.h"}, p, err));
  EXPECT_EQ(p.Conversion.VarModeMask, 0);
  EXPECT_EQ(p.Conversion.PointerModeMask, 0);
  // Every value may also come in the option's word, as getopt_long takes it.
  CliOptions joined;
  ASSERT_TRUE(ParseCliOptions(
      {"--call=stdcall", "--other=pointer", "--intf=var", "--void-ptr=pointer", "--codepage=936",
       "--home=h", "-oout.pas", "--date=2024-02-29", "--dll=x.dll", "--def=u.def", "f.h"},
      joined, err))
      << err;
  EXPECT_EQ(joined.Conversion.DefaultCall, CallType::Stdcall);
  EXPECT_EQ(joined.Conversion.PointerModeMask, 1);
  EXPECT_EQ(joined.Conversion.VarModeMask, 2);
  EXPECT_TRUE(joined.Conversion.VoidPtrAsPointer);
  EXPECT_EQ(joined.Conversion.CodePage, 936);
  EXPECT_EQ(joined.Home, "h");
  EXPECT_EQ(joined.Output, "out.pas");
  EXPECT_EQ(joined.DllName, "x.dll");
  EXPECT_EQ(joined.DefFile, "u.def");
  EXPECT_EQ(joined.Files, std::vector<std::string>{"f.h"});
  CliOptions outDir;
  ASSERT_TRUE(ParseCliOptions({"--out-dir=o=1", "-o-", "f.h"}, outDir, err)) << err;
  EXPECT_EQ(outDir.OutDir, "o=1");
  EXPECT_EQ(outDir.Output, "-");
  // A leap day is a date (other impossible days: UsageErrorsExitWithTwo).
  CliOptions q;
  ASSERT_TRUE(ParseCliOptions({"--date", "2024-02-29", "f.h"}, q, err)) << err;
  ASSERT_TRUE(q.Conversion.Today);
  EXPECT_EQ(q.Conversion.Today->Day, 29);
}

}  // namespace
}  // namespace tqc
