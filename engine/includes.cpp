// #include and the include cache.
#include "rules.h"

namespace tqc {

RuleResult TranslateInclude(ConversionContext&, Statement&) { return RuleResult::Declined; }

bool IncludeCacheNeeded(const ConversionContext&) { return false; }

std::string BuildIncludeCache(const ConversionContext&) { return {}; }

bool WriteIncludeCache(const ConversionContext&, std::string&) { return false; }

}  // namespace tqc
