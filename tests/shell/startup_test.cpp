// Start-up: the definition-file check, a second instance placed beside the first, and the About
// box.
#include "startup.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLocalServer>
#include <QLocalSocket>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "about.h"
#include "fake_dialogs.h"
#include "instance.h"
#include "main_window.h"

using namespace tqc;
using namespace tqc::shell;

namespace {

bool WriteAll(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A socket name no other test run uses.
QString UniqueServerName() {
  static int n = 0;
  return QStringLiteral("tqc-test-%1-%2").arg(QCoreApplication::applicationPid()).arg(++n);
}

}  // namespace

class StartupTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> tmp_;
  std::shared_ptr<FakeDialogs> dialogs_;

  QString Tmp(const QString& name) const { return tmp_->filePath(name); }

  std::unique_ptr<Ttqc_by_Morlen> NewWindow(std::optional<QPoint> instance = std::nullopt) {
    return std::make_unique<Ttqc_by_Morlen>(dialogs_, Tmp("home"), instance);
  }

 private slots:
  void init() {
    tmp_ = std::make_unique<QTemporaryDir>();
    QVERIFY(tmp_->isValid());
    QVERIFY(QDir().mkpath(Tmp("home")));
    for (const char* name : {"tqc.dat", "tqc.typ"})
      QVERIFY(QFile::copy(QDir(TQC_DATA_DIR).filePath(name), Tmp("home/") + name));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Tmp("config"));
    dialogs_ = std::make_shared<FakeDialogs>();
  }

  void cleanup() {
    dialogs_.reset();
    tmp_.reset();
  }

  void TheDefinitionFilesMustBeBesideTheProgram_data() {
    QTest::addColumn<bool>("dat");
    QTest::addColumn<bool>("typ");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("both") << true << true << QStringList();
    QTest::newRow("no tqc.dat") << false << true << QStringList({"message:tqc.dat not found.:48"});
    QTest::newRow("no tqc.typ") << true << false << QStringList({"message:tqc.typ not found.:48"});
    // Only the first one is named.
    QTest::newRow("neither") << false << false << QStringList({"message:tqc.dat not found.:48"});
  }

  void TheDefinitionFilesMustBeBesideTheProgram() {
    QFETCH(bool, dat);
    QFETCH(bool, typ);
    QFETCH(QStringList, messages);
    const QString dir = Tmp("program");
    QVERIFY(QDir().mkpath(dir));
    if (dat) QVERIFY(WriteAll(dir + "/tqc.dat", ""));
    if (typ) QVERIFY(WriteAll(dir + "/tqc.typ", ""));
    QCOMPARE(DefinitionFilesPresent(FindProgramHome(dir), *dialogs_), messages.isEmpty());
    QCOMPARE(dialogs_->Log, messages);
  }

  void AnUnreadableDefinitionFileIsNamedWithTheReason() {
    QVERIFY(QDir().mkpath(Tmp("program/tqc.dat")));
    QVERIFY(WriteAll(Tmp("program/tqc.typ"), ""));
    QVERIFY(!DefinitionFilesPresent(FindProgramHome(Tmp("program")), *dialogs_));
    QCOMPARE(dialogs_->Log, QStringList({"message:Cannot read " + Tmp("program/tqc.dat") +
                                         ":\nIs a directory:48"}));
    // A file its user may not read; a process of root takes another user's identity for it.
    QVERIFY(QDir(Tmp("program/tqc.dat")).removeRecursively());
    QVERIFY(WriteAll(Tmp("program/tqc.dat"), ""));
    QVERIFY(QFile::setPermissions(Tmp("program/tqc.typ"), {}));
    for (const QString& dir : {tmp_->path(), Tmp("program")})
      QVERIFY(QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                             QFile::ExeGroup | QFile::ExeOther));
    dialogs_->Log.clear();
    const bool root = ::geteuid() == 0;
    if (root) QVERIFY(::seteuid(65534) == 0);
    const bool present = DefinitionFilesPresent(FindProgramHome(Tmp("program")), *dialogs_);
    if (root) QVERIFY(::seteuid(0) == 0);
    QVERIFY(!present);
    QCOMPARE(dialogs_->Log, QStringList({"message:Cannot read " + Tmp("program/tqc.typ") +
                                         ":\nPermission denied:48"}));
    // tqc.def is not needed to start.
    QVERIFY(DefinitionFilesPresent(FindProgramHome(Tmp("home")), *dialogs_));
  }

  void ASecondInstanceGoesBesideTheFirst() {
    QVERIFY(WriteAll(Tmp("config/morlen/tqc.conf"), "[Pos]\nTop=100\nLeft=50\n"));
    const QString name = UniqueServerName();
    QCOMPARE(FindInstanceWindow(name), std::optional<QPoint>());  // none runs yet

    auto first = NewWindow(FindInstanceWindow(name));
    QCOMPARE(first->pos(), QPoint(50, 100));
    InstanceServer server(first.get());
    QVERIFY(server.Listen(name, true));
    first->show();

    const std::optional<QPoint> found = FindInstanceWindow(name);
    QCOMPARE(found, std::optional<QPoint>(QPoint(50, 100)));
    auto second = NewWindow(found);
    QCOMPARE(second->pos(), QPoint(80, 130));
    QCOMPARE(second->size(), QSize(640, 400));
    // The second leaves the name to the first.
    InstanceServer secondServer(second.get());
    QVERIFY(!secondServer.Listen(name, false));

    // The answer is where the first window is now.
    first->move(200, 150);
    QCOMPARE(FindInstanceWindow(name), std::optional<QPoint>(QPoint(200, 150)));
    // Beside a window at the screen's edge, the new one goes back onto the screen.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    first->move(screen.right() - 600, 10);
    QCOMPARE(NewWindow(FindInstanceWindow(name))->pos(), QPoint(screen.left(), 40));
    first->move(10, screen.bottom() - 350);
    QCOMPARE(NewWindow(FindInstanceWindow(name))->pos(), QPoint(40, screen.top()));
  }

  void EachNewInstanceGoesBesideTheLastOneStillOpen() {
    QVERIFY(WriteAll(Tmp("config/morlen/tqc.conf"), "[Pos]\nTop=100\nLeft=50\n"));
    const QString base = UniqueServerName();
    struct Instance {
      std::unique_ptr<Ttqc_by_Morlen> Window;
      std::unique_ptr<InstanceServer> Server;
    };
    // As the program starts: ask, place the window, answer the next ones.
    auto start = [&] {
      const std::optional<RunningInstance> latest = FindLatestInstance(base);
      Instance i;
      i.Window = NewWindow(latest ? std::optional<QPoint>(latest->Position) : std::nullopt);
      i.Window->show();
      i.Server = std::make_unique<InstanceServer>(i.Window.get());
      if (!i.Server->ListenAfter(base, latest ? latest->Slot : -1)) qFatal("cannot listen");
      return i;
    };
    std::vector<Instance> open;
    for (int n = 0; n < 3; ++n) open.push_back(start());
    QCOMPARE(open[0].Window->pos(), QPoint(50, 100));
    QCOMPARE(open[1].Window->pos(), QPoint(80, 130));
    QCOMPARE(open[2].Window->pos(), QPoint(110, 160));
    // The first one closes: the next goes beside the third, the one started last.
    open.erase(open.begin());
    open.push_back(start());
    QCOMPARE(open.back().Window->pos(), QPoint(140, 190));
    // The two started last close: the next goes beside the one left.
    open.pop_back();
    open.pop_back();
    open.push_back(start());
    QCOMPARE(open.back().Window->pos(), QPoint(110, 160));
    // A socket left behind by an instance that ended is taken over.
    open.clear();
    QVERIFY(WriteAll(InstanceSlotName(QDir(QDir::tempPath()).filePath(base), 1), ""));
    Instance first = start();
    Instance second = start();
    QCOMPARE(second.Window->pos(), QPoint(80, 130));
    QCOMPARE(FindLatestInstance(base)->Slot, 1);
  }

  void AStaleSocketIsReplaced() {
    const QString name = UniqueServerName();
    // A socket file left behind by an instance that ended without removing it.
    const QString path = QDir(QDir::tempPath()).filePath(name);
    QVERIFY(WriteAll(path, ""));
    QCOMPARE(FindInstanceWindow(name), std::optional<QPoint>());
    QWidget window;
    window.move(7, 9);
    InstanceServer server(&window);
    QVERIFY(!server.Listen(name, false));
    QVERIFY(server.Listen(name, true));
    QCOMPARE(FindInstanceWindow(name), std::optional<QPoint>(QPoint(7, 9)));
  }

  void AnAnswerThatIsNoPositionFindsNone_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("nothing") << QByteArray();
    QTest::newRow("words") << QByteArray("hello world\n");
    QTest::newRow("one number") << QByteArray("12\n");
    QTest::newRow("three numbers") << QByteArray("1 2 3\n");
    QTest::newRow("no line end") << QByteArray("1 2");
    QTest::newRow("endless") << QByteArray(5000, '1');
  }

  void AnAnswerThatIsNoPositionFindsNone() {
    QFETCH(QByteArray, answer);
    const QString name = UniqueServerName();
    QLocalServer server;
    QVERIFY(server.listen(name));
    connect(&server, &QLocalServer::newConnection, &server, [&] {
      QLocalSocket* s = server.nextPendingConnection();
      s->write(answer);
      s->disconnectFromServer();
    });
    QCOMPARE(FindInstanceWindow(name), std::optional<QPoint>());
  }

  void TheAboutBox() {
    TAboutBox box(QStringLiteral("Version 1.2.3.4"));
    QCOMPARE(box.windowTitle(), QString("Version Infomation"));
    QCOMPARE(box.minimumSize(), box.maximumSize());
    QCOMPARE(box.cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(box.font().family(), QString("Arial"));
    QCOMPARE(box.font().pointSize(), 9);
    QCOMPARE(box.ProgramIcon->size(), QSize(32, 32));
    QVERIFY(!box.ProgramIcon->pixmap().isNull());
    QCOMPARE(box.ProductName->Text(), QString("Tequic Converter"));
    QVERIFY(box.ProductName->font().bold());
    QCOMPARE(box.Version->text(), QString("Version 1.2.3.4"));
    // Sized to its content, with room around it: at least the designed 203 x 61 pixels, no
    // text cut, the parts where they were designed relative to each other.
    QVERIFY(box.width() >= 203 && box.height() >= 61);
    const QRect inner = QRect(QPoint(0, 0), box.size()).adjusted(8, 8, -8, -8);
    for (QWidget* w : {static_cast<QWidget*>(box.ProgramIcon),
                       static_cast<QWidget*>(box.ProductName), static_cast<QWidget*>(box.Version)})
      QVERIFY2(inner.contains(w->geometry()), qPrintable(w->objectName()));
    QVERIFY(box.ProductName->size().expandedTo(box.ProductName->sizeHint()) ==
            box.ProductName->size());
    QVERIFY(box.Version->size().expandedTo(box.Version->sizeHint()) == box.Version->size());
    QCOMPARE(box.ProductName->pos() - box.ProgramIcon->pos(), QPoint(36, 0));
    QCOMPARE(box.Version->x() - box.ProductName->x(), 54);
    QVERIFY(box.Version->y() > box.ProductName->geometry().bottom());
    // The caption has the title bar to itself (no buttons but close) and the width it needs.
    QVERIFY(!(box.windowFlags() & (Qt::WindowMinMaxButtonsHint | Qt::WindowContextHelpButtonHint)));
    QFont captionFont = QApplication::font();
    captionFont.setBold(true);
    QVERIFY(box.width() > QFontMetrics(captionFont).horizontalAdvance(box.windowTitle()) + 32);
    // A longer version text widens the box instead of being cut.
    TAboutBox wide(QStringLiteral("Version 10.20.30.40 (a long build description)"));
    QVERIFY(wide.width() > box.width());
    QCOMPARE(wide.Version->size(), wide.Version->sizeHint());
    QVERIFY(QRect(QPoint(0, 0), wide.size()).contains(wide.Version->geometry()));

    // The caption has a white shade under its dark text.
    const QImage caption = box.ProductName->grab().toImage();
    bool white = false, dark = false;
    for (int y = 0; y < caption.height(); ++y)
      for (int x = 0; x < caption.width(); ++x) {
        const QColor c = caption.pixelColor(x, y);
        white |= c.red() > 250 && c.green() > 250 && c.blue() > 250;
        dark |= c.lightness() < 60;
      }
    QVERIFY(white);
    QVERIFY(dark);

    // Without a version of the build the box reads the default.
    TAboutBox plain(MakeVersionTexts(QString(), QString()).ProductVersionText);
    QCOMPARE(plain.Version->text(), QString("Version 0.00B"));
  }

  void AnyClickClosesTheAboutBox_data() {
    QTest::addColumn<QString>("where");
    QTest::newRow("box") << "box";
    QTest::newRow("icon") << "ProgramIcon";
    QTest::newRow("name") << "ProductName";
    QTest::newRow("version") << "Version";
  }

  void AnyClickClosesTheAboutBox() {
    QFETCH(QString, where);
    TAboutBox box(QStringLiteral("Version 9"));
    box.show();
    QWidget* target = where == "box" ? &box : box.findChild<QWidget*>(where);
    QVERIFY(target);
    const QPoint at = where == "box" ? QPoint(190, 50) : QPoint(2, 2);
    QCOMPARE(box.childAt(target->mapTo(&box, at)), where == "box" ? nullptr : target);
    QTest::mouseClick(target, Qt::LeftButton, {}, at);
    QVERIFY(!box.isVisible());
    QCOMPARE(box.result(), int(QDialog::Accepted));
  }

  void TheAboutCommandShowsTheProductVersion() {
    auto window = NewWindow();
    QString shown;
    dialogs_->OnDialog = [&](QDialog& d) {
      if (auto* about = qobject_cast<TAboutBox*>(&d)) shown = about->Version->text();
      return int(QDialog::Accepted);
    };
    window->About1->trigger();
    QCOMPARE(shown, QString("Version " TQC_VERSION));
  }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
