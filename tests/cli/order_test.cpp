// tqc-convert --order: headers after the headers they include among the given ones, ties and
// cycles in the given order.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/cli_options.h"
#include "test_support.h"

namespace tqc {
namespace {

namespace fs = std::filesystem;
using V = std::vector<std::string>;

struct File {
  const char* Name;
  const char* Text;  // nullptr: the file does not exist
};

struct Case {
  const char* What;
  std::vector<File> Files;  // in the order given
  V Expected;               // file names
};

class OrderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tqc_order_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  V Order(const std::vector<File>& files) {
    V paths;
    for (const File& f : files) {
      fs::path p = dir_ / f.Name;
      if (f.Text) {
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << f.Text;
      }
      paths.push_back(p.string());
    }
    V names;
    for (const std::string& p : OrderBaseFirst(paths))
      names.push_back(fs::path(p).lexically_relative(dir_).string());
    return names;
  }
  fs::path dir_;
};

TEST_F(OrderTest, Orders) {
  const Case cases[] = {
      {"no includes", {{"a.h", ""}, {"b.h", ""}}, {"a.h", "b.h"}},
      {"one include", {{"a.h", "#include \"b.h\"\n"}, {"b.h", ""}}, {"b.h", "a.h"}},
      {"chain",
       {{"top.h", "#include <mid.h>\n"}, {"mid.h", "#include <base.h>\n"}, {"base.h", ""}},
       {"base.h", "mid.h", "top.h"}},
      {"ties keep the given order",
       {{"x.h", ""}, {"a.h", "#include <b.h>"}, {"y.h", ""}, {"b.h", ""}},
       {"x.h", "y.h", "b.h", "a.h"}},
      {"two bases",
       {{"t.h", "#include <b2.h>\n#include <b1.h>\n"}, {"b1.h", ""}, {"b2.h", ""}},
       {"b1.h", "b2.h", "t.h"}},
      {"cycle in the given order",
       {{"a.h", "#include <b.h>\n"}, {"b.h", "#include <a.h>\n"}},
       {"a.h", "b.h"}},
      {"cycle before its includer",
       {{"x.h", "#include <a.h>\n"}, {"b.h", "#include <a.h>\n"}, {"a.h", "#include <b.h>\n"}},
       {"b.h", "a.h", "x.h"}},
      {"cycle after its base",
       {{"a.h", "#include <b.h>\n#include <base.h>\n"},
        {"b.h", "#include <a.h>\n"},
        {"base.h", ""}},
       {"base.h", "a.h", "b.h"}},
      {"names ignore case, folders and extensions",
       {{"top.h", "#include <sys/WinDef.H>\n"}, {"windef.h", ""}},
       {"windef.h", "top.h"}},
      {"directive spellings", {{"t.h", "  #  include\t\"b.h\"\r\n"}, {"b.h", ""}}, {"b.h", "t.h"}},
      {"not an include",
       {{"t.h", "// #include <b.h>\n#define X <b.h>\n#include b.h\n"}, {"b.h", ""}},
       {"t.h", "b.h"}},
      {"unterminated name", {{"t.h", "#include <b.h\n"}, {"b.h", ""}}, {"t.h", "b.h"}},
      {"headers not given are ignored",
       {{"t.h", "#include <windows.h>\n"}, {"b.h", ""}},
       {"t.h", "b.h"}},
      {"self include", {{"a.h", "#include \"a.h\"\n"}, {"b.h", ""}}, {"a.h", "b.h"}},
      {"idl import",
       {{"top.idl", "import \"base.idl\";\n"}, {"base.idl", ""}},
       {"base.idl", "top.idl"}},
      {"unreadable file stays",
       {{"gone.h", nullptr}, {"t.h", "#include <gone.h>\n"}},
       {"gone.h", "t.h"}},
      {"same base name in two folders",
       {{"t.h", "#include <b.h>\n"}, {"one/b.h", ""}, {"two/b.h", ""}},
       {"one/b.h", "two/b.h", "t.h"}},
      {"a file given twice",
       {{"t.h", "#include <b.h>\n"}, {"b.h", ""}, {"t.h", "#include <b.h>\n"}},
       {"b.h", "t.h", "t.h"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    EXPECT_EQ(Order(c.Files), c.Expected);
    TearDown();
    fs::create_directories(dir_);
  }
}

TEST_F(OrderTest, LongChainGivenBackwards) {
  // Deep include chains must not exhaust the stack.
  const int n = 10000;
  V paths;
  for (int i = 0; i < n; ++i) {
    fs::path p = dir_ / ("h" + std::to_string(i) + ".h");
    std::ofstream(p) << (i > 0 ? "#include <h" + std::to_string(i - 1) + ".h>\n" : "");
    paths.push_back(p.string());
  }
  V given(paths.rbegin(), paths.rend());
  EXPECT_EQ(OrderBaseFirst(given), paths);
}

using testing::ReadAll;

TEST_F(OrderTest, ConvertsBaseFirstAndWarnsAboutCaches) {
  const fs::path home = dir_ / "home";
  fs::create_directories(home);
  for (const char* f : {"tqc.dat", "tqc.typ"}) fs::copy_file(fs::path(TQC_DATA_DIR) / f, home / f);
  std::ofstream(dir_ / "top.h") << "#include \"base.h\"\n";
  std::ofstream(dir_ / "base.h") << "DECLARE_INTERFACE_(IBase, IUnknown)\n";
  auto run = [&](const std::string& args) {
    const std::string cmd = std::string(TQC_CONVERT_EXE) + " --home " + home.string() +
                            " --date 2026-12-07 " + args + " " + (dir_ / "top.h").string() + " " +
                            (dir_ / "base.h").string() + " 2>" + (dir_ / "err").string();
    EXPECT_EQ(std::system(cmd.c_str()), 0) << ReadAll(dir_ / "err");
    return ReadAll(dir_ / "err");
  };
  std::string err = run("--order");
  EXPECT_LT(err.find("base.h -> base.pas"), err.find("top.h -> top.pas")) << err;
  EXPECT_EQ(
      ReadAll(home / "inc/top.tqc"),
      "[TYPE]\r\n[POINTER]\r\n[INTERFACE]\r\n[CLASS]\r\n[FUNC]\r\n[MAKE]\r\n[INC]\r\nbase\r\n");
  // Without --order the given order stands.
  err = run("");
  EXPECT_GT(err.find("base.h -> base.pas"), err.find("top.h -> top.pas")) << err;
  // A cache folder that cannot be written is one warning naming it, however many headers have
  // a cache to keep; the units are still written.
  fs::remove_all(home / "inc");
  std::ofstream(home / "inc") << "";
  err = run("--order");
  const std::string warning =
      "warning: the include cache is not kept: cannot write " + (home / "inc").string() + " (";
  EXPECT_NE(err.find(warning), std::string::npos) << err;
  EXPECT_EQ(err.find("warning:", err.find(warning) + 1), std::string::npos) << err;
  EXPECT_NE(err.find("top.h -> top.pas"), std::string::npos) << err;
}

}  // namespace
}  // namespace tqc
