// Number conversion and integer reading shared by the statement rules.
#include "numbers.h"

#include <cstdio>
#include <optional>
#include <stdexcept>

#include "failure.h"
#include "type_mapping.h"

namespace tqc {

std::string ConvertNumber(std::string_view token) {
  std::string s(token);
  // Only a number loses its suffix: "-UD_MAXVAL" is a name with a sign.
  const std::size_t digit = !s.empty() && s[0] == '-' ? 1 : 0;
  if (digit < s.size() && s[digit] >= '0' && s[digit] <= '9') {
    char last = s.back();
    if (last == 'L' || last == 'l' || last == 'U' || last == 'u')
      s.pop_back();
    else if (!StartsWithIgnoreCase(s, "0x") && (last == 'F' || last == 'f'))
      s.pop_back();
  }
  if (StartsWithIgnoreCase(s, "0x")) return "$" + s.substr(2);
  return s;
}

namespace {

// A Pascal number ("$1F", "42") as a 64-bit value; nothing for anything else.
std::optional<long long> ParseWideInteger(std::string_view v) {
  const bool hex = !v.empty() && v.front() == '$';
  if (hex) v.remove_prefix(1);
  if (v.empty() || v.size() > (hex ? 15u : 18u)) return std::nullopt;
  long long acc = 0;
  for (char c : v) {
    int x;
    if (c >= '0' && c <= '9')
      x = c - '0';
    else if (hex && c >= 'a' && c <= 'f')
      x = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F')
      x = c - 'A' + 10;
    else
      return std::nullopt;
    acc = acc * (hex ? 16 : 10) + x;
  }
  return acc;
}

}  // namespace

std::string ConvertConstOperand(std::string_view token, bool compileReady) {
  if (token == "NULL") return "nil";
  if (!compileReady) return ConvertNumber(token);
  if (token.size() > 1 && token[0] == '~') {
    // C's "~" of an unsigned 32-bit number («~0x80000000», «~0u») stays 32 bits; Pascal's
    // "not" would take it in 64.
    const std::string operand = ConvertConstOperand(token.substr(1), true);
    const std::string_view digits = token.substr(1);
    const bool unsignedSuffix = digits.find_first_of("uU") != std::string_view::npos;
    const std::optional<long long> wide = ParseWideInteger(operand);
    if (wide && *wide >= 0 && *wide <= 0xFFFFFFFFLL && (unsignedSuffix || *wide > 0x7FFFFFFFLL))
      return "(" + operand + " xor $FFFFFFFF)";
    return "not " + operand;
  }
  const bool number = !token.empty() &&
                      ((token[0] >= '0' && token[0] <= '9') ||
                       (token[0] == '-' && token.size() > 1 && token[1] >= '0' && token[1] <= '9'));
  if (number) {
    std::string_view t = token;
    if (t.size() > 3 && (t.ends_with("i64") || t.ends_with("I64"))) t.remove_suffix(3);
    while (t.size() > 1 && std::string_view("uUlL").find(t.back()) != std::string_view::npos)
      t.remove_suffix(1);
    return ConvertNumber(t);
  }
  return ConvertNumber(token);
}

std::optional<int> ParseInteger(std::string_view v) {
  while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
  if (v.empty()) return std::nullopt;
  auto hex = [](std::string_view d) -> std::optional<int> {
    if (d.empty() || d.size() > 8) return std::nullopt;
    unsigned int acc = 0;
    for (char c : d) {
      unsigned int x;
      if (c >= '0' && c <= '9')
        x = static_cast<unsigned>(c - '0');
      else if (c >= 'a' && c <= 'f')
        x = static_cast<unsigned>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F')
        x = static_cast<unsigned>(c - 'A' + 10);
      else
        return std::nullopt;
      acc = acc * 16 + x;
    }
    return static_cast<int>(acc);
  };
  if (v[0] == '$' || v[0] == 'x' || v[0] == 'X') return hex(v.substr(1));
  if (v.size() > 1 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) return hex(v.substr(2));
  bool neg = false;
  if (v[0] == '+' || v[0] == '-') {
    neg = v[0] == '-';
    v.remove_prefix(1);
  }
  if (v.empty()) return std::nullopt;
  long long acc = 0;
  for (char c : v) {
    if (c < '0' || c > '9') return std::nullopt;
    acc = acc * 10 + (c - '0');
    if (acc > 2147483648LL) return std::nullopt;
  }
  if (neg) acc = -acc;
  if (acc > 2147483647LL) return std::nullopt;
  return static_cast<int>(acc);
}

std::optional<int> ResolveValue(const ConversionContext& ctx, std::string_view text) {
  if (auto v = ParseInteger(text)) return v;
  if (int i = ctx.ConstNames.FindExact(text); i >= 0) return ctx.ConstNames.Tag(i);
  return std::nullopt;
}

std::string ConvertEnumOperand(const ConversionContext& ctx, std::string_view token) {
  std::string s(token);
  if (StartsWithIgnoreCase(s, "0x")) s = "$" + s.substr(2);
  const std::size_t digit = !s.empty() && s[0] == '-' ? 1 : 0;  // "-NAME" is no number
  if (digit < s.size() && (s[0] == '$' || (s[digit] >= '0' && s[digit] <= '9'))) {
    char last = s.back();
    if (last == 'L' || last == 'l' || last == 'U' || last == 'u' ||
        (s[0] != '$' && (last == 'F' || last == 'f')))
      s.pop_back();
    return s;
  }
  if (ctx.ConstNames.Contains(s)) return s;
  return "Integer(" + s + ")";
}

std::string FormatHexNumber(std::string_view text, int width) {
  if (width < 1 || width > 16) throw IntendedFailure("bad hexadecimal width");
  std::optional<int> v;
  if (!StartsWithIgnoreCase(text, "0x"))
    v = ParseInteger(text);
  else
    v = ParseInteger("$" + std::string(text.substr(2, static_cast<std::size_t>(width))));
  if (!v) throw IntendedFailure("'" + std::string(text) + "' is not a number");
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*X", width, static_cast<unsigned int>(*v));
  return buf;
}

std::string Hex8(std::uint32_t value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08X", static_cast<unsigned int>(value));
  return buf;
}

std::string ArrayParamToPointer(std::string_view text) {
  std::size_t open = text.find('[');
  if (open == std::string_view::npos || open == 0) return std::string(text);
  return "*" + std::string(text.substr(0, open));
}

}  // namespace tqc
