// Pass. C shape: «#include <ole2.h>» in a header whose declarations use what ole2.h's own
// includes declare. Pascal shows a unit only the names of the units it uses itself, so the
// uses clause names every unit the included headers lead to, each one that has been converted
// (has a cache) and does not lead back to this unit, which would be a circular reference.
// IncludeNames keeps the included headers whose units are used.
#include <string>
#include <unordered_map>
#include <vector>

#include "compile_ready/passes.h"
#include "context.h"
#include "rules.h"

namespace tqc {

void SettleCompilerUses(ConversionContext& ctx) {
  // The units reached from the included headers, breadth first, with their [INC] links.
  std::vector<std::string> names;
  std::unordered_map<std::string, int> index;
  std::vector<std::vector<int>> links;
  std::vector<bool> converted;
  auto node = [&](const std::string& name) {
    auto [it, added] = index.emplace(name, static_cast<int>(names.size()));
    if (added) names.push_back(name);
    return it->second;
  };
  for (const auto& e : ctx.IncludeNames.Entries()) node(e.Text);
  const int direct = static_cast<int>(names.size());
  for (const std::string& unit : ctx.ReadyState.FoundUses) node(unit);
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::shared_ptr<const ParsedIncludeCache> cache = FindCache(ctx, names[i]);
    converted.push_back(cache != nullptr);
    links.emplace_back();
    if (!cache) continue;
    for (const std::string& inc : cache->Includes) {
      const int to = node(inc);
      links[i].push_back(to);
    }
  }
  // The units that lead back to this one.
  const std::size_t n = names.size();
  std::vector<std::vector<int>> back(n);
  for (std::size_t i = 0; i < n; ++i)
    for (int to : links[i]) back[static_cast<std::size_t>(to)].push_back(static_cast<int>(i));
  std::vector<bool> leadsBack(n, false);
  std::vector<int> todo;
  if (auto self = index.find(ctx.UnitName); self != index.end()) {
    leadsBack[static_cast<std::size_t>(self->second)] = true;
    todo.push_back(self->second);
  }
  while (!todo.empty()) {
    const int at = todo.back();
    todo.pop_back();
    for (int from : back[static_cast<std::size_t>(at)]) {
      if (leadsBack[static_cast<std::size_t>(from)]) continue;
      leadsBack[static_cast<std::size_t>(from)] = true;
      todo.push_back(from);
    }
  }
  TStringList2 included;
  ctx.UsesExtra.clear();
  for (std::size_t i = 0; i < n; ++i) {
    if (!converted[i] || leadsBack[i]) continue;
    ctx.UsesExtra += ", " + names[i];
    if (static_cast<int>(i) < direct) included.Add(names[i]);
  }
  ctx.IncludeNames = std::move(included);
}

}  // namespace tqc
