// The window's per-user settings store (organisation "morlen", application "tqc": on Linux the
// INI file ~/.config/morlen/tqc.conf, on Windows the registry key software\morlen\tqc), the
// program's version texts, and where the window and its dialogs go on the screen.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <memory>

#include "cli/stored_settings.h"

class QSettings;
class QWidget;

namespace tqc::shell {

// The per-user store. Tests point it elsewhere with QSettings::setPath.
std::unique_ptr<QSettings> OpenSettingsStore();

// Every value with its default when absent, no number or out of range.
StoredSettings ReadSettings(QSettings& store);
// Writes every value as a string. Returns an empty text, or why the store could not be
// written, in the user's terms with the file's path.
QString WriteSettings(QSettings& store, const StoredSettings& settings);

struct VersionTexts {
  QString VersionText = QStringLiteral("Ver.0.0.0.0");
  QString ProductVersionText = QStringLiteral("Version 0.00B");
};
// The texts for the given file and product versions; an absent or empty version keeps its
// default text. At most 33 characters of each version are used.
VersionTexts MakeVersionTexts(const QString& fileVersion, const QString& productVersion);
// The texts of this program's build.
VersionTexts ProgramVersionTexts();

// The main window's rectangle after its restore: a window that reaches below the screen goes to
// the top, one that reaches beyond its right edge goes to the left edge, and one that starts
// above or left of the screen is moved onto it.
QRect KeepWindowOnScreen(const QRect& window, const QRect& screen);

// Where a box of the given size goes when it is centred on `centre` and then moved wholly onto
// the screen (its top-left corner wins when it is larger than the screen).
QPoint PlaceCentredOn(const QSize& size, const QPoint& centre, const QRect& screen);

// Moves a dialog so that it is centred on the mouse pointer and lies on the screen.
void PlaceOnMouse(QWidget& dialog);

}  // namespace tqc::shell
