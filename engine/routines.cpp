// Function prototypes, procedural types and DLL bindings.
#include "rules.h"

namespace tqc {

RuleResult TranslatePrototype(ConversionContext&, Statement&) { return RuleResult::Declined; }

}  // namespace tqc
