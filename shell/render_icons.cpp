// tqc-render-icons: run by the build. Writes the program's icon as the PNG files of the desktop
// entry, DIR/<size>x<size>/apps/tqc.png for each size given, from the same drawing the window
// uses.
#include <QDir>
#include <QImage>
#include <QString>
#include <cstdio>

#include "icons.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: tqc-render-icons DIR SIZE...\n");
    return 2;
  }
  const QString root = QString::fromLocal8Bit(argv[1]);
  for (int i = 2; i < argc; ++i) {
    bool ok = false;
    const int size = QString::fromLatin1(argv[i]).toInt(&ok);
    if (!ok || size < 16 || size > 1024) {
      std::fprintf(stderr, "tqc-render-icons: bad size %s\n", argv[i]);
      return 2;
    }
    const QString dir = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
    const QString file = dir + QStringLiteral("/tqc.png");
    if (!QDir().mkpath(dir) || !tqc::shell::RenderAppIcon(size).save(file, "PNG")) {
      std::fprintf(stderr, "tqc-render-icons: cannot write %s\n", qPrintable(file));
      return 1;
    }
  }
  return 0;
}
