// ConversionContext: the whole state of one conversion, created by ConvertHeader and passed
// to every routine of the engine. It also carries the per-conversion fields that the window
// used to own (UnitName, DllName, FuncNames, the New...Idx lists), since the engine has no
// window.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "compile_ready/stage.h"
#include "host.h"
#include "includes.h"
#include "options.h"
#include "output_pane.h"
#include "tables/definition_files.h"
#include "tables/string_list.h"

namespace tqc {

enum class Section { None = 0, Const = 1, Var = 2, Type = 3 };

// The input lines still to be read. Lines of the file are views into its bytes, which the
// caller keeps alive for the conversion; lines a rule puts back are owned here.
class SourceQueue {
 public:
  using const_iterator = std::deque<std::string_view>::const_iterator;

  bool empty() const { return lines_.empty(); }
  std::size_t size() const { return lines_.size(); }
  std::string_view front() const { return lines_.front(); }
  void pop_front() { lines_.pop_front(); }
  void push_front(std::string line) { lines_.push_front(owned_.emplace_back(std::move(line))); }
  void push_back(std::string line) { lines_.push_back(owned_.emplace_back(std::move(line))); }
  void push_back_view(std::string_view line) { lines_.push_back(line); }
  template <class It>
  void assign(It first, It last) {
    clear();
    for (; first != last; ++first) push_back(std::string(*first));
  }
  void clear() {
    lines_.clear();
    owned_.clear();
  }
  const_iterator begin() const { return lines_.begin(); }
  const_iterator end() const { return lines_.end(); }
  std::string_view operator[](std::size_t i) const { return lines_.at(i); }

  // Appends text to line i (a line a rule put back, extended by what followed the
  // statement on its line).
  void AppendToLine(std::size_t i, std::string_view text) {
    std::string line(lines_.at(i));
    line += text;
    lines_[i] = owned_.emplace_back(std::move(line));
  }

  // Keeps a text for the lines of a selection.
  std::string_view Own(std::string text) { return owned_.emplace_back(std::move(text)); }

  // Replaces the lines by a selection of them (views of the file or of texts owned here).
  void Select(std::deque<std::string_view> lines) { lines_ = std::move(lines); }

 private:
  std::deque<std::string_view> lines_;
  std::deque<std::string> owned_;  // a deque: its texts stay in place as it grows
};

struct ConversionContext {
  ConversionContext(DefinitionTables& defs, const ConversionOptions& options, OutputPane& pane,
                    ConversionHost& host)
      : Defs(defs), Options(options), Pane(pane), Host(host), Ready(options.CompileReady) {}

  DefinitionTables& Defs;  // the program's tables; only SkipWords grows during a conversion
  const ConversionOptions& Options;
  OutputPane& Pane;
  ConversionHost& Host;

  // Form-level fields of one conversion.
  std::string UnitName;
  // The name in the unit line: UnitNameOf the file name, or UnitNameOfHeader's.
  std::string PascalUnitName;
  std::string DllName;
  std::string DllFile;      // the DLL's file name as the user gave it (empty after Cancel)
  std::string OfferedDll;   // the DLL the header's routines agree on, from the tables; or empty
  bool DllChosen = false;   // the user named a DLL other than the one offered
  std::string InputPath;    // full path of the file being converted
  std::string CurrentLine;  // the input line being processed, exactly as read
  bool IDispatchSeen = false;
  TStringList2 FuncNames;
  std::vector<int> NewTypeIdx, NewPointerIdx, NewMakeIdx, NewInterfaceIdx, NewClassIdx, NewFuncIdx;

  // Input and statement assembly.
  SourceQueue SourceLines;  // remaining input lines; rules may push lines back
  TStringList2 TokenList;
  // Tokens of the current line after the end of the statement being translated: the
  // statements that follow it on the line («int f(int a); int g(int b);»).
  std::deque<TStringList2::Entry> FollowingTokens;
  bool Pending = false;
  bool Retranslate = false;
  bool RoutineTypedef = false;
  // The statement is a field of a procedural type («void *(*bzalloc)(void *, int, int);» in a
  // record): its routine type is written as the field's type.
  bool RoutineField = false;
  // The routine types the conversion declared (routine typedefs, with or without the star).
  std::unordered_set<std::string> RoutineTypes;
  // The statement began with "#define NAME(": a macro with parameters, read from the source
  // line, since the tokens no longer show whether a blank stood before the "(".
  bool FunctionLikeDefine = false;
  std::string DefineName;  // the name after "#define" as written in the source line
  // What the prototype rule's shape scan found in the first Scanned tokens of the token list
  // as it was at Stamp. A statement waiting for its ";" is offered to the rule again with
  // every line it takes in; while the list has only grown, the scan goes on from there.
  struct ShapeScan {
    std::uint64_t Stamp = 0;
    int Scanned = 0;
    int Parens = 0, Balance = 0;
    bool Semicolon = false;
  } PrototypeScan;

  // Tokenizer state.
  bool PendingStar = false;
  bool AfterFuncType = false;
  bool InBlockComment = false;
  int BodyDepth = 0;
  bool InString = false;
  bool EscapeReopened = false;
  bool InBrackets = false;

  int ErrorCount = 0;

  // Records and enumerations.
  int OpenStructLine = -1, OpenUnionLine = -1, OpenEnumLine = -1;
  std::string StructName, UnionName, EnumName;
  // A "," after the last member so far that ended an enumeration line already written: its
  // line and its distance from the line's end. Pascal takes no comma before the ")".
  int EnumCommaLine = -1;
  std::size_t EnumCommaFromEnd = 0;
  int UnionCaseCount = 0;
  TStringList2 VariantTexts;
  // C's bit fields of the open record («DWORD fBinary : 1;»): the run of fields that share one
  // storage unit of their type, written as one field of that type when the run ends.
  struct BitRun {
    std::string Type;
    int Bits = 0, Used = 0;
    std::string Names;
  } Bits;
  int BitRuns = 0;               // such fields written in the open record
  bool RecordLostField = false;  // an error line stands among the open record's fields
  bool FirstVariable = true;
  int EnumCounter = 1;
  bool SkippingBlock = false;
  bool SkippingAsComment = false;  // the block passed over is written as comment lines

  // Conditionals and packing.
  int PackAlign = 3;
  int PackStack1 = 3, PackStack2 = 3, PackStack3 = 3;
  // One entry per open conditional: how it closes, and whether its opening directive was
  // written. An opening that became an error line has its #else, #elif and #endif written
  // as comments, so that every directive of the unit closes one that was written.
  struct OpenConditional {
    bool ClosesWithIfend;
    bool Written;
  };
  std::vector<OpenConditional> CondStack;
  TStringList2 KnownNames;  // names declared by the included units ([NAME], lower case)

  // The compiler-ready stage: the rules' questions to it, and what they record for it.
  CompileReadyStage Ready;
  CompileReadyState ReadyState;

  // Interfaces and classes.
  bool InInterface = false;
  std::string InterfaceName;
  bool IsComInterface = false;
  bool UsesOle = false;
  TStringList2 ForwardRefs;  // tag = output line index
  TStringList2 ForwardNames, ForwardTexts;

  // Unit assembly.
  int UsesLineIndex = 10;  // the pane line of "uses"
  std::string UsesExtra;
  // Unix: the C type words merged into the token at CTypeWordsAt so far («unsigned long»),
  // and the Pascal type that token holds.
  std::string CTypeWords, CTypeWordsValue;
  int CTypeWordsAt = -1;
  // Unix: the struct tags the header gives a body, found once when first asked.
  std::unique_ptr<std::unordered_set<std::string>> BodyTags;
  // The tags the rest of the header gives the body of C's COM object (read once).
  std::unique_ptr<std::unordered_set<std::string>> ComObjectTags;
  Section CurrentSection = Section::None;
  bool SectionReopen = false;
  TStringList2 DeferredConsts;

  // The conversion's copies of the definition tables it extends.
  TStringList2 TypeNames, TypeValues;
  TStringList2 PointeeTypes, PointerTypes;
  TStringList2 ConstNames;
  TStringList2 ExportWords, StdcallWords, PascalWords, RegisterWords, CdeclWords;
  TStringList2 InterfaceNames, ClassNames;
  TStringList2 MakeNames, MakeValues;
  TStringList2 IncludeNames;
  TStringList2 IncludedCaches;
  TStringList2 VoidNames{"void"};

  // Copies the extended tables from the definition tables. The definition tables are frozen
  // first, so that every conversion shares their entries instead of copying them.
  // The unix target's decisions in the rules are taken on this one question.
  bool UnixTarget() const { return Options.Platform == Target::Unix; }

  void CopyTables() {
    for (TStringList2* list :
         {&Defs.TypeNames, &Defs.TypeValues, &Defs.PointeeTypes, &Defs.PointerTypes,
          &Defs.ConstNames, &Defs.ExportWords, &Defs.StdcallWords, &Defs.PascalWords,
          &Defs.RegisterWords, &Defs.CdeclWords, &Defs.InterfaceNames, &Defs.ClassNames})
      list->Freeze();
    TypeNames = Defs.TypeNames;
    TypeValues = Defs.TypeValues;
    PointeeTypes = Defs.PointeeTypes;
    PointerTypes = Defs.PointerTypes;
    ConstNames = Defs.ConstNames;
    ExportWords = Defs.ExportWords;
    StdcallWords = Defs.StdcallWords;
    PascalWords = Defs.PascalWords;
    RegisterWords = Defs.RegisterWords;
    CdeclWords = Defs.CdeclWords;
  }

  // Token access that throws std::out_of_range on a bad index.
  const std::string& Tok(int i) const { return TokenList.Text(i); }
  int TokCount() const { return TokenList.Count(); }
};

}  // namespace tqc
