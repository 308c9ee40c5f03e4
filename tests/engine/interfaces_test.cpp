// COM interfaces and C++ classes: heads, bodies, access labels, constructors, destructors
// and the STDMETHOD / STDMETHODIMP methods, as whole conversions.
#include <gtest/gtest.h>

#include "engine/dispatch.h"
#include "test_support.h"

namespace tqc {
namespace {

using V = std::vector<std::string>;
using testing::Fixture;

class InterfaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::LoadTables(fx.Defs, "", "[TYPE]\nint,Integer\nchar,Char\n[POINTER]\nDWORD,PDWORD\n");
  }
  // The unit's body, and the uses line.
  V Body(const std::string& text) { return fx.Body(text); }
  std::string Uses() const { return fx.Pane.Line(10); }
  Fixture fx;
};

TEST_F(InterfaceTest, WorkedExample) {
  auto body = Body(
      "DECLARE_INTERFACE_(IShape, IUnknown)\n"
      "{\n"
      "    STDMETHOD(QueryInterface)(THIS_ REFIID riid, void **ppv) PURE;\n"
      "    STDMETHOD_(ULONG, AddRef)(THIS) PURE;\n"
      "    STDMETHOD(Draw)(THIS_ int x) PURE;\n"
      "};\n");
  EXPECT_EQ(body,
            (V{"type", "  IShape = interface ( IUnknown )",
               "//    function QueryInterface(riid: REFIID; var ppv: Pointer): HRESULT; stdcall;",
               "//    function _AddRef: ULONG; stdcall;",
               "    function Draw(x: Integer): HRESULT; stdcall;", "  end;"}));
  EXPECT_EQ(Uses(), "uses Windows, Activex;");
  EXPECT_EQ(fx.Result.ErrorCount, 0);
}

TEST_F(InterfaceTest, OleMode) {
  fx.Options.OleMode = true;
  auto body = Body(
      "DECLARE_INTERFACE_(IShape, IDispatch)\n"
      "{\n"
      "    STDMETHOD_(ULONG, AddRef)(THIS) PURE;\n"
      "    STDMETHOD_(ULONG, Release)(THIS) PURE;\n"
      "    STDMETHOD(Invoke)(THIS_ int x) PURE;\n"
      "    STDMETHOD_(void, Draw)(THIS_ int x) PURE;\n"
      "};\n"
      "MIDL_INTERFACE(\"00000000-0000-0000-C000-000000000046\")\n"
      "IOther : public IShape\n"
      "{\n"
      "};\n");
  // No attribute, no safecall (IDispatch is not special), AddRef keeps its name.
  EXPECT_EQ(body, (V{"type", "  IShape = class ( IDispatch )",
                     "//    function AddRef: ULONG; virtual; stdcall; abstract;",
                     "//    function Release: ULONG; virtual; stdcall; abstract;",
                     "    function Invoke(x: Integer): HRESULT; virtual; stdcall; abstract;",
                     "    procedure Draw(x: Integer); virtual; stdcall; abstract;", "  end;",
                     "  IOther = class ( IShape )", "  end;"}));
  EXPECT_EQ(Uses(), "uses Windows, Ole2;");
}

TEST_F(InterfaceTest, IDispatchBasedMethodsAreSafecallTheCommentedOnesStdcall) {
  auto body = Body(
      "DECLARE_INTERFACE_(IAuto, idispatch)\n"
      "{\n"
      "    STDMETHOD(QueryInterface)(THIS_ REFIID riid, void **ppv) PURE;\n"
      "    STDMETHOD_(ULONG, Release)(THIS) PURE;\n"
      "    STDMETHOD(GetTypeInfoCount)(THIS_ UINT *pctinfo) PURE;\n"
      "    STDMETHOD(Invoke)(THIS_ DISPID id) PURE;\n"
      "    STDMETHOD(Run)(THIS) PURE;\n"
      "};\n"
      "DECLARE_INTERFACE_(IPlain, IUnknown)\n"
      "{\n"
      "    STDMETHOD(Invoke)(THIS) PURE;\n"
      "};\n");
  EXPECT_EQ(
      body,
      (V{"type", "  IAuto = interface ( idispatch )",
         "//    function QueryInterface(riid: REFIID; var ppv: Pointer): HRESULT; stdcall;",
         "//    function _Release: ULONG; stdcall;",
         "//    function GetTypeInfoCount(var pctinfo: UINT): HRESULT; stdcall;",
         "//    function Invoke(id: DISPID): HRESULT; stdcall;",
         "    function Run: HRESULT; safecall;", "  end;",
         // The closing brace ends the IDispatch body.
         "  IPlain = interface ( IUnknown )", "    function Invoke: HRESULT; stdcall;", "  end;"}));
}

TEST_F(InterfaceTest, HeadFormsWithTheirGuid) {
  auto body = Body(
      "MIDL_INTERFACE(\"00000003-0000-0000-c000-000000000046\")\n"
      "IMarshal : public IUnknown\n"
      "{\n"
      "public:\n"
      "};\n"
      "interface DECLSPEC_UUID(\"11111111-2222-3333-4444-555555555555\")\n"
      "IThing : public IMarshal {\n"
      "};\n");
  EXPECT_EQ(body, (V{"type", "  IMarshal = interface ( IUnknown )",
                     "\t['{00000003-0000-0000-c000-000000000046}']", "  //  public", "  end;",
                     "  IThing = interface ( IMarshal )",
                     "\t['{11111111-2222-3333-4444-555555555555}']", "  end;"}));
}

TEST_F(InterfaceTest, MalformedHeads) {
  struct Case {
    const char* Input;
    V Expected;
  };
  const Case cases[] = {
      {"DECLARE_INTERFACE_(IX; IUnknown)\n", {"// Error :  DECLARE_INTERFACE_ ( IX ; IUnknown )"}},
      {"DECLARE_INTERFACE_(IX)\n", {"// Error :  DECLARE_INTERFACE_ ( IX )"}},
      {"MIDL_INTERFACE(\"1\") IX : private IY {\n",
       {"// Error :  MIDL_INTERFACE ( '1' ) IX : private IY {"}},
      {"interface DECLSPEC_UUID(\"1\") IX;\n",
       {"// Error :  interface DECLSPEC_UUID ( '1' ) IX ;"}},
      {"interface DECLSPEC_UUID(\"1\") IX : public IY ;\n",
       {"// Error :  interface DECLSPEC_UUID ( '1' ) IX : public IY ;"}},
      {"class CFoo;\n", {"// Error :  class CFoo ;"}},
      // The failed head opens no body: the label after it is outside one.
      {"class CBad : protected CBase {\npublic:\n",
       {"// Error :   CBad = class (  protected CBase {", "// Error :  public:"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Body(c.Input), c.Expected) << c.Input;
}

TEST_F(InterfaceTest, IncompleteHeadsWaitForTheirBrace) {
  // The MIDL head is complete with its ninth token, the DECLSPEC_UUID one with its "{".
  auto body = Body(
      "MIDL_INTERFACE(\"1\")\nIX\n: public\nIUnknown {\n};\n"
      "interface DECLSPEC_UUID(\"2\")\nIY : public IX\n{\n};\n"
      "class CView : public CWnd,\n  public CCmdTarget\n{\n};\n");
  EXPECT_EQ(body, (V{"type", "  IX = interface ( IUnknown )", "\t['{1}']", "  end;",
                     "  IY = interface ( IX )", "\t['{2}']", "  end;",
                     "  CView = class ( CWnd, CCmdTarget )", "  end;"}));
}

TEST_F(InterfaceTest, ClassHeadsLabelsAndBraces) {
  auto body = Body(
      "class CSimple { // simple\n"
      "public:\n"
      "protected:\n"
      "private:\n"
      "};\n"
      "class CBare\n"
      "{\n"
      "};\n"
      "class CTwo : public CA, private CB { /* x */\n"
      "};\n"
      "};\n"
      "}; // stray\n"
      "public:\n");
  EXPECT_EQ(body, (V{"type", "  CSimple = class\t// simple", "  public", "  protected", "  private",
                     "  end;", "  CBare = class", "  end;", "  CTwo = class ( CA, CB )", "  end;",
                     "// };", "// }; // stray", "// Error :  public:"}));
  EXPECT_EQ(Uses(), "uses Windows, Activex;");
}

TEST_F(InterfaceTest, ConstructorsAndDestructors) {
  auto body = Body(
      "class CFoo {\n"
      "    CFoo(void);\n"
      "    CFoo(int a, char *name, DWORD *pn, void *data); // make\n"
      "    CFoo(int a,\n"
      "         int b);\n"
      "    ~CFoo(); /* gone */\n"
      "    ~CFoo() { delete p; }\n"
      "    virtual ~CFoo();\n"
      "    virtual CFoo(int a);\n"
      "    virtual CFoo* Clone(int deep) = 0;\n"
      "    CFoo(int a = 0);\n"
      "    DECLARE_MESSAGE_MAP()\n"
      "};\n");
  EXPECT_EQ(body, (V{"type", "  CFoo = class", "    constructor Create; override;",
                     "    constructor Create(a: Integer; var name: Char; var pn: DWORD; var data); "
                     "override;\t// make",
                     "    constructor Create(a: Integer; b: Integer); override;",
                     "    destructor Destroy; override;\t(* gone *)",
                     "    destructor Destroy; override;", "\t ( ) { delete p ; }",
                     "// Error :  virtual ~CFoo ( ) ;", "// Error :  virtual CFoo ( Integer a ) ;",
                     "    function Clone(deep: Integer): p_CFoo; virtual; cdecl;",
                     "// Error :     constructor Create( Integer a = 0 ) ;",
                     "// Error :  DECLARE_MESSAGE_MAP ( )", "  end;"}));
  EXPECT_EQ(fx.Result.ErrorCount, 4);
}

TEST_F(InterfaceTest, InlineBodiesLeftOpenContinueAsComments) {
  auto body = Body(
      "class CFoo {\n"
      "    CFoo(int a) {\n"
      "        x = a;\n"
      "    }\n"
      "    ~CFoo() {\n"
      "        delete p;\n"
      "    }\n"
      "};\n");
  ASSERT_EQ(body.size(), 11u);
  EXPECT_EQ(body[2], "    constructor Create(a: Integer); override;");
  EXPECT_EQ(body[3], "\t {");
  EXPECT_EQ(body[6], "    destructor Destroy; override;");
  EXPECT_EQ(body[7], "\t ( ) {");
  // The body lines pass as comment text and the brace closes it; the class still ends.
  EXPECT_NE(body[4].find("x = a;"), std::string::npos);
  EXPECT_NE(body[5].find("} *)"), std::string::npos);
  EXPECT_EQ(body[8].find("delete p;"), 8u);
  EXPECT_EQ(body[9], "    } *)");
  EXPECT_EQ(body[10], "  end;");
  EXPECT_EQ(fx.Result.ErrorCount, 0);
}

TEST_F(InterfaceTest, StdMethodImp) {
  auto body = Body(
      "class CImpl : public IShape {\n"
      "    STDMETHODIMP QueryInterface(REFIID riid, void **ppv);\n"
      "    STDMETHODIMP_(ULONG) AddRef(void);\n"
      "    STDMETHODIMP end(void);\n"
      "    STDMETHODIMP_(void) Begin(int x); /* note */\n"
      "    STDMETHODIMP_(DWORD *) Counter(void);\n"
      "    STDMETHODIMP Tiny;\n"
      "};\n");
  EXPECT_EQ(
      body,
      (V{"type", "  CImpl = class ( IShape )",
         "//    function _QueryInterface(riid: REFIID; var ppv: Pointer): HRESULT; stdcall;",
         "//    function _AddRef: ULONG; stdcall;", "    function _end: HRESULT; stdcall;",
         "    procedure _Begin(x: Integer); stdcall; (* note *)",
         "    function Counter: PDWORD; stdcall;", "// Error :  STDMETHODIMP Tiny ;", "  end;"}));
}

TEST_F(InterfaceTest, MethodParameters) {
  auto body = Body(
      "DECLARE_INTERFACE_(IShape, IUnknown)\n"
      "{\n"
      "    STDMETHOD(A)(THIS_ /* [in] */ int x, char *s /* [out] */, DWORD *, const void *p) "
      "PURE;\n"
      "    STDMETHOD(B)(THIS_ IShape *self, IShape **out, struct IShape **other) PURE;\n"
      "    STDMETHOD_(struct IShape *, Parent)(THIS) PURE;\n"
      "    STDMETHOD(C)(THIS_ IShape self) PURE;\n"
      "    STDMETHOD(D)(THIS_ int x y) PURE;\n"
      "    STDMETHOD(E)(THIS_ char*, int) PURE;\n"
      "    STDMETHOD(F)(THIS_ int x, // first\n"
      "        int y) PURE;\n"
      "    STDMETHOD(H)(THIS_ int x // only\n"
      "        ) PURE;\n"
      "    STDMETHOD(G)(THIS_ int x PURE;\n"
      "    STDMETHOD (Init) (IShape *pDispenser, int n) PURE;\n"
      "    STDMETHOD_(const char *, GetName)(THIS) PURE;\n"
      "    STDMETHOD_(int GetSize)(THIS) PURE;\n"
      "};\n");
  EXPECT_EQ(
      body,
      (V{"type", "  IShape = interface ( IUnknown )",
         "    function A(* [in] *) (x: Integer; var s: Char (* [out] *) ; var Para0: DWORD; ",
         "\t const p): HRESULT; stdcall;",
         "    function B(self: IShape; var &out: IShape; var other: IShape): HRESULT; stdcall;",
         "    function Parent: p_IShape; stdcall;",
         "// Error :     function C( IShape self ) PURE ;",
         "// Error :     function D( Integer x y ) PURE ;",
         "    function E(var Para0: Char; Para1: Integer): HRESULT; stdcall;",
         "    function F(x: Integer; // first", "\t y: Integer): HRESULT; stdcall;",
         "    function H(x: Integer // only ", "\t ): HRESULT; stdcall;",
         "// Error :     function G( Integer x PURE ;",
         // Without THIS_ the list starts at once; a const result is the type itself.
         "    function Init(pDispenser: IShape; n: Integer): HRESULT; stdcall;",
         "    function GetName: p_Char; stdcall;",
         "// Error :  STDMETHOD_ ( Integer GetSize ) ( THIS ) PURE ;", "  end;"}));
  EXPECT_EQ(fx.Result.ErrorCount, 4);
}

TEST_F(InterfaceTest, LongListsWrapAndCommentedHeadsStayComments) {
  auto body = Body(
      "DECLARE_INTERFACE_(IAuto, IDispatch)\n"
      "{\n"
      "    STDMETHOD(GetIDsOfNames)(THIS_ REFIID riid, LPOLESTR *rgszNames, UINT cNames, LCID "
      "lcid, "
      "DISPID *rgDispId) PURE;\n"
      "    STDMETHOD(Compute)(THIS_ int alpha, int beta, int gamma, int delta, int epsilon, int "
      "zeta) "
      "PURE;\n"
      "};\n");
  EXPECT_EQ(
      body,
      (V{"type", "  IAuto = interface ( IDispatch )",
         "//    function GetIDsOfNames(riid: REFIID; var rgszNames: LPOLESTR; cNames: UINT; ",
         "//\t lcid: LCID; var rgDispId: DISPID): HRESULT; stdcall;",
         "    function Compute(alpha: Integer; beta: Integer; gamma: Integer; delta: Integer; ",
         "\t epsilon: Integer; zeta: Integer): HRESULT; safecall;", "  end;"}));
}

TEST_F(InterfaceTest, StatementsInsideARecordAndShortMethods) {
  auto& ctx = fx.Context();
  auto run = [&](const std::vector<std::string>& lines) {
    testing::Tokens(ctx, lines);
    TranslateStatement(ctx);
  };
  ctx.OpenStructLine = 3;
  run({"BEGIN_INTERFACE"});
  run({"END_INTERFACE"});
  ctx.OpenStructLine = -1;
  run({"DECLARE_INTERFACE_(IX, IUnknown)"});
  run({"STDMETHOD(Foo);"});
  run({"STDMETHOD(Foo)(THIS_"});
  EXPECT_TRUE(ctx.Pending);
  run({"STDMETHOD(Foo)(THIS_", "int a) PURE;"});
  EXPECT_EQ(ctx.Pane.Lines(), (V{"// Error :  BEGIN_INTERFACE", "// Error :  END_INTERFACE", "type",
                                 "  IX = interface ( IUnknown )", "// Error :  STDMETHOD ( Foo ) ;",
                                 "    function Foo(a: Integer): HRESULT; stdcall;"}));
}

TEST_F(InterfaceTest, NewNamesAreRegisteredOnce) {
  auto& ctx = fx.Context();
  ctx.InterfaceNames.Add("IKnown");
  auto run = [&](const std::string& line) {
    testing::Tokens(ctx, {line});
    TranslateStatement(ctx);
  };
  // Heads the pre-pass did not see (here: none ran) register their names.
  run("DECLARE_INTERFACE_(IKnown, IUnknown)");
  run("}");
  run("MIDL_INTERFACE(\"1\") INew : public IKnown {");
  run("}");
  run("class CNew : public CBase {");
  run("}");
  run("class CNew {");
  run("}");
  EXPECT_EQ(ctx.InterfaceNames.Entries().size(), 2u);
  EXPECT_EQ(ctx.InterfaceNames.Text(1), "INew");
  EXPECT_EQ(ctx.NewInterfaceIdx, (std::vector<int>{1}));
  EXPECT_EQ(ctx.ClassNames.Text(0), "CNew");
  EXPECT_EQ(ctx.ClassNames.Count(), 1);
  EXPECT_EQ(ctx.NewClassIdx, (std::vector<int>{0}));
  EXPECT_TRUE(ctx.UsesOle);
  // A DECLARE_INTERFACE_ head without attribute waits for it on the line after the head.
  ASSERT_EQ(ctx.ForwardRefs.Count(), 1);
  EXPECT_EQ(ctx.ForwardRefs.Text(0), "IKnown");
  EXPECT_EQ(ctx.Pane.Line(ctx.ForwardRefs.Tag(0) - 1), "  IKnown = interface ( IUnknown )");
}

TEST_F(InterfaceTest, PrePassNamesMakeParametersInterfaces) {
  // IShape is declared after its use; the pre-pass registers it in time.
  auto body = Body(
      "DECLARE_INTERFACE_(IUser, IUnknown)\n"
      "{\n"
      "    STDMETHOD(Use)(THIS_ IShape *shape) PURE;\n"
      "};\n"
      "DECLARE_INTERFACE_(IShape, IUnknown)\n");
  ASSERT_GE(body.size(), 3u);
  EXPECT_EQ(body[2], "    function Use(shape: IShape): HRESULT; stdcall;");
}

}  // namespace
}  // namespace tqc
