// The bridge between the engine's OutputPane (8-bit lines with bold and red ranges counted in
// bytes) and the window's text document (characters). The unit is shown after a conversion
// and turned back into the same bytes when it is saved.
//
// Decoding: when every non-ASCII byte of the unit forms valid UTF-8 the unit is shown as
// UTF-8, otherwise as the Windows ANSI code page 1252, whose five unassigned bytes stand for
// the C1 control characters of the same number. The ANSI mapping is one character per byte
// both ways, so any byte sequence survives a display and save unchanged. Ranges are moved
// from byte columns to character columns line by line, so bold and red stay on the right
// characters also behind multi-byte characters.
#pragma once

#include <QString>
#include <string>
#include <string_view>
#include <vector>

#include "engine/output_pane.h"

class QTextDocument;

namespace tqc::shell {

enum class PaneEncoding { Ansi, Utf8 };

QString DecodeAnsi(std::string_view bytes);
// Characters outside code page 1252 (typed by the user) are written as their UTF-8 bytes
// rather than dropped.
std::string EncodeAnsi(const QString& text);

// Utf8 when the lines hold non-ASCII bytes that are all valid UTF-8 and show as they are
// (no character that the text document would turn into a line break); Ansi otherwise.
PaneEncoding ChooseEncoding(const std::vector<std::string>& lines);

QString DecodeText(std::string_view bytes, PaneEncoding encoding);
std::string EncodeText(const QString& text, PaneEncoding encoding);

// Character (UTF-16) column of a byte column of a line. A column inside a multi-byte
// character counts that character.
int CharColumn(std::string_view line, int byteColumn, PaneEncoding encoding);

// Writes the pane's lines with their styles into a document a piece at a time, so that a
// large unit can be built while the window goes on answering the user. The pane must outlive
// the fill.
class PaneFill {
 public:
  explicit PaneFill(const OutputPane& pane);

  PaneEncoding Encoding() const { return encoding_; }
  int LinesDone() const { return next_; }
  bool Done() const { return next_ >= pane_.Count(); }
  // Appends the next `count` lines (fewer at the end) with their styles at the end of `doc`.
  void Append(QTextDocument& doc, int count);
  // Starts again from the first line, for another document.
  void Rewind();

 private:
  const OutputPane& pane_;
  PaneEncoding encoding_;
  std::vector<std::size_t> rangeOrder_;  // the pane's ranges in line order
  int next_ = 0;
  std::size_t nextRange_ = 0;
};

// Replaces the document's text by the pane's lines with their styles; the undo history is
// emptied. Returns the encoding chosen for the unit.
PaneEncoding ShowPane(QTextDocument& doc, const OutputPane& pane);

// The document as Save writes it: every line followed by CR LF (nothing for an empty text).
// With `replacedLine`, that line is written as `replacement` instead.
std::string DocumentBytes(const QTextDocument& doc, PaneEncoding encoding, int replacedLine = -1,
                          const QString& replacement = QString());

}  // namespace tqc::shell
