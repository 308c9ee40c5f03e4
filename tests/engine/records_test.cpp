// Typedefs, records, unions, enumerations, typed constants and variables: whole conversions
// over small tables, and the context state the rules leave behind.
#include "engine/records.h"

#include <gtest/gtest.h>

#include "engine/dispatch.h"
#include "engine/tokenizer.h"
#include "engine/type_mapping.h"
#include "test_support.h"

namespace tqc {
namespace {

using V = std::vector<std::string>;
using testing::Fixture;
using testing::LoadTables;

constexpr const char* kDat = "[stdcall]\nWINAPI\n";
constexpr const char* kTyp =
    "[TYPE]\nint,Integer\nfloat,Single\nchar,Char\nlong,LongInt\nIID,TIID\n"
    "[POINTER]\nInteger,PInteger\nChar,PChar\nWCHAR,PWChar\n"
    "[INTERFACE]\nIWidget\n[CLASS]\nCView\n[CONST]\nMAX_PATH,260\n";

std::string Lines(const V& lines) {
  std::string text;
  for (const auto& l : lines) text += l + "\n";
  return text;
}

class RecordsTest : public ::testing::Test {
 protected:
  RecordsTest() { LoadTables(fx.Defs, kDat, kTyp); }
  V Body(const V& lines, const std::string& name = "x.h") { return fx.Body(Lines(lines), name); }

  // Runs lines through the driver's loop on a context of our own, to look at its state.
  ConversionContext& Feed(const V& lines) {
    ConversionContext& ctx = *fx.Ctx;
    for (const auto& l : lines) {
      if (!ctx.Pending) ctx.TokenList.Clear();
      ctx.PendingStar = false;
      TokenizeLine(l, ctx);
      TranslateStatement(ctx);
      if (ctx.Retranslate) {
        TranslateStatement(ctx);
        ctx.Retranslate = false;
      }
    }
    return ctx;
  }
  ConversionContext& Fresh() {
    ConversionContext& ctx = fx.Context();
    ctx.InterfaceNames = fx.Defs.InterfaceNames;
    ctx.ClassNames = fx.Defs.ClassNames;
    ctx.UnitName = "x";
    return ctx;
  }

  Fixture fx;
};

TEST_F(RecordsTest, TypedefStructNamedAtTheClose) {
  EXPECT_EQ(Body({"typedef struct tagPT {", "int x;", "} PT, *PPT;"}),
            (V{"type", "  PPT\t= ^PT;", "  PT = record", "\tx\t: Integer;", "  end;"}));
  // The body is closed and PPT is the pointer type of PT from now on.
  ConversionContext& ctx = Fresh();
  Feed({"typedef struct tagPT {", "int x;", "} PT, *PPT;", "PT *q;"});
  EXPECT_EQ(ctx.OpenStructLine, -1);
  EXPECT_EQ(ctx.StructName, "");
  EXPECT_EQ(fx.Pane.Lines().back(), "\tq\t: PPT;");
  EXPECT_EQ(PointerTypeOf(ctx, "PT"), "PPT");
  ASSERT_EQ(ctx.NewPointerIdx.size(), 1u);
  EXPECT_EQ(ctx.PointeeTypes.Text(ctx.NewPointerIdx[0]), "PT");
}

TEST_F(RecordsTest, StructTagGetsPointerTypeBeforeRecord) {
  EXPECT_EQ(Body({"struct tagQ {", "int y;", "};"}),
            (V{"type", "  p_tagQ = ^tagQ;", "  tagQ = record", "\ty\t: Integer;", "  end;"}));
}

// A union in a struct: the variant part when it is the last member (C's layout, C's names);
// before other members a variant part cannot stand (Pascal puts it last, C's later members
// would move): it is a type of its own, the member named u1, u2 ... (as the Windows headers
// name unnamed unions where the compiler has none).
TEST_F(RecordsTest, NestedUnionBecomesVariantPart) {
  EXPECT_EQ(
      Body({"struct S {", "int a;", "union {", "int x;", "float y;", "};", "};"}),
      (V{"type", "  p_S = ^S;", "  S = record", "\ta\t: Integer;", "\tcase Integer of", "\t0: (",
         "\t  x\t: Integer;", "\t);", "\t1: (", "\t  y\t: Single;", "\t);", "  end;"}));
  EXPECT_EQ(Body({"struct S {", "int a;", "union {", "int x;", "char y;", "};", "int b;", "};"}),
            (V{"type", "  S_u1 = record", "\tcase Integer of", "\t0: (x\t: Integer);",
               "\t1: (y\t: Char);", "  end;", "  p_S = ^S;", "  S = record", "\ta\t: Integer;",
               "\tu1\t: S_u1;", "\tb\t: Integer;", "  end;"}));
}

TEST_F(RecordsTest, PadVariantNamesEveryDeclaredName) {
  const std::string v0 = "\t  a, b\t: Integer;\r\n\t  c\t: Single;\r\n\t  d\t: Char;";
  EXPECT_EQ(PadVariant(v0, "", 1),
            "\t  Unknown1_1_1, Unknown1_1_2:  Integer;\r\n\t  Unknown1_2:  Single;\r\n");
  // A variant with one field already is padded from the second on, never with the last.
  EXPECT_EQ(PadVariant(v0, "\t  y\t: Single;\r\n", 3),
            "\t  y\t: Single;\r\n\t  Unknown3_2:  Single;\r\n");
  EXPECT_EQ(PadVariant(v0, "\t  y\t: Single;\r\n\t  z\t: Single;\r\n", 3),
            "\t  y\t: Single;\r\n\t  z\t: Single;\r\n");
  EXPECT_EQ(PadVariant("\t  x\t: Integer;", "", 1), "");
}

TEST_F(RecordsTest, TopLevelUnionMembersAreVariants) {
  EXPECT_EQ(Body({"union U {", "int a;", "float b;", "};"}),
            (V{"type", "  U = record", "\tcase Integer of", "\t0: (a\t: Integer);",
               "\t1: (b\t: Single);", "  end;"}));
  // Declarators of the close go before the head; the body is closed afterwards.
  EXPECT_EQ(Body({"typedef union {", "int a;", "} U, *PU;", "int z;"}),
            (V{"type", "  PU\t= ^U;", "  U = record", "\tcase Integer of", "\t0: (a\t: Integer);",
               "  end;", "var", "\tz\t: Integer;"}));
}

TEST_F(RecordsTest, Enumerations) {
  EXPECT_EQ(Body({"enum Color { RED, GREEN = 2, BLUE };"}),
            (V{"type", "  Color = ( RED, GREEN\t= 2, BLUE );"}));
  EXPECT_EQ(Body({"enum { A, B };"}, "winx.h"), (V{"type", "  TEnum_winx1 = ( A, B );"}));
  EXPECT_EQ(Body({"enum { A };", "enum { B };"}, "hdr.h"),
            (V{"type", "  TEnum_hdr1 = ( A );", "  TEnum_hdr2 = ( B );"}));
}

TEST_F(RecordsTest, EnumerationValues) {
  struct Case {
    const char* Member;
    const char* Expected;
  };
  const Case cases[] = {
      {"A = 0x10", " A\t= $10"},
      {"A = 16L", " A\t= 16"},
      {"A = -1", " A\t= -1"},
      {"A = (1 << 4)", " A\t= 1 shl 4"},
      {"A = 1 >> 2", " A\t= 1 shr 2"},
      {"A = B + 1", " A\t= Integer(B) + 1"},
      {"A = MAX_PATH + 1", " A\t= MAX_PATH + 1"},
      {"A = (2 * 3)", " A\t= 2 * 3"},
      {"A = (7)", " A\t= 7"},
      {"A = MAKEFOURCC('R','I','F','F')", " A\t= $46464952"},
      {"A = FLAG_A", " A\t= Integer(FLAG_A)"},
      {"A = 1, /* one */ B", " A\t= 1, (* one *) B"},
  };
  for (const auto& c : cases) {
    const V body = Body({std::string("enum E { ") + c.Member + " };"});
    ASSERT_EQ(body.size(), 2u) << c.Member;
    EXPECT_EQ(body[1], std::string("  E = (") + c.Expected + " );") << c.Member;
  }
}

TEST_F(RecordsTest, EnumerationOverSeveralLines) {
  EXPECT_EQ(Body({"typedef enum {", "RED = 1, // red", "GREEN", "} COLOR; // colours"}),
            (V{"type", "  COLOR = (", "\t RED\t= 1, // red", "\t GREEN", "\t );\t// colours"}));
  // A comma after the last member is no Pascal: it goes, on whichever line it stands.
  EXPECT_EQ(Body({"enum Shape {", "ROUND, // r", "};", "int z;"}),
            (V{"type", "  Shape = (", "\t ROUND // r", "\t );", "var", "\tz\t: Integer;"}));
  EXPECT_EQ(Body({"enum Shape {", "ROUND,", "// none", "/* more */ };"}),
            (V{"type", "  Shape = (", "\t ROUND", "\t// none", "\t );"}));
  EXPECT_EQ(Body({"enum Shape { ROUND, SQUARE, };"}), (V{"type", "  Shape = ( ROUND, SQUARE );"}));
  EXPECT_EQ(Body({"enum Shape { ROUND,", "};"}), (V{"type", "  Shape = ( ROUND", "\t );"}));
}

TEST_F(RecordsTest, EnumerationCloseWithoutNameIsErrorAndEndsBody) {
  // A typedef head needs a name, a plain head takes none.
  EXPECT_EQ(Body({"typedef enum { A } ;"}), (V{"type", "// Error :  typedef enum { A } ;"}));
  EXPECT_EQ(Body({"enum E { A } F ;"}), (V{"type", "// Error :  enum E { A } F ;"}));
  EXPECT_EQ(Body({"typedef enum {", "A", "};", "int z;"}),
            (V{"type", " = (", "\t A", "// Error :  } ;", "var", "\tz\t: Integer;"}));
  EXPECT_EQ(fx.Result.ErrorCount, 1);
  // A typedef that declares no name is named by its tag.
  EXPECT_EQ(Body({"typedef enum _IRQ_DEVICE_POLICY_USHORT {", "A = 0", "};"}),
            (V{"type", "  _IRQ_DEVICE_POLICY_USHORT = (", "\t A\t= 0", "\t );"}));
  EXPECT_EQ(Body({"typedef enum TAG { B };"}), (V{"type", "  TAG = ( B );"}));
  // The tag of a plain head stays on its line.
  EXPECT_EQ(Body({"enum DBPROPENUMDEPRECATED {", "A = 0x9a", "}"}),
            (V{"type", "  DBPROPENUMDEPRECATED = (", "\t A\t= $9a", "// Error :  }"}));
}

TEST_F(RecordsTest, AliasPointerAndArrayTypedefs) {
  struct Case {
    const char* Input;
    V Expected;
  };
  const Case cases[] = {
      {"typedef int HANDLE2;", {"  HANDLE2\t= Integer;"}},
      {"typedef int *PINT2;", {"  PINT2\t= ^Integer;"}},
      {"typedef char NAME16[16];", {"  NAME16\t= array[0..15] of Char;"}},
      {"typedef int M[2][3]; // m", {"  M\t= array[0..1,0..2] of Integer;\t// m"}},
      {"typedef int *PARR[4];", {"  PARR\t= array[0..3] of PInteger;"}},
      {"typedef int OPEN[0];", {"  OPEN\t= array of Integer;"}},
      {"typedef tagPT PT, *PPT;", {"  PT\t= tagPT;", "  PPT\t= ^tagPT;"}},
      {"typedef int A1, *PA1, A2; // c",
       {"  A1\t= Integer;", "  PA1\t= ^Integer;", "  A2\t= Integer;\t// c"}},
      {"typedef struct tagX *PX;", {"  PX\t= ^tagX;"}},
      {"typedef union tagU U;", {"  U\t= tagU;"}},
      {"typedef enum tagE E;", {"  E\t= tagE;"}},
      {"typedef enum tagE *PE; // p", {"  PE\t= ^tagE;\t// p"}},
      {"typedef void *PV;", {"  PV\t= Pointer;"}},
  };
  for (const auto& c : cases) {
    V expected{"type"};
    expected.insert(expected.end(), c.Expected.begin(), c.Expected.end());
    EXPECT_EQ(Body({c.Input}), expected) << c.Input;
  }
}

TEST_F(RecordsTest, TypedefEnumWithoutBodyNeverSwallowsTheFile) {
  EXPECT_EQ(Body({"typedef enum tagE E F;", "int z;"}),
            (V{"// Error :  typedef enum tagE E F ;", "var", "\tz\t: Integer;"}));
  // Without its ";" it waits for the rest as before.
  EXPECT_EQ(Body({"typedef enum tagE", "E;"}), (V{"type", "  E\t= tagE;"}));
}

TEST_F(RecordsTest, PointerRegistration) {
  ConversionContext& ctx = Fresh();
  ctx.FuncNames.Add("PFNFOO");
  Feed({"typedef IWidget *PWIDGET;", "typedef PFNFOO *PPFN;", "typedef void VOID;",
        "typedef VOID *PVOID2;"});
  const int w = ctx.PointerTypes.FindExact("PWIDGET");
  ASSERT_GE(w, 0);
  EXPECT_EQ(ctx.PointeeTypes.Text(w), "IWidget");
  EXPECT_EQ(ctx.PointeeTypes.Tag(w), 1);
  // A pointer to a routine type is the routine type.
  const int f = ctx.TypeNames.FindExact("PPFN");
  ASSERT_GE(f, 0);
  EXPECT_EQ(ctx.TypeValues.Text(f), "PFNFOO");
  EXPECT_EQ(ctx.NewTypeIdx, std::vector<int>{f});
  EXPECT_EQ(ctx.PointeeTypes.Tag(ctx.PointerTypes.FindExact("PPFN")), 0);
  EXPECT_EQ(ctx.NewPointerIdx.size(), 3u);
  EXPECT_TRUE(ctx.VoidNames.Contains("VOID"));
  EXPECT_EQ(fx.Pane.Lines().back(), "  PVOID2\t= Pointer;");
}

TEST_F(RecordsTest, RecordRenamesEarlierPointeeTag) {
  ConversionContext& ctx = Fresh();
  Feed({"typedef struct tagX *LPX;", "typedef struct tagX {", "int v;", "} X, *PX;", "X *p;"});
  EXPECT_EQ(ctx.PointeeTypes.FindExact("tagX"), -1);
  EXPECT_EQ(PointerTypeOf(ctx, "X"), "LPX");
  EXPECT_EQ(fx.Pane.Lines().back(), "\tp\t: LPX;");
  // No "p_" line when a starred declarator exists.
  for (const auto& l : fx.Pane.Lines()) EXPECT_EQ(l.find("p_X"), std::string::npos) << l;
}

TEST_F(RecordsTest, AnonymousRecordDeclaratorsBeforeHead) {
  EXPECT_EQ(
      Body({"typedef struct {", "int v;", "} A, B, *PA; // c"}),
      (V{"type", "  B\t= A;", "  PA\t= ^A;", "  A = record", "\tv\t: Integer;", "  end;\t// c"}));
  EXPECT_EQ(Body({"typedef struct {", "int v;", "} A, B;"}),
            (V{"type", "  p_A = ^A;", "  B\t= A;", "  A = record", "\tv\t: Integer;", "  end;"}));
  // Only a pointer declared: the record keeps its tag.
  EXPECT_EQ(Body({"typedef struct _NDR_SCONTEXT {", "void *pad[2];", "} *NDR_SCONTEXT;"}),
            (V{"type", "  NDR_SCONTEXT\t= ^_NDR_SCONTEXT;", "  _NDR_SCONTEXT = record",
               "\tpad\t: array[0..1] of p_void;", "  end;"}));
}

TEST_F(RecordsTest, UnregisteredPointeeUsesPPrefix) {
  EXPECT_EQ(Body({"struct tagR {", "struct tagN *next;", "};", "struct tagN {", "int v;", "};"}),
            (V{"type", "  p_tagR = ^tagR;", "  tagR = record", "\tnext\t: p_tagN;", "  end;",
               "  p_tagN = ^tagN;", "  tagN = record", "\tv\t: Integer;", "  end;"}));
}

TEST_F(RecordsTest, FieldDeclarators) {
  EXPECT_EQ(
      Body({"struct G {", "int type, in;", "char *String;", "};", "typedef G *File, Set;",
            "enum { Of = 1, Unit };"}),
      (V{"type", "  p_G = ^G;", "  G = record", "\t&type, &in\t: Integer;", "\t&String\t: PChar;",
         "  end;", "  &File\t= ^G;", "  &Set\t= G;", "  TEnum_x1 = ( &Of\t= 1, &Unit );"}));
  EXPECT_EQ(Body({"struct F {", "int a, b, *p, c[4];", "char *const s;", "int **pp;", "IWidget *w;",
                  "IWidget **ww;", "IWidget *x, y;", "CView *v;", "};"}),
            (V{"type", "  p_F = ^F;", "  F = record", "\ta, b\t: Integer;", "\tp\t: PInteger;",
               "\tc\t: array[0..3] of Integer;", "\ts\t: PChar;", "\tpp\t: p_PInteger;",
               "\tw\t: IWidget;", "\tww\t: p_IWidget;", "\tx\t: p_IWidget;", "\ty\t: IWidget;",
               "\tv\t: CView;", "  end;"}));
}

TEST_F(RecordsTest, VariablesOpenVarSection) {
  EXPECT_EQ(Body({"extern int a; // note", "const int b;", "typedef int T;", "int c;", "int d;"}),
            (V{"var", "\ta\t: Integer;\t// note", "\tb\t: Integer;", "type", "  T\t= Integer;",
               "var", "\tc\t: Integer;", "\td\t: Integer;"}));
}

TEST_F(RecordsTest, InitializerIsErrorLine) {
  EXPECT_EQ(Body({"int x = 5;"}), (V{"var", "// Error : \tx\t: Integer; 5 ;"}));
  EXPECT_EQ(fx.Result.ErrorCount, 1);
  // A second declaration after the ";" is translated on its own.
  EXPECT_EQ(Body({"int x; y;"}), (V{"var", "\tx\t: Integer;", "// Error :  y ;"}));
}

TEST_F(RecordsTest, DeclarationWithoutDeclaratorIsNotDropped) {
  EXPECT_EQ(Body({"FOO;"}), (V{"// Error :  FOO ;"}));
  // A bit field is a field of its storage unit's type.
  EXPECT_EQ(Body({"struct B {", "UINT flag : 1;", "};"}),
            (V{"type", "  p_B = ^B;", "  B = record", "\tBits0\t: UINT;\t// flag:1", "  end;"}));
  EXPECT_EQ(Body({"= \"a\";"}), (V{"// Error :  = 'a' ;"}));
  // A declaration over several lines is read whole (its initializer then shows).
  EXPECT_EQ(Body({"extern const char *S", "= \"a\"", ";"}),
            (V{"var", "// Error : \tS\t: PChar; 'a' ;"}));
}

TEST_F(RecordsTest, RecordOnOneLine) {
  // Fields after the head restart the dispatch with an empty built line.
  EXPECT_EQ(
      Body({"struct A { int x;", "int y; };"}),
      (V{"type", "  p_A = ^A;", "  A = record", "\tx\t: Integer;", "\ty\t: Integer;", "  end;"}));
  EXPECT_EQ(Body({"typedef struct { int x; int y; } B, *PB;", "int z;"}),
            (V{"type", "  PB\t= ^B;", "  B = record", "\tx\t: Integer;", "\ty\t: Integer;",
               "  end;", "var", "\tz\t: Integer;"}));
  EXPECT_EQ(Body({"union U { int a; float b; };"}),
            (V{"type", "  U = record", "\tcase Integer of", "\t0: (a\t: Integer);",
               "\t1: (b\t: Single);", "  end;"}));
  EXPECT_EQ(Body({"typedef struct { // c", "int x;", "} C;"}),
            (V{"type", "  p_C = ^C;", "  C = record\t// c", "\tx\t: Integer;", "  end;"}));
}

// Definitions nested in a record are types of their own, named after the record and the
// member; a record that loses a field to an error line is no record C has: all of it is shown
// as error lines (its pointer type stays).
TEST_F(RecordsTest, NestedDefinitions) {
  EXPECT_EQ(Body({"struct A {", "int a;", "struct {", "int b;", "} in[2];", "int c;", "};"}),
            (V{"type", "  p_A_in = ^A_in;", "  A_in = record", "\tb\t: Integer;", "  end;",
               "  p_A = ^A;", "  A = record", "\ta\t: Integer;", "\t&in\t: array[0..1] of A_in;",
               "\tc\t: Integer;", "  end;"}));
  // A nested head that already ends its statement declares no member.
  EXPECT_EQ(Body({"struct A {", "struct B;", "int c;", "};"}),
            (V{"type", "  p_A = ^A;", "// Error : A = record", "// Error :  struct B ;",
               "// Error : c\t: Integer;", "// Error : end;"}));
  EXPECT_EQ(fx.Result.ErrorCount, 4);
  // A typedef in a record (C++) is none of its members.
  EXPECT_EQ(Body({"struct A {", "typedef struct {", "int b;", "} B;", "int c;", "};"})[3],
            "// Error :  typedef struct {");
}

TEST_F(RecordsTest, WrongClosesEndTheBody) {
  // A struct close of another shape, or without any name, is an error and closes the body.
  EXPECT_EQ(
      Body({"struct A {", "int a;", "} X Y;", "int z;"}),
      (V{"type", " = record", "\ta\t: Integer;", "// Error :  } X Y ;", "var", "\tz\t: Integer;"}));
  EXPECT_EQ(
      Body({"typedef struct {", "int a;", "};", "int z;"}),
      (V{"type", " = record", "\ta\t: Integer;", "// Error :  } ;", "var", "\tz\t: Integer;"}));
  EXPECT_EQ(Body({"typedef union {", "int a;", "};", "int z;"}),
            (V{"type", " = record", "\tcase Integer of", "\t0: (a\t: Integer);", "// Error :  } ;",
               "var", "\tz\t: Integer;"}));
  // A bad declarator in the close: the good ones are declared, the rest is shown.
  EXPECT_EQ(Body({"typedef struct {", "int a;", "} A, *PA X;"}),
            (V{"type", "  A = record", "\ta\t: Integer;", "  end;", "// Error :  *PA X ;"}));
}

TEST_F(RecordsTest, UnionCloseOfUnknownShapeStaysOpenButIsShown) {
  EXPECT_EQ(Body({"union U {", "int a;", "} U V;", "int b;", "};"}),
            (V{"type", "// Error : U = record", "// Error : case Integer of",
               "// Error : 0: (a\t: Integer);", "// Error :  } U V ;",
               "// Error : 1: (b\t: Integer);", "// Error : end;"}));
}

TEST_F(RecordsTest, HeadsAndForwardDeclarations) {
  EXPECT_EQ(Body({"EXTERN_C const IID IID_IFoo;", "const IID IID_IBar;"}),
            (V{"//  EXTERN_C const TIID IID_IFoo ;", "//  const TIID IID_IBar ;"}));
  EXPECT_EQ(Body({"interface IWidget;"}), (V{"type", "  IWidget = interface;"}));
  EXPECT_EQ(Body({"struct IWidget;", "struct CView;", "struct tagZ;"}),
            (V{"type", "  IWidget = interface;", "  CView = class;", ""}));
  EXPECT_EQ(Body({"struct tagS", "{", "int a;", "};"})[2], "  tagS = record");
  // A brace that no head took is no declaration either.
  EXPECT_EQ(Body({"union", "{"}), (V{"// Error :  union", "// Error :  {"}));
  fx.Options.OleMode = true;
  EXPECT_EQ(Body({"struct tagZ;", "typedef interface IFoo IFoo;"}),
            (V{"type", "  tagZ = class;", "  IFoo = class;"}));
}

TEST_F(RecordsTest, InterfaceAliasRegistersName) {
  EXPECT_EQ(Body({"typedef interface IFoo IFoo;"}), (V{"  IFoo = interface;"}));
  ConversionContext& ctx = Fresh();
  Feed({"typedef interface IFoo IFoo;", "typedef interface IFoo IFoo;", "struct S {", "IFoo *f;",
        "};"});
  EXPECT_EQ(ctx.NewInterfaceIdx, std::vector<int>{ctx.InterfaceNames.FindExact("IFoo")});
  EXPECT_EQ(fx.Pane.Lines()[fx.Pane.Count() - 2], "\tf\t: IFoo;");
}

TEST_F(RecordsTest, TypedConstants) {
  EXPECT_EQ(Body({"static const int LIMIT = 10;"}), (V{"const", "  LIMIT\t: Integer\t= 10;"}));
  EXPECT_EQ(Body({"static const WCHAR *NAME = L\"abc\"; // n"}),
            (V{"const", "  NAME\t: PWChar\t= 'abc';\t// n"}));
  EXPECT_EQ(Body({"static const char *S = L\"abc\";"}), (V{"const", "  S\t: PChar\t= 'abc';"}));
}

}  // namespace
}  // namespace tqc
