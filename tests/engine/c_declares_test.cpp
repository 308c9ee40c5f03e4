// Units that declare what the C compiler sees: sizes, layouts, values and routines as C has
// them, in every mode. Each row is the header line that showed the fault.
#include <gtest/gtest.h>

#include <optional>

#include "engine/conversion.h"
#include "tables/definition_files.h"
#include "test_support.h"

namespace tqc {
namespace {

using V = std::vector<std::string>;
using testing::Fixture;

constexpr const char* kDat =
    "[stdcall]\nWINAPI\n__stdcall\n[skip]\nWINBASEAPI\n[predefined]\n_WIN32,MSWINDOWS\n"
    "_WIN64,WIN64\n_M_X64,CPUX86_64\n_ARM_,CPUARM\n[target]\nWIN64\nCPUX86_64\n!CPUARM\n[result]"
    "\nSHSTDAPI_,"
    "__stdcall\n[cast]\n"
    "_HRESULT_TYPEDEF_,HRESULT\n[values]\nINT_MIN,-2147483648\nINT_MAX,2147483647\n"
    "[macros]\nMAKE_HR(sev,code) ((HRESULT) (((unsigned long)(sev)<<31) | (code)))\n";
constexpr const char* kTyp =
    "[TYPE]\nint,Integer\nchar,Char\nlong,LongInt\nHRESULT,HRESULT\n[POINTER]\nvoid,Pointer\nChar,"
    "PChar\n[WINDOWS UNIT]\nDWORD type\nHWND type\n";

enum class Mode { Default, Ready, Both };

struct Case {
  Mode In;
  const char* Input;
  V Expected;
  int Errors;
};

void RunCases(const Case* begin, const Case* end) {
  for (const Case* c = begin; c != end; ++c) {
    for (bool ready : {false, true}) {
      if ((c->In == Mode::Default && ready) || (c->In == Mode::Ready && !ready)) continue;
      Fixture fx;
      testing::LoadTables(fx.Defs, kDat, kTyp);
      fx.Options.CompileReady = ready;
      EXPECT_EQ(fx.Body(c->Input), c->Expected) << c->Input << (ready ? " (compiler-ready)" : "");
      EXPECT_EQ(fx.Result.ErrorCount, c->Errors) << c->Input << (ready ? " (compiler-ready)" : "");
    }
  }
}

// Enumerations are as large as C's (4 bytes): the unit head says so.
TEST(CDeclaresTest, EnumerationsHaveCsSize) {
  Fixture fx;
  EXPECT_EQ(fx.Convert("").at(6), "{$X+}{$Z4}{$A8}");
}

// The macros the C compiler defines for the target are the Pascal compiler's own symbols.
TEST(CDeclaresTest, TargetMacrosInConditions) {
  const Case cases[] = {
      {Mode::Default, "#ifdef _WIN64\n#endif\n", {"{$IFDEF WIN64}", "{$ENDIF}"}, 0},
      {Mode::Default,
       "#if defined(_M_X64) && !defined(_WIN32)\n#elif _WIN64\n#endif\n",
       {"{$IF Defined(CPUX86_64) and (not Defined(MSWINDOWS)) }", "{$ELSEIF Defined(WIN64) }",
        "{$IFEND}"},
       0},
      {Mode::Ready,
       "#ifdef _WIN64\n#elif !_WIN64\n#endif\n",
       {"{$IF Defined(WIN64) }", "{$ELSEIF not Defined(WIN64) }", "{$IFEND}"},
       0},
      // winnt's UNWIND_HISTORY_TABLE_SIZE: what the ARM branch declares does not keep the x64
      // branch from declaring it.
      {Mode::Ready,
       "#ifdef _ARM_\n#define SIZE 12\n#endif\n#if defined(_M_X64)\n#define SIZE 12\n#endif\n",
       {"{$IF Defined(CPUARM) }", "const", "  SIZE\t= 12;", "{$IFEND}", "{$IF Defined(CPUX86_64) }",
        "const", "  SIZE\t= 12;", "{$IFEND}"},
       0},
  };
  RunCases(std::begin(cases), std::end(cases));
}

// The Windows headers' packing includes pack the records after them as C does.
TEST(CDeclaresTest, PackingIncludes) {
  const Case cases[] = {
      {Mode::Both,
       "#include <pshpack1.h>\n#include \"pshpack4.h\"\n#include <poppack.h>\n#include "
       "<poppack.h>\n",
       {"{$A1} // #include <pshpack1.h>", "{$A4} // #include \"pshpack4.h\"",
        "{$A1} // #include <poppack.h>", "{$A8} // #include <poppack.h>"},
       0},
  };
  RunCases(std::begin(cases), std::end(cases));
}

// Routine pointers: fields of a record (bzlib's bzalloc, a COM Vtbl's methods) are fields of a
// procedural type, in a variant too; unnamed parameters (sqlite3_bind_text's destructor) and
// parameters after comments (sqlite3_exec) keep their types.
TEST(CDeclaresTest, RoutinePointers) {
  const Case cases[] = {
      {Mode::Both,
       "typedef struct bz { void *(*bzalloc)(void *, int, int); int x; } bz;\n",
       {"type", "  p_bz = ^bz;", "  bz = record",
        "\tbzalloc\t: function (var Para0; Para1: Integer; Para2: Integer): Pointer; cdecl;",
        "\tx\t: Integer;", "  end;"},
       0},
      {Mode::Default,
       "typedef struct V {\n  long (WINAPI *AddRef)(void *This); /* c */\n} V;\n"
       "typedef union U { int (*f)(int); char *s; } U;\n",
       {"type", "  p_V = ^V;", "  V = record",
        "\tAddRef\t: function (var This): LongInt; stdcall;\t(* c *)", "  end;", "  U = record",
        "\tcase Integer of", "\t0: (f\t: function (Para0: Integer): Integer; cdecl);",
        "\t1: (s\t: PChar);", "  end;"},
       0},
      // ocidl's IViewObjectExVtbl: a routine-type parameter of a method field is a pointer.
      {Mode::Both,
       "typedef struct V {\n  int (WINAPI *Draw)(void *This, int (WINAPI *pfn)(int d), int x);\n} "
       "V;\n",
       {"type", "  p_V = ^V;", "  V = record",
        "\tDraw\t: function (var This; pfn: Pointer; x: Integer): Integer; stdcall;", "  end;"},
       0},
      // sqlite3_update_hook's «char const *».
      {Mode::Default,
       "void f(void(*)(char const *));\n",
       {"type", "  TProc0 = procedure (Para0: PChar); cdecl;",
        "  procedure f(Proc0: TProc0); cdecl;"},
       0},
      {Mode::Default,
       "int q(void(*)(void*), int (WINAPI *cb)(int));\n",
       {"type", "  TProc0 = procedure (var Para0); cdecl;", "type",
        "  Tcb =  function (Para0: Integer): Integer; stdcall;",
        "  function q(Proc0: TProc0; cb: Tcb): Integer; cdecl;"},
       0},
      {Mode::Default,
       "int sqlite3_exec(\n  sqlite3*, /* db */\n  const char *sql,\n  int "
       "(*callback)(void*,int),\n"
       "  void *\n);\n",
       {"type", "  Tcallback =  function (var Para0; Para1: Integer): Integer; cdecl;",
        "  function sqlite3_exec(var Para0: sqlite3; (* db *)",
        "\t const sql: PChar; callback: Tcallback; var Para1): Integer; cdecl;"},
       0},
  };
  RunCases(std::begin(cases), std::end(cases));
}

// sqlite3_mprintf's variable list is Pascal's "varargs" (always cdecl); a record whose name
// stands on the line after its brace (cairo.h's «} cairo_matrix_t;» style) gets it.
TEST(CDeclaresTest, VarargsAndNamesAfterTheBrace) {
  const Case cases[] = {
      {Mode::Default,
       "char *sqlite3_mprintf(const char*, ...);\nint WINAPI wsprintfA(char *b, const char *f, "
       "...);\n",
       {"  function sqlite3_mprintf(const Para0: PChar): PChar; cdecl; varargs;",
        "  function wsprintfA(b: PChar; const f: PChar): Integer; cdecl; varargs;"},
       0},
      // sqlite3_get_table's «char ***pazResult».
      {Mode::Default,
       "int WINAPI f(char ***p);\n",
       {"  function f(var p: p_PChar): Integer; stdcall;"},
       0},
      {Mode::Default,
       "int WINAPI Ndr(void *p,\n   ...);\nint WINAPI NdrClientCall2(PMIDL_STUB_DESC "
       "pStubDescriptor,PFORMAT_STRING pFormat,...);\n",
       {"  function Ndr(var p): Integer; cdecl; varargs;",
        "  function NdrClientCall2(pStubDescriptor: PMIDL_STUB_DESC; pFormat: PFORMAT_STRING): "
        "Integer; cdecl; varargs;"},
       0},
      {Mode::Both,
       "typedef struct _E {\n  int c;\n} /* E, */ *PE;\n",
       {"type", "  PE\t= ^_E;", "  _E = record", "\tc\t: Integer;", "  end;\t(* E, *)"},
       0},
      {Mode::Both,
       "typedef struct { int a; }\ns2;\n",
       {"type", "  p_s2 = ^s2;", "  s2 = record", "\ta\t: Integer;", "  end;"},
       0},
  };
  RunCases(std::begin(cases), std::end(cases));
}

// sqlite3's «typedef struct sqlite3 sqlite3;» is an empty record with its pointer type, in
// every mode; «typedef struct _X X;» where no unit declares _X is one in the compiler-ready
// mode (in the default mode it stays an alias of the tag); an alias of a record defined later
// moves after it.
TEST(CDeclaresTest, OpaqueRecords) {
  const Case cases[] = {
      {Mode::Both,
       "typedef struct sqlite3 sqlite3;\n",
       {"type", "  p_sqlite3\t= ^sqlite3;", "  sqlite3\t= record end;"},
       0},
      {Mode::Ready,
       "typedef struct _X X;\ntypedef struct _Y Y;\nstruct _Y { int a; };\n",
       {"type", "  X\t= record end;", "  p__Y = ^_Y;", "  _Y = record", "\ta\t: Integer;", "  end;",
        "  Y\t= _Y;"},
       0},
      // C's COM object (transact.h): its one field where its methods' «This» can name it.
      {Mode::Ready,
       "typedef struct IX IX;\ntypedef struct IXVtbl {\n  int (WINAPI *F)(IX *This);\n} IXVtbl;\n"
       "struct IX {\n  CONST_VTBL struct IXVtbl *lpVtbl;\n};\n",
       {"type", "  p_IX\t= ^IX;", "  IX\t= record lpVtbl: Pointer; end;", "  p_IXVtbl = ^IXVtbl;",
        "  IXVtbl = record", "\tF\t: function (var This: IX): Integer; stdcall;", "  end;",
        "//  struct IX {", "//  CONST_VTBL struct IXVtbl *lpVtbl ;", "//  } ;"},
       0},
  };
  RunCases(std::begin(cases), std::end(cases));
}

// Values and members that Pascal would read otherwise: a "#define" between an enumeration's
// members (expat), a member named like its type (expat's XML_PARSING), a version pasted from
// two macros, casts of 0 and -1 to a routine type (sqlite3's SQLITE_STATIC, SQLITE_TRANSIENT).
TEST(CDeclaresTest, ValuesAndMembers) {
  const Case cases[] = {
      {Mode::Both,
       "enum E { E_A = 0,\n#define E_A E_A\nE_B = 1 };\n",
       {"type", "  E = ( E_A\t= 0,", "//  #define E_A E_A", "\t E_B\t= 1 );"},
       0},
      {Mode::Both,
       "enum XML_Parsing { XML_INITIALIZED, XML_PARSING };\n",
       {"type", "  XML_Parsing = ( XML_INITIALIZED, XML_PARSING_ );"},
       0},
      {Mode::Default, "#define V V_MAJOR.V_MINOR\n", {"// Error :  #define V V_MAJOR.V_MINOR"}, 1},
      {Mode::Both,
       "typedef void (*sqlite3_destructor_type)(void*);\n"
       "#define SQLITE_STATIC ((sqlite3_destructor_type)0)\n"
       "#define SQLITE_TRANSIENT ((sqlite3_destructor_type)-1)\n",
       {"type", "  sqlite3_destructor_type = procedure (var Para0); cdecl;", "const",
        "  SQLITE_STATIC\t= nil;", "  SQLITE_TRANSIENT\t: Pointer\t= Pointer(-1);"},
       0},
  };
  RunCases(std::begin(cases), std::end(cases));
}

// shellapi.h's prototypes behind a decoration that wraps the return type; winbase.h's behind
// a word the tables drop.
TEST(CDeclaresTest, DecorationsOfPrototypes) {
  const Case cases[] = {
      {Mode::Default,
       "SHSTDAPI_(HINSTANCE) ShellExecuteW(HWND hwnd, int n);\nWINBASEAPI int WINAPI Beep(int "
       "f);\n",
       {"  function ShellExecuteW(hwnd: HWND; n: Integer): HINSTANCE; stdcall;",
        "  function Beep(f: Integer): Integer; stdcall;"},
       0},
      // zlib's OF((args)) and z_const, sqlite3's «const struct sqlite3_io_methods *pMethods».
      {Mode::Default,
       "#define OF(args) args\n#define z_const const\nint deflate OF((int strm, int flush));\n"
       "struct F {\n  z_const char *next_in;\n  const struct M *pMethods;\n};\n",
       {"// Error :  #define OF ( args ) args", "//  #define z_const const",
        "  function deflate(strm: Integer; flush: Integer): Integer; cdecl;", "type", "  p_F = ^F;",
        "  F = record", "\tnext_in\t: PChar;", "\tpMethods\t: p_M;", "  end;"},
       1},
  };
  RunCases(std::begin(cases), std::end(cases));
}

// Constants keep C's value: winerror.h's HRESULTs are negative, and C's "~" of an unsigned
// 32-bit number stays 32 bits.
TEST(CDeclaresTest, SignedAndUnsignedConstants) {
  const Case cases[] = {
      {Mode::Both,
       "#define _HRESULT_TYPEDEF_(_sc) _sc\n#define E_FAIL _HRESULT_TYPEDEF_(0x80004005L)\n",
       {"// Error :  #define _HRESULT_TYPEDEF_ ( _sc ) _sc", "const",
        "  E_FAIL\t= HRESULT($80004005);"},
       1},
      // stdlib's lldiv_t: «long long» is 64 bits.
      {Mode::Default,
       "typedef struct { long long quot; unsigned long long rem; long long int x; } lldiv_t;\n",
       {"type", "  p_lldiv_t = ^lldiv_t;", "  lldiv_t = record", "\tquot\t: Int64;",
        "\trem\t: UInt64;", "\tx\t: Int64;", "  end;"},
       0},
      // winddi's multi-character HT_BITMASKPALRGB, wingdi's STAMP_DESIGNVECTOR, winuser's
      // HWND_MESSAGE, libxml2's BAD_CAST.
      {Mode::Ready,
       "#define T (DWORD)'0BGR'\n#define STAMP (0x8000000 + 'd' + ('v' << 8))\n"
       "#define HWND_MESSAGE ((HWND)-3)\n#define BAD_CAST (char *)\n",
       {"// Error :  #define T DWORD('0BGR')", "const",
        "  STAMP\t= ( $8000000 + Ord('d') + ( Ord('v') shl 8 ) );",
        "  HWND_MESSAGE\t= ( HWND(-3) );", "// Error :  #define BAD_CAST ( Char* )"},
       2},
      {Mode::Ready,
       "#define M (~0x80000000)\n#define N (~1)\n",
       {"const", "  M\t= ( ($80000000 xor $FFFFFFFF) );", "  N\t= ( not 1 );"},
       0},
  };
  RunCases(std::begin(cases), std::end(cases));
}

// winbase.h's DCB: bit fields share storage units of their type as the Windows compilers
// lay them out; a record that loses a field is shown whole as error lines, never smaller.
TEST(CDeclaresTest, RecordsKeepTheirSize) {
  const Case cases[] = {
      {Mode::Default,
       "typedef struct _DCB {\n  DWORD DCBlength;\n  DWORD fBinary: 1;\n  DWORD fParity: 1;\n"
       "  DWORD fDummy2:30;\n  WORD wReserved;\n  BYTE a:4, b:5;\n} DCB;\n",
       {"type", "  p_DCB = ^DCB;", "  DCB = record", "\tDCBlength\t: DWORD;",
        "\tBits0\t: DWORD;\t// fBinary:1, fParity:1, fDummy2:30", "\twReserved\t: WORD;",
        "\tBits1\t: BYTE;\t// a:4", "\tBits2\t: BYTE;\t// b:5", "  end;"},
       0},
      {Mode::Default,
       "typedef struct _S { int a; int b : 3 + 1; } S;\n",
       {"type", "  p_S = ^S;", "// Error : S = record", "// Error : a\t: Integer;",
        "// Error :  Integer b : 3 + 1 ;", "// Error : end;"},
       4},
      // sqltypes' SQLGUID: DWORD is the Windows unit's, known without a header that declares it.
      {Mode::Ready,
       "typedef struct tagSQLGUID {\n  DWORD Data1;\n} SQLGUID;\n",
       {"type", "  p_SQLGUID = ^SQLGUID;", "  SQLGUID = record", "\tData1\t: DWORD;", "  end;",
        "  tagSQLGUID\t= SQLGUID;"},
       0},
      // winnt's M128A: the alignment stays a comment, the record is read.
      {Mode::Default,
       "typedef struct DECLSPEC_ALIGN(16) _M128A {\n  int Low;\n} M128A;\n",
       {"type", "  p_M128A = ^M128A;", "  M128A = record\t(* DECLSPEC_ALIGN(16) *)",
        "\tLow\t: Integer;", "  end;"},
       0},
      // The pointer declared before the record goes with it (corecrt's pthreadlocinfo).
      {Mode::Ready,
       "struct tl;\ntypedef struct tl *ptl;\ntypedef struct tl { int a; int b : 3 + 1; } tli;\n",
       {"type", "", "  ptl\t= Pointer;", "  p_tli = Pointer;", "// Error : tli = record",
        "// Error : a\t: Integer;", "// Error :  Integer b : 3 + 1 ;", "// Error : end;",
        "// Error : tl\t= tli;"},
       5},
  };
  RunCases(std::begin(cases), std::end(cases));
}

// Bindings name the DLL that exports each routine (tqc.exp); the prompt offers the DLL the
// header's routines agree on; a name of the user's own binds every routine to it.
TEST(CDeclaresTest, BindingsNameTheExportingDll) {
  struct Row {
    const char* Header;
    std::optional<std::string> Answer;  // nothing: the offered name is taken
    V Bindings;
    bool Ready = true;
  };
  const Row rows[] = {
      {"int WINAPI MessageBoxW(int a);\nint WINAPI GetTickCount(void);\nint Own(void);\n",
       std::nullopt,
       {"'user32.dll' name 'MessageBoxW';", "'kernel32.dll' name 'GetTickCount';",
        "'x.dll' name 'Own';"}},
      {"int WINAPI MessageBoxW(int a);\nint Own(void);\n",
       std::nullopt,
       {"'user32.dll' name 'MessageBoxW';", "'user32.dll' name 'Own';"}},
      {"int WINAPI MessageBoxW(int a);\n",
       std::string("mine.dll"),
       {"'mine.dll' name 'MessageBoxW';"}},
      // The default mode binds a known export though no import word says so.
      {"int WINAPI MessageBoxW(int a);\nint Own(void);\n",
       std::nullopt,
       {"user32 name 'MessageBoxW';"},
       false},
  };
  for (const Row& r : rows) {
    Fixture fx;
    testing::LoadTables(fx.Defs, kDat, kTyp);
    ReadExpText(fx.Defs, "; c\n[user32.dll]\nMessageBoxW\n[kernel32.dll]\nGetTickCount\n");
    fx.Options.CompileReady = r.Ready;
    if (r.Answer) fx.Host = SilentHost(r.Answer);
    V bindings;
    for (const std::string& line : fx.Convert(r.Header))
      if (const std::size_t at = line.find("external "); at != std::string::npos)
        bindings.push_back(line.substr(at + 9));
    EXPECT_EQ(bindings, r.Bindings) << r.Header;
  }
}

}  // namespace
}  // namespace tqc

namespace tqc {
namespace {

// Macros of ordinary C libraries' headers, compiler-ready: macros with parameters called by an
// enumeration's members (freetype's FT_IMAGE_TAG, libuv's X-macro lists, libcurl's
// CURL_DEPRECATED over two lines), a macro defined as nothing that ends a record (libuv), a
// macro whose comment goes on with "\\" (libuv's tree.h), limits in conditions (libpng).
TEST(CDeclaresTest, MacrosOfLibraryHeaders) {
  const Case cases[] = {
      {Mode::Ready,
       "#define FT_IMAGE_TAG( value, _x1, _x2, _x3, _x4 )  \\\n"
       "  value = ( ( FT_STATIC_BYTE_CAST( unsigned long, _x1 ) << 24 ) | \\\n"
       "            FT_STATIC_BYTE_CAST( unsigned long, _x4 ) )\n"
       "typedef enum F_ {\n  FT_IMAGE_TAG( F_NONE, 0, 0, 0, 0 ),\n"
       "  FT_IMAGE_TAG( F_COMP, 'c', 'o', 'm', 'p' )\n} F;\n",
       {"// Error :  #define FT_IMAGE_TAG ( value , _x1 , _x2 , _x3 , _x4 ) value = ( ( "
        "FT_STATIC_BYTE_CAST ( ULONG , _x1 ) << 24 ) | FT_STATIC_BYTE_CAST ( ULONG , _x4 ) )",
        "type", "  F = (", "\t F_NONE\t= 0,", "\t F_COMP\t= 1660944496", "\t );"},
       1},
      {Mode::Ready,
       "#define MAP(XX) XX(E2BIG, \"too long\") XX(EACCES, \"denied\")\n"
       "typedef enum {\n  H_FIRST = 0,\n#define XX(code, _) H_##code,\n  MAP(XX)\n#undef XX\n"
       "  H_MAX\n} h_type;\n",
       {"// Error :  #define MAP ( XX ) XX ( E2BIG , 'too long' ) XX ( EACCES , 'denied' )", "type",
        "  h_type = (", "\t H_FIRST\t= 0,", "//  #define XX ( code , _ ) H_##code ,",
        "\t H_E2BIG, H_EACCES,", "{$UNDEF XX}", "\t H_MAX", "\t );"},
       1},
      {Mode::Ready,
       "#define DEPRECATED(version, message)\n"
       "#define OPT(na, t, nu) na = t + nu\n"
       "#define OPTDEPRECATED(na, t, nu, v, m) na DEPRECATED(v, m) = t + nu\n"
       "typedef enum {\n  B_NONE = 0,\n  B_OLD DEPRECATED(7.69.0, \"\") = 6,\n"
       "  OPTDEPRECATED(B_POST, 10000, 24,\n    7.56.0, \"Use B_MIME\"),\n  B_LAST\n} backend;\n",
       {"// Error :  #define DEPRECATED ( version , message )",
        "// Error :  #define OPT ( na , t , nu ) na = t + nu",
        "// Error :  #define OPTDEPRECATED ( na , t , nu , v , m ) na DEPRECATED ( v , m ) = t + nu",
        "type", "  backend = (", "\t B_NONE\t= 0,", "\t B_OLD\t= 6,", "\t B_POST\t= 10024,",
        "\t B_LAST", "\t );"},
       3},
      // ADO's enumerations: an interface identifier before the type, a member cast to int.
      {Mode::Ready,
       "typedef DECLSPEC_UUID(\"0000051E-0000-0010-8000-00AA006D2EA4\")\n"
       "enum X { x_a = -1, x_b = (int) 0x80000000 } X;\n",
       {"type", "  X = ( x_a\t= -1, x_b\t= -2147483648 );"}, 0},
      // netmon.h: a record that cannot stay takes the constant of its size with it.
      {Mode::Ready,
       "#define RSZ (FIELD_OFFSET(A,b) + sizeof(C))\ntypedef struct _NI { BYTE R[RSZ]; } NI;\n"
       "#define NI_SIZE sizeof(NI)\n",
       {"// Error :  #define RSZ ( FIELD_OFFSET ( A , b ) + sizeof ( C ) )", "type",
        "  p_NI = Pointer;", "// Error : NI = record", "// Error : R\t: array[0..RSZ-1] of BYTE;",
        "// Error : end;", "// Error : _NI\t= NI;", "// Error : NI_SIZE\t= sizeof(NI);"},
       6},
      // netmon.h's ADDRESSINFOTABLE: an array of no elements has no Pascal form.
      {Mode::Ready, "typedef struct _T { DWORD n; void *p[0]; } T;\n",
       {"type", "  p_T = Pointer;", "// Error : T = record", "// Error : n\t: DWORD;",
        "// Error : p\t: array[0..-1] of Pointer;", "// Error : end;", "// Error : _T\t= T;"},
       5},
      // A macro of the tables (MAKE_HRESULT in ADO's ErrorValueEnum): C's signed value.
      {Mode::Ready, "enum ErrorValueEnum { adErrX = MAKE_HR(1, 0xbb8) };\n",
       {"type", "  ErrorValueEnum = ( adErrX\t= -2147480648 );"}, 0},
      {Mode::Ready,
       "#define PLATFORM_FIELDS /* empty */\nstruct io_s {\n  int fd;\n  PLATFORM_FIELDS\n};\n",
       {"{$DEFINE PLATFORM_FIELDS}\t(* empty *)", "type", "  p_io_s = ^io_s;", "  io_s = record",
        "\tfd\t: Integer;", "  end;"},
       0},
      {Mode::Ready,
       "#define SPLAY(x) x = 1; \\\n/* note  \\\n * more  \\\n */     \\\nx = 2;\nint y;\n",
       {"// Error :  #define SPLAY ( x ) x = 1 ; (* note  \\  * more  \\  *) x = 2 ;", "var",
        "\ty\t: Integer;"},
       1},
      // After any other directive (mingw-w64's stdlib.h) such a comment stays a comment.
      {Mode::Ready, "#if defined(A)\n#endif /* defined(A) || \\\n    defined(B) */\n",
       {"{$IF Defined(A) }", "{$IFEND}(* defined(A) || \\", "    defined(B) *)"}, 0},
      {Mode::Ready,
       "#if INT_MIN == -32768 && INT_MAX == 32767\n#elif INT_MIN < - 2147483646\n#endif\n",
       {"{$IF (((0-2147483648) = (0-32768))) and ((2147483647 = 32767)) }",
        "{$ELSEIF (((0-2147483648) < (0-2147483646))) }", "{$IFEND}"},
       0},
  };
  RunCases(std::begin(cases), std::end(cases));
  // Unix target: a macro that became a type is asked for as a declared name (libcurl's
  // «#if defined(CURL_TYPEOF_CURL_OFF_T)»); an include for Windows is no unit of the target.
  Fixture fx;
  testing::LoadTables(fx.Defs, "[predefined]\n_WIN32,MSWINDOWS\n[target]\n!MSWINDOWS\n", kTyp);
  fx.Options.CompileReady = true;
  fx.Options.Platform = Target::Unix;
  const V body = fx.Body(
      "#define T_OFF long\n#if defined(T_OFF)\ntypedef T_OFF off_t2;\n#endif\n#ifdef T_OFF\n#endif\n"
      "#if defined(_WIN32)\n#include \"win.h\"\n#endif\n");
  for (const std::string& want :
       {"{$IF Declared(T_OFF) }", "// #include \"win.h\""})
    EXPECT_EQ(std::count(body.begin(), body.end(), want), want[0] == '{' ? 2 : 1) << want;
}

}  // namespace
}  // namespace tqc
