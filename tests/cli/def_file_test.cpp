// tqc-convert --def FILE: a user replacement file loaded as the window's Load Definition
// does, and a file that cannot be read reported with its name.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;

using tqc::testing::ReadAll;

class DefFileCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tqc_cli_def_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "home");
    for (const char* name : {"tqc.dat", "tqc.typ", "tqc.def"})
      fs::copy_file(fs::path(TQC_DATA_DIR) / name, dir_ / "home" / name);
    Write("widget.h", "MAKE_WIDGET(HWIDGET);\r\n");
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  // Runs tqc-convert on widget.h with the extra arguments; returns the exit status.
  int Run(const std::string& args) {
    const std::string cmd = std::string("'") + TQC_CONVERT_EXE + "' --home '" +
                            (dir_ / "home").string() + "' --date 2026-12-07 " + args + " -o '" +
                            (dir_ / "widget.pas").string() + "' '" + (dir_ / "widget.h").string() +
                            "' >'" + (dir_ / "out.txt").string() + "' 2>'" +
                            (dir_ / "err.txt").string() + "'";
    const int raw = std::system(cmd.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  fs::path dir_;
};

TEST_F(DefFileCliTest, UserRecordsAreApplied) {
  Write("user.def", "; a user record\r\nT\r\n1,$1,P$1\r\nMAKE_WIDGET\r\n  $1 = THandle;\r\n");
  EXPECT_EQ(Run("--def '" + (dir_ / "user.def").string() + "'"), 0) << ReadAll(dir_ / "err.txt");
  const std::string unit = ReadAll(dir_ / "widget.pas");
  EXPECT_NE(unit.find("\r\ntype\r\n  HWIDGET = THandle;\r\n"), std::string::npos) << unit;
  EXPECT_NE(ReadAll(dir_ / "err.txt").find("0 errors"), std::string::npos);

  // Without the user file the statement goes to the other rules.
  EXPECT_EQ(Run(""), 0);
  EXPECT_EQ(ReadAll(dir_ / "widget.pas").find("THandle"), std::string::npos);
}

TEST_F(DefFileCliTest, UnreadableFileIsNamedAndFails) {
  const std::string missing = (dir_ / "no_such.def").string();
  EXPECT_EQ(Run("--def '" + missing + "'"), 1);
  EXPECT_NE(ReadAll(dir_ / "err.txt").find(missing), std::string::npos)
      << ReadAll(dir_ / "err.txt");
  EXPECT_FALSE(fs::exists(dir_ / "widget.pas"));  // nothing is converted
}

}  // namespace
