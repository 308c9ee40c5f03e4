// The start-up check for the mandatory definition files, and where they are looked for.
#include "startup.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>

#include "shell_dialogs.h"

namespace tqc::shell {

HomeLayout FindProgramHome(const QString& givenHome) {
  return FindHome(HomeInputsFromEnvironment(
      QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString(),
      QFile::encodeName(givenHome).toStdString()));
}

bool DefinitionFilesPresent(const HomeLayout& home, ShellDialogs& dialogs) {
  const std::pair<QString, const std::string*> files[] = {{QStringLiteral("tqc.dat"), &home.Dat},
                                                          {QStringLiteral("tqc.typ"), &home.Typ}};
  for (const auto& [name, path] : files) {
    if (!path->empty() && QFileInfo(QFile::decodeName(path->c_str())).isFile()) continue;
    QApplication::beep();
    dialogs.ShowMessageBox(nullptr, name + QStringLiteral(" not found."), kMbOkExclamation);
    return false;
  }
  return true;
}

}  // namespace tqc::shell
