// The IDL pre-conversion: IDL lines in, header lines out.
#include <gtest/gtest.h>

#include "engine/rules.h"
#include "test_support.h"

namespace tqc {
namespace {

using V = std::vector<std::string>;
using testing::Fixture;

class StatusHost : public ConversionHost {
 public:
  std::optional<std::string> AskDllName(std::string_view) override { return std::nullopt; }
  void ShowStatus(std::string_view text) override { Statuses.emplace_back(text); }
  void ProcessPendingEvents() override { ++Events; }
  V Statuses;
  int Events = 0;
};

V Idl(const V& lines) {
  StatusHost host;
  return ConvertIdl(lines, host);
}

TEST(IdlTest, SmallInterface) {
  const V in = {
      "[",
      "  object, uuid(00000000-0000-0000-0000-000000000001),",
      "]",
      "interface IFoo : IUnknown",
      "{",
      "  HRESULT Get([out] long *v);",
      "  const char c = 'A';",
      "};",
  };
  EXPECT_EQ(Idl(in), (V{"class IFoo : public IUnknown", "{",
                        "HRESULT STDMETHODCALLTYPE Get( long *v);", "const char c = 0x41;", "};"}));
}

TEST(IdlTest, Lines) {
  struct Case {
    const char* Name;
    V In, Out;
  };
  const Case cases[] = {
      {"empty file", {}, {}},
      {"empty line stays, a line of blanks goes", {"", "   "}, {""}},
      {"comment lines are dropped", {"// c", "   /* c */", "/"}, {}},
      // Read as IDL, the later lines of a block comment would become declarations.
      {"a block comment that opens a line is dropped whole",
       {"/* note", " * interface X;", " end */ interface IFoo;", "/* a */ /* b", "*/"},
       {"typedef interface IFoo IFoo;"}},
      {"a tab is no blank for the comment test", {"\t// c"}, {"\t// c"}},
      {"attribute over several lines, closing line dropped",
       {"[", "  object,", "  uuid(1234)", "]", "interface IFoo;"},
       {"typedef interface IFoo IFoo;"}},
      {"text after a closing attribute line stays", {"[", " local", "] long x;"}, {" long x;"}},
      {"leading attribute keeps the blank after it", {"[in] long x"}, {" long x"}},
      {"several leading attributes", {"[a][b]long x;"}, {"long x;"}},
      {"blanks after an attribute are not skipped, so no method form",
       {"[local] HRESULT Foo(void);"},
       {" HRESULT Foo(void);"}},
      {"attributes inside a line",
       {"void f([in] long x, [out] long *y);"},
       {"void f( long x,  long *y);"}},
      // Without its "]" on the line a bracket cannot be told from an array: it is copied.
      {"bracket open at the end of a line",
       {"void f([in,", "  out] long x);"},
       {"void f([in,", "out] long x);"}},
      {"a chain of brackets ending in a word is attributes", {"long a[1][2] x;"}, {"long a x;"}},
      {"unterminated attribute drops to its end", {"[a", "b", "c] d"}, {" d"}},
      {"array brackets are kept",
       {"long a[10];", "long a[2][3];", "long b [4] ;"},
       {"long a[10];", "long a[2][3];", "long b [4] ;"}},
      {"a bracket pair not followed by ';' is an attribute",
       {"long a[10]", "long c[1] x;"},
       {"long a", "long c x;"}},
      {"a '[' without ']' is copied", {"long a[10"}, {"long a[10"}},
      {"cpp_quote", {"cpp_quote(\"#define X 1\")"}, {"#define X 1"}},
      {"cpp_quote escapes", {"  cpp_quote(\"a \\\"q\\\" b\\\\c\")"}, {"a \"q\" b\\c"}},
      {"cpp_quote without text", {"cpp_quote(x)", "cpp_quote(\"\")"}, {""}},
      {"cpp_quote unterminated", {"cpp_quote(\"abc"}, {"abc"}},
      {"cpp_quote after an attribute", {"[x]cpp_quote(\"y\")"}, {"y"}},
      {"import",
       {"import \"oaidl.idl\";", "  import \"ocidl.idl\";"},
       {"#include \"oaidl.h\"", "#include \"ocidl.h\""}},
      {"import without a quote", {"import oaidl;"}, {}},
      {"import needs its blank", {"imports \"x.idl\";"}, {"imports \"x.idl\";"}},
      {"interface forward declaration",
       {"interface IFoo;", "interface  IBar  ;"},
       {"typedef interface IFoo IFoo;", "typedef interface IBar IBar;"}},
      {"interface head",
       {"interface IFoo : IUnknown", "interface IBar:IFoo {"},
       {"class IFoo : public IUnknown", "class IBar : public IFoo {"}},
      {"interface with its brace", {"interface IFoo {"}, {"IFoo{"}},
      {"interface name alone", {"interface IFoo"}, {"IFoo"}},
      {"method with its parameters",
       {"    HRESULT Bar (int a);"},
       {"HRESULT STDMETHODCALLTYPE Bar(int a);"}},
      {"parameters on the next line",
       {"HRESULT Foo", "(long x);"},
       {"HRESULT STDMETHODCALLTYPE Foo", "(long x);"}},
      {"parameters on the next line after blanks",
       {"  HRESULT Foo  ", "   (long x);"},
       {"HRESULT STDMETHODCALLTYPE Foo", "(long x);"}},
      {"next line does not open the parameters",
       {"HRESULT Foo", "long x;"},
       {"HRESULT Foo ", "long x;"}},
      {"HRESULT Foo on the last line", {"HRESULT Foo"}, {"HRESULT Foo "}},
      {"HRESULT followed by another word", {"HRESULT Foo x"}, {"HRESULT Foo x"}},
      {"tab-indented method keeps its text",
       {"\tHRESULT Get([out] long *v);"},
       {"\tHRESULT Get( long *v);"}},
      {"character literals after '='",
       {"const char c = 'A';", "x = ' ', 'b';", "c = ''';"},
       {"const char c = 0x41;", "x = 0x20, 'b';", "c = 0x27;"}},
      {"character literals before any '=' stay", {"f('A') = 'B';"}, {"f('A') = 0x42;"}},
      {"a high character", {"c = '\xE9';"}, {"c = 0xE9;"}},
      {"escapes are no one-character literal", {"c = '\\n';"}, {"c = '\\n';"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Idl(c.In), c.Out) << c.Name;
}

TEST(IdlTest, ProgressIsCountedBeforeTheLine) {
  StatusHost host;
  ConvertIdl({"a", "", "// c", "b"}, host);
  EXPECT_EQ(host.Statuses,
            (V{" Converting (idl -> h) ... (0%)", " Converting (idl -> h) ... (25%)",
               " Converting (idl -> h) ... (50%)", " Converting (idl -> h) ... (75%)"}));
  EXPECT_EQ(host.Events, 4);
}

// The driver pre-converts files whose extension is ".idl" in any letter case.
TEST(IdlTest, DriverConvertsIdlFilesOnly) {
  const std::string text = "cpp_quote(\"#pragma pack(1)\")\n";
  for (const char* name : {"Foo.IDL", "foo.idl", "/a/b.c/Foo.Idl"}) {
    Fixture fx;
    EXPECT_EQ(fx.Body(text, name), (V{"{$A1}"})) << name;
  }
  for (const char* name : {"foo.h", "foo.idl.h", "foo.idlx"}) {
    Fixture fx;
    EXPECT_NE(fx.Body(text, name), (V{"{$A1}"})) << name;
  }
}

}  // namespace
}  // namespace tqc
