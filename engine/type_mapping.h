// Type name mapping in two layers. The token layer (MapCTypeName) runs as each token enters
// the TokenList: table spellings, multi-word C types merged into one Pascal type, dropped
// words, pending stars. The declaration layer holds the small type rules that records,
// routines and interfaces share, and the const/var/type section switch.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "context.h"

namespace tqc {

// Appends zero or more tokens for one word or operator from the tokenizer.
void MapCTypeName(ConversionContext& ctx, std::string&& s);

// Name of the pointer type to T: the [POINTER] entry, else "p_" + T.
std::string PointerTypeOf(const ConversionContext& ctx, const std::string& t);

struct ParamType {
  std::string Type;
  bool ByRef = false;
  bool operator==(const ParamType&) const = default;
};

// Parameter written "T *name".
ParamType PointerParamType(const ConversionContext& ctx, const std::string& t);
// Parameter written "P name" without a star.
ParamType ValueParamType(const ConversionContext& ctx, const std::string& p);
// The same with p already looked up in PointerTypes (index `at`, or -1).
ParamType ValueParamType(const ConversionContext& ctx, const std::string& p, int at);
// A type spelling with trailing stars or a bracket; byRef is in/out.
std::string ResolveStars(const ConversionContext& ctx, const std::string& s, bool asPointer,
                         bool& byRef);
// Returns the declarator's name and extends `bounds` ("[0..9]", "[0..1,0..2]").
std::string ArrayDims(const ConversionContext& ctx, const std::string& declarator,
                      std::string& bounds);

// Whether a name is known as a type: a Pascal type of the type tables, a pointer type, a
// routine type, an interface or class.
bool IsKnownTypeName(const ConversionContext& ctx, std::string_view name);

// Makes a declared name a known type for the rest of the conversion and for the units that
// include this one (an entry mapping the name to itself, kept in the include cache).
void LearnTypeName(ConversionContext& ctx, const std::string& name);

// Writes "const", "var" or "type" (bold) when the section changes or a reopen is due.
void SwitchSection(ConversionContext& ctx, Section kind);

// Case is folded for ASCII letters only: C and Pascal keywords and identifiers are ASCII, and
// other bytes compare as they are whatever the locale of the process.
inline char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
inline std::string AsciiLowerCopy(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = AsciiLower(c);
  return out;
}
inline char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
// Inline, with the first character tried before the rest: the rules ask this of most
// tokens, and most differ at once.
inline bool StartsWith(std::string_view s, std::string_view prefix) {
  if (prefix.empty()) return true;
  return s.size() >= prefix.size() && s[0] == prefix[0] && s.substr(0, prefix.size()) == prefix;
}
bool StartsWithIgnoreCase(std::string_view s, std::string_view prefix);

// Whether a C name is a reserved word of Pascal (compared ignoring case): such a name is
// declared with the "&" escape, which any Pascal compiler reads as a plain identifier.
bool IsPascalReservedWord(std::string_view name);
// `name` as it is declared: "&type" for "type", the name itself otherwise.
std::string DeclaredName(std::string_view name);

// A Pascal identifier made from a file name: every byte that cannot stand in one is a "_" (a
// run of them one), none at either end, a "_" before a leading digit («libz.so.1» gives
// «libz_so_1», «o'neil» «o_neil»); "_" when nothing is left.
std::string PascalIdentifier(std::string_view name);

struct DefinitionTables;
// The unit converted from the header with file name stem `stem` (in the uses lines of the
// units that include it as well): a Pascal identifier, with "_h" behind it when the compiler
// ships a unit of that name (the tables' [units]): «cairo-version» gives «cairo_version»,
// «system» «system_h».
std::string UnitNameOf(const DefinitionTables& defs, std::string_view stem);

}  // namespace tqc
