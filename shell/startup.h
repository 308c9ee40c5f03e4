// Start-up checks of the desktop program, before any window exists.
#pragma once

#include <QString>

namespace tqc::shell {

class ShellDialogs;

// The two definition files that must lie beside the program. When one is missing: the
// exclamation beep, "NAME not found." in a message box, and false (the program then ends).
// Only the first missing file is named.
bool DefinitionFilesPresent(const QString& programDir, ShellDialogs& dialogs);

}  // namespace tqc::shell
