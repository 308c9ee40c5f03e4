// Macros with parameters in enumerations, for the compiler-ready stage. C shapes:
// «#define TAG(v, a, b) v = ((a) << 8 | (b))» / «enum { TAG(E_X, 'x', 1) };», the X-macro list
// «#define MAP(XX) XX(A, 1) XX(B, 2)» / «#define XX(n, v) E_##n = v,» / «enum { MAP(XX) };», and
// a decoration called with arguments («E_OLD DEPRECATED(7.1, "") = 6,»).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tqc {

struct ConversionContext;

// After a "#define NAME(params) value" statement (the tokens in the token list): keeps the
// macro, the last definition winning; one in a branch the target never takes is passed over.
void LearnFunctionMacro(ConversionContext& ctx);
// The macros of the tables ([macros]), once per conversion, where no header's stands.
void LearnTableMacros(ConversionContext& ctx);
// "#undef NAME": the macro is gone.
void ForgetFunctionMacro(ConversionContext& ctx, const std::string& name);
// Writes out, in `tokens` from `start` on, every call of a kept macro, again in what a call
// gives (a macro is not written out inside its own value), and drops the macros defined as
// nothing. True when `tokens` changed; false, with `tokens` untouched, when nothing was to
// change or when the result would pass 100,000 tokens.
bool ExpandEnumMacroCalls(const ConversionContext& ctx, std::vector<std::string>& tokens,
                          int start);
// Whether `tokens` from `start` on end inside the parentheses of a call of a kept macro.
bool OpensEnumMacroCall(const ConversionContext& ctx, const std::vector<std::string>& tokens,
                        int start);
// Whether a Pascal type name of the tables is an integer type («LongInt», «DWORD», «cint»).
bool IsIntegerTypeName(const ConversionContext& ctx, const std::string& name);
// Whether `tokens` cast a value to one of C's integer types («(int) 0x80000000»).
bool CastsToInteger(const ConversionContext& ctx, const std::vector<std::string>& tokens);
// The value of C's integer constant expression `tokens` (numbers, character literals, the
// unary, binary and comparison operators, casts to C's integer types, and names whose value
// `known` gives), or nothing. A call of an unknown macro whose first argument is a type
// («BYTE_CAST(unsigned long, 'c')») counts as a cast of its second.
std::optional<long long> EvaluateConstant(
    const ConversionContext& ctx, const std::vector<std::string>& tokens,
    const std::vector<std::pair<std::string, long long>>& known);

}  // namespace tqc
