// Pass. C shape: a declaration that became an error line, or a conditional that follows a
// section header («#define X 1» in one branch, whose «const» then has nothing in the other).
// A "const", "type" or "var" header with no declaration under it is no Pascal: it goes, once
// the unit is complete. A conditional opened after the header may hold its declarations; the
// end of the header's own branch ends its section.
#include <vector>

#include "compile_ready/passes.h"

namespace tqc {

void DropEmptySections(UnitModel& model) {
  std::vector<bool> drop(static_cast<std::size_t>(model.Count()), false);
  int header = -1;      // the header whose section has shown no declaration yet
  int headerDepth = 0;  // the conditional depth it was written at
  int depth = 0;
  for (int i = model.First(); i < model.Count(); ++i) {
    const LineKind kind = model.Kind(i);
    if (kind == LineKind::NoCode) continue;
    if (kind == LineKind::Directive) {
      const DirectiveKind d = model.Directive(i);
      if (d == DirectiveKind::Other) continue;  // {$DEFINE ...} declares nothing of the section
      const bool opens = d == DirectiveKind::If, closes = d == DirectiveKind::End;
      if (header >= 0 && !opens && depth == headerDepth) {
        drop[static_cast<std::size_t>(header)] = true;
        header = -1;
      }
      depth += opens ? 1 : closes ? -1 : 0;
      if (header >= 0 && depth < headerDepth) header = -1;
      continue;
    }
    const bool endsSection = kind == LineKind::SectionHeader || kind == LineKind::Implementation ||
                             kind == LineKind::RoutineHead;
    if (header >= 0 && endsSection) drop[static_cast<std::size_t>(header)] = true;
    header = kind == LineKind::SectionHeader ? i : -1;
    headerDepth = depth;
  }
  model.RemoveLines(drop);
}

}  // namespace tqc
