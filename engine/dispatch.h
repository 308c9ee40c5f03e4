// TranslateStatement: the frame around the translation rules. It normalises the collected
// tokens, hands the statement to the first rule that claims it, and writes the result
// through the Outcome epilogue.
#pragma once

#include <string>

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

void TranslateStatement(ConversionContext& ctx);

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
