// Replacement records: reading .def files and expanding a record for one statement.
#include "replacements.h"

#include <stdexcept>

namespace tqc {

void ReadReplacementText(std::string_view, TStringList2&, TStringList2&, TStringList2&) {}

void LoadReplacementFile(const std::string& path, TStringList2&, TStringList2&, TStringList2&) {
  throw std::runtime_error("cannot read " + path);
}

void LoadUserReplacementFile(DefinitionTables&, const std::string& path) {
  throw std::runtime_error("cannot read " + path);
}

Expansion ExpandReplacement(std::string_view, std::string_view, int, const TStringList2&) {
  return Expansion{"\\", {}};
}

}  // namespace tqc
