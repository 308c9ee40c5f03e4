// Conditional compilation, packing pragmas and linkage blocks.
#include "rules.h"

namespace tqc {

RuleResult TranslateIf(ConversionContext&, Statement&) { return RuleResult::Declined; }

RuleResult TranslateIfdef(ConversionContext&, Statement&) { return RuleResult::Declined; }

RuleResult TranslatePragma(ConversionContext&, Statement&) { return RuleResult::Declined; }

RuleResult TranslateExternC(ConversionContext&, Statement&) { return RuleResult::Declined; }

CplusplusAction ResolveCplusplusLine(std::string_view, CplusplusState&) {
  return CplusplusAction::KeepLine;
}

}  // namespace tqc
