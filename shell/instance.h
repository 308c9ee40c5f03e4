// Finding an instance of tqc that is already running: the first instance answers on a per-user
// local socket with its main window's position, so that a later one can place its window beside
// it.
#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <optional>

class QLocalServer;
class QWidget;

namespace tqc::shell {

// The per-user name of the socket the first instance listens on.
QString InstanceServerName();

// The top-left corner of the main window of the instance listening on `serverName`; nullopt
// when none listens or it does not answer within `timeoutMs`. Runs the event loop meanwhile,
// so a server in the same process answers too.
std::optional<QPoint> FindInstanceWindow(const QString& serverName, int timeoutMs = 1000);

// Answers later instances with the position of `window`.
class InstanceServer : public QObject {
  Q_OBJECT

 public:
  explicit InstanceServer(QWidget* window, QObject* parent = nullptr);
  ~InstanceServer() override;
  // Starts listening. `replaceStale`: a socket left by an instance that ended without removing
  // it is removed (the caller found no instance answering). False when it cannot listen.
  bool Listen(const QString& serverName, bool replaceStale);

 private:
  void Answer();

  QPointer<QWidget> window_;
  QLocalServer* server_;
};

}  // namespace tqc::shell
