// tqc: the desktop program. Creates the main window; a header named on the command line is
// opened as if it had been dropped onto the window.
#include <QApplication>
#include <QFileInfo>
#include <QTimer>

#include "main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("tqc"));
  QApplication::setOrganizationName(QStringLiteral("morlen"));

  tqc::shell::Ttqc_by_Morlen window;
  window.show();
  const QStringList args = QApplication::arguments();
  if (args.size() > 1) {
    const QString path = QFileInfo(args.at(1)).absoluteFilePath();
    QTimer::singleShot(0, &window, [&window, path] { window.OpenDroppedHeader(path); });
  }
  return QApplication::exec();
}
