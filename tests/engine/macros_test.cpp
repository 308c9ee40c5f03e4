// #define and #undef: the shape rules in their order, what they learn for later lines
// (constants, calling-convention aliases, interface aliases, identity macros, HRESULT
// macros), and the shapes that end as error lines.
#include <gtest/gtest.h>

#include "engine/dispatch.h"
#include "engine/numbers.h"
#include "engine/rules.h"
#include "engine/tokenizer.h"
#include "test_support.h"

namespace tqc {
namespace {

using V = std::vector<std::string>;
using testing::Fixture;
using testing::LoadTables;
using testing::Tokens;

const char* const kDat =
    "[stdcall]\n__stdcall\n[cdecl]\n__cdecl\n[pascal]\n__pascal\n[register]\n__fastcall\n"
    "[export]\n__export\n";
const char* const kTyp = "[INTERFACE]\nIFoo\n[CONST]\nFACILITY_ITF,4\n";

class MacrosTest : public ::testing::Test {
 protected:
  void SetUp() override { LoadTables(fx.Defs, kDat, kTyp); }

  // Translates each line as one statement on one context; returns all lines written.
  V Run(const V& lines) {
    ConversionContext& ctx = Ctx();
    for (const auto& line : lines) {
      ctx.TokenList.Clear();
      ctx.PendingStar = false;
      TokenizeLine(line, ctx);
      TranslateStatement(ctx);
    }
    return fx.Pane.Lines();
  }
  ConversionContext& Ctx() {
    if (!fx.Ctx) {
      fx.Context();
      fx.Ctx->InterfaceNames = fx.Defs.InterfaceNames;
    }
    return *fx.Ctx;
  }

  Fixture fx;
};

struct Case {
  const char* Input;
  V Expected;
};

TEST_F(MacrosTest, SingleStatements) {
  const Case cases[] = {
      {"#undef STRICT", {"{$UNDEF STRICT}"}},
      {"#undef STRICT // off", {"// Error :  #undef STRICT // off"}},
      {"#undef", {"// Error :  #undef"}},
      {"#define", {"// Error :  #define"}},
      {"#define STRICT", {"{$DEFINE STRICT}"}},
      {"#define STRICT // on", {"{$DEFINE STRICT}\t// on"}},
      {"#define STRICT /* on */", {"{$DEFINE STRICT}\t(* on *)"}},
      {"#define MAX_PATH 260", {"const", "  MAX_PATH\t= 260;"}},
      {"#define MAX_PATH 260 // max", {"const", "  MAX_PATH\t= 260;\t// max"}},
      {"#define MAX_PATH 260 270", {"// Error :  #define MAX_PATH 260 270"}},
      {"#define MASK 0xFFL", {"const", "  MASK\t= $FF;"}},
      {"#define LIMIT 10UL", {"const", "  LIMIT\t= 10U;"}},
      {"#define OCT 010", {"const", "  OCT\t= 010;"}},
      {"#define NAME \"abc\"", {"const", "  NAME\t= 'abc';"}},
      {"#define INTERFACE IFoo", {"//  #define INTERFACE IFoo"}},
      {"#define IFooAlias IFoo", {"type", "  IFooAlias\t= IFoo;"}},
      {"#define IFooAlias IFoo // alias", {"type", "  IFooAlias\t= IFoo;\t// alias"}},
      {"#define SIZE_X sizeof(X_INFO)", {"const", "  SIZE_X\t= sizeof(X_INFO);"}},
      {"#define SIZE_X sizeof(X_INFO) // size", {"const", "  SIZE_X\t= sizeof(X_INFO);\t// size"}},
      {"#define INVALID_ID ((DWORD)0xFFFF)", {"const", "  INVALID_ID\t= DWORD($FFFF);"}},
      // The minus after ")" is a token of its own: 9 tokens, no cast constant.
      {"#define NO_VALUE ((DWORD)-1)", {"const", "  NO_VALUE\t= ( ( DWORD ) - 1 );"}},
      {"#define UNALIGNED_X(p) p", {"// Error :  #define UNALIGNED_X ( p ) p"}},
      // A type with a trailing star is a pointer type; with a calling-convention word it
      // stands for the word in routine types.
      {"#define LPRASCONNW RASCONNW*", {"type", "  LPRASCONNW\t= ^RASCONNW;"}},
      {"#define LPRASNOUSERW RASNOUSERW * // c", {"type", "  LPRASNOUSERW\t= ^RASNOUSERW;\t// c"}},
      {"#define HALINKENUM void *", {"type", "  HALINKENUM\t= Pointer;"}},
      {"#define APIENTRYP __stdcall *\ntypedef void (APIENTRYP PFN)(void);",
       {"// #define APIENTRYP __stdcall *", "type", "  PFN =  procedure ; stdcall;"}},
      {"#define TWICE 2 *", {"// Error :  #define TWICE 2 *"}},
      // A macro with parameters ("(" right after the name) is never a constant; a value in
      // parentheses after a blank is.
      {"#define LimitEmsPages(dw)", {"// Error :  #define LimitEmsPages ( dw )"}},
      {" #  define SQ(x) ((x) * (x))", {"// Error :  #define SQ ( x ) ( ( x )* ( x ) )"}},
      {"#define V (5)", {"const", "  V\t= ( 5 );"}},
      {"#define type 1", {"const", "  &type\t= 1;"}},
      // NULL in a value is Pascal's nil; a definition of NULL itself stays a constant.
      {"#define NULL 0", {"const", "  NULL\t= 0;"}},
      {"#define P NULL", {"const", "  P\t= nil;"}},
      {"#define HNULL ((HANDLE)NULL)", {"const", "  HNULL\t= HANDLE(nil);"}},
      {"#define Q (NULL) // none", {"const", "  Q\t= ( nil );\t// none"}},
      // A leading comment is dropped by a rule that builds its line afresh.
      {"/* c */ #define X 1", {"const", "  X\t= 1;"}},
  };
  for (const auto& c : cases) {
    Fixture one;
    LoadTables(one.Defs, kDat, kTyp);
    EXPECT_EQ(one.Body(std::string(c.Input) + "\n"), c.Expected) << c.Input;
  }
}

TEST_F(MacrosTest, SimpleValuesAreRecordedAndResolveThroughNames) {
  Run({"#define MAX_PATH 260", "#define BUF_LEN MAX_PATH", "#define NAME FOO",
       "#define INVALID_ID ((DWORD)0xFFFF)", "#define SIZE_X sizeof(X_INFO)"});
  auto& ctx = Ctx();
  EXPECT_EQ(ResolveValue(ctx, "MAX_PATH"), 260);
  EXPECT_EQ(ResolveValue(ctx, "BUF_LEN"), 260);
  EXPECT_EQ(ResolveValue(ctx, "INVALID_ID"), 0xFFFF);
  EXPECT_FALSE(ctx.ConstNames.Contains("NAME"));
  EXPECT_FALSE(ctx.ConstNames.Contains("SIZE_X"));
  EXPECT_EQ(fx.Pane.Lines()[2], "  BUF_LEN\t= MAX_PATH;");
}

TEST_F(MacrosTest, RedefinitionAppendsButTheFirstValueWins) {
  Run({"#define A 2", "#define A 1"});
  auto& ctx = Ctx();
  EXPECT_EQ(ResolveValue(ctx, "A"), 2);
  int count = 0;
  for (const auto& e : ctx.ConstNames.Entries()) count += e.Text == "A";
  EXPECT_EQ(count, 2);
}

TEST_F(MacrosTest, CallingConventionAliasesAreLearned) {
  const V out = Run({
      "#define WINAPI __stdcall",
      "#define MYAPI __stdcall // comment dropped",
      "#define MYCDECL __cdecl",
      "#define MYPASCAL __pascal",
      "#define MYFAST __fastcall",
      "#define MYEXPORT __export",
      "#define MYEXPORT2 __export // exported",
  });
  EXPECT_EQ(out, (V{"// #define WINAPI __stdcall", "// #define MYAPI __stdcall",
                    "// #define MYCDECL __cdecl", "// #define MYPASCAL __pascal",
                    "// #define MYFAST __fastcall", "// #define MYEXPORT __export",
                    " // #define MYEXPORT2 __export"}));
  auto& ctx = Ctx();
  EXPECT_TRUE(ctx.StdcallWords.Contains("WINAPI"));
  EXPECT_TRUE(ctx.StdcallWords.Contains("MYAPI"));
  EXPECT_TRUE(ctx.CdeclWords.Contains("MYCDECL"));
  EXPECT_TRUE(ctx.PascalWords.Contains("MYPASCAL"));
  EXPECT_TRUE(ctx.RegisterWords.Contains("MYFAST"));
  EXPECT_TRUE(ctx.ExportWords.Contains("MYEXPORT2"));
  // Learned for this conversion only.
  EXPECT_FALSE(fx.Defs.StdcallWords.Contains("WINAPI"));
  // An alias learned from an alias goes to the same table.
  Run({"#define APIENTRY WINAPI"});
  EXPECT_TRUE(ctx.StdcallWords.Contains("APIENTRY"));
  // The alias now leaves a pending star for the name, as the word it stands for.
  EXPECT_EQ(Tokens(ctx, {"void * MYAPI f(void);"}),
            (V{"void", "MYAPI", "*f", "(", "void", ")", ";"}));
}

TEST_F(MacrosTest, InterfaceAliasBecomesAKnownInterface) {
  Run({"#define IFooAlias IFoo", "#define IFooAlias2 IFooAlias", "#define IFooAlias IFoo"});
  auto& ctx = Ctx();
  EXPECT_EQ(fx.Pane.Lines(), (V{"type", "  IFooAlias\t= IFoo;", "  IFooAlias2\t= IFooAlias;",
                                "  IFooAlias\t= IFoo;"}));
  // Registered once each; the index of each new entry is kept for the include cache.
  EXPECT_EQ(ctx.InterfaceNames.Count(), 3);
  EXPECT_EQ(ctx.NewInterfaceIdx, (std::vector<int>{1, 2}));
  EXPECT_EQ(ctx.InterfaceNames.Text(1), "IFooAlias");
}

TEST_F(MacrosTest, IdentityMacroIsSkippedForTheRestOfTheRun) {
  Fixture first;
  LoadTables(first.Defs, kDat, kTyp);
  EXPECT_EQ(first.Body("#define UNALIGNED_X(p) p\n#define P2 UNALIGNED_X 5\n"),
            (V{"// Error :  #define UNALIGNED_X ( p ) p", "const", "  P2\t= 5;"}));
  EXPECT_EQ(first.Result.ErrorCount, 1);
  // The table is the program's: a later conversion still drops the word.
  auto& ctx = first.Context();
  EXPECT_EQ(Tokens(ctx, {"int UNALIGNED_X x;"}), (V{"int", "x", ";"}));
  EXPECT_TRUE(first.Defs.SkipWords.Contains("UNALIGNED_X"));
}

TEST_F(MacrosTest, HresultArithmetic) {
  const Case cases[] = {
      {"#define E_X MAKE_HRESULT(1, 4, 5)", {"const", "  E_X\t= HRESULT($80040005);"}},
      {"#define E_X MAKE_SCODE(1, 4, 5) // x", {"const", "  E_X\t= HRESULT($80040005);\t// x"}},
      {"#define E_X MAKE_HRESULT(1, FACILITY_ITF, 0x200)",
       {"const", "  E_X\t= HRESULT($80040200);"}},
      {"#define E_Y MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x200)",
       {"const", "  E_Y\t= (((SEVERITY_ERROR) shl 31) + ((FACILITY_ITF) shl 16) + $200);"}},
      {"#define E_Z MAKE_HRESULT(0, FACILITY_X, 1)",
       {"const", "  E_Z\t= (((FACILITY_X) shl 16) + 1);"}},
      // A zero third argument is left out and the bracket closed after the shifts.
      {"#define E_Z MAKE_HRESULT(SEV, FACILITY_X, 0)",
       {"const", "  E_Z\t= (((SEV) shl 31) + ((FACILITY_X) shl 16));"}},
      // Numbers fold even with a zero argument.
      {"#define E_Z MAKE_HRESULT(1, 4, 0)", {"const", "  E_Z\t= HRESULT($80040000);"}},
      {"#define E_Z MAKE_HRESULT(0, 0, 0)", {"const", "  E_Z\t= $00000000;"}},
      // An argument of several tokens is joined without blanks.
      {"#define E_W MAKE_HRESULT(1, 4, BASE + 1)",
       {"const", "  E_W\t= (((1) shl 31) + ((4) shl 16) + BASE+1);"}},
      {"#define E_W MAKE_HRESULT(0, 0, 0x1 + 2)", {"const", "  E_W\t= ($1+2);"}},
      // Not three arguments: the header stays, the statement is an error line.
      {"#define E_V MAKE_HRESULT(1, 4, 5 // c",
       {"const", "// Error :  #define E_V MAKE_HRESULT ( 1 , 4 , 5 // c"}},
      {"#define E_V MAKE_HRESULT(1, 4, 5, 6)",
       {"const", "// Error :  #define E_V MAKE_HRESULT ( 1 , 4 , 5 , 6 )"}},
  };
  for (const auto& c : cases) {
    Fixture one;
    LoadTables(one.Defs, kDat, kTyp);
    EXPECT_EQ(one.Body(std::string(c.Input) + "\n"), c.Expected) << c.Input;
  }
}

TEST_F(MacrosTest, LearnedHresultMacroIsUsedByLaterDefines) {
  const V out = Run({
      "#define MAKE_MYERR(c) MAKE_HRESULT(1, 4, c)",
      "#define E_MINE MAKE_MYERR(0x10)",
      "#define E_MINE2 MAKE_MYERR(2) // two",
      "#define E_NAMED MAKE_MYERR(CODE)",
  });
  EXPECT_EQ(out, (V{"// Error :  #define MAKE_MYERR ( c ) MAKE_HRESULT ( 1 , 4 , c )", "const",
                    "  E_MINE\t= HRESULT($80040010);", "  E_MINE2\t= HRESULT($80040002);\t// two",
                    "  E_NAMED\t= ($80040000 + CODE);"}));
  auto& ctx = Ctx();
  EXPECT_EQ(ctx.MakeNames.Text(0), "MAKE_MYERR");
  EXPECT_EQ(ctx.MakeValues.Text(0), "$80040000");
  EXPECT_EQ(ctx.NewMakeIdx, (std::vector<int>{0}));
  EXPECT_EQ(ctx.ErrorCount, 1);
  // Uses are not recorded as constants.
  EXPECT_FALSE(ctx.ConstNames.Contains("E_MINE"));
}

TEST_F(MacrosTest, HresultMacroShapes) {
  struct Shape {
    const char* Define;
    const char* Value;
  };
  const Shape shapes[] = {
      {"#define M(c) MAKE_HRESULT(SEV, FAC, c)", "((SEV) shl 31) + ((FAC) shl 16)"},
      {"#define M(c) MAKE_HRESULT(1, FACILITY_ITF, 0x200 + (c))", "$80040200"},
      {"#define M(c) MAKE_HRESULT(1, 4, (c) + 0x200)", "$80040200"},
      {"#define M(c) MAKE_HRESULT(1, 4, (0x200 + (c)))", "$80040200"},
      {"#define M(c) MAKE_HRESULT(1, 4, ((c) + 0x200))", "$80040200"},
      {"#define M(c) MAKE_HRESULT(1, 4, BASE + (c))", "$80040000 + BASE"},
      {"#define M(c) MAKE_HRESULT(SEV, 4, BASE + (c))", "((SEV) shl 31) + ((4) shl 16) + BASE"},
  };
  for (const auto& s : shapes) {
    Fixture one;
    LoadTables(one.Defs, kDat, kTyp);
    auto& ctx = one.Context();
    Tokens(ctx, {s.Define});
    TranslateStatement(ctx);
    ASSERT_EQ(ctx.MakeValues.Count(), 1) << s.Define;
    EXPECT_EQ(ctx.MakeNames.Text(0), "M");
    EXPECT_EQ(ctx.MakeValues.Text(0), s.Value) << s.Define;
    EXPECT_EQ(one.Pane.Lines().size(), 1u);
    EXPECT_EQ(ctx.ErrorCount, 1);
  }
  // Shapes that are not learned still end as error lines.
  const char* const notLearned[] = {
      "#define M(c) MAKE_HRESULT(1, 4, d)",
      "#define M(c) MAKE_HRESULT(1, 4, 0x200 - (c))",
      "#define M(c) MAKE_HRESULT(1, 4, 0x200 + (c) + 1)",
  };
  for (const char* d : notLearned) {
    Fixture one;
    auto& ctx = one.Context();
    Tokens(ctx, {d});
    TranslateStatement(ctx);
    EXPECT_EQ(ctx.MakeNames.Count(), 0) << d;
    EXPECT_EQ(ctx.ErrorCount, 1) << d;
  }
}

TEST_F(MacrosTest, LearnedMacroWithTextValueIsAddedAsText) {
  const V out = Run({"#define M(c) MAKE_HRESULT(1, 4, BASE + (c))", "#define E_B M(5)"});
  EXPECT_EQ(out.back(), "  E_B\t= ($80040000 + BASE + 5);");
}

TEST_F(MacrosTest, FourCharacterCodes) {
  const Case cases[] = {
      {"#define FCC_RIFF mmioFOURCC('R','I','F','F')",
       {"const", "  FCC_RIFF\t= $46464952;\t// 'RIFF'"}},
      {"#define FCC_RIFF mmioFOURCC('R','I','F','F') // riff",
       {"const", "  FCC_RIFF\t= $46464952;\t// riff"}},
      {"#define FCC_X (MAKEFOURCC('a','b','c','d'))",
       {"const", "  FCC_X\t= $64636261;\t// 'abcd'"}},
      {"#define FCC_X (MAKEFOURCC('a','b','c','d')) // x",
       {"const", "  FCC_X\t= $64636261;\t// x"}},
      {"#define FCC_X MAKEFOURCC(a,'b','c','d')",
       {"// Error :  #define FCC_X MAKEFOURCC ( a , 'b' , 'c' , 'd' )"}},
      {"#define FCC_X MAKEFOURCC('\xE9','b','c','d')",
       {"const",
        "  FCC_X\t= $646362E9;\t// '\xE9"
        "bcd'"}},
  };
  for (const auto& c : cases) {
    Fixture one;
    EXPECT_EQ(one.Body(std::string(c.Input) + "\n"), c.Expected) << c.Input;
  }
}

TEST_F(MacrosTest, OtherStatementsAreDeclined) {
  auto& ctx = fx.Context();
  Statement st;
  Tokens(ctx, {"int x;"});
  EXPECT_EQ(TranslateDefine(ctx, st), RuleResult::Declined);
  EXPECT_EQ(TranslateUndef(ctx, st), RuleResult::Declined);
  Tokens(ctx, {"#define X 1"});
  EXPECT_EQ(TranslateUndef(ctx, st), RuleResult::Declined);
  Tokens(ctx, {"#undef X"});
  EXPECT_EQ(TranslateDefine(ctx, st), RuleResult::Declined);
  EXPECT_TRUE(fx.Pane.Lines().empty());
}

}  // namespace
}  // namespace tqc
