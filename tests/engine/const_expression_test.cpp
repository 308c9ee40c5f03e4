// Constant expressions of #define values: operator spelling, the one-operation fold, trailing
// comments, the 79-character wrap, and the statements that end as error lines or failures.
#include <gtest/gtest.h>

#include "engine/dispatch.h"
#include "engine/numbers.h"
#include "engine/tokenizer.h"
#include "test_support.h"

namespace tqc {
namespace {

using V = std::vector<std::string>;
using testing::Fixture;
using testing::LoadTables;

struct Case {
  const char* Input;
  V Expected;
};

TEST(ConstExpressionTest, WholeConversions) {
  const Case cases[] = {
      {"#define X (1 << 4)", {"const", "  X\t= $00000010;"}},
      {"#define X 1 << 4", {"const", "  X\t= 1 shl 4;"}},
      {"#define X (256 >> 4)", {"const", "  X\t= $00000010;"}},
      {"#define M (A | B)", {"const", "  M\t= ( A or B );"}},
      {"#define M (A || B)", {"const", "  M\t= ( A or B );"}},
      {"#define M (A && B)", {"const", "  M\t= ( A and B );"}},
      {"#define M (A & 0xFF) // low", {"const", "  M\t= ( A and $FF );\t// low"}},
      {"#define P (2 * 3)", {"const", "  P\t= $00000006;"}},
      {"#define N (0x10 + 1) // n", {"const", "  N\t= $00000011;\t// n"}},
      {"#define N (0x10 - 0x20)", {"const", "  N\t= $FFFFFFF0;"}},
      {"#define Q (7 / 2)", {"const", "  Q\t= $00000003;"}},
      {"#define V (-1)", {"const", "  V\t= ( -1 );"}},
      {"#define NO_VALUE ((DWORD)-1)", {"const", "  NO_VALUE\t= ( ( DWORD ) - 1 );"}},
      {"#define Y 1 + 0x10", {"const", "  Y\t= 1 + $10;"}},
      {"#define Z A + 1 // c", {"const", "  Z\t= A + 1;\t// c"}},
      {"#define W (1UL << 4)", {"const", "  W\t= ( 1U shl 4 );"}},
      // Doubled brackets around one operation still fold; a comment after them too.
      {"#define D ((1 + 2))", {"const", "  D\t= $00000003;"}},
      {"#define D ((1 + 2)) /* d */", {"const", "  D\t= $00000003;\t(* d *)"}},
      // Cases that must not fold.
      {"#define T (1 + 2 + 3)", {"const", "  T\t= ( 1 + 2 + 3 );"}},
      {"#define T (1 + 2) + 3", {"const", "  T\t= ( 1 + 2 ) + 3;"}},
      {"#define T (1 | 2)", {"const", "  T\t= ( 1 or 2 );"}},
      {"#define T (MAX_PATH + 1)", {"const", "  T\t= ( MAX_PATH + 1 );"}},
      {"#define T ((A) * 2 + 1)", {"const", "  T\t= ( ( A ) * 2 + 1 );"}},
      {"#define T ((A) << 2)", {"const", "  T\t= ( ( A ) shl 2 );"}},
      {"#define T (~0)", {"const", "  T\t= ( ~0 );"}},
      // Statements that are no constant expression.
      {"#define MAX(a,b) ((a)>(b)?(a):(b))",
       {"// Error :  #define MAX ( a , b ) ( ( a ) > ( b ) ? ( a ) : ( b ) )"}},
      {"#define X A B C", {"const", "// Error :  #define X A B C"}},
      {"#define X (5 % 2)", {"const", "// Error :  #define X ( 5 % 2 )"}},
      {"#define X (A) B C", {"const", "// Error :  #define X ( A ) B C"}},
      {"#define X 1, 2", {"const", "// Error :  #define X 1 , 2"}},
  };
  for (const auto& c : cases) {
    Fixture fx;
    EXPECT_EQ(fx.Body(std::string(c.Input) + "\n"), c.Expected) << c.Input;
  }
}

// Tokenizes and translates one statement on `ctx` and returns the lines it wrote.
V Translate(Fixture& fx, ConversionContext& ctx, const std::string& line) {
  const int before = fx.Pane.Count();
  ctx.TokenList.Clear();
  ctx.PendingStar = false;
  TokenizeLine(line, ctx);
  TranslateStatement(ctx);
  return V(fx.Pane.Lines().begin() + before, fx.Pane.Lines().end());
}

TEST(ConstExpressionTest, OnlyFoldedValuesAreRecorded) {
  Fixture fx;
  auto& ctx = fx.Context();
  Translate(fx, ctx, "#define X (1 << 4)");
  Translate(fx, ctx, "#define C (0x10 + 1) // c");
  Translate(fx, ctx, "#define S 1 << 4");
  Translate(fx, ctx, "#define U (A | 1)");
  EXPECT_EQ(ResolveValue(ctx, "X"), 16);
  EXPECT_EQ(ResolveValue(ctx, "C"), 17);
  EXPECT_EQ(ResolveValue(ctx, "S"), std::nullopt);
  EXPECT_EQ(ResolveValue(ctx, "U"), std::nullopt);
  // The header is written once for the run of constants.
  EXPECT_EQ(fx.Pane.Lines().front(), "const");
  EXPECT_EQ(fx.Pane.Count(), 5);
}

TEST(ConstExpressionTest, GluedProductIsSplitInTheTokenList) {
  Fixture fx;
  auto& ctx = fx.Context();
  EXPECT_EQ(Translate(fx, ctx, "#define P ((A) * B + 1)"),
            (V{"const", "  P\t= ( ( A ) * B + 1 );"}));
  EXPECT_EQ(ctx.Tok(6), "B");
}

TEST(ConstExpressionTest, LongValueWrapsAtSeventyNineCharacters) {
  Fixture fx;
  const std::string a(30, 'A'), b(31, 'B'), c(20, 'C');
  const V body = fx.Body("#define LONG (" + a + " | " + b + " | " + c + " | D)\n");
  const std::string first = "  LONG\t= ( " + a + " or " + b + " or";
  ASSERT_EQ(first.size(), 79u);
  // The rest goes on after eight blanks; each piece brings its own leading blank.
  EXPECT_EQ(body, (V{"const", first, std::string(9, ' ') + c + " or D );"}));
  // A value that fails after the wrap shows its error line only, not the half written.
  Fixture bad;
  EXPECT_EQ(bad.Body("#define LONG (" + a + " | " + b + " | " + c + " | D E)\n"),
            (V{"const", "// Error :  #define LONG ( " + a + " | " + b + " | " + c + " | D E )"}));
}

TEST(ConstExpressionTest, WrapIsCheckedAfterEachOperandOnly) {
  const std::string a(30, 'A');
  {
    // 78 characters after "C": no wrap, and the closing bracket is not checked.
    Fixture fx;
    const std::string b(28, 'B');
    const V body = fx.Body("#define LONG (" + a + " | " + b + " | C)\n");
    EXPECT_EQ(body, (V{"const", "  LONG\t= ( " + a + " or " + b + " or C );"}));
  }
  {
    // 79 characters after "C": the bracket and the ";" go on a line of their own.
    Fixture fx;
    const std::string b(29, 'B');
    const V body = fx.Body("#define LONG (" + a + " | " + b + " | C)\n");
    EXPECT_EQ(body,
              (V{"const", "  LONG\t= ( " + a + " or " + b + " or C", std::string(9, ' ') + ");"}));
  }
}

TEST(ConstExpressionTest, WrapEndsFoldingAndTheValueIsNotRecorded) {
  Fixture fx;
  auto& ctx = fx.Context();
  const std::string name(70, 'N');
  const V lines = Translate(fx, ctx, "#define " + name + " (1 + 2)");
  EXPECT_EQ(lines, (V{"const", "  " + name + "\t= ( 1 +", std::string(9, ' ') + "2 );"}));
  EXPECT_EQ(ResolveValue(ctx, name), std::nullopt);
}

TEST(ConstExpressionTest, DivisionByZeroFailsTheLineOnly) {
  Fixture fx;
  const V body = fx.Body("#define Z (1 / 0)\n#define Y (4 / 2)\n");
  EXPECT_EQ(body, (V{"const", "// Application Error : ", "  Y\t= $00000002;"}));
  ASSERT_EQ(fx.Result.Failures.size(), 1u);
  EXPECT_TRUE(fx.Result.Failures[0].Intended);
  EXPECT_EQ(fx.Result.Failures[0].Line, 1);
  EXPECT_EQ(fx.Result.ErrorCount, 1);
}

TEST(ConstExpressionTest, DivisionByZeroOutsideTheFoldIsOnlyText) {
  Fixture fx;
  EXPECT_EQ(fx.Body("#define Z 1 / 0\n"), (V{"const", "  Z\t= 1 / 0;"}));
}

}  // namespace
}  // namespace tqc
