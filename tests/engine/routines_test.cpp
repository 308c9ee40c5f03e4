// Function prototypes, procedural types, routine bodies and DLL bindings.
#include "engine/routines.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/dispatch.h"
#include "engine/rules.h"
#include "engine/tokenizer.h"
#include "test_support.h"

namespace tqc {
namespace {

using V = std::vector<std::string>;
using testing::Fixture;
using testing::LoadTables;

// The tables of the worked examples: WINAPI is a stdcall word, DLLAPI an export word, int
// maps to Integer.
const char* const kDat =
    "[stdcall]\nWINAPI\n[export]\nDLLAPI\n[register]\n__fastcall\n[pascal]\nPASCAL\n"
    "[cdecl]\n__cdecl\n";
const char* const kTyp =
    "[TYPE]\nint,Integer\nchar,Char\n"
    "[POINTER]\nRECT,PRECT\nDWORD,LPDWORD\nChar,PChar\nvoid,LPVOID\nUCHAR,PUCHAR\n"
    "IFoo,PIFoo,i\n"
    "[INTERFACE]\nIFoo\n";

// The lines after "implementation" and its blank line, up to "end.".
V Tail(const V& lines) {
  auto it = std::find(lines.begin(), lines.end(), "implementation");
  if (it == lines.end() || lines.end() - it < 2) return {};
  return V(it + 2, lines.end() - 1);
}

class RoutinesTest : public ::testing::Test {
 protected:
  RoutinesTest() {
    LoadTables(fx.Defs, kDat, kTyp);
    fx.Options.DefaultCall = CallType::Stdcall;
  }
  V Body(const std::string& text) { return fx.Body(text, "mathlib.h"); }
  V Convert(const std::string& text) { return fx.Convert(text, "mathlib.h"); }

  // Runs lines through tokenizer and dispatch as the driver does, on a context whose state a
  // test set up first (an open interface body, an open record). Returns the lines written.
  V Run(ConversionContext& ctx, const V& lines) {
    const int before = ctx.Pane.Count();
    ctx.SourceLines.assign(lines.begin(), lines.end());
    while (!ctx.SourceLines.empty()) {
      std::string line(ctx.SourceLines.front());
      ctx.SourceLines.pop_front();
      if (!ctx.Pending) ctx.TokenList.Clear();
      ctx.PendingStar = false;
      TokenizeLine(line, ctx);
      TranslateStatement(ctx);
      if (ctx.Retranslate) {
        TranslateStatement(ctx);
        ctx.Retranslate = false;
      }
    }
    const V& all = ctx.Pane.Lines();
    return V(all.begin() + before, all.end());
  }

  Fixture fx;
};

TEST_F(RoutinesTest, WorkedExamples) {
  struct Case {
    const char* Header;
    V Expected;
  };
  const Case cases[] = {
      {"int WINAPI Beep2(UINT kind, HWND owner);",
       {"  function Beep2(kind: UINT; owner: HWND): Integer; stdcall;"}},
      {"void Reset(HANDLE h, int);", {"  procedure Reset(h: HANDLE; Para0: Integer); stdcall;"}},
      {"BOOL GetBox(RECT *r);", {"  function GetBox(var r: RECT): BOOL; stdcall;"}},
      {"typedef LRESULT (CALLBACK *WNDPROC2)(HWND, UINT);",
       {"type", "  WNDPROC2 =  function (Para0: HWND; Para1: UINT): LRESULT; stdcall;"}},
      {"void SetHook(int (*cb)(int code), void *data);",
       {"type", "  Tcb =  function (code: Integer): Integer; stdcall;",
        "  procedure SetHook(cb: Tcb; var data); stdcall;"}},
      {"int Twice(int x) { return x + x; }",
       {"  function Twice(x: Integer): Integer; stdcall;\t(* { return x + x ; } *)"}},
      {"DLLAPI int Sum(int a, int b);",
       {"  function Sum(a: Integer; b: Integer): Integer; stdcall;"}},
      // The star before the line break makes the result a pointer.
      {"char *WINAPI\nGetName(void);", {"  function GetName: PChar; stdcall;"}},
      // Statements after one that is put back into the source follow it.
      {"void SetHook(int (*cb)(int code), void *data); int g(void);",
       {"type", "  Tcb =  function (code: Integer): Integer; stdcall;",
        "  procedure SetHook(cb: Tcb; var data); stdcall;", "  function g: Integer; stdcall;"}},
      {"int q(int a) { return a; } int r(void); int s(void);",
       {"  function q(a: Integer): Integer; stdcall;\t(* { return a ; } *)",
        "  function r: Integer; stdcall;", "  function s: Integer; stdcall;"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Body(c.Header), c.Expected) << c.Header;

  fx.Options.PointerModeMask = 1;
  EXPECT_EQ(Body("BOOL GetBox(RECT *r);"), V{"  function GetBox(r: PRECT): BOOL; stdcall;"});

  fx.Options.PointerModeMask = 0;
  fx.Options.DefaultCall = CallType::Register;
  EXPECT_EQ(Body("void Reset(HANDLE h, int);"), V{"  procedure Reset(h: HANDLE; Para0: Integer);"});
}

TEST_F(RoutinesTest, ExportedRoutineAcceptingTheOfferedName) {
  auto lines = Convert("DLLAPI int Sum(int a, int b);");
  EXPECT_EQ(Tail(lines), (V{"const", "  mathlibDLL = 'mathlib.dll';", "",
                            "  function Sum; external mathlibDLL name 'Sum';", ""}));
  EXPECT_EQ(fx.Host.Prompts, 1);
}

// Each row of the Parameter Mode table under Normal, Pointer and Var of the row's group, and
// under the other group's choices, which must not change it.
TEST_F(RoutinesTest, ParameterModeTable) {
  struct Row {
    const char* Param;
    int Group;  // mask bit of the row's category
    const char* Normal;
    const char* Pointer;
    const char* Var;
  };
  const Row rows[] = {
      {"DWORD *p", 1, "var p: DWORD", "p: LPDWORD", "var p: DWORD"},
      {"char *p", 1, "p: PChar", "p: PChar", "p: PChar"},
      {"LPDWORD p", 1, "p: LPDWORD", "p: LPDWORD", "var p: DWORD"},
      {"LPVOID p", 1, "p: LPVOID", "p: LPVOID", "p: LPVOID"},
      {"PUCHAR p", 1, "p: PUCHAR", "p: PUCHAR", "p: PUCHAR"},
      {"PIFoo p", 2, "p: IFoo", "p: IFoo", "p: IFoo"},
      {"IFoo *p", 2, "p: IFoo", "p: IFoo", "p: IFoo"},
      {"IFoo **p", 2, "var p: IFoo", "p: PIFoo", "var p: IFoo"},
      {"NOPTR *p", 1, "var p: NOPTR", "var p: NOPTR", "var p: NOPTR"},
      {"void *p", 1, "var p", "var p", "var p"},
      {"void **p", 1, "var p: Pointer", "var p: Pointer", "var p: Pointer"},
      {"const DWORD *p", 1, "const p: LPDWORD", "const p: LPDWORD", "const p: LPDWORD"},
      {"const void *p", 1, "const p", "const p", "const p"},
  };
  fx.Options.DefaultCall = CallType::Register;
  for (const auto& r : rows) {
    const std::string header = std::string("void f(") + r.Param + ");";
    auto expect = [&](int pointerMask, int varMask, const char* param) {
      fx.Options.PointerModeMask = pointerMask;
      fx.Options.VarModeMask = varMask;
      EXPECT_EQ(Body(header), V{std::string("  procedure f(") + param + ");"})
          << r.Param << " pointer mask " << pointerMask << " var mask " << varMask;
    };
    const int other = 3 - r.Group;
    expect(0, 0, r.Normal);
    expect(r.Group, 0, r.Pointer);
    expect(0, r.Group, r.Var);
    expect(other, other, r.Normal);
  }

  fx.Options.VoidPtrAsPointer = true;
  fx.Options.PointerModeMask = fx.Options.VarModeMask = 0;
  EXPECT_EQ(Body("void f(void *p);"), V{"  procedure f(p: Pointer);"});
  EXPECT_EQ(Body("void f(void **p);"), V{"  procedure f(var p: Pointer);"});
  EXPECT_EQ(Body("void f(const void *p);"), V{"  procedure f(const p: Pointer);"});
}

TEST_F(RoutinesTest, HeadsAndResults) {
  struct Case {
    const char* Header;
    const char* Expected;
  };
  const Case cases[] = {
      {"void f(void);", "  procedure f; stdcall;"},
      {"T g();", "  function g: T; stdcall;"},
      {"WINAPI f(int x);", "  function f(x: Integer): Integer; stdcall;"},
      {"char *WINAPI Name(void);", "  function Name: PChar; stdcall;"},
      {"char* Name2(void);", "  function Name2: PChar; stdcall;"},
      {"void *Alloc(DWORD n);", "  function Alloc(n: DWORD): Pointer; stdcall;"},
      {"void begin(void);", "  procedure _begin; stdcall;"},
      // Other reserved words of Pascal are escaped where they are declared.
      {"int Type(LPSTR string, int END, int to);",
       "  function &Type(&string: LPSTR; &END: Integer; &to: Integer): Integer; stdcall;"},
      {"extern FOO_API int Odd(int a);", "  function Odd(a: Integer): Integer; stdcall;"},
      {"int PASCAL p(int a);", "  function p(a: Integer): Integer; pascal;"},
      {"int __cdecl c(int a);", "  function c(a: Integer): Integer; cdecl;"},
      {"int f(void); // note", "  function f: Integer; stdcall;\t// note"},
      {"int f(void); /* note */", "  function f: Integer; stdcall;\t(* note *)"},
      {"void f(int a[10], char *argv[]);",
       "  procedure f(var a: Integer; var argv: PChar); stdcall;"},
      {"void f(struct tagX *x, enum E e);", "  procedure f(var x: tagX; e: E); stdcall;"},
      {"void f(char * const p, int const n);", "  procedure f(p: PChar; n: Integer); stdcall;"},
      // Two stars make two pointer levels of the result.
      {"char ** __p__acmdln(void);", "  function __p__acmdln: p_PChar; stdcall;"},
      // C++ shapes without a Pascal routine are error lines with their tokens as they came.
      {"CFoo& Get();", "// Error :  CFoo & Get ( ) ;"},
      {"(NTAPI *PDRIVER_EXCPTN_CALLBACK)(PVOID Context);",
       "// Error :  ( NTAPI *PDRIVER_EXCPTN_CALLBACK ) ( PVOID Context ) ;"},
      {"CDXArray<TYPE,ARG_TYPE>::~CDXArray() { x(); }",
       "// Error :  CDXArray < TYPE , ARG_TYPE > ::~CDXArray ( ) (* { x ( ) ; } *)"},
  };
  for (const auto& c : cases) EXPECT_EQ(Body(c.Header), V{c.Expected}) << c.Header;
}

// A statement that waits for its ";" is looked at again with every line it takes in, and the
// shape scan goes on from where it stopped: a prototype broken after its "(" and ","s, as
// headers break long ones, must come out as it does on one line, alone or after others.
TEST_F(RoutinesTest, PrototypesBrokenOverLinesMatchTheirOneLineForm) {
  const char* const prototypes[] = {
      "int f(int a, char *b);",
      "char *WINAPI Name(void);",
      "void f(int a[10], char *argv[]);",
      "extern FOO_API int Odd(int a, int b, int c, int d);",
      "/* lead */ int g(int a, int b); // tail",
      "void h(int (WINAPI *cb)(int x), int n);",
      "int k(int a, int b;",
      "unsigned int u(unsigned int a, unsigned char b);",
      "void q(int a, int b) { return; }",
      "int r(int a, (int b), int c);",
      "void (WINAPI *PFN)(int x, int y);",
      "typedef void (WINAPI *PFNT)(int x, int y);",
  };
  std::string oneLine, broken;
  for (const char* p : prototypes) {
    std::string b;
    for (const char* c = p; *c; ++c) {
      b += *c;
      if (*c == '(' || *c == ',') b += '\n';
    }
    EXPECT_EQ(Body(b), Body(p)) << p;
    (oneLine += p) += "\n";
    (broken += b) += "\n";
  }
  EXPECT_EQ(Body(broken), Body(oneLine));
}

TEST_F(RoutinesTest, ProceduralTypes) {
  EXPECT_EQ(Body("typedef void (WINAPI *PFN)(int a);"),
            (V{"type", "  PFN = procedure (a: Integer); stdcall;"}));
  EXPECT_EQ(Body("typedef void FN(int a);"),
            (V{"type", "  FN =  procedure (a: Integer); stdcall;"}));
  EXPECT_EQ(Body("typedef int FN2(void);"), (V{"type", "  FN2 =  function : Integer; stdcall;"}));

  // A routine declaration reopens the section: the next type declaration writes "type" again.
  EXPECT_EQ(Body("typedef void (*A)(int);\nvoid f(void);\ntypedef void (*B)(int);"),
            (V{"type", "  A = procedure (Para0: Integer); stdcall;", "  procedure f; stdcall;",
               "type", "  B = procedure (Para0: Integer); stdcall;"}));

  // Only a plain routine type is a pointer already; a pointer-to-routine typedef is not.
  auto& ctx = fx.Context();
  Run(ctx, {"typedef int FN(int);", "typedef int (*PFN)(int);"});
  EXPECT_EQ(ctx.FuncNames.Entries().size(), 1u);
  EXPECT_EQ(ctx.FuncNames.Text(0), "FN");
  EXPECT_EQ(ctx.NewFuncIdx, std::vector<int>{0});
  EXPECT_FALSE(ctx.RoutineTypedef);
}

TEST_F(RoutinesTest, CallbackInsideAndOutsideATypedef) {
  EXPECT_EQ(Body("LRESULT CALLBACK WndProc(HWND h);"),
            V{"  function WndProc(h: HWND): LRESULT; export; stdcall;"});
  EXPECT_EQ(Body("typedef LRESULT (CALLBACK *PROC)(HWND h);"),
            (V{"type", "  PROC =  function (h: HWND): LRESULT; stdcall;"}));
  // "*CALLBACK" marks a callback too, and its star goes to the name when a convention word
  // stands between it and the return type.
  EXPECT_EQ(Body("typedef LRESULT WINAPI (*CALLBACK PFN)(int a);"),
            (V{"type", "  PFN =  function (a: Integer): LRESULT; stdcall;"}));
  EXPECT_EQ(Body("LRESULT WINAPI *CALLBACK Get(int a);"),
            V{"  function Get(a: Integer): p_LRESULT; export; stdcall;"});
  // A CALLBACK that the tables list as a stdcall word is still a callback.
  LoadTables(fx.Defs, std::string(kDat) + "[stdcall]\nCALLBACK\n", kTyp);
  EXPECT_EQ(Body("LRESULT CALLBACK WndProc(HWND h);"),
            V{"  function WndProc(h: HWND): LRESULT; export; stdcall;"});
}

TEST_F(RoutinesTest, RegisterSuppressesTheDefault) {
  EXPECT_EQ(Body("void __fastcall f(int a);"), V{"  procedure f(a: Integer);"});
  fx.Options.DefaultCall = CallType::Cdecl;
  EXPECT_EQ(Body("void f(int a);"), V{"  procedure f(a: Integer); cdecl;"});
  fx.Options.DefaultCall = CallType::Pascal;
  EXPECT_EQ(Body("void f(int a);"), V{"  procedure f(a: Integer); pascal;"});
  fx.Options.DefaultCall = CallType::Register;
  EXPECT_EQ(Body("void f(int a);"), V{"  procedure f(a: Integer);"});
  EXPECT_EQ(Body("void WINAPI f(int a);"), V{"  procedure f(a: Integer); stdcall;"});
}

TEST_F(RoutinesTest, UnnamedParametersAndDefaults) {
  fx.Options.DefaultCall = CallType::Register;
  EXPECT_EQ(Body("void h(int, char*, int);"),
            V{"  procedure h(Para0: Integer; Para1: PChar; Para2: Integer);"});
  EXPECT_EQ(Body("void h(int, NOPTR*, void**);"),
            V{"  procedure h(Para0: Integer; var Para1: NOPTR; var Para2: Pointer);"});
  EXPECT_EQ(Body("void g(int a = 5, int b);"), V{"  procedure g(a: Integer = 5; b: Integer);"});
  EXPECT_EQ(Body("void g(int = 5, int = -1);"),
            V{"  procedure g(Para0: Integer = 5; Para1: Integer = -1);"});
  // A comment in place of the name leaves the parameter unnamed.
  EXPECT_EQ(Body("void g(int /* count */, int b);"),
            V{"  procedure g(Para0: Integer;  (* count *) b: Integer);"});
}

TEST_F(RoutinesTest, CommentsAndWrapping) {
  fx.Options.DefaultCall = CallType::Register;
  EXPECT_EQ(Body("void f(int a, // first\n int b);"),
            (V{"  procedure f(a: Integer; // first", "\t b: Integer);"}));
  EXPECT_EQ(Body("void f(int a /* x */, int b);"),
            V{"  procedure f(a: Integer;  (* x *) b: Integer);"});
  EXPECT_EQ(Body("void f(int a // x\n);"), (V{"  procedure f(a: Integer // x ", "\t );"}));

  auto lines = Body(
      "void LongName(int alpha, int beta, int gamma, int delta, int epsilon, int zeta, "
      "int eta, int theta);");
  ASSERT_EQ(lines.size(), 2u);
  // The check comes before each parameter: the line may pass 78 characters by one parameter.
  EXPECT_EQ(lines[0],
            "  procedure LongName(alpha: Integer; beta: Integer; gamma: Integer; delta: Integer; ");
  EXPECT_EQ(lines[1], "\t epsilon: Integer; zeta: Integer; eta: Integer; theta: Integer);");
}

TEST_F(RoutinesTest, BodiesBecomeComments) {
  EXPECT_EQ(Body("int f(int x) { if (x) {\n  return 1; }\n  return 0;\n}\nint g(void);"),
            (V{"  function f(x: Integer): Integer; stdcall;\t(* { if ( x ) {", "  return 1; }",
               "  return 0;", "} *)", "  function g: Integer; stdcall;"}));
  EXPECT_EQ(Body("int f(int x)\n{\n  return x;\n}"),
            (V{"  function f(x: Integer): Integer; stdcall;\t(* {", "  return x;", "} *)"}));
  // A body that goes on over lines after an error line (mmsystem.h: a macro call without
  // ";" before a struct): its "(*" opens its own line, or the "//" would swallow it and the
  // lines after it would stand as code.
  EXPECT_EQ(Body("MACRO_X(a) void h(void) {\n  return;\n}\n"),
            (V{"// Error :   function MACRO_X(Para0: a): Integer; stdcall; void h ( void ) ",
               "(* {", "  return;", "} *)"}));
  // Closed from an error line (mmsystem.h: "} WAVEOUTCAPS2A, *PWAVEOUTCAPS2A;"), what
  // follows the "*)" goes on a comment line of its own.
  EXPECT_EQ(Body("MACRO_X(a) void h(void) {\n  return;\n} X, *PX;\n"),
            (V{"// Error :   function MACRO_X(Para0: a): Integer; stdcall; void h ( void ) ",
               "(* {", "  return;", "// Error :  } *)", "//  X , *PX ;"}));
  // A cast's "*)" would end the comment inside the body and leave the rest as code.
  EXPECT_EQ(Body("int f(void *p)\n{\n  return *(int*)p + (char*)\"*)\";\n}"),
            (V{"  function f(var p): Integer; stdcall;\t(* {",
               "  return *(int* )p + (char* )\"* )\";", "} *)"}));
}

TEST_F(RoutinesTest, BodyLeftOpenInsideARecord) {
  auto& ctx = fx.Context();
  ctx.OpenStructLine = 0;
  EXPECT_EQ(Run(ctx, {"int f(int x) { return x;"}),
            (V{"// Error :  Integer f ( Integer x )", "\t(* { return x ;"}));
  EXPECT_EQ(ctx.ErrorCount, 1);
  EXPECT_TRUE(ctx.InBlockComment);
  EXPECT_EQ(ctx.BodyDepth, 1);
  EXPECT_EQ(Run(ctx, {"}"}), V{"} *)"});
  EXPECT_FALSE(ctx.InBlockComment);
  EXPECT_EQ(ctx.BodyDepth, 0);

  // A complete prototype inside a record is an error line of the whole statement.
  EXPECT_EQ(Run(ctx, {"int g(int y);"}), V{"// Error :  Integer g ( Integer y ) ;"});
  EXPECT_EQ(ctx.ErrorCount, 2);
}

TEST_F(RoutinesTest, ShapesThatAreNotTranslated) {
  auto& ctx = fx.Context();
  ctx.InterfaceNames = fx.Defs.InterfaceNames;
  EXPECT_EQ(Run(ctx, {"int f(int a;"}), V{"// Error :  Integer f ( Integer a ;"});
  EXPECT_EQ(Run(ctx, {"void f(IFoo p, int a);"}),
            V{"// Error :   procedure f( IFoo p , Integer a ) ;"});
  EXPECT_EQ(Run(ctx, {"void f(int (cb)(int));"}),
            V{"// Error :   procedure f( Integer ( cb ) ( Integer ) ) ;"});
  // The error line shows the whole parameter that went wrong.
  EXPECT_EQ(Run(ctx, {"void f(int a b);"}), V{"// Error :   procedure f( Integer a b ) ;"});
  EXPECT_EQ(Run(ctx, {"int f(const RectF& rect, int b);"}),
            V{"// Error :   function f( const RectF & rect , Integer b ) ;"});
  // A variable with a value and a template are no prototypes; nor are tokens after the ")".
  EXPECT_EQ(Run(ctx, {"const HRESULT E_X = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0200);"}),
            V{"// Error :  const HRESULT E_X = MAKE_HRESULT ( SEVERITY_ERROR , FACILITY_ITF , "
              "0x0200 ) ;"});
  EXPECT_EQ(Run(ctx, {"template<typename T> void **Helper(T **pp);"}),
            V{"// Error :  template < typename T > void ** Helper ( T ** pp ) ;"});
  EXPECT_EQ(Run(ctx, {"__MINGW_TYPEDEF_AW(TRUSTEE_)", "int g(int a);"}),
            V{"// Error :   function __MINGW_TYPEDEF_AW(Para0: TRUSTEE_): Integer; stdcall; "
              "Integer g ( Integer a ) ;"});
  EXPECT_EQ(ctx.ErrorCount, 8);

  // A statement without a parenthesis is the declaration rule's; one without ";" waits.
  Statement st;
  testing::Tokens(ctx, {"int a;"});
  EXPECT_EQ(TranslatePrototype(ctx, st), RuleResult::Declined);
  // A statement that opens with "{" waits only for its ";".
  testing::Tokens(ctx, {"{ A, B } X;"});
  EXPECT_EQ(TranslatePrototype(ctx, st), RuleResult::Declined);
  testing::Tokens(ctx, {"int f(int a,"});
  EXPECT_EQ(TranslatePrototype(ctx, st), RuleResult::Done);
  EXPECT_TRUE(ctx.Pending);
  EXPECT_EQ(Run(ctx, {"int b);"}), V{"  function f(a: Integer; b: Integer): Integer; stdcall;"});
  EXPECT_FALSE(ctx.Pending);
}

TEST_F(RoutinesTest, InterfaceAndClassMembers) {
  auto& ctx = fx.Context();
  ctx.InInterface = true;
  ctx.IsComInterface = true;
  EXPECT_EQ(Run(ctx, {"void __cdecl Draw(int x);"}), V{"    procedure Draw(x: Integer); stdcall;"});
  ctx.IDispatchSeen = true;
  EXPECT_EQ(Run(ctx, {"void Draw(int x);"}), V{"    procedure Draw(x: Integer); safecall;"});
  EXPECT_FALSE(ctx.SectionReopen);

  ctx.IsComInterface = false;
  EXPECT_EQ(Run(ctx, {"virtual void Draw(CFoo& c, int x) = 0;"}),
            V{"    procedure Draw(var c: CFoo; x: Integer); virtual; stdcall;"});
  // A routine returning an untyped pointer keeps the two-blank function head.
  EXPECT_EQ(Run(ctx, {"void *Get(void);"}), V{"  function Get: Pointer; stdcall;"});
  // C++ operators have no Pascal routine declaration.
  EXPECT_EQ(
      Run(ctx, {"operator int();", "K& operator=(const K&);", "int operator[](int i);",
                "bool operator!() const;", "void K::operator=(int i) { }"}),
      (V{"// Error :  operator Integer ( ) ;", "// Error :  K & operator = ( const K & ) ;",
         "// Error :  Integer *operator ( Integer i ) ;", "// Error :  bool operator! ( ) const ;",
         "// Error :  void K::operator = ( Integer i ) (* { } *)"}));

  fx.Options.OleMode = true;
  auto& ole = fx.Context();
  ole.InInterface = ole.IsComInterface = true;
  Statement st;
  testing::Tokens(ole, {"int WINAPI Area(void);"});
  ASSERT_EQ(TranslateMemberPrototype(ole, st), RuleResult::Epilogue);
  EXPECT_EQ(st.Built, "    function Area: Integer; virtual; stdcall; abstract;");
}

TEST_F(RoutinesTest, DllPromptShownOncePerConversion) {
  auto lines = Convert("DLLAPI int a(void);\nDLLAPI void End(void);\nDLLAPI int c(int);");
  EXPECT_EQ(fx.Host.Prompts, 1);
  EXPECT_EQ(Tail(lines), (V{"const", "  mathlibDLL = 'mathlib.dll';", "",
                            "  function a; external mathlibDLL name 'a';",
                            "  procedure _End; external mathlibDLL name 'End';",
                            "  function c; external mathlibDLL name 'c';", ""}));
}

TEST_F(RoutinesTest, DllPromptAnswers) {
  struct Case {
    std::optional<std::string> Answer;
    V Consts;
  };
  const Case cases[] = {
      {"kern32.dll", {"  kern32 = 'kern32.dll';", ""}},
      {"MATHLIB.DLL", {"  MATHLIBDLL = 'MATHLIB.DLL';", ""}},
      {"", {"  mathlibDLL = '';"}},
      {std::nullopt, {"  mathlibDLL = '';", ""}},
      // The constant is a Pascal identifier whatever the file name (libz.so.1 too).
      {"o'neil.dll", {"  o_neil = 'o''neil.dll';", ""}},
      {"libz.so.1", {"  libz_so = 'libz.so.1';", ""}},
      {"-1.dll", {"  _1 = '-1.dll';", ""}},
  };
  for (const auto& c : cases) {
    fx.Host = SilentHost(c.Answer);
    auto tail = Tail(Convert("DLLAPI int Sum(int a);\n"));
    const std::string dll = c.Consts[0].substr(2, c.Consts[0].find(' ', 2) - 2);
    V expected{"const"};
    expected.insert(expected.end(), c.Consts.begin(), c.Consts.end());
    expected.push_back("  function Sum; external " + dll + " name 'Sum';");
    expected.push_back("");
    EXPECT_EQ(tail, expected) << c.Answer.value_or("(cancel)");
    EXPECT_EQ(fx.Host.Prompts, 1);
  }
}

TEST_F(RoutinesTest, ExportedTypedefBindsNothing) {
  auto lines = Convert("typedef DLLAPI int (WINAPI *PFN)(int a);");
  EXPECT_EQ(fx.Host.Prompts, 0);
  EXPECT_TRUE(Tail(lines).empty());
  EXPECT_EQ(fx.Body("typedef DLLAPI int (WINAPI *PFN)(int a);", "mathlib.h"),
            (V{"type", "  PFN =  function (a: Integer): Integer; stdcall;"}));
}

TEST_F(RoutinesTest, FunctionPointerParametersInsideTypedefsAndWithComments) {
  // The rebuilt statement of a procedural type stays a procedural type.
  EXPECT_EQ(Body("typedef void (WINAPI *PFN)(int (*cb)(int), int n);"),
            (V{"type", "  Tcb =  function (Para0: Integer): Integer; stdcall;",
               "  PFN = procedure (cb: Tcb; n: Integer); stdcall;"}));
  // Comments survive the trip back through the tokenizer.
  EXPECT_EQ(Body("void f(int (*cb)(int /* c */), // hook\n int n);"),
            (V{"type", "  Tcb =  function (Para0: Integer (* c *) ): Integer; stdcall;",
               "  procedure f(cb: Tcb; (* hook *)", "\t n: Integer); stdcall;"}));
  // A pointer before the routine-type parameter keeps its star; "void (*cb)" first is no
  // "(void)" list.
  EXPECT_EQ(
      Body("void f(int *p, void (*cb)(int));\nvoid g(void (*cb)(int));"),
      (V{"type", "  Tcb = procedure (Para0: Integer); stdcall;",
         "  procedure f(var p: Integer; cb: Tcb); stdcall;", "type",
         "  Tcb = procedure (Para0: Integer); stdcall;", "  procedure g(cb: Tcb); stdcall;"}));
}

TEST_F(RoutinesTest, ConstAndVarNeverTogether) {
  fx.Options.DefaultCall = CallType::Register;
  EXPECT_EQ(Body("void f(const void **p);"), V{"  procedure f(var p: Pointer);"});
  EXPECT_EQ(Body("void f(const IFoo **p);"), V{"  procedure f(var p: IFoo);"});
  fx.Options.VarModeMask = 1;
  EXPECT_EQ(Body("void f(const LPDWORD p);"), V{"  procedure f(var p: DWORD);"});
}

TEST(ParameterListForms, ConstructorAndMethodDifferences) {
  Fixture fx;
  LoadTables(fx.Defs, kDat, kTyp);
  auto& ctx = fx.Context();
  auto write = [&](const char* text, ParameterListForm form, std::string line) {
    testing::Tokens(ctx, {text});
    ParameterListEnd end = WriteParameterList(ctx, 1, form, line);
    return std::pair(line, end);
  };
  {
    auto [line, end] = write("( void )", ParameterListForm::Constructor, "c");
    EXPECT_EQ(line, "c");
    EXPECT_EQ(end.End, ParameterListEnd::Kind::Closed);
    EXPECT_FALSE(end.Written);
  }
  {
    auto [line, end] = write("( void *p )", ParameterListForm::Constructor, "c");
    EXPECT_EQ(line, "c(var p");
    EXPECT_TRUE(end.Written);
  }
  {
    auto [line, end] = write("( int x = 1 )", ParameterListForm::Constructor, "c");
    EXPECT_EQ(end.End, ParameterListEnd::Kind::Error);
    EXPECT_EQ(end.Index, 1);  // the error line starts with the parameter
  }
  {
    // No void list here: "void" is the type of an unnamed parameter.
    auto [line, end] = write("( void )", ParameterListForm::Method, "m");
    EXPECT_EQ(line, "m(Para0: void");
  }
  {
    auto [line, end] = write("( void )", ParameterListForm::MethodImpl, "m");
    EXPECT_EQ(line, "m");
    EXPECT_FALSE(end.Written);
  }
  {
    auto [line, end] =
        write("( /* [in] */ int x /* a */, int /* b */ )", ParameterListForm::Method, "m");
    EXPECT_EQ(line, "m(* [in] *) (x: Integer (* a *) ; Para0: Integer (* b *) ");
    EXPECT_EQ(end.End, ParameterListEnd::Kind::Closed);
    EXPECT_EQ(end.Index, 8);
  }
}

}  // namespace
}  // namespace tqc

namespace tqc {
namespace {

TEST(RoutineBodyTest, WhatFollowsABodyClosedOnItsLineIsKept) {
  testing::Fixture fx;
  LoadTables(fx.Defs, kDat, kTyp);
  fx.Options.DefaultCall = CallType::Stdcall;
  EXPECT_EQ(
      fx.Body("int f(void) { return 1; } int g(void);\n"
              "void h(void) { x(); }; /* c */\n"
              "void k(void) { y(); } /* d */\n"),
      (V{"  function f: Integer; stdcall;\t(* { return 1 ; } *)", "  function g: Integer; stdcall;",
         "  procedure h; stdcall;\t(* { x ( ) ; } *) (* c *)",
         "  procedure k; stdcall;\t(* { y ( ) ; } *) (* d *)"}));
}

}  // namespace
}  // namespace tqc
