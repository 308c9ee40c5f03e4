// tqc: the desktop program. Refuses to start without its definition files, asks an instance
// that is already running where its window is, and creates the main window; a header named on
// the command line is opened as if it had been dropped onto the window.
#include <QApplication>
#include <QFileInfo>
#include <QTimer>

#include "icons.h"
#include "instance.h"
#include "main_window.h"
#include "shell_dialogs.h"
#include "startup.h"
#include "tables/file_io.h"

int main(int argc, char** argv) {
  using namespace tqc::shell;
  tqc::InstallWriteSignalHandlers();
  // The message boxes of the start-up check need the toolkit already.
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("tqc"));
  QApplication::setOrganizationName(QStringLiteral("morlen"));

  auto dialogs = std::make_shared<QtShellDialogs>();
  if (!DefinitionFilesPresent(QCoreApplication::applicationDirPath(), *dialogs)) return 1;

  const QString serverName = InstanceServerName();
  const std::optional<QPoint> instanceWindow = FindInstanceWindow(serverName);
  QGuiApplication::setApplicationDisplayName(QStringLiteral("tqc"));
  QApplication::setWindowIcon(MakeAppIcon());

  Ttqc_by_Morlen window(dialogs, QString(), instanceWindow);
  // The first instance answers the later ones; a later one leaves the socket to it.
  InstanceServer server(&window);
  server.Listen(serverName, !instanceWindow);
  window.show();
  const QStringList args = QApplication::arguments();
  if (args.size() > 1) {
    const QString path = QFileInfo(args.at(1)).absoluteFilePath();
    QTimer::singleShot(0, &window, [&window, path] { window.OpenDroppedHeader(path); });
  }
  return QApplication::exec();
}
