// Function prototypes, procedural types and DLL bindings: the last rule of the statement
// dispatch. A prototype becomes a routine declaration, a typedef of a routine type (after
// the typedef retry dropped "typedef") a procedural type, a routine body a comment after the
// declaration. Function-pointer parameters are split off into a procedural type of their
// own, and exported routines get their `external` lines in the implementation part.
#include "routines.h"

#include <cctype>
#include <unordered_map>
#include <vector>

#include "compile_ready/declarations.h"
#include "compile_ready/enum_macros.h"
#include "numbers.h"
#include "records.h"
#include "rules.h"
#include "type_mapping.h"

namespace tqc {

std::string AsSource(const std::string& tok, bool last) {
  const bool opens = StartsWith(tok, "(*");
  const bool closes = tok.size() >= 2 && tok.ends_with("*)");
  if (opens && closes && tok.size() >= 4) return "/*" + tok.substr(2, tok.size() - 4) + "*/";
  if (opens) return "/*" + tok.substr(2);
  if (closes) return tok.substr(0, tok.size() - 2) + "*/";
  if (!last && StartsWith(tok, "//")) return "/*" + tok.substr(2) + " */";
  return tok;
}

namespace {

const std::string kNoToken;

// Lookahead that may run past the end of the statement: an empty text there.
const std::string& TokAt(const ConversionContext& ctx, int i) {
  return i >= 0 && i < ctx.TokCount() ? ctx.Tok(i) : kNoToken;
}

bool IsComment(const std::string& t) {
  return t.size() >= 2 && (t.front() == '(' || t.front() == '/');
}

bool IsConventionWord(const ConversionContext& ctx, const std::string& s) {
  return ctx.ExportWords.Contains(s) || ctx.StdcallWords.Contains(s) ||
         ctx.PascalWords.Contains(s) || ctx.RegisterWords.Contains(s) || ctx.CdeclWords.Contains(s);
}

bool IsInterfaceOrClass(const ConversionContext& ctx, const std::string& s) {
  return ctx.InterfaceNames.Contains(s) || ctx.ClassNames.Contains(s);
}

// A parenthesis that groups a calling convention and a pointer name,
// "void ( WINAPI *PFN ) ( int x ) ;", is removed with its closing partner.
void RemoveGroupingParenthesis(ConversionContext& ctx) {
  TStringList2& t = ctx.TokenList;
  const int n = t.Count();
  int open = -1;
  for (int i = 1; i <= n - 2; ++i) {
    if (t.Is(i, "(")) {
      open = i;
      break;
    }
  }
  if (open < 0) return;
  const std::string& next = t.Text(open + 1);
  if (!IsConventionWord(ctx, next) && !StartsWith(next, "*") && next != "CALLBACK") return;
  for (int i = open + 2; i + 1 < n; ++i) {
    if (t.Is(i, ")") && t.Is(i + 1, "(")) {
      t.Delete(i);
      t.Delete(open);
      return;
    }
  }
}

// The body from the "{" at `brace` on becomes one comment token. Returns true when the
// statement is settled here (a body left open inside a struct record).
bool CommentOutBody(ConversionContext& ctx, Statement& st, int brace) {
  TStringList2& t = ctx.TokenList;
  std::string text = "(* {";
  int depth = 1;
  int close = -1;
  for (int i = brace + 1; i < t.Count(); ++i) {
    const std::string& tok = t.Text(i);
    if (tok == "{") {
      text += " {";
      ++depth;
    } else if (tok == "}") {
      if (--depth == 0) {
        text += " } *)";
        close = i;
        break;
      }
      text += " }";
    } else {
      text += " " + tok;
    }
  }
  if (close >= 0) {
    // What follows a body closed on the same line is kept: a lone comment joins the body
    // comment, and a further statement («int f() {...} int g();») is read again as a line
    // of its own.
    std::vector<std::string> rest;
    for (int i = close + 1; i < t.Count(); ++i) rest.push_back(t.Text(i));
    if (!rest.empty() && rest.front() == ";") rest.erase(rest.begin());
    if (rest.size() == 1 && (StartsWith(rest[0], "(*") || StartsWith(rest[0], "//"))) {
      text += " " + rest[0];
    } else if (!rest.empty()) {
      std::string line;
      for (std::size_t i = 0; i < rest.size(); ++i)
        line += " " + AsSource(rest[i], i + 1 == rest.size());
      ctx.SourceLines.push_front(line);
    }
  }
  for (int i = t.Count() - 1; i > brace; --i) t.Delete(i);
  t.SetText(brace, text);
  if (close >= 0) return false;

  // The tokenizer carries the rest of the body over the next lines as comment text.
  ctx.InBlockComment = true;
  ctx.BodyDepth = depth;
  if (ctx.OpenStructLine == -1) return false;
  std::string head;
  for (int i = 0; i < brace; ++i) head += " " + t.Text(i);
  WriteErrorLine(ctx, head);
  st.Built = "\t" + text;
  st.Outcome = kWriteBuilt;
  return true;
}

// The C++ keyword "operator" as the tokenizer leaves it: alone, or with the symbol glued to
// it ("operator!", "operator*", "*operator" from "operator[]"), or with a class in front
// ("CdbVariant::operator").
bool IsOperatorWord(std::string_view tok) {
  while (!tok.empty() && tok.front() == '*') tok.remove_prefix(1);
  if (const std::size_t scope = tok.rfind("::"); scope != std::string_view::npos)
    tok.remove_prefix(scope + 2);
  if (!tok.starts_with("operator")) return false;
  for (char c : tok.substr(8))
    if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') return false;
  return true;
}

// The first token from `i` on that is no part of a prototype's end, or -1. After its ")" a
// prototype ends in ";", comments and a routine body; C++ qualifiers without Pascal meaning
// (const, throw ( ... ), the "= 0" of a pure method) are passed over. Anything else (an
// attribute macro, a statement after a macro call without ";", a typedef's body) would
// vanish from the unit.
int UnexpectedAfterParameters(const TStringList2& t, int i) {
  const int n = t.Count();
  for (; i < n; ++i) {
    const std::string& tok = t.Text(i);
    if (tok == ";" || tok == "const" || IsComment(tok)) continue;
    if (tok == "=" && i + 1 < n && t.Is(i + 1, "0")) {
      ++i;
      continue;
    }
    if (tok == "throw" && i + 1 < n && t.Is(i + 1, "(")) {
      int close = i + 2;
      while (close < n && !t.Is(close, ")")) ++close;
      if (close < n) {
        i = close;
        continue;
      }
    }
    return i;
  }
  return -1;
}

// Per-statement flags of the prototype scan.
struct Conventions {
  bool Virtual = false, ExportDirective = false, Stdcall = false, Pascal = false, Cdecl = false,
       Register = false, Exported = false;
};

std::string Directive(const ConversionContext& ctx, const Conventions& c, const std::string& line) {
  if (ctx.InInterface && ctx.IsComInterface) {
    if (ctx.Options.OleMode) return " virtual; stdcall; abstract;";
    if (ctx.IDispatchSeen && !StartsWith(line, "/")) return " safecall;";
    return " stdcall;";
  }
  std::string d;
  if (c.Virtual) d += " virtual;";
  if (c.ExportDirective && !ctx.RoutineTypedef) d += " export;";
  if (c.Stdcall) return d + " stdcall;";
  if (c.Pascal) return d + " pascal;";
  if (c.Cdecl) return d + " cdecl;";
  if (c.Register) return d;
  switch (ctx.Options.DefaultCall) {
    case CallType::Stdcall:
      return d + " stdcall;";
    case CallType::Cdecl:
      return d + " cdecl;";
    case CallType::Pascal:
      return d + " pascal;";
    case CallType::Register:
      break;
  }
  return d;
}

// A single quote inside a Pascal string literal is doubled.
std::string PascalQuoted(const std::string& s) {
  std::string out;
  for (char c : s) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

// The file name without its extension (the part after the last "." of the last path
// component).
std::string WithoutExtension(const std::string& s) {
  const std::size_t dot = s.rfind('.');
  const std::size_t sep = s.find_last_of("/\\");
  if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return s;
  return s.substr(0, dot);
}

// The DLL constant, asked for once per conversion. The name offered is the DLL that the
// header's routines agree on, where the tables know one.
void AskDllOnce(ConversionContext& ctx) {
  if (!ctx.DllName.empty()) return;
  const std::string offered = !ctx.OfferedDll.empty() ? ctx.OfferedDll
                              : ctx.UnixTarget()      ? "lib" + ctx.UnitName + ".so"
                                                      : ctx.UnitName + ".dll";
  const std::optional<std::string> answer = ctx.Host.AskDllName(offered);
  // A name of the user's own is the DLL of every routine; the one offered leaves each routine
  // the DLL the tables know for it.
  ctx.DllChosen = answer && *answer != offered;
  std::string stem = answer ? PascalIdentifier(WithoutExtension(*answer)) : std::string();
  if (answer && !answer->empty() && !stem.empty()) {
    if (EqualsIgnoreCase(stem, PascalIdentifier(ctx.UnitName))) stem += "DLL";
    ctx.DllName = stem;
    ctx.DllFile = *answer;
    ctx.DeferredConsts.Add("  " + ctx.DllName + " = '" + PascalQuoted(*answer) + "';\r\n");
  } else {
    ctx.DllName = PascalIdentifier(WithoutExtension(ctx.UnitName)) + "DLL";
    ctx.DllFile.clear();
    ctx.DeferredConsts.Add("  " + ctx.DllName + " = '';" + (answer ? "" : "\r\n"));
  }
}

// The DLL a routine is bound to: the one the tables know exports it, unless the user named
// one of his own.
std::string BindingDll(ConversionContext& ctx, const std::string& routine) {
  AskDllOnce(ctx);
  if (!ctx.DllChosen) {
    const int i = ctx.Defs.ExportedNames.FindExact(routine);
    const int dll = i < 0 ? -1 : ctx.Defs.ExportedNames.Tag(i);
    if (dll >= 0 && dll < ctx.Defs.ExportingDlls.Count()) return ctx.Defs.ExportingDlls.Text(dll);
  }
  return ctx.DllFile;
}

// The `external` line of an exported routine.
void BindExportedRoutine(ConversionContext& ctx, const std::string& routineHead,
                         const std::string& exportedName) {
  const std::string dll = BindingDll(ctx, exportedName);
  const std::string where =
      dll == ctx.DllFile || dll.empty() ? ctx.DllName : "'" + PascalQuoted(dll) + "'";
  ctx.DeferredConsts.Add(routineHead + "; external " + where + " name '" + exportedName + "';");
}

// The parameter walk: one parameter after the other up to the ")".
class ParameterWriter {
 public:
  ParameterWriter(ConversionContext& ctx, ParameterListForm form, std::string& line)
      : ctx_(ctx), t_(ctx.TokenList), form_(form), line_(line) {}

  ParameterListEnd Run(int first) {
    ParameterListEnd end = Walk(first);
    end.Written = opened_;
    end.Varargs = varargs_;
    // A split statement is translated again from SourceLines: nothing of it may stay.
    if (end.End != ParameterListEnd::Kind::Split)
      for (const auto& l : finished_) WriteLine(ctx_, l);
    return end;
  }

 private:
  bool Prototype() const { return form_ == ParameterListForm::Prototype; }
  bool MethodForm() const {
    return form_ == ParameterListForm::Method || form_ == ParameterListForm::MethodImpl;
  }
  const std::string& At(int i) const { return TokAt(ctx_, i); }
  // At(i) == text, comparing lengths first.
  bool AtIs(int i, std::string_view text) const { return std::string_view(At(i)) == text; }

  // A field's type stays on one line: it may go into a variant part, which the record's
  // close writes. A "//" comment would end the line there: it becomes a "(*" one. A routine
  // with its body (carried as a comment that may go on over the next lines) is not split
  // either: the lines put back would land inside that comment.
  bool OneLine() const { return ctx_.RoutineField; }
  bool NoSplit() const { return OneLine() || (!t_.Empty() && StartsWith(t_.Last(), "(* {")); }
  std::string InLineComment(const std::string& comment) const {
    if (!OneLine() || !StartsWith(comment, "//")) return comment;
    return "(*" + comment.substr(2) + " *)";
  }

  void NewLine() {
    if (OneLine()) {
      line_ += ' ';
      return;
    }
    finished_.push_back(line_);
    // The rest of a commented-out head (an IUnknown method of an interface) stays a comment.
    line_ = StartsWith(line_, "//") ? "//\t " : "\t ";
  }
  void Open() {
    if (!opened_) line_ += "(";
    opened_ = true;
  }

  static ParameterListEnd Error(int index) { return {ParameterListEnd::Kind::Error, index, false}; }

  void SkipVoidList(int& i) const {
    if (!ctx_.VoidNames.Contains(At(i))) return;
    switch (form_) {
      case ParameterListForm::Prototype:
      case ParameterListForm::MethodImpl:
        // "(void)", not "(void *p" nor a routine-type parameter "(void (*cb)(int)".
        if (!StartsWith(At(i + 1), "*") && !AtIs(i + 1, "(")) ++i;
        break;
      case ParameterListForm::Constructor:
        if (AtIs(i + 1, ")")) ++i;
        break;
      case ParameterListForm::Method:
        break;
    }
  }

  // The type token of the first routine-type parameter ("T ( *N ) ( ... )") from `i` on, or
  // -1. It is split off before any parameter is read: reading one changes its tokens, and the
  // statement is rebuilt from them.
  int FirstRoutineTypeParameter(int i) {
    if (!Prototype()) return -1;
    bool paramStart = true;
    for (int depth = 0; i < t_.Count() && depth >= 0; ++i) {
      const std::string& tok = t_.Text(i);
      // A comment before a parameter («sqlite3*, /* db */ int (*cb)(void*)») is no type.
      if (IsComment(tok) && tok != "(*") continue;
      if (depth == 0 && paramStart && tok != "const" && tok != "struct" && tok != "union" &&
          tok != "enum") {
        paramStart = false;
        if (AtIs(i + 1, "(") && StartsWith(At(i + 2), "*") && AtIs(i + 3, ")") && AtIs(i + 4, "("))
          return i;
      }
      if (tok == "(") ++depth;
      if (tok == ")") --depth;
      if (depth == 0 && tok == ",") paramStart = true;
    }
    return -1;
  }

  // The routine-type parameters written «T (CONV *N)(...)», «T (*)(...)» or «T (CONV *)(...)»
  // take the form «T (*N)(...)» that is split off, with their calling convention kept for
  // the type; an unnamed one is named after its place («Proc2» for the third parameter).
  void NormalizeRoutineTypeParameters(int i) {
    if (!Prototype()) return;
    int place = 0;
    for (int depth = 0; i + 3 < t_.Count() && depth >= 0; ++i) {
      const std::string& tok = t_.Text(i);
      if (tok == ")") --depth;
      if (depth == 0 && tok == ",") ++place;
      const bool opens = tok == "(" || tok == "(*";
      if (opens) ++depth;
      if (!opens || depth != 1) continue;
      const std::string name = "*Proc" + std::to_string(place);
      if (tok == "(*") {  // "(*" ")" "("
        if (!AtIs(i + 1, ")") || !AtIs(i + 2, "(")) continue;
        t_.SetText(i, "(");
        t_.Insert(i + 1, name);
        continue;
      }
      std::string conv = At(i + 1);
      if (AtIs(i + 3, ")") && AtIs(i + 4, "(") && StartsWith(At(i + 2), "*") &&
          IsConventionWord(ctx_, conv)) {  // "(" CONV "*N" ")" "("
        conventions_[At(i + 2).substr(1)] = conv;
        t_.Delete(i + 1);
      } else if (AtIs(i + 2, ")") && AtIs(i + 3, "(") && conv.size() > 1 && conv.ends_with("*") &&
                 IsConventionWord(ctx_, conv.substr(0, conv.size() - 1))) {  // "(" "CONV*" ")"
        conv.pop_back();
        conventions_[name.substr(1)] = conv;
        t_.SetText(i + 1, name);
      } else if (AtIs(i + 2, ")") && AtIs(i + 3, "(") && conv == "*") {  // "(" "*" ")" "("
        t_.SetText(i + 1, name);
      }
    }
  }

  ParameterListEnd Walk(int i) {
    NormalizeRoutineTypeParameters(i);
    SkipVoidList(i);
    // A field's routine type cannot declare the types of its parameters: no split there.
    // So a routine-type parameter of a field (a COM Vtbl's method) is an untyped pointer, like
    // one of an interface's method in the compiler-ready mode.
    int split = FirstRoutineTypeParameter(i);
    for (; split >= 0 &&
           (OneLine() || (ctx_.InInterface && ctx_.Ready.UntypesRoutineParametersOfMethods()));
         split = FirstRoutineTypeParameter(i))
      UntypeRoutineParameter(split);
    if (split >= 0) return NoSplit() ? Error(split) : SplitFunctionPointer(split);
    bool constFlag = false;
    int start = -1;  // the first token of the parameter being read
    while (i < t_.Count() - 1 && !t_.Is(i, ")")) {
      const std::string& tok = t_.Text(i);
      if (MethodForm() && IsComment(tok) && tok.front() == '(') {
        line_ += tok + " ";
        ++i;
        continue;
      }
      Open();
      if (!(form_ == ParameterListForm::Constructor) && IsComment(tok)) {
        line_ += InLineComment(tok);
        NewLine();
        ++i;
        continue;
      }
      if (line_.size() > 78) NewLine();
      const std::string_view word = tok;  // compared by length first
      if (start < 0) start = i;
      if (word == "const") {
        constFlag = true;
        ++i;
        continue;
      }
      if (word == "struct" || word == "union" || word == "enum") {
        t_.Delete(i);
        continue;
      }
      // C's variable list («int printf(const char *, ...)») is Pascal's "varargs" directive:
      // no parameter, and nothing but comments after it.
      if (word == "..." && Prototype() && AtIs(i + 1, ")")) {
        varargs_ = true;
        // The separator before it goes, and a line break just started for it.
        if (!finished_.empty() && (line_ == "\t " || line_ == "//\t ")) {
          line_ = std::move(finished_.back());
          finished_.pop_back();
        }
        const std::size_t kept = line_.find_last_not_of(" \t\r\n");
        if (kept != std::string::npos && line_[kept] == ';') line_.resize(kept);
        ++i;
        continue;
      }
      ParameterListEnd end{};
      if (!Parameter(i, start, constFlag, end)) return end;
      constFlag = false;
      start = -1;
    }
    if (i < t_.Count() && t_.Is(i, ")")) return {ParameterListEnd::Kind::Closed, i, false};
    return {ParameterListEnd::Kind::Unclosed, -1, false};
  }

  // "T ( *N ) ( ... )" becomes "Pointer N".
  void UntypeRoutineParameter(int ti) {
    const std::string starName = At(ti + 2);
    t_.SetText(ti, "Pointer");
    t_.SetText(ti + 1, StartsWith(starName, "*") ? starName.substr(1) : starName);
    t_.Delete(ti + 2);  // the star-name
    t_.Delete(ti + 2);  // its ")"
    for (int depth = 0; ti + 2 < t_.Count();) {
      const std::string tok = t_.Text(ti + 2);
      t_.Delete(ti + 2);
      depth += tok == "(" ? 1 : tok == ")" ? -1 : 0;
      if (depth <= 0) break;
    }
  }

  // "T ( *N ) ( ... )" becomes "typedef T *TN ( ... );" and the statement gets "TN N".
  ParameterListEnd SplitFunctionPointer(int ti) {
    const std::string starName = t_.Text(ti + 2);
    if (!StartsWith(starName, "*")) return Error(ti);
    const std::string n = starName.substr(1);
    // Compiler-ready: two routines with a parameter of one name («fCallback» of an ANSI and a
    // wide routine) would declare one type twice; the later one is named apart.
    std::string typeName = "T" + n;
    if (ctx_.Ready.DeclaresOnce())
      while (DeclaredAlready(ctx_, typeName)) typeName += '_';
    const auto conv = conventions_.find(n);
    std::string text = "typedef " + t_.Text(ti) +
                       (conv == conventions_.end() ? std::string() : " " + conv->second) + " *" +
                       typeName;
    t_.SetText(ti, typeName);
    t_.SetText(ti + 1, n);
    t_.Delete(ti + 2);  // the star-name
    t_.Delete(ti + 2);  // its ")"
    while (ti + 2 < t_.Count()) {
      const std::string tok = t_.Text(ti + 2);
      text += " " + AsSource(tok, false);
      t_.Delete(ti + 2);
      if (tok == ")") break;
    }
    text += ";";
    // The retry dropped "typedef" from a routine typedef: the rebuilt statement needs it back,
    // or the procedural type would come out as a routine declaration.
    std::string rebuilt = ctx_.RoutineTypedef ? "typedef" : "";
    for (int k = 0; k < t_.Count(); ++k) {
      // The calling convention of a routine-type parameter still to split goes back in front
      // of its star.
      const std::string& tok = t_.Text(k);
      if (const auto c = conventions_.find(tok.substr(StartsWith(tok, "*") ? 1 : tok.size()));
          StartsWith(tok, "*") && c != conventions_.end())
        rebuilt += " " + c->second;
      rebuilt += " " + AsSource(tok, k == t_.Count() - 1);
    }
    ctx_.SourceLines.push_front(rebuilt);
    ctx_.SourceLines.push_front(text);
    return {ParameterListEnd::Kind::Split, -1, false};
  }

  // One parameter from its type token at `i` (its first token, a "const", at `start`);
  // advances `i` past its separator. Returns false with `end` set when the list ends here
  // (error or split).
  bool Parameter(int& i, int start, bool constFlag, ParameterListEnd& end) {
    const int ti = i;
    if (Prototype() && AtIs(ti + 1, "(") && AtIs(ti + 3, ")") && AtIs(ti + 4, "(")) {
      end = NoSplit() ? Error(ti) : SplitFunctionPointer(ti);
      return false;
    }
    if (At(ti + 1).find('[') != std::string::npos)
      t_.SetText(ti + 1, ArrayParamToPointer(t_.Text(ti + 1)));
    if (t_.Text(ti).ends_with("*")) {
      std::string type = t_.Text(ti);
      type.pop_back();
      t_.SetText(ti, type);
      t_.Insert(ti + 1, "*Para" + std::to_string(counter_++));
    }
    // «char const *» without a name: the qualifier goes, the star stays.
    if (StartsWith(At(ti + 1), "const*")) t_.SetText(ti + 1, At(ti + 1).substr(5));
    if ((AtIs(ti + 1, "const") || AtIs(ti + 1, "*const")) && ti + 2 < t_.Count() &&
        !AtIs(ti + 2, ",") && !AtIs(ti + 2, ")")) {
      const bool star = AtIs(ti + 1, "*const");
      t_.Delete(ti + 1);
      if (star) t_.SetText(ti + 1, "*" + t_.Text(ti + 1));
    }

    std::string type = t_.Text(ti);
    std::string ptype = type;
    bool byRef = false, untyped = false;
    int cur = ti + 1;
    const std::string& name = At(cur);
    if (StartsWith(name, "*")) {
      const std::size_t stars = name.find_first_not_of('*');
      const bool second = stars == std::string::npos ? name.size() >= 2 : stars >= 2;
      if (ctx_.VoidNames.Contains(type)) {
        ptype = "Pointer";
        if (second)
          byRef = true;
        else if (!ctx_.Options.VoidPtrAsPointer)
          untyped = true;
      } else if (IsInterfaceOrClass(ctx_, type)) {
        if (second) {
          ParamType r = PointerParamType(ctx_, type);
          ptype = r.Type;
          byRef = r.ByRef;
        }
      } else {
        if (int p = ctx_.PointerTypes.FindExact(type); p >= 0 && ctx_.PointeeTypes.Tag(p) == 1)
          type = ctx_.PointeeTypes.Text(p);
        if (constFlag) {
          ptype = PointerTypeOf(ctx_, type);
          if (second) ptype = PointerTypeOf(ctx_, ptype);
        } else if (second) {
          byRef = true;
          ptype = PointerTypeOf(ctx_, type);
        } else {
          ParamType r = PointerParamType(ctx_, type);
          ptype = r.Type;
          byRef = r.ByRef;
        }
      }
      // A token of stars alone ("**" before the name) is passed over.
      if (stars == std::string::npos) {
        ++cur;
        // «char ***p»: by reference, a pointer to a pointer to the type.
        const std::string& next = At(cur);
        if (const std::size_t more = next.find_first_not_of('*');
            StartsWith(next, "*") && more != std::string::npos) {
          t_.SetText(cur, next.substr(more));
          ptype = ctx_.VoidNames.Contains(type) ? std::string("Pointer")
                                                : PointerTypeOf(ctx_, PointerTypeOf(ctx_, type));
          byRef = true;
          untyped = false;
        }
      } else {
        t_.SetText(cur, name.substr(stars));
      }
    } else if (Prototype() && name == "&" && ctx_.InInterface && !ctx_.IsComInterface) {
      byRef = true;  // a C++ reference parameter
      ++cur;
    } else if (IsInterfaceOrClass(ctx_, type)) {
      end = Error(ti);
      return false;
    } else if (const int p = ctx_.PointerTypes.FindExact(type);
               p >= 0 && ctx_.PointeeTypes.Tag(p) == 1) {
      ptype = ctx_.PointeeTypes.Text(p);
    } else {
      ParamType r = ValueParamType(ctx_, type, p);  // the look-up is not made twice
      ptype = std::move(r.Type);
      byRef = r.ByRef;
    }

    // Name, default value, comment.
    std::string pname, value, comment;
    const std::string& at = At(cur);
    const bool defaults = Prototype();
    const bool unnamed = AtIs(cur, ",") || AtIs(cur, ")") || (defaults && StartsWith(at, "=")) ||
                         (form_ != ParameterListForm::Constructor && IsComment(at));
    if (!unnamed) pname = DeclaredName(t_.Text(cur++));
    // Compiler-ready: a "name" that is a type ("long long" read as a type and a name) would
    // hide the type; the parameter is numbered like an unnamed one.
    if (ctx_.Ready.NumbersParametersNamedLikeTypes() && !pname.empty() &&
        IsKnownTypeName(ctx_, pname))
      pname.clear();
    if (defaults && StartsWith(At(cur), "=")) {
      while (cur < t_.Count() && !AtIs(cur, ",") && !AtIs(cur, ")")) {
        const std::string& v = t_.Text(cur++);
        if (!value.empty()) value += " ";
        // A C number or NULL is no Pascal value ("= 0xffffffff").
        value += IsComment(v) ? "(* " + v + " *)"
                              : ConvertConstOperand(v, ctx_.Ready.TranslatesValueOperators());
      }
    }
    if (form_ != ParameterListForm::Constructor && IsComment(At(cur))) comment = t_.Text(cur++);
    if (!AtIs(cur, ",") && !AtIs(cur, ")")) {
      // The error line shows the whole parameter, or its type and name would be lost.
      end = Error(start);
      return false;
    }

    const std::string resolved = ResolveStars(ctx_, ptype, false, byRef);
    // A BSTR defaulting to NULL («BSTR ConnectionString = NULL»): a compiler takes no nil
    // for a WideString, whose empty value is the null string.
    if (value == "= nil" && resolved == "WideString" && ctx_.Ready.TranslatesValueOperators())
      value = "= ''";
    // A VARIANT_BOOL defaulting to 0 («VARIANT_BOOL Async = 0»): a boolean's default is one.
    if ((value == "= 0" || value == "= 1" || value == "= -1") &&
        ctx_.Ready.TranslatesValueOperators() &&
        (resolved == "WordBool" || resolved == "LongBool" || resolved == "ByteBool" ||
         resolved == "Boolean" || resolved == "BOOL"))
      value = value == "= 0" ? "= False" : "= True";
    // An enumeration member as the default of an integer («long Options =
    // adOptionUnspecified»): Pascal wants the member's number.
    if (ctx_.Ready.TranslatesValueOperators() && value.size() > 2 && IsName(value.substr(2)) &&
        ctx_.ReadyState.EnumMembers.contains(AsciiLowerCopy(value.substr(2))) &&
        IsIntegerTypeName(ctx_, resolved))
      value = "= Ord(" + value.substr(2) + ")";
    if (pname.empty()) pname = "Para" + std::to_string(counter_++);
    // Compiler-ready: a parameter by reference to a type not declared so far (C's forward
    // "struct X;") is untyped; a compiler needs the type before the routine.
    const bool unknownTarget = byRef && ctx_.Ready.UntypesUnknownPointers() && IsName(resolved) &&
                               !IsKnownName(ctx_, resolved);
    if (untyped || unknownTarget || (resolved == "Pointer" && ptype != "Pointer")) {
      // An untyped parameter; a const one stays const (a "const var" is no Pascal).
      (line_ += constFlag ? "const " : "var ") += pname;
    } else {
      // A parameter passed by reference is var even when C calls it const.
      if (constFlag && !byRef) line_ += "const ";
      if (byRef) line_ += "var ";
      ((line_ += pname) += ": ") += resolved;
    }
    if (!value.empty()) (line_ += ' ') += value;
    // A method writes a "(*" comment before the separator; a "//" one would swallow the rest
    // of the head there, so it goes after the separator and ends the line.
    const bool commentFirst = MethodForm() && StartsWith(comment, "(");
    if (commentFirst) line_ += " " + comment + " ";
    if (AtIs(cur, ",")) {
      line_ += "; ";
      ++cur;
    }
    if (!commentFirst && !comment.empty()) {
      line_ += " " + InLineComment(comment) + " ";
      if (comment.front() == '/') NewLine();
    }
    i = cur;
    return true;
  }

  ConversionContext& ctx_;
  TStringList2& t_;
  ParameterListForm form_;
  std::string& line_;
  std::vector<std::string> finished_;
  bool opened_ = false;
  bool varargs_ = false;
  int counter_ = 0;
  // The calling conventions of routine-type parameters, by parameter name.
  std::unordered_map<std::string, std::string> conventions_;
};

// The prototype of a statement whose shape was checked: conventions, head, parameters,
// directive, DLL binding and the trailing comment.
bool HasWordCharacter(std::string_view tok) {
  for (char c : tok)
    if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') return true;
  return false;
}

// Statements with a prototype's shape that have no Pascal routine declaration. In front of
// the name stand words and stars only: «const HRESULT E_X = MAKE_HRESULT(...);» is a
// variable with a value, «K& Get();» and «A<T>::~A() {...}» are C++; an operator there would
// be read as the result type. The name is a word: «(NTAPI *PFN)(...);», left by a typedef
// that a conditional cut off, would be named ")". Nor have C++ operators («operator int();»,
// «K& operator=(const K&);»), whose type or symbol would become the routine's name, and
// templates, whose parameter list would be dropped. Looked at before the scan edits the
// tokens, so that the error line shows them as they came.
bool NoPascalRoutine(const ConversionContext& ctx) {
  const TStringList2& t = ctx.TokenList;
  if (t.Is(0, "template")) return true;
  for (int i = 0; i + 1 < t.Count(); ++i) {
    const std::string& tok = t.Text(i);
    if (IsOperatorWord(tok)) return true;
    if (t.Is(i + 1, "(") && !IsConventionWord(ctx, tok) && tok != "CALLBACK")
      return tok.find("::") != std::string::npos || !HasWordCharacter(tok);
    if (tok.find_first_not_of('*') != std::string::npos &&
        tok.find_first_not_of("*&=<>,:.-+!~|^%/") == std::string::npos)
      return true;
  }
  return false;
}

RuleResult TranslateRoutine(ConversionContext& ctx, Statement& st) {
  TStringList2& t = ctx.TokenList;
  if (NoPascalRoutine(ctx)) {
    st.Outcome = 0;
    return RuleResult::Epilogue;
  }
  Conventions conv;
  int nameIdx = -1, retIdx = -1;
  for (int i = 0; i <= t.Count() - 2; ++i) {
    // A view: the list is only changed where it is no longer read.
    std::string_view tok = t.Text(i);
    if (tok == "*CALLBACK") {
      conv.Stdcall = conv.ExportDirective = true;
      t.SetText(i, "*");
      tok = "*";
    } else if (tok == "CALLBACK") {
      conv.Stdcall = conv.ExportDirective = true;
      continue;
    }
    const LookupKey key(tok);  // one filter bit for the five word lists
    if (ctx.StdcallWords.Contains(key)) {
      conv.Stdcall = true;
      continue;
    }
    if (ctx.PascalWords.Contains(key)) {
      conv.Pascal = true;
      continue;
    }
    if (ctx.ExportWords.Contains(key)) {
      conv.Exported = true;
      continue;
    }
    if (ctx.RegisterWords.Contains(key)) {
      conv.Register = true;
      continue;
    }
    if (ctx.CdeclWords.Contains(key)) {
      conv.Cdecl = true;
      continue;
    }
    if (tok == "virtual") {
      conv.Virtual = true;
      continue;
    }
    if (t.Is(i + 1, "(")) {
      nameIdx = i;
      break;
    }
    if (tok == "*") {
      if (retIdx < 0 || retIdx != i - 1)
        t.SetText(i + 1, "*" + t.Text(i + 1));
      else
        t.SetText(retIdx, t.Text(retIdx) + "*");
      continue;
    }
    // «char ** f(void)»: a pointer to a pointer result, not a result type of its own.
    if (tok == "**" && retIdx >= 0) {
      t.SetText(retIdx, t.Text(retIdx) + "**");
      continue;
    }
    // «int ZEXPORT deflate(...)» with «#define ZEXPORT»: a decoration after the result type
    // (the star of «char * ZEXPORT» goes to the result).
    if (const std::size_t stars = tok.find_first_not_of('*');
        retIdx >= 0 && stars != std::string_view::npos &&
        ctx.Defs.EmptyMacros.Contains(tok.substr(stars))) {
      if (stars > 0) t.SetText(retIdx, t.Text(retIdx) + std::string(stars, '*'));
      continue;
    }
    retIdx = i;
  }
  if (nameIdx < 0) {  // parentheses, but nothing in front of them names a routine
    st.Outcome = 0;
    return RuleResult::Epilogue;
  }
  // «f OF((int a, int b))»: the identity macro of old compilers is gone, its second pair of
  // parentheses goes too.
  if (t.Is(nameIdx + 2, "(")) {
    int depth = 0, close = -1;
    for (int i = nameIdx + 2; i < t.Count() && close < 0; ++i) {
      depth += t.Is(i, "(") ? 1 : t.Is(i, ")") ? -1 : 0;
      if (depth == 0) close = i;
    }
    if (close > 0 && t.Is(close + 1, ")") && !t.Is(nameIdx + 3, "*") &&
        !StartsWith(t.Text(nameIdx + 3), "*")) {
      t.Delete(close + 1);
      t.Delete(nameIdx + 2);
    }
  }
  // The head.
  std::string head = ctx.InInterface ? "    " : "  ";
  std::string result;
  bool function = true;
  if (retIdx < 0) {
    head += "function ";
    result = "Integer";
  } else if (const std::string& ret = t.Text(retIdx); !ctx.VoidNames.Contains(ret)) {
    head += "function ";
    // Each trailing star is one pointer level.
    const std::size_t base = ret.find_last_not_of('*') + 1;
    result = ret.substr(0, base);
    for (std::size_t star = base; star < ret.size(); ++star) result = PointerTypeOf(ctx, result);
  } else {
    head += "procedure ";
    function = false;
  }
  const std::string& nameTok = t.Text(nameIdx);
  const bool starName = StartsWith(nameTok, "*");
  if (starName) {
    if (!function) {
      if (ctx.RoutineTypedef) {
        head = " procedure ";
      } else {
        head = "  function ";
        result = "Pointer";
        function = true;
      }
    } else if (!ctx.RoutineTypedef) {
      result = PointerTypeOf(ctx, result);
    }
  }
  const std::string name = starName ? nameTok.substr(1) : nameTok;
  const bool reserved = EqualsIgnoreCase(name, "begin") || EqualsIgnoreCase(name, "end");
  std::string pascalName = reserved ? "_" + name : DeclaredName(name);
  // Compiler-ready: a routine named like a type or constant of the unit in another letter
  // case («ChooseColorW» after the record CHOOSECOLORW) would declare it again; the routine
  // takes a "_" and is still bound to its own name.
  if (ctx.Ready.DeclaresOnce() && !ctx.RoutineTypedef && !ctx.InInterface)
    while (DeclaredAlready(ctx, pascalName)) pascalName += '_';

  std::string line, routineHead;
  if (ctx.RoutineField) {
    // Only a pointer to a routine is a field («int (*f)(int);», not «int f(int);»).
    if (!starName) {
      st.Outcome = 0;
      return RuleResult::Epilogue;
    }
    line = function ? "function " : "procedure ";
  } else if (ctx.RoutineTypedef) {
    ctx.RoutineTypes.insert(name);
    SwitchSection(ctx, Section::Type);
    line = "  " + pascalName + " =" + head;
    // Compiler-ready: a type declared again stays a comment.
    if (ctx.Ready.DeclaresOnce()) {
      if (!FirstDeclaration(ctx, name)) line.insert(0, "// ");
      ctx.ReadyState.DeclaredTypes.insert(AsciiLowerCopy(name));
    }
    // A plain routine type is already a pointer in Pascal, so "T *" of it means T itself;
    // a pointer-to-routine typedef is not.
    if (!starName && !ctx.FuncNames.Contains(name)) {
      ctx.NewFuncIdx.push_back(ctx.FuncNames.Count());
      ctx.FuncNames.Add(name);
    }
  } else {
    line = head + pascalName;
    routineHead = line;
    if (!ctx.InInterface) ctx.SectionReopen = true;
  }

  // Compiler-ready: every routine of the unit is bound to the DLL in its declaration (a
  // routine without a body or binding is an unsolved forward declaration).
  const bool bindHere = ctx.Ready.BindsEveryRoutine() && !ctx.RoutineTypedef && !ctx.InInterface;
  const ParameterListEnd end =
      WriteParameterList(ctx, nameIdx + 2, ParameterListForm::Prototype, line);
  switch (end.End) {
    case ParameterListEnd::Kind::Split:
      ctx.Pending = false;
      ctx.RoutineTypedef = false;
      return RuleResult::Done;
    case ParameterListEnd::Kind::Error:
      st.Built = line;
      st.Outcome = end.Index;
      return RuleResult::Epilogue;
    case ParameterListEnd::Kind::Closed:
      if (end.Written) line += ")";
      if (line.ends_with("()")) line.resize(line.size() - 2);  // («f(...)»: no parameter)
      if (function) (line += ": ") += result;
      line += ';';
      if (bindHere) conv.ExportDirective = false;  // an imported routine exports nothing
      if (end.Varargs) {
        // A variable list is the caller's to clean up: cdecl whatever the routine says.
        conv.Stdcall = conv.Pascal = conv.Register = false;
        conv.Cdecl = true;
      }
      line += Directive(ctx, conv, line);
      if (end.Varargs) line += " varargs;";
      if (bindHere) {
        // The DLL's file name itself: the constant stands in the implementation part.
        line += " external '" + PascalQuoted(BindingDll(ctx, name)) + "' name '" + name + "';";
        // A routine declared again (a prototype, then its inline body) stays a comment: C
        // has no overloads, Pascal would take the two for one routine declared twice. (A
        // list split for a routine-type parameter is read again: that is no second one.)
        if (!FirstRoutineDeclaration(ctx, name)) line.insert(0, "// ");
      }
      break;
    case ParameterListEnd::Kind::Unclosed:
      break;
  }

  if (end.End == ParameterListEnd::Kind::Closed) {
    if (const int rest = UnexpectedAfterParameters(t, end.Index + 1); rest >= 0) {
      st.Built = line;
      st.Outcome = rest;
      return RuleResult::Epilogue;
    }
  }

  // A typedef binds nothing: it has no routine to import. A routine a DLL is known to export
  // is bound like one with an import word: unbound, it would be an unsolved declaration. Unix
  // libraries export every routine their headers declare, with no word to say so.
  const bool plainBound = !ctx.InInterface && !ctx.RoutineField &&
                          (ctx.UnixTarget() || ctx.Defs.ExportedNames.FindExact(name) >= 0);
  if ((conv.Exported || plainBound) && !ctx.RoutineTypedef && !bindHere)
    BindExportedRoutine(ctx, routineHead, name);

  if (ctx.RoutineField) {
    if (end.End != ParameterListEnd::Kind::Closed || !line.ends_with(";")) {
      st.Outcome = 0;
      return RuleResult::Epilogue;
    }
    line.pop_back();  // the field's ";" comes with its place in the record
    const std::string& last = t.Last();
    const std::string comment =
        t.Count() - 1 > end.Index + 1 && IsComment(last) && last.front() == '(' ? last : "";
    return WriteProceduralField(ctx, st, pascalName, line, comment);
  }
  if (end.End == ParameterListEnd::Kind::Closed) {
    const int after = t.Count() - 1 - end.Index;
    const std::string& next = TokAt(ctx, end.Index + 1);
    const std::string& second = TokAt(ctx, end.Index + 2);
    // A comment after a routine left as a comment line starts a line of its own: a body
    // comment may go on over the next lines.
    const char* gap = bindHere && StartsWith(line, "//") ? "\r\n\t" : "\t";
    if (after == 2 && IsComment(second))
      line += gap + second;
    else if (after == 1 && IsComment(next) && next.front() == '(')
      line += gap + next;
  }
  st.Built = line;
  st.Outcome = kWriteBuilt;
  return RuleResult::Epilogue;
}

}  // namespace

ParameterListEnd WriteParameterList(ConversionContext& ctx, int first, ParameterListForm form,
                                    std::string& line) {
  return ParameterWriter(ctx, form, line).Run(first);
}

// «SHSTDAPI_(HINSTANCE) ShellExecuteW(...)»: a decoration around the return type is the type
// and the calling convention it stands for ([result] of the tables).
void UnwrapResultMacro(ConversionContext& ctx) {
  TStringList2& t = ctx.TokenList;
  const int r = t.Count() > 5 ? ctx.Defs.ResultNames.FindExact(t.Text(0)) : -1;
  if (r < 0 || r >= ctx.Defs.ResultValues.Count() || !t.Is(1, "(")) return;
  int close = 2;
  while (close < t.Count() && !t.Is(close, ")") && !t.Is(close, "(")) ++close;
  if (close == 2 || close + 1 >= t.Count() || !t.Is(close, ")")) return;
  t.Delete(close);
  t.Delete(1);
  t.SetText(0, ctx.Defs.ResultValues.Text(r));
  // The type goes in front of the convention word, as C writes it.
  for (int i = 1; i < close - 1; ++i) {
    const std::string type = t.Text(i);
    t.SetText(i, t.Text(i - 1));
    t.SetText(i - 1, type);
  }
}

RuleResult TranslatePrototype(ConversionContext& ctx, Statement& st) {
  TStringList2& t = ctx.TokenList;
  UnwrapResultMacro(ctx);
  RemoveGroupingParenthesis(ctx);

  // The shape scan, over one-character tokens only. A "{" that opens the statement is no
  // routine body and does not end the scan: stopping there would keep the statement pending
  // to the end of the file. A statement waiting for its ";" comes back with every line it
  // takes in: the scan goes on where it stopped while the list has only grown (ShapeScan).
  ConversionContext::ShapeScan& scan = ctx.PrototypeScan;
  const std::vector<TStringList2::Entry>& entries = t.Entries();
  if (scan.Stamp != t.Stamp() || static_cast<std::size_t>(scan.Scanned) > entries.size())
    scan = {t.Stamp(), 0, 0, 0, false};
  int brace = -1;
  std::size_t i = static_cast<std::size_t>(scan.Scanned);
  for (; i < entries.size(); ++i) {
    const std::string& tok = entries[i].Text;
    // "(*" is the "(" of an unnamed routine pointer («void (*)(void *)»), not a comment.
    if (tok.size() != 1 && tok != "(*") continue;
    switch (tok[0]) {
      case '{':
        if (i > 0) brace = static_cast<int>(i);
        break;
      case '(':
        ++scan.Parens;
        ++scan.Balance;
        break;
      case ')':
        ++scan.Parens;
        --scan.Balance;
        break;
      case ';':
        scan.Semicolon = true;
        break;
      default:
        break;
    }
    if (brace >= 0) break;
  }
  // Up to a body's "{" only: the next visit finds it again.
  scan.Scanned = static_cast<int>(i);
  const int parens = scan.Parens, balance = scan.Balance;
  bool semicolon = scan.Semicolon;
  if (brace > 0) {
    if (CommentOutBody(ctx, st, brace)) return RuleResult::Epilogue;
    semicolon = true;
  }
  if (!semicolon) {
    ctx.Pending = true;
    return RuleResult::Done;
  }
  if (parens > 0 && balance != 0) {
    st.Outcome = 0;
    return RuleResult::Epilogue;
  }
  if (parens > 0 && (ctx.OpenStructLine != -1 || ctx.OpenUnionLine != -1)) {
    // In a record, a statement with parentheses is a field of a procedural type, or no field.
    st.Built.clear();
    ctx.Pending = false;
    ctx.RoutineTypedef = ctx.RoutineField = true;
    const RuleResult r = TranslateRoutine(ctx, st);
    ctx.RoutineField = false;
    return r;
  }
  if (parens == 0) return RuleResult::Declined;
  ctx.Pending = false;
  return TranslateRoutine(ctx, st);
}

RuleResult TranslateMemberPrototype(ConversionContext& ctx, Statement& st) {
  return TranslatePrototype(ctx, st);
}

}  // namespace tqc
