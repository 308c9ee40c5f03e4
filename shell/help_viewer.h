// The guide shown in a window of the program, for a desktop that has no program to open a text
// document with.
#pragma once

#include <QString>

class QWidget;

namespace tqc::shell {

// Shows the text file in a read-only window owned by `owner` (one per owner, reused and raised
// when shown again). Returns an empty text, or the reason the file could not be read.
QString ShowTextWindow(QWidget* owner, const QString& path, const QString& caption);

}  // namespace tqc::shell
