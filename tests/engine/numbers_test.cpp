// Number spelling, integer reading, value resolution, enumeration operands, fixed-width
// hexadecimal, and the one-operation folder of constant expressions.
#include "engine/numbers.h"

#include <gtest/gtest.h>

#include <climits>

#include "engine/failure.h"
#include "test_support.h"

namespace tqc {
namespace {

using testing::Fixture;
using testing::LoadTables;

TEST(NumbersTest, ConvertNumber) {
  const std::pair<const char*, const char*> cases[] = {
      {"0x1FUL", "$1FU"},  // one suffix character only
      {"0x10U", "$10"},
      {"0xFF", "$FF"},  // "F" is a digit on hexadecimal numbers
      {"0XFF", "$FF"},
      {"0x1FL", "$1F"},
      {"7f", "7"},
      {"1.5F", "1.5"},
      {"2.5f", "2.5"},
      {"-5L", "-5"},
      {"5l", "5"},
      {"10UL", "10U"},
      {"10u", "10"},
      {"010", "010"},
      {"-0x10", "-0x10"},
      {"1e5", "1e5"},
      {"FOO", "FOO"},
      {"FOOL", "FOOL"},
      {"'abc'", "'abc'"},
      {"", ""},
      {"-UD_MAXVAL", "-UD_MAXVAL"},  // a name with a sign keeps its last letter
      {"-", "-"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(ConvertNumber(in), out) << in;
}

TEST(NumbersTest, ParseInteger) {
  const std::pair<const char*, std::optional<int>> cases[] = {
      {"0", 0},
      {"007", 7},
      {"+7", 7},
      {" 12", 12},
      {"2147483647", INT_MAX},
      {"-2147483648", INT_MIN},
      {"$80000000", INT_MIN},
      {"$FFFFFFFF", -1},
      {"0x10", 16},
      {"0X1f", 31},
      {"x10", 16},
      {"X10", 16},
      {"$00000001", 1},
      {"2147483648", std::nullopt},
      {"-2147483649", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"$123456789", std::nullopt},
      {"", std::nullopt},
      {" ", std::nullopt},
      {"-", std::nullopt},
      {"$", std::nullopt},
      {"0x", std::nullopt},
      {"-$10", std::nullopt},
      {"1.5", std::nullopt},
      {"10U", std::nullopt},
      {"12 ", std::nullopt},
      {"$1G", std::nullopt},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(ParseInteger(in), out) << "'" << in << "'";
}

TEST(NumbersTest, ResolveValueTakesTheFirstEntryOfAName) {
  Fixture fx;
  LoadTables(fx.Defs, "", "[CONST]\nMAX_PATH,260\nA,2\nA,1\n");
  auto& ctx = fx.Context();
  EXPECT_EQ(ResolveValue(ctx, "$10"), 16);
  EXPECT_EQ(ResolveValue(ctx, "MAX_PATH"), 260);
  EXPECT_EQ(ResolveValue(ctx, "A"), 2);
  EXPECT_EQ(ResolveValue(ctx, "FOO"), std::nullopt);
  EXPECT_EQ(ResolveValue(ctx, "max_path"), std::nullopt);
}

TEST(NumbersTest, ConvertEnumOperand) {
  Fixture fx;
  LoadTables(fx.Defs, "", "[CONST]\nMAX_PATH,260\n");
  auto& ctx = fx.Context();
  const std::pair<const char*, const char*> cases[] = {
      {"0x0F", "$0F"},
      {"0xFF", "$FF"},
      {"0x10u", "$10"},
      {"0x10L", "$10"},
      {"16L", "16"},
      {"1.5f", "1.5"},
      {"-3", "-3"},
      {"$1F", "$1F"},
      {"FLAG_A", "Integer(FLAG_A)"},
      {"-FLAG_L", "Integer(-FLAG_L)"},  // a name with a sign keeps its last letter
      {"MAX_PATH", "MAX_PATH"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(ConvertEnumOperand(ctx, in), out) << in;
}

TEST(NumbersTest, FormatHexNumber) {
  struct Case {
    const char* Text;
    int Width;
    const char* Expected;
  };
  const Case cases[] = {
      {"0x1234", 4, "1234"},  {"0x12345678L", 8, "12345678"},
      {"0x1", 8, "00000001"}, {"0xabcdef", 2, "AB"},  // digits beyond the width are cut
      {"10", 2, "0A"},        {"300", 2, "12C"},      // at least the width
      {"-1", 8, "FFFFFFFF"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatHexNumber(c.Text, c.Width), c.Expected) << c.Text;
  EXPECT_THROW(FormatHexNumber("FOO", 4), IntendedFailure);
  EXPECT_THROW(FormatHexNumber("0x12L", 4), IntendedFailure);
  EXPECT_THROW(FormatHexNumber("", 2), IntendedFailure);
}

TEST(NumbersTest, ArrayParamToPointerAndHex8) {
  EXPECT_EQ(ArrayParamToPointer("argv[]"), "*argv");
  EXPECT_EQ(ArrayParamToPointer("a[10][2]"), "*a");
  EXPECT_EQ(ArrayParamToPointer("[]"), "[]");
  EXPECT_EQ(ArrayParamToPointer("x"), "x");
  EXPECT_EQ(Hex8(0x80040005u), "80040005");
  EXPECT_EQ(Hex8(static_cast<std::uint32_t>(-1)), "FFFFFFFF");
  EXPECT_EQ(Hex8(0x1Fu), "0000001F");
}

// Folds "first op second" and returns the fold state and value.
std::pair<int, std::int32_t> Fold(const char* first, FoldOperator op, const char* second) {
  ConstFolder f;
  f.LoadFirstOperand(first);
  f.SetOperator(op);
  f.ApplyOperator(second);
  return {f.FoldState, f.Value};
}

TEST(NumbersTest, FolderWrapsAtThirtyTwoBits) {
  using P = std::pair<int, std::int32_t>;
  EXPECT_EQ(Fold("0x7FFFFFFF", FoldOperator::Add, "1"), P(2, INT_MIN));
  EXPECT_EQ(Fold("-2147483648", FoldOperator::Subtract, "1"), P(2, INT_MAX));
  EXPECT_EQ(Fold("0x10000", FoldOperator::Multiply, "0x10000"), P(2, 0));
  EXPECT_EQ(Fold("-7", FoldOperator::Divide, "2"), P(2, -3));
  EXPECT_EQ(Fold("$80000000", FoldOperator::Divide, "-1"), P(2, INT_MIN));
  EXPECT_EQ(Fold("-8", FoldOperator::ShiftRight, "1"), P(2, 0x7FFFFFFC));  // logical
  EXPECT_EQ(Fold("1", FoldOperator::ShiftLeft, "33"), P(2, 2));            // by b mod 32
  EXPECT_EQ(Fold("1", FoldOperator::ShiftLeft, "31"), P(2, INT_MIN));
  EXPECT_EQ(Fold("0x10L", FoldOperator::Add, "1UL"), P(-1, 16));  // "1U" is no integer
}

TEST(NumbersTest, FolderRefusesNamesSecondOperatorsAndMissingOperator) {
  EXPECT_EQ(Fold("MAX_PATH", FoldOperator::Add, "1").first, -1);
  EXPECT_EQ(Fold("1", FoldOperator::Add, "MAX_PATH").first, -1);
  EXPECT_EQ(Fold("1", FoldOperator::None, "2").first, -1);
  ConstFolder f;
  f.LoadFirstOperand("1");
  f.SetOperator(FoldOperator::Add);
  f.LoadFirstOperand("2");  // a second operator: (1 + 2 + 3) never folds
  EXPECT_EQ(f.FoldState, -1);
  f.ApplyOperator("3");
  EXPECT_EQ(f.FoldState, -1);
  ConstFolder g;
  g.ApplyOperator("3");  // a lone operand, as in (-1)
  EXPECT_EQ(g.FoldState, -1);
}

TEST(NumbersTest, FolderDivisionByZeroIsAnIntendedFailure) {
  EXPECT_THROW(Fold("1", FoldOperator::Divide, "0"), IntendedFailure);
  EXPECT_THROW(Fold("1", FoldOperator::Divide, "0x0L"), IntendedFailure);
}

}  // namespace
}  // namespace tqc
