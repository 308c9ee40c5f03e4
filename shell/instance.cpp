// The instance look-up over QLocalServer/QLocalSocket. The answer is one line "LEFT TOP".
#include "instance.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <QWidget>
#include <algorithm>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace tqc::shell {

namespace {

// A well-formed answer is short; anything longer is not one.
constexpr qint64 kMaxAnswer = 64;

std::optional<QPoint> ParseAnswer(const QByteArray& line) {
  const QList<QByteArray> parts = line.trimmed().split(' ');
  if (parts.size() != 2) return std::nullopt;
  bool okX = false, okY = false;
  const int x = parts.at(0).toInt(&okX);
  const int y = parts.at(1).toInt(&okY);
  if (!okX || !okY) return std::nullopt;
  return QPoint(x, y);
}

}  // namespace

QString InstanceServerName() {
#ifdef Q_OS_UNIX
  // The user's runtime folder is private to the user; the shared temporary folder is not, so
  // there the name carries the user.
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
    return QDir(runtime).filePath(QStringLiteral("tqc-Ttqc_by_Morlen"));
  const QString user = QString::number(::getuid());
#else
  QString user = qEnvironmentVariable("USERNAME");
  if (user.isEmpty()) user = qEnvironmentVariable("USER");
#endif
  return QStringLiteral("tqc-Ttqc_by_Morlen-") + user;
}

std::optional<QPoint> FindInstanceWindow(const QString& serverName, int timeoutMs) {
  QLocalSocket socket;
  QEventLoop loop;
  QByteArray received;
  std::optional<QPoint> found;
  bool done = false;
  auto finish = [&] {
    done = true;
    loop.quit();
  };
  QObject::connect(&socket, &QLocalSocket::readyRead, &loop, [&] {
    received += socket.read(kMaxAnswer + 1 - received.size());
    const qsizetype newline = received.indexOf('\n');
    if (newline >= 0) {
      found = ParseAnswer(received.left(newline));
      finish();
    } else if (received.size() > kMaxAnswer) {
      finish();
    }
  });
  QObject::connect(&socket, &QLocalSocket::disconnected, &loop, finish);
  QObject::connect(&socket, &QLocalSocket::errorOccurred, &loop,
                   [&](QLocalSocket::LocalSocketError e) {
                     // The peer closing after its answer is no failure; the answer may still be
                     // unread.
                     if (e != QLocalSocket::PeerClosedError) finish();
                   });
  QTimer::singleShot(timeoutMs, &loop, finish);
  socket.connectToServer(serverName);
  if (!done && socket.state() != QLocalSocket::UnconnectedState) loop.exec();
  if (!found && socket.bytesAvailable() > 0) {
    received += socket.read(kMaxAnswer + 1 - received.size());
    const qsizetype newline = received.indexOf('\n');
    if (newline >= 0) found = ParseAnswer(received.left(newline));
  }
  socket.abort();
  return found;
}

QString InstanceSlotName(const QString& baseName, int slot) {
  return slot == 0 ? baseName : baseName + QLatin1Char('-') + QString::number(slot);
}

std::optional<RunningInstance> FindLatestInstance(const QString& baseName, int timeoutMs) {
  for (int slot = kInstanceSlots - 1; slot >= 0; --slot) {
    if (std::optional<QPoint> at = FindInstanceWindow(InstanceSlotName(baseName, slot), timeoutMs))
      return RunningInstance{slot, *at};
  }
  return std::nullopt;
}

InstanceServer::InstanceServer(QWidget* window, QObject* parent)
    : QObject(parent), window_(window), server_(new QLocalServer(this)) {
  // No socket options: with them the socket would be renamed into place and so replace the one
  // of a running instance.
  connect(server_, &QLocalServer::newConnection, this, &InstanceServer::Answer);
}

InstanceServer::~InstanceServer() { server_->close(); }

bool InstanceServer::Listen(const QString& serverName, bool replaceStale) {
  if (server_->listen(serverName)) return true;
  if (!replaceStale || server_->serverError() != QAbstractSocket::AddressInUseError) return false;
  QLocalServer::removeServer(serverName);
  return server_->listen(serverName);
}

bool InstanceServer::ListenAfter(const QString& baseName, int latestSlot) {
  QList<int> order;
  for (int slot = std::max(latestSlot + 1, 0); slot < kInstanceSlots; ++slot) order << slot;
  for (int slot = 0; slot <= std::min(latestSlot, kInstanceSlots - 1); ++slot) order << slot;
  for (int slot : order) {
    const QString name = InstanceSlotName(baseName, slot);
    if (Listen(name, false)) return true;
    // Taken: by a running instance, or by the socket of one that has ended.
    if (!FindInstanceWindow(name, 250) && Listen(name, true)) return true;
  }
  return false;
}

void InstanceServer::Answer() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (window_) {
      const QPoint at = window_->pos();
      socket->write(QByteArray::number(at.x()) + ' ' + QByteArray::number(at.y()) + '\n');
    }
    socket->disconnectFromServer();
  }
}

}  // namespace tqc::shell
