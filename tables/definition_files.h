// DefinitionTables: what tqc knows before it reads a header, loaded from tqc.dat (word lists
// and token spellings), tqc.typ (type knowledge) and tqc.def (replacement records). The
// caller owns the tables; each conversion copies the ones it extends.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "string_list.h"

namespace tqc {

struct DefinitionTables {
  // tqc.dat
  TStringList2 ExportWords, StdcallWords, PascalWords, CdeclWords, RegisterWords, SkipWords;
  TStringList2 DefineNames, DefineValues;
  // tqc.typ
  TStringList2 TypeNames, TypeValues;
  TStringList2 PointeeTypes, PointerTypes;  // PointeeTypes tag: 1 = interface/class category
  TStringList2 InterfaceNames, ClassNames;
  TStringList2 ConstNames;  // tag = value
  TStringList2 ConstTypeNames, ConstTypeValues;
  // tqc.def, and the active records (base + one user file)
  TStringList2 BaseReplacementNames, BaseReplacementTemplates, BaseReplacementPointers;
  TStringList2 ReplacementNames, ReplacementTemplates, ReplacementPointers;
};

// Splits a definition line into items: blanks and commas separate, double quotes group,
// a doubled double quote inside quotes stands for one.
std::vector<std::string> SplitItems(std::string_view line);

// Splits file bytes into lines at CR LF, LF or CR.
std::vector<std::string> SplitLines(std::string_view bytes);

// Reads the three files from folder `dir` (each only if present) into fresh tables.
void LoadDefinitions(DefinitionTables& tables, const std::string& dir);

void ReadDatText(DefinitionTables& tables, std::string_view bytes);
void ReadTypText(DefinitionTables& tables, std::string_view bytes);

}  // namespace tqc
