// TranslateStatement: normalisation of the token list, the fixed order in which the rule
// families are tried, and the epilogue that writes a rule's Outcome.
#include "dispatch.h"

#include <algorithm>
#include <stdexcept>

#include "compile_ready/field_macros.h"
#include "routines.h"
#include "rules.h"
#include "type_mapping.h"

namespace tqc {

void WriteLine(ConversionContext& ctx, std::string_view text) { ctx.Pane.Add(text); }
void WriteLine(ConversionContext& ctx, std::string&& text) { ctx.Pane.Add(std::move(text)); }

void WriteBoldLine(ConversionContext& ctx, std::string_view text, int column, int length) {
  std::size_t pos = ctx.Pane.TextLength();
  ctx.Pane.Add(text);
  ctx.Pane.MarkRange(pos + static_cast<std::size_t>(column), static_cast<std::size_t>(length),
                     TextStyle::Bold);
}

namespace {

// A routine body carried as a "(*" comment over the next lines: opened inside the "//" of an
// error or comment line, it would open nothing, and the body's lines would stand as code.
// The "(*" starts a line of its own. Likewise a "*)" that closes such a body from an error
// line: what follows it on the line would stand as code, so it goes on a comment line.
void CommentContinuations(std::string& line) {
  // A body opened on this line and not closed on it (how a body begins: C's "(*p)" is none).
  const std::size_t open = line.rfind("(* {");
  if (open != std::string::npos && open > 0 && line.find("*)", open) == std::string::npos) {
    line.insert(open, "\r\n");
    return;
  }
  // A body closed on this line that no "(*" of the line opened.
  const std::size_t close = line.find("*)");
  if (close != std::string::npos && line.rfind("(*", close) == std::string::npos &&
      line.find_first_not_of(" \t", close + 2) != std::string::npos)
    line.insert(close + 2, "\r\n// ");
}

// Appends an error line (it begins with "// Error : "): "Error" red, ErrorCount + 1.
void AddErrorLine(ConversionContext& ctx, std::string&& line) {
  // A field that became an error line would leave its record smaller than C's.
  if (ctx.OpenStructLine != -1 || ctx.OpenUnionLine != -1) ctx.RecordLostField = true;
  CommentContinuations(line);
  const std::size_t pos = ctx.Pane.TextLength();
  ctx.Pane.Add(std::move(line));
  ctx.Pane.MarkRange(pos + 3, 5, TextStyle::Red);
  ++ctx.ErrorCount;
}

// Appends " " + token for every token from `first` on, into one allocation. Every comment
// and error line is written here: the entries are read directly.
void AppendTokens(std::string& out, const TStringList2& t, int first) {
  const std::vector<TStringList2::Entry>& entries = t.Entries();
  const std::size_t from = static_cast<std::size_t>(std::max(first, 0));
  std::size_t size = out.size();
  for (std::size_t i = from; i < entries.size(); ++i) size += 1 + entries[i].Text.size();
  out.reserve(size);
  for (std::size_t i = from; i < entries.size(); ++i) {
    out.push_back(' ');
    out.append(entries[i].Text);
  }
}

}  // namespace

void WriteErrorLine(ConversionContext& ctx, std::string_view text) {
  std::string line;
  line.reserve(11 + text.size());
  line += "// Error : ";
  line += text;
  AddErrorLine(ctx, std::move(line));
}

void WriteOutcome(ConversionContext& ctx, Statement& st) {
  const TStringList2& t = ctx.TokenList;
  if (st.Outcome == kWriteBuilt) {
    WriteLine(ctx, std::move(st.Built));
  } else if (st.Outcome < 0) {
    std::string line = "// ";
    AppendTokens(line, t, 0);
    CommentContinuations(line);
    WriteLine(ctx, std::move(line));
  } else {
    std::string line = "// Error : ";
    if (st.Outcome > 0) line += st.Built;
    AppendTokens(line, t, st.Outcome);
    AddErrorLine(ctx, std::move(line));
  }
  st.Built.clear();
}

namespace {

bool BodyOpen(const ConversionContext& ctx) {
  return ctx.OpenStructLine != -1 || ctx.OpenUnionLine != -1 || ctx.OpenEnumLine != -1;
}

bool IsLineComment(const std::string& t) { return t.size() > 1 && StartsWith(t, "//"); }

// The typedef retry of a typedef that no typedef rule claimed.
RuleResult TypedefRetry(ConversionContext& ctx, Statement& st) {
  TStringList2& t = ctx.TokenList;
  const int k = t.Count();
  auto isTag = [](const std::string& s) { return s == "struct" || s == "union" || s == "enum"; };
  if ((k == 2 && isTag(t.Text(1))) || (k == 3 && isTag(t.Text(1)) && !t.Is(2, "{"))) {
    SwitchSection(ctx, Section::Type);
    ctx.Pending = true;
    return RuleResult::Done;
  }
  if (k == 1) {
    ctx.Pending = true;
    return RuleResult::Done;
  }
  if (k > 5 && t.Is(4, "public")) {
    st.Outcome = 0;
    ctx.SkippingBlock = true;
    return RuleResult::Epilogue;
  }
  auto findFrom2 = [&](const char* s) {
    for (int i = 2; i < k; ++i)
      if (t.Text(i) == s) return true;
    return false;
  };
  // A typedef spread over several lines («typedef const X *» and «PX;» on the next) is
  // complete only at its ";".
  if (!findFrom2(";")) {
    ctx.Pending = true;
    return RuleResult::Done;
  }
  if (!findFrom2("(")) {
    st.Outcome = 0;
    return RuleResult::Epilogue;
  }
  t.Delete(0);
  ctx.RoutineTypedef = true;
  ctx.Retranslate = true;
  return RuleResult::Done;
}

// One pass of the dispatch; returns what ended it.
RuleResult Dispatch(ConversionContext& ctx, Statement& st) {
  TStringList2& t = ctx.TokenList;
  int k = t.Count();
  if (k == 0) {
    WriteLine(ctx, "");
    return RuleResult::Done;
  }
  if (ctx.InBlockComment && k == 1) {
    const std::string& tok = t.Text(0);
    const bool inBody = ctx.OpenStructLine > 0 || ctx.OpenUnionLine > 0 || ctx.OpenEnumLine > 0;
    if (IsLineComment(tok) || (StartsWith(tok, "(*") && inBody))
      WriteLine(ctx, "\t" + tok);
    else
      WriteLine(ctx, tok);
    return RuleResult::Done;
  }
  st.Outcome = kWriteBuilt;
  if (k == 1) {
    const std::string& tok = t.Text(0);
    if (IsLineComment(tok) || StartsWith(tok, "(*")) {
      WriteLine(ctx, BodyOpen(ctx) ? "\t" + tok : tok);
      return RuleResult::Done;
    }
    if (tok.size() > 1 && tok.back() == ')') {
      WriteLine(ctx, tok);
      return RuleResult::Done;
    }
  }
  if (ExpandFieldMacro(ctx)) return RuleResult::Done;
  // A macro defined as nothing before a record's closing brace («int fd;» /
  // «PLATFORM_FIELDS };») stands for no field: the statement is read without it.
  if (k > 1 && (ctx.OpenStructLine != -1 || ctx.OpenUnionLine != -1) && t.Is(1, "}") &&
      ctx.Defs.EmptyMacros.Contains(t.Text(0))) {
    t.Delete(0);
    k = t.Count();
  }
  if (StartsWith(t.Text(0), "(*")) {
    st.Built = t.Text(0);
    t.Delete(0);
    k = t.Count();
  }
  if (k > 3 && (t.Is(0, "struct") || t.Is(0, "union") || t.Is(0, "enum"))) {
    for (int i = 1; i < k; ++i) {
      if (t.Is(i, "{")) break;
      if (t.Is(i, ";")) {
        t.Delete(0);
        k = t.Count();
        break;
      }
    }
  }
  // The interface identifier of a type («typedef DECLSPEC_UUID("0000051E-...") enum X {»,
  // ADO's enumerations) belongs to no Pascal type: the type is read without it.
  if (k > 6 && t.Is(0, "typedef") && t.Is(1, "DECLSPEC_UUID") && t.Is(2, "(") && t.Is(4, ")")) {
    for (int i = 0; i < 4; ++i) t.Delete(1);
    k = t.Count();
  }
  // An alignment of a record («struct DECLSPEC_ALIGN(16) _M128A {») has no Pascal form the
  // record could carry: it stays as a comment after the "{", and the record is read.
  if (k > 5 && (t.Is(0, "typedef") || t.Is(0, "struct") || t.Is(0, "union"))) {
    const int at = t.Is(0, "typedef") ? 2 : 1;
    std::string attribute;
    if (t.Is(at, "DECLSPEC_ALIGN") && t.Is(at + 1, "(") && t.Is(at + 3, ")")) {
      attribute = "DECLSPEC_ALIGN(" + t.Text(at + 2) + ")";
      for (int i = 0; i < 4; ++i) t.Delete(at);
    } else if (t.Is(at, "__declspec") && t.Is(at + 1, "(") && t.Is(at + 2, "align") &&
               t.Is(at + 3, "(") && t.Is(at + 5, ")") && t.Is(at + 6, ")")) {
      attribute = "__declspec(align(" + t.Text(at + 4) + "))";
      for (int i = 0; i < 7; ++i) t.Delete(at);
    }
    if (!attribute.empty()) {
      for (int i = at; i < t.Count(); ++i)
        if (t.Is(i, "{")) {
          t.Insert(i + 1, "(* " + attribute + " *)");
          break;
        }
      k = t.Count();
    }
  }
  // Compiler-ready: a comment between a record's name and its "{" («typedef struct _X
  // /* c */ {») goes after the "{", where the head rules keep it.
  if (ctx.Ready.MovesCommentsIntoRecordHeads() && k > 4 &&
      (t.Is(0, "typedef") || t.Is(0, "struct") || t.Is(0, "union") || t.Is(0, "enum"))) {
    for (int i = 2; i + 1 < k && i < 4; ++i)
      if (IsCommentToken(t.Text(i)) && t.Is(i + 1, "{")) {
        const std::string comment = t.Text(i);
        t.Delete(i);
        t.Insert(i + 1, comment);
        break;
      }
  }
  if (k == 2 && t.Is(0, "}") && StartsWith(t.Text(1), "#")) {
    WriteLine(ctx, "// }");
    t.Delete(0);
    k = t.Count();
  }
  if (k > 4 && t.Is(0, "__declspec") && t.Is(1, "(") && t.Is(2, "dllexport") && t.Is(3, ")")) {
    for (int i = 0; i < 4; ++i) t.Delete(0);
    t.Insert(0, "_export");
    k = t.Count();
  }

  using Rule = RuleResult (*)(ConversionContext&, Statement&);
  auto tryRules = [&](std::initializer_list<Rule> rules) {
    for (Rule r : rules) {
      RuleResult res = r(ctx, st);
      if (res != RuleResult::Declined) return res;
    }
    return RuleResult::Declined;
  };

  if (auto r = tryRules({ApplyReplacement, TranslateIf, TranslateIfdef, TranslatePragma});
      r != RuleResult::Declined)
    return r;

  if (ctx.SkippingBlock) {
    st.Outcome = ctx.SkippingAsComment ? kWriteComment : 0;
    const int n = t.Count();
    const bool endsBlock = (n >= 2 && t.Is(n - 2, "}") && t.Is(n - 1, ";")) ||
                           (t.Is(0, "}") && (t.Is(n - 1, ";") || (n >= 2 && t.Is(n - 2, ";"))));
    if (endsBlock) ctx.SkippingBlock = ctx.SkippingAsComment = false;
    return RuleResult::Epilogue;
  }

  if (auto r = tryRules(
          {TranslateExternC, TranslateGuid, TranslateInclude, TranslateUndef, TranslateDefine});
      r != RuleResult::Declined)
    return r;

  if (StartsWith(t.Text(0), "#")) {
    st.Outcome = 0;
    return RuleResult::Epilogue;
  }

  if (!t.Is(0, "typedef")) {
    if (auto r = TranslateDeclaration(ctx, st); r != RuleResult::Declined) return r;
  } else {
    if (auto r = TranslateTypedef(ctx, st); r != RuleResult::Declined) return r;
    return TypedefRetry(ctx, st);
  }

  if (auto r = tryRules({TranslateOpenBody, TranslateInterfaceOrClass}); r != RuleResult::Declined)
    return r;

  // A lone "}" outside any body (the end of an extern "C" block) closes nothing that we
  // track. Left to the prototype rule it would stay pending and swallow what follows.
  if (!BodyOpen(ctx) && !ctx.InInterface && t.Is(0, "}") &&
      (t.Count() == 1 || (t.Count() == 2 && IsCommentToken(t.Text(1))))) {
    std::string line = st.Built.empty() ? "// }" : st.Built + " // }";
    if (t.Count() == 2) line += "\t" + t.Text(1);
    st.Built = line;
    st.Outcome = kWriteBuilt;
    return RuleResult::Epilogue;
  }

  if (auto r = tryRules({TranslatePrototype, TranslateVariable}); r != RuleResult::Declined)
    return r;

  // No rule claims the statement: it stays visible as an error line.
  st.Outcome = 0;
  return RuleResult::Epilogue;
}

}  // namespace

namespace {

// Moves the tokens after the end of the first statement to the front of FollowingTokens.
void SplitOffFollowing(ConversionContext& ctx) {
  TStringList2& t = ctx.TokenList;
  const int n = t.Count();
  const int end = StatementEnd(n, [&](int i) -> const std::string& { return t.Text(i); });
  for (int i = n - 1; i >= end; --i) {
    ctx.FollowingTokens.push_front(t.Entries()[static_cast<std::size_t>(i)]);
    t.Delete(i);
  }
}

}  // namespace

void TranslateStatement(ConversionContext& ctx) {
  Statement st;
  for (;;) {
    SplitOffFollowing(ctx);
    const int before = ctx.TokenList.Count();
    switch (Dispatch(ctx, st)) {
      case RuleResult::Restart:
        // A restart must work on fewer tokens, or the statement would never end.
        if (ctx.TokenList.Count() >= before)
          throw std::logic_error("statement restarted without consuming tokens");
        continue;
      case RuleResult::Epilogue:
        WriteOutcome(ctx, st);
        ctx.Pending = false;
        ctx.RoutineTypedef = false;
        return;
      case RuleResult::Done:
      case RuleResult::Declined:
        return;
    }
  }
}

}  // namespace tqc
