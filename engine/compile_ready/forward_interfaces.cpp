// Pass. C shape: «typedef interface IFoo IFoo;», a forward declaration («  IFoo = interface;»)
// that the unit may never complete. The tables' interfaces are the ActiveX unit's (the
// forward declaration would hide them) and any other stays incomplete: an error line. A
// compiler wants the interface completed in the type section of its forward declaration;
// completed in a later one, the forward declaration goes, and what refers to the interface
// before it is complete becomes an error line (MarkUnknownTypes).
#include <string>
#include <unordered_set>

#include "compile_ready/passes.h"
#include "context.h"
#include "type_mapping.h"

namespace tqc {

namespace {

bool IsForwardInterface(UnitModel& model, int i) {
  return model.Kind(i) == LineKind::Declaration && model.Code(i).ends_with("= interface;");
}

bool IsCompleteInterface(UnitModel& model, int i) {
  const std::string& code = model.Code(i);
  return model.Kind(i) == LineKind::Declaration && !code.ends_with("= interface;") &&
         code.find("= interface") != std::string::npos;
}

bool CompletedInSection(UnitModel& model, int forward, const std::string& name) {
  for (int i = forward + 1; i < model.Count(); ++i) {
    const LineKind kind = model.Kind(i);
    if (kind == LineKind::SectionHeader || kind == LineKind::Implementation ||
        kind == LineKind::RoutineHead)
      return false;
    if (IsCompleteInterface(model, i) && EqualsIgnoreCase(model.Name(i), name)) return true;
  }
  return false;
}

}  // namespace

void SettleForwardInterfaces(ConversionContext& ctx, UnitModel& model, UnitNames& names) {
  std::unordered_set<std::string> completed;
  for (int i = model.First(); i < model.Count(); ++i)
    if (IsCompleteInterface(model, i)) completed.insert(AsciiLowerCopy(model.Name(i)));
  for (int i = model.First(); i < model.Count(); ++i) {
    if (!IsForwardInterface(model, i)) continue;
    const std::string name(model.Name(i));
    if (completed.contains(AsciiLowerCopy(name))) {
      if (!CompletedInSection(model, i, name)) model.CommentOut(i);
    } else if (ctx.Defs.InterfaceNames.Contains(name)) {
      model.CommentOut(i);
      names.Own.erase(AsciiLowerCopy(name));
    } else {
      MakeCountedErrorLine(ctx, model, i, &names);
    }
  }
}

}  // namespace tqc
