// Pass. C shape: a record field of an interface type («IUnknown *punk;» in a struct, the
// field «punk\t: IUnknown;»). A compiler counts references to it and will not have it in a
// variant part, nor in a record that stands in one; C holds a plain pointer: the field
// becomes «Pointer», the interface named in a comment after it.
#include <string>

#include "compile_ready/passes.h"
#include "context.h"
#include "type_mapping.h"

namespace tqc {

void InterfaceFieldsAsPointers(ConversionContext& ctx, UnitModel& model) {
  for (int i = model.First(); i < model.Count(); ++i) {
    if (model.RecordOf(i) < 0 || model.Kind(i) != LineKind::Other) continue;
    const std::string& code = model.Code(i);
    const std::size_t colon = code.find("\t: ");
    if (colon == std::string::npos || code.starts_with("  ") || IsRoutineHead(code)) continue;
    const std::string type = TypeAt(code, colon + 3);
    if (type.empty() || type == "?") continue;
    if (!ctx.Defs.InterfaceNames.Contains(type) && !ctx.InterfaceNames.Contains(type)) continue;
    std::string line = model.Text(i);
    const std::size_t at = line.find(type, line.find("\t: ") + 3);
    if (at == std::string::npos) continue;
    line.replace(at, type.size(), "Pointer");
    line += "\t// " + type;
    model.Replace(i, std::move(line));
  }
}

}  // namespace tqc
