// IDL pre-conversion: the lines of an .idl file rewritten as header lines.
#include "rules.h"

namespace tqc {

std::vector<std::string> ConvertIdl(const std::vector<std::string>& idlLines, ConversionHost&) {
  return idlLines;
}

}  // namespace tqc
