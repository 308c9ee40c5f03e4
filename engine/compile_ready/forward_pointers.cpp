// Pass. C shape: «typedef struct S *PS;» where the header never defines S. A pointer type
// («PS\t= ^S;») whose target the type section declares neither before nor after it, and that
// no included unit or table declares either, is an untyped pointer: a compiler requires a
// forward pointer's type in the same section. A comment after the declaration stays.
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "compile_ready/passes.h"
#include "context.h"
#include "type_mapping.h"

namespace tqc {

void ResolveForwardPointers(ConversionContext& ctx, UnitModel& model) {
  std::unordered_set<std::string> own;  // types this conversion declares (lower case)
  for (int i : ctx.NewTypeIdx) own.insert(AsciiLowerCopy(ctx.TypeNames.Text(i)));
  for (int i : ctx.NewPointerIdx) {
    own.insert(AsciiLowerCopy(ctx.PointeeTypes.Text(i)));
    own.insert(AsciiLowerCopy(ctx.PointerTypes.Text(i)));
  }
  std::unordered_set<std::string> declared;          // declared so far in the unit
  std::vector<std::pair<int, std::string>> waiting;  // pointer lines of the open section
  std::unordered_set<std::string> inSection;
  auto endSection = [&] {
    for (const auto& [i, target] : waiting) {
      if (inSection.contains(target)) continue;
      const std::string& text = model.Text(i);
      const std::size_t caret = text.find("= ^");
      const std::size_t semicolon = text.find(';', caret);
      if (caret == std::string::npos || semicolon == std::string::npos) continue;
      model.Replace(i, text.substr(0, caret) + "= Pointer;" + text.substr(semicolon + 1));
    }
    waiting.clear();
    inSection.clear();
  };
  bool typeSection = false;
  for (int i = model.First(); i < model.Count(); ++i) {
    const LineKind kind = model.Kind(i);
    if (kind == LineKind::SectionHeader || kind == LineKind::Implementation ||
        kind == LineKind::RoutineHead) {
      endSection();
      typeSection = model.Code(i) == "type";
      continue;
    }
    if (kind != LineKind::Declaration) continue;
    const std::string key = AsciiLowerCopy(model.Name(i));
    declared.insert(key);
    if (!typeSection) continue;
    inSection.insert(key);
    const std::string& code = model.Code(i);
    const std::size_t caret = code.find("= ^");
    if (caret == std::string::npos || !code.ends_with(";")) continue;
    std::string_view target = std::string_view(code).substr(caret + 3, code.size() - caret - 4);
    if (!target.empty() && target.front() == '&') target.remove_prefix(1);
    const std::string t = AsciiLowerCopy(target);
    if (declared.contains(t)) continue;
    // Known from the tables or the included units (not only from this unit's own lines).
    // A name forgotten since (its record became error lines) is known only from the tables.
    if (ctx.ReadyState.Forgotten.contains(t)
            ? ctx.Defs.TypeValues.Contains(target) || ctx.Defs.PointerTypes.Contains(target)
            : IsKnownTypeName(ctx, std::string(target)) && !own.contains(t))
      continue;
    waiting.emplace_back(i, t);
  }
  endSection();
}

}  // namespace tqc
