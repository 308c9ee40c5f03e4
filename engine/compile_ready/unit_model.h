// UnitModel: the written unit as the compiler-ready passes read and change it. The rules write
// text into the OutputPane; once they are done, the model reads each line back once: its code
// (the line without its comments, directives and string contents, so that a comment kept
// after a declaration never hides what the declaration is), what kind of line it is, the name
// it declares, and the section, record and conditional branch it stands in. Passes change
// lines only through the model, which reads a changed line again (and the lines after it,
// when a "(*" comment now opens or closes elsewhere) and keeps the rest as it was.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "output_pane.h"

namespace tqc {

enum class LineKind : std::uint8_t {
  NoCode,          // empty, a comment (error lines too), or inside a "(*" comment
  Directive,       // "{$...}": see DirectiveKind
  SectionHeader,   // "const", "type" or "var"
  Implementation,  // "implementation": the unit's tail starts here
  RoutineHead,     // "  function ..." / "  procedure ..." (may go on over lines)
  Declaration,     // "  NAME\t= ...", "  NAME = record": see Name()
  RecordEnd,       // "  end;"
  Other            // fields, members, parameter lines, variables ...
};

enum class DirectiveKind : std::uint8_t { None, If, Else, End, Other };

enum class UnitSection : std::uint8_t { None, Const, Var, Type };

inline bool IsWordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}
inline bool IsDigitChar(char c) { return c >= '0' && c <= '9'; }
inline bool IsAlphaChar(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

class UnitModel {
 public:
  // Reads the pane's lines after `usesLine` (the unit's head stays out of the model).
  UnitModel(OutputPane& pane, int usesLine);

  int UsesLine() const { return usesLine_; }
  int First() const { return usesLine_ + 1; }
  int Count() const { return pane_.Count(); }
  const std::string& Text(int i) const { return pane_.Line(i); }

  // The line's code: comments and directives are one blank each, strings are '' and blanks
  // at the end are dropped. Empty for a line with no code.
  const std::string& Code(int i) const { return At(i).Code; }
  LineKind Kind(int i) const { return At(i).Kind; }
  DirectiveKind Directive(int i) const { return At(i).Directive; }
  // Whether the line starts inside a "(*" comment that an earlier line opened.
  bool CommentAtStart(int i) const { return At(i).CommentAtStart; }
  // The name a declaration line declares ("  NAME\t= ...", "&" dropped), else empty.
  std::string_view Name(int i) const;
  // A declaration that opens a record ("= record", "= packed record").
  bool OpensRecord(int i) const { return At(i).OpensRecord; }

  // The section a line stands in (routine heads and the tail end a section).
  UnitSection Section(int i);
  // The head line of the record the line stands in (its fields and its "  end;"), or -1.
  int RecordOf(int i);
  // Whether the line stands in a branch no compiler takes ("{$IF False }").
  bool Dead(int i);

  // Changes.
  void Replace(int i, std::string text);
  void CommentOut(int i) { Replace(i, "// " + Text(i)); }
  // Makes the line an error line ("// Error : " and the line's text without leading blanks,
  // "Error" red); returns the name it declared (empty if none).
  std::string MakeErrorLine(int i);
  void MarkLine(int i, int column, int length, TextStyle style) {
    pane_.MarkLine(i, column, length, style);
  }
  // Removes the lines whose entry is true (one entry per line of the pane).
  void RemoveLines(const std::vector<bool>& drop);

 private:
  struct Line {
    std::string Code;
    LineKind Kind = LineKind::NoCode;
    DirectiveKind Directive = DirectiveKind::None;
    bool CommentAtStart = false;
    bool CommentAtEnd = false;
    bool OpensRecord = false;
    std::uint16_t NameAt = 0, NameLength = 0;  // in Code
    UnitSection Section = UnitSection::None;
    bool Dead = false;
    int Record = -1;
  };

  const Line& At(int i) const;
  // Reads line i (its comment state at the start given); returns whether the kind changed.
  bool Read(int i, bool commentAtStart);
  void Structure();  // sections, records and branches, when a kind changed since

  OutputPane& pane_;
  int usesLine_;
  std::vector<Line> lines_;  // indexed like the pane; the head's entries stay empty
  bool structured_ = false;
};

// Calls f(p, end) for every word of a line's code as written (positions in `line`): outside
// comments ("(*" comments go on over lines: `comment` is the state at the line's start and is
// left at its end), directives and strings; numbers are no words.
template <class F>
void ForEachCodeWord(std::string_view line, bool& comment, F&& f) {
  std::size_t p = 0;
  while (p < line.size()) {
    if (comment) {
      const std::size_t close = line.find("*)", p);
      if (close == std::string_view::npos) return;
      comment = false;
      p = close + 2;
      continue;
    }
    const char c = line[p];
    if (c == '/' && p + 1 < line.size() && line[p + 1] == '/') return;
    if (c == '(' && p + 1 < line.size() && line[p + 1] == '*') {
      comment = true;
      p += 2;
      continue;
    }
    if (c == '{' || c == '\'') {  // directives and strings
      const std::size_t close = line.find(c == '{' ? '}' : '\'', p + 1);
      if (close == std::string_view::npos) return;
      p = close + 1;
      continue;
    }
    if (c == '$' || IsDigitChar(c)) {
      ++p;
      while (p < line.size() && (IsAlphaChar(line[p]) || IsDigitChar(line[p]))) ++p;
      continue;
    }
    if (!(IsAlphaChar(c) || c == '_')) {
      ++p;
      continue;
    }
    std::size_t end = p;
    while (end < line.size() && IsWordChar(line[end])) ++end;
    f(p, end);
    p = end;
  }
}

// The name a line declares ("  NAME\t= ...", "  NAME = record"), without its "&"; empty when
// the line declares none.
std::string_view DeclaredOnLine(std::string_view line);

}  // namespace tqc
