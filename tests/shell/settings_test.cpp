// The options of the Other menu, the Parameter Mode dialog and the settings kept between runs,
// driven through the window with a settings store of the test's own.
#include "settings.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>
#include <memory>

#include "fake_dialogs.h"
#include "main_window.h"
#include "vart.h"

using namespace tqc;
using namespace tqc::shell;

namespace {

QStringList MenuCaptions(const QMenu* menu) {
  QStringList out;
  for (QAction* a : menu->actions()) out << (a->isSeparator() ? QStringLiteral("-") : a->text());
  return out;
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The three groups' chosen items, e.g. "Var/Pointer/var" (Interface/class, Other, void *).
QString Chosen(const TPotDlg& d) {
  auto item = [](const RadioGroup* g) {
    return g->ItemIndex() < 0 ? QStringLiteral("?") : g->Items().at(g->ItemIndex());
  };
  return item(d.Intf) + '/' + item(d.Other) + '/' + item(d.vot);
}

}  // namespace

class SettingsTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> tmp_;
  std::shared_ptr<FakeDialogs> dialogs_;
  std::unique_ptr<Ttqc_by_Morlen> w_;

  QString Tmp(const QString& name) const { return tmp_->filePath(name); }
  QString StoreFile() const { return Tmp("config/morlen/tqc.conf"); }

  // A new window on the test's store, as a new run of the program would make it.
  Ttqc_by_Morlen& Start(std::optional<QPoint> instance = std::nullopt) {
    w_ = std::make_unique<Ttqc_by_Morlen>(dialogs_, Tmp("home"), instance);
    w_->Options().Today = BannerDate{2026, 12, 7};
    return *w_;
  }

  // Closes the window (writing the settings) and forgets it.
  void Close() {
    QVERIFY(w_->close());
    w_.reset();
  }

  QString Stored(const QString& key) {
    QSettings store(StoreFile(), QSettings::IniFormat);
    return store.value(key).toString();
  }

  void Store(const QByteArray& ini) { QVERIFY(WriteAll(StoreFile(), ini)); }

  // Runs Parameter Mode; `answer` sees the dialog, may change it, and answers.
  QString RunParameterMode(const std::function<int(TPotDlg&)>& answer) {
    QString shown;
    dialogs_->OnDialog = [&](QDialog& d) {
      auto* pot = qobject_cast<TPotDlg*>(&d);
      if (!pot) return int(QDialog::Rejected);
      shown = Chosen(*pot);
      return answer(*pot);
    };
    w_->VarMnu->trigger();
    dialogs_->OnDialog = nullptr;
    return shown;
  }

  QString ConvertedUnit(const QByteArray& header) {
    const QString path = Tmp("home/opt.h");
    if (!WriteAll(path, header)) return {};
    dialogs_->Opens.push_back(path);
    w_->Open2Execute();
    return w_->Edit1->document()->toPlainText();
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
    w_.reset();
    dialogs_.reset();
    tmp_.reset();
  }

  void TheOtherMenuHoldsTheOptions() {
    Start();
    QCOMPARE(MenuCaptions(w_->OtherMenu),
             QStringList({"&Ole Mode", "Default &CallType", "&def __cplusplus",
                          "Compiler-&Ready Output", "&Unix Target", "&Parameter Mode",
                          "&Fixed-Width Font", "-", "&Edit Definition Files..."}));
    QCOMPARE(MenuCaptions(w_->C1), QStringList({"&stdcall", "&cdecl", "&pascal", "&register"}));
    QVERIFY(w_->OtherMenu->menuAction()->isVisible());
    QVERIFY(w_->CallTypeGroup->isExclusive());
    for (QAction* a : {w_->OleMnu, w_->stdcall1, w_->cdecl1, w_->pascal1, w_->N8, w_->CompMnu,
                       w_->ReadyMnu, w_->UnixMnu, w_->FixedMnu})
      QVERIFY2(a->isCheckable(), qPrintable(a->objectName()));
  }

  void TheFirstRunStartsWithTheDefaults() {
    QVERIFY(!QFile::exists(StoreFile()));
    Start();
    QCOMPARE(w_->pos(), QPoint(0, 0));
    QCOMPARE(w_->size(), QSize(640, 400));
    QVERIFY(w_->cdecl1->isChecked());
    QVERIFY(!w_->stdcall1->isChecked() && !w_->pascal1->isChecked() && !w_->N8->isChecked());
    QVERIFY(!w_->OleMnu->isChecked());
    QVERIFY(!w_->CompMnu->isChecked());
    QVERIFY(!w_->ReadyMnu->isChecked());
    QVERIFY(!w_->FixedMnu->isChecked());
    QCOMPARE(w_->Edit1->font().family(), QString("Arial"));
    QCOMPARE(w_->LastDir(), QString());
    const ConversionOptions& o = w_->Options();
    QCOMPARE(o.DefaultCall, CallType::Cdecl);
    QVERIFY(!o.OleMode && !o.DefineCplusplus && !o.VoidPtrAsPointer && !o.CompileReady);
    QCOMPARE(o.VarModeMask, 0);
    QCOMPARE(o.PointerModeMask, 0);
    QCOMPARE(RunParameterMode([](TPotDlg&) { return int(QDialog::Rejected); }),
             QString("Normal/Normal/var"));
    QCOMPARE(dialogs_->Calls("dialog:"), QStringList({"dialog:Parameter Mode Setting"}));
    // Reading wrote nothing: the store appears when the window closes.
    QVERIFY(!QFile::exists(StoreFile()));
    Close();
    QVERIFY(QFile::exists(StoreFile()));
  }

  void EveryValueIsWrittenAsAString() {
    Start();
    w_->move(12, 34);
    w_->resize(700, 450);
    QVERIFY(QDir().mkpath(Tmp("headers")));
    w_->SetLastDir(Tmp("headers"));
    w_->OleMnu->trigger();
    w_->CompMnu->trigger();
    w_->ReadyMnu->trigger();
    w_->UnixMnu->trigger();
    w_->FixedMnu->trigger();
    Close();
    const QByteArray text = ReadAll(StoreFile());
    for (const char* line :
         {"[Pos]", "Top=34", "Left=12", "Height=450", "Width=700", "[Option]", "Ole=1", "DefCall=2",
          "Var1=0", "Var2=0", "Var3=0", "cpp=1", "Ready=1", "Unix=1", "FixedFont=1"})
      QVERIFY2(text.contains(QByteArray(line) + '\n'), line);
    QVERIFY(text.contains("Dir=" + QFile::encodeName(Tmp("headers"))));
    QVERIFY2(!text.contains("true") && !text.contains("@Variant"), text.constData());

    Start();
    QCOMPARE(w_->pos(), QPoint(12, 34));
    QCOMPARE(w_->size(), QSize(700, 450));
    QCOMPARE(w_->LastDir(), Tmp("headers"));
    QVERIFY(w_->OleMnu->isChecked() && w_->Options().OleMode);
    QVERIFY(w_->CompMnu->isChecked() && w_->Options().DefineCplusplus);
    QVERIFY(w_->ReadyMnu->isChecked() && w_->Options().CompileReady);
    QVERIFY(w_->UnixMnu->isChecked() && w_->Options().Platform == tqc::Target::Unix);
    QVERIFY(w_->FixedMnu->isChecked());
    QVERIFY(w_->Edit1->font().family() != "Arial");
    // The open dialog starts in the folder kept from the last run.
    w_->Open2Execute();
    QCOMPARE(dialogs_->Calls("open:").value(0),
             "open:" + Tmp("headers") + ":Header files (*.h *.idl)");
  }

  void SettingsThatCannotBeWrittenAreSaidToBeLost() {
    // The store's folder would lie under a file: no one, not even root, can make it.
    QVERIFY(WriteAll(Tmp("blocked"), "a file"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Tmp("blocked/config"));
    Start();
    Close();
    QCOMPARE(dialogs_->Calls("message:"),
             QStringList({"message:The settings cannot be kept: cannot write " +
                          Tmp("blocked/config/morlen/tqc.conf") + ": Not a directory:48"}));
  }

  void TheFixedWidthFontLinesUpTabsAndBlanks() {
    // A machine whose only fonts are proportional (DejaVu Sans alone) has nothing to show:
    // the test brings the fixed-width face of the DejaVu package that ./test installs.
    const auto anyFixed = [] {
      const QStringList families = QFontDatabase::families();
      return std::any_of(families.begin(), families.end(),
                         [](const QString& f) { return QFontInfo(QFont(f)).fixedPitch(); });
    };
    if (!anyFixed()) {
      const QString mono = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
      QVERIFY2(QFontDatabase::addApplicationFont(mono) >= 0, qPrintable(mono));
    }
    Start();
    // "x" after a tab and after eight blanks; a tab after two names of eight letters each.
    w_->Edit1->setPlainText("\tx\n        x\n  iiiiiiii\t= 1;\n  MMMMMMMM\t= 2;");
    auto x = [&](int line, int column) {
      QTextCursor c(w_->Edit1->document()->findBlockByNumber(line));
      c.setPosition(c.position() + column);
      return w_->Edit1->cursorRect(c).x();
    };
    QCOMPARE(x(0, 1) - x(0, 0), 48);  // the designed tab stop, whatever eight blanks measure
    w_->FixedMnu->trigger();
    const QFont font = w_->Edit1->font();
    QCOMPARE(font.pixelSize(), 13);
    QVERIFY2(QFontInfo(font).fixedPitch(), qPrintable(QFontInfo(font).family()));
    const QFontMetricsF m(font);
    QCOMPARE(m.horizontalAdvance('i'), m.horizontalAdvance('M'));
    QCOMPARE(w_->Edit1->document()->defaultFont(), font);
    QCOMPARE(x(0, 1), x(1, 8));
    QCOMPARE(x(2, 11), x(3, 11));
    // A unit opened now is shown in the same font with the same tab stops.
    QVERIFY(WriteAll(Tmp("a.h"), "#define AB 1\n"));
    dialogs_->Opens.push_back(Tmp("a.h"));
    w_->Open2Execute();
    QCOMPARE(w_->Edit1->document()->defaultFont(), font);
    QCOMPARE(w_->Edit1->tabStopDistance(), 8 * m.horizontalAdvance(' '));
    w_->FixedMnu->trigger();
    QCOMPARE(w_->Edit1->font().family(), QString("Arial"));
    QCOMPARE(w_->Edit1->tabStopDistance(), 48.0);
  }

  void RegisterIsStoredAsZeroAndRestored() {
    Start();
    w_->N8->trigger();
    QVERIFY(w_->N8->isChecked() && !w_->cdecl1->isChecked());
    QCOMPARE(w_->Options().DefaultCall, CallType::Register);
    Close();
    QCOMPARE(Stored("Option/DefCall"), QString("0"));
    Start();
    QVERIFY(w_->N8->isChecked());
    QVERIFY(!w_->cdecl1->isChecked());
    QCOMPARE(w_->Options().DefaultCall, CallType::Register);
  }

  void EachCallTypeIsStoredAndRestored_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("call");
    QTest::newRow("stdcall") << "stdcall1"
                             << "1" << int(CallType::Stdcall);
    QTest::newRow("cdecl") << "cdecl1"
                           << "2" << int(CallType::Cdecl);
    QTest::newRow("pascal") << "pascal1"
                            << "3" << int(CallType::Pascal);
    QTest::newRow("register") << "N8"
                              << "0" << int(CallType::Register);
  }

  void EachCallTypeIsStoredAndRestored() {
    QFETCH(QString, item);
    QFETCH(QString, stored);
    QFETCH(int, call);
    Start();
    auto* action = w_->findChild<QAction*>(item);
    QVERIFY(action);
    w_->N8->trigger();  // from somewhere else
    action->trigger();
    QCOMPARE(int(w_->Options().DefaultCall), call);
    int checked = 0;
    for (QAction* a : w_->CallTypeGroup->actions()) checked += a->isChecked();
    QCOMPARE(checked, 1);
    Close();
    QCOMPARE(Stored("Option/DefCall"), stored);
    Start();
    QVERIFY(action = w_->findChild<QAction*>(item));
    QVERIFY(action->isChecked());
    QCOMPARE(int(w_->Options().DefaultCall), call);
  }

  void BothModeBitsShowVarAndOkStoresOnlyTheVarBit() {
    Store("[Option]\nVar1=3\nVar2=3\nVar3=0\n");
    Start();
    QCOMPARE(w_->Options().VarModeMask, 3);
    QCOMPARE(w_->Options().PointerModeMask, 3);
    QCOMPARE(RunParameterMode([](TPotDlg&) { return int(QDialog::Accepted); }),
             QString("Var/Var/var"));
    QCOMPARE(w_->Options().VarModeMask, 3);
    QCOMPARE(w_->Options().PointerModeMask, 0);
    Close();
    QCOMPARE(Stored("Option/Var1"), QString("3"));
    QCOMPARE(Stored("Option/Var2"), QString("0"));
  }

  void ParameterModeOkAndCancel() {
    Start();
    // OK with Interface/class "Pointer", Other "Var", void * "Pointer".
    RunParameterMode([](TPotDlg& d) {
      d.Intf->SetItemIndex(TPotDlg::Pointer);
      d.Other->SetItemIndex(TPotDlg::Var);
      d.vot->SetItemIndex(TPotDlg::VoidPointer);
      return int(QDialog::Accepted);
    });
    QCOMPARE(w_->Options().PointerModeMask, 2);
    QCOMPARE(w_->Options().VarModeMask, 1);
    QVERIFY(w_->Options().VoidPtrAsPointer);
    // Cancel keeps them, whatever was chosen.
    QCOMPARE(RunParameterMode([](TPotDlg& d) {
               d.Intf->SetItemIndex(TPotDlg::Normal);
               d.Other->SetItemIndex(TPotDlg::Pointer);
               d.vot->SetItemIndex(TPotDlg::VoidVar);
               return int(QDialog::Rejected);
             }),
             QString("Pointer/Var/Pointer"));
    QCOMPARE(w_->Options().PointerModeMask, 2);
    QCOMPARE(w_->Options().VarModeMask, 1);
    QVERIFY(w_->Options().VoidPtrAsPointer);
    Close();
    QCOMPARE(Stored("Option/Var1"), QString("1"));
    QCOMPARE(Stored("Option/Var2"), QString("2"));
    QCOMPARE(Stored("Option/Var3"), QString("1"));
  }

  void ThePreselectionFollowsItsOrder_data() {
    QTest::addColumn<int>("var");
    QTest::addColumn<int>("pointer");
    QTest::addColumn<bool>("voidPtr");
    QTest::addColumn<QString>("shown");
    QTest::newRow("none") << 0 << 0 << false << "Normal/Normal/var";
    QTest::newRow("pointer other") << 0 << 1 << false << "Normal/Pointer/var";
    QTest::newRow("pointer intf") << 0 << 2 << true << "Pointer/Normal/Pointer";
    QTest::newRow("var other") << 1 << 0 << false << "Normal/Var/var";
    QTest::newRow("var intf") << 2 << 0 << false << "Var/Normal/var";
    QTest::newRow("var over pointer") << 1 << 3 << false << "Pointer/Var/var";
    QTest::newRow("both everywhere") << 3 << 3 << true << "Var/Var/Pointer";
  }

  void ThePreselectionFollowsItsOrder() {
    QFETCH(int, var);
    QFETCH(int, pointer);
    QFETCH(bool, voidPtr);
    QFETCH(QString, shown);
    TPotDlg d;
    d.Preselect(var, pointer, voidPtr);
    QCOMPARE(Chosen(d), shown);
    // What the dialog shows is what OK gives back, with no bit set twice.
    QCOMPARE(d.VarModeMask() & d.PointerModeMask(), 0);
    QCOMPARE(d.VarModeMask(), var);
    QCOMPARE(d.PointerModeMask(), pointer & ~var);
    QCOMPARE(d.VoidPtrAsPointer(), voidPtr);
  }

  void TheDialogLooksAsDesigned() {
    TPotDlg d;
    QCOMPARE(d.windowTitle(), QString("Parameter Mode Setting"));
    QCOMPARE(d.Intf->title(), QString("Interface/class"));
    QCOMPARE(d.Other->title(), QString("Other"));
    QCOMPARE(d.vot->title(), QString("void *"));
    QCOMPARE(d.Intf->Items(), QStringList({"Normal", "Pointer", "Var"}));
    QCOMPARE(d.Other->Items(), QStringList({"Normal", "Pointer", "Var"}));
    QCOMPARE(d.vot->Items(), QStringList({"var", "Pointer"}));
    QCOMPARE(d.OKBtn->text(), QString("OK"));
    QCOMPARE(d.CancelBtn->text(), QString("CANCEL"));
    QVERIFY(d.OKBtn->isDefault());
    // "void *" has its two items side by side.
    const QList<QRadioButton*> vots = d.vot->findChildren<QRadioButton*>();
    QCOMPARE(vots.size(), 2);
    d.Preselect(0, 0, false);
    d.show();
    QCOMPARE(vots.at(0)->y(), vots.at(1)->y());
    QVERIFY(vots.at(0)->x() != vots.at(1)->x());
    // The buttons close it with their results.
    QTest::mouseClick(d.OKBtn, Qt::LeftButton);
    QCOMPARE(d.result(), int(QDialog::Accepted));
    d.show();
    QTest::mouseClick(d.CancelBtn, Qt::LeftButton);
    QCOMPARE(d.result(), int(QDialog::Rejected));
    // Clicking an item chooses it.
    d.show();
    QTest::mouseClick(d.Other->findChildren<QRadioButton*>().at(2), Qt::LeftButton);
    QCOMPARE(d.Other->ItemIndex(), int(TPotDlg::Var));
  }

  void BadStoredValuesGiveTheDefaults_data() {
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QString>("call");
    QTest::newRow("width abc") << QByteArray("[Pos]\nWidth=abc\n") << QRect(0, 0, 640, 400)
                               << "cdecl1";
    QTest::newRow("far below the screen")
        << QByteArray("[Pos]\nTop=30000\nLeft=40\n") << QRect(40, 0, 640, 400) << "cdecl1";
    QTest::newRow("far right of the screen")
        << QByteArray("[Pos]\nTop=40\nLeft=30000\n") << QRect(0, 40, 640, 400) << "cdecl1";
    QTest::newRow("far above and left")
        << QByteArray("[Pos]\nTop=-30000\nLeft=-30000\n") << QRect(0, 0, 640, 400) << "cdecl1";
    QTest::newRow("call type without its own item")
        << QByteArray("[Option]\nDefCall=9\n") << QRect(0, 0, 640, 400) << "N8";
    QTest::newRow("hexadecimal call type")
        << QByteArray("[Option]\nDefCall=$1\n") << QRect(0, 0, 640, 400) << "stdcall1";
    // With a NUL byte and bytes that are no UTF-8.
    static const char kGarbage[] = "\x00\xff\xfe[[Pos]]\n=\nTop\n[Option\nDefCall==3\n\"\n";
    QTest::newRow("garbage file") << QByteArray(kGarbage, sizeof kGarbage - 1)
                                  << QRect(0, 0, 640, 400) << "cdecl1";
    QTest::newRow("typed values") << QByteArray(
                                         "[Pos]\nWidth=@Variant(\\0\\0\\0\\x7f)\nHeight=1, 2\n")
                                  << QRect(0, 0, 640, 400) << "cdecl1";
  }

  void BadStoredValuesGiveTheDefaults() {
    QFETCH(QByteArray, ini);
    QFETCH(QRect, frame);
    QFETCH(QString, call);
    Store(ini);
    Start();
    QCOMPARE(QRect(w_->pos(), w_->size()), frame);
    auto* action = w_->findChild<QAction*>(call);
    QVERIFY(action && action->isChecked());
    QCOMPARE(w_->Options().VarModeMask, 0);
    QVERIFY(!w_->OleMnu->isChecked());
  }

  void BooleansAreTrueForAnyNumberButZero() {
    Store("[Option]\nOle=$10\ncpp=-1\nVar3=2\n");
    Start();
    QVERIFY(w_->OleMnu->isChecked() && w_->Options().OleMode);
    QVERIFY(w_->CompMnu->isChecked() && w_->Options().DefineCplusplus);
    QVERIFY(w_->Options().VoidPtrAsPointer);
    Close();
    QCOMPARE(Stored("Option/Ole"), QString("1"));
    QCOMPARE(Stored("Option/cpp"), QString("1"));
    QCOMPARE(Stored("Option/Var3"), QString("1"));
    Store("[Option]\nOle=0\ncpp=yes\nVar3=$0\n");
    Start();
    QVERIFY(!w_->OleMnu->isChecked());
    QVERIFY(!w_->CompMnu->isChecked());
    QVERIFY(!w_->Options().VoidPtrAsPointer);
  }

  void AStoreThatCannotBeCreatedGivesTheDefaults() {
    // The store's folder would have to be made inside a plain file.
    QVERIFY(WriteAll(Tmp("blocker"), "not a folder"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Tmp("blocker/config"));
    Start();
    QCOMPARE(QRect(w_->pos(), w_->size()), QRect(0, 0, 640, 400));
    QVERIFY(w_->cdecl1->isChecked());
    w_->N8->trigger();
    Close();  // writing fails quietly
    QCOMPARE(ReadAll(Tmp("blocker")), QByteArray("not a folder"));
    Start();
    QVERIFY(w_->cdecl1->isChecked());
  }

  void TheStoreWrittenByTheWindowReadsTheSameWithoutQt() {
    Start();
    w_->move(3, 4);
    // Texts the store has to quote or escape.
    const QString dir = QStringLiteral("/tmp/a, b/\u00e9t\u00e9/@x \"q\"\\");
    w_->SetLastDir(dir);
    w_->pascal1->trigger();
    RunParameterMode([](TPotDlg& d) {
      d.Intf->SetItemIndex(TPotDlg::Var);
      d.Other->SetItemIndex(TPotDlg::Pointer);
      return int(QDialog::Accepted);
    });
    Close();
    const StoredSettings s = ReadStoredSettingsFile(QFile::encodeName(StoreFile()).toStdString());
    QCOMPARE(s.Top, 4);
    QCOMPARE(s.Left, 3);
    QCOMPARE(QString::fromStdString(s.Dir), dir);
    QCOMPARE(s.DefCall, 3);
    QCOMPARE(s.Var1, 2);
    QCOMPARE(s.Var2, 1);
    // And a hand-made file reads the same through both readers.
    Store("[Pos]\nDir=\"x,y\"\nTop = 7 \n[Option]\nVar1=$2\nVar1=1\n");
    QSettings store(StoreFile(), QSettings::IniFormat);
    const StoredSettings qt = ReadSettings(store);
    const StoredSettings plain =
        ReadStoredSettingsFile(QFile::encodeName(StoreFile()).toStdString());
    QCOMPARE(QString::fromStdString(plain.Dir), QString::fromStdString(qt.Dir));
    QCOMPARE(plain.Top, qt.Top);
    QCOMPARE(plain.Var1, qt.Var1);
    QCOMPARE(plain.Top, 7);
  }

  void OptionsReachTheNextConversion() {
    Start();
    const QByteArray header =
        "#ifdef __cplusplus\nint cpp_only(int a);\n#else\nint c_only(int a);\n#endif\n"
        "int bar(void *p);\n";
    QString unit = ConvertedUnit(header);
    QVERIFY2(unit.contains("  function bar(var p): Integer; cdecl;"), qPrintable(unit));
    QVERIFY(unit.contains("c_only"));

    w_->stdcall1->trigger();
    // The unit shown is not converted again.
    QCOMPARE(w_->Edit1->document()->toPlainText(), unit);
    unit = ConvertedUnit(header);
    QVERIFY2(unit.contains("  function bar(var p): Integer; stdcall;"), qPrintable(unit));

    w_->CompMnu->trigger();
    RunParameterMode([](TPotDlg& d) {
      d.vot->SetItemIndex(TPotDlg::VoidPointer);
      return int(QDialog::Accepted);
    });
    unit = ConvertedUnit(header);
    QVERIFY2(unit.contains("  function bar(p: Pointer): Integer; stdcall;"), qPrintable(unit));
    QVERIFY(unit.contains("cpp_only") && !unit.contains("c_only"));

    w_->OleMnu->trigger();
    QVERIFY(w_->Options().OleMode);
    w_->OleMnu->trigger();
    QVERIFY(!w_->Options().OleMode);
  }

  void VersionTexts() {
    Start();
    QCOMPARE(w_->Versions().VersionText, QString("Ver." TQC_VERSION));
    QCOMPARE(w_->Versions().ProductVersionText, QString("Version " TQC_VERSION));
    QCOMPARE(QString::fromStdString(w_->Options().VersionText), QString("Ver." TQC_VERSION));
    const QString unit = ConvertedUnit("");
    QVERIFY2(unit.startsWith("//  Version : tqc Ver." TQC_VERSION "\n"), qPrintable(unit));

    const tqc::shell::VersionTexts none = MakeVersionTexts(QString(), QString());
    QCOMPARE(none.VersionText, QString("Ver.0.0.0.0"));
    QCOMPARE(none.ProductVersionText, QString("Version 0.00B"));
    const QString longVersion(40, QChar('7'));
    const tqc::shell::VersionTexts cut = MakeVersionTexts(longVersion, "2.1");
    QCOMPARE(cut.VersionText, "Ver." + QString(33, QChar('7')));
    QCOMPARE(cut.ProductVersionText, QString("Version 2.1"));
  }

  void ThePlacementRules_data() {
    QTest::addColumn<QRect>("window");
    QTest::addColumn<QRect>("placed");
    const QRect screen(0, 0, 800, 600);
    QTest::newRow("fits") << QRect(10, 20, 640, 400) << QRect(10, 20, 640, 400);
    QTest::newRow("exactly to the edges") << QRect(160, 200, 640, 400) << QRect(160, 200, 640, 400);
    QTest::newRow("one below") << QRect(160, 201, 640, 400) << QRect(160, 0, 640, 400);
    QTest::newRow("one right") << QRect(161, 200, 640, 400) << QRect(0, 200, 640, 400);
    QTest::newRow("larger than the screen") << QRect(5, 5, 900, 700) << QRect(0, 0, 900, 700);
    QTest::newRow("above") << QRect(10, -50, 640, 400) << QRect(10, 0, 640, 400);
    QTest::newRow("huge") << QRect(32767, 32767, 32767, 32767) << QRect(0, 0, 32767, 32767);
  }

  void ThePlacementRules() {
    QFETCH(QRect, window);
    QFETCH(QRect, placed);
    QCOMPARE(KeepWindowOnScreen(window, QRect(0, 0, 800, 600)), placed);
  }

  void DialogsAreCentredOnTheMouseAndKeptOnScreen() {
    const QRect screen(0, 0, 800, 600);
    QCOMPARE(PlaceCentredOn(QSize(200, 100), QPoint(400, 300), screen), QPoint(300, 250));
    QCOMPARE(PlaceCentredOn(QSize(200, 100), QPoint(10, 10), screen), QPoint(0, 0));
    QCOMPARE(PlaceCentredOn(QSize(200, 100), QPoint(790, 595), screen), QPoint(600, 500));
    QCOMPARE(PlaceCentredOn(QSize(900, 700), QPoint(400, 300), screen), QPoint(0, 0));
    QCOMPARE(PlaceCentredOn(QSize(200, 100), QPoint(1000, 300), QRect(800, 0, 800, 600)),
             QPoint(900, 250));

    // The window places its dialogs so before showing them.
    Start();
    QScreen* primary = QGuiApplication::primaryScreen();
    QVERIFY(primary);
    QCursor::setPos(primary->geometry().center());
    const QPoint mouse = QCursor::pos();
    QPoint at;
    QSize size;
    dialogs_->OnDialog = [&](QDialog& d) {
      at = d.pos();
      size = d.size();
      return int(QDialog::Rejected);
    };
    w_->VarMnu->trigger();
    QVERIFY(size.width() > 100 && size.height() > 50);
    QCOMPARE(at, PlaceCentredOn(size, mouse, primary->geometry()));
    w_->About1->trigger();
    QVERIFY(size.width() >= 203 && size.height() >= 61);  // the About box's designed size at least
    QCOMPARE(at, PlaceCentredOn(size, mouse, primary->geometry()));
  }
};

QTEST_MAIN(SettingsTest)
#include "settings_test.moc"
