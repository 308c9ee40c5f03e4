// Pass. C shape: a union inside a struct whose members all became error lines. The variant
// part has nothing after its «case Integer of»: the line stays as a comment, and the record is
// empty (a compiler wants at least one variant).
#include "compile_ready/passes.h"

namespace tqc {

void CommentEmptyVariantParts(UnitModel& model) {
  for (int i = model.First(); i < model.Count(); ++i) {
    if (model.Text(i) != "\tcase Integer of") continue;
    bool variant = false;
    int j = i + 1;
    for (; j < model.Count() && model.Kind(j) != LineKind::RecordEnd && !variant; ++j) {
      const std::string& code = model.Code(j);
      const std::size_t first = code.find_first_not_of(" \t");
      variant = first != std::string::npos && IsDigitChar(code[first]);
    }
    if (!variant) model.Replace(i, "//\tcase Integer of");
    i = j - 1;
  }
}

}  // namespace tqc
