// TranslateStatement: the frame around the translation rules. It normalises the collected
// tokens, hands the statement to the first rule that claims it, and writes the result
// through the Outcome epilogue.
#pragma once

#include <string>
#include <string_view>

#include "context.h"

namespace tqc {

// Outcome codes of a statement.
constexpr int kWriteBuilt = -1;    // write the built line
constexpr int kWriteComment = -2;  // write the tokens as a "//" comment
// n >= 0: error line from token n on.

struct Statement {
  int Outcome = kWriteBuilt;
  std::string Built;
};

// What a rule did with the statement.
enum class RuleResult {
  Declined,  // not this rule's statement: dispatch goes on
  Epilogue,  // Outcome and Built are set: write through the epilogue
  Done,      // the rule wrote its own lines, left the statement pending or asked for a pass
  Restart,   // the token list was rewritten: dispatch again from the start
};

// Translates the statement in TokenList. Tokens after the end of its first statement (see
// StatementEnd) are moved to the front of FollowingTokens first, at every pass: the driver
// translates them as the statements that follow.
void TranslateStatement(ConversionContext& ctx);

// A comment token: "//" or "(*" at its start.
inline bool IsCommentToken(std::string_view t) {
  return t.size() >= 2 && ((t[0] == '/' && t[1] == '/') || (t[0] == '(' && t[1] == '*'));
}

// Where the first statement of a token sequence ends: the index after its ";" (and after a
// comment right behind it, which belongs to it), or `count` when nothing but comments and
// empty statements follows. Only a ";" outside parentheses and braces counts, so a routine body or
// a record with its fields stays one statement; a preprocessor line is always one statement.
// `text(i)` gives token i.
template <class Text>
int StatementEnd(int count, const Text& text) {
  if (count == 0 || text(0).starts_with("#")) return count;
  int parens = 0, braces = 0;
  for (int i = 0; i < count; ++i) {
    const std::string& t = text(i);
    if (t.size() != 1) continue;
    switch (t[0]) {
      case '(':
        ++parens;
        break;
      case ')':
        if (parens > 0) --parens;
        break;
      case '{':
        ++braces;
        break;
      case '}':
        if (braces > 0) --braces;
        break;
      case ';': {
        if (parens > 0 || braces > 0) break;
        int end = i + 1;
        if (end < count && IsCommentToken(text(end))) ++end;
        // Comments and empty statements («}; /* X */;») stay with the statement.
        for (int j = end; j < count; ++j)
          if (!IsCommentToken(text(j)) && text(j) != ";") return end;
        return count;
      }
      default:
        break;
    }
  }
  return count;
}

// Writes the line; "Error" of "// Error : " lines is coloured red and counted by the caller.
void WriteLine(ConversionContext& ctx, std::string_view text);
void WriteLine(ConversionContext& ctx, std::string&& text);
inline void WriteLine(ConversionContext& ctx, const char* text) {
  WriteLine(ctx, std::string_view(text));
}
// Appends a line and marks the whole of `boldWord` at `column` bold.
void WriteBoldLine(ConversionContext& ctx, std::string_view text, int column, int length);
// Writes "// Error : " + text as an error line: "Error" red, ErrorCount + 1.
void WriteErrorLine(ConversionContext& ctx, std::string_view text);

// The epilogue alone: writes the statement's outcome, taking over its built text.
void WriteOutcome(ConversionContext& ctx, Statement& st);

}  // namespace tqc
