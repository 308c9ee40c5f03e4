// The conversion driver: unit head, loading (with the IDL pre-conversion), the source
// pre-pass, the line loop with its per-line failure handling, the unit tail and the
// include cache.
#include "conversion.h"

#include <sys/stat.h>

#include <cctype>
#include <ctime>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <unordered_set>

#include "dispatch.h"
#include "failure.h"
#include "routines.h"
#include "rules.h"
#include "tokenizer.h"
#include "type_mapping.h"

namespace tqc {

namespace fs = std::filesystem;

std::string FormatBannerDate(const BannerDate& date) {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const char* month = (date.Month >= 1 && date.Month <= 12) ? kMonths[date.Month - 1] : "???";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2d %s %d", date.Day, month, date.Year);
  return buf;
}

static BannerDate FromTimeT(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  return BannerDate{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

BannerDate TodayDate() { return FromTimeT(std::time(nullptr)); }

void WriteApplicationError(ConversionContext& ctx);

namespace {

std::string FileNameOf(const std::string& path) { return fs::path(path).filename().string(); }

std::string StemOf(const std::string& path) { return fs::path(path).stem().string(); }

// Registers a name found by the pre-pass in the list and its index list.
void Register(TStringList2& names, std::vector<int>& idx, const std::string& name) {
  if (name.empty()) return;
  idx.push_back(names.Count());
  names.Add(name);
}

std::string_view SkipBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

// Name after leading blanks, up to any of the stop characters.
std::string NameUpTo(std::string_view s, std::string_view stops) {
  s = SkipBlanks(s);
  std::size_t end = s.find_first_of(stops);
  return std::string(s.substr(0, end));
}

void WriteHead(ConversionContext& ctx, const std::string& fileName, const BannerDate& fileDate) {
  OutputPane& pane = ctx.Pane;
  const BannerDate today = ctx.Options.Today ? *ctx.Options.Today : TodayDate();
  pane.Add("//  Version : tqc " + ctx.Options.VersionText);
  pane.Add("//     Date : " + FormatBannerDate(today));
  pane.Add("//   Source : " + fileName + " (" + FormatBannerDate(fileDate) + ")");
  pane.Add("");
  WriteBoldLine(ctx, "unit " + DeclaredName(ctx.UnitName) + ";", 0, 4);
  pane.Add("");
  pane.Add("{$X+}{$Z2}{$A8}");
  pane.Add("");
  WriteBoldLine(ctx, "interface", 0, 9);
  pane.Add("");
  pane.Add("uses Windows");
  pane.Add("");
}

constexpr int kUsesLine = 10;

// The uses line: Windows, the OLE unit when an interface was translated, then the units of
// the included headers. A compiler takes each unit once and never the unit itself, so a name
// met again (in any case) is left out, and an included header named like one of the three
// API units adds nothing (it is that unit's own header). No unit left: no uses line.
std::string UsesLine(const ConversionContext& ctx) {
  std::vector<std::string_view> names;
  auto add = [&](std::string_view name) {
    if (name.empty() || EqualsIgnoreCase(name, ctx.UnitName)) return;
    for (std::string_view n : names)
      if (EqualsIgnoreCase(n, name)) return;
    names.push_back(name);
  };
  add("Windows");
  if (ctx.UsesOle) add(ctx.Options.OleMode ? "Ole2" : "Activex");
  std::string_view extra = ctx.UsesExtra;
  while (!extra.empty()) {
    // UsesExtra holds ", name" per included header.
    std::size_t next = extra.find(", ", 2);
    std::string_view name = extra.substr(2, next == std::string_view::npos ? next : next - 2);
    extra.remove_prefix(next == std::string_view::npos ? extra.size() : next);
    if (!EqualsIgnoreCase(name, "Windows") && !EqualsIgnoreCase(name, "Activex") &&
        !EqualsIgnoreCase(name, "Ole2"))
      add(name);
  }
  if (names.empty()) return std::string();
  std::string line = "uses ";
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) line += ", ";
    line += DeclaredName(names[i]);
  }
  return line + ";";
}

void WriteTail(ConversionContext& ctx) {
  OutputPane& pane = ctx.Pane;
  pane.Add("");
  WriteBoldLine(ctx, "implementation", 0, 14);
  pane.Add("");
  if (!ctx.DeferredConsts.Empty()) {
    WriteBoldLine(ctx, "const", 0, 5);
    for (const auto& e : ctx.DeferredConsts.Entries()) pane.Add(e.Text);
    pane.Add("");
  }
  WriteBoldLine(ctx, "end.", 0, 3);

  pane.Replace(kUsesLine, UsesLine(ctx));
  if (!pane.Line(kUsesLine).empty()) pane.MarkLine(kUsesLine, 0, 4, TextStyle::Bold);
}

// Compiler-ready: a "const", "type" or "var" header with no declaration under it (its
// statement became an error line, or a conditional directive follows) is no Pascal; such
// headers are taken out once the unit is complete.
// Compiler-ready: a variant part whose variants all became error lines has nothing after
// its "case": the line stays as a comment, and the record is empty.
void CommentEmptyVariantParts(OutputPane& pane) {
  for (int i = 0; i < pane.Count(); ++i) {
    if (pane.Line(i) != "\tcase Integer of") continue;
    bool variant = false;
    int j = i + 1;
    for (; j < pane.Count() && pane.Line(j) != "  end;" && !variant; ++j) {
      const std::string_view text = SkipBlanks(pane.Line(j));
      variant = !text.empty() && std::isdigit(static_cast<unsigned char>(text.front()));
    }
    if (!variant) pane.Replace(i, "//\tcase Integer of");
    i = j - 1;
  }
}

void DropEmptySections(OutputPane& pane) {
  auto isHeader = [](std::string_view l) { return l == "const" || l == "type" || l == "var"; };
  auto endsSection = [&](std::string_view l) {
    return isHeader(l) || l == "implementation" || StartsWith(l, "  function ") ||
           StartsWith(l, "  procedure ");
  };
  std::vector<bool> drop(static_cast<std::size_t>(pane.Count()), false);
  int header = -1;       // the header whose section has shown no declaration yet
  int headerDepth = 0;   // the conditional depth it was written at
  int depth = 0;
  bool comment = false;  // inside a "(*" comment that goes on over lines
  for (int i = 0; i < pane.Count(); ++i) {
    const std::string_view line = pane.Line(i);
    const std::string_view text = SkipBlanks(line);
    if (comment) {
      comment = text.find("*)") == std::string_view::npos;
      continue;
    }
    if (text.empty() || StartsWith(text, "//")) continue;
    if (StartsWith(text, "(*")) {
      comment = text.find("*)", 2) == std::string_view::npos;
      continue;
    }
    // A conditional opened after the header may hold its declarations; the end of the
    // header's own branch ends its section.
    const bool closes = StartsWith(line, "{$ENDIF") || StartsWith(line, "{$IFEND");
    const bool opens = StartsWith(line, "{$IF") && !closes;
    const bool next = StartsWith(line, "{$ELSE");
    if (opens || closes || next) {
      if (header >= 0 && (closes || next) && depth == headerDepth) {
        drop[static_cast<std::size_t>(header)] = true;
        header = -1;
      }
      depth += opens ? 1 : closes ? -1 : 0;
      if (header >= 0 && depth < headerDepth) header = -1;
      continue;
    }
    if (StartsWith(line, "{$")) continue;  // {$DEFINE ...} declares nothing of the section
    if (header >= 0 && endsSection(line)) drop[static_cast<std::size_t>(header)] = true;
    header = isHeader(line) ? i : -1;
    headerDepth = depth;
  }
  pane.RemoveLines(drop);
}

// The name a unit line declares ("  NAME\t= ...", "  NAME = record"), without its "&".
std::string_view DeclaredOnLine(std::string_view line) {
  if (!StartsWith(line, "  ") || line.size() < 3 || line[2] == ' ' || line[2] == '\t') return {};
  line.remove_prefix(line[2] == '&' ? 3 : 2);
  std::size_t end = 0;
  while (end < line.size() && (std::isalnum(static_cast<unsigned char>(line[end])) || line[end] == '_'))
    ++end;
  std::string_view rest = line.substr(end);
  while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
  if (end == 0 || !StartsWith(rest, "=")) return {};
  return line.substr(0, end);
}

// Compiler-ready: C tells field names apart by case ("Y", "x", "y"), Pascal does not. A field
// whose name a field before it in the same record already has, in any case, gets a "_".
void RenameCaseTwinFields(OutputPane& pane) {
  std::unordered_set<std::string> fields;  // of the open record (lower case)
  bool open = false;
  for (int i = 0; i < pane.Count(); ++i) {
    const std::string_view line = pane.Line(i);
    if (!open) {
      open = StartsWith(line, "  ") &&
             (line.ends_with("= record") || line.ends_with("= packed record"));
      fields.clear();
      continue;
    }
    if (StartsWith(line, "  end;")) {
      open = false;
      continue;
    }
    // Fields of a variant part stand after a tab and two blanks, or after "\tN: (".
    std::size_t p = line.find_first_not_of("\t ");
    if (p == 0 || line[0] != '\t' || p == std::string_view::npos ||
        line.find("\t: ") == std::string_view::npos)
      continue;
    if (const std::size_t open = line.find(": ("); open != std::string_view::npos &&
        line.find_first_not_of("0123456789", p) == open)
      p = open + 3;
    std::string text(line);
    bool changed = false;
    // "a, b\t: T;": each name up to the colon.
    for (;;) {
      const std::size_t colon = text.find("\t: ");
      if (p >= colon) break;
      std::size_t end = text.find(", ", p);
      if (end == std::string::npos || end > colon) end = colon;
      const std::string name = text.substr(p, end - p);
      const bool amp = !name.empty() && name[0] == '&';
      std::string key = AsciiLowerCopy(amp ? name.substr(1) : name);
      if (key.empty() || !(std::isalpha(static_cast<unsigned char>(key[0])) || key[0] == '_'))
        break;
      std::size_t grown = 0;
      while (!fields.insert(key).second) {
        key += '_';
        ++grown;
      }
      if (grown > 0) {
        text.insert(end, grown, '_');
        changed = true;
      }
      p = end + grown + 2;
    }
    if (changed) pane.Replace(i, text);
  }
}

// Compiler-ready: a COM header declares its interfaces in the branch for C++ (the C branch
// has records of method pointers instead), and the routines after the conditional use them:
// a branch for C++ that declares an interface is the one compiled.
void TakeInterfaceBranches(OutputPane& pane) {
  struct Open {
    int Line;
    bool Cpp;
    bool FirstBranch = true;
    bool Take = false;
  };
  std::vector<Open> open;
  for (int i = 0; i < pane.Count(); ++i) {
    const std::string_view line = pane.Line(i);
    if (StartsWith(line, "{$IFEND") || StartsWith(line, "{$ENDIF")) {
      if (open.empty()) continue;
      if (open.back().Take) {
        const int head = open.back().Line;
        pane.Replace(head, "{$IF True }\t// " + std::string(pane.Line(head)));
      }
      open.pop_back();
    } else if (StartsWith(line, "{$ELSE")) {
      if (!open.empty()) open.back().FirstBranch = false;
    } else if (StartsWith(line, "{$IF")) {
      const bool cpp = StartsWith(line, "{$IFDEF __cplusplus}") ||
                       (StartsWith(line, "{$IF ") &&
                        line.find("Defined(__cplusplus)") != std::string_view::npos &&
                        line.find("not Defined(__cplusplus)") == std::string_view::npos);
      open.push_back({i, cpp});
    } else if (StartsWith(line, "  ") && line.find(" = interface") != std::string_view::npos &&
               !line.ends_with(";")) {
      for (auto o = open.rbegin(); o != open.rend(); ++o)
        if (o->Cpp && o->FirstBranch) {
          o->Take = true;
          break;
        }
    }
  }
}

// Compiler-ready: a pointer type ("  P\t= ^T;") whose target the type section declares
// neither before nor after it, and that no included unit or table declares either, is an
// untyped pointer: a compiler requires a forward pointer's type in the same section. C
// declares pointers to records it never defines.
void ResolveForwardPointers(ConversionContext& ctx) {
  OutputPane& pane = ctx.Pane;
  std::unordered_set<std::string> own;  // types this conversion declares (lower case)
  for (int i : ctx.NewTypeIdx) own.insert(AsciiLowerCopy(ctx.TypeNames.Text(i)));
  for (int i : ctx.NewPointerIdx) {
    own.insert(AsciiLowerCopy(ctx.PointeeTypes.Text(i)));
    own.insert(AsciiLowerCopy(ctx.PointerTypes.Text(i)));
  }
  std::unordered_set<std::string> declared;  // declared so far in the unit
  std::vector<std::pair<int, std::string>> waiting;  // pointer lines of the open section
  std::unordered_set<std::string> inSection;
  auto endSection = [&] {
    for (const auto& [line, target] : waiting) {
      if (inSection.contains(target)) continue;
      std::string text = pane.Line(line);
      const std::size_t caret = text.find("= ^");
      if (caret != std::string::npos) pane.Replace(line, text.substr(0, caret) + "= Pointer;");
    }
    waiting.clear();
    inSection.clear();
  };
  bool typeSection = false;
  for (int i = 0; i < pane.Count(); ++i) {
    const std::string_view line = pane.Line(i);
    if (line == "type" || line == "const" || line == "var" || line == "implementation" ||
        StartsWith(line, "  function ") || StartsWith(line, "  procedure ")) {
      endSection();
      typeSection = line == "type";
      continue;
    }
    if (!typeSection) {
      if (std::string_view name = DeclaredOnLine(line); !name.empty()) declared.insert(AsciiLowerCopy(name));
      continue;
    }
    const std::string_view name = DeclaredOnLine(line);
    if (name.empty()) continue;
    const std::string key = AsciiLowerCopy(name);
    inSection.insert(key);
    declared.insert(key);
    const std::size_t caret = line.find("= ^");
    if (caret == std::string_view::npos || !line.ends_with(";")) continue;
    std::string_view target = line.substr(caret + 3, line.size() - caret - 4);
    if (!target.empty() && target.front() == '&') target.remove_prefix(1);
    const std::string t = AsciiLowerCopy(target);
    if (declared.contains(t)) continue;
    // Known from the tables or the included units (not only from this unit's own lines).
    if (IsKnownTypeName(ctx, std::string(target)) && !own.contains(t)) continue;
    waiting.emplace_back(i, t);
  }
  endSection();
}

// Compiler-ready: a declaration that names a type no unit declares before it (a header that
// uses what its includer declares first, a type of another header set) would stop the
// compiler at the first such name. Each such line becomes an error line, so the unit compiles
// and the user sees what is missing. Only the places where Pascal expects a type are read:
// aliases, fields, variables, parameters and results; a pointer may point ahead.
// Whether a line stands in a branch no compiler takes ("#if 0": {$IF False }).
class DeadBranches {
 public:
  bool Dead(std::string_view line) {
    if (StartsWith(line, "{$IFEND") || StartsWith(line, "{$ENDIF")) {
      if (depth_ > 0) --depth_;
      return depth_ > 0;
    }
    if (StartsWith(line, "{$ELSE")) {
      if (depth_ == 1) depth_ = 0;  // the other branch is taken
      return depth_ > 0;
    }
    if (StartsWith(line, "{$IF")) {
      if (depth_ > 0 || StartsWith(line, "{$IF False")) ++depth_;
      return depth_ > 0;
    }
    return depth_ > 0;
  }

 private:
  int depth_ = 0;
};

class UnknownTypeLines {
 public:
  explicit UnknownTypeLines(ConversionContext& ctx) : ctx_(ctx), pane_(ctx.Pane) {}

  void Run() {
    uses_ = AsciiLowerCopy(ctx_.UsesExtra) + ",";  // final by now: ", name" per unit
    CommentTableRecords();
    DeadBranches dead;
    for (int i = 0; i < pane_.Count(); ++i) {
      const std::string_view line = pane_.Line(i);
      if (dead.Dead(line)) continue;
      const std::string_view name = DeclaredOnLine(line);
      if (!name.empty()) own_.insert(AsciiLowerCopy(name));
      for (std::string_view head : {"  function ", "  procedure "}) {
        if (!StartsWith(line, head)) continue;
        std::string_view rest = line.substr(head.size());
        std::size_t end = 0;
        while (end < rest.size() && IsWordChar(rest[end])) ++end;
        if (end > 0) routines_.insert(AsciiLowerCopy(rest.substr(0, end)));
      }
    }
    SettleForwardInterfaces();
    bool comment = false;
    for (int i = kFirstLine; i < pane_.Count(); ++i) {
      std::string code = Code(pane_.Line(i), comment);
      if (code.empty()) continue;
      // Aliases are read in type sections only: a constant's value was checked when written.
      if (code == "type" || code == "const" || code == "var") inTypes_ = code == "type";
      if (StartsWith(code, "  ") && (code.ends_with("= record") || code.ends_with("= packed record")))
        record_ = true;
      else if (StartsWith(code, "  end;"))
        record_ = false;
      // A routine head may go on over several lines until its parentheses close.
      int last = i;
      bool broken = false;
      if (IsRoutineHead(code)) {
        // Only over lines of parameters: a head that does not close is left as it is.
        bool inner = comment;
        std::string joined = code;
        int end = i;
        while (Depth(joined) > 0 && end + 1 < pane_.Count() && end - i < kMaxHeadLines) {
          const std::string_view next = pane_.Line(end + 1);
          if (!StartsWith(next, "\t") && !StartsWith(next, "   ")) break;
          ++end;
          joined += " " + Code(next, inner);
        }
        if (Depth(joined) == 0) {
          code = std::move(joined);
          last = end;
          comment = inner;
        } else {
          // Its end went into an error line: the head is no declaration either.
          broken = true;
          last = end;
          comment = inner;
        }
      }
      if (!broken && record_ && !IsRoutineHead(code)) InterfaceFieldAsPointer(i, code);
      // "ULONG = ULONG;" (C's "typedef unsigned long ULONG;"): the type is the Windows unit's.
      if (inTypes_ && !broken && IsSelfAlias(code)) {
        const std::string name(DeclaredOnLine(pane_.Line(i)));
        Forget(name);
        own_.erase(AsciiLowerCopy(name));
        pane_.Replace(i, "// " + pane_.Line(i));
        continue;
      }
      if (broken || !AllKnown(code)) {
        for (int k = i; k <= last; ++k) MakeErrorLine(k);
        // A "(*" comment the lines opened would now be opened inside a "//" comment: the
        // lines it went on over are comments of their own.
        while (comment && last + 1 < pane_.Count()) {
          ++last;
          const std::string text = pane_.Line(last);
          comment = text.find("*)") == std::string::npos;
          pane_.Replace(last, "// " + text);
        }
      } else {
        const std::string_view name = DeclaredOnLine(pane_.Line(i));
        if (!name.empty()) declared_.insert(AsciiLowerCopy(name));
      }
      i = last;
    }
  }

 private:
  static constexpr int kFirstLine = 11;  // after the unit's head and uses line
  static constexpr int kMaxHeadLines = 64;

  // The line without comments and directives ("(*" comments may go on over lines).
  static std::string Code(std::string_view line, bool& comment) {
    std::string out;
    for (std::size_t p = 0; p < line.size();) {
      if (comment) {
        const std::size_t close = line.find("*)", p);
        if (close == std::string_view::npos) return out;
        comment = false;
        p = close + 2;
      } else if (line.compare(p, 2, "//") == 0) {
        break;
      } else if (line.compare(p, 2, "(*") == 0) {
        comment = true;
        p += 2;
      } else if (line[p] == '{') {
        const std::size_t close = line.find('}', p);
        if (close == std::string_view::npos) return {};
        p = close + 1;
      } else if (line[p] == '\'') {
        const std::size_t close = line.find('\'', p + 1);
        out += "''";
        p = close == std::string_view::npos ? line.size() : close + 1;
      } else {
        out += line[p++];
      }
    }
    const std::size_t first = out.find_first_not_of(" \t");
    return first == std::string::npos ? std::string() : out;
  }

  static bool IsSelfAlias(std::string_view code) {
    const std::size_t eq = code.find("\t= ");
    if (!StartsWith(code, "  ") || eq == std::string_view::npos) return false;
    const std::string type = TypeAt(code, eq + 3);
    const std::string_view name = DeclaredOnLine(code);
    return !type.empty() && EqualsIgnoreCase(type, name);
  }

  static int Depth(std::string_view code) {
    int depth = 0;
    for (char c : code) depth += c == '(' ? 1 : c == ')' ? -1 : 0;
    return depth;
  }

  static bool IsRoutineHead(std::string_view code) {
    code = SkipBlanks(code);
    if (StartsWith(code, "function ") || StartsWith(code, "procedure ")) return true;
    const std::size_t eq = code.find('=');
    if (eq == std::string_view::npos) return false;
    code = SkipBlanks(code.substr(eq + 1));
    return StartsWith(code, "function") || StartsWith(code, "procedure");
  }

  static bool IsWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
  }

  // The type named at `p` ("&T", "array[0..1] of T", "^T" and "set of" are looked through).
  static std::string TypeAt(std::string_view code, std::size_t p) {
    auto skip = [&] {
      while (p < code.size() && (code[p] == ' ' || code[p] == '\t')) ++p;
    };
    skip();
    if (code.compare(p, 5, "array") == 0 && code.find(" of ", p) != std::string_view::npos) {
      p = code.find(" of ", p) + 4;
      skip();
    }
    if (p < code.size() && code[p] == '&') ++p;
    // A C star or "..." that no rule took is no type. (A pointer may point ahead.)
    if (p < code.size() && (code[p] == '*' || code[p] == '.')) return "?";
    std::size_t end = p;
    while (end < code.size() && IsWordChar(code[end])) ++end;
    if (end == p || std::isdigit(static_cast<unsigned char>(code[p]))) return {};
    std::size_t after = end;
    while (after < code.size() && (code[after] == ' ' || code[after] == '\t')) ++after;
    // Only a name that the declaration ends with is a type here (not "record", a value...).
    if (after < code.size() && code[after] != ';' && code[after] != ')' && code[after] != '=')
      return {};
    return std::string(code.substr(p, end - p));
  }

  bool Known(const std::string& name) {
    const std::string key = AsciiLowerCopy(name);
    static const std::unordered_set<std::string> kWords = {"record", "packed", "interface",
                                                            "class", "function", "procedure",
                                                            "string", "set", "file",
                                                            "sizeof", "ord", "chr", "high",
                                                            "low", "succ", "pred", "lo", "hi"};
    if (kWords.contains(key)) return true;
    if (ctx_.VoidNames.Contains(name)) return false;  // Pascal has no type "void"
    if (own_.contains(key)) return declared_.contains(key);
    if (routines_.contains(key)) return false;  // a routine, no type
    // Pascal's own types, and what the type mapping writes for "unsigned int/long/char".
    static const std::unordered_set<std::string> kPascal = {
        "pointer", "integer", "cardinal", "byte",     "word",      "longint",   "longword",
        "int64",   "uint64",  "shortint", "smallint", "char",      "ansichar",  "widechar",
        "boolean", "pchar",   "pwidechar", "nativeint", "nativeuint", "single", "double",
        "extended", "tguid",  "pansichar", "bytebool", "wordbool",  "longbool", "real",
        "currency", "comp",   "variant",  "olevariant", "widestring", "ansistring", "string",
        // what the type mapping makes of "unsigned int/long/char"
        "uint",    "ulong",   "uchar"};
    if (kPascal.contains(key)) return true;
    // Names of the tables that neither the Windows nor the ActiveX unit declares (shell
    // interfaces, C++ classes, LP... pointers to interfaces): only a converted unit can.
    static const std::unordered_set<std::string_view> kNotInPascalUnits = {
      "CArchive", "CBitmap", "CBrush", "CButton", "CClientDC", "CCmdTarget", "CCmdUI",
      "CComboBox", "CControlBar", "CDC", "CDataExchange", "CDialog", "CDialogBar",
      "CDocTemplate", "CDocument", "CEdit", "CEditView", "CException", "CFile", "CFont",
      "CFormView", "CFrameWnd", "CGdiObject", "CImageList", "CListBox", "CListCtrl", "CListView",
      "CMDIChildWnd", "CMDIFrameWnd", "CMenu", "CMultiDocTemplate", "CObject", "CPaintDC",
      "CPalette", "CPen", "CPropertyPage", "CPropertySheet", "CRgn", "CScrollBar", "CScrollView",
      "CSingleDocTemplate", "CSplitterWnd", "CStatic", "CStatusBar", "CStdioFile", "CTabCtrl",
      "CToolBar", "CTreeCtrl", "CTreeView", "CView", "CWinApp", "CWinThread", "CWindowDC",
      "CWnd", "IAgileObject", "IBindStatusCallback", "IBinding", "IClientSecurity",
      "IContextMenu", "IContextMenu2", "IContextMenu3", "IDispatchEx", "IEnumIDList",
      "IExtractIconA", "IExtractIconW", "IFileDialog", "IFileOpenDialog", "IFileSaveDialog",
      "IInspectable", "IInternetSecurityManager", "IModalWindow", "IPersistPropertyBag2",
      "IPropertyBag2", "IPropertyStore", "IQueryInfo", "IServerSecurity", "IShellBrowser",
      "IShellExtInit", "IShellFolder", "IShellFolder2", "IShellIcon", "IShellItem",
      "IShellItemArray", "IShellLinkA", "IShellLinkW", "IShellPropSheetExt", "IShellView",
      "IShellView2", "IWebBrowser2", "LPADVISESINK", "LPADVISESINK2", "LPBC", "LPBINDCTX",
      "LPBINDING", "LPBINDSTATUSCALLBACK", "LPBSTR", "LPCLASSFACTORY", "LPCLASSFACTORY2",
      "LPCONNECTIONPOINT", "LPCONNECTIONPOINTCONTAINER", "LPCONTEXTMENU", "LPCONTEXTMENU2",
      "LPCONTEXTMENU3", "LPCREATEERRORINFO", "LPCREATETYPEINFO", "LPCREATETYPEINFO2",
      "LPCREATETYPELIB", "LPCREATETYPELIB2", "LPDATAADVISEHOLDER", "LPDATAOBJECT", "LPDISPATCH",
      "LPDROPSOURCE", "LPDROPTARGET", "LPENUMCONNECTIONPOINTS", "LPENUMCONNECTIONS",
      "LPENUMFORMATETC", "LPENUMIDLIST", "LPENUMMONIKER", "LPENUMOLEVERB", "LPENUMSTATDATA",
      "LPENUMSTATSTG", "LPENUMSTRING", "LPENUMUNKNOWN", "LPENUMVARIANT", "LPERRORINFO",
      "LPERRORLOG", "LPEXCEPINFO", "LPEXTERNALCONNECTION", "LPEXTRACTICONA", "LPEXTRACTICONW",
      "LPFONT", "LPFONTDISP", "LPGLOBALINTERFACETABLE", "LPLOCKBYTES", "LPMALLOC", "LPMARSHAL",
      "LPMESSAGEFILTER", "LPMONIKER", "LPNMHDR", "LPOLEADVISEHOLDER", "LPOLECACHE",
      "LPOLECACHE2", "LPOLECACHECONTROL", "LPOLECLIENTSITE", "LPOLECONTAINER", "LPOLECONTROL",
      "LPOLECONTROLSITE", "LPOLEINPLACEACTIVEOBJECT", "LPOLEINPLACEFRAME", "LPOLEINPLACEOBJECT",
      "LPOLEINPLACESITE", "LPOLEINPLACEUIWINDOW", "LPOLEITEMCONTAINER", "LPOLELINK",
      "LPOLEOBJECT", "LPOLEWINDOW", "LPPARSEDISPLAYNAME", "LPPERPROPERTYBROWSING", "LPPERSIST",
      "LPPERSISTFILE", "LPPERSISTPROPERTYBAG", "LPPERSISTSTORAGE", "LPPERSISTSTREAM",
      "LPPERSISTSTREAMINIT", "LPPICTURE", "LPPICTUREDISP", "LPPROPERTYBAG", "LPPROPERTYBAG2",
      "LPPROPERTYNOTIFYSINK", "LPPROPERTYPAGE", "LPPROPERTYPAGE2", "LPPROPERTYPAGESITE",
      "LPPROPERTYSETSTORAGE", "LPPROVIDECLASSINFO", "LPPROVIDECLASSINFO2", "LPPSFACTORYBUFFER",
      "LPRECORDINFO", "LPROOTSTORAGE", "LPRPCCHANNELBUFFER", "LPRPCPROXYBUFFER",
      "LPRPCSTUBBUFFER", "LPRUNNINGOBJECTTABLE", "LPSERVICEPROVIDER", "LPSHELLBROWSER",
      "LPSHELLEXTINIT", "LPSHELLFOLDER", "LPSHELLICON", "LPSHELLPROPSHEETEXT", "LPSHELLVIEW",
      "LPSPECIFYPROPERTYPAGES", "LPSTDMARSHALINFO", "LPSTORAGE", "LPSTREAM",
      "LPSUPPORTERRORINFO", "LPTYPECOMP", "LPTYPEINFO", "LPTYPEINFO2", "LPTYPELIB", "LPTYPELIB2",
      "LPUNKNOWN", "LPVARIANT", "LPVARIANTARG", "LPVIEWOBJECT", "LPVIEWOBJECT2",
      "LPWAVEFORMATEX", "PCreateStructA", "PCreateStructW", "PElemDesc", "PFLOAT", "PInAddr",
      "PROPERTYKEY", "PSockAddr"};
    if (kNotInPascalUnits.contains(name)) return DeclaredByUsedUnit(name);
    const DefinitionTables& d = ctx_.Defs;
    // A pointer type of the tables to a record this unit declares itself: the Windows or
    // ActiveX unit's pointer (where it has one) points to its own record, not this one.
    if (const int p = d.PointerTypes.FindExact(name);
        p >= 0 && p < d.PointeeTypes.Count() && own_.contains(AsciiLowerCopy(d.PointeeTypes.Text(p))))
      return false;
    // The tables' Pascal types and pointer types, and their COM interfaces (the ActiveX
    // unit's). The records their pointer types point to are not all the Windows unit's.
    if (d.TypeValues.Contains(name) || d.PointerTypes.Contains(name) ||
        d.InterfaceNames.Contains(name) || d.ClassNames.Contains(name) ||
        d.ConstNames.Contains(name))
      return true;
    return DeclaredByUsedUnit(name);
  }

  // Declared by another unit that made it into the uses clause (one that leads back to this
  // unit cannot).
  bool DeclaredByUsedUnit(const std::string& name) {
    for (const std::string& unit : OtherUnitsDeclaring(ctx_, name))
      if (uses_.find(" " + AsciiLowerCopy(unit) + ",") != std::string::npos) return true;
    return false;
  }

  bool AllKnown(const std::string& code) {
    std::vector<std::string> types;
    if (IsRoutineHead(code)) {
      // "name: T" pairs inside the parentheses, and the result after them.
      const std::size_t open = code.find('(');
      std::size_t close = open == std::string::npos ? std::string::npos : code.rfind(')');
      if (open != std::string::npos && close != std::string::npos && close > open) {
        for (std::size_t p = open; (p = code.find(':', p + 1)) < close;)
          types.push_back(TypeAt(code, p + 1));
      } else {
        close = code.find(')') == std::string::npos ? code.find(':') - 1 : close;
      }
      if (close != std::string::npos) {
        std::size_t p = close + 1;
        while (p < code.size() && code[p] == ' ') ++p;
        if (p < code.size() && code[p] == ':') types.push_back(TypeAt(code, p + 1));
      }
    } else if (const std::size_t colon = code.find("\t: "); colon != std::string::npos) {
      types.push_back(TypeAt(code, colon + 3));  // a field, variable or typed constant
    } else if (const std::size_t eq = code.find("\t= "); eq != std::string::npos &&
                                                         StartsWith(code, "  ") && inTypes_) {
      types.push_back(TypeAt(code, eq + 3));  // an alias
    } else if (eq != std::string::npos && StartsWith(code, "  ")) {
      // A constant's value cast to a type ("X = T(0)") needs the type.
      std::size_t p = eq + 3, end = p;
      while (end < code.size() && IsWordChar(code[end])) ++end;
      if (end > p && end < code.size() && code[end] == '(' &&
          !std::isdigit(static_cast<unsigned char>(code[p])))
        types.push_back(code.substr(p, end - p));
    }
    for (const std::string& t : types)
      if (!t.empty() && !Known(t)) return false;
    // The names in an array's bounds ("array[0..N-1] of T") must be declared too.
    const std::size_t open = code.find("array[");
    const std::size_t close = open == std::string::npos ? open : code.find(']', open);
    for (std::size_t p = open + 6; close != std::string::npos && p < close;) {
      if (!std::isalpha(static_cast<unsigned char>(code[p])) && code[p] != '_') {
        ++p;
        continue;
      }
      std::size_t end = p;
      while (end < close && IsWordChar(code[end])) ++end;
      const std::string name = code.substr(p, end - p);
      const std::string key = AsciiLowerCopy(name);
      if (own_.contains(key) ? !declared_.contains(key) : !IsKnownName(ctx_, name)) return false;
      p = end;
    }
    return true;
  }


  // A record the tables name with a Pascal type ("typedef struct _GUID {...} GUID;" becomes
  // "TGUID = record"): declared again it would hide the Windows unit's type and its fields.
  void CommentTableRecords() {
    for (int i = kFirstLine; i < pane_.Count(); ++i) {
      const std::string_view line = pane_.Line(i);
      if (!line.ends_with("= record") && !line.ends_with("= packed record")) continue;
      const std::string name(DeclaredOnLine(line));
      if (name.empty() || !ctx_.Defs.TypeValues.Contains(name) || ctx_.Defs.TypeNames.Contains(name))
        continue;
      // Only a record whole between its head and end (no directive inside).
      int end = -1;
      for (int k = i + 1; k < pane_.Count() && end < 0; ++k) {
        const std::string_view text = pane_.Line(k);
        if (StartsWith(text, "{$")) break;
        if (StartsWith(text, "  end;")) end = k;
      }
      if (end < 0) continue;
      for (int k = i; k <= end; ++k) pane_.Replace(k, "// " + pane_.Line(k));
      i = end;
    }
  }

  // "  X = interface;" that the unit never completes: the tables' interfaces are the ActiveX
  // unit's (the forward declaration would hide them), any other stays incomplete.
  void SettleForwardInterfaces() {
    std::unordered_set<std::string> completed;
    for (int i = 0; i < pane_.Count(); ++i) {
      const std::string_view line = pane_.Line(i);
      const std::string_view name = DeclaredOnLine(line);
      if (!name.empty() && !line.ends_with("= interface;") &&
          line.find("= interface") != std::string_view::npos)
        completed.insert(AsciiLowerCopy(name));
    }
    for (int i = kFirstLine; i < pane_.Count(); ++i) {
      const std::string_view line = pane_.Line(i);
      if (!line.ends_with("= interface;")) continue;
      const std::string name(DeclaredOnLine(line));
      if (name.empty()) continue;
      if (completed.contains(AsciiLowerCopy(name))) {
        // A compiler wants the interface completed in the type section of its forward
        // declaration; completed in a later one, the forward declaration goes, and what
        // refers to the interface before it is complete becomes an error line.
        if (!CompletedInSection(i, name)) pane_.Replace(i, "// " + std::string(line));
        continue;
      }
      if (ctx_.Defs.InterfaceNames.Contains(name)) {
        pane_.Replace(i, "// " + std::string(line));
        own_.erase(AsciiLowerCopy(name));
      } else {
        MakeErrorLine(i);
      }
    }
  }

  // A record field of an interface type: a compiler counts references to it and will not
  // have it in a variant part, nor in a record that stands in one; C holds a plain pointer.
  void InterfaceFieldAsPointer(int i, std::string& code) {
    const std::size_t colon = code.find("\t: ");
    if (colon == std::string::npos || StartsWith(code, "  ")) return;
    const std::string type = TypeAt(code, colon + 3);
    if (type.empty() || type == "?") return;
    if (!ctx_.Defs.InterfaceNames.Contains(type) && !ctx_.InterfaceNames.Contains(type)) return;
    std::string line = pane_.Line(i);
    const std::size_t at = line.find(type, line.find("\t: ") + 3);
    if (at == std::string::npos) return;
    line.replace(at, type.size(), "Pointer");
    line += "\t// " + type;
    pane_.Replace(i, line);
    code = Code(line, inner_);
  }

  // A declaration that became an error line declares nothing for the units that include
  // this one either.
  void Forget(const std::string& name) {
    const std::string key = AsciiLowerCopy(name);
    // Declared in another branch too: what follows cannot count on it.
    declared_.erase(key);
    ctx_.DeclaredIn.erase(key);
    std::erase(ctx_.DeclaredOrder, key);
    std::erase_if(ctx_.NewTypeIdx, [&](int k) { return EqualsIgnoreCase(ctx_.TypeNames.Text(k), name); });
    std::erase_if(ctx_.NewPointerIdx,
                  [&](int k) { return EqualsIgnoreCase(ctx_.PointerTypes.Text(k), name); });
  }

  bool CompletedInSection(int forward, const std::string& name) const {
    for (int i = forward + 1; i < pane_.Count(); ++i) {
      const std::string_view line = pane_.Line(i);
      if (line == "type" || line == "const" || line == "var" || line == "implementation" ||
          StartsWith(line, "  function ") || StartsWith(line, "  procedure "))
        return false;
      if (EqualsIgnoreCase(DeclaredOnLine(line), name) && !line.ends_with("= interface;") &&
          line.find("= interface") != std::string_view::npos)
        return true;
    }
    return false;
  }

  void MakeErrorLine(int i) {
    if (const std::string_view name = DeclaredOnLine(pane_.Line(i)); !name.empty())
      Forget(std::string(name));
    pane_.Replace(i, "// Error : " + std::string(SkipBlanks(pane_.Line(i))));
    pane_.MarkLine(i, 3, 5, TextStyle::Red);
    ++ctx_.ErrorCount;
  }

  ConversionContext& ctx_;
  OutputPane& pane_;
  std::unordered_set<std::string> own_, declared_, routines_;
  std::string uses_;  // the uses clause's units, lower case, each after " " and before ","
  bool inTypes_ = false;
  bool record_ = false;
  bool inner_ = false;  // comment state of a rewritten line (it opens none)
};

// Compiler-ready: the names the unit's declarations use that neither this unit nor the
// units it includes declare are looked up among the other converted units (IsKnownName),
// whose units then join the uses clause. C headers often use what only their includer
// brought in. Field and parameter names (followed by ":") and Pascal's words are passed over.
// Calls f(p, end) for every word of the line's code: outside comments ("(*" comments go on
// over lines), directives and strings; numbers are no words.
template <class F>
void ForEachCodeWord(const std::string& line, bool& comment, F&& f) {
  std::size_t p = 0;
  while (p < line.size()) {
    if (comment) {
      const std::size_t close = line.find("*)", p);
      if (close == std::string::npos) return;
      comment = false;
      p = close + 2;
      continue;
    }
    const char c = line[p];
    if (c == '/' && p + 1 < line.size() && line[p + 1] == '/') return;
    if (c == '(' && p + 1 < line.size() && line[p + 1] == '*') {
      comment = true;
      p += 2;
      continue;
    }
    if (c == '{' || c == '\'') {  // directives and strings
      const std::size_t close = line.find(c == '{' ? '}' : '\'', p + 1);
      if (close == std::string::npos) return;
      p = close + 1;
      continue;
    }
    if (c == '$' || std::isdigit(static_cast<unsigned char>(c))) {
      ++p;
      while (p < line.size() && std::isalnum(static_cast<unsigned char>(line[p]))) ++p;
      continue;
    }
    if (!(std::isalpha(static_cast<unsigned char>(c)) || c == '_')) {
      ++p;
      continue;
    }
    std::size_t end = p;
    while (end < line.size() &&
           (std::isalnum(static_cast<unsigned char>(line[end])) || line[end] == '_'))
      ++end;
    f(p, end);
    p = end;
  }
}

void FindNamesOfOtherUnits(ConversionContext& ctx) {
  static const std::unordered_set<std::string> kWords = {
      "abstract", "array",     "begin",    "cdecl",   "class",    "const",   "end",
      "export",   "external",  "function", "interface", "name",   "of",      "packed",
      "pascal",   "procedure", "record",   "register", "safecall", "stdcall", "type",
      "var",      "varargs",   "virtual",  "case",    "out",      "string",  "set",
      "file",     "to",        "object",   "in"};
  static const std::unordered_set<std::string_view> kActiveXTypes = {
      "LPFORMATETC", "LPSTGMEDIUM", "PCoServerInfo", "PDispParams", "PExcepInfo",
      "PFormatEtc",  "PFuncDesc",   "PMultiQI",      "POleStr",     "PPropSpec",
      "PPropVariant", "PROPVARIANT", "PSafeArray",   "PStatPropStg", "PStatStg",
      "PStgMedium",  "PTypeAttr",   "PTypeDesc",     "PVarDesc"};
  bool comment = false;
  bool constants = false;  // a constant's value was checked when it was written
  for (int i = kUsesLine + 1; i < ctx.Pane.Count(); ++i) {
    const std::string line = ctx.Pane.Line(i);  // a copy: look-ups do not change the pane
    if (line == "const" || line == "type" || line == "var") constants = line == "const";
    if (constants && !comment) continue;
    ForEachCodeWord(line, comment, [&](std::size_t p, std::size_t end) {
      std::size_t after = end;
      while (after < line.size() && (line[after] == ' ' || line[after] == '\t')) ++after;
      const bool named = after < line.size() && line[after] == ':' &&
                         !(after + 1 < line.size() && line[after + 1] == '=');
      const std::string word = line.substr(p, end - p);
      // The tables' COM interfaces are declared by the ActiveX unit, and so are some of the
      // Pascal types they write.
      if (!ctx.UsesOle) {
        const int ptr = ctx.Defs.PointerTypes.FindExact(word);
        if (ctx.Defs.InterfaceNames.Contains(word) || kActiveXTypes.contains(word) ||
            (ptr >= 0 && ptr < ctx.Defs.PointeeTypes.Count() && ctx.Defs.PointeeTypes.Tag(ptr) == 1))
          ctx.UsesOle = true;
      }
      if (!named && !kWords.contains(AsciiLowerCopy(word))) IsKnownName(ctx, word);
    });
  }
}

// Compiler-ready: a unit of the uses clause named like a name it declares (hstring.h's
// HSTRING) hides that name: the compiler reads the word as the unit's. Where this unit does
// not declare the name itself, it is written qualified ("hstring.HSTRING").
void QualifyNamesLikeUnits(ConversionContext& ctx) {
  OutputPane& pane = ctx.Pane;
  if (pane.Count() <= kUsesLine) return;
  std::unordered_map<std::string, std::string> units;  // lower case -> as in the uses line
  const std::string uses = pane.Line(kUsesLine);
  for (std::size_t p = uses.find(' '); p != std::string::npos && p < uses.size();) {
    std::size_t end = uses.find_first_of(",;", p);
    if (end == std::string::npos) end = uses.size();
    std::string unit(SkipBlanks(std::string_view(uses).substr(p, end - p)));
    if (!unit.empty() && unit.front() == '&') unit.erase(0, 1);
    if (!unit.empty()) units.emplace(AsciiLowerCopy(unit), unit);
    p = end + 1;
  }
  bool comment = false;
  for (int i = kUsesLine + 1; i < pane.Count(); ++i) {
    const std::string line = pane.Line(i);
    std::string text;
    std::size_t copied = 0;
    ForEachCodeWord(line, comment, [&](std::size_t p, std::size_t end) {
      const std::string key = AsciiLowerCopy(std::string_view(line).substr(p, end - p));
      const auto unit = units.find(key);
      if (unit == units.end() || (p > 0 && line[p - 1] == '.') ||
          (end < line.size() && line[end] == '.') || ctx.DeclaredIn.contains(key))
        return;
      std::string declaredBy;
      if (!FoundInOtherUnit(ctx, key, &declaredBy) || !EqualsIgnoreCase(declaredBy, unit->second))
        return;
      text.append(line, copied, p - copied);
      (text += unit->second) += '.';
      copied = p;
    });
    if (copied > 0) pane.Replace(i, text + line.substr(copied));
  }
}

constexpr int kMaxPendingTokens = 4096;

// Writes the statement in TokenList, which waits for more lines, as an error line.
void WriteWaitingStatement(ConversionContext& ctx) {
  if (!ctx.TokenList.Empty()) {
    Statement st;
    st.Outcome = 0;
    WriteOutcome(ctx, st);
  }
  ctx.Pending = false;
  ctx.RoutineTypedef = false;
}

// Ends a statement that waits for more lines as an error line: a star that waited for the
// next line's word is shown with it.
void FlushPending(ConversionContext& ctx) {
  if (ctx.PendingStar) ctx.TokenList.Add("*");
  ctx.PendingStar = false;
  WriteWaitingStatement(ctx);
}

// Whether the current line is a preprocessor directive that would be swallowed by a statement
// waiting for its ";". A macro call written without ";" (common in real headers) would
// otherwise take the "#endif" that follows it, and the unit's conditionals would no longer
// balance. A pending "}" keeps its directive: the frame writes it as "// }" and the directive.
bool StartsDirective(const ConversionContext& ctx) {
  if (ctx.InBlockComment || ctx.InString || ctx.InBrackets || ctx.BodyDepth > 0) return false;
  if (ctx.TokenList.Empty() || ctx.TokenList.Is(0, "}")) return false;
  std::string_view s = SkipBlanks(ctx.CurrentLine);
  return !s.empty() && s.front() == '#';
}

// A failure inside a line is marked and counted, and the conversion goes on: it always
// reaches its end. It is called inside the catch block: running out of memory ends the file
// instead, since no line of a unit is worth converting on without memory.
void RecordFailure(ConversionContext& ctx, std::vector<ConversionResult::Failure>& failures,
                   int lineNumber, const std::exception& e) {
  if (dynamic_cast<const std::bad_alloc*>(&e)) throw;
  WriteApplicationError(ctx);
  const bool unreadable = dynamic_cast<const UnreadableFile*>(&e) != nullptr;
  failures.push_back(
      {lineNumber, e.what(), dynamic_cast<const IntendedFailure*>(&e) != nullptr, unreadable});
}

// Translates the statement in TokenList and then those that followed it on its line, each
// with its own failure handling: a failure ends its statement, not the line.
void TranslateLine(ConversionContext& ctx, int lineNumber,
                   std::vector<ConversionResult::Failure>& failures) {
  std::deque<TStringList2::Entry>& following = ctx.FollowingTokens;
  for (;;) {
    const std::size_t queued = ctx.SourceLines.size();
    try {
      TranslateStatement(ctx);
      if (ctx.Retranslate) {
        TranslateStatement(ctx);
        ctx.Retranslate = false;
      }
      // A statement that never finds its end (unbalanced braces around a C++ block, a
      // missing ";") would be scanned again for every line it takes in; no declaration is
      // this long, so it is shown as an error line and the next line starts afresh.
      if (ctx.Pending && ctx.TokenList.Count() > kMaxPendingTokens) FlushPending(ctx);
    } catch (const std::exception& e) {
      RecordFailure(ctx, failures, lineNumber, e);  // the statement's failure only
    }
    if (following.empty()) return;
    // A statement that ends in ";" and still waits for more lines would take in every line
    // after it, to be cut off again at the same ";": it is shown as an error line, and what
    // followed it is translated on its own.
    if (ctx.Pending) WriteWaitingStatement(ctx);
    if (ctx.SourceLines.size() > queued) {
      // The statement put lines back to be read next: what followed it follows the last one.
      std::string rest;
      for (std::size_t i = 0; i < following.size(); ++i)
        (rest += ' ') += AsSource(following[i].Text, i + 1 == following.size());
      ctx.SourceLines.AppendToLine(ctx.SourceLines.size() - queued - 1, rest);
      following.clear();
      return;
    }
    ctx.TokenList.Clear();
    ctx.FunctionLikeDefine = false;  // only a line can begin with "#define"
    ctx.DefineName.clear();
    const int end = StatementEnd(
        static_cast<int>(following.size()),
        [&](int i) -> const std::string& { return following[static_cast<std::size_t>(i)].Text; });
    for (int i = 0; i < end; ++i) {
      ctx.TokenList.Add(std::move(following.front().Text), following.front().Tag);
      following.pop_front();
    }
  }
}

// The name of a "#define" line as written (blanks may stand around the "#"), and whether a
// "(" follows it with no blank between, the C form of a macro that takes parameters.
void ReadDefineHead(std::string_view line, ConversionContext& ctx) {
  ctx.DefineName.clear();
  ctx.FunctionLikeDefine = false;
  line = SkipBlanks(line);
  if (line.empty() || line.front() != '#') return;
  line = SkipBlanks(line.substr(1));
  if (!StartsWith(line, "define")) return;
  line.remove_prefix(6);
  const std::size_t name = line.find_first_not_of(" \t");
  if (name == 0 || name == std::string_view::npos) return;
  line.remove_prefix(name);
  const std::size_t end =
      line.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_$");
  ctx.DefineName = line.substr(0, end);
  ctx.FunctionLikeDefine = end != 0 && end != std::string_view::npos && line[end] == '(';
}

// What closes the Pascal comment that `lines` leave open at their end: "*)" or "}"; null when
// none is open. Strings and "//" comments end with their line.
const char* OpenCommentCloser(const std::vector<std::string>& lines) {
  enum { Code, Paren, Brace } state = Code;
  for (const std::string& line : lines) {
    for (std::size_t i = 0; i < line.size(); ++i) {
      const char c = line[i];
      const char next = i + 1 < line.size() ? line[i + 1] : '\0';
      if (state == Paren) {
        if (c == '*' && next == ')') {
          state = Code;
          ++i;
        }
      } else if (state == Brace) {
        if (c == '}') state = Code;
      } else if (c == '/' && next == '/') {
        break;
      } else if (c == '(' && next == '*') {
        state = Paren;
        ++i;
      } else if (c == '{') {
        state = Brace;
      } else if (c == '\'') {
        const std::size_t end = line.find('\'', i + 1);
        if (end == std::string::npos) break;
        i = end;
      }
    }
  }
  return state == Paren ? "*)" : state == Brace ? "}" : nullptr;
}

void RunLineLoop(ConversionContext& ctx, std::vector<ConversionResult::Failure>& failures) {
  const std::size_t total = ctx.SourceLines.size();
  std::size_t done = 0;
  std::size_t shownPercent = ~std::size_t{0};
  bool continued = false;  // the last line ended in "\"
  while (!ctx.SourceLines.empty()) {
    ctx.CurrentLine.assign(ctx.SourceLines.front());  // keeps the buffer of the last line
    ctx.SourceLines.pop_front();
    ctx.ReadingExpansion = ctx.ExpandedLines > 0;
    if (ctx.ExpandedLines > 0) --ctx.ExpandedLines;
    if (ctx.Pending && !continued && StartsDirective(ctx)) FlushPending(ctx);
    if (!ctx.Pending) {
      ctx.TokenList.Clear();
      ctx.PendingStar = false;  // a star waits for a word of its own statement only
      ReadDefineHead(ctx.CurrentLine, ctx);
    }
    continued = false;
    const int lineNumber = static_cast<int>(done + 1);
    try {
      TokenizeLine(ctx.CurrentLine, ctx);
      if (!ctx.TokenList.Empty() && ctx.TokenList.Last() == "\\") {
        continued = true;
        ctx.Pending = true;
        ctx.TokenList.Delete(ctx.TokenList.Count() - 1);
      } else {
        // A star that no word followed on its line waits for the next line's word while its
        // statement goes on. A directive line is complete, and a star alone has no statement
        // to wait in: there it reaches the rules as a token of its own («#define LPX X*»).
        if (ctx.PendingStar && (ctx.TokenList.Empty() || StartsWith(ctx.TokenList.Text(0), "#"))) {
          // It stands where it was written: before the comments that end the line.
          int at = ctx.TokenList.Count();
          while (at > 0 && IsCommentToken(ctx.TokenList.Text(at - 1))) --at;
          ctx.TokenList.Insert(at, "*");
          ctx.PendingStar = false;
        }
        TranslateLine(ctx, lineNumber, failures);
        if (ctx.PendingStar && !ctx.Pending) {
          // A rule took the statement as complete without the star: it is shown, not lost.
          ctx.PendingStar = false;
          WriteErrorLine(ctx, " *");
        }
      }
    } catch (const std::exception& e) {
      RecordFailure(ctx, failures, lineNumber, e);
    }
    ++done;
    // The status text changes at most a hundred times; it is only rebuilt when it does.
    if (const std::size_t percent = done * 100 / total; percent != shownPercent) {
      shownPercent = percent;
      ctx.Host.ShowStatus(" Converting (h -> pas) ... (" + std::to_string(percent) + "%)");
    }
    ctx.Host.ProcessPendingEvents();
  }
  // A statement still waiting for its end when the file ends (an unfinished declaration, a
  // last line ending in "\") is shown as an error line rather than lost.
  if (ctx.Pending) FlushPending(ctx);
  // A comment (or a routine body carried as one) that the file never closes would take in the
  // unit's tail: it is closed here, and an error line says so. The unit's own lines tell
  // which comment is open, if any: one that came with a waiting statement is inside that
  // statement's error line.
  if (ctx.InBlockComment) {
    if (const char* closer = OpenCommentCloser(ctx.Pane.Lines())) {
      WriteLine(ctx, closer);
      const bool body = ctx.BodyDepth > 0 || std::string_view(closer) == "}";
      WriteErrorLine(ctx, body ? "the body above has no closing } in the file"
                               : "the comment above has no closing */ in the file");
    }
    ctx.InBlockComment = false;
    ctx.BodyDepth = 0;
  }
}

}  // namespace

void WriteApplicationError(ConversionContext& ctx) {
  std::size_t pos = ctx.Pane.TextLength();
  ctx.Pane.Add("// Application Error : ");
  ctx.Pane.MarkRange(pos + 3, 17, TextStyle::Red);
  ++ctx.ErrorCount;
}

// Compiler-ready: the branches of "#ifdef __WIDL__" (and of "#ifndef __WIDL__" after its
// #else) are for the IDL compiler, never for C: winnt.h opens a record there and another
// one in the #else. Their lines become comments, so that the rules do not join the two. A
// branch where a block comment opens and does not close on its line is left as it is.
void CommentIdlCompilerBranches(ConversionContext& ctx) {
  auto directive = [](std::string_view line) -> std::string_view {
    line = SkipBlanks(line);
    if (line.empty() || line.front() != '#') return {};
    return SkipBlanks(line.substr(1));
  };
  // +1: the first branch is the IDL compiler's; -1: the branches after the first are.
  auto widlKind = [](std::string_view d) {
    std::string text;
    for (char c : d)
      if (c != ' ' && c != '\t') text += c;
    if (text.find("/*") != std::string::npos) text.erase(text.find("/*"));
    if (text == "ifdef__WIDL__" || text == "ifdefined(__WIDL__)") return 1;
    if (text == "ifndef__WIDL__" || text == "if!defined(__WIDL__)") return -1;
    return 0;
  };
  auto& src = ctx.SourceLines;
  // Whether a block comment opens in the lines of the conditional that starts at `from`
  // and is still open at the end of its line.
  auto openComment = [&](std::size_t from) {
    int depth = 0;
    for (std::size_t j = from; j < src.size(); ++j) {
      const std::string_view d = directive(src[j]);
      if (StartsWith(d, "if")) ++depth;
      if (StartsWith(d, "endif") && --depth == 0) return false;
      const std::size_t open = src[j].rfind("/*");
      if (open != std::string_view::npos && src[j].find("*/", open) == std::string_view::npos)
        return true;
    }
    return true;
  };
  struct Open {
    int Kind;
    bool First = true;
  };
  std::vector<Open> open;
  // Whether the first n open conditionals are in a branch for the IDL compiler.
  auto commenting = [&](std::size_t n) {
    for (std::size_t k = 0; k < n && k < open.size(); ++k)
      if ((open[k].Kind == 1 && open[k].First) || (open[k].Kind == -1 && !open[k].First))
        return true;
    return false;
  };
  std::deque<std::string_view> kept;
  for (std::size_t i = 0; i < src.size(); ++i) {
    const std::string_view line = src[i];
    const std::string_view d = directive(line);
    bool comment = false;
    // A directive counts in the conditionals around its own.
    if (StartsWith(d, "if")) {
      comment = commenting(open.size());
      const int kind = comment ? 0 : widlKind(d);
      open.push_back({kind != 0 && openComment(i) ? 0 : kind});
    } else if (StartsWith(d, "el") && !open.empty()) {
      open.back().First = false;
      comment = commenting(open.size() - 1);
    } else if (StartsWith(d, "endif") && !open.empty()) {
      open.pop_back();
      comment = commenting(open.size());
    } else {
      comment = commenting(open.size());
    }
    kept.push_back(comment ? src.Own("// " + std::string(line)) : line);
  }
  src.Select(std::move(kept));
}

void PrepareSource(ConversionContext& ctx) {
  ctx.InterfaceNames = ctx.Defs.InterfaceNames;
  ctx.ClassNames = ctx.Defs.ClassNames;
  const bool resolve = ctx.Options.DefineCplusplus;
  CplusplusState state;
  std::deque<std::string_view> kept;
  auto& src = ctx.SourceLines;
  for (std::size_t i = 0; i < src.size(); ++i) {
    const std::string_view line = src[i];
    if (resolve) {
      CplusplusAction a = ResolveCplusplusLine(line, state);
      if (a == CplusplusAction::Delete) continue;
      if (a == CplusplusAction::KeepDirective) {
        kept.push_back(line);
        continue;
      }
    }
    std::string_view s = SkipBlanks(line);
    if (StartsWith(s, "DECLARE_INTERFACE_")) {
      std::size_t open = s.find('(');
      if (open != std::string_view::npos)
        Register(ctx.InterfaceNames, ctx.NewInterfaceIdx, NameUpTo(s.substr(open + 1), " \t,"));
    } else if (StartsWith(s, "class") && s.size() > 5 && (s[5] == ' ' || s[5] == '\t')) {
      Register(ctx.ClassNames, ctx.NewClassIdx, NameUpTo(s.substr(5), " \t:"));
    } else if (StartsWith(s, "interface DECLSPEC_UUID") || StartsWith(s, "MIDL_INTERFACE")) {
      kept.push_back(line);
      if (i + 1 < src.size()) {
        ++i;  // the name line is taken as it is and the walk goes on after it
        Register(ctx.InterfaceNames, ctx.NewInterfaceIdx, NameUpTo(src[i], " \t:"));
        kept.push_back(src[i]);
      }
      continue;
    }
    kept.push_back(line);
  }
  src.Select(std::move(kept));
}

ConversionResult ConvertText(const std::string& path, std::string_view bytes,
                             const BannerDate& fileDate, DefinitionTables& tables,
                             const ConversionOptions& options, ConversionHost& host,
                             OutputPane& pane) {
  ConversionContext ctx(tables, options, pane, host);
  const std::string fileName = FileNameOf(path);
  ctx.InputPath = path;
  ctx.UnitName = StemOf(path);
  ctx.CopyTables();
  host.ShowStatus(" Converting (h -> pas) ...");
  pane.Clear();
  WriteHead(ctx, fileName, fileDate);

  std::string ext = fs::path(path).extension().string();
  if (EqualsIgnoreCase(ext, ".idl")) {
    for (std::string& line : ConvertIdl(SplitLines(bytes), host))
      ctx.SourceLines.push_back(std::move(line));
  } else {
    for (std::string_view line : SplitLineViews(bytes)) ctx.SourceLines.push_back_view(line);
  }
  if (options.CompileReady) CommentIdlCompilerBranches(ctx);
  PrepareSource(ctx);
  ConversionResult result;
  RunLineLoop(ctx, result.Failures);
  if (options.CompileReady) {
    FindNamesOfOtherUnits(ctx);
    SettleCompilerUses(ctx);
  }
  WriteTail(ctx);
  if (options.CompileReady) {
    QualifyNamesLikeUnits(ctx);
    TakeInterfaceBranches(pane);
    UnknownTypeLines(ctx).Run();
    ResolveForwardPointers(ctx);
    CommentEmptyVariantParts(pane);
    DropEmptySections(pane);
    RenameCaseTwinFields(pane);
  }

  result.UnitName = ctx.UnitName;
  result.ErrorCount = ctx.ErrorCount;
  if (IncludeCacheNeeded(ctx)) {
    if (options.CacheWriteDir.empty()) {
      result.CacheNotKept = true;
    } else {
      std::string error;
      result.CacheWritten = WriteIncludeCache(ctx, error);
      result.CacheError = error;
    }
  }
  host.ShowStatus(" Error = " + std::to_string(ctx.ErrorCount));
  return result;
}

LoadedHeader LoadHeader(const std::string& path) {
  LoadedHeader h;
  if (FileResult r = ReadTextFile(path, h.Bytes, h.Encoding); !r)
    throw std::runtime_error(r.Message);
  h.FileDate = TodayDate();
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) h.FileDate = FromTimeT(st.st_mtime);
  return h;
}

ConversionResult ConvertHeader(const std::string& path, DefinitionTables& tables,
                               const ConversionOptions& options, ConversionHost& host,
                               OutputPane& pane) {
  const LoadedHeader header = LoadHeader(path);
  ConversionResult result =
      ConvertText(path, header.Bytes, header.FileDate, tables, options, host, pane);
  result.Encoding = header.Encoding;
  return result;
}

}  // namespace tqc
