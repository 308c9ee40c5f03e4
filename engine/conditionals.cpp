// Conditional compilation, packing pragmas and linkage blocks. The preprocessor lines are not
// evaluated: they become Pascal compiler directives, so every branch of the header is
// translated. The one exception is __cplusplus, resolved in the source pre-pass on request.
#include <algorithm>
#include <cctype>
#include <optional>
#include <stdexcept>

#include "failure.h"
#include "numbers.h"
#include "records.h"
#include "rules.h"
#include "type_mapping.h"

namespace tqc {

namespace {

// A comment token is a "//" or "(*" token; the bare "(" is punctuation.
bool IsCommentToken(const std::string& t) {
  return !t.empty() && (t[0] == '/' || t[0] == '(') && t != "(";
}

bool IsComparison(const std::string& t) {
  return t == ">" || t == ">=" || t == "<" || t == "<=" || t == "=";
}

// The closing directive depends on how the conditional was opened, so an unbalanced
// "#else", "#endif" or "#elif" has nothing to refer to: that is a failure of the line.
ConversionContext::OpenConditional& TopOfCondStack(ConversionContext& ctx) {
  if (ctx.CondStack.empty())
    throw IntendedFailure("#else, #endif, #elif or #elseif without an open conditional");
  return ctx.CondStack.back();
}

const char* AlignDirective(int code) {
  static const char* const kDirectives[] = {"{$A1}", "{$A2}", "{$A4}", "{$A8}"};
  if (code < 0 || code > 3) throw std::out_of_range("alignment code out of range");
  return kDirectives[code];
}

bool IsIdentifier(std::string_view t) {
  if (t.empty() || !(std::isalpha(static_cast<unsigned char>(t[0])) || t[0] == '_')) return false;
  for (char c : t)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  return true;
}

// The Pascal compiler's symbol for a macro the C compiler defines for the target ("_WIN64":
// "WIN64"), or the name itself.
const std::string& TargetSymbol(const ConversionContext& ctx, const std::string& name) {
  const int i = ctx.Defs.PredefinedNames.FindExact(name);
  return i >= 0 && i < ctx.Defs.PredefinedValues.Count() ? ctx.Defs.PredefinedValues.Text(i) : name;
}

bool IsTargetMacro(const ConversionContext& ctx, const std::string& name) {
  return ctx.Defs.PredefinedNames.Contains(name);
}

bool IsPascalNumber(std::string_view n) {
  const bool hex = !n.empty() && n[0] == '$';
  if (hex) n.remove_prefix(1);
  return !n.empty() && std::all_of(n.begin(), n.end(), [hex](char c) {
    return hex ? std::isxdigit(static_cast<unsigned char>(c)) != 0
               : std::isdigit(static_cast<unsigned char>(c)) != 0;
  });
}

// An operand of a compiler-ready {$IF} at token `i` (moved past it): a number in Pascal
// spelling (a negative one as "(0-N)", since the compiler's conditions know no unary minus),
// a macro of the C library whose value the target knows ([values]: «INT_MIN»), or a name that
// only counts when it is declared (an unknown name would stop the compiler). `guards`
// collects the Declared(...) tests of the names.
std::optional<std::string> IfOperand(const ConversionContext& ctx, const TStringList2& t, int& i,
                                      std::string& guards) {
  if (i >= t.Count()) return std::nullopt;
  std::string tok = t.Text(i);
  if (IsIdentifier(tok)) {
    ++i;
    if (const int v = ctx.Defs.ValueNames.FindExact(tok); v >= 0 && v < ctx.Defs.ValueValues.Count())
      tok = ctx.Defs.ValueValues.Text(v);
    else {
      (guards += "Declared(") += tok + ") and ";
      return tok;
    }
  } else if (tok == "-" && i + 1 < t.Count()) {
    tok = "-" + t.Text(i + 1);
    i += 2;
  } else {
    ++i;
  }
  const bool negative = tok.size() > 1 && tok[0] == '-';
  const std::string n = ConvertConstOperand(negative ? tok.substr(1) : tok, true);
  if (!IsPascalNumber(n)) return std::nullopt;
  return negative ? "(0-" + n + ")" : n;
}

// The expression of "#if"/"#elif" for a compiler: every name guarded by Declared(...),
// defined with or without parentheses, "==" and "!=", a lone name or number as C reads it
// (non-zero is true). Nothing when a token cannot be followed.
std::optional<std::string> CompilerCondition(const ConversionContext& ctx, const TStringList2& t,
                                             std::string& comment) {
  std::string out;
  const int n = t.Count();
  for (int i = 1; i < n;) {
    std::string tok = t.Text(i);
    const std::string& next = i + 1 < n ? t.Text(i + 1) : std::string();
    if (IsCommentToken(tok) && i + 1 == n) {
      comment = tok;
      ++i;
    } else if (tok == "defined" || tok == "!defined") {
      const char* open = tok == "defined" ? " Defined(" : " (not Defined(";
      const char* close = tok == "defined" ? ")" : "))";
      const bool parens = next == "(" && i + 3 < n && t.Is(i + 3, ")");
      const std::string& name = parens ? t.Text(i + 2) : next;
      if ((parens || IsIdentifier(next)) && IsIdentifier(name)) {
        if (ctx.ReadyState.DeclaredMacros.contains(name))  // a constant or type of the unit
          ((out += tok == "defined" ? " Declared(" : " (not Declared(") += name) += close;
        else
          ((out += open) += TargetSymbol(ctx, name)) += close;
        i += parens ? 4 : 2;
      } else {
        return std::nullopt;
      }
    } else if (tok == "!") {
      out += " not";
      ++i;
    } else if (tok == "&&" || tok == "||") {
      out += tok == "&&" ? " and" : " or";
      ++i;
    } else if (tok == "(" || tok == ")") {
      (out += ' ') += tok;
      ++i;
    } else {
      const bool negated = tok.size() > 1 && tok[0] == '!';
      if (negated) tok.erase(0, 1);
      // A macro called with arguments ("WINAPI_FAMILY_PARTITION(WINAPI_PARTITION_APP)") has
      // no value a compiler can know.
      if (next == "(" && IsIdentifier(tok)) return std::nullopt;
      // A macro of the target alone ("#if _WIN64") is true where the compiler defines it.
      if (IsTargetMacro(ctx, tok) && !IsComparison(next == "==" ? "=" : next) && next != "<>") {
        ((out += negated ? " not Defined(" : " Defined(") += TargetSymbol(ctx, tok)) += ")";
        ++i;
        continue;
      }
      std::string guards;
      int j = i;
      std::optional<std::string> a;
      if (negated) {  // «!X»: the operand without its "!"
        TStringList2 alone;
        alone.Add(tok);
        int k = 0;
        a = IfOperand(ctx, alone, k, guards);
        ++j;
      } else {
        a = IfOperand(ctx, t, j, guards);
      }
      if (!a) return std::nullopt;
      const std::string after = j < n ? t.Text(j) : std::string();
      std::string op = after == "==" ? "=" : after;
      std::string test;
      if (IsComparison(op) || op == "<>") {
        ++j;
        const std::optional<std::string> b = IfOperand(ctx, t, j, guards);
        if (!b) return std::nullopt;
        test = *a + " " + op + " " + *b;
      } else if (guards.empty()) {
        // A name or number alone is true when it is not zero.
        (out += negated ? " not " : " ") += (*a == "0" || *a == "(0-0)" ? "False" : "True");
        i = j;
        continue;
      } else {
        test = *a + " <> 0";
      }
      i = j;
      out += negated ? " not (" : " (";
      (out += guards) += "(" + test + "))";
    }
  }
  if (out.empty()) return std::nullopt;
  return out;
}

// What a written condition is on the units' target: Defined(X), True and False, with not,
// and, or, parentheses. [target] lists the symbols the target surely defines, and with a "!"
// in front those it surely does not; of any other symbol nothing is known.
enum class Truth { False, True, Unknown };
Truth SymbolOnTarget(const ConversionContext& ctx, const std::string& symbol) {
  if (ctx.Defs.TargetSymbols.FindExact(symbol) >= 0) return Truth::True;
  if (ctx.Defs.TargetSymbols.FindExact("!" + symbol) >= 0) return Truth::False;
  return Truth::Unknown;
}

class TargetTruth {
 public:
  TargetTruth(const ConversionContext& ctx, std::string_view text) : ctx_(ctx), s_(text) {}
  Truth Run() {
    const Truth t = Or();
    Skip();
    return at_ == s_.size() || s_[at_] == '}' ? t : Truth::Unknown;
  }

 private:
  void Skip() {
    while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\t')) ++at_;
  }
  bool Word(std::string_view w) {
    Skip();
    if (s_.compare(at_, w.size(), w) != 0) return false;
    const std::size_t end = at_ + w.size();
    if (end < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[end])) || s_[end] == '_'))
      return false;
    at_ = end;
    return true;
  }
  Truth Or() {
    Truth t = And();
    while (ok_ && Word("or")) {
      const Truth r = And();
      t = t == Truth::True || r == Truth::True     ? Truth::True
          : t == Truth::False && r == Truth::False ? Truth::False
                                                   : Truth::Unknown;
    }
    return t;
  }
  Truth And() {
    Truth t = Not();
    while (ok_ && Word("and")) {
      const Truth r = Not();
      t = t == Truth::False || r == Truth::False ? Truth::False
          : t == Truth::True && r == Truth::True ? Truth::True
                                                 : Truth::Unknown;
    }
    return t;
  }
  Truth Not() {
    if (Word("not")) {
      const Truth t = Not();
      return t == Truth::Unknown ? t : t == Truth::True ? Truth::False : Truth::True;
    }
    return Primary();
  }
  Truth Primary() {
    Skip();
    if (Word("True")) return Truth::True;
    if (Word("False")) return Truth::False;
    if (at_ < s_.size() && s_[at_] == '(') {
      ++at_;
      const Truth t = Or();
      Skip();
      if (at_ < s_.size() && s_[at_] == ')')
        ++at_;
      else
        ok_ = false;
      return t;
    }
    if (Word("Defined")) {
      Skip();
      const std::size_t open = at_, close = s_.find(')', at_);
      if (open >= s_.size() || s_[open] != '(' || close == std::string_view::npos) {
        ok_ = false;
        return Truth::Unknown;
      }
      at_ = close + 1;
      return SymbolOnTarget(ctx_, std::string(s_.substr(open + 1, close - open - 1)));
    }
    ok_ = false;  // a comparison, a number: not the target's to say
    return Truth::Unknown;
  }

  const ConversionContext& ctx_;
  std::string_view s_;
  std::size_t at_ = 0;
  bool ok_ = true;
};

Truth TruthOnTarget(const ConversionContext& ctx, std::string_view directive) {
  const std::size_t space = directive.find(' ');
  if (space == std::string_view::npos) return Truth::Unknown;
  return TargetTruth(ctx, directive.substr(space)).Run();
}

// Compiler-ready: the branch the lines after a conditional directive stand in. Each branch
// opens its own sections, so that no section header stands in one branch only. `truth` is
// the branch's condition on the units' target (an #else's is True: it is taken when no
// branch before it is).
enum class Branch { Opens, Next, Closes };
void EnterBranch(ConversionContext& ctx, Branch b, Truth truth = Truth::Unknown) {
  auto& truths = ctx.ReadyState.CondTruth;
  if (b == Branch::Opens) {
    ctx.ReadyState.CondPath.emplace_back(++ctx.ReadyState.CondCounter, 0);
    truths.push_back({truth == Truth::True, truth == Truth::False});
  } else if (ctx.ReadyState.CondPath.empty()) {
    ctx.CurrentSection = Section::None;  // an unbalanced directive: nothing is sure
  } else if (b == Branch::Next) {
    ++ctx.ReadyState.CondPath.back().second;
    if (!truths.empty()) {
      auto& top = truths.back();
      top.Dead = top.Taken || truth == Truth::False;
      top.Taken = top.Taken || truth == Truth::True;
    }
  } else {
    ctx.ReadyState.CondPath.pop_back();
    if (!truths.empty()) truths.pop_back();
  }
  // The last header counts here only when it stands in this branch or around it. (A new
  // header is not written without need: it would end the type section, and with it the
  // pointer types waiting there for the record they point to.)
  const auto& at = ctx.ReadyState.SectionPath;
  const auto& here = ctx.ReadyState.CondPath;
  if (at.size() > here.size() || !std::equal(at.begin(), at.end(), here.begin()))
    ctx.CurrentSection = Section::None;
}

// Compiler-ready: a condition that cannot be translated keeps its error line, and the
// compiler gets a condition that stands for it, so that the branches and the directives
// that close them stay as they are.
RuleResult WriteStandInCondition(ConversionContext& ctx, Statement& st, const char* directive) {
  WriteOutcome(ctx, st);
  st.Built = directive;
  st.Outcome = kWriteBuilt;
  return RuleResult::Epilogue;
}

std::string_view SkipChars(std::string_view s, std::string_view chars) {
  while (!s.empty() && chars.find(s.front()) != std::string_view::npos) s.remove_prefix(1);
  return s;
}

}  // namespace

RuleResult TranslateIf(ConversionContext& ctx, Statement& st) {
  TStringList2& t = ctx.TokenList;
  const std::string_view t0 = t.Text(0);
  const bool opens = t0 == "#if";
  if (opens) {
    st.Built = "{$IF";
    ctx.CondStack.push_back({true, true});
  } else if (t0 == "#elif" || t0 == "#elseif") {
    st.Built = "{$ELSEIF";
    // Even a conditional opened by #ifdef now needs {$IFEND}; this holds whether or not the
    // expression below translates.
    TopOfCondStack(ctx).ClosesWithIfend = true;
  } else {
    return RuleResult::Declined;
  }
  if (ctx.Ready.WritesCompilerConditions()) {
    std::string comment;
    std::optional<std::string> e = CompilerCondition(ctx, t, comment);
    EnterBranch(ctx, opens ? Branch::Opens : Branch::Next,
                e ? TruthOnTarget(ctx, st.Built + *e) : Truth::Unknown);
    if (e) {
      st.Built += *e + " }";
      if (!comment.empty()) (st.Built += '\t') += comment;
      st.Outcome = kWriteBuilt;
      return RuleResult::Epilogue;
    }
    st.Built.clear();
    st.Outcome = 0;
    return WriteStandInCondition(ctx, st, opens ? "{$IF True}" : "{$ELSEIF True}");
  }
  if (ctx.Ready.TracksBranches()) EnterBranch(ctx, opens ? Branch::Opens : Branch::Next);
  const int n = t.Count();
  int i = 1;
  st.Outcome = 1;  // survives when nothing in the expression could be translated
  bool closed = false;
  while (i < n) {
    const std::string tok = t.Text(i);
    if (tok == "!defined" || tok == "defined") {
      if (n - i >= 4 && t.Is(i + 1, "(") && t.Is(i + 3, ")")) {
        const std::string& name = TargetSymbol(ctx, t.Text(i + 2));
        if (tok == "defined")
          st.Built += " Defined(" + name + ")";
        else
          st.Built += " (not Defined(" + name + "))";
        i += 4;
        st.Outcome = kWriteBuilt;
      } else {
        st.Outcome = i;
        break;
      }
    } else if (tok == "!") {
      st.Built += " not";
      ++i;
    } else if (tok == "&&" || tok == "||") {
      st.Built += tok == "&&" ? " and" : " or";
      ++i;
    } else if (tok == "(" || tok == ")") {
      (st.Built += ' ') += tok;
      ++i;
    } else if (IsCommentToken(tok)) {
      // A trailing comment must stand outside the directive's closing brace.
      if (i + 1 == n) {
        st.Built += " }";
        closed = true;
      }
      (st.Built += '\t') += tok;
      ++i;
    } else if (const bool negated = tok.size() > 1 && tok[0] == '!';
               IsTargetMacro(ctx, negated ? tok.substr(1) : tok) &&
               (n - i < 3 || !IsComparison(t.Text(i + 1)))) {
      // A macro of the target alone ("#if _WIN64") is true where the compiler defines it.
      const std::string& name = TargetSymbol(ctx, negated ? tok.substr(1) : tok);
      st.Built += negated ? " (not Defined(" + name + "))" : " Defined(" + name + ")";
      ++i;
      st.Outcome = kWriteBuilt;
    } else {
      if (n - i < 3 || !IsComparison(t.Text(i + 1))) {
        st.Outcome = i;
        break;
      }
      std::string r = t.Text(i + 2);
      if (StartsWith(r, "0x")) {
        r = "$" + r.substr(2);
        t.SetText(i + 2, r);
      }
      st.Built += " " + tok + " " + t.Text(i + 1) + " " + r;
      i += 3;
      st.Outcome = kWriteBuilt;
    }
  }
  if (st.Outcome == kWriteBuilt && !closed) st.Built += " }";
  if (opens)
    ctx.CondStack.back().Written = st.Outcome == kWriteBuilt;
  else if (st.Outcome == kWriteBuilt && !ctx.CondStack.back().Written)
    st.Built.insert(0, "// ");  // the conditional it continues stands in an error line
  return RuleResult::Epilogue;
}

RuleResult TranslateIfdef(ConversionContext& ctx, Statement& st) {
  TStringList2& t = ctx.TokenList;
  const std::string_view t0 = t.Text(0);
  const int n = t.Count();
  if (t0 == "#ifdef" || t0 == "#ifndef") {
    st.Built = t0 == "#ifdef" ? "{$IFDEF " : "{$IFNDEF ";
    st.Outcome = kWriteBuilt;
    if (n < 2) {
      st.Outcome = 1;
    } else {
      st.Built += TargetSymbol(ctx, t.Text(1)) + "}";
      if (n > 2) {
        if (IsCommentToken(t.Text(2)))
          st.Built += "\t" + t.Text(2);  // anything after the comment is dropped
        else
          st.Outcome = 2;
      }
    }
    if (ctx.Ready.WritesCompilerConditions()) {
      // {$IF} form: a compiler takes {$ELSEIF} (from #elif) only after {$IF}.
      ctx.CondStack.push_back({true, true});
      Truth truth = st.Outcome != kWriteBuilt
                        ? Truth::Unknown
                        : SymbolOnTarget(ctx, TargetSymbol(ctx, records::At(t, 1)));
      if (t0 == "#ifndef" && truth != Truth::Unknown)
        truth = truth == Truth::True ? Truth::False : Truth::True;
      EnterBranch(ctx, Branch::Opens, truth);
      if (st.Outcome != kWriteBuilt) {
        st.Built.clear();
        st.Outcome = 0;
        return WriteStandInCondition(ctx, st, "{$IF True}");
      }
      const bool declared = ctx.ReadyState.DeclaredMacros.contains(t.Text(1));
      st.Built = std::string(t0 == "#ifdef" ? "{$IF " : "{$IF not ") +
                 (declared ? "Declared(" : "Defined(") + TargetSymbol(ctx, t.Text(1)) + ") }" +
                 (n > 2 ? "\t" + t.Text(2) : std::string());
      return RuleResult::Epilogue;
    }
    ctx.CondStack.push_back({false, st.Outcome == kWriteBuilt});
    return RuleResult::Epilogue;
  }
  const bool endif = t0 == "#endif";
  if (!endif && t0 != "#else") return RuleResult::Declined;
  const ConversionContext::OpenConditional top = TopOfCondStack(ctx);
  if (ctx.Ready.TracksBranches())
    EnterBranch(ctx, endif ? Branch::Closes : Branch::Next, endif ? Truth::Unknown : Truth::True);
  if (endif) {
    st.Built = top.ClosesWithIfend ? "{$IFEND}" : "{$ENDIF}";
    ctx.CondStack.pop_back();
  } else {
    st.Built = "{$ELSE}";
  }
  st.Outcome = kWriteBuilt;
  if (n == 2 && IsCommentToken(t.Text(1))) {
    st.Built += t.Text(1);
  } else if (n != 1) {
    // A directive that closes a written one stands, or the unit would lose its balance; the
    // rest of the statement is the error line.
    if (top.Written) {
      WriteLine(ctx, std::move(st.Built));
      st.Built.clear();
    }
    st.Outcome = 1;
  }
  if (!top.Written && st.Outcome == kWriteBuilt) st.Built.insert(0, "// ");
  return RuleResult::Epilogue;
}

namespace {

// The alignment codes of "#pragma pack(N)": 0 to 3 for 1, 2, 4 and 8 bytes; -1 for others.
int AlignCode(std::string_view n) {
  return n == "1" ? 0 : n == "2" ? 1 : n == "4" ? 2 : n == "8" ? 3 : -1;
}

}  // namespace

void PushAlignment(ConversionContext& ctx) {
  // Three slots only: a fourth push loses the oldest entry.
  ctx.PackStack3 = ctx.PackStack2;
  ctx.PackStack2 = ctx.PackStack1;
  ctx.PackStack1 = ctx.PackAlign;
}

std::string PopAlignment(ConversionContext& ctx, std::string_view note) {
  // A pop with nothing pushed yields the default alignment.
  ctx.PackAlign = ctx.PackStack1;
  ctx.PackStack1 = ctx.PackStack2;
  ctx.PackStack2 = ctx.PackStack3;
  ctx.PackStack3 = 3;
  return std::string(AlignDirective(ctx.PackAlign)) + " // " + std::string(note);
}

std::string PushAlignmentOf(ConversionContext& ctx, int code, std::string_view note) {
  PushAlignment(ctx);
  ctx.PackAlign = code;
  return std::string(AlignDirective(code)) + " // " + std::string(note);
}

RuleResult TranslatePragma(ConversionContext& ctx, Statement& st) {
  TStringList2& t = ctx.TokenList;
  if (!t.Is(0, "#pragma")) return RuleResult::Declined;
  const int n = t.Count();
  st.Outcome = kWriteComment;  // every shape not listed below
  auto setAlign = [&](int code) {
    ctx.PackAlign = code;
    st.Built = AlignDirective(code);
    st.Outcome = kWriteBuilt;
  };
  if (n == 4) {
    if (t.Is(1, "pack") && t.Is(2, "(") && t.Is(3, ")"))
      setAlign(3);
    else if (t.Is(1, "option") && t.Is(2, "-") && t.Is(3, "a."))
      setAlign(3);
  } else if (n == 5) {
    if (t.Is(1, "pack") && t.Is(2, "(") && t.Is(4, ")")) {
      const std::string_view v = t.Text(3);
      if (const int code = AlignCode(v); code >= 0) {
        setAlign(code);
      } else if (v == "push") {
        PushAlignment(ctx);
        st.Built = "// #pragma pack( push )";
        st.Outcome = kWriteBuilt;
      } else if (v == "pop") {
        st.Built = PopAlignment(ctx);
        st.Outcome = kWriteBuilt;
      }
    } else if (t.Is(1, "option") && t.Is(2, "-") && t.Is(3, "a") && t.Is(4, "-")) {
      setAlign(0);
    }
  } else if ((n == 7 || n == 9) && t.Is(1, "pack") && t.Is(2, "(") && t.Is(4, ",") &&
             t.Is(n - 1, ")")) {
    // pack(push, N), pack(push, name, N), pack(pop, name): C's packing of the records up to
    // the matching pop. The name only pairs pushes and pops in C; the stack does the same.
    const int code = AlignCode(t.Text(n - 2));
    if (t.Is(3, "push") && code >= 0 && (n == 7 || t.Is(6, ","))) {
      st.Built = PushAlignmentOf(ctx, code);
      st.Outcome = kWriteBuilt;
    } else if (t.Is(3, "pop") && n == 7) {
      st.Built = PopAlignment(ctx);
      st.Outcome = kWriteBuilt;
    }
  }
  return RuleResult::Epilogue;
}

RuleResult TranslateExternC(ConversionContext& ctx, Statement& st) {
  TStringList2& t = ctx.TokenList;
  const int n = t.Count();
  // "C++" blocks are linkage blocks too: read as a routine body, their opening brace would
  // turn the rest of the header into one comment.
  // A C++ namespace opens a block as a linkage block does; read as a routine body it would
  // take in the rest of the header.
  if (n == 3 && t.Is(0, "namespace") && t.Is(2, "{")) {
    st.Outcome = 0;
    return RuleResult::Epilogue;
  }
  if (n < 2 || !EqualsIgnoreCase(t.Text(0), "extern") || (!t.Is(1, "'C'") && !t.Is(1, "'C++'")))
    return RuleResult::Declined;
  const bool cpp = t.Is(1, "'C++'");
  if (n == 2) {
    ctx.Pending = true;  // the declaration follows on the next line
    return RuleResult::Done;
  }
  if (n > 7 && !t.Is(2, "{")) {
    // A wrapped declaration is translated as if written without the wrapper.
    t.Delete(0);
    t.Delete(0);
    return RuleResult::Restart;
  }
  // The opening of a linkage block: its closing brace is not tracked.
  st.Built = cpp ? "extern \"C++\"" : "extern \"C\"";
  st.Outcome = 2;
  return RuleResult::Epilogue;
}

CplusplusAction ResolveCplusplusLine(std::string_view line, CplusplusState& state) {
  enum class Kind { IfdefCpp, Ifdef, IfDefinedCpp, IfNotDefinedCpp, If, Else, Endif, Other };
  const std::string_view s = SkipChars(line, " \t");
  Kind kind = Kind::Other;
  if (StartsWith(s, "#ifdef ")) {
    kind = StartsWith(SkipChars(s.substr(7), " "), "__cplusplus") ? Kind::IfdefCpp : Kind::Ifdef;
  } else if (StartsWith(s, "#if")) {
    const std::string_view rest = SkipChars(s.substr(3), " ");
    if (StartsWith(rest, "defined(__cplusplus)"))
      kind = Kind::IfDefinedCpp;
    else if (StartsWith(rest, "!defined(__cplusplus"))
      kind = Kind::IfNotDefinedCpp;
    else
      kind = Kind::If;
  } else if (StartsWith(s, "#else") || StartsWith(s, "#elif")) {
    kind = Kind::Else;
  } else if (StartsWith(s, "#endif")) {
    kind = Kind::Endif;
  }

  // Kept conditional lines are translated as directives; only other lines are looked at
  // for interface and class heads.
  const CplusplusAction keep =
      kind == Kind::Other ? CplusplusAction::KeepLine : CplusplusAction::KeepDirective;
  const bool dropping = state.Mode < 0;
  switch (kind) {
    case Kind::IfdefCpp:
    case Kind::IfDefinedCpp:
    case Kind::IfNotDefinedCpp:
      if (state.Mode == 0) {
        state.Mode = kind == Kind::IfNotDefinedCpp ? -1 : 1;
        state.Depth = 1;
        return CplusplusAction::Delete;
      }
      ++state.Depth;
      return dropping ? CplusplusAction::Delete : keep;
    case Kind::Ifdef:
    case Kind::If:
      if (state.Mode == 0) return keep;
      ++state.Depth;
      return dropping ? CplusplusAction::Delete : keep;
    case Kind::Else:
      if (state.Mode == 0) return keep;
      if (state.Mode == 1) {
        if (state.Depth != 1) return keep;
        state.Mode = -2;  // the C++ branch has ended: drop the rest of the block
        return CplusplusAction::Delete;
      }
      if (state.Mode == -1 && state.Depth == 1) state.Mode = 1;  // the C++ branch begins
      return CplusplusAction::Delete;
    case Kind::Endif: {
      if (state.Mode == 0) return keep;
      const int was = state.Depth--;
      if (was == 1) {
        state.Mode = 0;  // the block is over, whichever branch was kept
        return CplusplusAction::Delete;
      }
      return dropping ? CplusplusAction::Delete : keep;
    }
    case Kind::Other:
      return dropping ? CplusplusAction::Delete : keep;
  }
  return keep;
}

}  // namespace tqc
