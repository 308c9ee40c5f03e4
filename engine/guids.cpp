// GUID definitions: DEFINE_GUID / EXTERN_GUID as TGUID constants.
#include "rules.h"

namespace tqc {

RuleResult TranslateGuid(ConversionContext&, Statement&) { return RuleResult::Declined; }

}  // namespace tqc
