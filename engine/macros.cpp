// #define and #undef. Each #define becomes a constant, a type alias, a conditional symbol, a
// commented-out calling-convention alias, or an error line that still teaches the translator
// something (identity macros, function-like HRESULT macros). The shape rules are tried in a
// fixed order; a value that none of them claims goes to the constant-expression translator.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>

#include "compile_ready/declarations.h"
#include "compile_ready/enum_macros.h"
#include "compile_ready/field_macros.h"
#include "numbers.h"
#include "records.h"
#include "rules.h"
#include "type_mapping.h"

namespace tqc {

namespace {

// In macro shapes anything beginning with "/" or "(" counts as the trailing comment.
bool IsComment(const std::string& t) { return !t.empty() && (t[0] == '/' || t[0] == '('); }

bool IsFourCcMacro(const std::string& t) { return t == "MAKEFOURCC" || t == "mmioFOURCC"; }

RuleResult ErrorLine(Statement& st) {
  st.Outcome = 0;
  return RuleResult::Epilogue;
}

RuleResult BuiltLine(Statement& st, std::string text) {
  st.Built = std::move(text);
  st.Outcome = kWriteBuilt;
  return RuleResult::Epilogue;
}

// A name whose value resolves to an integer becomes known to later lines; duplicates are
// appended and the first entry keeps winning.
void RecordConstant(ConversionContext& ctx, const std::string& name, const std::string& value) {
  if (auto v = ResolveValue(ctx, value)) ctx.ConstNames.Add(name, *v);
}

// The conversion's word table that holds `word`, searched in the fixed order of the rules.
TStringList2* CallingConventionTable(ConversionContext& ctx, const std::string& word) {
  for (TStringList2* table :
       {&ctx.ExportWords, &ctx.StdcallWords, &ctx.PascalWords, &ctx.RegisterWords, &ctx.CdeclWords})
    if (table->Contains(word)) return table;
  return nullptr;
}

std::uint32_t Bits(int value) { return static_cast<std::uint32_t>(value); }

// Compiler-ready: the value (from token 2 on) names what no unit declares.
bool UnknownValue(ConversionContext& ctx) {
  if (!ctx.Ready.RefusesUnknownValues()) return false;
  // A brace, bracket or separator alone ("#define RpcEndExcept }") is no value.
  const std::string& v = ctx.Tok(2);
  if (v.empty() || std::string_view("{}[];,=").find(v.front()) != std::string_view::npos)
    return true;
  return HasUnknownName(ctx, 2);
}

// "#define NAME VALUE": an alias of a known interface is a type, anything else a constant.
std::string SimpleValueLine(ConversionContext& ctx, const std::string& name,
                            const std::string& valueToken) {
  std::string value;
  if (ctx.InterfaceNames.Contains(valueToken)) {
    SwitchSection(ctx, Section::Type);
    if (!ctx.InterfaceNames.Contains(name)) {
      ctx.NewInterfaceIdx.push_back(ctx.InterfaceNames.Count());
      ctx.InterfaceNames.Add(name);
    }
    value = valueToken;
  } else if (ctx.Ready.MacrosNamingTypesAreTypes() &&
             (IsKnownTypeName(ctx, valueToken) ||
              ctx.ReadyState.DeclaredTypes.contains(AsciiLowerCopy(valueToken)) ||
              ctx.ReadyState.TypeLineNames.contains(AsciiLowerCopy(valueToken)))) {
    // A macro that names a type is a type to the compiler, and to the lines after it.
    SwitchSection(ctx, Section::Type);
    LearnTypeName(ctx, name);
    value = valueToken;
  } else {
    SwitchSection(ctx, Section::Const);
    value = ConvertConstOperand(valueToken, ctx.Ready.TranslatesValueOperators());
  }
  RecordConstant(ctx, name, value);
  return "  " + DeclaredName(name) + "\t= " + value + ";";
}

// A value with a dot between names («#define V V_MAJOR.V_MINOR», a version pasted by the C
// preprocessor) would read as a unit and one of its names.
bool IsNoPascalValue(const std::string& v) {
  const std::size_t dot = v.find('.');
  return dot != std::string::npos && !v.empty() &&
         (std::isalpha(static_cast<unsigned char>(v[0])) || v[0] == '_');
}

// #define NAME sizeof ( T ) [comment]
RuleResult SizeConstant(ConversionContext& ctx, Statement& st) {
  SwitchSection(ctx, Section::Const);
  std::string line = "  " + DeclaredName(ctx.Tok(1)) + "\t= sizeof(" + ctx.Tok(4) + ");";
  if (ctx.TokCount() == 7) line += "\t" + ctx.Tok(6);
  return BuiltLine(st, line);
}

// #define NAME ( x ) x: the macro returns its argument, so the word is dropped from then on,
// in this conversion and the later ones of the run (the table is the program's own).
RuleResult IdentityMacro(ConversionContext& ctx, Statement& st) {
  // A macro the tables give a meaning (a cast, a wrapped return type) keeps it: the headers
  // define some of them as identities for other compilers («_HRESULT_TYPEDEF_(_sc) _sc»).
  const std::string& name = ctx.Tok(1);
  if (!ctx.Defs.CastNames.Contains(name) && !ctx.Defs.ResultNames.Contains(name))
    ctx.Defs.SkipWords.Add(name);
  return ErrorLine(st);
}

// #define NAME ( ( T ) V ): a Pascal type cast. A routine type takes no cast in a constant:
// «((dtor)0)» is nil, and any other value an untyped pointer (a typed constant).
RuleResult CastConstant(ConversionContext& ctx, Statement& st) {
  std::string type = ctx.Tok(4);
  if (ctx.RoutineTypes.contains(type)) {
    SwitchSection(ctx, Section::Const);
    const std::string name = DeclaredName(ctx.Tok(1));
    // «((dtor)-1)» comes as a sign and a number.
    const std::string v = ctx.Tok(6) == "-" ? "-" + ctx.Tok(7) : ctx.Tok(6);
    if (v == "0" || v == "NULL" || v == "nil") return BuiltLine(st, "  " + name + "\t= nil;");
    const std::string value = ConvertConstOperand(v, true);
    if (!ParseInteger(value)) return ErrorLine(st);
    return BuiltLine(st, "  " + name + "\t: Pointer\t= Pointer(" + value + ");");
  }
  if (ctx.Ready.RefusesUnknownValues()) {
    // A pointer cast names the Pascal pointer type ("(void *)0" is Pointer(0)).
    if (type.ends_with("*")) {
      type.pop_back();
      type = ctx.VoidNames.Contains(type) ? "Pointer" : PointerTypeOf(ctx, type);
    }
    if (ctx.VoidNames.Contains(type) || !IsKnownName(ctx, type) || HasUnknownName(ctx, 6))
      return ErrorLine(st);
    // C's multi-character constant («(DWORD)'0BGR'») has no Pascal spelling.
    if (const std::string& v = ctx.Tok(6); v.size() > 3 && v.front() == '\'' && v[1] != '\\')
      return ErrorLine(st);
  }
  SwitchSection(ctx, Section::Const);
  const std::string name = ctx.Tok(1);
  const std::string v = ConvertConstOperand(ctx.Tok(6), ctx.Ready.TranslatesValueOperators());
  RecordConstant(ctx, name, v);
  return BuiltLine(st, "  " + DeclaredName(name) + "\t= " + type + "(" + v + ");");
}

// #define NAME CAST ( V ) [comment], CAST a macro of [cast] («_HRESULT_TYPEDEF_(0x80004005L)»,
// the value maybe in more parentheses): the value cast to the macro's type keeps C's sign.
RuleResult CastMacroConstant(ConversionContext& ctx, Statement& st) {
  int last = ctx.TokCount() - 1;
  const bool comment = IsComment(ctx.Tok(last));
  if (comment) --last;
  int open = 3, close = last;
  while (open < close && ctx.Tok(open) == "(" && ctx.Tok(close) == ")") {
    ++open;
    --close;
  }
  if (open != close) return ErrorLine(st);
  const std::string value = ConvertConstOperand(ctx.Tok(open), true);
  if (!ParseInteger(value)) return ErrorLine(st);
  const int c = ctx.Defs.CastNames.FindExact(ctx.Tok(2));
  SwitchSection(ctx, Section::Const);
  const std::string& name = ctx.Tok(1);
  RecordConstant(ctx, name, value);
  std::string line =
      "  " + DeclaredName(name) + "\t= " + ctx.Defs.CastValues.Text(c) + "(" + value + ");";
  if (comment) line += "\t" + ctx.Tok(ctx.TokCount() - 1);
  return BuiltLine(st, line);
}

// #define NAME ( P ) MAKE_HRESULT ( S , F , ... ): learned so that "#define X NAME ( V )"
// translates later; the statement itself is shown as an error line.
RuleResult LearnHresultMacro(ConversionContext& ctx, Statement& st) {
  const int n = ctx.TokCount();
  auto is = [&](int i, const char* s) { return ctx.Tok(i) == s; };
  const std::string_view p = ctx.Tok(3);
  const bool head = is(2, "(") && is(4, ")") && is(6, "(");
  const bool commas = is(8, ",") && is(10, ",");
  constexpr int kNoShape = -2, kNoBase = -1;
  int base = kNoShape;
  if (n == 13) {
    if (head && is(12, ")") && ctx.Tok(11) == p) base = kNoBase;
  } else if (n == 17 && head && commas) {
    if (is(12, "+") && is(13, "(") && ctx.Tok(14) == p && is(15, ")"))
      base = 11;
    else if (is(11, "(") && ctx.Tok(12) == p && is(13, ")") && is(14, "+"))
      base = 15;
  } else if (n == 19 && head && commas) {
    if (is(11, "(") && is(13, "+") && is(14, "(") && ctx.Tok(15) == p && is(16, ")"))
      base = 12;
    else if (is(11, "(") && is(12, "(") && ctx.Tok(13) == p && is(14, ")") && is(15, "+"))
      base = 16;
  }
  if (base != kNoShape) {
    const std::string s = ConvertNumber(ctx.Tok(7));
    const std::string f = ConvertNumber(ctx.Tok(9));
    const std::string b = base >= 0 ? ConvertNumber(ctx.Tok(base)) : std::string();
    const auto sv = ResolveValue(ctx, s);
    const auto fv = ResolveValue(ctx, f);
    std::string value;
    if (sv && fv) {
      const std::uint32_t sum = (Bits(*sv) << 31) + (Bits(*fv) << 16);
      if (base < 0)
        value = "$" + Hex8(sum);
      else if (auto bv = ResolveValue(ctx, b))
        value = "$" + Hex8(sum + Bits(*bv));
      else
        value = "$" + Hex8(sum) + " + " + b;
    } else {
      value = "((" + s + ") shl 31) + ((" + f + ") shl 16)";
      if (base >= 0) value += " + " + b;
    }
    ctx.NewMakeIdx.push_back(ctx.MakeNames.Count());
    ctx.MakeNames.Add(ctx.Tok(1));
    ctx.MakeValues.Add(value);
  }
  return ErrorLine(st);
}

// #define NAME VALUE
RuleResult SimpleDefine(ConversionContext& ctx, Statement& st) {
  const std::string name = ctx.Tok(1);
  const std::string v = ctx.Tok(2);
  if (IsComment(v)) {
    if (!ctx.Defs.EmptyMacros.Contains(name)) ctx.Defs.EmptyMacros.Add(name);
    return BuiltLine(st, "{$DEFINE " + name + "}\t" + v);
  }
  if (TStringList2* table = CallingConventionTable(ctx, v)) {
    table->Add(name);  // later prototypes treat the alias like the word it stands for
    return BuiltLine(st, "// " + ctx.Tok(0) + " " + name + " " + v);
  }
  if (UnknownValue(ctx) || IsNoPascalValue(v)) return ErrorLine(st);
  return BuiltLine(st, SimpleValueLine(ctx, name, v));
}

// #define NAME VALUE comment
RuleResult SimpleDefineWithComment(ConversionContext& ctx, Statement& st) {
  const std::string name = ctx.Tok(1);
  const std::string v = ctx.Tok(2);
  const std::string comment = ctx.Tok(3);
  if (!IsComment(comment)) return ErrorLine(st);
  if (TStringList2* table = CallingConventionTable(ctx, v)) {
    table->Add(name);
    const char* prefix = table == &ctx.ExportWords ? " // " : "// ";
    return BuiltLine(st, prefix + ctx.Tok(0) + " " + name + " " + v);
  }
  if (UnknownValue(ctx) || IsNoPascalValue(v)) return ErrorLine(st);
  return BuiltLine(st, SimpleValueLine(ctx, name, v) + "\t" + comment);
}

// #define NAME T * [comment]: a pointer type written as a macro. A calling-convention word
// with a star («APIENTRYP APIENTRY *») is used as «( APIENTRYP name )» in routine types, where
// the word gives the convention and a routine type is a pointer already: the name is learned
// like the word. Any other type name makes the pointer type that «typedef T *NAME;» makes.
RuleResult PointerDefine(ConversionContext& ctx, Statement& st) {
  const std::string name = ctx.Tok(1);
  const std::string v = ctx.Tok(2);
  const std::string comment = ctx.TokCount() == 5 ? "\t" + ctx.Tok(4) : std::string();
  if (TStringList2* table = CallingConventionTable(ctx, v)) {
    table->Add(name);
    return BuiltLine(st, "// " + ctx.Tok(0) + " " + name + " " + v + " *");
  }
  if (!IsName(v)) return ErrorLine(st);
  SwitchSection(ctx, Section::Type);
  return BuiltLine(st, AliasLine(ctx, v, "*" + name, true) + comment);
}

// #define NAME MAC ( V ) with MAC a learned HRESULT macro.
// An HRESULT is signed: one with the severity bit set is negative, as C has it.
std::string HresultText(std::uint32_t value) {
  const std::string hex = "$" + Hex8(value);
  return value >= 0x80000000u ? "HRESULT(" + hex + ")" : hex;
}

RuleResult UseHresultMacro(ConversionContext& ctx, Statement& st) {
  SwitchSection(ctx, Section::Const);
  const std::string a = ConvertNumber(ctx.Tok(4));
  const std::string m = ctx.MakeValues.Text(ctx.MakeNames.FindExact(ctx.Tok(2)));
  const auto av = ParseInteger(a);
  const auto mv = ParseInteger(m);
  std::string line = "  " + DeclaredName(ctx.Tok(1));
  if (av && mv)
    line += "\t= " + HresultText(Bits(*mv) + Bits(*av)) + ";";
  else
    line += "\t= (" + m + " + " + a + ");";
  if (ctx.TokCount() == 7 && IsComment(ctx.Tok(6))) line += "\t" + ctx.Tok(6);
  return BuiltLine(st, line);
}

// #define NAME MAKE_HRESULT ( S , F , C ): folded when every argument resolves, otherwise
// written as shifts. A zero argument is left out of the text.
RuleResult HresultArithmetic(ConversionContext& ctx, Statement& st) {
  SwitchSection(ctx, Section::Const);
  const int n = ctx.TokCount();
  std::string line = "  " + DeclaredName(ctx.Tok(1)) + "\t= ";
  int k = 0;
  std::string a, x;
  bool numeric = true;
  bool folded = false;
  std::uint32_t sum = 0;
  int close = -1;
  auto isZero = [](const std::string& s) { return s == "0" || s == "$0"; };
  for (int i = 4; i < n; ++i) {
    const std::string_view t = ctx.Tok(i);
    if (t == ",") {
      if (a.empty()) continue;
      if (!isZero(a)) {
        if (numeric) {
          if (auto v = ResolveValue(ctx, a))
            sum = k == 0 ? Bits(*v) << 31 : sum + (Bits(*v) << 16);
          else
            numeric = false;
        }
        if (!x.empty()) x += " + ";
        x += "((" + a + ") shl " + (k == 0 ? "31)" : "16)");
      }
      if (k > 1) break;
      ++k;
      a.clear();
    } else if (t == ")") {
      if (!a.empty() && !isZero(a)) x = x.empty() ? a + ");" : x + " + " + a + ");";
      if (numeric) {
        if (auto v = ResolveValue(ctx, a)) {
          sum += Bits(*v);
          x = HresultText(sum) + ";";
          folded = true;
        } else {
          numeric = false;
        }
      }
      ++k;
      close = i;
      break;
    } else {
      a += ConvertNumber(t);
    }
  }
  if (k != 3) return ErrorLine(st);
  if (x.empty()) {
    line += "0;";
  } else if (folded) {
    line += x;
  } else {
    // An unfolded third argument that happens to start with "$" still needs its brackets.
    line += "(" + x;
    if (!x.ends_with(");")) line += ");";
  }
  if (close == n - 2 && IsComment(ctx.Tok(n - 1))) line += "\t" + ctx.Tok(n - 1);
  return BuiltLine(st, line);
}

// #define NAME MAKEFOURCC ( 'a' , 'b' , 'c' , 'd' ), arguments from token `first` on.
// `commentAt` is the token copied as the trailing comment, or -1 to show the four characters.
RuleResult FourCharacterCode(ConversionContext& ctx, Statement& st, int first, int commentAt) {
  std::string chars;
  for (int j = 0; j < 4; ++j) {
    const std::string_view arg = ctx.Tok(first + 2 * j);
    // A lone quote has no character inside it.
    if (arg.size() < 2 || arg[0] != '\'') return ErrorLine(st);
    chars += arg[1];
  }
  SwitchSection(ctx, Section::Const);
  std::uint32_t value = 0;
  for (int j = 3; j >= 0; --j)
    value = (value << 8) | static_cast<unsigned char>(chars[static_cast<std::size_t>(j)]);
  std::string line = "  " + DeclaredName(ctx.Tok(1)) + "\t= $" + Hex8(value) + ";";
  if (commentAt >= 0)
    line += "\t" + ctx.Tok(commentAt);
  else
    line += "\t// '" + chars + "'";
  return BuiltLine(st, line);
}

}  // namespace

RuleResult TranslateUndef(ConversionContext& ctx, Statement& st) {
  if (ctx.TokCount() == 0 || !ctx.TokenList.Is(0, "#undef")) return RuleResult::Declined;
  if (ctx.TokCount() != 2) return ErrorLine(st);
  ForgetFunctionMacro(ctx, ctx.Tok(1));
  return BuiltLine(st, "{$UNDEF " + ctx.Tok(1) + "}");
}

namespace {

RuleResult TranslateDefineShape(ConversionContext& ctx, Statement& st) {
  const int n = ctx.TokCount();
  auto is = [&](int i, const char* s) { return ctx.Tok(i) == s; };

  if (n == 1) return ErrorLine(st);
  if (n >= 6 && ctx.Defs.CastNames.Contains(ctx.Tok(2)) && is(3, "("))
    return CastMacroConstant(ctx, st);
  if ((n == 6 || n == 7) && is(2, "sizeof") && is(3, "(") && is(5, ")"))
    return SizeConstant(ctx, st);
  if (n == 6 && is(2, "(") && is(4, ")") && ctx.Tok(3) == ctx.Tok(5)) return IdentityMacro(ctx, st);
  // «#define z_const const»: a qualifier under another name is dropped like the qualifier.
  if ((n == 3 || (n == 4 && IsComment(ctx.Tok(3)))) && (is(2, "const") || is(2, "volatile"))) {
    ctx.Defs.SkipWords.Add(ctx.Tok(1));
    st.Outcome = kWriteComment;
    return RuleResult::Epilogue;
  }
  if (n == 8 && is(2, "(") && is(3, "(") && is(5, ")") && is(7, ")")) return CastConstant(ctx, st);
  if (n == 9 && is(2, "(") && is(3, "(") && is(5, ")") && is(6, "-") && is(8, ")") &&
      ctx.RoutineTypes.contains(ctx.Tok(4)))
    return CastConstant(ctx, st);
  if (n > 12 && is(5, "MAKE_HRESULT")) return LearnHresultMacro(ctx, st);
  if (is(1, "INTERFACE")) {
    st.Outcome = kWriteComment;
    return RuleResult::Epilogue;
  }
  // A macro with parameters is no constant and no type, whatever its body looks like.
  if (ctx.FunctionLikeDefine) return ErrorLine(st);
  if (n == 2) {
    if (!ctx.Defs.EmptyMacros.Contains(ctx.Tok(1))) ctx.Defs.EmptyMacros.Add(ctx.Tok(1));
    return BuiltLine(st, "{$DEFINE " + ctx.Tok(1) + "}");
  }
  if (n == 3) return SimpleDefine(ctx, st);
  if ((n == 4 || (n == 5 && IsComment(ctx.Tok(4)))) && is(3, "*")) return PointerDefine(ctx, st);
  if (n == 4) return SimpleDefineWithComment(ctx, st);
  if (n > 5 && ctx.MakeNames.Contains(ctx.Tok(2)) && is(3, "(") && is(5, ")"))
    return UseHresultMacro(ctx, st);
  if (n > 9 && (is(2, "MAKE_HRESULT") || is(2, "MAKE_SCODE")) && is(3, "("))
    return HresultArithmetic(ctx, st);
  if (n >= 12 && IsFourCcMacro(ctx.Tok(2))) return FourCharacterCode(ctx, st, 4, n == 13 ? 12 : -1);
  if (n > 13 && is(2, "(") && IsFourCcMacro(ctx.Tok(3)))
    return FourCharacterCode(ctx, st, 5, n == 15 ? 14 : -1);
  TranslateConstExpression(ctx, st);
  return RuleResult::Epilogue;
}

}  // namespace

RuleResult TranslateDefine(ConversionContext& ctx, Statement& st) {
  if (ctx.TokCount() == 0 || !ctx.TokenList.Is(0, "#define")) return RuleResult::Declined;
  // Compiler-ready: a macro whose name the tables replace or drop (a type, a decoration
  // word) would declare that word again; it stays a comment.
  if (ctx.Ready.KeepsMacrosOutOfDeclarations() && !ctx.DefineName.empty() &&
      (ctx.TokCount() < 2 || ctx.Tok(1) != ctx.DefineName)) {
    st.Outcome = kWriteComment;
    return RuleResult::Epilogue;
  }
  if (ctx.FunctionLikeDefine) LearnFunctionMacro(ctx);
  // A constant inside a record's fields or an enumeration's members («enum E { E_A = 0,
  // #define E_A E_A ...») would end them; it stays a comment there.
  if (ctx.OpenStructLine != -1 || ctx.OpenUnionLine != -1 || ctx.OpenEnumLine != -1) {
    st.Outcome = kWriteComment;
    return RuleResult::Epilogue;
  }
  if (ctx.Ready.ExpandsFieldMacros()) LearnFieldMacro(ctx);
  const RuleResult r = TranslateDefineShape(ctx, st);
  if (ctx.UnixTarget() && r == RuleResult::Epilogue && st.Outcome == kWriteBuilt &&
      ctx.TokCount() > 2 && !StartsWith(st.Built, "//") && !StartsWith(st.Built, "{") &&
      st.Built.find('=') != std::string::npos)
    ctx.ReadyState.DeclaredMacros.insert(ctx.Tok(1));
  // Compiler-ready: a macro defined again (after #undef, or in another conditional) keeps
  // the first declaration; the later one stays visible as a comment.
  if (ctx.Ready.DeclaresOnce() && r == RuleResult::Epilogue && st.Outcome == kWriteBuilt &&
      StartsWith(st.Built, "  ")) {
    const std::size_t tab = st.Built.find('\t');
    if (tab != std::string::npos &&
        !FirstDeclaration(ctx, std::string_view(st.Built).substr(2, tab - 2)))
      st.Built.insert(0, "// ");
  }
  return r;
}

}  // namespace tqc
