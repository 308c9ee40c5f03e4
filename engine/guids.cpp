// GUID definitions: DEFINE_GUID / EXTERN_GUID become typed TGUID constants. For an
// interface identifier (IID_<interface>) the interface's GUID attribute is built here and
// paired with the interface head of the interface rules, whichever of the two comes first.
#include "numbers.h"
#include "rules.h"
#include "type_mapping.h"

namespace tqc {

namespace {

// Token positions of «DEFINE_GUID ( Name , l , w1 , w2 , b1 , ... , b8 ) ;».
constexpr int kNameIdx = 2;
constexpr int kFirstValue = 4;
constexpr int kLastValue = 24;
constexpr int kCloseIdx = 25;
constexpr int kSemicolonIdx = 26;

bool WellFormed(const TStringList2& t) {
  if (t.Count() <= kSemicolonIdx) return false;
  if (!t.Is(1, "(") || !t.Is(kCloseIdx, ")") || !t.Is(kSemicolonIdx, ";")) return false;
  for (int i = kNameIdx + 1; i < kCloseIdx; i += 2)
    if (!t.Is(i, ",")) return false;
  return true;
}

bool IsTrailingComment(const std::string& s) { return !s.empty() && (s[0] == '(' || s[0] == '/'); }

// The statement is complete when it ends with ";", or with ";" and a comment after it.
bool Complete(const TStringList2& t) {
  const int k = t.Count();
  if (t.Is(k - 1, ";")) return true;
  return k >= 2 && IsTrailingComment(t.Text(k - 1)) && t.Is(k - 2, ";");
}

// «['{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}']» from the eleven values.
std::string GuidAttribute(const TStringList2& t) {
  auto h = [&](int i, int width) { return FormatHexNumber(t.Text(i), width); };
  std::string s = "['{" + h(4, 8) + "-" + h(6, 4) + "-" + h(8, 4) + "-" + h(10, 2) + h(12, 2) + "-";
  for (int i = 14; i <= kLastValue; i += 2) s += h(i, 2);
  return s + "}']";
}

// Inserts the attribute on the line after the head of the interface ForwardRefs[ref].
void PlaceAttribute(ConversionContext& ctx, int ref, const std::string& attribute) {
  const int line = ctx.ForwardRefs.Tag(ref);
  // Every interface head written after this one moves down by the inserted line.
  for (int i = ref + 1; i < ctx.ForwardRefs.Count(); ++i)
    ctx.ForwardRefs.SetTag(i, ctx.ForwardRefs.Tag(i) + 1);
  ctx.Pane.Insert(line, "\t" + attribute);
  ctx.ForwardRefs.Delete(ref);
  // Record heads still open below the insertion point move down with it.
  for (int* open : {&ctx.OpenStructLine, &ctx.OpenUnionLine, &ctx.OpenEnumLine})
    if (*open >= line) ++*open;
}

}  // namespace

RuleResult TranslateGuid(ConversionContext& ctx, Statement& st) {
  TStringList2& t = ctx.TokenList;
  const std::string_view macro = t.Text(0);
  if (macro != "DEFINE_GUID" && macro != "EXTERN_GUID") return RuleResult::Declined;
  if (!Complete(t)) {
    ctx.Pending = true;
    return RuleResult::Done;
  }
  if (!WellFormed(t)) {
    st.Outcome = 0;
    return RuleResult::Epilogue;
  }
  const std::string& name = t.Text(kNameIdx);
  const bool isIid = !ctx.Options.OleMode && StartsWith(name, "IID_");
  // The attribute is built before anything is written, so that a value it cannot read
  // fails the statement without leaving half a constant in the unit.
  const std::string attribute = isIid ? GuidAttribute(t) : std::string();

  SwitchSection(ctx, Section::Const);
  WriteLine(ctx, "  " + name + ": TGUID = (");
  auto n = [&](int i) { return ConvertNumber(t.Text(i)); };
  std::string line = "    D1:" + n(4) + ";D2:" + n(6) + ";D3:" + n(8) + ";D4:(" + n(10);
  for (int i = 12; i <= kLastValue; i += 2) line += "," + n(i);
  line += "));";

  if (isIid) {
    const std::string iface = name.substr(4);
    if (int ref = ctx.ForwardRefs.FindExact(iface); ref >= 0)
      PlaceAttribute(ctx, ref, attribute);
    else {
      ctx.ForwardTexts.Add(attribute);
      ctx.ForwardNames.Add(iface);
    }
  }

  if (t.Count() == kSemicolonIdx + 2 && IsTrailingComment(t.Last())) line += "\t" + t.Last();
  st.Built = line;
  st.Outcome = kWriteBuilt;
  return RuleResult::Epilogue;
}

}  // namespace tqc
