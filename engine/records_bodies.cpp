// Open bodies and fields: enumeration members, the closing statements of unions and structs
// (which name the head line written earlier and declare the closing line's alias and pointer
// types in front of it), and the declaration rule for record fields and variables. Members
// of a union nested in a struct are collected as variant texts and written when the struct
// closes, since a Pascal record keeps its variant part at the end.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <unordered_map>
#include <vector>

#include "compile_ready/declarations.h"
#include "compile_ready/enum_macros.h"
#include "numbers.h"
#include "records.h"
#include "rules.h"
#include "type_mapping.h"

namespace tqc {

using records::At;
using records::ErrorFrom;
using records::Finished;
using records::StayPending;
using records::WriteBuilt;

// A C name as a declaration needs it (bytes above 127 count as letters: double-byte names).
bool IsName(const std::string& s) {
  if (s.empty() || std::isdigit(static_cast<unsigned char>(s[0]))) return false;
  for (char c : s) {
    const auto b = static_cast<unsigned char>(c);
    if (!(std::isalnum(b) || b == '_' || b >= 0x80)) return false;
  }
  return true;
}

namespace {

constexpr const char* kCrLf = "\r\n";

// Compiler-ready: a name a closing brace declares is a known type, and it counts as declared
// (a routine named like it in another letter case must be named apart).
void LearnDeclaredType(ConversionContext& ctx, const std::string& name) {
  if (!ctx.Ready.DeclaresOnce() || name.empty()) return;
  FirstDeclaration(ctx, name);
  ctx.ReadyState.DeclaredTypes.insert(AsciiLowerCopy(name));
  LearnTypeName(ctx, name);
}

bool IsEnumComment(const std::string& t) { return StartsWith(t, "//") || StartsWith(t, "(*"); }

const std::string& Item(const std::vector<std::string>& t, int i) {
  static const std::string kNone;
  return i >= 0 && i < static_cast<int>(t.size()) ? t[static_cast<std::size_t>(i)] : kNone;
}

// A one-character literal as the tokenizer leaves it: 'a'.
bool IsCharLiteral(const std::string& s) { return s.size() == 3 && s[0] == '\'' && s[2] == '\''; }

// The value of an enumeration member starting at token j; `next` is the token after it.
// C's operators of an enumeration value in Pascal spelling (none for any other token).
const char* EnumJoint(const std::string& o) {
  if (o == "+") return " + ";
  if (o == "-") return " - ";
  if (o == "|") return " or ";
  if (o == "&") return " and ";
  if (o == "<<") return " shl ";
  if (o == ">>") return " shr ";
  return nullptr;
}

// Compiler-ready: a value with parentheses around its operations («((A | B) | C)»), each
// operand and operator in Pascal spelling and the parentheses kept. Empty when a token is
// none of these (a macro call), and for a value without parentheses.
std::string ParenthesizedEnumValue(const ConversionContext& ctx, const std::vector<std::string>& t,
                                   int j, int& next) {
  std::string value;
  int depth = 0;
  bool parens = false;
  int k = j;
  for (; k < static_cast<int>(t.size()); ++k) {
    const std::string& tok = Item(t, k);
    if (depth == 0 && (tok == "," || tok == "}" || IsEnumComment(tok))) break;
    if (tok == "(" || tok == ")") {
      depth += tok == "(" ? 1 : -1;
      if (depth < 0) return {};
      parens = true;
      value += tok;
    } else if (const char* joint = EnumJoint(tok)) {
      value += joint;
    } else if (IsName(tok) || std::isdigit(static_cast<unsigned char>(tok[0])) ||
               (tok.size() > 1 && tok[0] == '-' &&
                std::isdigit(static_cast<unsigned char>(tok[1])))) {
      value += ConvertEnumOperand(ctx, tok);
    } else {
      return {};
    }
  }
  if (!parens || depth != 0 || value.empty()) return {};
  next = k;
  return value;
}

std::string EnumValue(const ConversionContext& ctx, std::vector<std::string>& t, int j, int& next) {
  if (ctx.Ready.TranslatesValueOperators()) {
    if (std::string value = ParenthesizedEnumValue(ctx, t, j, next); !value.empty()) return value;
  }
  // (x), (a op b) and (a *b) lose their parentheses.
  if (Item(t, j) == "(") {
    int close = -1;
    if (Item(t, j + 2) == ")")
      close = j + 2;
    else if (Item(t, j + 3) == ")" && Item(t, j + 2).size() > 1 && Item(t, j + 2)[0] == '*')
      close = j + 3;
    else if (Item(t, j + 4) == ")")
      close = j + 4;
    if (close > 0) {
      t.erase(t.begin() + close);
      t.erase(t.begin() + j);
    }
  }
  const std::string& a = Item(t, j);
  if (a == "MAKEFOURCC" && Item(t, j + 1) == "(" && Item(t, j + 3) == "," &&
      Item(t, j + 5) == "," && Item(t, j + 7) == "," && Item(t, j + 9) == ")" &&
      IsCharLiteral(Item(t, j + 2)) && IsCharLiteral(Item(t, j + 4)) &&
      IsCharLiteral(Item(t, j + 6)) && IsCharLiteral(Item(t, j + 8))) {
    std::uint32_t code = 0;
    for (int c = 3; c >= 0; --c)
      code = code * 256 + static_cast<unsigned char>(Item(t, j + 2 + 2 * c)[1]);
    char hex[16];
    std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned int>(code));
    next = j + 10;
    return std::string("$") + hex;
  }
  const std::string& op = Item(t, j + 1);
  if (ctx.Ready.TranslatesValueOperators()) {
    // A chain of operators ("A | B | C"), each in Pascal spelling.
    std::string value = ConvertEnumOperand(ctx, a);
    next = j + 1;
    while (next + 1 < static_cast<int>(t.size()) && EnumJoint(Item(t, next))) {
      (value += EnumJoint(Item(t, next))) += ConvertEnumOperand(ctx, Item(t, next + 1));
      next += 2;
    }
    if (next > j + 1) return value;
  }
  if (j + 2 < static_cast<int>(t.size()) && (op == "+" || op == "<<" || op == ">>")) {
    const char* joint = op == "+" ? " + " : op == "<<" ? " shl " : " shr ";
    next = j + 3;
    return ConvertEnumOperand(ctx, a) + joint + ConvertEnumOperand(ctx, Item(t, j + 2));
  }
  if (op.size() > 1 && op[0] == '*') {
    next = j + 2;
    return ConvertEnumOperand(ctx, a) + " * " + ConvertEnumOperand(ctx, op.substr(1));
  }
  next = j + 1;
  return ConvertEnumOperand(ctx, a);
}

// Drops the comma that ends the member list ({ A, B, }): on the line being built when it is
// there, else on the line written earlier that ended with it.
void DropTrailingComma(ConversionContext& ctx, std::string& line, int commaAt) {
  if (commaAt >= 0) {
    line.erase(static_cast<std::size_t>(commaAt), 1);
  } else if (ctx.EnumCommaLine >= 0 && ctx.EnumCommaLine < ctx.Pane.Count()) {
    std::string written = ctx.Pane.Line(ctx.EnumCommaLine);
    if (written.size() > ctx.EnumCommaFromEnd) {
      const std::size_t at = written.size() - ctx.EnumCommaFromEnd - 1;
      if (written[at] == ',') {
        written.erase(at, 1);
        ctx.Pane.Replace(ctx.EnumCommaLine, written);
      }
    }
  }
  ctx.EnumCommaLine = -1;
}

// The "}" at token i ends the enumeration.
bool IsWordByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// Appends "_" to every word of `text` that is `type` in any letter case; whether any was.
bool RenameLikeType(std::string& text, const std::string& type) {
  bool renamed = false;
  for (std::size_t p = 0; p < text.size();) {
    if (!IsWordByte(text[p])) {
      ++p;
      continue;
    }
    std::size_t end = p;
    while (end < text.size() && IsWordByte(text[end])) ++end;
    if (EqualsIgnoreCase(std::string_view(text).substr(p, end - p), type)) {
      text.insert(end, "_");
      ++end;
      renamed = true;
    }
    p = end;
  }
  return renamed;
}

RuleResult CloseEnum(ConversionContext& ctx, Statement& st, const std::vector<std::string>& t,
                     int i, EnumScan form, std::string line, int commaAt) {
  DropTrailingComma(ctx, line, commaAt);
  line += " );";
  std::string name;
  int semi = -1;
  if (Item(t, i + 1) == ";") {
    if (form != EnumScan::TypedefHead || !ctx.EnumName.empty()) {
      name = ctx.EnumName;
      semi = i + 1;
    }
  } else if (Item(t, i + 2) == ";" && form != EnumScan::PlainHead) {
    name = Item(t, i + 1);
    semi = i + 2;
  }
  // Compiler-ready: "} NAME, *PNAME;" declares the pointer and alias types after the enum
  // (an error line there would leave the enumeration's parenthesis open).
  std::string more;
  if (ctx.Ready.OrdersRecordDeclarations() && semi < 0 && form != EnumScan::PlainHead &&
      IsName(Item(t, i + 1)) && Item(t, i + 2) == ",") {
    int j = i + 3;
    std::string lines;
    for (;; j += 2) {
      std::string d = Item(t, j);
      const bool pointer = StartsWith(d, "*");
      if (pointer) d.erase(0, 1);
      if (!IsName(d) || (Item(t, j + 1) != "," && Item(t, j + 1) != ";")) break;
      if (pointer) RegisterPointerType(ctx, d, Item(t, i + 1));
      LearnTypeName(ctx, d);
      lines += "\r\n  " + DeclaredName(d) + "\t= " + (pointer ? "^" : "") + Item(t, i + 1) + ";";
      if (Item(t, j + 1) == ";") {
        name = Item(t, i + 1);
        semi = j + 1;
        more = std::move(lines);
        break;
      }
    }
  }
  const int head = ctx.OpenEnumLine;
  const std::string tag = ctx.EnumName;
  ctx.OpenEnumLine = -1;
  ctx.EnumName.clear();
  if (name.empty()) {
    // A head written lines ago keeps its tag, which no other line shows.
    if (form == EnumScan::OpenBody && !tag.empty() && head >= 0)
      ctx.Pane.Replace(head, "  " + tag + ctx.Pane.Line(head));
    return ErrorFrom(st, 0);
  }
  LearnDeclaredType(ctx, name);
  // A member named like its type in any letter case («enum XML_Parsing { XML_PARSING }») is
  // a name Pascal would declare twice: the member takes a "_", wherever the members stand.
  RenameLikeType(line, name);
  if (form == EnumScan::OpenBody) {
    for (int k = head; k >= 0 && k < ctx.Pane.Count(); ++k) {
      std::string text = ctx.Pane.Line(k);
      if (RenameLikeType(text, name)) ctx.Pane.Replace(k, std::move(text));
    }
    ctx.Pane.Replace(head, "  " + name + ctx.Pane.Line(head));
  } else {
    line = "  " + name + line;
  }
  if (IsTrailingComment(Item(t, semi + 1))) line += "\t" + Item(t, semi + 1);
  return WriteBuilt(st, line + more);
}

}  // namespace

namespace {

// A field of a union inside a struct joins its variant; a field after such a union joins
// variant 0, which the record ends with. The record's close writes them. False when the
// field has no variant part to go to.
bool PlaceInVariantPart(ConversionContext& ctx, const std::string& text) {
  const bool structOpen = ctx.OpenStructLine != -1;
  if (structOpen && ctx.OpenUnionLine != -1) {
    TStringList2& v = ctx.VariantTexts;
    const int n = ctx.UnionCaseCount;
    if (v.Count() <= n) {
      if (n == 0)
        v.Add("\t  " + text);
      else
        v.Add(PadVariant(v.Text(0), "", n) + "\t  " + text);
    } else if (n > 0) {
      v.SetText(n, PadVariant(v.Text(0), v.Text(n) + kCrLf, n) + "\t  " + text);
    } else {
      v.SetText(0, v.Text(0) + kCrLf + "\t  " + text);
    }
    ++ctx.UnionCaseCount;
    return true;
  }
  if (structOpen && !ctx.VariantTexts.Empty()) {
    ctx.VariantTexts.SetText(0, ctx.VariantTexts.Text(0) + kCrLf + "\t  " + text);
    return true;
  }
  return false;
}

// The size in bytes of a Pascal type that C bit fields are declared with, or 0.
int BitFieldUnit(const std::string& type) {
  static const std::unordered_map<std::string, int> kSizes = {
      {"Byte", 1},     {"ShortInt", 1}, {"Char", 1},     {"AnsiChar", 1}, {"Boolean", 1},
      {"BYTE", 1},     {"UCHAR", 1},    {"CHAR", 1},     {"BOOLEAN", 1},  {"UINT8", 1},
      {"INT8", 1},     {"Word", 2},     {"SmallInt", 2}, {"WideChar", 2}, {"WORD", 2},
      {"USHORT", 2},   {"SHORT", 2},    {"WCHAR", 2},    {"UINT16", 2},   {"INT16", 2},
      {"Integer", 4},  {"LongInt", 4},  {"Cardinal", 4}, {"LongWord", 4}, {"DWORD", 4},
      {"UINT", 4},     {"ULONG", 4},    {"LONG", 4},     {"BOOL", 4},     {"INT", 4},
      {"LongBool", 4}, {"UINT32", 4},   {"INT32", 4},    {"DWORD32", 4},  {"ULONG32", 4},
      {"LONG32", 4},   {"Int64", 8},    {"UInt64", 8},   {"QWORD", 8},    {"ULONGLONG", 8},
      {"LONGLONG", 8}, {"DWORD64", 8},  {"ULONG64", 8},  {"LONG64", 8},   {"UINT64", 8},
      {"INT64", 8}};
  const auto it = kSizes.find(type);
  return it == kSizes.end() ? 0 : it->second;
}

// A field where the open record wants it: a variant part, a variant of a union of its own,
// or a line of the record.
void PlaceField(ConversionContext& ctx, const std::string& field, const std::string& comment) {
  // In a variant part the comment keeps no ":" (the padding of later variants counts them).
  std::string variantComment = comment;
  std::replace(variantComment.begin(), variantComment.end(), ':', ' ');
  if (PlaceInVariantPart(ctx, field + ";" + (comment.empty() ? "" : "\t" + variantComment))) return;
  std::string line = "\t";
  if (ctx.OpenStructLine == -1 && ctx.OpenUnionLine != -1)
    line += std::to_string(ctx.UnionCaseCount++) + ": (" + field + ");";
  else
    line += field + ";";
  if (!comment.empty()) line += "\t" + comment;
  WriteLine(ctx, line);
}

// Ends a run of bit fields: one field of their storage unit's type, the bits named after it.
void FlushBitRun(ConversionContext& ctx) {
  ConversionContext::BitRun& run = ctx.Bits;
  if (run.Used == 0) return;
  const std::string name = "Bits" + std::to_string(ctx.BitRuns++);
  PlaceField(ctx, name + "\t: " + run.Type, "// " + run.Names);
  run = {};
}

}  // namespace

// «DWORD fBinary : 1 ; DWORD fParity : 1 ;»: C packs bit fields into storage units of their
// declared type, a new unit where the type's size changes or the bits do not fit (the layout
// of the Windows compilers). A run becomes one field of the unit's type, named BitsN, the
// fields and their widths in a comment after it. A type of unknown size is an error line,
// and its record with it.
RuleResult TranslateBitFields(ConversionContext& ctx, Statement& st) {
  const TStringList2& t = ctx.TokenList;
  std::string type = t.Text(0);
  int first = 1;
  if ((type == "const" || type == "volatile") && t.Count() > 1) type = t.Text(first++);
  const int unit = BitFieldUnit(type);
  if (unit == 0) return ErrorFrom(st, 0);
  // The declarators as text: "a:1,b:3" (blanks and the tokenizer's splits taken out).
  std::string text, comment;
  for (int i = first; i < t.Count(); ++i) {
    const std::string& tok = t.Text(i);
    if (tok == ";") break;
    if (IsTrailingComment(tok)) continue;
    text += tok;
  }
  if (IsTrailingComment(t.Last())) comment = t.Last();
  ConversionContext::BitRun& run = ctx.Bits;
  for (std::size_t p = 0; p <= text.size();) {
    std::size_t end = text.find(',', p);
    if (end == std::string::npos) end = text.size();
    const std::string d = text.substr(p, end - p);
    p = end + 1;
    const std::size_t colon = d.find(':');
    if (colon == std::string::npos) return ErrorFrom(st, 0);
    const std::optional<int> width = ParseInteger(ConvertNumber(d.substr(colon + 1)));
    if (!width || *width < 0 || *width > unit * 8) return ErrorFrom(st, 0);
    if (run.Used > 0 && (run.Bits != unit * 8 || run.Used + *width > run.Bits || *width == 0))
      FlushBitRun(ctx);
    if (*width == 0) continue;  // «: 0» only starts a new unit
    if (run.Used == 0) {
      run.Type = type;
      run.Bits = unit * 8;
    }
    run.Used += *width;
    if (!run.Names.empty()) run.Names += ", ";
    run.Names += (colon == 0 ? "(unnamed)" : d.substr(0, colon)) + ":" + std::to_string(*width);
  }
  if (!comment.empty()) run.Names += " " + comment;
  // A union's members each start at its beginning: every bit field is a variant of its own.
  if (ctx.OpenStructLine == -1 || ctx.OpenUnionLine != -1) FlushBitRun(ctx);
  return Finished(ctx);
}

// The record from `head` to the last line written became no record C has: one of its fields
// was an error line. Its lines become error lines too, and it declares nothing.
void BreakRecord(ConversionContext& ctx, int head, const std::string& name) {
  for (int i = head; i < ctx.Pane.Count(); ++i) {
    const std::string& text = ctx.Pane.Line(i);
    if (StartsWith(text, "// Error :") || StartsWith(text, "{$")) continue;
    const std::size_t first = text.find_first_not_of(" \t");
    // The pointer and alias types written with the record go with it.
    if (i != head && first != std::string::npos) {
      const std::size_t end = text.find_first_of(" \t=", first);
      if (end != std::string::npos && text.find_first_not_of(" \t", end) == text.find('=', end))
        ForgetDeclaredName(ctx, text.substr(first, end - first));
    }
    ctx.Pane.Replace(
        i, "// Error : " + (first == std::string::npos ? std::string() : text.substr(first)));
    ctx.Pane.MarkLine(i, 3, 5, TextStyle::Red);
    ++ctx.ErrorCount;
  }
  if (!name.empty()) ForgetDeclaredName(ctx, name);
  ctx.RecordLostField = false;
}

namespace {

// } NAME [, D2 ...] ; [comment] of a union or struct whose head line is `head`. The head
// gets the name; pointer and alias types of the further declarators go in front of it.
RuleResult CloseWithDeclarators(ConversionContext& ctx, Statement& st, int head, bool isStruct) {
  const TStringList2& t = ctx.TokenList;
  const int k = t.Count();
  std::string name = t.Text(1);
  std::vector<std::string> declarators;
  // «} *PNAME;» declares only a pointer: the record keeps its tag and PNAME points to it.
  const std::string& tag = isStruct ? ctx.StructName : ctx.UnionName;
  const bool pointerOnly = StartsWith(name, "*") && !tag.empty();
  if (pointerOnly) {
    declarators.push_back(name);
    name = tag;
  }
  LearnDeclaredType(ctx, name);
  ctx.Pane.Replace(head, "  " + name + ctx.Pane.Line(head));
  int errorAt = -1;
  int semi = t.Is(2, ";") ? 2 : -1;
  for (int j = 3; semi < 0 && j < k; j += 2) {
    const std::string_view follow = At(t, j + 1);
    if (follow != ";" && follow != ",") {
      errorAt = j;
      break;
    }
    declarators.push_back(t.Text(j));
    if (follow == ";") semi = j + 1;
  }
  if (isStruct) {
    if (!ctx.StructName.empty()) {
      // Pointers declared to the tag earlier now point to the record's own name.
      const int p = ctx.PointeeTypes.FindExact(ctx.StructName);
      if (p >= 0) ctx.PointeeTypes.SetText(p, name);
    }
    bool starred = pointerOnly;
    for (int j = 3; j < k; ++j) starred = starred || StartsWith(t.Text(j), "*");
    if (!starred) {
      ctx.Pane.Insert(head, "  p_" + name + " = ^" + name + ";");
      LearnDeclaredType(ctx, "p_" + name);
      ++head;
    }
  }
  std::string end = "  end;";
  if (semi >= 0 && semi + 2 == k && IsTrailingComment(t.Text(semi + 1)))
    end += "\t" + t.Text(semi + 1);
  WriteLine(ctx, end);
  if (ctx.RecordLostField) BreakRecord(ctx, head, name);
  // Compiler-ready: pointer types written before the record name its tag; the tag, declared
  // as the record's alias in the same section, resolves them.
  if (ctx.Ready.OrdersRecordDeclarations() && !pointerOnly && !tag.empty() &&
      !EqualsIgnoreCase(tag, name) && FirstDeclaration(ctx, tag)) {
    WriteLine(ctx, "  " + DeclaredName(tag) + "\t= " + name + ";");
    LearnTypeName(ctx, tag);
  }
  for (const std::string& d : declarators) {
    std::string line;
    LearnDeclaredType(ctx, StartsWith(d, "*") ? d.substr(1) : d);
    if (StartsWith(d, "*")) {
      RegisterPointerType(ctx, d.substr(1), name);
      line = "  " + DeclaredName(d.substr(1)) + "\t= ^" + name + ";";
    } else {
      line = "  " + DeclaredName(d) + "\t= " + name + ";";
      if (ctx.Ready.OrdersRecordDeclarations()) {
        // An alias needs the record declared before it.
        WriteLine(ctx, line);
        continue;
      }
    }
    ctx.Pane.Insert(head, line);
    ++head;
  }
  if (isStruct) {
    ctx.OpenStructLine = -1;
    ctx.StructName.clear();
  } else {
    ctx.OpenUnionLine = -1;
    ctx.UnionName.clear();
  }
  if (errorAt >= 0) return ErrorFrom(st, errorAt);
  return Finished(ctx);
}

// } ; or } ; comment
bool IsPlainClose(const TStringList2& t) { return EndsWithSemicolonAt(t, 1); }

// «} /* c */ NAME;»: the comment goes after the ";", where a closing line keeps one.
void MoveCommentAfterBrace(TStringList2& t) {
  if (t.Count() < 3 || !StartsWith(t.Text(1), "(*")) return;
  std::string comment = t.Text(1);
  t.Delete(1);
  t.Add(std::move(comment));
}

// The closing brace of a record whose name or ";" is still to come («typedef struct { ... }»
// with «NAME;» on the next line): the statement waits for its ";".
bool CloseWaitsForName(const TStringList2& t) {
  for (int i = 0; i < t.Count(); ++i)
    if (t.Is(i, ";")) return false;
  return true;
}

RuleResult CloseUnion(ConversionContext& ctx, Statement& st) {
  MoveCommentAfterBrace(ctx.TokenList);
  const TStringList2& t = ctx.TokenList;
  const int k = t.Count();
  if (CloseWaitsForName(t)) return StayPending(ctx);
  FlushBitRun(ctx);
  // A union nested in a struct already lives in VariantTexts.
  if (ctx.OpenStructLine != -1) {
    ctx.OpenUnionLine = -1;
    return Finished(ctx);
  }
  if (IsPlainClose(t) && !ctx.UnionName.empty()) {
    const int head = ctx.OpenUnionLine;
    const std::string name = ctx.UnionName;
    LearnDeclaredType(ctx, name);
    ctx.Pane.Replace(head, "  " + name + ctx.Pane.Line(head));
    ctx.UnionName.clear();
    ctx.OpenUnionLine = -1;
    WriteLine(ctx, k == 3 ? "  end;\t" + t.Text(2) : "  end;");
    if (ctx.RecordLostField) BreakRecord(ctx, head, name);
    return Finished(ctx);
  }
  if (k > 2 && (t.Is(2, ";") || t.Is(2, ",")))
    return CloseWithDeclarators(ctx, st, ctx.OpenUnionLine, false);
  // Any other closing shape is shown as an error. A longer one leaves the union open.
  if (k <= 2) {
    ctx.OpenUnionLine = -1;
    ctx.UnionName.clear();
  }
  return ErrorFrom(st, 0);
}

RuleResult CloseStruct(ConversionContext& ctx, Statement& st) {
  MoveCommentAfterBrace(ctx.TokenList);
  const TStringList2& t = ctx.TokenList;
  const int k = t.Count();
  if (CloseWaitsForName(t)) return StayPending(ctx);
  FlushBitRun(ctx);
  if (!ctx.VariantTexts.Empty()) {
    WriteLine(ctx, "\tcase Integer of");
    for (int j = 0; j < ctx.VariantTexts.Count(); ++j) {
      WriteLine(ctx, "\t" + std::to_string(j) + ": (");
      WriteLine(ctx, ctx.VariantTexts.Text(j));
      WriteLine(ctx, "\t);");
    }
    ctx.VariantTexts.Clear();
  }
  if (IsPlainClose(t) && !ctx.StructName.empty()) {
    const int head = ctx.OpenStructLine;
    const std::string name = ctx.StructName;
    LearnDeclaredType(ctx, name);
    ctx.Pane.Replace(head, "  " + name + ctx.Pane.Line(head));
    ctx.Pane.Insert(head, "  p_" + name + " = ^" + name + ";");
    LearnDeclaredType(ctx, "p_" + name);
    ctx.StructName.clear();
    ctx.OpenStructLine = -1;
    WriteLine(ctx, k == 3 ? "  end;\t" + t.Text(2) : "  end;");
    if (ctx.RecordLostField) BreakRecord(ctx, head + 1, name);
    return Finished(ctx);
  }
  if (k > 2 && (t.Is(2, ";") || t.Is(2, ",")))
    return CloseWithDeclarators(ctx, st, ctx.OpenStructLine, true);
  ctx.OpenStructLine = -1;
  ctx.StructName.clear();
  return ErrorFrom(st, 0);
}

// The names of field line m for the padding of variant n: one per declared name.
std::string PaddingNames(const std::string& fieldLine, int n, int m) {
  int commas = 0;
  for (char c : fieldLine) commas += c == ',';
  const std::string base = "Unknown" + std::to_string(n) + "_" + std::to_string(m);
  if (commas == 0) return base;
  std::string names;
  for (int r = 1; r <= commas + 1; ++r) {
    if (r > 1) names += ", ";
    names += base + "_" + std::to_string(r);
  }
  return names;
}

// The type of a declarator group of the declaration rule.
struct Group {
  std::string Bounds;
  bool Pointer = false;
  bool DoublePointer = false;
};

std::string GroupType(const ConversionContext& ctx, const std::string& t0, const Group& g,
                      bool last) {
  // Interfaces and classes are references already: the last group drops one level.
  const bool absorb = last && (ctx.InterfaceNames.Contains(t0) || ctx.ClassNames.Contains(t0));
  if (g.DoublePointer)
    return absorb ? PointerTypeOf(ctx, t0) : PointerTypeOf(ctx, PointerTypeOf(ctx, t0));
  if (g.Pointer) return absorb ? t0 : PointerTypeOf(ctx, t0);
  return t0;
}

}  // namespace

std::string PadVariant(const std::string& v0, const std::string& vn, int n) {
  std::string result = vn;
  int have = 1;
  for (char c : vn) have += c == ':';
  std::string pending;
  bool hasPending = false;
  int m = 0;
  std::size_t lineStart = 0;
  for (std::size_t p = 0; p < v0.size(); ++p) {
    if (v0[p] == '\n') lineStart = p + 1;
    if (v0[p] != ':') continue;
    ++m;
    if (m > have && hasPending) result += "\t  " + pending + kCrLf;
    std::size_t end = v0.find('\r', p);
    if (end == std::string::npos) end = v0.size();
    pending = PaddingNames(v0.substr(lineStart, p - lineStart), n, m) + ": " +
              v0.substr(p + 1, end - p - 1);
    hasPending = true;
  }
  return result;
}

RuleResult TranslateEnumMembers(ConversionContext& ctx, Statement& st, int start, EnumScan form) {
  // A copy: value parentheses are dropped from it, while an error line shows the statement.
  std::vector<std::string> t;
  t.reserve(static_cast<std::size_t>(ctx.TokenList.Count()));
  for (const auto& e : ctx.TokenList.Entries()) t.push_back(e.Text);
  LearnTableMacros(ctx);
  // A call of a macro with parameters that goes on over the next line is read whole.
  if (form == EnumScan::OpenBody && OpensEnumMacroCall(ctx, t, start)) {
    ctx.Pending = true;
    return RuleResult::Done;
  }
  // Calls of macros with parameters are written out; the members they give get their values
  // as numbers where C's expression can be folded.
  const bool expanded = ExpandEnumMacroCalls(ctx, t, start);
  std::vector<std::pair<std::string, long long>> known;
  std::optional<long long> last;  // the value of the member before, when known
  std::string line = form == EnumScan::OpenBody ? "\t" : " = (";
  if (form != EnumScan::OpenBody) ctx.EnumCommaLine = -1;
  int commaAt = -1;  // in `line`: a "," with no member after it yet
  for (int i = start; i < static_cast<int>(t.size());) {
    const std::string tok = t[static_cast<std::size_t>(i)];
    if (IsEnumComment(tok)) {
      line += " " + tok;
      ++i;
      continue;
    }
    if (tok == ",") {
      commaAt = static_cast<int>(line.size());
      line += ",";
      ++i;
      continue;
    }
    if (tok == "}") return CloseEnum(ctx, st, t, i, form, line, commaAt);
    commaAt = -1;
    ctx.EnumCommaLine = -1;
    if (ctx.Ready.DeclaresOnce()) {
      FirstDeclaration(ctx, tok);
      ctx.ReadyState.EnumMembers.insert(AsciiLowerCopy(tok));
    }
    if (Item(t, i + 1) == "=" && i + 2 < static_cast<int>(t.size())) {
      int next = i + 2;
      std::optional<long long> folded;
      if (ctx.Ready.ExpandsEnumMacros()) {
        int end = i + 2;
        for (int depth = 0; end < static_cast<int>(t.size()); ++end) {
          const std::string& v = Item(t, end);
          if (depth == 0 && (v == "," || v == "}" || IsEnumComment(v))) break;
          depth += v == "(" ? 1 : v == ")" ? -1 : 0;
        }
        const std::vector<std::string> value(t.begin() + i + 2, t.begin() + end);
        // What a macro gave, or a cast («(int) 0x80000000»), which Pascal spells otherwise.
        if (expanded || CastsToInteger(ctx, value)) folded = EvaluateConstant(ctx, value, known);
        if (folded) next = end;
      }
      const std::string value = folded ? std::to_string(*folded) : EnumValue(ctx, t, i + 2, next);
      line += " " + DeclaredName(tok) + "\t= " + value;
      last = folded;
      i = next;
    } else {
      line += " " + DeclaredName(tok);
      if (last) last = *last + 1;
      ++i;
    }
    if (last) known.emplace_back(tok, *last);
  }
  if (commaAt >= 0) {
    ctx.EnumCommaLine = ctx.Pane.Count();
    ctx.EnumCommaFromEnd = line.size() - static_cast<std::size_t>(commaAt) - 1;
  }
  // The body goes on; the head line waits for its name at OpenEnumLine.
  return WriteBuilt(st, line);
}

RuleResult TranslateOpenBody(ConversionContext& ctx, Statement& st) {
  if (ctx.OpenEnumLine != -1) return TranslateEnumMembers(ctx, st, 0, EnumScan::OpenBody);
  if (!ctx.TokenList.Is(0, "}")) return RuleResult::Declined;
  if (ctx.OpenUnionLine != -1) return CloseUnion(ctx, st);
  if (ctx.OpenStructLine != -1) return CloseStruct(ctx, st);
  return RuleResult::Declined;
}

RuleResult WriteProceduralField(ConversionContext& ctx, Statement& st, const std::string& name,
                                const std::string& type, const std::string& comment) {
  FlushBitRun(ctx);
  const std::string field = name + "\t: " + type;
  if (PlaceInVariantPart(ctx, field + ";")) return Finished(ctx);
  std::string line = st.Built + "\t";
  if (ctx.OpenStructLine == -1 && ctx.OpenUnionLine != -1) {
    // Every member of a top-level union is a variant of its own.
    line += std::to_string(ctx.UnionCaseCount++) + ": (" + field + ");";
  } else {
    line += field + ";";
  }
  if (!comment.empty()) line += "\t" + comment;
  return WriteBuilt(st, line);
}

RuleResult TranslateVariable(ConversionContext& ctx, Statement& st) {
  TStringList2& t = ctx.TokenList;
  bool hasSemicolon = false;
  bool hasBrace = false;
  for (const auto& e : t.Entries()) {
    if (e.Text == "(" || e.Text == ")") return RuleResult::Declined;
    if (!hasSemicolon) hasBrace = hasBrace || e.Text == "{" || e.Text == "}";
    hasSemicolon = hasSemicolon || e.Text == ";";
  }
  // A body that no record rule took (a definition after an unknown word, a stray close) is
  // no declaration; read as one its braces would become names. (What follows the first ";"
  // is translated on its own.)
  if (hasBrace) return ErrorFrom(st, 0);
  // A declaration spread over several lines.
  if (!hasSemicolon) return StayPending(ctx);
  if (ctx.OpenStructLine != -1 || ctx.OpenUnionLine != -1) {
    for (const auto& e : t.Entries())
      if (e.Text.find(':') != std::string::npos && !IsTrailingComment(e.Text))
        return TranslateBitFields(ctx, st);
    FlushBitRun(ctx);
  }

  std::string line = st.Built + "\t";
  const bool structOpen = ctx.OpenStructLine != -1;
  const bool unionOpen = ctx.OpenUnionLine != -1;
  const bool topUnion = unionOpen && !structOpen;
  if (topUnion) {
    // Every member of a top-level union is a variant of its own.
    line += std::to_string(ctx.UnionCaseCount) + ": (";
    ++ctx.UnionCaseCount;
  }
  if (EqualsIgnoreCase(t.Text(0), "extern")) t.Delete(0);
  if (t.Is(0, "const")) t.Delete(0);
  // «const struct X *p;»: the tag word names no type of its own.
  if (t.Count() > 2 && (t.Is(0, "struct") || t.Is(0, "union") || t.Is(0, "enum"))) t.Delete(0);
  int k = t.Count();
  for (int i = 1; i <= k - 3; ++i) {
    if (!t.Is(i, "*const")) continue;
    const std::string next = t.Text(i + 1);
    if (StartsWith(next, "*")) {
      t.SetText(i, "**");
      t.SetText(i + 1, next.substr(1));
    } else {
      t.SetText(i + 1, "*" + next);
      t.Delete(i);
    }
    break;
  }
  k = t.Count();

  const std::string t0 = t.Text(0);
  if (!IsName(t0)) return ErrorFrom(st, 0);
  std::string text;
  Group group;
  bool haveGroup = false;
  int stop = k - 1;
  for (int i = 1; i < k - 1; ++i) {
    std::string d = t.Text(i);
    if (d == ";" || d == "=") {
      stop = i;
      break;
    }
    if (d == ",") continue;
    bool twoStars = false;
    if (d == "**") {
      if (i + 1 >= k - 1) return ErrorFrom(st, i);
      twoStars = true;
      ++i;
      d = "*" + t.Text(i);
    }
    Group g;
    g.DoublePointer = twoStars;
    std::string name = ArrayDims(ctx, d, g.Bounds);
    if (StartsWith(name, "*")) {
      name.erase(0, 1);
      g.Pointer = true;
    }
    // Bit fields, strings, directives and operators are no declarators.
    if (!IsName(name)) return ErrorFrom(st, 0);
    // Compiler-ready: a variable named like a type of the unit in another letter case
    // («ABPROVIDERINIT ABProviderInit;») is named apart.
    if (ctx.Ready.DeclaresOnce() && !structOpen && !unionOpen && !ctx.InInterface)
      while (DeclaredAlready(ctx, name)) name += '_';
    if (haveGroup && g.Bounds == group.Bounds && g.Pointer == group.Pointer &&
        g.DoublePointer == group.DoublePointer) {
      text += ", " + DeclaredName(name);
      continue;
    }
    if (haveGroup) {
      text += "\t: " + (group.Bounds.empty() ? "" : "array" + group.Bounds + " of ") +
              GroupType(ctx, t0, group, false) + ";" + kCrLf + "\t";
    }
    text += DeclaredName(name);
    group = g;
    haveGroup = true;
  }
  // A statement that declares nothing would vanish from the output.
  if (!haveGroup) return ErrorFrom(st, 0);
  if (!structOpen && !unionOpen && !ctx.InInterface) SwitchSection(ctx, Section::Var);
  ctx.FirstVariable = false;
  text += "\t: " + (group.Bounds.empty() ? "" : "array" + group.Bounds + " of ") +
          GroupType(ctx, t0, group, true) + (topUnion ? ");" : ";");

  // Further declarations after the ";" (a record written on one line) are translated by a
  // restart; left as an error they would keep the record open over the following lines.
  const bool more =
      t.Is(stop, ";") && stop + 1 < k && !(stop + 2 == k && IsTrailingComment(t.Text(stop + 1)));
  auto restartAfterStop = [&] {
    for (int i = 0; i <= stop; ++i) t.Delete(0);
    st.Built.clear();
    return RuleResult::Restart;
  };
  if (PlaceInVariantPart(ctx, text)) return more ? restartAfterStop() : Finished(ctx);
  line += text;
  if (more) {
    WriteLine(ctx, line);
    return restartAfterStop();
  }
  if (stop + 1 < k) {
    if (stop + 2 == k && IsTrailingComment(t.Text(stop + 1))) {
      line += "\t" + t.Text(stop + 1);
    } else {
      st.Built = line;
      return ErrorFrom(st, stop + 1);
    }
  }
  return WriteBuilt(st, line);
}

}  // namespace tqc
