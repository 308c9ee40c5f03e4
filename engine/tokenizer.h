// TokenizeLine: splits one input line into tokens appended to the context's TokenList. It
// already does the lexical part of the translation: comments become Pascal comments, C
// strings Pascal string expressions, "!=" becomes "<>", and a "*" is glued to its word.
#pragma once

#include <string_view>

#include "context.h"

namespace tqc {

void TokenizeLine(std::string_view line, ConversionContext& ctx);

// Whether byte c starts a double-byte character in the given ANSI code page (0: none).
bool IsLeadByte(unsigned char c, int codePage);

}  // namespace tqc
