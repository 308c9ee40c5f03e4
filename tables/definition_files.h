// DefinitionTables: what tqc knows before it reads a header, loaded from tqc.dat (word lists
// and token spellings), tqc.typ (type knowledge) and tqc.def (replacement records). The
// caller owns the tables; each conversion copies the ones it extends.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "file_io.h"
#include "string_list.h"

namespace tqc {

struct DefinitionTables {
  // tqc.dat
  TStringList2 ExportWords, StdcallWords, PascalWords, CdeclWords, RegisterWords, SkipWords;
  // Macros the headers of the run define as nothing («#define ZEXPORT»): between a routine's
  // return type and its name they are decorations. Grows during a run, like SkipWords.
  TStringList2 EmptyMacros;
  TStringList2 DefineNames, DefineValues;
  // Macros the C compiler defines for the target, and the Pascal compiler's own conditional
  // symbols for the same thing ("_WIN64" -> "WIN64").
  TStringList2 PredefinedNames, PredefinedValues;
  // [macros]: macros with parameters the headers' enumerations use, as C writes them
  // («MAKE_HRESULT(sev,fac,code) ...»); a header's own definition wins.
  TStringList2 MacroTexts;
  // [values]: macros of the C library the target fixes («INT_MIN»), and their values.
  TStringList2 ValueNames, ValueValues;
  TStringList2 TargetSymbols;  // [target]: the symbols the Pascal compiler defines for the units
  // Decorations that take a routine's return type as their argument ("STDAPI_(BOOL)"), and
  // the calling-convention word they stand for.
  TStringList2 ResultNames, ResultValues;
  // Macros that cast their one argument to a type ("_HRESULT_TYPEDEF_"), and the Pascal type.
  TStringList2 CastNames, CastValues;
  // tqc.typ
  TStringList2 TypeNames, TypeValues;
  TStringList2 PointeeTypes, PointerTypes;  // PointeeTypes tag: 1 = interface/class category
  TStringList2 InterfaceNames, ClassNames;
  TStringList2 ConstNames;  // tag = value
  TStringList2 ConstTypeNames, ConstTypeValues;
  // Names the Pascal compiler's own Windows and ActiveX units do not declare, and types its
  // ActiveX unit does declare (the compiler-ready mode's view of the units it uses).
  TStringList2 ConvertedOnlyNames, ActiveXNames;
  // [COMPILER-READY TYPE]: C types the compiler's own units spell otherwise («DISPID»: its
  // ActiveX unit's TDispID), mapped in the compiler-ready mode only.
  TStringList2 ReadyTypeNames, ReadyTypeValues;
  // Every name the Pascal compiler's own Windows unit declares (generated); tag 1: a type.
  TStringList2 WindowsUnitNames;
  // tqc.exp: the functions Windows DLLs export; the tag of a name is the index of its DLL.
  TStringList2 ExportedNames, ExportingDlls;
  // tqc.dat [units]: units the Pascal compiler ships (System, Math, ...): no converted unit
  // may be named like one, or it would hide the compiler's own from every program beside it.
  TStringList2 CompilerUnitNames;
  // tqc.dat [headers]: headers the target's compiler covers by itself (the C library's), and
  // the unit that stands for each ("" = none); [uses]: units every unit of the target uses
  // (none: the Windows unit).
  TStringList2 HeaderNames, HeaderUnits, BaseUnitNames;
  // tqc.def, and the active records (base + one user file)
  TStringList2 BaseReplacementNames, BaseReplacementTemplates, BaseReplacementPointers;
  TStringList2 ReplacementNames, ReplacementTemplates, ReplacementPointers;
};

// Splits a definition line into items: blanks and commas separate, double quotes group,
// a doubled double quote inside quotes stands for one, a comma at the end adds an empty
// item. A NUL byte ends the line.
std::vector<std::string> SplitItems(std::string_view line);

// Integers of the definition files: optional leading blanks, then a decimal number with an
// optional sign that fits 32 bits, or "$", "x", "0x" and one to eight hexadecimal digits
// read as a 32-bit pattern. Returns false (value untouched) for anything else.
bool ParseTableInteger(std::string_view text, int& value);

// Splits file bytes into lines at CR LF, LF or CR.
std::vector<std::string> SplitLines(std::string_view bytes);
// The same lines as views into `bytes`.
std::vector<std::string_view> SplitLineViews(std::string_view bytes);

// Reads the definition files from folder `dir` (each only if present) into fresh tables,
// each as a text file (ReadTextFile). A tqc.dat or tqc.typ that is there but cannot be read,
// is not text, or has none of its known sections throws std::runtime_error with its path and the
// reason: empty tables would make every unit wrong. An unreadable tqc.def is left out; the
// returned warnings say so.
std::vector<std::string> LoadDefinitions(DefinitionTables& tables, const std::string& dir);
// The same from three paths of their own (an empty path: no such file).
// Target: the sections of tqc.dat and tqc.typ written for one target are named "[TARGET
// section]" ("[unix TYPE]"); with a target they are read first, so their entries win over
// the plain sections' ones (the first entry of a name counts). Without one they are ignored,
// and so is tqc.exp with one (it knows Windows DLLs only).
struct DefinitionPaths {
  std::string Dat, Typ, Def, Exp;
  std::string Target;
};
std::vector<std::string> LoadDefinitions(DefinitionTables& tables, const DefinitionPaths& paths);

// Append what the text of tqc.dat / tqc.typ holds to the tables; malformed lines are skipped.
// False when no line of the text is one of the file's known section headers (tqc.exp: when
// it names functions but no DLL).
// With a target, its own sections are read first and then the plain ones.
bool ReadDatText(DefinitionTables& tables, std::string_view bytes, std::string_view target = {});
bool ReadTypText(DefinitionTables& tables, std::string_view bytes, std::string_view target = {});
bool ReadExpText(DefinitionTables& tables, std::string_view bytes);

}  // namespace tqc
