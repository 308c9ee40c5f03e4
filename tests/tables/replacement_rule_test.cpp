// Replacement records applied by the statement dispatch, through whole conversions.
#include <gtest/gtest.h>

#include "engine/dispatch.h"
#include "tables/replacements.h"
#include "test_support.h"

namespace tqc {
namespace {

using V = std::vector<std::string>;
using testing::Fixture;

const char kMakeHandle[] = "T\n1,$1,P$1\nMAKE_HANDLE\n  $1 = THandle;\n";

class ReplacementRuleTest : public ::testing::Test {
 protected:
  // Installs .def text as the base records (and so as the active ones).
  void Records(const std::string& def) {
    DefinitionTables& d = fx.Defs;
    ReadReplacementText(def, d.BaseReplacementNames, d.BaseReplacementTemplates,
                        d.BaseReplacementPointers);
    d.ReplacementNames = d.BaseReplacementNames;
    d.ReplacementTemplates = d.BaseReplacementTemplates;
    d.ReplacementPointers = d.BaseReplacementPointers;
  }
  Fixture fx;
};

TEST_F(ReplacementRuleTest, WorkedExample) {
  Records(kMakeHandle);
  EXPECT_EQ(fx.Body("MAKE_HANDLE(HWIDGET);"), (V{"type", "  HWIDGET = THandle;"}));
  EXPECT_EQ(fx.Result.ErrorCount, 0);

  const V lines = fx.Body("MAKE_HANDLE(HWIDGET, X);");
  EXPECT_EQ(lines, V{"// Error :  MAKE_HANDLE ( HWIDGET , X ) ;"});
  EXPECT_EQ(fx.Result.ErrorCount, 1);
  bool red = false;
  for (const StyleRange& r : fx.Pane.Ranges())
    if (r.Style == TextStyle::Red && fx.Pane.Line(r.Line).substr(r.Column, r.Length) == "Error")
      red = true;
  EXPECT_TRUE(red);
}

TEST_F(ReplacementRuleTest, Shapes) {
  Records(std::string(kMakeHandle) + "X\n0\nNOARGS\n// none\n");
  struct Case {
    const char* Header;
    V Body;
  };
  const Case cases[] = {
      {"MAKE_HANDLE(A);\nMAKE_HANDLE(B);", {"type", "  A = THandle;", "  B = THandle;"}},
      // Completed through Pending; a blank line inside the statement gives nothing.
      {"MAKE_HANDLE(\n\nHWIDGET\n);", {"type", "  HWIDGET = THandle;"}},
      // A call written without ";" swallows the next statement.
      {"MAKE_HANDLE(A)\nint x;", {"// Error :  MAKE_HANDLE ( A ) int x ;"}},
      {"MAKE_HANDLE();", {"// Error :  MAKE_HANDLE ( ) ;"}},
      {"MAKE_HANDLE = A ) ;", {"// Error :  MAKE_HANDLE = A ) ;"}},
      {"MAKE_HANDLE ( A ; ;", {"// Error :  MAKE_HANDLE ( A ; ;"}},
      {"NOARGS();", {"// none"}},  // a record without arguments matches four tokens
      {"NOARGS(x);", {"// Error :  NOARGS ( x ) ;"}},
      {"NOARGS;", {"// Error :  NOARGS ;"}},
      // The leading comment goes: the record's text replaces the statement whole, and an
      // error line from token 0 has no built part.
      {"/* c */ MAKE_HANDLE(A);", {"type", "  A = THandle;"}},
      {"/* c */ MAKE_HANDLE(A, B);", {"// Error :  MAKE_HANDLE ( A , B ) ;"}},
  };
  for (const Case& c : cases) EXPECT_EQ(fx.Body(c.Header), c.Body) << c.Header;
}

TEST_F(ReplacementRuleTest, OnlyTheFirstTokenNamesARecord) {
  Records(kMakeHandle);
  for (const char* header : {"make_handle(A);", "x MAKE_HANDLE(A);", "MAKE_HANDLE_(A);"}) {
    for (const std::string& line : fx.Body(header))
      EXPECT_EQ(line.find("THandle"), std::string::npos) << header;
  }
}

TEST_F(ReplacementRuleTest, KindsSwitchSectionsBeforeTheText) {
  Records(
      "C\n1\nK_CONST\n  $1 = 1;\n"
      "V\n1\nK_VAR\n  $1: Integer;\n"
      "T\n1\nK_TYPE\n  $1 = Integer;\n"
      "F\n1\nK_FUNC\n  procedure $1;\n"
      "X\n1\nK_NONE\n  // $1\n");
  EXPECT_EQ(
      fx.Body("K_CONST(a);\nK_CONST(b);\nK_VAR(c);\nK_NONE(d);\nK_TYPE(e);\n"
              "K_FUNC(f);\nK_TYPE(g);\nK_TYPE(h);\nK_FUNC(i);\nK_NONE(j);\nK_CONST(k);"),
      (V{"const", "  a = 1;", "  b = 1;", "var", "  c: Integer;", "  // d", "type",
         "  e = Integer;", "  procedure f;",
         "type",  // a routine was written: the next switch repeats the header
         "  g = Integer;", "  h = Integer;", "  procedure i;", "  // j", "const", "  k = 1;"}));
  // The section headers are bold.
  int bold = 0;
  for (const StyleRange& r : fx.Pane.Ranges())
    if (r.Style == TextStyle::Bold && r.Column == 0 && r.Length == 5 &&
        fx.Pane.Line(r.Line) == "const")
      ++bold;
  EXPECT_EQ(bold, 2);
}

TEST_F(ReplacementRuleTest, LineBreaksInTheTextMakeSeveralLines) {
  Records("T\n1,$1,P$1\nDECL\n  $1\t= THandle;$n  P$1\t= ^$1;\n");
  EXPECT_EQ(fx.Body("DECL(HFOO);"), (V{"type", "  HFOO\t= THandle;", "  PHFOO\t= ^HFOO;"}));
}

TEST_F(ReplacementRuleTest, ArgumentsArriveMapped) {
  // The tokens have passed the type mapping before the record sees them.
  testing::LoadTables(fx.Defs, "[skip]\nOPTIONAL\n", "[TYPE]\nint,Integer\n");
  Records("T\n2\nALIAS\n  $2 = $1;\n");
  EXPECT_EQ(fx.Body("ALIAS(int, OPTIONAL MYINT);"), (V{"type", "  MYINT = Integer;"}));
}

TEST_F(ReplacementRuleTest, PointerPairsGoToTheConversionTables) {
  Records(std::string(kMakeHandle) + "T\n1,$1,P$1\nBROKEN\n$2\n");
  ConversionContext& ctx = fx.Context();
  const int before = ctx.PointeeTypes.Count();
  testing::Tokens(ctx, {"MAKE_HANDLE(HWIDGET);"});
  TranslateStatement(ctx);
  ASSERT_EQ(ctx.PointeeTypes.Count(), before + 1);
  EXPECT_EQ(ctx.PointeeTypes.Text(before), "HWIDGET");
  EXPECT_EQ(ctx.PointeeTypes.Tag(before), 1);
  EXPECT_EQ(ctx.PointerTypes.Text(before), "PHWIDGET");
  EXPECT_EQ(ctx.NewPointerIdx, std::vector<int>{before});
  EXPECT_FALSE(ctx.Pending);
  EXPECT_TRUE(fx.Defs.PointeeTypes.Empty());  // the program's tables stay as loaded

  // A failed expansion has no effects: no pair, no section header.
  const int lines = fx.Pane.Count();
  testing::Tokens(ctx, {"BROKEN(HOTHER);"});
  TranslateStatement(ctx);
  EXPECT_EQ(ctx.PointeeTypes.Count(), before + 1);
  EXPECT_EQ(ctx.NewPointerIdx.size(), 1u);
  ASSERT_EQ(fx.Pane.Count(), lines + 1);
  EXPECT_EQ(fx.Pane.Line(lines), "// Error :  BROKEN ( HOTHER ) ;");
  EXPECT_EQ(ctx.ErrorCount, 1);
}

}  // namespace
}  // namespace tqc
