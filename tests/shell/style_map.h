// The bold and red state of each character of a text block, as a string: "b" bold, "r" red,
// "B" both, "." plain. Shared by the window tests.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextFragment>

inline QString StyleMap(const QTextBlock& block) {
  QString out;
  for (auto it = block.begin(); !it.atEnd(); ++it) {
    const QTextFragment f = it.fragment();
    const QTextCharFormat fmt = f.charFormat();
    const bool bold = fmt.fontWeight() >= QFont::Bold;
    const bool red = fmt.hasProperty(QTextFormat::ForegroundBrush) &&
                     fmt.foreground().color() == QColor(Qt::red);
    out += QString(f.length(), bold && red ? 'B' : bold ? 'b' : red ? 'r' : '.');
  }
  return out;
}
