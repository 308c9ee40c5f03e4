// Replacement records: a statement NAME ( a1 , ... , aN ) ; is replaced by a template with the
// arguments put in. Records come from tqc.def (the base tables) and from one user .def file.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "definition_files.h"
#include "string_list.h"

namespace tqc {

enum class ReplacementKind { X = 0, C = 1, T = 2, V = 3, F = 4 };

// Appends every valid record of the file text to the three tables.
void ReadReplacementText(std::string_view bytes, TStringList2& names, TStringList2& templates,
                         TStringList2& pointers);
// Reads the file; throws std::runtime_error naming the file when it cannot be read or is no
// text (NUL bytes).
void LoadReplacementFile(const std::string& path, TStringList2& names, TStringList2& templates,
                         TStringList2& pointers);
// "Load Definition...": the active records become the base records plus the user file's.
// Returns how many records the user file brought.
int LoadUserReplacementFile(DefinitionTables& tables, const std::string& path);

struct Expansion {
  std::string Text;                                               // "\" when the expansion failed
  std::vector<std::pair<std::string, std::string>> PointerPairs;  // pointee, pointer
  bool Failed() const { return Text == "\\"; }
};

// Pure: the record (template, pointer pair text, N) applied to the statement's tokens.
Expansion ExpandReplacement(std::string_view templ, std::string_view pointerText, int argCount,
                            const TStringList2& tokens);

}  // namespace tqc
