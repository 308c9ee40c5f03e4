// The shipped definition tables, loaded once per fuzzing process (TQC_DATA_DIR overrides the
// folder built in).
#pragma once

#include <cstdlib>

#include "tables/definition_files.h"

namespace tqc {

inline DefinitionTables& ShippedTables() {
  static DefinitionTables* tables = [] {
    auto* t = new DefinitionTables;
    const char* dir = std::getenv("TQC_DATA_DIR");
    LoadDefinitions(*t, dir ? dir : TQC_DATA_DIR);
    return t;
  }();
  return *tables;
}

}  // namespace tqc
