// Macros of declarations for the compiler-ready stage: learned where they are defined, written
// out where a record names one.
#pragma once

namespace tqc {

struct ConversionContext;

// After a "#define NAME VALUE" statement (the tokens in the token list): keeps a value of
// declarations ending in ";".
void LearnFieldMacro(ConversionContext& ctx);
// A statement inside a record that begins with a macro of declarations is read again with the
// macro's declarations in its place, one per line as a header writes them (a nested union's
// braces on lines of their own), so that the record gets its fields and its closing brace.
// True when the statement was replaced; false when it is not such a use, or when it would
// write out too many tokens (the statement is then translated as it stands).
bool ExpandFieldMacro(ConversionContext& ctx);

}  // namespace tqc
