// Finding an instance of tqc that is already running: every instance answers on a per-user
// local socket of its own (a slot) with its main window's position, so that a new one can place
// its window beside the one started last among those still open.
#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <optional>

class QLocalServer;
class QWidget;

namespace tqc::shell {

// The per-user name of the socket the first instance listens on; the others listen on numbered
// slots after it.
QString InstanceServerName();

inline constexpr int kInstanceSlots = 32;
// The socket name of a slot: the base name for slot 0, the base name and "-N" for slot N.
QString InstanceSlotName(const QString& baseName, int slot);

struct RunningInstance {
  int Slot = 0;
  QPoint Position;
};
// The instance on the highest slot that answers: the one started last among those running
// (each one takes a slot above those in use when it starts).
std::optional<RunningInstance> FindLatestInstance(const QString& baseName, int timeoutMs = 1000);

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
  // Listens on the first free slot above `latestSlot` (-1: none runs), or on the lowest free
  // slot when none above is free. A slot whose socket nobody answers on is free: the socket
  // was left by an instance that has ended. False when every slot is taken.
  bool ListenAfter(const QString& baseName, int latestSlot);

 private:
  void Answer();

  QPointer<QWidget> window_;
  QLocalServer* server_;
};

}  // namespace tqc::shell
