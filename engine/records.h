// Helpers shared by the record, enumeration and declaration rules (records*.cpp): the
// registration of new pointer types, the enumeration member scan and the padding of the
// variants of a union nested in a struct.
#pragma once

#include <string>

#include "context.h"
#include "dispatch.h"

namespace tqc {

// Registers P as the pointer type of T: PointeeTypes/PointerTypes (tag 1 for an interface
// or class pointee) with its index in NewPointerIdx. A pointer to a routine type is that
// routine type in Pascal, so P is then also mapped to T in TypeNames.
void RegisterPointerType(ConversionContext& ctx, const std::string& p, const std::string& t);

// One declarator of an alias typedef «typedef A D»: "*P" declares (and registers) a pointer
// type P to A, anything else an alias of A; with followVoid an alias of a void name is one
// too. Returns the declaration line.
std::string AliasLine(ConversionContext& ctx, const std::string& a, const std::string& d,
                      bool followVoid);

// A C name as a declaration needs it (bytes above 127 count as letters: double-byte names).
bool IsName(const std::string& s);

// A comment token after a declaration: "(* ... *)" or "// ...".
bool IsTrailingComment(const std::string& token);
// The statement ends with ";" at index `at`, or with ";" there and one trailing comment.
bool EndsWithSemicolonAt(const TStringList2& t, int at);

// Where an enumeration member scan starts: in a head statement (which one decides the
// closing forms it accepts) or inside an enumeration body left open by earlier lines.
enum class EnumScan { TypedefHead, PlainHead, OpenBody };

// Scans enumeration members from token `start` and sets the statement's result.
RuleResult TranslateEnumMembers(ConversionContext& ctx, Statement& st, int start, EnumScan form);

// Variant n of a union nested in a struct, padded with "Unknown" fields so that its next
// field lines up with the latest field of variant 0.
std::string PadVariant(const std::string& v0, const std::string& vn, int n);

// A field of a procedural type (`type`: «function (a: Integer): Integer; cdecl», `name` as
// declared) where the open record wants it, as TranslateVariable places its fields; a
// trailing comment after it.
RuleResult WriteProceduralField(ConversionContext& ctx, Statement& st, const std::string& name,
                                const std::string& type, const std::string& comment);

// Results of the record rules.
namespace records {

// Token i, or an empty text beyond the end (for shape tests on short statements).
inline const std::string& At(const TStringList2& t, int i) {
  static const std::string kNone;
  return i >= 0 && i < t.Count() ? t.Text(i) : kNone;
}

// The rule wrote its own lines: the statement is finished.
inline RuleResult Finished(ConversionContext& ctx) {
  ctx.Pending = false;
  ctx.RoutineTypedef = false;
  return RuleResult::Done;
}

inline RuleResult StayPending(ConversionContext& ctx) {
  ctx.Pending = true;
  return RuleResult::Done;
}

inline RuleResult ErrorFrom(Statement& st, int n) {
  st.Outcome = n;
  return RuleResult::Epilogue;
}

// Writes `text` through the epilogue (a CR LF inside gives several lines).
inline RuleResult WriteBuilt(Statement& st, std::string text) {
  st.Built = std::move(text);
  st.Outcome = kWriteBuilt;
  return RuleResult::Epilogue;
}

}  // namespace records

}  // namespace tqc
