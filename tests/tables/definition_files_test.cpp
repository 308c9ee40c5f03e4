// The readers of tqc.dat and tqc.typ, item splitting, and loading the three files.
#include "tables/definition_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "engine/numbers.h"
#include "tables/replacements.h"
#include "test_support.h"

namespace tqc {
namespace {

using V = std::vector<std::string>;
namespace fs = std::filesystem;

using testing::Tags;
using testing::Texts;

TEST(SplitItemsTest, Cases) {
  struct Case {
    std::string Line;
    V Items;
  };
  const Case cases[] = {
      {"int,Integer", {"int", "Integer"}},
      {"unsigned char,Byte", {"unsigned", "char", "Byte"}},  // a blank separates
      {"\"unsigned char\",Byte", {"unsigned char", "Byte"}},
      {"  \t a , b ", {"a", "b"}},
      {"a,,b", {"a", "", "b"}},
      {"a,", {"a", ""}},
      {"a, \t", {"a", ""}},  // blanks after the final comma do not hide it
      {"a,,", {"a", "", ""}},
      {",a", {"", "a"}},
      {"\"say \"\"hi\"\"\",x", {"say \"hi\"", "x"}},
      {"\"\"", {""}},
      {"\"a,b\"c", {"a,b", "c"}},  // an item begins right after the closing quote
      {"\"open", {"open"}},        // an unclosed quote runs to the end
      {"a\"b,c", {"a\"b", "c"}},   // a quote inside a plain item is an ordinary character
      {"   ", {}},
      {"", {}},
      {std::string("a\x01"
                   "b",
                   3),
       {"a", "b"}},                             // control characters separate
      {std::string("a,b\0,c", 6), {"a", "b"}},  // NUL ends the line
      {std::string("a,\0b", 4), {"a", ""}},
      {"\xE4\xF6,\xFC", {"\xE4\xF6", "\xFC"}},  // bytes above 127 are ordinary characters
  };
  for (const Case& c : cases) EXPECT_EQ(SplitItems(c.Line), c.Items) << "line: " << c.Line;
}

TEST(SplitItemsTest, RandomBytesNeverHang) {
  std::mt19937 rng(7);
  for (int round = 0; round < 2000; ++round) {
    std::string line(rng() % 40, '\0');
    const char alphabet[] = {'"', ',', ' ', '\t', '\0', 'a', '\x01', '\xFF'};
    for (char& c : line) c = alphabet[rng() % sizeof alphabet];
    const V items = SplitItems(line);
    EXPECT_LE(items.size(), line.size() + 1);
  }
}

// Random mixes of the three breaks (and NUL bytes) against a character-by-character split.
TEST(SplitLinesTest, AgreesWithAPlainSplitOnRandomText) {
  auto plain = [](std::string_view b) {
    V out;
    std::string cur;
    bool open = false;
    for (std::size_t i = 0; i < b.size(); ++i) {
      if (b[i] == '\r' || b[i] == '\n') {
        out.push_back(cur);
        cur.clear();
        open = false;
        if (b[i] == '\r' && i + 1 < b.size() && b[i + 1] == '\n') ++i;
      } else {
        cur += b[i];
        open = true;
      }
    }
    if (open) out.push_back(cur);
    return out;
  };
  std::mt19937 rng(7);
  const char alphabet[] = {'a', 'b', '\r', '\n', '\0', ' '};
  for (int round = 0; round < 2000; ++round) {
    std::string text(rng() % 40, 'x');
    for (char& c : text) c = alphabet[rng() % sizeof alphabet];
    ASSERT_EQ(SplitLines(text), plain(text)) << round;
  }
}

TEST(SplitLinesTest, AllThreeLineEnds) {
  EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (V{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\n\nb\r\n"), (V{"a", "", "b"}));
  EXPECT_EQ(SplitLines("\r\r\n"), (V{"", ""}));
  EXPECT_EQ(SplitLines(" a \t"), (V{" a \t"}));  // lines are not trimmed
}

TEST(DatReaderTest, SectionsWordsAndDefines) {
  DefinitionTables t;
  ReadDatText(t,
              "; comment\n"
              "WINAPI\n"  // before any header: ignored
              "[stdcall]\n"
              "WINAPI\n"
              "\n"
              "APIENTRY \n"  // kept with its trailing blank
              ";NOT_A_WORD\n"
              "[cdecl]\n__cdecl\n"
              "[pascal]\npascal\n"
              "[register]\n__fastcall\n"
              "[export]\n_export\n"
              "[skip]\nFAR\nDECLSPEC_IMPORT\n"
              "[Skip]\n"  // case matters: selects no section
              "IGNORED\n"
              "[define]\n"
              "==,=\n"
              "ONE\n"          // one item
              "a,b,c\n"        // three items
              "CONST const\n"  // a blank separates like a comma
              "[skip] \n"      // trailing blank: not a header, selects no section
              "ALSO_IGNORED\n"
              "[export]\r\n__export\r\n");
  EXPECT_EQ(Texts(t.StdcallWords), (V{"WINAPI", "APIENTRY "}));
  EXPECT_EQ(Texts(t.CdeclWords), V{"__cdecl"});
  EXPECT_EQ(Texts(t.PascalWords), V{"pascal"});
  EXPECT_EQ(Texts(t.RegisterWords), V{"__fastcall"});
  EXPECT_EQ(Texts(t.ExportWords), (V{"_export", "__export"}));
  EXPECT_EQ(Texts(t.SkipWords), (V{"FAR", "DECLSPEC_IMPORT"}));
  EXPECT_EQ(Texts(t.DefineNames), (V{"==", "CONST"}));
  EXPECT_EQ(Texts(t.DefineValues), (V{"=", "const"}));
  EXPECT_EQ(t.StdcallWords.FindExact("APIENTRY"), -1);
}

TEST(TypReaderTest, SectionsAndItemCounts) {
  DefinitionTables t;
  ReadTypText(t,
              "[TYPE]\n"
              "int,Integer\n"
              "long double,Extended\n"  // three items: ignored
              "\"long double\",Extended\n"
              "lonely\n"
              "[TYPE] \n"  // not a header: what follows is ignored
              "char,Char\n"
              "[POINTER]\n"
              "DWORD,PDWORD\n"
              "IUnknown,PUnknown,i\n"
              "IStream,LPSTREAM,anything\n"
              "a,b,c,d\n"
              "single\n"
              "[INTERFACE]\n"
              "IUnknown\n"
              "two,items\n"
              "[CLASS]\n"
              "CWnd\n"
              "[CONST]\n"
              "MAX_PATH,260\n"
              "MAX_FOO,0x10\n"
              "MAX_BAR,abc\n"  // not an integer: skipped, reading goes on
              "NEG,-5\n"
              "ALL,$FFFFFFFF\n"
              "BIG,4294967296\n"
              "HEXLONG,0x100000000\n"
              "SUFFIX,10L\n"
              "[CONST TYPE]\n"
              "REFIID,TIID\n"
              "[type]\n"  // case matters
              "x,y\n"
              "[UNKNOWN]\n"
              "p,q\n");
  EXPECT_EQ(Texts(t.TypeNames), (V{"int", "long double"}));
  EXPECT_EQ(Texts(t.TypeValues), (V{"Integer", "Extended"}));
  EXPECT_EQ(Texts(t.PointeeTypes), (V{"DWORD", "IUnknown", "IStream"}));
  EXPECT_EQ(Tags(t.PointeeTypes), (std::vector<int>{0, 1, 1}));
  EXPECT_EQ(Texts(t.PointerTypes), (V{"PDWORD", "PUnknown", "LPSTREAM"}));
  EXPECT_EQ(Texts(t.InterfaceNames), V{"IUnknown"});
  EXPECT_EQ(Texts(t.ClassNames), V{"CWnd"});
  EXPECT_EQ(Texts(t.ConstNames), (V{"MAX_PATH", "MAX_FOO", "NEG", "ALL"}));
  EXPECT_EQ(Tags(t.ConstNames), (std::vector<int>{260, 16, -5, -1}));
  EXPECT_EQ(Texts(t.ConstTypeNames), V{"REFIID"});
  EXPECT_EQ(Texts(t.ConstTypeValues), V{"TIID"});
}

// The tables read integers exactly as the constant rules of a conversion do.
TEST(TypReaderTest, TableIntegersReadLikeParseInteger) {
  const char* texts[] = {"0",
                         "260",
                         "-5",
                         "+7",
                         " 12",
                         "\t12",
                         "2147483647",
                         "2147483648",
                         "-2147483648",
                         "-2147483649",
                         "$FFFFFFFF",
                         "$100000000",
                         "0x10",
                         "0X1f",
                         "x10",
                         "X10",
                         "$",
                         "0x",
                         "-0x10",
                         "-$10",
                         "10L",
                         "1.5",
                         "",
                         "-",
                         "12 ",
                         "99999999999999999999",
                         "$0000000A",
                         "0xG",
                         "+"};
  for (const char* s : texts) {
    int v = 12345;
    const bool ok = ParseTableInteger(s, v);
    const std::optional<int> engine = ParseInteger(s);
    EXPECT_EQ(ok, engine.has_value()) << "'" << s << "'";
    if (ok && engine) {
      EXPECT_EQ(v, *engine) << "'" << s << "'";
    }
  }
}

class LoadDefinitionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tqc_defs_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  fs::path dir_;
};

TEST_F(LoadDefinitionsTest, ReadsAllThreeAndCopiesTheBaseRecords) {
  Write("tqc.dat", "[stdcall]\nWINAPI\n");
  Write("tqc.typ", "[TYPE]\nint,Integer\n");
  Write("tqc.def", "T\n1,$1,P$1\nMAKE_HANDLE\n  $1 = THandle;\n");
  DefinitionTables t;
  t.SkipWords.Add("stale");  // loading starts from empty tables
  LoadDefinitions(t, dir_.string());
  EXPECT_EQ(Texts(t.StdcallWords), V{"WINAPI"});
  EXPECT_EQ(Texts(t.TypeNames), V{"int"});
  EXPECT_TRUE(t.SkipWords.Empty());
  EXPECT_EQ(Texts(t.BaseReplacementNames), V{"MAKE_HANDLE"});
  EXPECT_EQ(Texts(t.ReplacementNames), V{"MAKE_HANDLE"});
  EXPECT_EQ(Texts(t.ReplacementTemplates), V{"  $1 = THandle;"});
  EXPECT_EQ(Texts(t.ReplacementPointers), V{"$1,P$1"});
}

TEST_F(LoadDefinitionsTest, MissingDefFileIsNoError) {
  Write("tqc.dat", "[skip]\nFAR\n");
  Write("tqc.typ", "[TYPE]\nint,Integer\n");
  DefinitionTables t;
  EXPECT_NO_THROW(LoadDefinitions(t, dir_.string()));
  EXPECT_TRUE(t.ReplacementNames.Empty());
  EXPECT_EQ(Texts(t.SkipWords), V{"FAR"});
}

TEST_F(LoadDefinitionsTest, BinaryGarbageIsReadWithoutHarm) {
  std::mt19937 rng(3);
  std::string garbage(20000, '\0');
  for (char& c : garbage) c = static_cast<char>(rng() % 256);
  // Headers scattered into the garbage make the readers store some of it.
  garbage.insert(5000, "\n[skip]\n");
  garbage.insert(9000, "\n[define]\n");
  garbage.insert(12000, "\n[TYPE]\n");
  DefinitionTables t;
  ReadDatText(t, garbage);
  ReadTypText(t, garbage);
  ReadReplacementText(garbage, t.ReplacementNames, t.ReplacementTemplates, t.ReplacementPointers);
  EXPECT_EQ(t.DefineNames.Count(), t.DefineValues.Count());
  EXPECT_EQ(t.TypeNames.Count(), t.TypeValues.Count());
  EXPECT_EQ(t.ReplacementNames.Count(), t.ReplacementTemplates.Count());
  EXPECT_EQ(t.ReplacementNames.Count(), t.ReplacementPointers.Count());
  // As files they are no text: refused, not loaded.
  for (const char* name : {"tqc.dat", "tqc.typ", "tqc.def"}) Write(name, garbage);
  EXPECT_THROW(LoadDefinitions(t, dir_.string()), std::runtime_error);
}

TEST_F(LoadDefinitionsTest, ACorruptTableIsRefusedWithItsReason) {
  // Each case replaces one table of a good pair; % stands for its path.
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("[TYPE]\r\nint,Integer\r\n")) utf16 += std::string(1, c) + '\0';
  struct Case {
    const char* Name;
    std::string Bytes;    // empty with Link: a link to /dev/zero
    const char* Message;  // empty: loaded
    bool Link = false;
  } cases[] = {
      {"tqc.dat", "",
       "%: not a definition file: no line of it is a section such as [skip] or [stdcall]"},
      {"tqc.typ", "int,Integer\nlong,Integer\n",
       "%: not a definition file: no line of it is a section such as [TYPE] or [POINTER]"},
      {"tqc.dat", "[unknown]\nWINAPI\n",
       "%: not a definition file: no line of it is a section such as [skip] or [stdcall]"},
      {"tqc.typ", std::string("[TYPE]\nint,Integer\n\0\0\0", 22), "%: not a text file"},
      {"tqc.dat", "", "cannot read %: not a regular file (a character device)", true},
      {"tqc.typ", utf16, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.Name) + ": " + (c.Link ? "link" : c.Bytes));
    for (const char* name : {"tqc.dat", "tqc.typ"}) fs::remove(dir_ / name);
    Write("tqc.dat", "[skip]\nFAR\n");
    Write("tqc.typ", "[TYPE]\nchar,AnsiChar\n");
    fs::remove(dir_ / c.Name);
    if (c.Link)
      fs::create_symlink("/dev/zero", dir_ / c.Name);
    else
      Write(c.Name, c.Bytes);
    DefinitionTables t;
    if (*c.Message == '\0') {
      LoadDefinitions(t, dir_.string());
      EXPECT_EQ(Texts(t.TypeValues), V{"Integer"});
      continue;
    }
    std::string expected = c.Message;
    expected.replace(expected.find('%'), 1, (dir_ / c.Name).string());
    try {
      LoadDefinitions(t, dir_.string());
      ADD_FAILURE() << "loaded";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(e.what(), expected);
    }
  }
}

TEST_F(LoadDefinitionsTest, UnreadableTablesStopTheLoadAndAnUnreadableDefFileIsAWarning) {
  struct Case {
    const char* Name;
    bool Folder;          // a folder in place of the file; otherwise a file nobody may read
    const char* Message;  // % stands for the file's path
    bool Throws;
  } cases[] = {
      {"tqc.def", true, "cannot read %: Is a directory", false},
      {"tqc.def", false, "cannot open %: Permission denied", false},
      {"tqc.dat", true, "cannot read %: Is a directory", true},
      {"tqc.typ", false, "cannot open %: Permission denied", true},
  };
  fs::permissions(dir_, fs::perms::all);  // entered by the unprivileged user below
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.Name) + (c.Folder ? " (folder)" : ""));
    for (const char* name : {"tqc.dat", "tqc.typ", "tqc.def"}) fs::remove_all(dir_ / name);
    Write("tqc.dat", "[skip]\nFAR\n");
    Write("tqc.typ", "[TYPE]\nint,Integer\n");
    Write("tqc.def", "T\n1,$1,P$1\nMAKE_HANDLE\n  $1 = THandle;\n");
    const fs::path path = dir_ / c.Name;
    if (c.Folder) {
      fs::remove(path);
      fs::create_directories(path);
    } else {
      fs::permissions(path, fs::perms::none);
    }
    std::string expected = c.Message;
    expected.replace(expected.find('%'), 1, path.string());
    DefinitionTables t;
    testing::AsUnprivileged user;
    if (c.Throws) {
      try {
        LoadDefinitions(t, dir_.string());
        ADD_FAILURE() << "loaded";
      } catch (const std::runtime_error& e) {
        EXPECT_EQ(e.what(), expected);
      }
      continue;
    }
    EXPECT_EQ(LoadDefinitions(t, dir_.string()), V{expected});
    EXPECT_TRUE(t.ReplacementNames.Empty());
    EXPECT_EQ(Texts(t.SkipWords), V{"FAR"});
  }
}

// A stream buffer that cannot seek, as a pipe: the reader must not rely on a size.
class UnseekableBuffer : public std::streambuf {
 public:
  explicit UnseekableBuffer(std::string text) : text_(std::move(text)) {
    setg(text_.data(), text_.data(), text_.data() + text_.size());
  }

 private:
  std::string text_;
};

TEST_F(LoadDefinitionsTest, ReadRestGivesEveryByteFromWhereTheStreamStands) {
  std::string bytes;
  for (int i = 0; i < 70000; ++i) bytes += static_cast<char>(i * 7 % 256);  // NULs, CRs, high bytes
  struct Case {
    std::string text;
    std::size_t skip;  // bytes already taken from the stream
  } cases[] = {{"", 0}, {"x", 0}, {bytes, 0}, {bytes, 12345}, {"abc", 3}};
  for (const Case& c : cases) {
    Write("f.bin", c.text);
    std::ifstream file(dir_ / "f.bin", std::ios::binary);
    file.ignore(static_cast<std::streamsize>(c.skip));
    std::string out = "stale";
    ASSERT_TRUE(ReadRest(file, out));
    EXPECT_EQ(out, c.text.substr(c.skip)) << "file of " << c.text.size() << " from " << c.skip;

    UnseekableBuffer buffer(c.text);
    std::istream pipe(&buffer);
    pipe.ignore(static_cast<std::streamsize>(c.skip));
    out = "stale";
    ASSERT_TRUE(ReadRest(pipe, out));
    EXPECT_EQ(out, c.text.substr(c.skip)) << "pipe of " << c.text.size() << " from " << c.skip;
  }
}

TEST_F(LoadDefinitionsTest, FileHoldsOnlyTheExactBytes) {
  using namespace std::string_literals;  // the texts hold a NUL
  const std::string unit = "unit u;\r\n\0end.\r\n"s;
  Write("u.pas", unit);
  const std::string path = (dir_ / "u.pas").string();
  EXPECT_TRUE(FileHolds(path, unit));
  EXPECT_FALSE(FileHolds(path, "unit u;\r\n\0end.\r\r"s));  // last byte
  EXPECT_FALSE(FileHolds(path, "unit u;\r\n\0end.\r\n\r\n"s));
  EXPECT_FALSE(FileHolds(path, "unit u;\r\n end.\r\n"s));  // the NUL
  EXPECT_FALSE(FileHolds(path, "unit u;"));
  EXPECT_FALSE(FileHolds((dir_ / "missing.pas").string(), ""));
  fs::create_directories(dir_ / "folder.pas");
  EXPECT_FALSE(FileHolds((dir_ / "folder.pas").string(), ""));
  Write("empty.pas", "");
  EXPECT_TRUE(FileHolds((dir_ / "empty.pas").string(), ""));

  // Large files are compared piece by piece: a difference in a later piece still counts.
  std::string big;
  for (int i = 0; i < 200000; ++i) big += static_cast<char>('a' + i % 26);
  Write("big.pas", big);
  const std::string bigPath = (dir_ / "big.pas").string();
  EXPECT_TRUE(FileHolds(bigPath, big));
  for (std::size_t at : {std::size_t{0}, std::size_t{65535}, std::size_t{65536},
                         std::size_t{150000}, big.size() - 1}) {
    std::string other = big;
    other[at] = '#';
    EXPECT_FALSE(FileHolds(bigPath, other)) << "difference at " << at;
  }
}

}  // namespace
}  // namespace tqc
