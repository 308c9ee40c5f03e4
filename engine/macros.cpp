// #define and #undef.
#include "rules.h"

namespace tqc {

RuleResult TranslateUndef(ConversionContext&, Statement&) { return RuleResult::Declined; }

RuleResult TranslateDefine(ConversionContext&, Statement&) { return RuleResult::Declined; }

}  // namespace tqc
