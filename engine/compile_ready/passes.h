// The passes of the compiler-ready stage, one file each; stage.cpp runs them in their order.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>

#include "compile_ready/unit_model.h"

namespace tqc {

struct ConversionContext;

// What the unit declares, as the passes that decide what a declaration may name share it:
// names are lower case.
struct UnitNames {
  std::unordered_set<std::string> Own;       // declared by the unit (outside dead branches)
  std::unordered_set<std::string> Routines;  // routines the unit declares
  std::unordered_set<std::string> Declared;  // declared so far, in the order of the unit
  // Reads Own and Routines from the model.
  void Collect(UnitModel& model);
};

// Input pass.
void CommentIdlCompilerBranches(ConversionContext& ctx);

// Before the uses line is written.
void FindNamesOfOtherUnits(ConversionContext& ctx, UnitModel& model);
void SettleCompilerUses(ConversionContext& ctx);

// Over the unit, uses line written.
void QualifyNamesLikeUnits(ConversionContext& ctx, UnitModel& model);
void TakeInterfaceBranches(UnitModel& model);
void CommentTableRecords(ConversionContext& ctx, UnitModel& model);
void MoveAliasesAfterTheirTargets(UnitModel& model);
void SettleForwardInterfaces(ConversionContext& ctx, UnitModel& model, UnitNames& names);
void InterfaceFieldsAsPointers(ConversionContext& ctx, UnitModel& model);
void MarkUnknownTypes(ConversionContext& ctx, UnitModel& model, UnitNames& names);
void ResolveForwardPointers(ConversionContext& ctx, UnitModel& model);
void CommentEmptyVariantParts(UnitModel& model);
void DropEmptySections(UnitModel& model);
void RenameCaseTwinFields(UnitModel& model);

// Whether a line's code is a routine head or a routine type ("  function ...", "  T = procedure").
bool IsRoutineHead(std::string_view code);
// The type named at `p` of a line's code ("&T", "array[0..1] of T", "^T" and "set of" are
// looked through); "?" for a C star or "..." that no rule took; empty when no type ends the
// declaration there.
std::string TypeAt(std::string_view code, std::size_t p);

// Shared by the passes that make lines error lines: a declaration that became an error line
// declares nothing, for the lines after it and for the units that include this one.
void ForgetDeclaration(ConversionContext& ctx, const std::string& name);
// Makes line i an error line, counted, and forgets what it declared.
void MakeCountedErrorLine(ConversionContext& ctx, UnitModel& model, int i, UnitNames* names);
// Takes the forgotten names out of the lists the include cache is written from.
void ApplyForgotten(ConversionContext& ctx);
// Last: names only error lines declare are not the unit's (its include cache leaves them out).
void ForgetNamesOfErrorLines(ConversionContext& ctx, UnitModel& model);

}  // namespace tqc
