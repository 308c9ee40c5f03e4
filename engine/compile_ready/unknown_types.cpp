// Pass. C shape: a declaration that names a type no unit declares before it («HRESULT
// f(IFoo *p);» where nothing declares IFoo; a header that uses what its includer declares
// first; a type of another header set). The compiler would stop at the first such name: each
// such line becomes an error line, so the unit compiles and the user sees what is missing.
// Only the places where Pascal expects a type are read: aliases, fields, variables,
// parameters and results, and the names in array bounds; a pointer may point ahead. C's own
// typedef of a Windows type («typedef unsigned long ULONG;», «ULONG = ULONG;») is no alias: it
// becomes a comment, the type is the Windows unit's.
#include <string>
#include <unordered_set>
#include <vector>

#include "compile_ready/declarations.h"
#include "compile_ready/passes.h"
#include "context.h"
#include "type_mapping.h"

namespace tqc {

namespace {

constexpr int kMaxHeadLines = 64;

std::string_view SkipBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

bool StartsWithText(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && s.substr(0, prefix.size()) == prefix;
}

int Depth(std::string_view code) {
  int depth = 0;
  for (char c : code) depth += c == '(' ? 1 : c == ')' ? -1 : 0;
  return depth;
}

bool IsSelfAlias(std::string_view code) {
  const std::size_t eq = code.find("\t= ");
  if (!StartsWithText(code, "  ") || eq == std::string_view::npos) return false;
  const std::string type = TypeAt(code, eq + 3);
  const std::string_view name = DeclaredOnLine(code);
  return !type.empty() && EqualsIgnoreCase(type, name);
}

class UnknownTypes {
 public:
  UnknownTypes(ConversionContext& ctx, UnitModel& model, UnitNames& names)
      : ctx_(ctx), model_(model), names_(names) {
    uses_ = AsciiLowerCopy(ctx_.UsesExtra) + ",";  // final by now: ", name" per unit
  }

  void Run() {
    bool inTypes = false;  // aliases are read in type sections only
    for (int i = model_.First(); i < model_.Count(); ++i) {
      std::string code = model_.Code(i);
      if (code.empty()) continue;
      // A constant's value was checked when it was written.
      if (model_.Kind(i) == LineKind::SectionHeader) inTypes = code == "type";
      // A routine head may go on over several lines until its parentheses close; only over
      // lines of parameters.
      int last = i;
      bool broken = false;
      if (IsRoutineHead(code)) {
        while (Depth(code) > 0 && last + 1 < model_.Count() && last - i < kMaxHeadLines) {
          const std::string_view next = model_.Text(last + 1);
          if (!StartsWithText(next, "\t") && !StartsWithText(next, "   ")) break;
          ++last;
          (code += ' ') += model_.Code(last);
        }
        // Its end went into an error line: the head is no declaration either.
        broken = Depth(code) != 0;
      }
      if (inTypes && !broken && IsSelfAlias(code)) {
        const std::string name(model_.Name(i));
        ForgetDeclaration(ctx_, name);
        names_.Declared.erase(AsciiLowerCopy(name));
        names_.Own.erase(AsciiLowerCopy(name));
        model_.CommentOut(i);
        continue;
      }
      if (!broken && inTypes && IsOpaqueAlias(i, code)) {
        model_.Replace(i, "  " + std::string(DeclaredOnLine(code)) + "\t= record end;" +
                              TrailingComment(model_.Text(i)));
        names_.Declared.insert(AsciiLowerCopy(model_.Name(i)));
        continue;
      }
      if (!broken && model_.RecordOf(i) >= 0 && model_.Kind(i) == LineKind::Other &&
          !AllKnown(code, inTypes)) {
        // A field of a type no unit declares: the record would be smaller than C's. It is
        // no record then, and declares nothing.
        i = BreakRecord(model_.RecordOf(i));
        continue;
      }
      if (broken || !AllKnown(code, inTypes)) {
        // A "(*" comment the lines opened goes on after them: once they are "//" lines, the
        // lines it went on over are comments of their own.
        const bool commentAfter = last + 1 < model_.Count() && model_.CommentAtStart(last + 1);
        for (int k = i; k <= last; ++k) MakeCountedErrorLine(ctx_, model_, k, &names_);
        for (bool comment = commentAfter; comment && last + 1 < model_.Count();) {
          ++last;
          comment = model_.Text(last).find("*)") == std::string::npos;
          model_.CommentOut(last);
        }
      } else if (model_.Kind(i) == LineKind::Declaration) {
        names_.Declared.insert(AsciiLowerCopy(model_.Name(i)));
      }
      i = last;
    }
  }

 private:
  bool Known(const std::string& name) {
    const std::string key = AsciiLowerCopy(name);
    static const std::unordered_set<std::string> kWords = {
        "record", "packed", "interface", "class", "function", "procedure", "string", "set", "file",
        "sizeof", "ord",    "chr",       "high",  "low",      "succ",      "pred",   "lo",  "hi"};
    if (kWords.contains(key)) return true;
    if (ctx_.VoidNames.Contains(name)) return false;  // Pascal has no type "void"
    if (names_.Own.contains(key)) return names_.Declared.contains(key);
    if (names_.Routines.contains(key)) return false;  // a routine, no type
    // Pascal's own types, and what the type mapping writes for "unsigned int/long/char".
    static const std::unordered_set<std::string> kPascal = {
        "pointer",  "integer", "cardinal",  "byte",       "word",       "longint",    "longword",
        "int64",    "uint64",  "shortint",  "smallint",   "char",       "ansichar",   "widechar",
        "boolean",  "pchar",   "pwidechar", "nativeint",  "nativeuint", "single",     "double",
        "extended", "tguid",   "pansichar", "bytebool",   "wordbool",   "longbool",   "real",
        "currency", "comp",    "variant",   "olevariant", "widestring", "ansistring", "string",
        "uint",     "ulong",   "uchar"};
    if (kPascal.contains(key)) return true;
    const DefinitionTables& d = ctx_.Defs;
    // Names of the tables that neither the Windows nor the ActiveX unit declares (shell
    // interfaces, C++ classes, LP... pointers to interfaces): only a converted unit can.
    if (d.ConvertedOnlyNames.Contains(name)) return DeclaredByUsedUnit(name);
    // A pointer type of the tables to a record this unit declares itself: the Windows or
    // ActiveX unit's pointer (where it has one) points to its own record, not this one.
    if (const int p = d.PointerTypes.FindExact(name);
        p >= 0 && p < d.PointeeTypes.Count() &&
        names_.Own.contains(AsciiLowerCopy(d.PointeeTypes.Text(p))))
      return false;
    // The tables' Pascal types and pointer types, and their COM interfaces (the ActiveX
    // unit's). The records their pointer types point to are not all the Windows unit's.
    if (d.TypeValues.Contains(name) || d.PointerTypes.Contains(name) ||
        d.InterfaceNames.Contains(name) || d.ClassNames.Contains(name) ||
        d.ConstNames.Contains(name) || (!ctx_.UnixTarget() && d.WindowsUnitNames.Contains(name)))
      return true;
    return DeclaredByUsedUnit(name);
  }

  // Makes the record whose head is at `head` error lines up to its end; returns its last
  // line.
  int BreakRecord(int head) {
    int end = head;
    while (end + 1 < model_.Count() && model_.RecordOf(end + 1) == head) ++end;
    for (int k = head; k <= end; ++k) {
      if (model_.Kind(k) == LineKind::NoCode || model_.Kind(k) == LineKind::Directive) continue;
      MakeCountedErrorLine(ctx_, model_, k, &names_);
    }
    return end;
  }

  // «X = _X;» of «typedef struct _X X;» where no unit declares _X: C never shows the inside of
  // X, which is used through pointers only; an empty record gives it a name a compiler knows.
  bool IsOpaqueAlias(int i, const std::string& code) {
    if (model_.Kind(i) != LineKind::Declaration) return false;
    const auto alias = ctx_.ReadyState.TagAliases.find(AsciiLowerCopy(model_.Name(i)));
    const std::size_t eq = code.find("\t= ");
    if (alias == ctx_.ReadyState.TagAliases.end() || eq == std::string::npos) return false;
    const std::string target = TypeAt(code, eq + 3);
    // A tag the unit defines later is no type C keeps hidden.
    return target == alias->second && !names_.Own.contains(AsciiLowerCopy(target)) &&
           !Known(target);
  }

  static std::string TrailingComment(const std::string& text) {
    const std::size_t semicolon = text.find(';');
    return semicolon == std::string::npos ? std::string() : text.substr(semicolon + 1);
  }

  // Declared by another unit that made it into the uses clause (one that leads back to this
  // unit cannot).
  bool DeclaredByUsedUnit(const std::string& name) {
    for (const std::string& unit : OtherUnitsDeclaring(ctx_, name))
      if (uses_.find(" " + AsciiLowerCopy(unit) + ",") != std::string::npos) return true;
    return false;
  }

  bool AllKnown(const std::string& code, bool inTypes) {
    std::vector<std::string> types;
    if (IsRoutineHead(code)) {
      // "name: T" pairs inside the parentheses, and the result after them.
      const std::size_t open = code.find('(');
      std::size_t close = open == std::string::npos ? std::string::npos : code.rfind(')');
      if (open != std::string::npos && close != std::string::npos && close > open) {
        for (std::size_t p = open; (p = code.find(':', p + 1)) < close;)
          types.push_back(TypeAt(code, p + 1));
      } else if (code.find(')') == std::string::npos) {
        const std::size_t colon = code.find(':');
        close = colon == std::string::npos ? std::string::npos : colon - 1;
      }
      if (close != std::string::npos) {
        std::size_t p = close + 1;
        while (p < code.size() && code[p] == ' ') ++p;
        if (p < code.size() && code[p] == ':') types.push_back(TypeAt(code, p + 1));
      }
    } else if (const std::size_t colon = code.find("\t: "); colon != std::string::npos) {
      types.push_back(TypeAt(code, colon + 3));  // a field, variable or typed constant
    } else if (const std::size_t eq = code.find("\t= ");
               eq != std::string::npos && StartsWithText(code, "  ") && inTypes) {
      types.push_back(TypeAt(code, eq + 3));  // an alias
    } else if (eq != std::string::npos && StartsWithText(code, "  ")) {
      // A constant's value cast to a type ("X = T(0)") needs the type.
      std::size_t p = eq + 3, end = p;
      while (end < code.size() && IsWordChar(code[end])) ++end;
      if (end > p && end < code.size() && code[end] == '(' && !IsDigitChar(code[p]))
        types.push_back(code.substr(p, end - p));
      // «NETWORKINFO_SIZE = sizeof(NETWORKINFO)» needs the record.
      const std::string lower = AsciiLowerCopy(code);
      for (std::size_t at = lower.find("sizeof(", eq); at != std::string::npos;
           at = lower.find("sizeof(", at + 7)) {
        std::size_t q = at + 7, e = q;
        while (e < code.size() && IsWordChar(code[e])) ++e;
        if (e > q && e < code.size() && code[e] == ')' && !IsDigitChar(code[q]))
          types.push_back(code.substr(q, e - q));
      }
    }
    for (const std::string& t : types)
      if (!t.empty() && !Known(t)) return false;
    // C's array of no elements («LPADDRESSINFO lpAddressInfo[0];» ending a record) has no
    // Pascal form that keeps the record's size.
    if (code.find("..-1]") != std::string::npos || code.find("..-1,") != std::string::npos)
      return false;
    // The names in an array's bounds ("array[0..N-1] of T") must be declared too.
    const std::size_t open = code.find("array[");
    const std::size_t close = open == std::string::npos ? open : code.find(']', open);
    for (std::size_t p = open + 6; close != std::string::npos && p < close;) {
      if (!IsAlphaChar(code[p]) && code[p] != '_') {
        ++p;
        continue;
      }
      std::size_t end = p;
      while (end < close && IsWordChar(code[end])) ++end;
      const std::string name = code.substr(p, end - p);
      const std::string key = AsciiLowerCopy(name);
      if (names_.Own.contains(key) ? !names_.Declared.contains(key) : !IsKnownName(ctx_, name))
        return false;
      p = end;
    }
    return true;
  }

  ConversionContext& ctx_;
  UnitModel& model_;
  UnitNames& names_;
  std::string uses_;  // the uses clause's units, lower case, each after " " and before ","
};

}  // namespace

bool IsRoutineHead(std::string_view code) {
  code = SkipBlanks(code);
  if (StartsWithText(code, "function ") || StartsWithText(code, "procedure ")) return true;
  const std::size_t eq = code.find('=');
  if (eq == std::string_view::npos) return false;
  code = SkipBlanks(code.substr(eq + 1));
  return StartsWithText(code, "function") || StartsWithText(code, "procedure");
}

std::string TypeAt(std::string_view code, std::size_t p) {
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
  if (end == p || IsDigitChar(code[p])) return {};
  std::size_t after = end;
  while (after < code.size() && (code[after] == ' ' || code[after] == '\t')) ++after;
  // Only a name that the declaration ends with is a type here (not "record", a value...).
  if (after < code.size() && code[after] != ';' && code[after] != ')' && code[after] != '=')
    return {};
  return std::string(code.substr(p, end - p));
}

void UnitNames::Collect(UnitModel& model) {
  for (int i = model.First(); i < model.Count(); ++i) {
    if (model.Dead(i)) continue;
    if (model.Kind(i) == LineKind::Declaration) Own.insert(AsciiLowerCopy(model.Name(i)));
    if (model.Kind(i) != LineKind::RoutineHead) continue;
    const std::string& code = model.Code(i);
    std::size_t p = code.find(' ', 2) + 1, end = p;
    while (end < code.size() && IsWordChar(code[end])) ++end;
    if (end > p) Routines.insert(AsciiLowerCopy(std::string_view(code).substr(p, end - p)));
  }
}

void ForgetDeclaration(ConversionContext& ctx, const std::string& name) {
  // The lists the include cache is written from are cut once, at the end of the stage.
  ForgetDeclaredName(ctx, name);
}

void MakeCountedErrorLine(ConversionContext& ctx, UnitModel& model, int i, UnitNames* names) {
  const std::string name = model.MakeErrorLine(i);
  ++ctx.ErrorCount;
  if (name.empty()) return;
  ForgetDeclaration(ctx, name);
  if (names) names->Declared.erase(AsciiLowerCopy(name));
}

void ApplyForgotten(ConversionContext& ctx) {
  const auto& gone = ctx.ReadyState.Forgotten;
  if (gone.empty()) return;
  auto forgotten = [&](const std::string& name) { return gone.contains(AsciiLowerCopy(name)); };
  std::erase_if(ctx.ReadyState.DeclaredOrder, forgotten);
  std::erase_if(ctx.NewTypeIdx, [&](int k) { return forgotten(ctx.TypeNames.Text(k)); });
  std::erase_if(ctx.NewPointerIdx, [&](int k) { return forgotten(ctx.PointerTypes.Text(k)); });
  std::erase_if(ctx.NewFuncIdx, [&](int k) { return forgotten(ctx.FuncNames.Text(k)); });
}

void MarkUnknownTypes(ConversionContext& ctx, UnitModel& model, UnitNames& names) {
  UnknownTypes(ctx, model, names).Run();
  ApplyForgotten(ctx);
}

void ForgetNamesOfErrorLines(ConversionContext& ctx, UnitModel& model) {
  // A rule that registered a name and then wrote its statement as an error line («NTSTATUS»
  // read as the name of a routine type) declared nothing: the units that include this one
  // must not count on the name. Names some line does declare stay.
  UnitNames final;
  final.Collect(model);
  constexpr std::string_view kError = "// Error : ";
  for (int i = model.First(); i < model.Count(); ++i) {
    const std::string& text = model.Text(i);
    if (!text.starts_with(kError)) continue;
    const std::string_view name = DeclaredOnLine(std::string_view(text).substr(kError.size()));
    if (name.empty()) continue;
    const std::string key = AsciiLowerCopy(name);
    if (final.Own.contains(key) || final.Routines.contains(key) ||
        ctx.ReadyState.EnumMembers.contains(key))
      continue;
    ForgetDeclaredName(ctx, name);
  }
  ApplyForgotten(ctx);
}

}  // namespace tqc
