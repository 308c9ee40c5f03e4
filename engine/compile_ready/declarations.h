// The names the unit declares, for the compiler-ready stage: Pascal declares a name once in the
// branches that count together, and a name no included unit declares may be found among the
// other converted units. The rules ask here while they write; the unit passes ask too.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tqc {

struct ConversionContext;

// Compiler-ready: whether `name` may be declared here, false when it was declared before in
// a branch that can count together with this one (Pascal declares a name once). Records the
// declaration.
bool FirstDeclaration(ConversionContext& ctx, std::string_view name);
// Whether the line being read stands in a branch the units' target never takes.
bool InDeadBranch(const ConversionContext& ctx);
// Whether a constant or type of that name (any letter case) counts in the current branch.
bool DeclaredAlready(const ConversionContext& ctx, std::string_view name);
// The same for routines, which are no names a constant's value may refer to.
bool FirstRoutineDeclaration(ConversionContext& ctx, std::string_view name);

// Compiler-ready: a name the unit declared that became no declaration (its record lost a field,
// its line became an error line): it is forgotten for the lines after it, and it leaves the
// lists the include cache is written from at the end of the stage.
void ForgetDeclaredName(ConversionContext& ctx, std::string_view name);

// Compiler-ready: the other units whose caches declare the name (none in the other modes).
std::vector<std::string> OtherUnitsDeclaring(ConversionContext& ctx, std::string_view name);

// Compiler-ready: whether a name in a value can be referred to: declared by this unit or by
// the units it includes, a known constant or type, or a word of Pascal's expressions.
// A name no included unit declares may be declared by another converted unit: that unit
// joins the uses clause (FoundUses) and the name counts as known, unless `otherUnits` is
// false: a macro's value that names what only an unrelated unit declares ("#define
// DUMMYUNIONNAME u") is a coincidence, not a reference.
bool IsKnownName(ConversionContext& ctx, std::string_view name, bool otherUnits = true);
// Whether a converted unit other than this one declares `name`; if so it joins FoundUses.
// `unitOut` receives the unit's name.
bool FoundInOtherUnit(ConversionContext& ctx, std::string_view name,
                      std::string* unitOut = nullptr);

}  // namespace tqc
