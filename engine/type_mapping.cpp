// Type name mapping: MapCTypeName (token layer) and the declaration-layer type rules.
#include "type_mapping.h"

#include <algorithm>
#include <iterator>

#include "numbers.h"
#include "tokenizer.h"

namespace tqc {

std::string PascalIdentifier(std::string_view name) {
  std::string out;
  for (char c : name) {
    const bool word =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    if (word)
      out += c;
    else if (!out.empty() && out.back() != '_')
      out += '_';
  }
  while (!out.empty() && out.back() == '_') out.pop_back();
  if (out.empty()) return "_";
  if (out.front() >= '0' && out.front() <= '9') out.insert(0, "_");
  return out;
}

std::string UnitNameOf(const DefinitionTables& defs, std::string_view stem) {
  std::string name = PascalIdentifier(stem);
  if (defs.CompilerUnitNames.Contains(AsciiLowerCopy(name))) name += "_h";
  return name;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

bool StartsWithIgnoreCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && EqualsIgnoreCase(s.substr(0, prefix.size()), prefix);
}

bool IsPascalReservedWord(std::string_view name) {
  // Reserved in Delphi mode of Free Pascal or in Delphi, sorted for the binary search.
  static constexpr std::string_view kWords[] = {"and",         "array",      "as",
                                                "asm",         "begin",      "bitpacked",
                                                "case",        "class",      "const",
                                                "constructor", "destructor", "dispinterface",
                                                "div",         "do",         "downto",
                                                "else",        "end",        "except",
                                                "exports",     "file",       "finalization",
                                                "finally",     "for",        "function",
                                                "goto",        "if",         "implementation",
                                                "in",          "inherited",  "initialization",
                                                "inline",      "interface",  "is",
                                                "label",       "library",    "mod",
                                                "nil",         "not",        "object",
                                                "of",          "or",         "otherwise",
                                                "out",         "packed",     "procedure",
                                                "program",     "property",   "raise",
                                                "record",      "repeat",     "resourcestring",
                                                "set",         "shl",        "shr",
                                                "string",      "then",       "threadvar",
                                                "to",          "try",        "type",
                                                "unit",        "until",      "uses",
                                                "var",         "while",      "with",
                                                "xor"};
  if (name.size() < 2 || name.size() > 14) return false;
  char lower[16];
  for (std::size_t i = 0; i < name.size(); ++i) lower[i] = AsciiLower(name[i]);
  const std::string_view key(lower, name.size());
  return std::binary_search(std::begin(kWords), std::end(kWords), key);
}

std::string DeclaredName(std::string_view name) {
  std::string out;
  if (IsPascalReservedWord(name)) out += '&';
  out += name;
  return out;
}

namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = AsciiUpper(c);
  return s;
}

bool IsCallingConventionWord(const ConversionContext& ctx, const LookupKey& s) {
  return ctx.StdcallWords.Contains(s) || ctx.PascalWords.Contains(s) ||
         ctx.ExportWords.Contains(s) || ctx.RegisterWords.Contains(s) || ctx.CdeclWords.Contains(s);
}

}  // namespace

// Unix: C's type words one after the other («unsigned long long int») are one type, which the
// tables name under the words as written, one blank between them; a word alone is looked up
// as any other. False when `s` is no such word or the tables do not know it.
static bool MergeCTypeWords(ConversionContext& ctx, const std::string& s) {
  static constexpr std::string_view kWords[] = {"unsigned", "signed", "short",  "long",
                                                "int",      "char",   "double", "__int64"};
  if (std::find(std::begin(kWords), std::end(kWords), s) == std::end(kWords)) return false;
  TStringList2& tokens = ctx.TokenList;
  const int k = tokens.Count();
  int t = -1;
  if (k > 0 && ctx.CTypeWordsAt == k - 1 && tokens.Last() == ctx.CTypeWordsValue) {
    std::string words = ctx.CTypeWords + " " + s;
    t = ctx.TypeNames.FindExact(words);
    if (t >= 0) {
      tokens.SetText(k - 1, ctx.TypeValues.Text(t));
      ctx.CTypeWords = std::move(words);
    }
  }
  if (t < 0) {
    t = ctx.TypeNames.FindExact(s);
    if (t < 0) return false;
    tokens.Add(ctx.TypeValues.Text(t));
    ctx.CTypeWords = s;
    ctx.CTypeWordsAt = k;
  }
  ctx.CTypeWordsValue = tokens.Last();
  ctx.AfterFuncType = false;
  return true;
}

void MapCTypeName(ConversionContext& ctx, std::string&& s) {
  const DefinitionTables& defs = ctx.Defs;
  TStringList2& tokens = ctx.TokenList;

  if (int d = defs.DefineNames.FindExact(s); d >= 0) s = defs.DefineValues.Text(d);
  if (ctx.UnixTarget()) {
    if (!ctx.PendingStar && MergeCTypeWords(ctx, s)) return;
  } else if (EqualsIgnoreCase(s, "short")) {
    s = "Smallint";
  }

  const int k = tokens.Count();
  if (k > 0) {
    // A view: its comparisons test the length first (those of std::string with a literal
    // call memcmp). Not read after the list changes.
    const std::string_view last = tokens.Last();
    if (last == "#") {
      tokens.SetText(k - 1, "#" + s);
      return;
    }
    if (EqualsIgnoreCase(last, "unsigned")) {
      if (EqualsIgnoreCase(s, "int") || EqualsIgnoreCase(s, "long") ||
          EqualsIgnoreCase(s, "char")) {
        tokens.SetText(k - 1, "U" + Upper(s));
        ctx.AfterFuncType = false;
        return;
      }
      if (s == "__int64") {
        tokens.SetText(k - 1, "Int64");
        ctx.AfterFuncType = false;
        return;
      }
      if (s == "Smallint") {
        tokens.SetText(k - 1, "WORD");
        ctx.AfterFuncType = false;
        return;
      }
      tokens.SetText(k - 1, "UINT");
    } else if (EqualsIgnoreCase(last, "LongInt")) {
      if (EqualsIgnoreCase(s, "int")) return;
      if (s == "long") {  // «long long»: 64 bits on every target
        tokens.SetText(k - 1, "Int64");
        ctx.AfterFuncType = false;
        return;
      }
      if (EqualsIgnoreCase(s, "double")) {
        tokens.SetText(k - 1, "Extended");
        ctx.AfterFuncType = false;
        return;
      }
    } else if (last == "Smallint" && EqualsIgnoreCase(s, "int")) {
      return;
    } else if ((last == "ULONG" && s == "long") || (last == "UInt64" && s == "int") ||
               (last == "Int64" && s == "int")) {
      // «unsigned long long [int]», «long long int»
      if (last == "ULONG") tokens.SetText(k - 1, "UInt64");
      ctx.AfterFuncType = false;
      return;
    }
  }

  // The token is looked up in up to nine tables: its hash is computed once (again only if
  // the text changes).
  LookupKey key(s);
  if (defs.SkipWords.Contains(key)) return;

  // A star is no part of a calling-convention word, a comment or a line's continuation mark:
  // it stays pending for the word after them, on this line or the next.
  if (ctx.PendingStar && !IsCallingConventionWord(ctx, key) && s != "\\" && !StartsWith(s, "(*") &&
      !StartsWith(s, "//")) {
    s.insert(s.begin(), '*');
    key = LookupKey(s);
    ctx.PendingStar = false;
  }

  const std::string_view first = k > 0 ? std::string_view(tokens.Text(0)) : std::string_view();
  if (k == 1 && std::string_view(s) == "const" && first == "typedef") {
    ctx.AfterFuncType = false;
    return;
  }

  const bool typedefStatement = k > 0 && first == "typedef";
  const bool isFuncName = ctx.FuncNames.Contains(key);  // read before s is moved into the list
  if (int c = defs.ConstTypeNames.FindExact(key); c >= 0) {
    tokens.Add("const");
    tokens.Add(defs.ConstTypeValues.Text(c));
  } else if (int t = ctx.TypeNames.FindExact(key); t >= 0) {
    tokens.Add(ctx.TypeValues.Text(t));
  } else if (!EqualsIgnoreCase(s, "FAR*") && std::string_view(s) != "*") {
    if (ctx.AfterFuncType && !s.empty() && s[0] == '*' && !typedefStatement)
      tokens.Add(s.substr(1));
    else if (!EqualsIgnoreCase(s, "FAR") && !EqualsIgnoreCase(s, "signed"))
      tokens.Add(std::move(s));
  } else if (!(ctx.AfterFuncType && typedefStatement)) {
    ctx.PendingStar = true;
  }
  ctx.AfterFuncType = isFuncName;
}

std::string PointerTypeOf(const ConversionContext& ctx, const std::string& t) {
  int i = ctx.PointeeTypes.FindExact(t);
  if (i >= 0) return ctx.PointerTypes.Text(i);
  // Compiler-ready: a pointer type that no unit has declared (so far) is an untyped pointer.
  if (ctx.Ready.UntypesUnknownPointers() && !IsKnownTypeName(ctx, "p_" + t)) return "Pointer";
  return "p_" + t;
}

ParamType PointerParamType(const ConversionContext& ctx, const std::string& t) {
  int i = ctx.PointeeTypes.FindExact(t);
  if (i < 0) return {t, true};
  const std::string& ptr = ctx.PointerTypes.Text(i);
  if (((ctx.PointeeTypes.Tag(i) + 1) & ctx.Options.PointerModeMask) != 0) return {ptr, false};
  if (ptr == "PChar" || ptr == "PUINT" || ptr == "PWideChar" || ptr == "PWChar")
    return {ptr, false};
  return {t, true};
}

ParamType ValueParamType(const ConversionContext& ctx, const std::string& p) {
  return ValueParamType(ctx, p, ctx.PointerTypes.FindExact(p));
}

ParamType ValueParamType(const ConversionContext& ctx, const std::string& p, int at) {
  if (at < 0) return {p, false};
  if (((ctx.PointeeTypes.Tag(at) + 1) & ctx.Options.VarModeMask) == 0) return {p, false};
  const std::string& b = ctx.PointeeTypes.Text(at);
  if (b == "void" || b == "char" || b == "UCHAR" || b == "WCHAR" || b == "WideChar")
    return {p, false};
  return {b, true};
}

std::string ResolveStars(const ConversionContext& ctx, const std::string& s, bool asPointer,
                         bool& byRef) {
  std::size_t cut = std::string::npos;
  int levels = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '*') {
      if (cut == std::string::npos) cut = i;
      ++levels;
    } else if (s[i] == '[') {
      if (cut == std::string::npos) cut = i;
      ++levels;
      break;
    }
  }
  if (cut == std::string::npos || cut == 0) return s;
  std::string base = s.substr(0, cut);
  if (int t = ctx.TypeNames.FindExact(base); t >= 0) base = ctx.TypeValues.Text(t);
  const bool isVoid = ctx.VoidNames.Contains(base);
  auto pointerOf = [&] { return isVoid ? std::string("Pointer") : PointerTypeOf(ctx, base); };
  if (asPointer || byRef)
    return pointerOf() + std::string(static_cast<std::size_t>(levels - 1), '*');
  if (levels == 1) {
    if (isVoid) return "Pointer";
    byRef = true;
    return base;
  }
  byRef = true;
  return pointerOf() + std::string(static_cast<std::size_t>(levels - 2), '*');
}

namespace {

// Compiler-ready: C's operators in an array bound («[(N >> 1) + 1]»), in Pascal's words.
std::string PascalBound(const std::string& index) {
  std::string out;
  for (std::size_t i = 0; i < index.size(); ++i) {
    const char c = index[i];
    const char next = i + 1 < index.size() ? index[i + 1] : '\0';
    if ((c == '>' && next == '>') || (c == '<' && next == '<')) {
      out += c == '>' ? " shr " : " shl ";
      ++i;
    } else if (c == '|') {
      out += " or ";
    } else if (c == '&') {
      out += " and ";
    } else if (c == '/') {
      out += " div ";
    } else if (c == '%') {
      out += " mod ";
    } else if (c == '~') {
      out += "not ";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::string ArrayDims(const ConversionContext& ctx, const std::string& d, std::string& bounds) {
  const int codePage = ctx.Options.CodePage;
  std::size_t open = std::string::npos;
  for (std::size_t i = 0; i < d.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(d[i]), codePage)) {
      ++i;
      continue;
    }
    if (d[i] == '[') {
      open = i;
      break;
    }
  }
  if (open == std::string::npos) return d;
  std::string index;
  for (std::size_t i = open; i < d.size(); ++i) {
    char c = d[i];
    if (c == ']') {
      if (ctx.Ready.TranslatesValueOperators()) index = PascalBound(index);
      if (!bounds.empty() && bounds.back() == ']')
        bounds.back() = ',';
      else
        bounds += '[';
      if (auto n = ParseInteger(index))
        bounds += "0.." + std::to_string(static_cast<long long>(*n) - 1) + "]";
      else if (index.size() > 2 && index.ends_with("+1"))
        bounds += "0.." + index.substr(0, index.size() - 2) + "]";
      else
        bounds += "0.." + index + "-1]";
      index.clear();
    } else if (c != '[' && c != ' ') {
      index += c;
    }
  }
  return d.substr(0, open);
}

bool IsKnownTypeName(const ConversionContext& ctx, std::string_view name) {
  // A pointee is no declaration (C declares pointers to types it never defines), except
  // the Pascal types the tables point to.
  return ctx.TypeValues.Contains(name) || ctx.PointerTypes.Contains(name) ||
         ctx.Defs.PointeeTypes.Contains(name) || ctx.FuncNames.Contains(name) ||
         ctx.InterfaceNames.Contains(name) || ctx.ClassNames.Contains(name);
}

void LearnTypeName(ConversionContext& ctx, const std::string& name) {
  if (name.empty() || ctx.TypeNames.Contains(name)) return;
  ctx.NewTypeIdx.push_back(ctx.TypeNames.Count());
  ctx.TypeNames.Add(name);
  ctx.TypeValues.Add(name);
}

void SwitchSection(ConversionContext& ctx, Section kind) {
  if (!ctx.SectionReopen && kind == ctx.CurrentSection) return;
  const char* text = kind == Section::Const ? "const" : kind == Section::Var ? "var" : "type";
  std::size_t pos = ctx.Pane.TextLength();
  ctx.Pane.Add(text);
  ctx.Pane.MarkRange(pos, std::string_view(text).size(), TextStyle::Bold);
  ctx.CurrentSection = kind;
  ctx.SectionReopen = false;
  if (ctx.Ready.TracksBranches()) ctx.ReadyState.SectionPath = ctx.ReadyState.CondPath;
}

}  // namespace tqc
