// Input pass. C shape: «#ifdef __WIDL__ ... #else ... #endif» (and «#ifndef __WIDL__» with the
// branches the other way round). The branches for the IDL compiler are never C: winnt.h opens
// a record there and another one in the #else. Their lines become comments before the rules
// read them, so that the rules do not join the two. A branch where a block comment opens and
// does not close on its line is left as it is. One walk, however deep the conditionals nest.
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "compile_ready/passes.h"
#include "context.h"

namespace tqc {

namespace {

std::string_view SkipBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

// The directive of a line ("ifdef X" of "  #  ifdef X"), or empty.
std::string_view DirectiveOf(std::string_view line) {
  line = SkipBlanks(line);
  if (line.empty() || line.front() != '#') return {};
  return SkipBlanks(line.substr(1));
}

bool StartsWithText(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && s.substr(0, prefix.size()) == prefix;
}

// +1: the first branch is the IDL compiler's; -1: the branches after the first are; 0: none.
int WidlKind(std::string_view d) {
  std::string text;
  for (char c : d)
    if (c != ' ' && c != '\t') text += c;
  if (const std::size_t comment = text.find("/*"); comment != std::string::npos)
    text.erase(comment);
  if (text == "ifdef__WIDL__" || text == "ifdefined(__WIDL__)") return 1;
  if (text == "ifndef__WIDL__" || text == "if!defined(__WIDL__)") return -1;
  return 0;
}

// Whether a block comment opens on the line and is still open at its end.
bool OpensComment(std::string_view line) {
  const std::size_t open = line.rfind("/*");
  return open != std::string_view::npos && line.find("*/", open) == std::string_view::npos;
}

// For every line that opens a conditional: whether a block comment opens, and stays open at
// the end of its line, somewhere in that conditional (its own line included, its #endif
// line not); a conditional that never ends counts as such. One walk: a conditional's finding
// passes to the one around it when it closes.
std::vector<bool> ConditionalsWithOpenComments(const SourceQueue& src) {
  std::vector<bool> found(src.size(), false);
  struct Open {
    std::size_t Line;
    bool Comment = false;
  };
  std::vector<Open> open;
  for (std::size_t j = 0; j < src.size(); ++j) {
    const std::string_view d = DirectiveOf(src[j]);
    if (StartsWithText(d, "if")) {
      open.push_back({j});
    } else if (StartsWithText(d, "endif") && !open.empty()) {
      const Open closed = open.back();
      open.pop_back();
      found[closed.Line] = closed.Comment;
      if (!open.empty() && closed.Comment) open.back().Comment = true;
    }
    if (!open.empty() && OpensComment(src[j])) open.back().Comment = true;
  }
  for (const Open& o : open) found[o.Line] = true;
  return found;
}

}  // namespace

void CommentIdlCompilerBranches(ConversionContext& ctx) {
  SourceQueue& src = ctx.SourceLines;
  const std::vector<bool> openComment = ConditionalsWithOpenComments(src);
  struct Open {
    int Kind;
    bool First = true;
  };
  std::vector<Open> open;
  // commenting[n]: whether one of the first n open conditionals is in a branch for the IDL
  // compiler (one entry more than `open`; only the last changes at an #else).
  std::vector<bool> commenting{false};
  auto inIdlBranch = [](const Open& o) {
    return (o.Kind == 1 && o.First) || (o.Kind == -1 && !o.First);
  };
  std::deque<std::string_view> kept;
  for (std::size_t i = 0; i < src.size(); ++i) {
    const std::string_view line = src[i];
    const std::string_view d = DirectiveOf(line);
    bool comment = false;
    // A directive counts in the conditionals around its own.
    if (StartsWithText(d, "if")) {
      comment = commenting.back();
      const int kind = comment ? 0 : WidlKind(d);
      open.push_back({kind != 0 && openComment[i] ? 0 : kind});
      commenting.push_back(comment || inIdlBranch(open.back()));
    } else if (StartsWithText(d, "el") && !open.empty()) {
      open.back().First = false;
      commenting.back() = commenting[open.size() - 1] || inIdlBranch(open.back());
      comment = commenting[open.size() - 1];
    } else if (StartsWithText(d, "endif") && !open.empty()) {
      open.pop_back();
      commenting.pop_back();
      comment = commenting.back();
    } else {
      comment = commenting.back();
    }
    kept.push_back(comment ? src.Own("// " + std::string(line)) : line);
  }
  src.Select(std::move(kept));
}

}  // namespace tqc
