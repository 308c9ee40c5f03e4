// Start-up of the desktop program, before any window exists: where its files are, and the check
// for the mandatory definition files.
#pragma once

#include <QString>

#include "engine/home.h"

namespace tqc::shell {

class ShellDialogs;

// The folders and files of this run: everything in `givenHome` when set (as tqc-convert's
// --home), else found from the program's folder and the environment.
HomeLayout FindProgramHome(const QString& givenHome = QString());

// The two definition files that must be there. When one is missing: the exclamation beep,
// "NAME not found." in a message box, and false (the program then ends); when one is there but
// cannot be read, the same with its path and the reason. Only the first such file is named.
bool DefinitionFilesPresent(const HomeLayout& home, ShellDialogs& dialogs);

}  // namespace tqc::shell
