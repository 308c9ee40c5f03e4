// Rule-time part of the stage. C shape: «#define X_FIELDS DWORD a; HICON b;», then
// «typedef struct { X_FIELDS } X;». A macro without parameters whose value is declarations
// ending in ";" is remembered; a record that names one gets its declarations as fields, read
// again one per line. The macros a value names when it is defined stand in it by reference,
// so that a macro built from others («#define M1 M0 M0», «#define M2 M1 M1» ...) costs what its
// definition costs, not what it would be written out; a use that would write out more than
// kMaxFieldMacroTokens tokens is an error line.
#include "compile_ready/field_macros.h"

#include <algorithm>
#include <limits>
#include <unordered_set>

#include "context.h"
#include "dispatch.h"
#include "routines.h"

namespace tqc {

namespace {

constexpr std::uint64_t kMaxFieldMacroTokens = 100'000;

std::uint64_t AddSizes(std::uint64_t a, std::uint64_t b) {
  return a > std::numeric_limits<std::uint64_t>::max() - b
             ? std::numeric_limits<std::uint64_t>::max()
             : a + b;
}

// Whether `name` is a token of the value as written out (the macros it refers to included);
// each macro is looked at once.
bool Names(const FieldMacro& macro, const std::string& name,
           std::unordered_set<const FieldMacro*>& seen) {
  if (!seen.insert(&macro).second) return false;
  for (const FieldMacro::Item& item : macro.Items) {
    if (item.Ref ? Names(*item.Ref, name, seen) : item.Token == name) return true;
  }
  return false;
}

// Writes out a value: its references, and the names of the macros known now (each once on a
// path, so that a macro that leads back to itself stays a name). False when the output would
// pass the limit.
bool Append(const CompileReadyState& state, const FieldMacro& value,
            std::vector<std::string>& visiting, std::vector<std::string>& out) {
  for (const FieldMacro::Item& item : value.Items) {
    if (item.Ref) {
      if (!Append(state, *item.Ref, visiting, out)) return false;
      continue;
    }
    const auto inner = state.FieldMacros.find(item.Token);
    if (inner == state.FieldMacros.end() ||
        std::find(visiting.begin(), visiting.end(), item.Token) != visiting.end()) {
      if (out.size() >= kMaxFieldMacroTokens) return false;
      out.push_back(item.Token);
      continue;
    }
    visiting.push_back(item.Token);
    const bool fits = Append(state, *inner->second, visiting, out);
    visiting.pop_back();
    if (!fits) return false;
  }
  return true;
}

}  // namespace

void LearnFieldMacro(ConversionContext& ctx) {
  const int n = ctx.TokCount();
  if (ctx.FunctionLikeDefine || n < 4) return;
  CompileReadyState& state = ctx.ReadyState;
  auto macro = std::make_shared<FieldMacro>();
  bool endsDeclaration = false;
  // A macro defined as nothing that ends the value («int fd; PLATFORM_FIELDS») adds nothing.
  int last = n - 1;
  while (last > 2 && IsCommentToken(ctx.Tok(last))) --last;
  for (int i = 2; i < n; ++i) {
    const std::string& tok = ctx.Tok(i);
    if (IsCommentToken(tok) || (i == last && ctx.Defs.EmptyMacros.Contains(tok))) continue;
    if (auto used = state.FieldMacros.find(tok); used != state.FieldMacros.end()) {
      macro->Items.push_back({std::string(), used->second});
      macro->Size = AddSizes(macro->Size, used->second->Size);
      endsDeclaration = true;  // every macro kept ends in ";"
    } else {
      macro->Items.push_back({tok, nullptr});
      macro->Size = AddSizes(macro->Size, 1);
      endsDeclaration = tok == ";";
      state.FieldMacroTokens.insert(tok);
    }
  }
  if (!endsDeclaration) return;
  // A value that would name its own macro is not kept, so that no use can expand without end.
  // Only a name that stands plain in some kept value can: most are passed at once.
  const std::string& name = ctx.Tok(1);
  if (state.FieldMacroTokens.contains(name)) {
    std::unordered_set<const FieldMacro*> seen;
    if (Names(*macro, name, seen)) return;
  }
  state.FieldMacros[name] = std::move(macro);
}

bool ExpandFieldMacro(ConversionContext& ctx) {
  TStringList2& t = ctx.TokenList;
  // Lines that came from a macro are not read as macros again: a macro that leads back to
  // itself would never end.
  if (!ctx.Ready.ExpandsFieldMacros() || ctx.ReadyState.ReadingExpansion ||
      (ctx.OpenStructLine == -1 && ctx.OpenUnionLine == -1))
    return false;
  const auto macro = ctx.ReadyState.FieldMacros.find(t.Text(0));
  if (macro == ctx.ReadyState.FieldMacros.end()) return false;
  std::vector<std::string> visiting{macro->first}, tokens;
  // Too large to write out: the statement stays as it is, an error line of the record.
  if (macro->second->Size > kMaxFieldMacroTokens ||
      !Append(ctx.ReadyState, *macro->second, visiting, tokens))
    return false;
  std::vector<std::string> lines(1);
  for (const std::string& tok : tokens) {
    if (tok == "}" && !lines.back().empty()) lines.emplace_back();
    (lines.back() += ' ') += tok;
    if (tok == "{" || tok == ";") lines.emplace_back();
  }
  for (int i = 1; i < t.Count(); ++i)
    (lines.back() += ' ') += AsSource(t.Text(i), i + 1 == t.Count());
  if (lines.back().empty()) lines.pop_back();
  for (auto line = lines.rbegin(); line != lines.rend(); ++line) ctx.SourceLines.push_front(*line);
  ctx.ReadyState.ExpandedLines = static_cast<int>(lines.size());
  t.Clear();
  ctx.Pending = false;
  return true;
}

}  // namespace tqc
