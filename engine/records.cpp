// Declaration heads: the rules for statements that do not begin with "typedef" (interface
// identifiers, interface forward declarations, typed constants, struct, union and enum heads)
// and the typedef rules (interface aliases, enum, struct and union heads, alias, pointer and
// array types). A record or enumeration head is written with an empty name and its line index
// kept in the context; records_bodies.cpp puts the name in front when the body closes.
#include "records.h"

#include "compile_ready/declarations.h"
#include "rules.h"
#include "type_mapping.h"

namespace tqc {

using records::At;
using records::ErrorFrom;
using records::Finished;
using records::StayPending;
using records::WriteBuilt;

bool IsTrailingComment(const std::string& token) {
  return token.size() >= 2 && (token[0] == '(' || token[0] == '/');
}

bool EndsWithSemicolonAt(const TStringList2& t, int at) {
  const int k = t.Count();
  return at < k && t.Is(at, ";") &&
         (k == at + 1 || (k == at + 2 && IsTrailingComment(t.Text(at + 1))));
}

void RegisterPointerType(ConversionContext& ctx, const std::string& p, const std::string& t) {
  const bool interfaceOrClass = ctx.InterfaceNames.Contains(t) || ctx.ClassNames.Contains(t);
  ctx.NewPointerIdx.push_back(ctx.PointeeTypes.Count());
  ctx.PointeeTypes.Add(t, interfaceOrClass ? 1 : 0);
  ctx.PointerTypes.Add(p);
  if (interfaceOrClass || !ctx.FuncNames.Contains(t)) return;
  if (ctx.TypeValues.Empty() || ctx.TypeValues.Last() != p) {
    ctx.NewTypeIdx.push_back(ctx.TypeNames.Count());
    ctx.TypeNames.Add(p);
    ctx.TypeValues.Add(t);
  } else {
    ctx.TypeValues.SetText(ctx.TypeValues.Count() - 1, t);
  }
}

// Compiler-ready: the line declaring the type `name`, learned as a type; a comment when the
// name is one the type tables give (the tokens already show the table's Pascal type, which
// would be declared again) or was declared before where both can count.
std::string TypeLine(ConversionContext& ctx, const std::string& name, std::string line) {
  if (!ctx.Ready.DeclaresOnce()) return line;
  if (ctx.Defs.TypeValues.Contains(name) || !FirstDeclaration(ctx, name)) return "// " + line;
  LearnTypeName(ctx, name);
  ctx.ReadyState.TypeLineNames.insert(AsciiLowerCopy(name));
  return line;
}

// One declarator of an alias typedef: "*P" declares a pointer type P to A, anything else
// an alias of A.
std::string AliasLine(ConversionContext& ctx, const std::string& a, const std::string& d,
                      bool followVoid) {
  if (StartsWith(d, "*")) {
    const std::string p = d.substr(1);
    RegisterPointerType(ctx, p, a);
    // "^void" is no Pascal type; an untyped pointer is.
    const std::string target = ctx.VoidNames.Contains(a) ? "Pointer" : "^" + a;
    return TypeLine(ctx, p, "  " + DeclaredName(p) + "\t= " + target + ";");
  }
  if (followVoid && ctx.VoidNames.Contains(a)) ctx.VoidNames.Add(d);
  return TypeLine(ctx, d, "  " + DeclaredName(d) + "\t= " + a + ";");
}

namespace {

bool IsTagWord(const std::string& s) { return s == "struct" || s == "union" || s == "enum"; }

// A struct or union definition inside an open record cannot be translated: the head becomes
// an error line and, unless the statement already ends the definition, the rest of it is
// passed over.
RuleResult RefuseNestedDefinition(ConversionContext& ctx, Statement& st) {
  const TStringList2& t = ctx.TokenList;
  const int k = t.Count();
  const bool endsHere = k >= 2 && (t.Is(k - 2, "}") || t.Is(k - 1, ";"));
  if (!endsHere) ctx.SkippingBlock = true;
  return ErrorFrom(st, 0);
}

bool RecordOpen(const ConversionContext& ctx) {
  return ctx.OpenStructLine != -1 || ctx.OpenUnionLine != -1;
}

// Opens a struct or union body whose "{" is token `brace` and writes its head lines. Fields
// on the same line are translated by a restart after the head tokens are removed.
RuleResult OpenRecord(ConversionContext& ctx, Statement& st, bool isStruct, const std::string& name,
                      int brace) {
  TStringList2& t = ctx.TokenList;
  const int k = t.Count();
  SwitchSection(ctx, Section::Type);
  const int head = ctx.Pane.Count();
  if (!RecordOpen(ctx)) {
    ctx.RecordLostField = false;
    ctx.BitRuns = 0;
    ctx.Bits = {};
  }
  if (isStruct) {
    ctx.OpenStructLine = head;
    ctx.StructName = name;
    ctx.VariantTexts.Clear();
  } else {
    ctx.OpenUnionLine = head;
    ctx.UnionCaseCount = 0;
    ctx.UnionName = name;
  }
  std::string first = " = record";
  const std::string cases = isStruct ? "" : "\r\n\tcase Integer of";
  if (brace + 1 == k) return WriteBuilt(st, first + cases);
  if (brace + 2 == k && IsTrailingComment(t.Text(brace + 1)))
    return WriteBuilt(st, first + "\t" + t.Text(brace + 1) + cases);
  // A comment followed by fields stays with the fields (it leads their line).
  WriteLine(ctx, first + cases);
  for (int i = 0; i <= brace; ++i) t.Delete(0);
  st.Built.clear();
  return RuleResult::Restart;
}

// static const T NAME = VALUE ; [comment]
RuleResult TypedConstant(ConversionContext& ctx, Statement& st) {
  const TStringList2& t = ctx.TokenList;
  SwitchSection(ctx, Section::Const);
  std::string type = t.Text(2);
  std::string name = t.Text(3);
  if (StartsWith(name, "*")) {
    name.erase(0, 1);
    type = PointerParamType(ctx, t.Text(2)).Type;
  }
  std::string value = t.Text(5);
  if ((type == "PWChar" || type == "PWideChar") && StartsWith(value, "L")) value.erase(0, 1);
  if (ctx.Ready.DeclaresOnce()) FirstDeclaration(ctx, name);
  std::string line = "  " + DeclaredName(name) + "\t: " + type + "\t= " + value + ";";
  if (t.Count() == 8) line += "\t" + t.Text(7);
  return WriteBuilt(st, line);
}

RuleResult StructStatement(ConversionContext& ctx, Statement& st) {
  const TStringList2& t = ctx.TokenList;
  const int k = t.Count();
  if (RecordOpen(ctx)) return RefuseNestedDefinition(ctx, st);
  // The body of a COM object declared at its typedef: a comment, as the whole block is.
  if (k >= 3 && t.Is(2, "{") && ctx.ReadyState.ComObjects.contains(t.Text(1))) {
    const bool endsHere = t.Is(k - 1, ";") && t.Is(k - 2, "}");
    ctx.SkippingBlock = ctx.SkippingAsComment = !endsHere;
    st.Outcome = kWriteComment;
    return RuleResult::Epilogue;
  }
  if (k >= 3 && t.Is(2, "{")) return OpenRecord(ctx, st, true, t.Text(1), 2);
  if (k == 2 && !t.Is(1, "{")) return StayPending(ctx);
  if (k == 3 && t.Is(2, ";")) {
    // Forward declaration: only interfaces and classes need one in Pascal.
    SwitchSection(ctx, Section::Type);
    const std::string& name = t.Text(1);
    if (ctx.Options.OleMode) return WriteBuilt(st, "  " + name + " = class;");
    if (ctx.InterfaceNames.Contains(name)) return WriteBuilt(st, "  " + name + " = interface;");
    if (ctx.ClassNames.Contains(name)) return WriteBuilt(st, "  " + name + " = class;");
    return WriteBuilt(st, st.Built);
  }
  return ErrorFrom(st, 0);
}

RuleResult UnionStatement(ConversionContext& ctx, Statement& st) {
  const TStringList2& t = ctx.TokenList;
  const int k = t.Count();
  // A union inside another union has no place in the variant part.
  if (ctx.OpenUnionLine != -1) return RefuseNestedDefinition(ctx, st);
  if (ctx.OpenStructLine == -1) {
    if (k >= 3 && t.Is(2, "{")) return OpenRecord(ctx, st, false, t.Text(1), 2);
    return ErrorFrom(st, 0);
  }
  // A union inside a struct: its members are gathered as variants of the struct record.
  const int brace = At(t, 1) == "{" ? 1 : At(t, 2) == "{" ? 2 : -1;
  if (brace > 0 && (k == brace + 1 || (k == brace + 2 && IsTrailingComment(t.Text(brace + 1))))) {
    ctx.OpenUnionLine = ctx.Pane.Count();
    ctx.UnionCaseCount = 0;
    ctx.UnionName.clear();
    return Finished(ctx);
  }
  if (k == 1 || (k == 2 && !t.Is(1, "{"))) return StayPending(ctx);
  return ErrorFrom(st, 0);
}

RuleResult EnumStatement(ConversionContext& ctx, Statement& st) {
  const TStringList2& t = ctx.TokenList;
  const int k = t.Count();
  const bool named = At(t, 2) == "{";
  if (named || At(t, 1) == "{") {
    std::string name;
    if (named) {
      name = t.Text(1);
    } else {
      name = "TEnum_" + ctx.UnitName + std::to_string(ctx.EnumCounter);
      ++ctx.EnumCounter;
    }
    SwitchSection(ctx, Section::Type);
    ctx.OpenEnumLine = ctx.Pane.Count();
    ctx.EnumName = name;
    return TranslateEnumMembers(ctx, st, named ? 3 : 2, EnumScan::PlainHead);
  }
  if (k <= 2) return StayPending(ctx);
  return ErrorFrom(st, 0);
}

// Ends with ";", or with ";" and a trailing comment.
bool EndsStatement(const TStringList2& t) {
  const int k = t.Count();
  return k > 0 &&
         (t.Is(k - 1, ";") || (k >= 2 && IsTrailingComment(t.Text(k - 1)) && t.Is(k - 2, ";")));
}

// typedef A D ; with D a plain name, "*P" or an array declarator.
std::string SingleTypedefLine(ConversionContext& ctx, const std::string& a, const std::string& d) {
  std::string bounds;
  std::string name = ArrayDims(ctx, d, bounds);
  if (bounds.empty()) return AliasLine(ctx, a, d, true);
  std::string element = a;
  if (StartsWith(name, "*")) {
    name.erase(0, 1);
    element = PointerTypeOf(ctx, a);
  }
  // An open array ("[]" arrives as "*name"; "[0]" or a bound of -1 here) has no bounds.
  if (StartsWith(bounds, "[0..-1]") || StartsWith(bounds, "[0..-1,")) bounds.clear();
  return TypeLine(ctx, name,
                  "  " + DeclaredName(name) + "\t= array" + bounds + " of " + element + ";");
}

namespace {

// Whether the lines still to come give the struct tag a body («struct sqlite3_file {», the
// brace on the line or at the start of the next one). The header is read for it once.
bool TagGetsBody(ConversionContext& ctx, const std::string& tag) {
  if (!ctx.BodyTags) {
    ctx.BodyTags = std::make_unique<std::unordered_set<std::string>>();
    std::string waiting;  // a tag whose line ended before its brace
    for (std::string_view line : ctx.SourceLines) {
      const std::size_t first = line.find_first_not_of(" \t");
      if (!waiting.empty() && first != std::string_view::npos && line[first] == '{')
        ctx.BodyTags->insert(waiting);
      waiting.clear();
      for (std::size_t p = line.find("struct"); p != std::string_view::npos;
           p = line.find("struct", p + 6)) {
        auto word = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
        if ((p > 0 && word(line[p - 1])) || p + 6 >= line.size() || word(line[p + 6])) continue;
        std::size_t b = line.find_first_not_of(" \t", p + 6);
        std::size_t e = b;
        while (e < line.size() && word(line[e])) ++e;
        if (b == std::string_view::npos || e == b) continue;
        const std::size_t after = line.find_first_not_of(" \t", e);
        if (after == std::string_view::npos)
          waiting = line.substr(b, e - b);
        else if (line[after] == '{')
          ctx.BodyTags->insert(std::string(line.substr(b, e - b)));
      }
    }
  }
  return ctx.BodyTags->contains(tag);
}

// Whether the lines still to come give the struct tag the body of C's COM object: one field,
// the pointer to its table of methods («struct IX {» / «CONST_VTBL struct IXVtbl *lpVtbl;» /
// «};»). The header is read for it once.
bool TagGetsComObjectBody(ConversionContext& ctx, const std::string& tag) {
  if (!ctx.ComObjectTags) {
    ctx.ComObjectTags = std::make_unique<std::unordered_set<std::string>>();
    for (auto line = ctx.SourceLines.begin(); line != ctx.SourceLines.end(); ++line) {
      const std::string_view text = *line;
      const std::size_t at = text.find("struct ");
      const std::size_t open = text.find('{');
      if (at == std::string_view::npos || open == std::string_view::npos || open < at) continue;
      std::string_view name = text.substr(at + 7, open - at - 7);
      while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
      while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
      if (name.empty() || name.find_first_of(" \t*") != std::string_view::npos) continue;
      // The body: the rest of this line and a few more, up to the "}".
      std::string body(text.substr(open + 1));
      for (auto more = std::next(line); more != ctx.SourceLines.end() &&
                                        body.find('}') == std::string::npos && body.size() < 400;
           ++more)
        (body += ' ') += *more;
      const std::size_t close = body.find('}');
      if (close == std::string::npos) continue;
      body.resize(close);
      if (body.find("lpVtbl") != std::string::npos &&
          std::count(body.begin(), body.end(), ';') == 1)
        ctx.ComObjectTags->insert(std::string(name));
    }
  }
  return ctx.ComObjectTags->contains(tag);
}

}  // namespace

// typedef struct A D ; (also union, and enum without a body).
RuleResult TaggedAlias(ConversionContext& ctx, Statement& st) {
  const TStringList2& t = ctx.TokenList;
  SwitchSection(ctx, Section::Type);
  std::string line;
  if (const std::string& name = t.Text(2);
      name == t.Text(3) && !t.Is(1, "enum") && !ctx.VoidNames.Contains(name)) {
    // Unix: a struct the header goes on to define is declared there, with its pointer; two
    // declarations of one name would not compile.
    if (ctx.UnixTarget() && t.Is(1, "struct") && TagGetsBody(ctx, name)) {
      LearnTypeName(ctx, name);
      st.Outcome = kWriteComment;
      return RuleResult::Epilogue;
    }
    // «typedef struct sqlite3 sqlite3;»: a type C never shows the inside of, used through
    // pointers only. An empty record, and its pointer type as for any record. Compiler-ready:
    // a COM object the header goes on to define gets its one field here, where the methods'
    // «This» parameters can name it.
    const bool comObject = ctx.Ready.DeclaresOnce() && t.Is(1, "struct") &&
                           TagGetsComObjectBody(ctx, name);
    if (comObject) ctx.ReadyState.ComObjects.insert(name);
    const std::string pointer = "p_" + name;
    line =
        TypeLine(ctx, pointer, "  " + DeclaredName(pointer) + "\t= ^" + DeclaredName(name) + ";") +
        "\r\n" +
        TypeLine(ctx, name,
                 "  " + DeclaredName(name) +
                     (comObject ? "\t= record lpVtbl: Pointer; end;" : "\t= record end;"));
    if (ctx.Ready.DeclaresOnce()) ctx.ReadyState.DeclaredTypes.insert(AsciiLowerCopy(name));
  } else {
    line = AliasLine(ctx, t.Text(2), t.Text(3), false);
    // «typedef struct _X X;»: should no unit declare _X, X is a type C never shows the inside
    // of (the compiler-ready stage makes it an empty record then).
    if (ctx.Ready.DeclaresOnce() && !t.Is(1, "enum") && !StartsWith(t.Text(3), "*"))
      ctx.ReadyState.TagAliases[AsciiLowerCopy(t.Text(3))] = t.Text(2);
  }
  if (t.Count() == 6) line += "\t" + t.Text(5);
  return WriteBuilt(st, line);
}

bool IsTaggedAliasShape(const TStringList2& t) { return EndsWithSemicolonAt(t, 4); }

RuleResult TypedefEnum(ConversionContext& ctx, Statement& st) {
  const TStringList2& t = ctx.TokenList;
  const int k = t.Count();
  int brace = -1;
  for (int i = 2; i < k; ++i) {
    if (t.Is(i, "{")) {
      brace = i;
      break;
    }
  }
  if (brace < 0) {
    // Complete without a body: an alias of an enumeration declared elsewhere. Left pending it
    // would swallow the rest of the file.
    if (EndsStatement(t)) return IsTaggedAliasShape(t) ? TaggedAlias(ctx, st) : ErrorFrom(st, 0);
    return StayPending(ctx);
  }
  SwitchSection(ctx, Section::Type);
  ctx.OpenEnumLine = ctx.Pane.Count();
  // The tag names the type when the typedef declares no name («typedef enum X { ... };»).
  ctx.EnumName = brace == 3 ? t.Text(2) : std::string();
  return TranslateEnumMembers(ctx, st, brace + 1, EnumScan::TypedefHead);
}

// typedef A D ; / typedef A D1 , D2 ; / typedef A D1 , D2 , D3 ; each with an optional
// trailing comment. Declined when the statement has another shape.
RuleResult AliasTypedef(ConversionContext& ctx, Statement& st) {
  const TStringList2& t = ctx.TokenList;
  const int k = t.Count();
  // Number of declarators: the statement is typedef A D1 [, D2 [, D3]] ; [comment].
  int declarators = 0;
  for (int n = 1; n <= 3; ++n) {
    const int semi = 2 * n + 1;
    if (k != semi + 1 && k != semi + 2) continue;
    if (!t.Is(semi, ";")) continue;
    if (k == semi + 2 && !IsTrailingComment(t.Text(semi + 1))) continue;
    bool commas = true;
    for (int c = 3; c < semi; c += 2) commas = commas && t.Is(c, ",");
    if (commas) declarators = n;
  }
  if (declarators == 0) {
    if (IsTaggedAliasShape(t) && (t.Is(1, "struct") || t.Is(1, "union")))
      return TaggedAlias(ctx, st);
    return RuleResult::Declined;
  }
  const std::string& a = t.Text(1);
  // "typedef struct X ;" declares nothing.
  if (IsTagWord(a)) return RuleResult::Declined;
  SwitchSection(ctx, Section::Type);
  std::string text;
  if (declarators == 1) {
    text = SingleTypedefLine(ctx, a, t.Text(2));
  } else {
    for (int n = 0; n < declarators; ++n) {
      if (n > 0) text += "\r\n";
      text += AliasLine(ctx, a, t.Text(2 + 2 * n), true);
    }
  }
  if (k == 2 * declarators + 3) text += "\t" + t.Text(k - 1);
  return WriteBuilt(st, text);
}

}  // namespace

RuleResult TranslateDeclaration(ConversionContext& ctx, Statement& st) {
  const TStringList2& t = ctx.TokenList;
  const int k = t.Count();
  const std::string_view t0 = t.Text(0);
  // Interface identifiers without a value come from the GUID definitions.
  if ((k == 5 && t0 == "EXTERN_C" && t.Is(1, "const") && t.Is(2, "TIID")) ||
      (k == 4 && t0 == "const" && t.Is(1, "TIID"))) {
    st.Outcome = kWriteComment;
    return RuleResult::Epilogue;
  }
  if (k == 3 && t0 == "interface" && t.Is(2, ";")) {
    SwitchSection(ctx, Section::Type);
    if (ctx.Ready.WritesSectionHeaders()) SwitchSection(ctx, Section::Type);
    return WriteBuilt(st, "  " + t.Text(1) + " = interface;");
  }
  if ((k == 7 || k == 8) && t0 == "static" && t.Is(1, "const") && t.Is(4, "=") && t.Is(6, ";"))
    return TypedConstant(ctx, st);
  if (t0 == "struct") return StructStatement(ctx, st);
  if (t0 == "union") return UnionStatement(ctx, st);
  if (t0 == "enum") return EnumStatement(ctx, st);
  return RuleResult::Declined;
}

RuleResult TranslateTypedef(ConversionContext& ctx, Statement& st) {
  const TStringList2& t = ctx.TokenList;
  const int k = t.Count();
  const std::string_view t1 = At(t, 1);
  if ((k == 5 || k == 6) && t1 == "interface" && t.Text(2) == t.Text(3) && t.Is(4, ";")) {
    const std::string& name = t.Text(2);
    if (!ctx.InterfaceNames.Contains(name)) {
      ctx.NewInterfaceIdx.push_back(ctx.InterfaceNames.Count());
      ctx.InterfaceNames.Add(name);
    }
    if (ctx.Ready.WritesSectionHeaders()) SwitchSection(ctx, Section::Type);
    return WriteBuilt(st, "  " + name + (ctx.Options.OleMode ? " = class;" : " = interface;"));
  }
  if (t1 == "enum") return TypedefEnum(ctx, st);
  const bool anonymous = At(t, 2) == "{";
  if (anonymous || At(t, 3) == "{") {
    if (t1 != "struct" && t1 != "union") return ErrorFrom(st, 0);
    if (RecordOpen(ctx)) return RefuseNestedDefinition(ctx, st);
    return OpenRecord(ctx, st, t1 == "struct", anonymous ? "" : t.Text(2), anonymous ? 2 : 3);
  }
  // Incomplete heads (typedef struct NAME) and routine types are left to the dispatch's
  // typedef retry.
  return AliasTypedef(ctx, st);
}

}  // namespace tqc
