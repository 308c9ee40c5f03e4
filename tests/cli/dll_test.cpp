// tqc-convert's answers to the DLL-name prompt: --dll NAME, --dll-cancel, and the offered
// name by default.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

class DllPromptCli : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = fs::temp_directory_path() /
            ("tqc_dll_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(home_);
    Write("tqc.dat", "[export]\nDLLAPI\n");
    Write("tqc.typ", "[TYPE]\nint,Integer\n");
    Write("mathlib.h", "DLLAPI int Sum(int a, int b);\nDLLAPI int Twice(int x);\n");
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(home_, ec);
  }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(home_ / name, std::ios::binary) << text;
  }
  // Runs tqc-convert with `args` on mathlib.h and returns the unit written to stdout.
  std::string Convert(const std::string& args) {
    const std::string cmd = std::string("\"") + TQC_CONVERT_EXE + "\" --home \"" + home_.string() +
                            "\" --date 2026-12-07 " + args + " -o - \"" +
                            (home_ / "mathlib.h").string() + "\" 2>/dev/null";
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
    status_ = pclose(p);
    return out;
  }
  fs::path home_;
  int status_ = -1;
};

TEST_F(DllPromptCli, GivenName) {
  const std::string unit = Convert("--dll kern32.dll");
  EXPECT_EQ(status_, 0);
  EXPECT_NE(unit.find("const\r\n  kern32 = 'kern32.dll';\r\n\r\n"
                      "  function Sum; external kern32 name 'Sum';\r\n"
                      "  function Twice; external kern32 name 'Twice';\r\n"),
            std::string::npos)
      << unit;
}

TEST_F(DllPromptCli, Cancel) {
  const std::string unit = Convert("--dll-cancel");
  EXPECT_EQ(status_, 0);
  EXPECT_NE(unit.find("const\r\n  mathlibDLL = '';\r\n\r\n"
                      "  function Sum; external mathlibDLL name 'Sum';\r\n"),
            std::string::npos)
      << unit;
}

TEST_F(DllPromptCli, OfferedNameByDefault) {
  const std::string unit = Convert("");
  EXPECT_EQ(status_, 0);
  EXPECT_NE(unit.find("  mathlibDLL = 'mathlib.dll';\r\n"), std::string::npos) << unit;
}

}  // namespace
