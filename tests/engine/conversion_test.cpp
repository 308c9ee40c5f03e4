// The conversion driver and the dispatch frame: unit head and tail, the line loop, the
// epilogue forms, pending statements, normalisation steps and per-line failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "engine/dispatch.h"
#include "engine/tokenizer.h"
#include "test_support.h"

namespace tqc {
namespace {

using V = std::vector<std::string>;
using testing::Fixture;

class RecordingHost : public ConversionHost {
 public:
  std::optional<std::string> AskDllName(std::string_view offered) override {
    return std::string(offered);
  }
  void ShowStatus(std::string_view text) override { Statuses.emplace_back(text); }
  void ProcessPendingEvents() override { ++Events; }
  V Statuses;
  int Events = 0;
};

const V kEmptyUnit = {
    "//  Version : tqc Ver.0.0.0.0",
    "//     Date : 07 Dec 2026",
    "//   Source : x.h (01 Dec 2026)",
    "",
    "unit x;",
    "",
    "{$X+}{$Z4}{$A8}",
    "",
    "interface",
    "",
    "uses Windows;",
    "",
    "",
    "implementation",
    "",
    "end.",
};

TEST(ConversionTest, EmptyHeaderGivesExactlyTheEmptyUnit) {
  Fixture fx;
  RecordingHost host;
  OutputPane pane;
  auto r =
      ConvertText("/some/dir/x.h", "", BannerDate{2026, 12, 1}, fx.Defs, fx.Options, host, pane);
  EXPECT_EQ(pane.Lines(), kEmptyUnit);
  EXPECT_EQ(r.ErrorCount, 0);
  EXPECT_EQ(r.UnitName, "x");
  // The percentage step never runs for an empty file.
  EXPECT_EQ(host.Statuses, (V{" Converting (h -> pas) ...", " Error = 0"}));
  const std::vector<StyleRange> bold = {
      {4, 0, 4, TextStyle::Bold},    // unit
      {8, 0, 9, TextStyle::Bold},    // interface
      {10, 0, 4, TextStyle::Bold},   // uses (in line order, though marked last)
      {13, 0, 14, TextStyle::Bold},  // implementation
      {15, 0, 3, TextStyle::Bold},   // end
  };
  EXPECT_EQ(pane.Ranges(), bold);
}

// Macros of declarations built from others cost what their definitions cost: one that would
// write out more tokens than the bound (2^17 here) is no expansion, its use an error line.
TEST(ConversionTest, MacrosOfDeclarationsAreBounded) {
  std::string header = "#define M0 int a;\n";
  for (int i = 1; i <= 17; ++i)
    header += "#define M" + std::to_string(i) + " M" + std::to_string(i - 1) + " M" +
              std::to_string(i - 1) + "\n";
  header += "typedef struct _S {\n  M17\n} S;\n";
  Fixture fx;
  fx.Options.CompileReady = true;
  fx.Convert(header);
  const V& lines = fx.Pane.Lines();
  EXPECT_LT(lines.size(), 100u);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "// Error :  M17 } S ;"), lines.end());
}

// A line break in the file name neither splits the banner nor moves the uses line.
TEST(ConversionTest, FileNameWithLineBreakKeepsTheHead) {
  Fixture fx;
  RecordingHost host;
  OutputPane pane;
  ConvertText("/some/dir/x\ny.h", "", BannerDate{2026, 12, 1}, fx.Defs, fx.Options, host, pane);
  V expected = kEmptyUnit;
  expected[2] = "//   Source : x y.h (01 Dec 2026)";
  expected[4] = "unit x_y;";
  EXPECT_EQ(pane.Lines(), expected);
}

TEST(ConversionTest, SavedTextEndsEveryLineWithCrLf) {
  Fixture fx;
  fx.Convert("");
  std::string saved = fx.Pane.SaveText();
  ASSERT_GE(saved.size(), 6u);
  EXPECT_EQ(saved.substr(saved.size() - 6), "end.\r\n");
  EXPECT_EQ(saved.find('\n'), saved.find("\r\n") + 1);
}

TEST(ConversionTest, BannerDatesAndVersion) {
  EXPECT_EQ(FormatBannerDate({2004, 3, 5}), "05 Mar 2004");
  EXPECT_EQ(FormatBannerDate({1999, 12, 31}), "31 Dec 1999");
  Fixture fx;
  fx.Options.VersionText = "Ver.1.2.3.4";
  auto lines = fx.Convert("", "/a/b/MyHeader.H");
  EXPECT_EQ(lines.at(0), "//  Version : tqc Ver.1.2.3.4");
  EXPECT_EQ(lines.at(2), "//   Source : MyHeader.H (01 Dec 2026)");
  EXPECT_EQ(lines.at(4), "unit MyHeader;");
}

TEST(ConversionTest, UnknownDirectiveIsOneCountedRedErrorLine) {
  Fixture fx;
  auto body = fx.Body("#line 10\n");
  EXPECT_EQ(body, (V{"// Error :  #line 10"}));
  EXPECT_EQ(fx.Result.ErrorCount, 1);
  bool red = false;
  for (const auto& r : fx.Pane.Ranges())
    if (r.Style == TextStyle::Red && r.Line == 12 && r.Column == 3 && r.Length == 5) red = true;
  EXPECT_TRUE(red);
}

TEST(ConversionTest, ProgressIsShownPerLine) {
  Fixture fx;
  RecordingHost host;
  OutputPane pane;
  ConvertText("x.h", "#line 1\n#line 2\n#line 3\n", BannerDate{}, fx.Defs, fx.Options, host, pane);
  EXPECT_EQ(host.Events, 3);
  EXPECT_EQ(host.Statuses, (V{" Converting (h -> pas) ...", " Converting (h -> pas) ... (33%)",
                              " Converting (h -> pas) ... (66%)",
                              " Converting (h -> pas) ... (100%)", " Error = 3"}));
  // With more lines than percent steps each step is shown once, and events still run per line.
  RecordingHost many;
  std::string text;
  for (int i = 0; i < 250; ++i) text += "#line 1\n";
  ConvertText("x.h", text, BannerDate{}, fx.Defs, fx.Options, many, pane);
  EXPECT_EQ(many.Events, 250);
  ASSERT_EQ(many.Statuses.size(), 1u + 101u + 1u);  // 0% to 100%
  EXPECT_EQ(many.Statuses[1], " Converting (h -> pas) ... (0%)");
  EXPECT_EQ(many.Statuses[101], " Converting (h -> pas) ... (100%)");
  EXPECT_EQ(std::set<std::string>(many.Statuses.begin(), many.Statuses.end()).size(),
            many.Statuses.size());
}

struct BodyCase {
  const char* Name;
  const char* Input;
  V Expected;
};

TEST(ConversionTest, DispatchFrame) {
  const BodyCase cases[] = {
      {"blank lines", "#line 1\n\n#line 2\n", {"// Error :  #line 1", "", "// Error :  #line 2"}},
      {"blank line inside a pending statement gives nothing",
       "typedef\n\nfoo;\n",
       {"// Error :  typedef foo ;"}},
      {"comment alone", "/* one */\n", {"(* one *)"}},
      {"line comment alone", "// two\n", {"// two"}},
      {"comment over three lines", "/* a\n b\n c */\n", {"(* a", " b", " c *)"}},
      {"leading comment is dropped from an error line from token 0",
       "/* note */ #line 5\n",
       {"// Error :  #line 5"}},
      {"closing brace before a directive", "} #line\n", {"// }", "// Error :  #line"}},
      {"struct tag of a plain declaration is dropped", "struct tagA a;\n", {"var", "\ta\t: tagA;"}},
      {"struct with a body keeps its tag",
       "struct tagA { int x; } a;\n",
       {"type", "  p_a = ^a;", "  a = record", "\tx\t: int;", "  end;"}},
      {"dllexport becomes one export word",
       "__declspec ( dllexport ) int f(void)\n",
       {"// Error :  _export int f ( void )"}},
      {"continuation lines make one statement", "#line \\\n 10\n", {"// Error :  #line 10"}},
      {"a backslash glued to a word continues the line too",
       "#line X\\\n10\n",
       {"// Error :  #line X 10"}},
      {"typedef retry without parentheses",
       "typedef int FOO BAR;\n",
       {"// Error :  typedef int FOO BAR ;"}},
      {"typedef with a public base starts a skipped block",
       "typedef struct A : public B { int x; };\nint y;\n",
       {"// Error :  typedef struct A : public B { int x ; } ;", "// Error :  int y ;"}},
      {"statement unfinished at the end of the file is still shown",
       "int a\n",
       {"// Error :  int a"}},
      {"continuation up to the end of the file is still shown",
       "#line \\\n",
       {"// Error :  #line"}},
      // A comment or a body the file never closes ends before the unit's tail.
      {"comment open at the end of the file",
       "typedef int A;\n/* unterminated comment\nint f(int x);\n",
       {"type", "  A\t= int;", "(* unterminated comment", "int f(int x);", "*)",
        "// Error : the comment above has no closing */ in the file"}},
      {"body open at the end of the file",
       "int f(int x)\n{\n  return x;\n",
       {"  function f(x: int): int; cdecl;\t(* {", "  return x;", "*)",
        "// Error : the body above has no closing } in the file"}},
      {"a comment in a statement's error line opens nothing",
       "int f(int x /* open\nmore\n",
       {"// Error :  int f ( int x (* open more"}},
      // What follows the end of a statement on its line is the next statement.
      {"prototypes that share a line",
       "int f(int a); int g(int b); int h(void);\n",
       {"  function f(a: int): int; cdecl;", "  function g(b: int): int; cdecl;",
        "  function h: int; cdecl;"}},
      {"records that share a line",
       "typedef struct { int x; } A; typedef struct { int y; } B;\n",
       {"type", "  p_A = ^A;", "  A = record", "\tx\t: int;", "  end;", "  p_B = ^B;",
        "  B = record", "\ty\t: int;", "  end;"}},
      {"enumerations, typedefs and variables that share a line",
       "enum E { E1 }; enum F { F1 }; typedef int T1; typedef int T2; /* c */ int v; int w;\n",
       {"type", "  E = ( E1 );", "  F = ( F1 );", "  T1\t= int;", "  T2\t= int;\t(* c *)", "var",
        "\tv\t: int;", "\tw\t: int;"}},
      {"a directive line is one statement", "#line 1; int z;\n", {"// Error :  #line 1 ; int z ;"}},
      {"a statement that waits in spite of its \";\" does not take what follows",
       "typedef struct ; int z;\n",
       {"type", "// Error :  typedef struct ;", "var", "\tz\t: int;"}},
      // A star at the end of a line belongs to the next line's word.
      {"star before a line break", "int *\n p;\n", {"var", "\tp\t: p_int;"}},
      {"star before a continuation mark",
       "#define AREA ( W * \\\n H )\n",
       {"const", "  AREA\t= ( W * H );"}},
      {"typedef over two lines", "typedef const X *\n PCX;\n", {"type", "  PCX\t= ^X;"}},
  };
  for (const auto& c : cases) {
    Fixture fx;
    EXPECT_EQ(fx.Body(c.Input), c.Expected) << c.Name;
  }
}

TEST(ConversionTest, StatementWithoutSemicolonDoesNotSwallowTheNextDirective) {
  Fixture fx;
  EXPECT_EQ(
      fx.Body("#ifdef A\nMACRO_CALL(X, 1)\n#endif\n#line 3\n"),
      (V{"{$IFDEF A}", "// Error :  MACRO_CALL ( X , 1 )", "{$ENDIF}", "// Error :  #line 3"}));
  // A continued directive line still joins the next line, and a pending "}" keeps its
  // directive.
  Fixture fy;
  EXPECT_EQ(fy.Body("#line \\\n#x\n"), (V{"// Error :  #line #x"}));
  Fixture fz;
  EXPECT_EQ(fz.Body("#ifdef A\n}\n#endif\n"), (V{"{$IFDEF A}", "// }", "{$ENDIF}"}));
}

TEST(ConversionTest, CppLinkageBlockOpensLikeACBlock) {
  Fixture fx;
  EXPECT_EQ(fx.Body("extern \"C++\" {\n#line 2\n}\n"),
            (V{"// Error : extern \"C++\" {", "// Error :  #line 2", "// }"}));
}

TEST(ConversionTest, NamespaceOpensABlock) {
  Fixture fx;
  EXPECT_EQ(fx.Body("namespace N {\n#line 2\n}\n"),
            (V{"// Error :  namespace N {", "// Error :  #line 2", "// }"}));
}

TEST(ConversionTest, RunawayStatementIsCutIntoErrorLines) {
  Fixture fx;
  // A statement that never ends: every line adds 100 tokens and no ";".
  std::string line;
  for (int i = 0; i < 100; ++i) line += " w" + std::to_string(i);
  std::string text = "int" + line + "\n";
  for (int i = 0; i < 100; ++i) text += line + "\n";
  auto body = fx.Body(text);
  ASSERT_GE(body.size(), 2u);
  std::size_t words = 0;
  for (const auto& l : body) {
    EXPECT_TRUE(l.starts_with("// Error :  ")) << l.substr(0, 40);
    words += static_cast<std::size_t>(std::count(l.begin(), l.end(), 'w'));
  }
  EXPECT_EQ(words, 101u * 100u);  // nothing lost
}

TEST(ConversionTest, LineEndsOfEveryKindAndNoFinalBreak) {
  Fixture fx;
  EXPECT_EQ(fx.Body("/* a */\r/* b */\r\n/* c */\n/* d */"),
            (V{"(* a *)", "(* b *)", "(* c *)", "(* d *)"}));
}

TEST(ConversionTest, FailureInsideALineIsCountedAndTheLoopGoesOn) {
  Fixture fx;
  // A [define] name without its value: the look-up of the value fails inside the line.
  fx.Defs.DefineNames.Add("BOOM");
  auto body = fx.Body("#line 1\nBOOM\n#line 2\n");
  EXPECT_EQ(body, (V{"// Error :  #line 1", "// Application Error : ", "// Error :  #line 2"}));
  EXPECT_EQ(fx.Result.ErrorCount, 3);
  ASSERT_EQ(fx.Result.Failures.size(), 1u);
  EXPECT_EQ(fx.Result.Failures[0].Line, 2);
  EXPECT_FALSE(fx.Result.Failures[0].Intended);
  bool red = false;
  for (const auto& r : fx.Pane.Ranges())
    if (r.Style == TextStyle::Red && r.Line == 13 && r.Column == 3 && r.Length == 17) red = true;
  EXPECT_TRUE(red);
}

TEST(ConversionTest, SecondConversionStartsFromTheDefinitionTables) {
  Fixture fx;
  fx.Convert("#line 1\n");
  auto lines = fx.Convert("");
  EXPECT_EQ(lines, kEmptyUnit);
  EXPECT_EQ(fx.Result.ErrorCount, 0);
}

TEST(ConversionTest, AnyBytesConvertWithoutLosingLines) {
  Fixture fx;
  std::string text;
  for (int c = 0; c < 256; ++c) {
    if (c == '\n' || c == '\r') continue;
    text += static_cast<char>(c);
  }
  text += "\n\xff\xfe\n/* unterminated comment\n\"unterminated string\n";
  text += std::string(1 << 20, 'x') + "\n";
  EXPECT_NO_THROW(fx.Convert(text));
  EXPECT_EQ(fx.Pane.Line(fx.Pane.Count() - 1), "end.");
  EXPECT_GT(fx.Pane.Count(), 16);
}

// The frame on a context prepared by hand: states that only later rules can open.
class FrameTest : public ::testing::Test {
 protected:
  V Translate(ConversionContext& ctx, const std::string& line) {
    int before = fx.Pane.Count();
    if (!ctx.Pending) ctx.TokenList.Clear();
    ctx.PendingStar = false;
    TokenizeLine(line, ctx);
    TranslateStatement(ctx);
    return V(fx.Pane.Lines().begin() + before, fx.Pane.Lines().end());
  }
  Fixture fx;
};

TEST_F(FrameTest, CommentsInsideAnOpenBodyAreIndented) {
  auto& ctx = fx.Context();
  fx.Pane.Add("type");
  fx.Pane.Add("  TFoo = record");
  ctx.OpenStructLine = 1;
  EXPECT_EQ(Translate(ctx, "/* one */"), (V{"\t(* one *)"}));
  EXPECT_EQ(Translate(ctx, "// two"), (V{"\t// two"}));
  // A comment over three lines: first indented, middle and last unchanged.
  EXPECT_EQ(Translate(ctx, "/* a"), (V{"\t(* a"}));
  EXPECT_EQ(Translate(ctx, " b"), (V{" b"}));
  EXPECT_EQ(Translate(ctx, " c */"), (V{" c *)"}));
}

TEST_F(FrameTest, SkippedBlockEndsOnlyAtItsClosingBrace) {
  auto& ctx = fx.Context();
  ctx.SkippingBlock = true;
  EXPECT_EQ(Translate(ctx, "int a;"), (V{"// Error :  int a ;"}));
  EXPECT_EQ(Translate(ctx, "}"), (V{"// Error :  }"}));
  EXPECT_TRUE(ctx.SkippingBlock);
  EXPECT_EQ(Translate(ctx, "};"), (V{"// Error :  } ;"}));
  EXPECT_FALSE(ctx.SkippingBlock);
  ctx.SkippingBlock = true;
  EXPECT_EQ(Translate(ctx, "} x;"), (V{"// Error :  } x ;"}));
  EXPECT_FALSE(ctx.SkippingBlock);
  EXPECT_EQ(ctx.ErrorCount, 4);
}

TEST_F(FrameTest, EpilogueForms) {
  auto& ctx = fx.Context();
  ctx.TokenList = TStringList2{"#pragma", "once"};
  Statement st;
  st.Outcome = kWriteComment;
  WriteOutcome(ctx, st);
  st.Outcome = 1;
  st.Built = "{$IF";
  ctx.TokenList = TStringList2{"#if", "!X"};
  WriteOutcome(ctx, st);
  st.Outcome = kWriteBuilt;
  st.Built = "a\r\nb";
  WriteOutcome(ctx, st);
  EXPECT_EQ(fx.Pane.Lines(), (V{"//  #pragma once", "// Error : {$IF !X", "a", "b"}));
  EXPECT_EQ(ctx.ErrorCount, 1);
}

}  // namespace
}  // namespace tqc

namespace tqc {
namespace {

// Compiler-ready output: what a compiler needs beyond the rules, each shape with the header
// line that showed it in a real header set.
TEST(ConversionTest, CompileReadyOutput) {
  struct Case {
    const char* Input;
    V Expected;
    int Errors;
  };
  const Case cases[] = {
      // A macro called in a condition has no value: its error line, then a stand-in.
      {"#if WINAPI_FAMILY_PARTITION(WINAPI_PARTITION_APP)\n#endif\n",
       {"// Error :  #if WINAPI_FAMILY_PARTITION ( WINAPI_PARTITION_APP )", "{$IF True}",
        "{$IFEND}"},
       1},
      // Names in conditions only count when declared.
      {"#if X > 1\n#endif\n", {"{$IF (Declared(X) and (X > 1)) }", "{$IFEND}"}, 0},
      // C tells fields apart by case, Pascal does not.
      {"typedef struct { int Y; int x; int y; } C;\n",
       {"type", "  p_C = ^C;", "  C = record", "\tY\t: Integer;", "\tx\t: Integer;",
        "\ty_\t: Integer;", "  end;"},
       0},
      // A type that no unit declares makes the routine an error line; the others are bound.
      {"int WINAPI f(UNKNOWN_T a);\nint WINAPI g(int a);\n",
       {"// Error : function f(a: UNKNOWN_T): Integer; stdcall; external 'x.dll' name 'f';",
        "  function g(a: Integer): Integer; stdcall; external 'x.dll' name 'g';"},
       1},
      // The pointer type of an enumeration, and operators in its values.
      {"typedef enum _E { A1, B1 } E, *PE;\nenum E2 { A2 = 1, B2 = 2, C2 = A2 | B2 };\n",
       {"type", "  E = ( A1, B1 );", "  PE\t= ^E;",
        "  E2 = ( A2\t= 1, B2\t= 2, C2\t= Integer(A2) or Integer(B2) );"},
       0},
      // C's own typedef of a Windows type is no Pascal alias (it would name itself).
      {"typedef unsigned long ULONG;\ntypedef ULONG HGLYPH;\n",
       {"type", "//   ULONG\t= ULONG;", "  HGLYPH\t= ULONG;"},
       0},
      // A brace is no value; a pointer to a record declared later is untyped.
      {"#define CLOSE_IT }\nstruct S;\ntypedef int (WINAPI *CB)(struct S *p);\n",
       {"// Error :  #define CLOSE_IT }", "type", "",
        "  CB =  function (var p): Integer; stdcall;"},
       1},
      // A record whose fields a macro declares gets them, and its closing brace.
      {"#define FIELDS int a; int b;\ntypedef struct _S {\n  FIELDS\n} S;\n",
       {"// Error :  #define FIELDS Integer a ; Integer b ;", "type", "  p_S = ^S;", "  S = record",
        "\ta\t: Integer;", "\tb\t: Integer;", "  end;", "  _S\t= S;"},
       1},
      // Macros that lead back to themselves are written out once on each path.
      {"#define A B a;\n#define B C b;\n#define C A c;\ntypedef struct _T {\n  C\n} T;\n",
       {"// Error :  #define A B a ;", "// Error :  #define B C b ;", "// Error :  #define C A c ;",
        "type", "  p_T = Pointer;", "// Error : T = record", "// Error : b\t: C;",
        "// Error :  a ;", "// Error :  c ;", "// Error : end;", "// Error : _T\t= T;"},
       9},
      // A routine named like a record in another letter case; sizeof of a type; an alias of
      // a record in another letter case is a type.
      {"typedef struct tagCC { int a; } CC;\nint WINAPI Cc(int n);\n"
       "#define N (8 - sizeof(CC))\n#define cc_alias cc\n",
       {"type", "  p_CC = ^CC;", "  CC = record", "\ta\t: Integer;", "  end;", "  tagCC\t= CC;",
        "  function Cc_(n: Integer): Integer; stdcall; external 'x.dll' name 'Cc';", "const",
        "  N\t= ( 8 - SizeOf(CC) );", "type", "  cc_alias\t= cc;"},
       0},
      // The branch for C++ that declares a COM interface is the one compiled.
      {"#if defined(__cplusplus) && !defined(CINTERFACE)\n"
       "MIDL_INTERFACE(\"b3e7c340-ef97-11ce-9bc9-00aa00608e01\")\nIFoo : public IUnknown\n{\n"
       "  virtual int WINAPI F(int a) = 0;\n};\n#else\ntypedef struct IFooVtbl { int x; } "
       "IFooVtbl;\n"
       "#endif\n",
       {"{$IF True }\t// {$IF Defined(__cplusplus) and (not Defined(CINTERFACE)) }", "type",
        "  IFoo = interface ( IUnknown )", "\t['{b3e7c340-ef97-11ce-9bc9-00aa00608e01}']",
        "    function F(a: Integer): Integer; stdcall;", "  end;", "{$ELSE}", "type",
        "  p_IFooVtbl = ^IFooVtbl;", "  IFooVtbl = record", "\tx\t: Integer;", "  end;",
        "{$IFEND}"},
       0},
      // A routine with a routine-type parameter is read again after the split: it is still
      // bound. A default value is a Pascal number.
      {"int WINAPI Q(int a, void (*fCb)(int x));\n"
       "MIDL_INTERFACE(\"b3e7c340-ef97-11ce-9bc9-00aa00608e02\")\nIBar : public IUnknown\n{\n"
       "  virtual int WINAPI Wait(int ms = 0xffffffff) = 0;\n};\n",
       {"type", "  TfCb = procedure (x: Integer); cdecl;",
        "  function Q(a: Integer; fCb: TfCb): Integer; stdcall; external 'x.dll' name 'Q';", "type",
        "  IBar = interface ( IUnknown )", "\t['{b3e7c340-ef97-11ce-9bc9-00aa00608e02}']",
        "    function Wait(ms: Integer = $ffffffff): Integer; stdcall;", "  end;"},
       0},
      // Names apart: a variable named like a type, two routine types of one parameter name.
      // No constant of a routine type; no declaration from a branch no compiler takes; no
      // field whose bound names what is not declared.
      {"typedef int (WINAPI ABPI)(int a);\nABPI AbPi;\n"
       "int WINAPI Q(void *p, void (*fCb)(int x));\nint WINAPI QW(void *p, void (*fCb)(void *x));\n"
       "typedef void (*SIGFN)(int);\n#define SIG_DFL (SIGFN)0\n#if 0\ntypedef int PF;\n#endif\n"
       "void f(PF p);\n#define N UNKNOWN_X\ntypedef struct S { int a[N]; } S;\n",
       {"type",
        "  ABPI =  function (a: Integer): Integer; stdcall;",
        "var",
        "\tAbPi_\t: ABPI;",
        "type",
        "  TfCb = procedure (x: Integer); cdecl;",
        "  function Q(var p; fCb: TfCb): Integer; stdcall; external 'x.dll' name 'Q';",
        "type",
        "  TfCb_ = procedure (var x); cdecl;",
        "  function QW(var p; fCb: TfCb_): Integer; stdcall; external 'x.dll' name 'QW';",
        "type",
        "  SIGFN = procedure (Para0: Integer); cdecl;",
        "// Error :  #define SIG_DFL ( SIGFN ) 0",
        "{$IF False }",
        "  PF\t= Integer;",
        "{$IFEND}",
        "// Error : procedure f(p: PF); cdecl; external 'x.dll' name 'f';",
        "// Error :  #define N UNKNOWN_X",
        "type",
        "  p_S = Pointer;",
        "// Error : S = record",
        "// Error : a\t: array[0..N-1] of Integer;",
        "// Error : end;"},
       6},
      // Enumeration members count as numbers in operations, with the parentheses kept.
      {"enum E { A = 1, B = 2, C = ((A | B) | 4) };\n#define ALL (A | B)\n#define ONE (A)\n",
       {"type", "  E = ( A\t= 1, B\t= 2, C\t= ((Integer(A) or Integer(B)) or 4) );", "const",
        "  ALL\t= ( Integer(A) or Integer(B) );", "  ONE\t= ( A );"},
       0},
      // The IDL compiler's branch is a comment; a comment before a record's "{"; C operators
      // in a bound; fields of a variant part told apart by case; a struct in a union is a
      // type of its own.
      {"#ifdef __WIDL__\ntypedef struct _W {\n#else\ntypedef union _W {\n#endif\n"
       "  int Handler; int handler[(2 >> 1) + 1];\n} W;\n"
       "typedef union _R /* c */ {\n  struct {\n    int a : 7;\n  } s;\n} R;\n",
       {"{$IF Defined(__WIDL__) }",
        "// typedef struct _W {",
        "{$ELSE}",
        "type",
        "  W = record",
        "\tcase Integer of",
        "{$IFEND}",
        "\t0: (Handler\t: Integer);",
        "\t1: (handler_\t: array[0..(2 shr 1)] of Integer);",
        "  end;",
        "  _W\t= W;",
        "type",
        "  p_R_s = ^R_s;",
        "  R_s = record",
        "\tBits0\t: Integer;\t// a:7",
        "  end;",
        "  R = record\t(* c *)",
        "\tcase Integer of",
        "\t0: (s\t: R_s);",
        "  end;",
        "  _R\t= R;"},
       0},
      // A comment after a record's head or after a pointer type hides neither: fields told
      // apart by case, a pointer to a record no unit declares.
      {"typedef struct _R /* c */ {\n int Y;\n int y;\n} R;\ntypedef struct S *PS; /* c */\n",
       {"type", "  p_R = ^R;", "  R = record\t(* c *)", "\tY\t: Integer;", "\ty_\t: Integer;",
        "  end;", "  _R\t= R;", "  PS\t= Pointer;\t(* c *)"},
       0},
  };
  for (const Case& c : cases) {
    Fixture fx;
    testing::LoadTables(fx.Defs, "[stdcall]\nWINAPI\n",
                        "[TYPE]\nint,Integer\n[POINTER]\nvoid,LPVOID\n");
    fx.Options.CompileReady = true;
    EXPECT_EQ(fx.Body(c.Input), c.Expected) << c.Input;
    EXPECT_EQ(fx.Result.ErrorCount, c.Errors) << c.Input;
  }
}

}  // namespace
}  // namespace tqc
