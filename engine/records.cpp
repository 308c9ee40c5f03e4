// Typedefs, structs, unions, enumerations, typed constants and variables.
#include "rules.h"

namespace tqc {

RuleResult TranslateDeclaration(ConversionContext&, Statement&) { return RuleResult::Declined; }

RuleResult TranslateTypedef(ConversionContext&, Statement&) { return RuleResult::Declined; }

RuleResult TranslateOpenBody(ConversionContext&, Statement&) { return RuleResult::Declined; }

RuleResult TranslateVariable(ConversionContext&, Statement&) { return RuleResult::Declined; }

}  // namespace tqc
