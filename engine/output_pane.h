// OutputPane: the unit being written, as the window's text control would hold it: a list of
// lines plus bold and red character ranges. Positions count one character per line break,
// so the position of a line's first character is the sum of (length + 1) over the lines
// above it. Ranges are stored against their line so that lines inserted above keep them on
// the right characters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tqc {

enum class TextStyle { Bold, Red };

struct StyleRange {
  int Line = 0;
  int Column = 0;
  int Length = 0;
  TextStyle Style = TextStyle::Bold;
  bool operator==(const StyleRange&) const = default;
};

class OutputPane {
 public:
  void Clear();

  // Appends a text; a text with CR LF (or a lone CR or LF) inside becomes several lines.
  // Returns the index of the first line written.
  int Add(std::string_view text);
  int Add(std::string&& text);  // the same, taking over the text's buffer
  int Add(const char* text) { return Add(std::string_view(text)); }
  void Insert(int index, std::string_view text);  // may also become several lines
  void Replace(int index, std::string text);      // one line; its styles are clipped
  // Removes the lines whose `drop` entry is true (one entry per line), with their styles.
  void RemoveLines(const std::vector<bool>& drop);
  const std::string& Line(int index) const;
  int Count() const { return static_cast<int>(lines_.size()); }
  const std::vector<std::string>& Lines() const { return lines_; }

  // Character length of the whole text: every line counts its length plus one break.
  std::size_t TextLength() const { return textLength_; }

  // Styles a range given as a text position (as the text control addresses it).
  void MarkRange(std::size_t position, std::size_t length, TextStyle style);
  // Styles a range of one line.
  void MarkLine(int line, int column, int length, TextStyle style);
  const std::vector<StyleRange>& Ranges() const { return ranges_; }

  // The whole text with CR LF after every line, as Save writes it.
  std::string SaveText() const;
  // The text with one "\n" per line break (for tests and quick display).
  std::string PlainText() const;

 private:
  std::size_t CheckLine(int index) const;
  void InsertOne(int index, std::string line);

  std::vector<std::string> lines_;
  // The first range whose line is at least `line`.
  std::vector<StyleRange>::iterator FirstRangeAt(int line);

  std::vector<StyleRange> ranges_;  // in line order
  std::size_t textLength_ = 0;
};

// Splits a text at CR LF, lone CR or lone LF the way the text control breaks lines. A text
// without a break is one line; an empty text is one empty line.
std::vector<std::string> SplitPaneText(std::string_view text);

}  // namespace tqc
