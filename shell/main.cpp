// tqc: the desktop program. Finds its files, refuses to start without its definition files, asks
// the instance started last among those running where its window is, and creates the main
// window; a header named on the command line is opened as if it had been dropped onto the window.
// Usage: tqc [--home DIR] [FILE]
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

  // The desktop entry is tqc.desktop: its icon and name go with the window.
  QGuiApplication::setDesktopFileName(QStringLiteral("tqc"));

  QStringList args = QApplication::arguments();
  QString givenHome;
  if (args.size() > 2 && args.at(1) == QLatin1String("--home")) {
    givenHome = args.at(2);
    args.remove(1, 2);
  }
  auto dialogs = std::make_shared<QtShellDialogs>();
  tqc::HomeLayout home = FindProgramHome(givenHome);
  if (!DefinitionFilesPresent(home, *dialogs)) return 1;

  const QString serverName = InstanceServerName();
  const std::optional<RunningInstance> latest = FindLatestInstance(serverName);
  // No application display name: the desktop would append it to every caption.
  QApplication::setWindowIcon(MakeAppIcon());

  Ttqc_by_Morlen window(dialogs, std::move(home),
                        latest ? std::optional<QPoint>(latest->Position) : std::nullopt);
  // Each instance answers on a slot above the one found, so the next goes beside this one.
  InstanceServer server(&window);
  server.ListenAfter(serverName, latest ? latest->Slot : -1);
  window.show();
  if (args.size() > 1) {
    const QString path = QFileInfo(args.at(1)).absoluteFilePath();
    QTimer::singleShot(0, &window, [&window, path] { window.OpenDroppedHeader(path); });
  }
  return QApplication::exec();
}
