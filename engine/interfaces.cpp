// COM interfaces and C++ classes.
#include "rules.h"

namespace tqc {

RuleResult TranslateInterfaceOrClass(ConversionContext&, Statement&) { return RuleResult::Declined; }

}  // namespace tqc
