// tqc-convert as a user runs it: options, exit statuses, messages and the files it writes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
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
  void TearDown() override { fs::remove_all(dir); }

  RunResult Run(const std::string& args) {
    std::string cmd = std::string(TQC_CONVERT_EXE) + " --home '" + (dir / "home").string() +
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

  // A hand-edited unit differs from the conversion: it is written over, in place.
  WriteFile(dir / "a.pas", first + "// edited\r\n");
  ASSERT_EQ(Run("'" + (dir / "a.h").string() + "'").Status, 0);
  EXPECT_EQ(ReadAll(dir / "a.pas"), first);
  WriteFile(dir / "a.h", "#define A 2\n");
  ASSERT_EQ(Run("'" + (dir / "a.h").string() + "'").Status, 0);
  EXPECT_NE(ReadAll(dir / "a.pas").find("A\t= 2;"), std::string::npos);
  EXPECT_EQ(ReadAll(dir / "link.pas"), ReadAll(dir / "a.pas"));
}

TEST_F(CliTest, UnreadableInputIsNamedAndTheOthersStillConvert) {
  WriteFile(dir / "b.h", "");
  auto r = Run("'" + (dir / "missing.h").string() + "' '" + (dir / "b.h").string() + "'");
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("missing.h"), std::string::npos);
  EXPECT_TRUE(fs::exists(dir / "b.pas"));
}

TEST_F(CliTest, UnwritableOutputIsAFailure) {
  WriteFile(dir / "a.h", "");
  auto r = Run("-o '" + (dir / "no" / "such" / "dir" / "a.pas").string() + "' '" +
               (dir / "a.h").string() + "'");
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("a.pas"), std::string::npos);
  EXPECT_EQ(r.Err.find("lines,"), std::string::npos);
}

TEST_F(CliTest, MissingDefinitionFilesStopTheRun) {
  WriteFile(dir / "a.h", "");
  fs::remove(dir / "home" / "tqc.dat");
  fs::remove(dir / "home" / "tqc.typ");
  auto r = Run("'" + (dir / "a.h").string() + "'");
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err, "tqc.dat not found.\n");
  fs::copy_file(fs::path(TQC_DATA_DIR) / "tqc.dat", dir / "home" / "tqc.dat");
  r = Run("'" + (dir / "a.h").string() + "'");
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err, "tqc.typ not found.\n");
  EXPECT_FALSE(fs::exists(dir / "a.pas"));
}

TEST_F(CliTest, UsageErrorsExitWithTwo) {
  for (const char* args : {"", "--call fastcall x.h", "--bogus x.h", "-o a.pas x.h y.h",
                           "--date 2026-13-01 x.h", "--codepage 1252 x.h", "--other ptr x.h"}) {
    auto r = Run(args);
    EXPECT_EQ(r.Status, 2) << args;
    EXPECT_NE(r.Err.find("tqc-convert: "), std::string::npos) << args;
  }
}

TEST(CliOptionsTest, ParameterModesSetOneBitPerGroup) {
  CliOptions o;
  std::string err;
  ASSERT_TRUE(ParseCliOptions({"--other", "pointer", "--intf", "var", "--void-ptr", "pointer",
                               "--call", "stdcall", "--ole", "--cpp", "--codepage", "936", "f.h"},
                              o, err))
      << err;
  EXPECT_EQ(o.Conversion.PointerModeMask, 1);
  EXPECT_EQ(o.Conversion.VarModeMask, 2);
  EXPECT_TRUE(o.Conversion.VoidPtrAsPointer);
  EXPECT_EQ(o.Conversion.DefaultCall, CallType::Stdcall);
  EXPECT_TRUE(o.Conversion.OleMode);
  EXPECT_TRUE(o.Conversion.DefineCplusplus);
  EXPECT_EQ(o.Conversion.CodePage, 936);
  EXPECT_EQ(o.Files, std::vector<std::string>{"f.h"});
  // A later choice for the same group replaces the earlier one.
  CliOptions p;
  ASSERT_TRUE(ParseCliOptions({"--other", "var", "--other", "normal", "f.h"}, p, err));
  EXPECT_EQ(p.Conversion.VarModeMask, 0);
  EXPECT_EQ(p.Conversion.PointerModeMask, 0);
}

}  // namespace
}  // namespace tqc
