// Pass. C shape: «struct { int Y; int x; int y; }»: C tells field names apart by case, Pascal
// does not. A field whose name a field before it in the same record already has, in any
// case, gets a "_" («y_»).
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "compile_ready/passes.h"
#include "type_mapping.h"

namespace tqc {

void RenameCaseTwinFields(UnitModel& model) {
  std::unordered_set<std::string> fields;              // of the open record (lower case)
  std::unordered_map<std::string, std::size_t> taken;  // underscores tried, by name
  for (int i = model.First(); i < model.Count(); ++i) {
    if (model.OpensRecord(i)) {
      fields.clear();
      taken.clear();
    }
    if (model.RecordOf(i) < 0 || model.Kind(i) == LineKind::RecordEnd) continue;
    const std::string& line = model.Text(i);
    // Fields of a variant part stand after a tab and two blanks, or after "\tN: (".
    std::size_t p = line.find_first_not_of("\t ");
    if (p == 0 || line[0] != '\t' || p == std::string::npos ||
        line.find("\t: ") == std::string::npos)
      continue;
    if (const std::size_t open = line.find(": (");
        open != std::string::npos && line.find_first_not_of("0123456789", p) == open)
      p = open + 3;
    std::string text(line);
    bool changed = false;
    // "a, b\t: T;": each name up to the colon.
    for (;;) {
      const std::size_t colon = text.find("\t: ");
      if (p >= colon) break;
      std::size_t end = text.find(", ", p);
      if (end == std::string::npos || end > colon) end = colon;
      const std::string name = text.substr(p, end - p);
      const bool amp = !name.empty() && name[0] == '&';
      std::string key = AsciiLowerCopy(amp ? name.substr(1) : name);
      if (key.empty() || !(IsAlphaChar(key[0]) || key[0] == '_')) break;
      // Every name from the key up to the one a field of the key took last is taken: the
      // next field of the key starts after it (many fields of one name stay linear).
      std::size_t& tried = taken[key];
      std::size_t grown = tried;
      key.append(grown, '_');
      while (!fields.insert(key).second) {
        key += '_';
        ++grown;
      }
      tried = grown + 1;
      if (grown > 0) {
        text.insert(end, grown, '_');
        changed = true;
      }
      p = end + grown + 2;
    }
    if (changed) model.Replace(i, text);
  }
}

}  // namespace tqc
