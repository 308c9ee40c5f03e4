#pragma once

#include <string>
#include <string_view>

namespace tqc {

// The text with every struct, union or enum defined inside a record's members taken out and
// put before the record's statement as a type of its own, the member naming that type; empty
// when the text defines nothing inside a record.
std::string HoistNestedDefinitions(std::string_view text);

}  // namespace tqc
