// Pass. C shape: «typedef interface IFoo IFoo;», a forward declaration («  IFoo = interface;»)
// that the unit may never complete. The tables' interfaces are the ActiveX unit's (the
// forward declaration would hide them); one that no unit completes is completed as an interface
// without methods of its own; one another unit declares stays incomplete: an error line. A
// compiler wants the interface completed in the type section of its forward declaration;
// completed in a later one, the forward declaration goes, and what refers to the interface
// before it is complete becomes an error line (MarkUnknownTypes).
#include <string>
#include <unordered_set>

#include "compile_ready/declarations.h"
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
    } else if (ctx.KnownNames.Contains(AsciiLowerCopy(name)) ||
               ctx.Defs.WindowsUnitNames.Contains(name)) {
      model.CommentOut(i);  // an included unit's, or the Windows unit's
      names.Own.erase(AsciiLowerCopy(name));
    } else if (!OtherUnitsDeclaring(ctx, name).empty()) {
      MakeCountedErrorLine(ctx, model, i, &names);  // another unit's, which is not used here
    } else {
      // No unit declares its methods (C's headers give them in a table of function pointers,
      // «IXVtbl»): an interface with none of its own, so that what names it still stands.
      std::string code = model.Text(i);
      const std::size_t at = code.rfind("= interface;");
      if (at != std::string::npos) code.replace(at, 12, "= interface end;");
      model.Replace(i, std::move(code));
    }
  }
}

}  // namespace tqc
