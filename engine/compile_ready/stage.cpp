// The order of the compiler-ready passes. Every pass after the rules works on one UnitModel
// of the written unit; a pass that needs another's result comes after it, as said at each.
#include "compile_ready/stage.h"

#include "compile_ready/passes.h"
#include "compile_ready/unit_model.h"
#include "context.h"
#include "conversion.h"

namespace tqc {

void RunInputPasses(ConversionContext& ctx) {
  // Before the pre-pass registers interface names: the IDL compiler's branches hold heads
  // the rules must not see.
  CommentIdlCompilerBranches(ctx);
}

void RunUnitPasses(ConversionContext& ctx) {
  UnitModel model(ctx.Pane, ctx.UsesLineIndex);
  // 1. The uses clause. The names the declarations use decide which other units join it,
  //    and only then can the units it leads to be settled and the line be written.
  FindNamesOfOtherUnits(ctx, model);
  SettleCompilerUses(ctx);
  WriteUsesLine(ctx);
  // 2. With the uses clause final: names that a used unit is named like are qualified.
  QualifyNamesLikeUnits(ctx, model);
  // 3. Which branch of a conditional declares the COM interfaces, before anything asks
  //    whether the interfaces are declared.
  TakeInterfaceBranches(model);
  // 4. What the unit declares, and the declarations that name what no unit declares. Records
  //    of the tables are taken out first (they are the Windows unit's), then the names are
  //    read, forward interfaces settled and interface fields made pointers, all of which
  //    change what the last pass finds unknown.
  CommentTableRecords(ctx, model);
  // Aliases written before the record they name move after it, before anything asks whether
  // what they name is declared.
  MoveAliasesAfterTheirTargets(model);
  UnitNames names;
  names.Collect(model);
  SettleForwardInterfaces(ctx, model, names);
  InterfaceFieldsAsPointers(ctx, model);
  MarkUnknownTypes(ctx, model, names);
  // 5. After the error lines of step 4: pointers whose target is gone, variant parts and
  //    sections left empty. Empty sections go last, since the two before can empty one.
  ResolveForwardPointers(ctx, model);
  CommentEmptyVariantParts(model);
  DropEmptySections(model);
  // 6. Field names told apart by case only: independent of the rest.
  RenameCaseTwinFields(model);
  // 7. Names left only on error lines are no declarations of the unit: read last, when no
  //    pass makes another error line.
  ForgetNamesOfErrorLines(ctx, model);
}

}  // namespace tqc
