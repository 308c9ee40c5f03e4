// Conditionals, packing pragmas, linkage blocks and the __cplusplus resolution of the
// source pre-pass.
#include <gtest/gtest.h>

#include "engine/conversion.h"
#include "engine/dispatch.h"
#include "engine/failure.h"
#include "engine/rules.h"
#include "engine/tokenizer.h"
#include "test_support.h"

namespace tqc {
namespace {

using V = std::vector<std::string>;
using testing::Fixture;

struct Case {
  const char* Input;
  V Expected;
  int Errors;
};

void RunCases(const Case* begin, const Case* end, bool cplusplus = false) {
  for (const Case* c = begin; c != end; ++c) {
    Fixture fx;
    fx.Options.DefineCplusplus = cplusplus;
    EXPECT_EQ(fx.Body(c->Input), c->Expected) << c->Input;
    EXPECT_EQ(fx.Result.ErrorCount, c->Errors) << c->Input;
  }
}

TEST(ConditionalsTest, IfExpressions) {
  const Case cases[] = {
      {"#if defined(_WIN32) && !defined(_WIN64)\n#endif\n",
       {"{$IF Defined(_WIN32) and (not Defined(_WIN64)) }", "{$IFEND}"},
       0},
      {"#if (WINVER >= 0x0400) // new\n", {"{$IF ( WINVER >= $0400 ) }\t// new"}, 0},
      {"#if ! defined(UNICODE)\n", {"{$IF not Defined(UNICODE) }"}, 0},
      {"#if 0x0400 <= WINVER\n", {"{$IF 0x0400 <= WINVER }"}, 0},
      {"#if A > 0X10\n", {"{$IF A > 0X10 }"}, 0},
      {"#if !defined(A) || X < 0x1F /* c */\n", {"{$IF (not Defined(A)) or X < $1F }\t(* c *)"}, 0},
      {"#if X > 1 /* a */ && Y = 2\n", {"{$IF X > 1\t(* a *) and Y = 2 }"}, 0},
      {"#elif X > 1\n", {"// Application Error : "}, 1},
  };
  RunCases(std::begin(cases), std::end(cases));
}

// The error line starts at the first token the rewriter could not use; what came before it
// keeps its translation.
TEST(ConditionalsTest, IfErrorPositions) {
  const Case cases[] = {
      {"#if defined(A) && B\n", {"// Error : {$IF Defined(A) and B"}, 1},
      {"#if !X\n", {"// Error : {$IF !X"}, 1},
      {"#if X == 1\n", {"// Error : {$IF X == 1"}, 1},
      {"#if X != 1\n", {"// Error : {$IF X <> 1"}, 1},
      {"#if\n", {"// Error : {$IF"}, 1},
      {"#if ( )\n", {"// Error : {$IF ( ) ( )"}, 1},
      {"#if X\n", {"// Error : {$IF X"}, 1},
      {"#if X // c\n", {"// Error : {$IF X // c"}, 1},
      {"#if defined X\n", {"// Error : {$IF defined X"}, 1},
      {"#if defined(A\n", {"// Error : {$IF defined ( A"}, 1},
      {"#if X > 1 && Y\n", {"// Error : {$IF X > 1 and Y"}, 1},
      {"#if ( A > 0x10 ) Z\n", {"// Error : {$IF ( A > $10 ) Z"}, 1},
      {"#if X > 1 Y\n", {"// Error : {$IF X > 1 Y"}, 1},
  };
  RunCases(std::begin(cases), std::end(cases));
}

TEST(ConditionalsTest, ElifClosesWithIfend) {
  const Case cases[] = {
      {"#ifdef A\n#elif X > 1\n#endif\n", {"{$IFDEF A}", "{$ELSEIF X > 1 }", "{$IFEND}"}, 0},
      {"#ifdef A\n#elseif X > 1\n#else\n#endif\n",
       {"{$IFDEF A}", "{$ELSEIF X > 1 }", "{$ELSE}", "{$IFEND}"},
       0},
      // An #elif that cannot be translated still changes how its conditional closes.
      {"#ifdef A\n#elif B\n#endif\n", {"{$IFDEF A}", "// Error : {$ELSEIF B", "{$IFEND}"}, 1},
      {"#if X > 1\n#ifdef Y\n#endif\n#endif\n",
       {"{$IF X > 1 }", "{$IFDEF Y}", "{$ENDIF}", "{$IFEND}"},
       0},
      // An opening that became an error line has its #elif, #else and #endif written as
      // comments: every directive of the unit pairs with one that was written.
      {"#if\n#endif\n", {"// Error : {$IF", "// {$IFEND}"}, 1},
      {"#ifdef\n#endif\n", {"// Error : {$IFDEF ", "// {$ENDIF}"}, 1},
      {"#if WINAPI_FAMILY_PARTITION (WINAPI_PARTITION_APP)\n#ifdef A\n#endif\n#else // x\n"
       "#endif /* y */\n",
       {"// Error : {$IF WINAPI_FAMILY_PARTITION ( WINAPI_PARTITION_APP )", "{$IFDEF A}",
        "{$ENDIF}", "// {$ELSE}// x", "// {$IFEND}(* y *)"},
       1},
      {"#ifdef A B\n#elif X > 1\n#elif Y\n#endif X\n#if X > 1\n#endif\n",
       {"// Error : {$IFDEF A} B", "// {$ELSEIF X > 1 }", "// Error : {$ELSEIF Y",
        "// Error : {$IFEND} X", "{$IF X > 1 }", "{$IFEND}"},
       3},
  };
  RunCases(std::begin(cases), std::end(cases));
}

TEST(ConditionalsTest, IfdefElseEndif) {
  const Case cases[] = {
      {"#ifdef STRICT\n", {"{$IFDEF STRICT}"}, 0},
      {"#ifndef _INC_X /* guard */\n", {"{$IFNDEF _INC_X}\t(* guard *)"}, 0},
      {"#ifdef A // c\n", {"{$IFDEF A}\t// c"}, 0},
      {"#ifdef A /* c */ B\n", {"{$IFDEF A}\t(* c *)"}, 0},
      {"#ifdef A B\n", {"// Error : {$IFDEF A} B"}, 1},
      {"/* note */ #ifdef X\n", {"{$IFDEF X}"}, 0},
      {"#ifdef A\n#else // x\n#endif /* y */\n",
       {"{$IFDEF A}", "{$ELSE}// x", "{$ENDIF}(* y *)"},
       0},
      // Tokens after #else or #endif make an error line; the directive itself is written, or
      // the unit would lose its balance.
      {"#ifdef A\n#else X\n#endif\n", {"{$IFDEF A}", "{$ELSE}", "// Error :  X", "{$ENDIF}"}, 1},
      {"#ifdef A\n#endif /* a */ /* b */\n",
       {"{$IFDEF A}", "{$ENDIF}", "// Error :  (* a *) (* b *)"},
       1},
      {"#ifdef A\n#endif X\n#endif\n",
       {"{$IFDEF A}", "{$ENDIF}", "// Error :  X", "// Application Error : "},
       2},
      {"#ifdef A\n} #endif\n", {"{$IFDEF A}", "// }", "{$ENDIF}"}, 0},
      {"#ifdef __cplusplus\n#endif\n", {"{$IFDEF __cplusplus}", "{$ENDIF}"}, 0},
  };
  RunCases(std::begin(cases), std::end(cases));
}

// An unbalanced #endif or #elif fails its line only: no directive, the stack stays empty
// and the conversion goes on.
TEST(ConditionalsTest, UnbalancedEndifFailsOnlyItsLine) {
  const Case cases[] = {
      {"#endif\n#ifdef A\n#endif\n", {"// Application Error : ", "{$IFDEF A}", "{$ENDIF}"}, 1},
      {"#elif X > 1\n#ifdef A\n#endif\n", {"// Application Error : ", "{$IFDEF A}", "{$ENDIF}"}, 1},
      {"#elseif X > 1\n#endif\n", {"// Application Error : ", "// Application Error : "}, 2},
      {"#else\n#ifdef A\n#else\n#endif\n",
       {"// Application Error : ", "{$IFDEF A}", "{$ELSE}", "{$ENDIF}"},
       1},
  };
  RunCases(std::begin(cases), std::end(cases));

  Fixture fx;
  auto& ctx = fx.Context();
  ctx.TokenList = TStringList2{"#endif"};
  EXPECT_THROW(TranslateStatement(ctx), IntendedFailure);
  EXPECT_TRUE(ctx.CondStack.empty());
  EXPECT_EQ(fx.Pane.Count(), 0);
}

TEST(ConditionalsTest, PackPragmas) {
  const Case cases[] = {
      {"#pragma pack(push)\n#pragma pack(1)\n#pragma pack(pop)\n",
       {"// #pragma pack( push )", "{$A1}", "{$A8} // pop"},
       0},
      {"#pragma pack()\n#pragma pack(2)\n#pragma pack(4)\n#pragma pack ( 8 )\n",
       {"{$A8}", "{$A2}", "{$A4}", "{$A8}"},
       0},
      {"#pragma option -a-\n#pragma option -a.\n", {"{$A1}", "{$A8}"}, 0},
      {"#pragma once\n#pragma\n", {"//  #pragma once", "//  #pragma"}, 0},
      {"#pragma pack(16)\n#pragma pack(4) // c\n#pragma warning(disable: 4201)\n",
       {"//  #pragma pack ( 16 )", "//  #pragma pack ( 4 ) // c",
        "//  #pragma warning ( disable: 4201 )"},
       0},
      {"#pragma option -a\n#pragma option -a1\n",
       {"//  #pragma option - a", "//  #pragma option - a1"},
       0},
      // Unknown shapes leave the alignment alone; pack(push, N) pushes and sets N (C's packing
      // up to the matching pop).
      {"#pragma pack(2)\n#pragma pack(push, 16)\n#pragma pack(push, 1)\n#pragma pack(pop)\n"
       "#pragma pack(pop)\n",
       {"{$A2}", "//  #pragma pack ( push , 16 )", "{$A1} // push", "{$A2} // pop", "{$A8} // pop"},
       0},
      {"#pragma pack(pop)\n", {"{$A8} // pop"}, 0},
  };
  RunCases(std::begin(cases), std::end(cases));
}

TEST(ConditionalsTest, PackStackHoldsThreeEntries) {
  Fixture fx;
  std::string in = "#pragma pack(2)\n";
  for (int i = 0; i < 4; ++i) in += "#pragma pack(push)\n";
  for (int i = 0; i < 5; ++i) in += "#pragma pack(pop)\n";
  V expected = {"{$A2}"};
  for (int i = 0; i < 4; ++i) expected.push_back("// #pragma pack( push )");
  // The fourth push lost the oldest entry; pops past the bottom give the default.
  for (const char* a : {"{$A2}", "{$A2}", "{$A2}", "{$A8}", "{$A8}"})
    expected.push_back(std::string(a) + " // pop");
  EXPECT_EQ(fx.Body(in), expected);

  // Different codes come back in reverse order.
  Fixture fy;
  EXPECT_EQ(fy.Body("#pragma pack(4)\n#pragma pack(push)\n#pragma pack(1)\n#pragma pack(push)\n"
                    "#pragma pack(2)\n#pragma pack(pop)\n#pragma pack(pop)\n#pragma pack(pop)\n"),
            (V{"{$A4}", "// #pragma pack( push )", "{$A1}", "// #pragma pack( push )", "{$A2}",
               "{$A1} // pop", "{$A4} // pop", "{$A8} // pop"}));
}

// Conditionals and pragmas are translated even while a declaration block is skipped.
TEST(ConditionalsTest, DirectivesInsideASkippedBlock) {
  Fixture fx;
  auto& ctx = fx.Context();
  ctx.SkippingBlock = true;
  for (const char* line : {"#pragma pack(1)", "#ifdef A", "#endif", "extern \"C\" {"}) {
    ctx.TokenList.Clear();
    TokenizeLine(line, ctx);
    TranslateStatement(ctx);
  }
  EXPECT_EQ(fx.Pane.Lines(), (V{"{$A1}", "{$IFDEF A}", "{$ENDIF}", "// Error :  extern 'C' {"}));
  EXPECT_TRUE(ctx.SkippingBlock);
  EXPECT_EQ(ctx.PackAlign, 0);
}

TEST(ConditionalsTest, ExternC) {
  const Case cases[] = {
      {"extern \"C\" {\n", {"// Error : extern \"C\" {"}, 1},
      {"EXTERN \"C\" {\n", {"// Error : extern \"C\" {"}, 1},
      {"extern \"C\"\n{\n", {"// Error : extern \"C\" {"}, 1},
      {"/* c */ extern \"C\" {\n", {"// Error : extern \"C\" {"}, 1},
      {"extern \"C\" int x;\n", {"// Error : extern \"C\" int x ;"}, 1},
      {"extern \"C\" { void f ( void ) ; }\n",
       {"// Error : extern \"C\" { void f ( void ) ; }"},
       1},
  };
  RunCases(std::begin(cases), std::end(cases));

  // "Error" is the red word of the line.
  Fixture fx;
  fx.Body("extern \"C\" {\n");
  bool red = false;
  for (const auto& r : fx.Pane.Ranges())
    if (r.Style == TextStyle::Red && r.Line == 12 && r.Column == 3 && r.Length == 5) red = true;
  EXPECT_TRUE(red);
}

// A wrapped declaration converts exactly like the declaration without the wrapper.
TEST(ConditionalsTest, ExternCWrapperIsRemoved) {
  Fixture plain;
  const V expected = plain.Body("void WINAPI Foo(void);\n");
  for (const char* in :
       {"extern \"C\" void WINAPI Foo(void);\n", "extern \"C\"\nvoid WINAPI Foo(void);\n",
        "Extern \"C\" void WINAPI Foo(void);\n"}) {
    Fixture fx;
    EXPECT_EQ(fx.Body(in), expected) << in;
  }
}

// The end of an extern "C" block, a "}" while no body is open, is written at once.
TEST(ConditionalsTest, LoneClosingBraceOutsideABody) {
  const Case cases[] = {
      // The brace is written; the #endif has no open conditional and fails its own line.
      {"}\n#endif\n", {"// }", "// Application Error : "}, 1},
      {"#ifdef A\n}\n#endif\n", {"{$IFDEF A}", "// }", "{$ENDIF}"}, 0},
      {"} /* extern \"C\" */\n#pragma pack(1)\n", {"// }\t(* extern \"C\" *)", "{$A1}"}, 0},
      {"/* c */ }\n", {"(* c *) // }"}, 0},
  };
  RunCases(std::begin(cases), std::end(cases));
  // The statements after the brace are not swallowed.
  Fixture fx;
  auto body = fx.Body("}\nint a;\n");
  ASSERT_EQ(body.size(), 3u);
  EXPECT_EQ(body[0], "// }");
  EXPECT_EQ(body[1], "var");
  EXPECT_EQ(body[2].find('}'), std::string::npos) << body[2];
}

TEST(ConditionalsTest, LoneClosingBraceAfterCplusplusResolution) {
  Fixture fx;
  fx.Options.DefineCplusplus = true;
  auto body = fx.Body(
      "#ifdef __cplusplus\nextern \"C\" {\n#endif\n#pragma pack(1)\n"
      "#ifdef __cplusplus\n}\n#endif\nint a;\n");
  ASSERT_EQ(body.size(), 5u);
  EXPECT_EQ(body[0], "// Error : extern \"C\" {");
  EXPECT_EQ(body[1], "{$A1}");
  EXPECT_EQ(body[2], "// }");
  EXPECT_EQ(body[3], "var");
  EXPECT_EQ(body[4].find('}'), std::string::npos) << body[4];
}

TEST(ConditionalsTest, BraceInsideAnOpenBodyIsLeftToItsRule) {
  for (int which = 0; which < 4; ++which) {
    Fixture fx;
    auto& ctx = fx.Context();
    fx.Pane.Add("type");
    fx.Pane.Add("  = record");
    if (which == 0) ctx.OpenStructLine = 1;
    if (which == 1) ctx.OpenUnionLine = 1;
    if (which == 2) ctx.OpenEnumLine = 1;
    if (which == 3) ctx.InInterface = true;
    ctx.TokenList = TStringList2{"}"};
    try {
      TranslateStatement(ctx);
    } catch (const std::exception&) {
    }
    for (int i = 2; i < fx.Pane.Count(); ++i) EXPECT_NE(fx.Pane.Line(i), "// }") << which;
  }
}

// --- __cplusplus resolution in the pre-pass ---

V Prepared(const V& lines, bool cplusplus = true, ConversionContext** out = nullptr,
           Fixture* fixture = nullptr) {
  Fixture local;
  Fixture& fx = fixture ? *fixture : local;
  fx.Options.DefineCplusplus = cplusplus;
  auto& ctx = fx.Context();
  ctx.SourceLines.assign(lines.begin(), lines.end());
  PrepareSource(ctx);
  if (out) *out = &ctx;
  return V(ctx.SourceLines.begin(), ctx.SourceLines.end());
}

TEST(CplusplusTest, BranchesAreResolved) {
  struct R {
    const char* Name;
    V In, Out;
  };
  const R cases[] = {
      {"ifdef keeps the C++ branch",
       {"#ifdef __cplusplus", "class X;", "#else", "typedef struct X X;", "#endif", "int a;"},
       {"class X;", "int a;"}},
      {"!defined keeps the other branch",
       {"#if !defined(__cplusplus)", "class X;", "#else", "typedef struct X X;", "#endif"},
       {"typedef struct X X;"}},
      {"blanks (and indentation) are skipped",
       {"  \t#ifdef   __cplusplus", "a", "#endif", "#if   defined(__cplusplus) && X", "b", "#endif",
        "#if !defined(__cplusplus", "c", "#endif"},
       {"a", "b"}},
      {"a longer name with the prefix counts", {"#ifdef __cplusplus_cli", "a", "#endif"}, {"a"}},
      {"!defined without #else drops the block",
       {"#if !defined(__cplusplus)", "a", "#endif", "b"},
       {"b"}},
      {"nested conditional inside a dropped C branch is dropped whole",
       {"#if !defined(__cplusplus)", "#ifdef A", "a", "#else", "b", "#endif", "c", "#else", "d",
        "#endif", "e"},
       {"d", "e"}},
      {"nested conditional after the C++ branch is dropped whole",
       {"#ifdef __cplusplus", "x", "#else", "#ifdef A", "y", "#else", "y2", "#endif", "z", "#endif",
        "w"},
       {"x", "w"}},
      {"nested conditionals inside the C++ branch are kept",
       {"#ifdef __cplusplus", "#ifdef A", "x", "#elif B", "y", "#else", "z", "#endif", "#if X > 1",
        "#endif", "#endif"},
       {"#ifdef A", "x", "#elif B", "y", "#else", "z", "#endif", "#if X > 1", "#endif"}},
      {"a __cplusplus test inside the C++ branch is kept as it is",
       {"#ifdef __cplusplus", "#ifdef __cplusplus", "x", "#else", "y", "#endif", "#endif"},
       {"#ifdef __cplusplus", "x", "#else", "y", "#endif"}},
      {"#elif ends the C++ branch",
       {"#ifdef __cplusplus", "a", "#elif X", "b", "#else", "c", "#endif", "d"},
       {"a", "d"}},
      {"#elseif after a !defined branch starts the kept part",
       {"#if !defined(__cplusplus)", "a", "#elseif X", "b", "#else", "c", "#endif"},
       {"b"}},
      {"#else inside a nested dropped conditional does not start the kept part",
       {"#if !defined(__cplusplus)", "#if X", "a", "#else", "b", "#endif", "#endif", "c"},
       {"c"}},
      {"outside a block every line stays",
       {"#ifdef A", "#if X > 1", "#elif Y", "#else", "#endif", "#ifndef __cplusplus", "#endif",
        "#ifdef\t__cplusplus", "#endif", "#if defined (__cplusplus)", "#endif", "x"},
       {"#ifdef A", "#if X > 1", "#elif Y", "#else", "#endif", "#ifndef __cplusplus", "#endif",
        "#ifdef\t__cplusplus", "#endif", "#if defined (__cplusplus)", "#endif", "x"}},
      {"file ends inside a kept block", {"#ifdef __cplusplus", "a"}, {"a"}},
      {"file ends inside a dropped block", {"#if !defined(__cplusplus)", "a"}, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(Prepared(c.In), c.Out) << c.Name;
}

TEST(CplusplusTest, OptionOffLeavesTheSourceAlone) {
  const V in = {"#ifdef __cplusplus", "a", "#else", "b", "#endif"};
  EXPECT_EQ(Prepared(in, false), in);
}

// The line classes and mode changes of the resolution, step by step.
TEST(CplusplusTest, LineClassesAndModes) {
  using A = CplusplusAction;
  struct Step {
    const char* Line;
    A Action;
    int Mode, Depth;
  };
  const Step steps[] = {
      {"int a;", A::KeepLine, 0, 0},                          // H, mode 0
      {"#ifdef A", A::KeepDirective, 0, 0},                   // B, mode 0
      {"#if X", A::KeepDirective, 0, 0},                      // E, mode 0
      {"#else", A::KeepDirective, 0, 0},                      // F, mode 0
      {"#endif", A::KeepDirective, 0, 0},                     // G, mode 0
      {"#ifdef __cplusplus", A::Delete, 1, 1},                // A, mode 0
      {"#ifdef B", A::KeepDirective, 1, 2},                   // B, mode 1
      {"#if defined(__cplusplus)", A::KeepDirective, 1, 3},   // C, mode 1
      {"#if !defined(__cplusplus)", A::KeepDirective, 1, 4},  // D, mode 1
      {"#ifndef X", A::KeepDirective, 1, 5},                  // E, mode 1
      {"#elif Y", A::KeepDirective, 1, 5},                    // F, mode 1 deeper
      {"#endif", A::KeepDirective, 1, 4},                     // G, mode 1 deeper
      {"#endif", A::KeepDirective, 1, 3},
      {"#endif", A::KeepDirective, 1, 2},
      {"#endif", A::KeepDirective, 1, 1},
      {"int b;", A::KeepLine, 1, 1},                    // H, mode 1
      {"#else", A::Delete, -2, 1},                      // F, mode 1 depth 1
      {"int c;", A::Delete, -2, 1},                     // H, mode -2
      {"#ifdef __cplusplus", A::Delete, -2, 2},         // A, mode -2
      {"#if !defined(__cplusplus)", A::Delete, -2, 3},  // D, mode -2
      {"#ifdef C", A::Delete, -2, 4},                   // B, mode -2
      {"#if Z", A::Delete, -2, 5},                      // E, mode -2
      {"#else", A::Delete, -2, 5},                      // F, mode -2 deeper
      {"#endif", A::Delete, -2, 4},
      {"#endif", A::Delete, -2, 3},
      {"#endif", A::Delete, -2, 2},
      {"#elif W", A::Delete, -2, 2},
      {"#endif", A::Delete, -2, 1},
      {"#else", A::Delete, -2, 1},                      // F, mode -2 at depth 1 stays -2
      {"#endif", A::Delete, 0, 0},                      // G, depth 1
      {"#if !defined(__cplusplus)", A::Delete, -1, 1},  // D, mode 0
      {"int d;", A::Delete, -1, 1},                     // H, mode -1
      {"#if defined(__cplusplus)", A::Delete, -1, 2},   // C, mode -1
      {"#else", A::Delete, -1, 2},                      // F, mode -1 deeper
      {"#endif", A::Delete, -1, 1},
      {"#elif V", A::Delete, 1, 1},  // F, mode -1 depth 1
      {"int e;", A::KeepLine, 1, 1},
      {"#endif", A::Delete, 0, 0},                    // G, mode 1 depth 1
      {"#if defined(__cplusplus)", A::Delete, 1, 1},  // C, mode 0
      {"#endif", A::Delete, 0, 0},
  };
  CplusplusState state;
  int n = 0;
  for (const auto& s : steps) {
    EXPECT_EQ(ResolveCplusplusLine(s.Line, state), s.Action) << n << " " << s.Line;
    EXPECT_EQ(state.Mode, s.Mode) << n << " " << s.Line;
    EXPECT_EQ(state.Depth, s.Depth) << n << " " << s.Line;
    ++n;
  }
}

// Only the kept lines register interface and class names.
TEST(CplusplusTest, DroppedLinesRegisterNothing) {
  Fixture fx;
  ConversionContext* ctx = nullptr;
  Prepared({"#ifdef __cplusplus", "class CKept : public CBase", "#else",
            "class CDropped : public CBase", "DECLARE_INTERFACE_(IDropped, IUnknown)", "#endif",
            "MIDL_INTERFACE(\"0000\")", "#ifdef __cplusplus"},
           true, &ctx, &fx);
  ASSERT_NE(ctx, nullptr);
  EXPECT_EQ(ctx->ClassNames.Count(), 1);
  EXPECT_EQ(ctx->ClassNames.Text(0), "CKept");
  // The name line after MIDL_INTERFACE is taken as it is, not resolved.
  ASSERT_EQ(ctx->InterfaceNames.Count(), 1);
  EXPECT_EQ(ctx->InterfaceNames.Text(0), "#ifdef");
  EXPECT_EQ(ctx->SourceLines.size(), 3u);
}

TEST(CplusplusTest, WholeConversions) {
  const Case on[] = {
      {"#ifdef __cplusplus\n#pragma pack(1)\n#else\n#pragma pack(2)\n#endif\n", {"{$A1}"}, 0},
      {"#if !defined(__cplusplus)\n#pragma pack(1)\n#else\n#pragma pack(2)\n#endif\n",
       {"{$A2}"},
       0},
      {"#ifndef __cplusplus\n#pragma pack(1)\n#endif\n",
       {"{$IFNDEF __cplusplus}", "{$A1}", "{$ENDIF}"},
       0},
  };
  RunCases(std::begin(on), std::end(on), true);
  const Case off[] = {
      {"#ifdef __cplusplus\n#pragma pack(1)\n#else\n#pragma pack(2)\n#endif\n",
       {"{$IFDEF __cplusplus}", "{$A1}", "{$ELSE}", "{$A2}", "{$ENDIF}"},
       0},
  };
  RunCases(std::begin(off), std::end(off), false);
}

}  // namespace
}  // namespace tqc
