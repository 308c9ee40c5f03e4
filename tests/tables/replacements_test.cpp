// Replacement records: reading .def text, the user load, and ExpandReplacement.
#include "tables/replacements.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "test_support.h"

namespace tqc {
namespace {

using V = std::vector<std::string>;
using Pairs = std::vector<std::pair<std::string, std::string>>;
namespace fs = std::filesystem;

using testing::Tags;
using testing::Texts;

struct Records {
  TStringList2 Names, Templates, Pointers;
  explicit Records(std::string_view text) { ReadReplacementText(text, Names, Templates, Pointers); }
};

TEST(ReplacementReaderTest, RecordsKindsAndCounts) {
  Records r(
      "; a comment before the first record\n"
      "T\n1,$1,P$1\nMAKE_HANDLE\n  $1 = THandle;\n"
      "c\n\n; between the lines of a record\n2\nPAIR\n  $1 = $2;\n"
      "Vee\n0\nNOARGS\n  x: Integer;\n"  // only the first character of the kind line counts
      "f\n3\nFUNC\n$0\n"
      "x\n  4 , \"$1 a\" , b\"c , d \nPLAIN\ntext\r\n");
  EXPECT_EQ(Texts(r.Names), (V{"MAKE_HANDLE", "PAIR", "NOARGS", "FUNC", "PLAIN"}));
  EXPECT_EQ(Tags(r.Names), (std::vector<int>{1, 2, 0, 3, 4}));
  EXPECT_EQ(Texts(r.Templates),
            (V{"  $1 = THandle;", "  $1 = $2;", "  x: Integer;", "$0", "text"}));
  EXPECT_EQ(Tags(r.Templates), (std::vector<int>{2, 1, 3, 4, 0}));
  // Items after the count are joined with single commas; items that hold blanks, commas or
  // quotes are quoted again with their quotes doubled.
  EXPECT_EQ(Texts(r.Pointers), (V{"$1,P$1", "", "", "", "\"$1 a\",\"b\"\"c\",d"}));
}

TEST(ReplacementReaderTest, InvalidRecordsAreConsumedWhole) {
  Records r(
      "Q\n1,$1\nBADKIND\ntext\n"     // unknown kind letter
      "T\nx\nBADCOUNT\ntext\n"       // count not an integer
      "T\n-1\nMINUSONE\ntext\n"      // the invalid count
      "T\n-3\nNEGATIVE\ntext\n"      // no call has a negative number of arguments
      "T\n\"\"\nEMPTYCOUNT\ntext\n"  // an empty count item
      "T\n1\nGOOD\n$1\n"
      "T\n1\nINCOMPLETE\n");  // the file ends inside a record
  EXPECT_EQ(Texts(r.Names), V{"GOOD"});
  EXPECT_EQ(Texts(r.Templates), V{"$1"});
}

TEST(ReplacementReaderTest, LinesAreTakenWhole) {
  Records r("T\n1\n NAME \n\t$1 ; not a comment\n");
  EXPECT_EQ(Texts(r.Names), V{" NAME "});
  EXPECT_EQ(Texts(r.Templates), V{"\t$1 ; not a comment"});
}

class UserFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tqc_user_def_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    ReadReplacementText("T\n1\nBASE\n$1\n", t_.BaseReplacementNames, t_.BaseReplacementTemplates,
                        t_.BaseReplacementPointers);
    t_.ReplacementNames = t_.BaseReplacementNames;
    t_.ReplacementTemplates = t_.BaseReplacementTemplates;
    t_.ReplacementPointers = t_.BaseReplacementPointers;
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Write(const std::string& name, const std::string& bytes) {
    std::ofstream((dir_ / name), std::ios::binary) << bytes;
    return (dir_ / name).string();
  }
  fs::path dir_;
  DefinitionTables t_;
};

TEST_F(UserFileTest, SecondUserFileReplacesTheFirst) {
  const std::string a = Write("a.def", "X\n0\nFROM_A\na\n");
  const std::string b = Write("b.def", "X\n0\nFROM_B\nb\nX\n0\nBASE\nshadowed\n");
  EXPECT_EQ(LoadUserReplacementFile(t_, a), 1);
  EXPECT_EQ(Texts(t_.ReplacementNames), (V{"BASE", "FROM_A"}));
  EXPECT_EQ(LoadUserReplacementFile(t_, b), 2);
  EXPECT_EQ(Texts(t_.ReplacementNames), (V{"BASE", "FROM_B", "BASE"}));
  // The base record comes first and wins the look-up.
  EXPECT_EQ(t_.ReplacementTemplates.Text(t_.ReplacementNames.FindExact("BASE")), "$1");
  EXPECT_EQ(Texts(t_.BaseReplacementNames), V{"BASE"});
}

TEST_F(UserFileTest, UnreadableFileThrowsWithItsNameAndLeavesTheBase) {
  LoadUserReplacementFile(t_, Write("a.def", "X\n0\nFROM_A\na\n"));
  const std::string missing = (dir_ / "missing.def").string();
  try {
    LoadUserReplacementFile(t_, missing);
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
  }
  EXPECT_EQ(Texts(t_.ReplacementNames), V{"BASE"});
  EXPECT_EQ(t_.ReplacementTemplates.Count(), 1);
  EXPECT_EQ(t_.ReplacementPointers.Count(), 1);
  EXPECT_THROW(LoadUserReplacementFile(t_, dir_.string()), std::runtime_error);  // a folder
  // A binary file is no text: read as one, its noise could make records.
  EXPECT_THROW(LoadUserReplacementFile(t_, Write("b.def", std::string("X\n0\nA\0\nb\n", 10))),
               std::runtime_error);
  EXPECT_EQ(Texts(t_.ReplacementNames), V{"BASE"});
}

TStringList2 Statement(const V& tokens) {
  TStringList2 l;
  for (const auto& t : tokens) l.Add(t);
  return l;
}

TEST(ExpandReplacementTest, Templates) {
  const TStringList2 one = Statement({"MAKE_HANDLE", "(", "HWIDGET", ")", ";"});
  const TStringList2 two = Statement({"PAIR", "(", "A", ",", "B", ")", ";"});
  struct Case {
    const char* Template;
    const TStringList2& Tokens;
    int N;
    std::string Expected;
  };
  const Case cases[] = {
      {"  $1 = THandle;", one, 1, "  HWIDGET = THandle;"},
      {"$2 $1 $1", two, 2, "B A A"},
      {"$$1", one, 1, "$1"},
      {"a$$", one, 1, "a$"},
      {"$1$n$1", one, 1, "HWIDGET\r\nHWIDGET"},
      {"//$0", one, 1, "// MAKE_HANDLE ( HWIDGET ) ;"},
      {"$00", one, 1, " MAKE_HANDLE ( HWIDGET ) ;"},  // the whole digit run is one number
      {"$01", one, 1, "HWIDGET"},
      {"[$x]", one, 1, "[ MAKE_HANDLE ( HWIDGET ) ;x]"},  // "$" + other acts as "$0"
      {"$N", one, 1, " MAKE_HANDLE ( HWIDGET ) ;N"},      // only a lower-case n breaks the line
      {"$ ", one, 1, " MAKE_HANDLE ( HWIDGET ) ; "},
      {"$2", one, 1, "\\"},  // beyond the record's arguments
      {"ok $1 then $", one, 1, "\\"},
      {"$99999999999999999999", two, 2, "\\"},
      {"$1", Statement({"NOARGS", "(", ")", ";"}), 0, "\\"},
      {"", one, 1, ""},
      {"no references", one, 1, "no references"},
  };
  for (const Case& c : cases) {
    Expansion e = ExpandReplacement(c.Template, "", c.N, c.Tokens);
    EXPECT_EQ(e.Text, c.Expected) << "template: " << c.Template;
  }
}

TEST(ExpandReplacementTest, FailureAddsNoPointerPairs) {
  const TStringList2 one = Statement({"M", "(", "H", ")", ";"});
  Expansion e = ExpandReplacement("$2", "$1,P$1", 1, one);
  EXPECT_TRUE(e.Failed());
  EXPECT_TRUE(e.PointerPairs.empty());
  EXPECT_FALSE(ExpandReplacement("\\x", "", 1, one).Failed());
}

TEST(ExpandReplacementTest, PointerPairs) {
  const TStringList2 one = Statement({"M", "(", "H", ")", ";"});
  const TStringList2 two = Statement({"P", "(", "A", ",", "B", ")", ";"});
  struct Case {
    const char* Text;
    const TStringList2& Tokens;
    int N;
    Pairs Expected;
  };
  const Case cases[] = {
      {"$1,P$1", one, 1, {{"H", "PH"}}},
      {"$1,P$1,$1,LP$1", one, 1, {{"H", "PH"}, {"H", "LPH"}}},
      {"$1,$2,$2,$1", two, 2, {{"A", "B"}, {"B", "A"}}},
      {"$1,P$1,", one, 1, {{"H", "PH"}}},         // a trailing comma completes nothing new
      {"$1", one, 1, {}},                         // no pointer part
      {"$1,", one, 1, {}},                        // empty pointer part
      {",P$1", one, 1, {}},                       // empty pointee
      {"x$0$1,P$1", one, 1, {{"H", "PH"}}},       // "$0" clears the pointee so far
      {"$1,xx$P$1", one, 1, {{"H", "PH"}}},       // "$" without digits clears too
      {"\"$1\",P$1", one, 1, {{"\"H\"", "PH"}}},  // quotes are ordinary characters
      // j > N: token 2j when the statement has it (here ";"), else nothing.
      {"$1$2,P$1", one, 1, {{"H;", "PH"}}},
      {"$1$3,P$1$3", one, 1, {{"H", "PH"}}},
      {"$3,P$3", one, 1, {}},  // nothing but the missing reference: incomplete pair
      {"$1,P$", one, 1, {}},   // a final "$" reads no digits: it clears "P"
      {"$1,P$1$99999999999999999999", one, 1, {{"H", "PH"}}},
  };
  for (const Case& c : cases) {
    Expansion e = ExpandReplacement("t", c.Text, c.N, c.Tokens);
    EXPECT_EQ(e.PointerPairs, c.Expected) << "pointer text: " << c.Text;
  }
}

}  // namespace
}  // namespace tqc
