// Numbers and constant expressions: C literals in Pascal spelling, integer reading, known
// constant values, and the translator of a #define's value into a constant declaration.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "context.h"

namespace tqc {

struct Statement;

// Pascal spelling of a C number token ("0x1F" -> "$1F", "10UL" -> "10U"); other tokens as given.
std::string ConvertNumber(std::string_view token);
// Decimal (signed 32-bit, no overflow) or "$"/"x"/"0x" hexadecimal (1-8 digits, a 32-bit
// pattern); leading blanks allowed, nothing may follow.
std::optional<int> ParseInteger(std::string_view text);
// ParseInteger, else the value of a known constant name.
std::optional<int> ResolveValue(const ConversionContext& ctx, std::string_view text);
// Operand of an enumeration value.
std::string ConvertEnumOperand(const ConversionContext& ctx, std::string_view token);
// w upper-case hexadecimal digits (at least); throws IntendedFailure for a non-number.
std::string FormatHexNumber(std::string_view text, int width);
// "argv[]" -> "*argv".
std::string ArrayParamToPointer(std::string_view text);

// Translates the value part of a #define (tokens t0..t(n-1), name t1) into a constant
// declaration; sets the statement's built line and Outcome.
void TranslateConstExpression(ConversionContext& ctx, Statement& st);

}  // namespace tqc
