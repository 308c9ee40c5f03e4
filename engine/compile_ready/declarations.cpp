// The declaration registry of the compiler-ready stage and the index of the names of the other
// converted units.
#include "compile_ready/declarations.h"

#include <algorithm>
#include <memory>
#include <unordered_set>

#include "context.h"
#include "includes.h"
#include "type_mapping.h"

namespace tqc {

namespace {

using Path = std::vector<std::pair<int, int>>;

// Whether one of the paths can count together with the current branch: two branches of one
// conditional never do; anything else may.
bool CountsWithHere(const ConversionContext& ctx, const std::vector<Path>& paths) {
  const Path& here = ctx.ReadyState.CondPath;
  for (const Path& there : paths) {
    bool exclusive = false;
    for (std::size_t k = 0; k < there.size() && k < here.size(); ++k) {
      if (there[k].first != here[k].first) break;
      if (there[k].second != here[k].second) {
        exclusive = true;
        break;
      }
    }
    if (!exclusive) return true;
  }
  return false;
}

bool FirstIn(ConversionContext& ctx, CompileReadyState::DeclarationPaths& map,
             std::vector<std::string>* order, std::string_view name) {
  if (!name.empty() && name.front() == '&') name.remove_prefix(1);
  const std::string key = AsciiLowerCopy(name);
  auto [slot, added] = map.try_emplace(key);
  if (added && order) order->push_back(key);
  auto& paths = slot->second;
  // In a branch the target never takes, nothing is declared for good.
  for (const auto& truth : ctx.ReadyState.CondTruth)
    if (truth.Dead) return !CountsWithHere(ctx, paths);
  if (CountsWithHere(ctx, paths)) return false;
  paths.push_back(ctx.ReadyState.CondPath);
  return true;
}

}  // namespace

bool InDeadBranch(const ConversionContext& ctx) {
  for (const auto& truth : ctx.ReadyState.CondTruth)
    if (truth.Dead) return true;
  return false;
}

void ForgetDeclaredName(ConversionContext& ctx, std::string_view name) {
  if (!ctx.Ready.DeclaresOnce()) return;
  if (!name.empty() && name.front() == '&') name.remove_prefix(1);
  const std::string key = AsciiLowerCopy(name);
  ctx.ReadyState.DeclaredIn.erase(key);
  ctx.ReadyState.DeclaredTypes.erase(key);
  ctx.ReadyState.Forgotten.insert(key);
}

bool FirstDeclaration(ConversionContext& ctx, std::string_view name) {
  return FirstIn(ctx, ctx.ReadyState.DeclaredIn, &ctx.ReadyState.DeclaredOrder, name);
}

bool DeclaredAlready(const ConversionContext& ctx, std::string_view name) {
  const auto slot = ctx.ReadyState.DeclaredIn.find(AsciiLowerCopy(name));
  return slot != ctx.ReadyState.DeclaredIn.end() && CountsWithHere(ctx, slot->second);
}

bool FirstRoutineDeclaration(ConversionContext& ctx, std::string_view name) {
  return FirstIn(ctx, ctx.ReadyState.DeclaredRoutines, nullptr, name);
}

namespace {

// The index of the names of all caches, built on first use.
NameIndex& Names(ConversionContext& ctx) {
  NameIndex* index = nullptr;
  if (IncludeCacheMemo* memo = ctx.Options.CacheMemo) {
    index = &memo->Names();
  } else {
    if (!ctx.ReadyState.OwnNameIndex) ctx.ReadyState.OwnNameIndex = std::make_shared<NameIndex>();
    index = ctx.ReadyState.OwnNameIndex.get();
  }
  if (!index->Built()) index->Build(ctx.Options.CacheDirs, ctx.Options.CacheMemo);
  return *index;
}

}  // namespace

std::vector<std::string> OtherUnitsDeclaring(ConversionContext& ctx, std::string_view name) {
  std::vector<std::string> units;
  if (!ctx.Ready.LooksInOtherUnits()) return units;
  units = Names(ctx).UnitsOf(AsciiLowerCopy(name));
  std::erase_if(units,
                [&](const std::string& unit) { return EqualsIgnoreCase(unit, ctx.UnitName); });
  return units;
}

namespace {

// FoundInOtherUnit of a name already in lower case.
bool FoundLowerInOtherUnit(ConversionContext& ctx, const std::string& key, std::string* unitOut) {
  if (!ctx.Ready.LooksInOtherUnits()) return false;
  const std::string* unit = Names(ctx).UnitOf(key);
  if (!unit || EqualsIgnoreCase(*unit, ctx.UnitName)) return false;
  if (unitOut) *unitOut = *unit;
  auto& found = ctx.ReadyState.FoundUses;
  if (std::find(found.begin(), found.end(), *unit) == found.end()) found.push_back(*unit);
  return true;
}

}  // namespace

bool FoundInOtherUnit(ConversionContext& ctx, std::string_view name, std::string* unitOut) {
  return FoundLowerInOtherUnit(ctx, AsciiLowerCopy(name), unitOut);
}

bool IsKnownName(ConversionContext& ctx, std::string_view name, bool otherUnits) {
  // Words of Pascal's expressions and its own types, which no header declares.
  static const std::unordered_set<std::string_view> kPascal = {
      "and",       "div",       "false",      "mod",      "nil",      "not",      "or",
      "shl",       "shr",       "sizeof",     "true",     "xor",      "pointer",  "integer",
      "cardinal",  "byte",      "word",       "longint",  "longword", "int64",    "uint64",
      "shortint",  "smallint",  "char",       "ansichar", "widechar", "boolean",  "pchar",
      "pwidechar", "nativeint", "nativeuint", "single",   "double",   "extended", "ord"};
  const std::string key = AsciiLowerCopy(name);
  if (kPascal.contains(key)) return true;
  return ctx.ReadyState.DeclaredIn.contains(key) || ctx.KnownNames.Contains(key) ||
         ctx.ConstNames.Contains(name) || IsKnownTypeName(ctx, name) ||
         (!ctx.UnixTarget() && ctx.Defs.WindowsUnitNames.Contains(name)) ||
         (otherUnits && FoundLowerInOtherUnit(ctx, key, nullptr));
}

}  // namespace tqc
