// The compiler-ready stage: what a Pascal compiler needs beyond the translation rules. It is
// the "Compiler-Ready Output" option. It works in three places, and only there:
//  - an input pass before the rules (RunInputPasses);
//  - a few decisions the rules must take while they write a statement, each asked through one
//    named query of CompileReadyStage below (a rule that must not emit something cannot have
//    it taken out later without losing what it would have learned);
//  - the ordered list of passes over the written unit (RunUnitPasses), which read and change
//    the unit through one UnitModel (unit_model.h).
// The state the rules keep for the stage (the branches of the conditionals, the names declared
// so far) is in CompileReadyState.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "tables/string_list.h"

namespace tqc {

struct ConversionContext;
class NameIndex;

// The value of a macro of declarations: its tokens, and the macros it named when it was
// defined, by reference (Size: the tokens it gives written out, at most the largest integer).
struct FieldMacro {
  struct Item {
    std::string Token;
    std::shared_ptr<const FieldMacro> Ref;  // a macro named in the value; Token is then empty
  };
  std::vector<Item> Items;
  std::uint64_t Size = 0;
};

// A macro with parameters («#define TAG(v, a, b) v = ((a) << 8 | (b))»): its parameters and
// the tokens of its value, comments left out.
struct FunctionMacro {
  std::vector<std::string> Params;
  std::vector<std::string> Body;
};

// The rules' questions to the stage. Each names what the rule does differently when the unit
// must compile; all of them are false when the option is off.
class CompileReadyStage {
 public:
  explicit CompileReadyStage(bool on) : on_(on) {}

  bool Active() const { return on_; }
  // Pascal declares a name once, whatever its letter case: a type, constant, routine or
  // variable declared again where both declarations can count is commented or named apart.
  bool DeclaresOnce() const { return on_; }
  // Conditionals are followed branch by branch (each branch opens its own sections).
  bool TracksBranches() const { return on_; }
  // "#if"/"#elif" become expressions a compiler can evaluate (guarded names), never text it
  // cannot read.
  bool WritesCompilerConditions() const { return on_; }
  // A declaration always stands in a section of its kind (an interface forward declaration
  // after constants gets its "type").
  bool WritesSectionHeaders() const { return on_; }
  // C's operators in values, bounds and enumeration members are written in Pascal's words
  // ("shl", "or", "not", parentheses kept), and C's number suffixes dropped.
  bool TranslatesValueOperators() const { return on_; }
  // A constant, cast or macro value that names what no unit declares is an error line
  // rather than a name the compiler stops at.
  bool RefusesUnknownValues() const { return on_; }
  // A pointer to a type no unit has declared so far is an untyped pointer (also a parameter
  // by reference to such a type).
  bool UntypesUnknownPointers() const { return on_; }
  // Names no included unit declares are looked up among the other converted units, which
  // then join the uses clause.
  bool LooksInOtherUnits() const { return on_; }
  // A macro that names a type is a type alias, not a constant.
  bool MacrosNamingTypesAreTypes() const { return on_; }
  // A macro whose name the tables replace or drop stays a comment (it would declare the word
  // again).
  bool KeepsMacrosOutOfDeclarations() const { return on_; }
  // Macros whose value is a list of declarations are written out where a record names them.
  bool ExpandsFieldMacros() const { return on_; }
  // Macros with parameters are written out where an enumeration's members call them, and a
  // member whose value then is a constant expression gets its number.
  bool ExpandsEnumMacros() const { return on_; }
  // C types the compiler's own Windows units declare under another name ([COMPILER-READY
  // TYPE]: DISPID is its ActiveX unit's TDispID) are written with that name.
  bool SpellsTypesAsCompilerUnits() const { return on_; }
  // A C++ class whose one base is a COM interface is written as an interface.
  bool ClassesOfInterfacesAreInterfaces() const { return on_; }
  // Declarations a record's closing brace gives come in the order a compiler needs: the
  // record, then its aliases; the tag as an alias; "} E, *PE;" of an enumeration.
  bool OrdersRecordDeclarations() const { return on_; }
  // A comment between a record's name and its "{" goes after the "{".
  bool MovesCommentsIntoRecordHeads() const { return on_; }
  // A parameter "name" that is a known type is numbered like an unnamed parameter.
  bool NumbersParametersNamedLikeTypes() const { return on_; }
  // Every routine is bound to its DLL in its own declaration.
  bool BindsEveryRoutine() const { return on_; }
  // A routine-type parameter of a method is an untyped pointer: no type may be declared
  // inside an interface.
  bool UntypesRoutineParametersOfMethods() const { return on_; }

 private:
  bool on_;
};

// What the rules record for the stage while they translate.
struct CompileReadyState {
  using Path = std::vector<std::pair<int, int>>;
  // The branch of every open conditional (a number per conditional and the branch within
  // it), and for each name declared (in lower case) the branches it was declared in: a name
  // declared again where both can count is left out the second time.
  Path CondPath;
  Path SectionPath;  // CondPath where the last section header was written
  // For every open conditional: whether a branch so far is surely taken on the units' target,
  // and whether the current one is surely not («{$IF Defined(CPUARM)}» on x86-64). What a
  // dead branch declares counts for nothing: the same name declared again elsewhere stays.
  struct BranchTruth {
    bool Taken = false;
    bool Dead = false;
  };
  std::vector<BranchTruth> CondTruth;
  int CondCounter = 0;
  using DeclarationPaths = std::unordered_map<std::string, std::vector<Path>>;
  DeclarationPaths DeclaredIn, DeclaredRoutines;
  std::vector<std::string> DeclaredOrder;  // the keys of DeclaredIn as first declared
  // Types the unit declares with a closing brace or as routine types (lower case).
  std::unordered_set<std::string> DeclaredTypes;
  std::unordered_set<std::string> EnumMembers;  // the unit's enumeration members (lower case)
  // Every type the unit's type lines declare (lower case): a macro naming one in another
  // letter case («#define LPX LPXStackable» for LPXSTACKABLE) is an alias type too.
  std::unordered_set<std::string> TypeLineNames;
  // Macros with a value that the unit declares (a constant or a type, «#define T long»):
  // «#ifdef T» asks whether the name is declared, not whether a symbol is defined.
  std::unordered_set<std::string> DeclaredMacros;
  TStringList2 KnownNames;  // names declared by the included units ([NAME], lower case)
  // Macros whose value is a list of declarations («#define X_FIELDS DWORD a; HICON b;»), by
  // name: a record that names one gets the declarations as its fields (field_macros.h).
  std::unordered_map<std::string, std::shared_ptr<const FieldMacro>> FieldMacros;
  std::unordered_set<std::string> FieldMacroTokens;  // the plain tokens of their values
  std::unordered_map<std::string, FunctionMacro> FunctionMacros;  // the unit's, the last one
  bool TableMacrosLearned = false;  // the tables' [macros] are among them
  int ExpandedLines = 0;                             // lines ahead in SourceLines that a macro gave
  bool ReadingExpansion = false;                     // the line read last is one of them
  // Aliases of struct and union tags («typedef struct _X X;»), by the alias (lower case).
  std::unordered_map<std::string, std::string> TagAliases;
  // C's COM objects («typedef struct IX IX;» ... «struct IX { IXVtbl *lpVtbl; };») declared at
  // their typedef with their one field: their later body is a comment.
  std::unordered_set<std::string> ComObjects;
  // Units found through the name index (not included) that declare names the unit uses.
  std::vector<std::string> FoundUses;
  std::shared_ptr<NameIndex> OwnNameIndex;  // when no memo of the run holds one
  // Names whose declarations the passes made error lines (lower case): they leave the lists
  // the include cache is written from.
  std::unordered_set<std::string> Forgotten;
};

// The input pass: run over the source lines before the pre-pass and the rules.
void RunInputPasses(ConversionContext& ctx);
// The passes over the written unit, in their order; they also write its uses line.
void RunUnitPasses(ConversionContext& ctx);

}  // namespace tqc
