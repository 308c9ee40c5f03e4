// Showing the engine's unit in the text document and writing it back as bytes.
#include "pane_text.h"

#include <QColor>
#include <QFont>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <array>

namespace tqc::shell {

namespace {

// Code page 1252 from 0x80 to 0x9F; the unassigned bytes keep their C1 control character.
constexpr std::array<char16_t, 32> kAnsi80 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// -1 when the character has no byte in code page 1252.
int AnsiByte(char16_t ch) {
  if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF)) return ch;
  for (std::size_t i = 0; i < kAnsi80.size(); ++i)
    if (kAnsi80[i] == ch) return static_cast<int>(0x80 + i);
  return -1;
}

// Characters that the text document does not keep as ordinary characters of a line.
bool SpecialInDocument(char32_t cp) {
  return cp == 0x2028 || cp == 0x2029 || cp == 0xFDD0 || cp == 0xFDD1;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool ValidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
      ++i;
      continue;
    }
    int extra;
    char32_t cp;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
      extra = 1;
      cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      extra = 2;
      cp = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      extra = 3;
      cp = b0 & 0x07;
    } else {
      return false;
    }
    if (i + static_cast<std::size_t>(extra) >= s.size()) return false;
    for (int k = 1; k <= extra; ++k) {
      const auto b = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
      if ((b & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (b & 0x3F);
    }
    if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF) || SpecialInDocument(cp))
      return false;
    i += static_cast<std::size_t>(extra) + 1;
  }
  return true;
}

}  // namespace

QString DecodeAnsi(std::string_view bytes) {
  QString out(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
  QChar* d = out.data();
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    d[i] = QChar((b >= 0x80 && b < 0xA0) ? kAnsi80[b - 0x80] : char16_t(b));
  }
  return out;
}

std::string EncodeAnsi(const QString& text) {
  std::string out;
  out.reserve(static_cast<std::size_t>(text.size()));
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t ch = text.at(i).unicode();
    const int b = AnsiByte(ch);
    if (b >= 0) {
      out += static_cast<char>(b);
      continue;
    }
    qsizetype n = 1;
    if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
      n = 2;
    out += text.mid(i, n).toUtf8().toStdString();
    i += n - 1;
  }
  return out;
}

PaneEncoding ChooseEncoding(const std::vector<std::string>& lines) {
  bool nonAscii = false;
  for (const auto& line : lines) {
    for (char c : line) {
      if (static_cast<unsigned char>(c) >= 0x80) {
        nonAscii = true;
        break;
      }
    }
    if (nonAscii) break;
  }
  if (!nonAscii) return PaneEncoding::Ansi;
  for (const auto& line : lines)
    if (!ValidUtf8(line)) return PaneEncoding::Ansi;
  return PaneEncoding::Utf8;
}

QString DecodeText(std::string_view bytes, PaneEncoding encoding) {
  if (encoding == PaneEncoding::Utf8)
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  return DecodeAnsi(bytes);
}

std::string EncodeText(const QString& text, PaneEncoding encoding) {
  if (encoding == PaneEncoding::Utf8) return text.toUtf8().toStdString();
  return EncodeAnsi(text);
}

int CharColumn(std::string_view line, int byteColumn, PaneEncoding encoding) {
  if (encoding == PaneEncoding::Ansi || byteColumn <= 0) return byteColumn;
  int units = 0;
  const auto end = static_cast<std::size_t>(byteColumn);
  for (std::size_t i = 0; i < line.size() && i < end; ++i) {
    const auto b = static_cast<unsigned char>(line[i]);
    if ((b & 0xC0) == 0x80) continue;  // continuation byte
    units += b >= 0xF0 ? 2 : 1;        // four-byte characters need a surrogate pair
  }
  if (end > line.size()) units += static_cast<int>(end - line.size());
  return units;
}

PaneFill::PaneFill(const OutputPane& pane) : pane_(pane), encoding_(ChooseEncoding(pane.Lines())) {
  const auto& ranges = pane.Ranges();
  rangeOrder_.resize(ranges.size());
  for (std::size_t i = 0; i < ranges.size(); ++i) rangeOrder_[i] = i;
  // Ranges arrive almost always in line order; those of an inserted line do not.
  std::stable_sort(rangeOrder_.begin(), rangeOrder_.end(),
                   [&](std::size_t a, std::size_t b) { return ranges[a].Line < ranges[b].Line; });
}

void PaneFill::Rewind() {
  next_ = 0;
  nextRange_ = 0;
}

void PaneFill::Append(QTextDocument& doc, int count) {
  const auto& lines = pane_.Lines();
  const int end = static_cast<int>(std::min<std::size_t>(
      lines.size(),
      static_cast<std::size_t>(next_) + static_cast<std::size_t>(std::max(count, 0))));
  if (end <= next_) return;
  QTextCursor cursor(&doc);
  cursor.movePosition(QTextCursor::End);
  const int base = cursor.position();
  QString text;
  std::vector<int> starts;
  starts.reserve(static_cast<std::size_t>(end - next_));
  for (int i = next_; i < end; ++i) {
    if (i > 0) text += QLatin1Char('\n');
    starts.push_back(base + static_cast<int>(text.size()));
    text += DecodeText(lines[static_cast<std::size_t>(i)], encoding_);
  }
  cursor.insertText(text, QTextCharFormat());

  QTextCharFormat bold;
  bold.setFontWeight(QFont::Bold);
  QTextCharFormat red;
  red.setForeground(QColor(Qt::red));
  cursor.beginEditBlock();  // one layout pass for all ranges of the piece
  const auto& ranges = pane_.Ranges();
  for (; nextRange_ < rangeOrder_.size(); ++nextRange_) {
    const StyleRange& r = ranges.at(rangeOrder_[nextRange_]);
    if (r.Line >= end) break;
    const std::string& line = lines.at(static_cast<std::size_t>(r.Line));
    const int lineStart = starts.at(static_cast<std::size_t>(r.Line - next_));
    cursor.setPosition(lineStart + CharColumn(line, r.Column, encoding_));
    cursor.setPosition(lineStart + CharColumn(line, r.Column + r.Length, encoding_),
                       QTextCursor::KeepAnchor);
    cursor.mergeCharFormat(r.Style == TextStyle::Bold ? bold : red);
  }
  cursor.endEditBlock();
  next_ = end;
}

PaneEncoding ShowPane(QTextDocument& doc, const OutputPane& pane) {
  doc.setUndoRedoEnabled(false);  // also empties the undo history
  doc.clear();
  PaneFill fill(pane);
  fill.Append(doc, pane.Count());
  doc.setUndoRedoEnabled(true);
  return fill.Encoding();
}

std::string DocumentBytes(const QTextDocument& doc, PaneEncoding encoding, int replacedLine,
                          const QString& replacement) {
  std::string out;
  if (doc.isEmpty()) return out;
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
    out += EncodeText(b.blockNumber() == replacedLine ? replacement : b.text(), encoding);
    out += "\r\n";
  }
  return out;
}

}  // namespace tqc::shell
