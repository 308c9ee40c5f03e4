// Type name mapping: the token layer (merges, dropped words, pending stars, table spellings)
// and the declaration-layer rules (pointer and parameter types, stars, array bounds, section
// headers).
#include "engine/type_mapping.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace tqc {
namespace {

using V = std::vector<std::string>;
using testing::Fixture;
using testing::LoadTables;
using testing::Tokens;

const char* const kDat =
    "[stdcall]\nWINAPI\n__stdcall\n[cdecl]\n__cdecl\n[pascal]\nPASCAL\n[export]\n_export\n"
    "[register]\n__fastcall\n[skip]\n__RPC_FAR\nextern\n"
    "[define]\nCONST,const\nINT,int\nPTR,*\n";
const char* const kTyp =
    "[TYPE]\nint,Integer\nlong,LongInt\nchar,AnsiChar\ndouble,Double\n*argv,PPAnsiChar\n"
    "[POINTER]\nDWORD,PDWORD\nchar,PChar\nUINT,PUINT\nWCHAR,PWCHAR\nvoid,Pointer\n"
    "Integer,PInteger\nIUnknown,PUnknown,i\n"
    "[CONST TYPE]\nLPCSTR,PAnsiChar\n";

class TypeMappingTest : public ::testing::Test {
 protected:
  void SetUp() override { LoadTables(fx.Defs, kDat, kTyp); }
  Fixture fx;
};

struct TokenCase {
  const char* Input;
  V Expected;
};

TEST_F(TypeMappingTest, TokenLayer) {
  const TokenCase cases[] = {
      // The merges with the last token.
      {"unsigned int x ;", {"UINT", "x", ";"}},
      {"unsigned short w ;", {"WORD", "w", ";"}},
      {"unsigned __int64 q ;", {"Int64", "q", ";"}},
      {"unsigned long n;", {"ULONG", "n", ";"}},
      {"unsigned char c;", {"UCHAR", "c", ";"}},
      {"UNSIGNED Int x;", {"UINT", "x", ";"}},
      {"unsigned v ;", {"UINT", "v", ";"}},
      {"unsigned x", {"UINT", "x"}},
      {"short int s ;", {"Smallint", "s", ";"}},
      {"SHORT s;", {"Smallint", "s", ";"}},
      {"long int n ;", {"LongInt", "n", ";"}},
      {"long double d ;", {"Extended", "d", ";"}},
      // The merges look only at the last token.
      {"unsigned short int u;", {"WORD", "Integer", "u", ";"}},
      {"unsigned long int u;", {"ULONG", "Integer", "u", ";"}},
      // A [define] spelling applies before the merges and before the typedef-const rule.
      {"unsigned INT x;", {"UINT", "x", ";"}},
      {"long INT n;", {"LongInt", "n", ";"}},
      {"typedef CONST FOO BAR ;", {"typedef", "FOO", "BAR", ";"}},
      {"typedef const FOO BAR ;", {"typedef", "FOO", "BAR", ";"}},
      {"const int x;", {"const", "Integer", "x", ";"}},
      // Dropped words.
      {"signed char c ;", {"AnsiChar", "c", ";"}},
      {"far x; SIGNED y; FAR z;", {"x", ";", "y", ";", "z", ";"}},
      {"extern int x;", {"Integer", "x", ";"}},
      // Pending stars.
      {"char FAR * p ;", {"AnsiChar", "*p", ";"}},
      {"char * __RPC_FAR p;", {"AnsiChar", "*p", ";"}},
      {"void * WINAPI f(void);", {"void", "WINAPI", "*f", "(", "void", ")", ";"}},
      {"void * __cdecl g", {"void", "__cdecl", "*g"}},
      {"PFOO PTR p;", {"PFOO", "*p", ";"}},
      // Table spellings; a starred word is looked up with its star.
      {"LPCSTR s;", {"const", "PAnsiChar", "s", ";"}},
      {"char *argv;", {"AnsiChar", "PPAnsiChar", ";"}},
      {"# define X 1", {"#define", "X", "1"}},
  };
  for (const auto& c : cases) {
    auto& ctx = fx.Context();
    EXPECT_EQ(Tokens(ctx, {c.Input}), c.Expected) << "input: " << c.Input;
  }
}

TEST_F(TypeMappingTest, NameAfterFunctionTypeLosesItsStarOutsideTypedef) {
  const TokenCase cases[] = {
      {"PFNFOO *pp;", {"PFNFOO", "pp", ";"}},
      {"typedef PFNFOO *PPFN;", {"typedef", "PFNFOO", "*PPFN", ";"}},
      // Only right after the function type: another word in between ends the effect.
      {"PFNFOO x, *pp;", {"PFNFOO", "x", ",", "*pp", ";"}},
      // A star spelled as a word after a function type is dropped inside a typedef.
      {"typedef PFNFOO PTR PPFN;", {"typedef", "PFNFOO", "PPFN", ";"}},
  };
  for (const auto& c : cases) {
    auto& ctx = fx.Context();
    ctx.FuncNames.Add("PFNFOO");
    EXPECT_EQ(Tokens(ctx, {c.Input}), c.Expected) << "input: " << c.Input;
  }
}

TEST_F(TypeMappingTest, SkipWordLeavesFunctionTypeFlagAsItWas) {
  auto& ctx = fx.Context();
  ctx.FuncNames.Add("PFNFOO");
  EXPECT_EQ(Tokens(ctx, {"PFNFOO __RPC_FAR *pp;"}), (V{"PFNFOO", "pp", ";"}));
}

TEST_F(TypeMappingTest, PointerTypeOf) {
  auto& ctx = fx.Context();
  EXPECT_EQ(PointerTypeOf(ctx, "DWORD"), "PDWORD");
  EXPECT_EQ(PointerTypeOf(ctx, "FOO"), "p_FOO");
}

struct ParamCase {
  int Mask;
  const char* Type;
  ParamType Expected;
};

TEST_F(TypeMappingTest, PointerParamType) {
  const ParamCase cases[] = {
      {0, "FOO", {"FOO", true}},
      {0, "DWORD", {"DWORD", true}},
      {0, "char", {"PChar", false}},
      {0, "UINT", {"PUINT", false}},
      {0, "IUnknown", {"IUnknown", true}},
      {1, "DWORD", {"PDWORD", false}},
      {1, "IUnknown", {"IUnknown", true}},
      {2, "DWORD", {"DWORD", true}},
      {2, "IUnknown", {"PUnknown", false}},
      {3, "FOO", {"FOO", true}},
  };
  for (const auto& c : cases) {
    fx.Options.PointerModeMask = c.Mask;
    auto& ctx = fx.Context();
    EXPECT_EQ(PointerParamType(ctx, c.Type), c.Expected) << c.Mask << " " << c.Type;
  }
}

TEST_F(TypeMappingTest, ValueParamType) {
  const ParamCase cases[] = {
      {0, "PDWORD", {"PDWORD", false}},   {1, "PDWORD", {"DWORD", true}},
      {1, "PChar", {"PChar", false}},     {1, "PWCHAR", {"PWCHAR", false}},
      {1, "Pointer", {"Pointer", false}}, {1, "PUnknown", {"PUnknown", false}},
      {1, "FOO", {"FOO", false}},         {2, "PUnknown", {"IUnknown", true}},
      {2, "PDWORD", {"PDWORD", false}},
  };
  for (const auto& c : cases) {
    fx.Options.VarModeMask = c.Mask;
    auto& ctx = fx.Context();
    EXPECT_EQ(ValueParamType(ctx, c.Type), c.Expected) << c.Mask << " " << c.Type;
  }
}

TEST_F(TypeMappingTest, ResolveStars) {
  struct Case {
    const char* Spelling;
    bool AsPointer;
    bool ByRefIn;
    const char* Expected;
    bool ByRefOut;
  };
  const Case cases[] = {
      {"DWORD*", false, false, "DWORD", true},
      {"DWORD**", false, false, "PDWORD", true},
      {"DWORD***", false, false, "PDWORD*", true},
      {"void*", false, false, "Pointer", false},
      {"void**", false, false, "Pointer", true},
      {"void***", false, false, "Pointer*", true},
      {"DWORD*", true, false, "PDWORD", false},
      {"DWORD***", true, false, "PDWORD**", false},
      {"DWORD*", false, true, "PDWORD", true},
      {"void*", false, true, "Pointer", true},
      {"FOO*", false, false, "FOO", true},
      {"FOO**", false, false, "p_FOO", true},
      {"int*", false, false, "Integer", true},
      {"int**", false, false, "PInteger", true},
      {"DWORD[4]", false, false, "DWORD", true},
      {"DWORD*[4]", false, false, "PDWORD", true},
      // Nothing before the first star, or no star at all: unchanged, flag untouched.
      {"*p", false, false, "*p", false},
      {"*p", false, true, "*p", true},
      {"DWORD", false, false, "DWORD", false},
  };
  auto& ctx = fx.Context();
  for (const auto& c : cases) {
    bool byRef = c.ByRefIn;
    EXPECT_EQ(ResolveStars(ctx, c.Spelling, c.AsPointer, byRef), c.Expected) << c.Spelling;
    EXPECT_EQ(byRef, c.ByRefOut) << c.Spelling;
  }
}

TEST_F(TypeMappingTest, ArrayDims) {
  struct Case {
    const char* Declarator;
    const char* BoundsIn;
    const char* Name;
    const char* BoundsOut;
  };
  const Case cases[] = {
      {"buf[10]", "", "buf", "[0..9]"},
      {"m[2][3]", "", "m", "[0..1,0..2]"},
      {"s[MAX_PATH+1]", "", "s", "[0..MAX_PATH]"},
      {"s[MAX_PATH]", "", "s", "[0..MAX_PATH-1]"},
      {"v[]", "", "v", "[0..-1]"},
      {"a[N+1][2]", "", "a", "[0..N,0..1]"},
      {"z[ 10 ]", "", "z", "[0..9]"},
      {"w[N*2+1]", "", "w", "[0..N*2]"},
      {"x", "[0..3]", "x", "[0..3]"},
      {"y[4]", "[0..1]", "y", "[0..1,0..3]"},
  };
  auto& ctx = fx.Context();
  for (const auto& c : cases) {
    std::string bounds = c.BoundsIn;
    EXPECT_EQ(ArrayDims(ctx, c.Declarator, bounds), c.Name) << c.Declarator;
    EXPECT_EQ(bounds, c.BoundsOut) << c.Declarator;
  }
}

TEST_F(TypeMappingTest, ArrayDimsSkipsDoubleByteCharacters) {
  fx.Options.CodePage = 932;
  auto& ctx = fx.Context();
  std::string bounds;
  // 0x81 is a lead byte in code page 932; the "[" after it is its second byte.
  EXPECT_EQ(ArrayDims(ctx, "\x81[x[2]", bounds), "\x81[x");
  EXPECT_EQ(bounds, "[0..1]");
}

TEST_F(TypeMappingTest, SwitchSectionWritesHeaderOnlyOnChangeOrReopen) {
  auto& ctx = fx.Context();
  SwitchSection(ctx, Section::Type);
  SwitchSection(ctx, Section::Type);
  SwitchSection(ctx, Section::Const);
  ctx.SectionReopen = true;  // as after a routine declaration
  SwitchSection(ctx, Section::Const);
  SwitchSection(ctx, Section::Var);
  EXPECT_EQ(fx.Pane.Lines(), (V{"type", "const", "const", "var"}));
  EXPECT_FALSE(ctx.SectionReopen);
  EXPECT_EQ(ctx.CurrentSection, Section::Var);
  const std::vector<StyleRange> bold = {{0, 0, 4, TextStyle::Bold},
                                        {1, 0, 5, TextStyle::Bold},
                                        {2, 0, 5, TextStyle::Bold},
                                        {3, 0, 3, TextStyle::Bold}};
  EXPECT_EQ(fx.Pane.Ranges(), bold);
}

}  // namespace
}  // namespace tqc
