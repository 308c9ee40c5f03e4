// The shipped tqc.dat, tqc.typ and tqc.def: consistency checks that catch entries which can
// never take effect or which break the rules that read the tokens, and the token spellings
// the rules depend on.
#include <gtest/gtest.h>

#include <set>

#include "engine/dispatch.h"
#include "tables/replacements.h"
#include "test_support.h"

namespace tqc {
namespace {

using V = std::vector<std::string>;
using testing::Fixture;

class ShippedTablesTest : public ::testing::Test {
 protected:
  void SetUp() override { LoadDefinitions(fx.Defs, TQC_DATA_DIR); }
  V Tokens(const std::string& line) {
    return testing::Tokens(fx.Context(), std::vector<std::string>{line});
  }
  Fixture fx;
};

TEST_F(ShippedTablesTest, EveryTableIsFilled) {
  const DefinitionTables& d = fx.Defs;
  for (const TStringList2* t :
       {&d.StdcallWords, &d.CdeclWords, &d.PascalWords, &d.RegisterWords, &d.ExportWords,
        &d.SkipWords, &d.DefineNames, &d.TypeNames, &d.PointeeTypes, &d.InterfaceNames,
        &d.ClassNames, &d.ConstNames, &d.ConstTypeNames, &d.BaseReplacementNames})
    EXPECT_FALSE(t->Empty());
}

TEST_F(ShippedTablesTest, NoDeadOrDuplicateEntries) {
  const DefinitionTables& d = fx.Defs;
  auto unique = [](const TStringList2& t, const char* name) {
    std::set<std::string> seen;
    for (const auto& e : t.Entries()) {
      EXPECT_TRUE(seen.insert(e.Text).second) << name << " repeats " << e.Text;
      EXPECT_FALSE(e.Text.empty()) << name;
      EXPECT_EQ(e.Text.find_first_of(" \t"), std::string::npos) << name << ": '" << e.Text << "'";
    }
  };
  unique(d.SkipWords, "[skip]");
  unique(d.DefineNames, "[define]");
  unique(d.TypeNames, "[TYPE]");
  unique(d.InterfaceNames, "[INTERFACE]");
  unique(d.ClassNames, "[CLASS]");
  unique(d.ConstNames, "[CONST]");
  unique(d.ConstTypeNames, "[CONST TYPE]");
  unique(d.BaseReplacementNames, "tqc.def");

  // A word belongs to one convention table at most, and a dropped word to none.
  std::set<std::string> conventions;
  for (const TStringList2* t :
       {&d.StdcallWords, &d.CdeclWords, &d.PascalWords, &d.RegisterWords, &d.ExportWords}) {
    for (const auto& e : t->Entries()) {
      EXPECT_TRUE(conventions.insert(e.Text).second) << "convention word twice: " << e.Text;
      EXPECT_FALSE(d.SkipWords.Contains(e.Text)) << e.Text;
      EXPECT_FALSE(d.TypeNames.Contains(e.Text)) << e.Text;
      EXPECT_EQ(e.Text.find_first_of(" \t"), std::string::npos) << "'" << e.Text << "'";
    }
  }
  // Words that are dropped or replaced first never reach the later tables.
  for (const auto& e : d.SkipWords.Entries()) {
    EXPECT_FALSE(d.TypeNames.Contains(e.Text)) << e.Text;
    EXPECT_FALSE(d.ConstTypeNames.Contains(e.Text)) << e.Text;
    EXPECT_FALSE(d.DefineNames.Contains(e.Text)) << e.Text;
  }
  for (const auto& e : d.ConstTypeNames.Entries())
    EXPECT_FALSE(d.TypeNames.Contains(e.Text)) << e.Text;
  // A mapped name is final: mapping its Pascal name again would change nothing.
  for (int i = 0; i < d.TypeValues.Count(); ++i) {
    const int j = d.TypeNames.FindExact(d.TypeValues.Text(i));
    if (j >= 0) {
      EXPECT_EQ(d.TypeValues.Text(j), d.TypeValues.Text(i)) << d.TypeNames.Text(i);
    }
  }
  // Pointer names are looked up as they stand in the output, after the type mapping.
  for (const auto& e : d.PointerTypes.Entries())
    EXPECT_FALSE(d.TypeNames.Contains(e.Text)) << "pointer name is mapped away: " << e.Text;
}

TEST_F(ShippedTablesTest, InterfacePointersCarryTheInterfaceCategory) {
  const DefinitionTables& d = fx.Defs;
  for (int i = 0; i < d.PointeeTypes.Count(); ++i) {
    const std::string& pointee = d.PointeeTypes.Text(i);
    const bool isInterface = d.InterfaceNames.Contains(pointee) || d.ClassNames.Contains(pointee);
    EXPECT_EQ(d.PointeeTypes.Tag(i), isInterface ? 1 : 0) << pointee << "," << d.PointerTypes[i];
  }
}

TEST_F(ShippedTablesTest, WordsTheRulesReadAreNeitherDroppedNorRenamed) {
  const DefinitionTables& d = fx.Defs;
  for (const char* w : {"THIS",
                        "THIS_",
                        "__declspec",
                        "dllexport",
                        "extern",
                        "static",
                        "const",
                        "struct",
                        "union",
                        "enum",
                        "typedef",
                        "interface",
                        "class",
                        "virtual",
                        "public",
                        "private",
                        "protected",
                        "unsigned",
                        "void",
                        "CALLBACK",
                        "STDMETHOD",
                        "STDMETHOD_",
                        "STDMETHODIMP",
                        "STDMETHODIMP_",
                        "DECLARE_INTERFACE_",
                        "MIDL_INTERFACE",
                        "DECLSPEC_UUID",
                        "DEFINE_GUID",
                        "EXTERN_GUID",
                        "MAKE_HRESULT",
                        "MAKE_SCODE",
                        "MAKEFOURCC",
                        "sizeof",
                        "defined",
                        "!defined",
                        "&&",
                        "||",
                        "!",
                        "<>",
                        "<<",
                        ">>"}) {
    EXPECT_FALSE(d.SkipWords.Contains(w)) << w;
    EXPECT_FALSE(d.DefineNames.Contains(w)) << w;
    EXPECT_FALSE(d.TypeNames.Contains(w)) << w;
    EXPECT_FALSE(d.ConstTypeNames.Contains(w)) << w;
  }
}

TEST_F(ShippedTablesTest, EveryRecordExpandsForACallOfItsShape) {
  const DefinitionTables& d = fx.Defs;
  for (int i = 0; i < d.ReplacementNames.Count(); ++i) {
    const int n = d.ReplacementNames.Tag(i);
    TStringList2 call;
    call.Add(d.ReplacementNames.Text(i));
    call.Add("(");
    for (int a = 1; a <= n; ++a) {
      if (a > 1) call.Add(",");
      call.Add("A" + std::to_string(a));
    }
    call.Add(")");
    call.Add(";");
    const Expansion e =
        ExpandReplacement(d.ReplacementTemplates.Text(i), d.ReplacementPointers.Text(i), n, call);
    EXPECT_FALSE(e.Failed()) << d.ReplacementNames.Text(i);
    EXPECT_FALSE(e.Text.empty()) << d.ReplacementNames.Text(i);
  }
}

TEST_F(ShippedTablesTest, TokenSpellings) {
  struct Case {
    const char* Line;
    V Tokens;
  };
  const Case cases[] = {
      {"unsigned long x;", {"ULONG", "x", ";"}},
      {"long int n;", {"LongInt", "n", ";"}},
      {"long double d;", {"Extended", "d", ";"}},
      {"unsigned __LONG32 u;", {"ULONG", "u", ";"}},
      {"__LONG32 l;", {"LongInt", "l", ";"}},
      {"unsigned __int64 q;", {"Int64", "q", ";"}},
      {"typedef CONST WCHAR *LPCWCH;", {"typedef", "WideChar", "*LPCWCH", ";"}},
      {"#if WINVER == 0x0400", {"#if", "WINVER", "=", "0x0400"}},
      {"#if defined(A) && !defined(B) || C",
       {"#if", "defined", "(", "A", ")", "&&", "!defined", "(", "B", ")", "||", "C"}},
      {"WINBASEAPI BOOL WINAPI CloseHandle(HANDLE hObject);",
       {"BOOL", "WINAPI", "CloseHandle", "(", "THandle", "hObject", ")", ";"}},
      {"void * WINAPI Alloc(SIZE_T n);",
       {"void", "WINAPI", "*Alloc", "(", "NativeUInt", "n", ")", ";"}},
      {"VOID NTAPI Foo(IN PVOID p, OUT LPDWORD OPTIONAL pn);",
       {"void", "NTAPI", "Foo", "(", "Pointer", "p", ",", "LPDWORD", "pn", ")", ";"}},
      {"HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, _COM_Outptr_ void **ppv);",
       {"HRESULT", "STDMETHODCALLTYPE", "QueryInterface", "(", "const", "TIID", "riid", ",", "void",
        "**", "ppv", ")", ";"}},
      {"EXTERN_C const IID IID_IFoo;", {"const", "TIID", "IID_IFoo", ";"}},
      {"CONST_VTBL struct IFooVtbl *lpVtbl;", {"struct", "IFooVtbl", "*lpVtbl", ";"}},
      {"END_INTERFACE } IFooVtbl;", {"}", "IFooVtbl", ";"}},
      {"__C89_NAMELESS union {", {"union", "{"}},
      {"interface DECLSPEC_UUID(\"x\") DECLSPEC_NOVTABLE IFoo : public IUnknown",
       {"interface", "DECLSPEC_UUID", "(", "'x'", ")", "IFoo", ":", "public", "IUnknown"}},
      // The cast stays for the define rule, which writes HRESULT($80004005): C's sign.
      {"#define E_X _HRESULT_TYPEDEF_(0x80004005L)",
       {"#define", "E_X", "_HRESULT_TYPEDEF_", "(", "0x80004005L", ")"}},
      {"#define NAME TEXT(\"abc\")", {"#define", "NAME", "(", "'abc'", ")"}},
      {"STDAPI DllCanUnloadNow(void);", {"HRESULT", "DllCanUnloadNow", "(", "void", ")", ";"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Tokens(c.Line), c.Tokens) << c.Line;
}

TEST_F(ShippedTablesTest, HandleRecordThroughAConversion) {
  EXPECT_EQ(fx.Body("DECLARE_HANDLE(HWIDGET);\nDECLARE_HANDLE(HGADGET);"),
            (V{"type", "  HWIDGET\t= THandle;", "  HGADGET\t= THandle;"}));
  EXPECT_EQ(fx.Result.ErrorCount, 0);

  ConversionContext& ctx = fx.Context();
  testing::Tokens(ctx, {"DECLARE_HANDLE(HWIDGET);"});
  TranslateStatement(ctx);
  const int i = ctx.PointeeTypes.FindExact("HWIDGET");
  ASSERT_GE(i, 0);
  EXPECT_EQ(ctx.PointerTypes.Text(i), "PHWIDGET");
  EXPECT_EQ(ctx.PointeeTypes.Tag(i), 1);
}

}  // namespace
}  // namespace tqc
