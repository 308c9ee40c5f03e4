// Pass. C shape: «typedef struct _X X, *PX;» before «struct _X { ... };» in the same header
// (winnt's DISPATCHER_CONTEXT). The pointer type may point ahead, but the alias «X\t= _X;»
// names a type the compiler has not seen yet. The alias moves to just after the declaration
// it names, when that record follows in the same section with no directive between.
#include <string>

#include "compile_ready/passes.h"
#include "type_mapping.h"

namespace tqc {
namespace {

// «  NAME\t= TARGET;» with TARGET a plain name: the target, else empty.
std::string AliasTarget(const std::string& code) {
  const std::size_t eq = code.find("\t= ");
  if (eq == std::string::npos || !code.ends_with(";")) return {};
  const std::string target = code.substr(eq + 3, code.size() - eq - 4);
  if (target.empty() || target == "record" || target == "record end") return {};
  for (char c : target)
    if (!(IsWordChar(c) || c == '&')) return {};
  return target;
}

// A line whose text may move: code or blank, no error line, no comment running over it.
bool Movable(UnitModel& model, int i) {
  const std::string& text = model.Text(i);
  return !text.starts_with("//") && !model.CommentAtStart(i) &&
         text.find("(*") == std::string::npos && text.find('{') == std::string::npos;
}

}  // namespace

void MoveAliasesAfterTheirTargets(UnitModel& model) {
  // (A declaration of the target before the alias may stand in another branch: what counts
  // is the record that follows.)
  for (int i = model.First(); i < model.Count(); ++i) {
    if (model.Kind(i) != LineKind::Declaration) continue;
    const std::string target = AliasTarget(model.Code(i));
    std::string key = AsciiLowerCopy(target);
    if (!key.empty() && key.front() == '&') key.erase(0, 1);
    if (key.empty() || !Movable(model, i)) continue;
    // The target's declaration further on in the section, and the last line of it.
    int end = -1;
    for (int j = i + 1; j < model.Count() && end < 0; ++j) {
      const LineKind kind = model.Kind(j);
      if (kind == LineKind::Directive || kind == LineKind::SectionHeader ||
          kind == LineKind::RoutineHead || kind == LineKind::Implementation || !Movable(model, j))
        break;
      if (kind != LineKind::Declaration || AsciiLowerCopy(model.Name(j)) != key) continue;
      // Only a record: an alias of an alias could chase its target round in a circle.
      if (!model.OpensRecord(j)) break;
      end = j;
      while (end + 1 < model.Count() && model.RecordOf(end + 1) == j && Movable(model, end + 1))
        ++end;
      if (model.Kind(end) != LineKind::RecordEnd) end = -1;
      break;
    }
    if (end < 0) continue;
    // Each line of the range takes the text of the next; the alias takes the last place.
    const std::string alias = model.Text(i);
    for (int k = i; k < end; ++k) model.Replace(k, std::string(model.Text(k + 1)));
    model.Replace(end, alias);
    --i;  // the line now holds the next declaration
  }
}

}  // namespace tqc
