// The start-up check for the mandatory definition files.
#include "startup.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include "shell_dialogs.h"

namespace tqc::shell {

bool DefinitionFilesPresent(const QString& programDir, ShellDialogs& dialogs) {
  for (const QString& name : {QStringLiteral("tqc.dat"), QStringLiteral("tqc.typ")}) {
    if (QFileInfo(QDir(programDir).filePath(name)).isFile()) continue;
    QApplication::beep();
    dialogs.ShowMessageBox(nullptr, name + QStringLiteral(" not found."), kMbOkExclamation);
    return false;
  }
  return true;
}

}  // namespace tqc::shell
