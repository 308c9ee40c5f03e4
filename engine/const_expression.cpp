// TranslateConstExpression: the value part of a #define as a Pascal constant declaration.
#include "dispatch.h"
#include "numbers.h"

namespace tqc {

void TranslateConstExpression(ConversionContext&, Statement& st) { st.Outcome = 0; }

}  // namespace tqc
