// Replacement records of tqc.def and the user's .def file, applied to a statement right
// after the frame's normalisation and before every construct rule: a statement
// NAME ( a1 , ... , aN ) ; whose NAME has a record is written as the record's template.
#include "rules.h"
#include "tables/replacements.h"
#include "type_mapping.h"

namespace tqc {

RuleResult ApplyReplacement(ConversionContext& ctx, Statement& st) {
  const DefinitionTables& defs = ctx.Defs;
  TStringList2& t = ctx.TokenList;
  const int i = defs.ReplacementNames.FindExact(t.Text(0));
  if (i < 0) return RuleResult::Declined;

  const int k = t.Count();
  if (!t.Is(k - 1, ";")) {
    ctx.Pending = true;
    return RuleResult::Done;
  }

  // A call without arguments is NAME ( ) ; - four tokens, not 2N + 3.
  const long long n = defs.ReplacementNames.Tag(i);
  const long long expected = n == 0 ? 4 : 2 * n + 3;
  if (k != expected || !t.Is(1, "(") || !t.Is(k - 2, ")")) {
    st.Outcome = 0;
    return RuleResult::Epilogue;
  }

  const int kind = defs.ReplacementTemplates.Tag(i);
  Expansion ex = ExpandReplacement(defs.ReplacementTemplates.Text(i),
                                   defs.ReplacementPointers.Text(i), static_cast<int>(n), t);
  if (ex.Failed()) {
    st.Outcome = 0;
    return RuleResult::Epilogue;
  }

  for (auto& [pointee, pointer] : ex.PointerPairs) {
    ctx.NewPointerIdx.push_back(ctx.PointeeTypes.Count());
    ctx.PointeeTypes.Add(std::move(pointee), 1);
    ctx.PointerTypes.Add(std::move(pointer));
  }
  switch (static_cast<ReplacementKind>(kind)) {
    case ReplacementKind::C:
      SwitchSection(ctx, Section::Const);
      break;
    case ReplacementKind::T:
      SwitchSection(ctx, Section::Type);
      break;
    case ReplacementKind::V:
      SwitchSection(ctx, Section::Var);
      break;
    case ReplacementKind::F:
      ctx.SectionReopen = true;
      break;
    case ReplacementKind::X:
      break;
  }

  // The record's text replaces the statement whole; a leading comment is not kept, as with
  // every rule that builds its line afresh.
  st.Built = std::move(ex.Text);
  st.Outcome = kWriteBuilt;
  return RuleResult::Epilogue;
}

}  // namespace tqc
