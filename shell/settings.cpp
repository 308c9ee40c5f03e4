// The settings store through QSettings, the version texts and the screen placement rules. The
// value names, defaults and number rules are shared with tqc-convert (cli/stored_settings).
#include "settings.h"

#include <unistd.h>

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>
#include <algorithm>
#include <cerrno>
#include <cstring>

#ifndef TQC_VERSION
#define TQC_VERSION ""
#endif

namespace tqc::shell {

std::unique_ptr<QSettings> OpenSettingsStore() {
  return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                     QStringLiteral("morlen"), QStringLiteral("tqc"));
}

StoredSettings ReadSettings(QSettings& store) {
  return ReadStoredSettings(
      [&store](const std::string& section, const std::string& name) -> std::optional<std::string> {
        const QVariant v = store.value(QString::fromStdString(section + "/" + name));
        if (!v.isValid()) return std::nullopt;
        // A value of another type (a list, a hand-made entry) that has no text reads as empty.
        return v.toString().toStdString();
      });
}

QString WriteSettings(QSettings& store, const StoredSettings& settings) {
  for (const StoredValue& v : StoredValuesOf(settings))
    store.setValue(QString::fromStdString(v.Section + "/" + v.Name),
                   QString::fromStdString(v.Text));
  store.sync();
  if (store.status() == QSettings::NoError) return {};
  // The store gives no reason: the file, or the nearest folder on its way that exists, does.
  const QString file = store.fileName();
  QString reason = QStringLiteral("it cannot be written");
  QFileInfo probe(file);
  while (!probe.exists() && probe.absoluteFilePath() != probe.absolutePath())
    probe.setFile(probe.absolutePath());
  const QByteArray path = QFile::encodeName(probe.absoluteFilePath());
  if (probe.absoluteFilePath() != QFileInfo(file).absoluteFilePath() && !probe.isDir())
    reason = QString::fromLocal8Bit(std::strerror(ENOTDIR));
  else if (::access(path.constData(), W_OK) != 0)
    reason = QString::fromLocal8Bit(std::strerror(errno));
  return QStringLiteral("The settings cannot be kept: cannot write %1: %2")
      .arg(QDir::toNativeSeparators(file), reason);
}

VersionTexts MakeVersionTexts(const QString& fileVersion, const QString& productVersion) {
  VersionTexts texts;
  if (!fileVersion.isEmpty()) texts.VersionText = QStringLiteral("Ver.") + fileVersion.left(33);
  if (!productVersion.isEmpty())
    texts.ProductVersionText = QStringLiteral("Version ") + productVersion.left(33);
  return texts;
}

VersionTexts ProgramVersionTexts() {
  // The build's version is both the file and the product version.
  const QString version = QStringLiteral(TQC_VERSION);
  return MakeVersionTexts(version, version);
}

QRect KeepWindowOnScreen(const QRect& window, const QRect& screen) {
  // 64-bit edges: stored coordinates may be large.
  const qint64 top = window.y(), left = window.x();
  qint64 newTop = top, newLeft = left;
  if (top + window.height() > qint64(screen.y()) + screen.height()) newTop = screen.y();
  if (left + window.width() > qint64(screen.x()) + screen.width()) newLeft = screen.x();
  // A title bar above or left of the screen could never be reached again.
  if (newTop < screen.y()) newTop = screen.y();
  if (newLeft < screen.x()) newLeft = screen.x();
  return QRect(QPoint(int(newLeft), int(newTop)), window.size());
}

QPoint PlaceCentredOn(const QSize& size, const QPoint& centre, const QRect& screen) {
  int left = centre.x() - size.width() / 2;
  int top = centre.y() - size.height() / 2;
  left = std::min(left, screen.x() + screen.width() - size.width());
  top = std::min(top, screen.y() + screen.height() - size.height());
  left = std::max(left, screen.x());
  top = std::max(top, screen.y());
  return {left, top};
}

void PlaceOnMouse(QWidget& dialog) {
  const QPoint mouse = QCursor::pos();
  QScreen* screen = QGuiApplication::screenAt(mouse);
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  dialog.ensurePolished();
  if (!dialog.testAttribute(Qt::WA_Resized)) dialog.adjustSize();
  dialog.move(PlaceCentredOn(dialog.size(), mouse, screen->geometry()));
}

}  // namespace tqc::shell
