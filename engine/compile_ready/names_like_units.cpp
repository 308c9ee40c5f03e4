// Pass. C shape: a name that a unit of the uses clause is named like (hstring.h declares
// HSTRING): the compiler reads the word as the unit's name. Where this unit does not declare
// the name itself, it is written qualified ("hstring.HSTRING").
#include <string>
#include <unordered_map>
#include <vector>

#include "compile_ready/declarations.h"
#include "compile_ready/passes.h"
#include "context.h"
#include "type_mapping.h"

namespace tqc {

void QualifyNamesLikeUnits(ConversionContext& ctx, UnitModel& model) {
  std::unordered_map<std::string, std::string> units;  // lower case -> as in the uses line
  const std::string uses = model.Text(model.UsesLine());
  for (std::size_t p = uses.find(' '); p != std::string::npos && p < uses.size();) {
    std::size_t end = uses.find_first_of(",;", p);
    if (end == std::string::npos) end = uses.size();
    std::string unit = uses.substr(p, end - p);
    const std::size_t from = unit.find_first_not_of(" \t");
    unit.erase(0, from == std::string::npos ? unit.size() : from);
    if (!unit.empty() && unit.front() == '&') unit.erase(0, 1);
    if (!unit.empty()) units.emplace(AsciiLowerCopy(unit), unit);
    p = end + 1;
  }
  // Only a unit that declares a name like its own can hide one.
  std::erase_if(units, [&](const auto& unit) {
    std::string declaredBy;
    return !FoundInOtherUnit(ctx, unit.first, &declaredBy) ||
           !EqualsIgnoreCase(declaredBy, unit.second);
  });
  if (units.empty()) return;
  std::vector<bool> lengths;  // the lengths of the names left, to pass most words at once
  for (const auto& unit : units) {
    if (lengths.size() <= unit.first.size()) lengths.resize(unit.first.size() + 1);
    lengths[unit.first.size()] = true;
  }
  for (int i = model.First(); i < model.Count(); ++i) {
    const std::string& line = model.Text(i);
    std::string text;
    std::size_t copied = 0;
    bool comment = model.CommentAtStart(i);
    ForEachCodeWord(line, comment, [&](std::size_t p, std::size_t end) {
      if (end - p >= lengths.size() || !lengths[end - p]) return;
      const std::string key = AsciiLowerCopy(std::string_view(line).substr(p, end - p));
      const auto unit = units.find(key);
      if (unit == units.end() || (p > 0 && line[p - 1] == '.') ||
          (end < line.size() && line[end] == '.') || ctx.ReadyState.DeclaredIn.contains(key))
        return;
      std::string declaredBy;
      if (!FoundInOtherUnit(ctx, key, &declaredBy) || !EqualsIgnoreCase(declaredBy, unit->second))
        return;
      text.append(line, copied, p - copied);
      (text += unit->second) += '.';
      copied = p;
    });
    if (copied > 0) model.Replace(i, text + line.substr(copied));
  }
}

}  // namespace tqc
