// The start-up check for the mandatory definition files, and where they are looked for.
#include "startup.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include "shell_dialogs.h"
#include "tables/file_io.h"

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
    QString message = name + QStringLiteral(" not found.");
    std::string bytes;
    if (!path->empty()) {
      const FileResult r = ReadFileBytes(*path, bytes);
      if (r) continue;
      // There but unreadable: as good as missing, since empty tables make every unit wrong.
      if (r.Error != ENOENT)
        message = QStringLiteral("Cannot read %1:\n%2")
                      .arg(QDir::toNativeSeparators(QFile::decodeName(path->c_str())),
                           QString::fromLocal8Bit(r.Reason()));
    }
    QApplication::beep();
    dialogs.ShowMessageBox(nullptr, message, kMbOkExclamation);
    return false;
  }
  return true;
}

}  // namespace tqc::shell
