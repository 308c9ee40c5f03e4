// Pass. C shape: «typedef struct _GUID { ... } GUID;», a record the tables name with a Pascal
// type (the tokens already read TGUID). Declared again it would hide the Windows unit's type
// and its fields: the record, whole between its head and end (no directive inside), becomes
// a comment.
#include <string>

#include "compile_ready/passes.h"
#include "context.h"

namespace tqc {

void CommentTableRecords(ConversionContext& ctx, UnitModel& model) {
  for (int i = model.First(); i < model.Count(); ++i) {
    if (!model.OpensRecord(i)) continue;
    const std::string name(model.Name(i));
    if (name.empty() || !ctx.Defs.TypeValues.Contains(name) || ctx.Defs.TypeNames.Contains(name))
      continue;
    int end = -1;
    for (int k = i + 1; k < model.Count() && end < 0; ++k) {
      if (model.Directive(k) != DirectiveKind::None) break;
      if (model.Kind(k) == LineKind::RecordEnd) end = k;
    }
    if (end < 0) continue;
    for (int k = i; k <= end; ++k) model.CommentOut(k);
    i = end;
  }
}

}  // namespace tqc
