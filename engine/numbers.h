// Numbers and constant expressions: C literals in Pascal spelling, integer reading, known
// constant values, and the translator of a #define's value into a constant declaration.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "context.h"

namespace tqc {

struct Statement;

// Pascal spelling of a C number token ("0x1F" -> "$1F", "10UL" -> "10U"); other tokens as given.
std::string ConvertNumber(std::string_view token);
// An operand of a constant value: ConvertNumber, and the null pointer NULL as "nil". For a
// compiler (`compileReady`) a number loses every suffix ("0x1UL", "10ULL", "5i64") and C's
// "~x" is "not x".
std::string ConvertConstOperand(std::string_view token, bool compileReady = false);
// Decimal (signed 32-bit, no overflow) or "$"/"x"/"0x" hexadecimal (1-8 digits, a 32-bit
// pattern); leading blanks allowed, nothing may follow.
std::optional<int> ParseInteger(std::string_view text);
// ParseInteger, else the value of a known constant name.
std::optional<int> ResolveValue(const ConversionContext& ctx, std::string_view text);
// Operand of an enumeration value.
std::string ConvertEnumOperand(const ConversionContext& ctx, std::string_view token);
// w upper-case hexadecimal digits (at least); throws IntendedFailure for a non-number.
std::string FormatHexNumber(std::string_view text, int width);
// Compiler-ready: whether the tokens from `first` on name something that is not known (see
// IsKnownName); numbers, strings and comments name nothing.
bool HasUnknownName(ConversionContext& ctx, int first);
// "argv[]" -> "*argv".
std::string ArrayParamToPointer(std::string_view text);
// The 32-bit pattern of a value as 8 upper-case hexadecimal digits ("80040005").
std::string Hex8(std::uint32_t value);

// The one-operation folder of a constant expression: "(a op b)" with two numbers folds to
// its signed 32-bit result (wrapping). FoldState: 0 no operand yet, 1 first operand known,
// 2 folded result known, -1 no folding for the rest of the statement.
enum class FoldOperator { None, Add, Subtract, Multiply, Divide, ShiftRight, ShiftLeft };
struct ConstFolder {
  int FoldState = 0;
  std::int32_t Value = 0;
  FoldOperator Pending = FoldOperator::None;

  void LoadFirstOperand(const std::string& token);
  // The operator after a loaded first operand; ignored once folding has ended.
  void SetOperator(FoldOperator op);
  // Folds with the second operand; throws IntendedFailure on a division by zero.
  void ApplyOperator(const std::string& token);
};

// Translates the value part of a #define (tokens t0..t(n-1), name t1) into a constant
// declaration; sets the statement's built line and Outcome.
void TranslateConstExpression(ConversionContext& ctx, Statement& st);

}  // namespace tqc
