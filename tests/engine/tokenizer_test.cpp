// The tokenizer's lexical rules, as token sequences.
#include "engine/tokenizer.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace tqc {
namespace {

using V = std::vector<std::string>;
using testing::Fixture;
using testing::Tokens;

struct Case {
  const char* Input;
  V Expected;
};

class TokenizerTest : public ::testing::Test {
 protected:
  Fixture fx;
};

TEST_F(TokenizerTest, SingleLines) {
  const Case cases[] = {
      {"#define X -1", {"#define", "X", "-1"}},
      {"a - 1;", {"a", "-", "1", ";"}},
      {"x = a - 1;", {"x", "=", "a", "-", "1", ";"}},
      {"(-1)", {"(", "-1", ")"}},
      {"x = -1", {"x", "=", "-1"}},
      {"1e+5 1e-5", {"1e+5", "1e-5"}},
      {"1E+5", {"1E", "+", "5"}},
      {"i++;", {"i+", "+", ";"}},
      {"x!=y", {"x", "<>", "y"}},
      {"a==b", {"a", "==", "b"}},
      {"/**/", {"(**)"}},
      {"int a; // note", {"int", "a", ";", "// note"}},
      {"/* a */int", {"(* a *)int"}},
      {"\"ab\\n\"", {"'ab'#13#10"}},
      {"\"Hello\\n\"", {"'Hello'#13#10"}},
      {"\"a\\tb\"", {"'a'#9'b'"}},
      {"\"\\x41BC\"", {"''#$41'BC'"}},
      {"\"it's\"", {"'it'#39's'"}},
      {"\"\"", {"''"}},
      {"\"a\\\\b\"", {"'a\\b'"}},
      {"\"say \\\"hi\\\"\"", {"'say \"hi\"'"}},
      // Wide literals lose their prefix; a name ending in L keeps its letter.
      {"L\"ab\"", {"'ab'"}},
      {"x = L'a' + L'\\0'", {"x", "=", "'a'", "+", "'\\0'"}},
      {"XL\"ab\"", {"XL'ab'"}},
      {"'x'", {"'x'"}},
      {"'\\n'", {"'\\n'"}},
      {"** p", {"**", "p"}},
      {"* * p", {"**", "p"}},
      {"char *p;", {"char", "*p", ";"}},
      {"(FOO *)", {"(", "FOO*", ")"}},
      {"int * /* c */ p;", {"int", "(* c *)", "*p", ";"}},
      {"   \t  ", {}},
      {"argv[]", {"*argv"}},
      {"a[10] b", {"a[10]", "b"}},
      {"a[1 + 2]", {"a[1 + 2]"}},
      {"f(a,b);", {"f", "(", "a", ",", "b", ")", ";"}},
      {"{x}", {"{", "x", "}"}},
      {"#if !defined(X)", {"#if", "!defined", "(", "X", ")"}},
      {"a<=b>>c<d", {"a", "<=", "b", ">>", "c", "<", "d"}},
      {"a||b&&c|d&e", {"a", "||", "b", "&&", "c", "|", "d", "&", "e"}},
      {"a/b", {"a", "/", "b"}},
      {"x--", {"x-", "-"}},
      {"10UL 0x1F 1.5e-3", {"10UL", "0x1F", "1.5e-3"}},
  };
  for (const auto& c : cases) {
    auto& ctx = fx.Context();
    EXPECT_EQ(Tokens(ctx, {c.Input}), c.Expected) << "input: " << c.Input;
  }
}

TEST_F(TokenizerTest, BlockCommentAcrossLines) {
  auto& ctx = fx.Context();
  EXPECT_EQ(Tokens(ctx, {"int a; /* one"}), (V{"int", "a", ";", "(* one"}));
  EXPECT_TRUE(ctx.InBlockComment);
  EXPECT_EQ(Tokens(ctx, {"  two  "}), (V{"  two  "}));
  EXPECT_EQ(Tokens(ctx, {"three */ int b;"}), (V{"three *)", "int", "b", ";"}));
  EXPECT_FALSE(ctx.InBlockComment);
  // A "*)" in the C comment's text would end the Pascal comment early.
  EXPECT_EQ(Tokens(ctx, {"/* f(LONG *); */ int c;"}), (V{"(* f(LONG * ); *)", "int", "c", ";"}));
}

TEST_F(TokenizerTest, StringAndBracketStayOpenAcrossLines) {
  auto& ctx = fx.Context();
  EXPECT_EQ(Tokens(ctx, {"x = \"ab"}), (V{"x", "=", "'ab"}));
  EXPECT_TRUE(ctx.InString);
  EXPECT_EQ(Tokens(ctx, {"cd\";"}), (V{"cd'", ";"}));
  EXPECT_FALSE(ctx.InString);
  EXPECT_EQ(Tokens(ctx, {"a[N"}), (V{"a[N"}));
  EXPECT_TRUE(ctx.InBrackets);
  EXPECT_EQ(Tokens(ctx, {" + 1] b"}), (V{" + 1]", "b"}));
}

TEST_F(TokenizerTest, CommentedOutBodyIsCopiedVerbatimWithNestedBraces) {
  auto& ctx = fx.Context();
  ctx.BodyDepth = 1;
  ctx.InBlockComment = true;
  EXPECT_EQ(Tokens(ctx, {"  if (x) { y(\"}\"); }"}), (V{"  if (x) { y(\"}\"); }"}));
  EXPECT_EQ(ctx.BodyDepth, 1);
  // Braces in character literals and escaped quotes in strings are no braces of the body.
  EXPECT_EQ(Tokens(ctx, {"    if(clsidString[0]==L'{') hr = 1; x = '\\''; s = \"\\\"}\";"}),
            (V{"    if(clsidString[0]==L'{') hr = 1; x = '\\''; s = \"\\\"}\";"}));
  EXPECT_EQ(ctx.BodyDepth, 1);
  EXPECT_FALSE(ctx.InString);
  EXPECT_EQ(Tokens(ctx, {"  return 0; }"}), (V{"  return 0; } *)"}));
  EXPECT_EQ(ctx.BodyDepth, 0);
  EXPECT_FALSE(ctx.InBlockComment);
}

TEST_F(TokenizerTest, InlineInterfaceBodyClosesAtBrace) {
  auto& ctx = fx.Context();
  ctx.InInterface = true;
  ctx.InBlockComment = true;
  EXPECT_EQ(Tokens(ctx, {" return 1; } int"}), (V{" return 1; } *)", "int"}));
}

TEST_F(TokenizerTest, PendingStarAtPunctuationWithNoTokenStandsAlone) {
  auto& ctx = fx.Context();
  EXPECT_EQ(Tokens(ctx, {"*(p) = 0;"}), (V{"*", "(", "p", ")", "=", "0", ";"}));
}

TEST_F(TokenizerTest, DoubleByteCharactersAreKeptWhole) {
  // 0x81 0x5C in code page 932 is one character whose second byte is a backslash.
  fx.Options.CodePage = 932;
  auto& ctx = fx.Context();
  std::string line = "\"a\x81\x5C\" b";
  EXPECT_EQ(Tokens(ctx, {line}), (V{"'a\x81\x5C'", "b"}));
  // A lead byte at the end of a line takes only itself.
  EXPECT_EQ(Tokens(ctx, {"x\x81"}), (V{"x\x81"}));
  // Without a double-byte code page the backslash is an escape.
  fx.Options.CodePage = 0;
  auto& single = fx.Context();
  EXPECT_EQ(Tokens(single, {line}), (V{"'a\x81\" b"}));
  EXPECT_TRUE(single.InString);
}

TEST_F(TokenizerTest, AnyBytesTokenizeWithoutFailure) {
  auto& ctx = fx.Context();
  std::string bytes;
  for (int c = 1; c < 256; ++c) bytes += static_cast<char>(c);
  bytes += std::string(1, '\0') + "tail";
  EXPECT_NO_THROW(Tokens(ctx, {bytes}));
}

}  // namespace
}  // namespace tqc
