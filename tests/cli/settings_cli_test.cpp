// tqc-convert --settings: the options come from the window's stored settings, explicit options
// still win, and a missing or damaged store gives the window's defaults.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "cli/cli_options.h"
#include "cli/stored_settings.h"

namespace tqc {
namespace {

namespace fs = std::filesystem;

const char kHeader[] =
    "#ifdef __cplusplus\n"
    "int cpp_only(int a);\n"
    "#else\n"
    "int c_only(int a);\n"
    "#endif\n"
    "int bar(void *p);\n";

void WriteFile(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary);
  out << text;
}

class SettingsCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("tqc_settings_cli_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "home");
    for (const char* f : {"tqc.dat", "tqc.typ"})
      fs::copy_file(fs::path(TQC_DATA_DIR) / f, dir / "home" / f);
    WriteFile(dir / "a.h", kHeader);
  }
  void TearDown() override { fs::remove_all(dir); }

  // The unit written to standard output; `env` goes before the program.
  std::string Convert(const std::string& env, const std::string& args) {
    const std::string cmd = env + " '" + TQC_CONVERT_EXE + "' --home '" + (dir / "home").string() +
                            "' --date 2026-12-07 -o - " + args + " '" + (dir / "a.h").string() +
                            "' 2>/dev/null";
    std::string out;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    const int st = ::pclose(p);
    status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return out;
  }
  std::string Xdg() const { return "env XDG_CONFIG_HOME='" + (dir / "config").string() + "'"; }

  fs::path dir;
  int status = -1;
};

bool Has(const std::string& unit, const std::string& text) {
  return unit.find(text) != std::string::npos;
}

TEST_F(SettingsCliTest, StoredOptionsApplyOnlyWithSettings) {
  WriteFile(dir / "config" / "morlen" / "tqc.conf",
            "[Option]\nDefCall=1\nVar3=1\ncpp=1\nOle=0\n[Pos]\nWidth=abc\n");
  std::string unit = Convert(Xdg(), "--settings");
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(Has(unit, "  function cpp_only(a: Integer): Integer; stdcall;\r\n")) << unit;
  EXPECT_FALSE(Has(unit, "c_only"));
  EXPECT_TRUE(Has(unit, "  function bar(p: Pointer): Integer; stdcall;\r\n")) << unit;

  // Without --settings the command line's defaults hold.
  unit = Convert(Xdg(), "");
  EXPECT_TRUE(Has(unit, "  function bar(var p): Integer; cdecl;\r\n")) << unit;
  EXPECT_TRUE(Has(unit, "{$IFDEF __cplusplus}"));

  // Explicit options win, before or after --settings.
  unit = Convert(Xdg(), "--call pascal --settings --void-ptr var");
  EXPECT_TRUE(Has(unit, "  function bar(var p): Integer; pascal;\r\n")) << unit;
  EXPECT_FALSE(Has(unit, "c_only"));  // the stored def __cplusplus stays
}

TEST_F(SettingsCliTest, TheStoreIsFoundInTheHomeFolderWithoutXdg) {
  WriteFile(dir / "user" / ".config" / "morlen" / "tqc.conf", "[Option]\nDefCall=$3\n");
  const std::string unit =
      Convert("env -u XDG_CONFIG_HOME HOME='" + (dir / "user").string() + "'", "--settings");
  EXPECT_TRUE(Has(unit, "  function bar(var p): Integer; pascal;\r\n")) << unit;
}

TEST_F(SettingsCliTest, AMissingOrDamagedStoreGivesTheDefaults) {
  std::string unit = Convert(Xdg(), "--settings");  // no file at all
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(Has(unit, "  function bar(var p): Integer; cdecl;\r\n")) << unit;

  WriteFile(dir / "config" / "morlen" / "tqc.conf",
            "\x01\xff[Option\nDefCall=x\nVar3=\"\ncpp=@Variant(\\0\\0)\n===\n");
  unit = Convert(Xdg(), "--settings");
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(Has(unit, "  function bar(var p): Integer; cdecl;\r\n")) << unit;
  EXPECT_TRUE(Has(unit, "{$IFDEF __cplusplus}"));

  // A folder where the file should be.
  fs::remove(dir / "config" / "morlen" / "tqc.conf");
  fs::create_directories(dir / "config" / "morlen" / "tqc.conf");
  unit = Convert(Xdg(), "--settings");
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(Has(unit, "; cdecl;\r\n")) << unit;
}

TEST(SettingsOptionsTest, ExplicitParameterModesChangeOnlyTheirGroup) {
  auto stored = [](ConversionOptions& o) {
    StoredSettings s;
    s.Var1 = 2;  // Interface/class: var
    s.Var2 = 1;  // Other: pointer
    s.Ole = true;
    s.Ready = true;
    ApplyStoredOptions(s, o);
  };
  CliOptions o;
  std::string err;
  ASSERT_TRUE(ParseCliOptions({"--other", "var", "--settings", "f.h"}, o, err, stored)) << err;
  EXPECT_TRUE(o.Settings);
  EXPECT_EQ(o.Conversion.VarModeMask, 3);
  EXPECT_EQ(o.Conversion.PointerModeMask, 0);
  EXPECT_TRUE(o.Conversion.OleMode);
  EXPECT_TRUE(o.Conversion.CompileReady);
  EXPECT_EQ(o.Files, std::vector<std::string>{"f.h"});  // read once, not twice

  CliOptions plain;
  ASSERT_TRUE(ParseCliOptions({"f.h"}, plain, err, stored));
  EXPECT_FALSE(plain.Conversion.OleMode);
  EXPECT_FALSE(plain.Conversion.CompileReady);
  EXPECT_EQ(plain.Conversion.VarModeMask, 0);

  CliOptions bad;
  EXPECT_FALSE(ParseCliOptions({"--settings", "--call", "fast", "f.h"}, bad, err, stored));
  EXPECT_NE(CliUsage().find("--settings"), std::string::npos);
}

TEST(SettingsPathTest, XdgThenHome) {
  const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
  const char* oldHome = std::getenv("HOME");
  const std::string savedXdg = oldXdg ? oldXdg : "", savedHome = oldHome ? oldHome : "";
  ::setenv("XDG_CONFIG_HOME", "/x/cfg", 1);
  ::setenv("HOME", "/h/u", 1);
  EXPECT_EQ(StoredSettingsPath(), "/x/cfg/morlen/tqc.conf");
  ::setenv("XDG_CONFIG_HOME", "relative", 1);  // only an absolute path counts
  EXPECT_EQ(StoredSettingsPath(), "/h/u/.config/morlen/tqc.conf");
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(StoredSettingsPath(), "/h/u/.config/morlen/tqc.conf");
  ::unsetenv("HOME");
  EXPECT_EQ(StoredSettingsPath(), "");
  if (oldXdg) ::setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
  if (oldHome) ::setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
}  // namespace tqc
