// Replacement records applied to a statement (dispatch step before the rules).
#include "rules.h"

namespace tqc {

RuleResult ApplyReplacement(ConversionContext&, Statement&) { return RuleResult::Declined; }

}  // namespace tqc
