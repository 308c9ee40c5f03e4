// The main window driven through its commands, with every dialog answered by the test.
#include "main_window.h"

#include <sys/resource.h>

#include <QAbstractButton>
#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolBar>
#include <QWheelEvent>
#include <QtTest>
#include <csignal>
#include <memory>

#include "engine/conversion.h"
#include "fake_dialogs.h"
#include "style_map.h"

using namespace tqc;
using namespace tqc::shell;

namespace {

// Statements that no rule translates: each becomes a counted error line.
const char kErrorHeader[] =
    "/* three bad statements */\n"
    "= 1 ;\n"
    ") x ;\n"
    "// between\n"
    "? ? ;\n";

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QString DocText(const QTextDocument* doc) {
  QStringList lines;
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) lines << b.text();
  return lines.join('\n');
}

// The same map built from the engine's ranges (ASCII lines: a byte is a character).
QString ExpectedStyleMap(const OutputPane& pane, int line) {
  QString out(static_cast<qsizetype>(pane.Line(line).size()), '.');
  for (const StyleRange& r : pane.Ranges()) {
    if (r.Line != line) continue;
    for (int i = r.Column; i < r.Column + r.Length; ++i) {
      const QChar was = out.at(i);
      const bool bold = r.Style == TextStyle::Bold || was == 'b' || was == 'B';
      const bool red = r.Style == TextStyle::Red || was == 'r' || was == 'B';
      out[i] = bold && red ? 'B' : bold ? 'b' : 'r';
    }
  }
  return out;
}

QStringList MenuCaptions(const QMenu* menu) {
  QStringList out;
  for (QAction* a : menu->actions()) out << (a->isSeparator() ? QStringLiteral("-") : a->text());
  return out;
}

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> home_;
  std::shared_ptr<FakeDialogs> dialogs_;
  std::unique_ptr<Ttqc_by_Morlen> w_;

  QString Home(const QString& name) const { return home_->filePath(name); }

  QString WriteHeader(const QString& name, const QByteArray& text) {
    const QString path = Home(name);
    if (!WriteAll(path, text)) qFatal("cannot write %s", qPrintable(path));
    return path;
  }

  // The unit the engine makes of the header with the window's options and tables.
  OutputPane EngineUnit(const QString& path) {
    DefinitionTables tables;
    LoadDefinitions(tables, QFile::encodeName(home_->path()).toStdString());
    SilentHost host = SilentHost::AcceptingOffered();
    OutputPane pane;
    ConvertHeader(QFile::encodeName(path).toStdString(), tables, w_->Options(), host, pane);
    return pane;
  }

  // The pane shows the unit's lines with their styles.
  void ComparePaneWith(const OutputPane& unit) {
    const QTextDocument* doc = w_->Edit1->document();
    QCOMPARE(doc->blockCount(), unit.Count());
    for (int i = 0; i < unit.Count(); ++i) {
      const QTextBlock b = doc->findBlockByNumber(i);
      QCOMPARE(b.text(), QString::fromStdString(unit.Line(i)));
      QCOMPARE(StyleMap(b), ExpectedStyleMap(unit, i));
    }
  }

  void Open(const QString& path) {
    dialogs_->Opens.push_back(path);
    w_->Open2Execute();
  }

  // Opens the error header and returns the indexes of its error lines.
  QList<int> OpenErrorHeader() {
    const QString path = WriteHeader("bad.h", kErrorHeader);
    Open(path);
    QList<int> errors;
    const OutputPane unit = EngineUnit(path);
    for (int i = 0; i < unit.Count(); ++i)
      if (unit.Line(i).rfind("// Error : ", 0) == 0) errors << i;
    return errors;
  }

  void PlaceCaret(int line, int column, int selectTo = -1) {
    QTextCursor c(w_->Edit1->document()->findBlockByNumber(line));
    c.setPosition(c.position() + column);
    if (selectTo >= 0) c.setPosition(c.block().position() + selectTo, QTextCursor::KeepAnchor);
    w_->Edit1->setTextCursor(c);
  }

  QTextBlock UnitLine() const {
    for (QTextBlock b = w_->Edit1->document()->begin(); b.isValid(); b = b.next())
      if (b.text().startsWith("unit ")) return b;
    return {};
  }

  // The caption as the desktop shows it: "[*]" gives way to "*" while the text is unsaved.
  QString ShownCaption() {
    w_->winId();
    return w_->windowHandle()->title();
  }

  void ShowActive() {
    w_->show();
    w_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w_.get()));
    w_->Edit1->setFocus();
  }

 private slots:
  void init() {
    home_ = std::make_unique<QTemporaryDir>();
    QVERIFY(home_->isValid());
    // Each test starts with an empty settings store of its own.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Home("config"));
    for (const char* name : {"tqc.dat", "tqc.typ", "tqc.def"}) {
      const QString from = QDir(TQC_DATA_DIR).filePath(name);
      if (QFile::exists(from)) QVERIFY(QFile::copy(from, Home(name)));
    }
    QGuiApplication::clipboard()->clear();
    dialogs_ = std::make_shared<FakeDialogs>();
    w_ = std::make_unique<Ttqc_by_Morlen>(dialogs_, home_->path());
    w_->Options().Today = BannerDate{2026, 12, 7};
  }

  void cleanup() {
    w_.reset();
    dialogs_.reset();
    home_.reset();
  }

  void StartsWithTheDesignedState() {
    QCOMPARE(w_->windowTitle(), QString("tqc[*]"));
    QCOMPARE(ShownCaption(), QString("tqc"));
    QCOMPARE(w_->windowIconText(), QString("tqc"));
    QCOMPARE(w_->StatusText(), QString(" Welcome to Delphi's World!"));
    QVERIFY(!w_->SaveBtn->isEnabled());
    QVERIFY(!w_->FindBtn->isEnabled());
    for (QAction* a : {w_->Undo3, w_->Cut3, w_->Copy3, w_->Paste3, w_->del3})
      QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
    for (QAction* a : {w_->Open2, w_->Save3, w_->Save2, w_->N10, w_->Close2, w_->All1, w_->Find2,
                       w_->Topic1, w_->About1})
      QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
    QCOMPARE(w_->Options().CacheDirs,
             std::vector<std::string>({QFile::encodeName(Home("inc")).toStdString()}));

    QCOMPARE(MenuCaptions(w_->FileMenu), QStringList({"&Open...", "&Save", "Save &As...", "-",
                                                      "Load &Definition...", "-", "E&xit"}));
    QCOMPARE(MenuCaptions(w_->EditMenu),
             QStringList({"&Undo", "-", "Cu&t", "&Copy", "&Paste", "&Delete", "-", "Select &All",
                          "-", "Find &Error"}));
    QCOMPARE(MenuCaptions(w_->HelpMenu), QStringList({"&Help...", "-", "&About tqc..."}));
    QCOMPARE(MenuCaptions(w_->PopupMenu1),
             QStringList({"&Undo", "-", "Cu&t", "&Copy", "&Paste", "&Delete", "-", "Select &All"}));
    QCOMPARE(MenuCaptions(w_->HideMenu), QStringList({"fdel", "bdel", "ldel"}));
    // Every item shown is reached by a letter of its own.
    const QList<QList<QAction*>> menus = {w_->menuBar()->actions(), w_->FileMenu->actions(),
                                          w_->EditMenu->actions(),  w_->OtherMenu->actions(),
                                          w_->C1->actions(),        w_->HelpMenu->actions(),
                                          w_->PopupMenu1->actions()};
    for (const QList<QAction*>& items : menus) {
      QSet<QChar> letters;
      for (const QAction* a : items) {
        const qsizetype amp = a->text().indexOf('&');
        if (a->isSeparator()) continue;
        QVERIFY2(amp >= 0 && amp + 1 < a->text().size(), qPrintable(a->text()));
        QVERIFY2(!letters.contains(a->text().at(amp + 1).toLower()), qPrintable(a->text()));
        letters.insert(a->text().at(amp + 1).toLower());
      }
    }
    const QList<std::pair<QAction*, const char*>> keys = {
        {w_->Open2, "Ctrl+O"}, {w_->Save3, "Ctrl+S"},  {w_->Undo3, "Ctrl+Z"}, {w_->Cut3, "Ctrl+X"},
        {w_->Copy3, "Ctrl+C"}, {w_->Paste3, "Ctrl+V"}, {w_->All1, "Ctrl+A"},  {w_->Find2, "Ctrl+E"},
        {w_->fdel1, "Ctrl+U"}, {w_->bdel1, "Ctrl+K"},  {w_->ldel1, "Ctrl+Y"}, {w_->Save2, ""},
        {w_->N10, ""},         {w_->Close2, ""},       {w_->del3, ""}};
    for (const auto& [action, key] : keys)
      QCOMPARE(action->shortcut().toString(QKeySequence::PortableText), QString(key));

    QStringList tools;
    for (QAction* a : w_->ToolBar1->actions())
      tools << (a->isSeparator() ? QStringLiteral("-") : a->toolTip());
    QCOMPARE(tools, QStringList({"Exit", "-", "Open", "Save", "-", "Undo", "Cut", "Copy", "Paste",
                                 "-", "Find Error"}));
    for (QAction* a : w_->ToolBar1->actions())
      if (!a->isSeparator()) QVERIFY(!a->icon().isNull());

    QCOMPARE(w_->Edit1->font().family(), QString("Arial"));
    QCOMPARE(w_->Edit1->font().pixelSize(), 13);
    QCOMPARE(w_->Edit1->lineWrapMode(), QTextEdit::NoWrap);
    QCOMPARE(w_->Edit1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QVERIFY(!w_->Edit1->tabChangesFocus());
    QCOMPARE(w_->Edit1->TextLimit(), 2097152);
  }

  void OpenShowsTheUnitWithItsStyles() {
    const QString path = WriteHeader("winfoo.h", kErrorHeader);
    QSignalSpy status(w_.get(), &Ttqc_by_Morlen::StatusShown);
    Open(path);
    const OutputPane unit = EngineUnit(path);

    QCOMPARE(dialogs_->Calls("open:"), QStringList({"open::Header files (*.h *.idl)"}));
    ComparePaneWith(unit);
    const QTextDocument* doc = w_->Edit1->document();
    // Spot checks that do not lean on the engine's ranges.
    QCOMPARE(UnitLine().text(), QString("unit winfoo;"));
    QCOMPARE(StyleMap(UnitLine()), QString("bbbb........"));
    const int firstError = static_cast<int>(
        std::find_if(unit.Lines().begin(), unit.Lines().end(),
                     [](const std::string& l) { return l.rfind("// Error : ", 0) == 0; }) -
        unit.Lines().begin());
    QVERIFY(firstError < unit.Count());
    QVERIFY(StyleMap(doc->findBlockByNumber(firstError)).startsWith("...rrrrr..."));
    QCOMPARE(w_->UnitBytes(), unit.SaveText());

    const QString caption = "tqc - winfoo.h / " + QDir::toNativeSeparators(home_->path());
    QCOMPARE(w_->windowTitle(), caption + "[*]");
    QCOMPARE(ShownCaption(), caption + "*");  // the new unit is unsaved
    QCOMPARE(w_->windowIconText(), QString("tqc - winfoo.h"));
    QCOMPARE(w_->ApplicationTitle(), QString("tqc - winfoo.h"));
    QCOMPARE(w_->StatusText(), QString(" Error = 3"));
    QVERIFY(status.size() >= 3);
    QCOMPARE(status.first().first().toString(), QString(" Converting (h -> pas) ..."));
    QCOMPARE(status.at(status.size() - 2).first().toString(),
             QString(" Converting (h -> pas) ... (100%)"));
    QCOMPARE(status.last().first().toString(), QString(" Error = 3"));
    QVERIFY(w_->SaveBtn->isEnabled());
    QVERIFY(w_->FindBtn->isEnabled());
    QVERIFY(!w_->Undo3->isEnabled());  // the new unit is not an edit that can be undone
    QVERIFY(!w_->del3->isEnabled());
    QVERIFY(w_->Modified());
    QVERIFY(!w_->HasSaveName());
    QCOMPARE(w_->LastDir(), home_->path());
    QCOMPARE(w_->Edit1->textCursor().position(), 0);

    // The next Open starts in the folder of this one.
    w_->Edit1->document()->setModified(false);
    w_->Open2Execute();
    QCOMPARE(dialogs_->Calls("open:").last(),
             "open:" + home_->path() + ":Header files (*.h *.idl)");
  }

  void ALargeUnitShowsItsFirstLinesWhileTheRestIsFilledIn() {
    QByteArray header;
    for (int i = 0; i < 3000; ++i)
      header += "#define BIG_" + QByteArray::number(i) + " " + QByteArray::number(i) + "\n";
    const QString path = WriteHeader("big.h", header + kErrorHeader);
    const OutputPane unit = EngineUnit(path);
    w_->show();
    Open(path);
    // Back in the event loop with the head of the unit on screen and the rest to come.
    QVERIFY(w_->Converting());
    const QTextDocument* first = w_->Edit1->document();
    QVERIFY(first->blockCount() < unit.Count());
    QCOMPARE(first->firstBlock().text(), QString::fromStdString(unit.Line(0)));
    QCOMPARE(StyleMap(UnitLine()), QString("bbbb....."));  // "unit big;"
    QVERIFY(w_->Edit1->isReadOnly());
    QVERIFY(!w_->SaveBtn->isEnabled());
    // The caret, the selection and the scrolled place chosen meanwhile carry over.
    PlaceCaret(20, 2, 6);
    const QString selected = w_->Edit1->textCursor().selectedText();
    QScrollBar* bar = w_->Edit1->verticalScrollBar();
    QTRY_VERIFY(bar->maximum() > 300);
    bar->setValue(300);

    QTRY_VERIFY(!w_->Converting());
    ComparePaneWith(unit);
    QCOMPARE(w_->UnitBytes(), unit.SaveText());
    QCOMPARE(w_->Edit1->textCursor().block().blockNumber(), 20);
    QCOMPARE(w_->Edit1->textCursor().selectedText(), selected);
    QCOMPARE(bar->value(), 300);
    QVERIFY(w_->Modified());
    QVERIFY(!w_->Edit1->isReadOnly());
    QVERIFY(!w_->Undo3->isEnabled());
    QVERIFY(w_->SaveBtn->isEnabled());
    QVERIFY(w_->FindBtn->isEnabled());
    QCOMPARE(w_->StatusText(), QString(" Error = 3"));
    QVERIFY(!QGuiApplication::overrideCursor());
  }

  void AFolderThatNoLongerExistsIsDropped() {
    w_->SetLastDir(Home("gone/folder"));
    w_->Open2Execute();  // cancelled
    QCOMPARE(dialogs_->Calls("open:"),
             QStringList({"open:" + QDir::homePath() + ":Header files (*.h *.idl)"}));
    QCOMPARE(w_->LastDir(), QString());
    w_->Open2Execute();
    QCOMPARE(dialogs_->Calls("open:").last(), QString("open::Header files (*.h *.idl)"));
  }

  void AnErrorFreeUnitLeavesFindErrorOff() {
    Open(WriteHeader("clean[*].h", "/* only a comment */\n\n// and another\n"));
    QVERIFY(ShownCaption().startsWith("tqc - clean[*].h / "));
    QCOMPARE(w_->StatusText(), QString(" Error = 0"));
    QVERIFY(w_->SaveBtn->isEnabled());
    QVERIFY(!w_->FindBtn->isEnabled());
    // A later unit with errors turns it on again.
    w_->Edit1->document()->setModified(false);
    OpenErrorHeader();
    QVERIFY(w_->FindBtn->isEnabled());
  }

  void MultiByteTextIsShownAndSavedAsTheEngineWroteIt() {
    struct Case {
      const char* name;
      QByteArray header;
      PaneEncoding encoding;
      QString shown;
    };
    const Case cases[] = {
        {"utf8.h", "/* caf\xc3\xa9 \xe2\x82\xac */\n= 1 ;\n", PaneEncoding::Utf8,
         QString::fromUtf8("(* caf\xc3\xa9 \xe2\x82\xac *)")},
        {"ansi.h", "/* caf\xe9 \x80 */\n= 1 ;\n", PaneEncoding::Ansi,
         QString::fromUtf8("(* caf\xc3\xa9 \xe2\x82\xac *)")},
    };
    for (const Case& c : cases) {
      w_->Edit1->document()->setModified(false);
      const QString path = WriteHeader(c.name, c.header);
      Open(path);
      const OutputPane unit = EngineUnit(path);
      QCOMPARE(w_->Encoding(), c.encoding);
      QVERIFY2(DocText(w_->Edit1->document()).contains(c.shown), c.name);
      QCOMPARE(w_->UnitBytes(), unit.SaveText());
      // Saved under the header's own name, the unit line stays: the file is the engine's bytes.
      const QString target = Home(QFileInfo(c.name).completeBaseName() + ".pas");
      dialogs_->Saves.push_back(target);
      QVERIFY(w_->Save2Click());
      QCOMPARE(ReadAll(target).toStdString(), unit.SaveText());
    }
  }

  void FindErrorWalksFromErrorToErrorAndStopsAtTheLast() {
    const QList<int> errors = OpenErrorHeader();
    QCOMPARE(errors.size(), 3);
    PlaceCaret(0, 0);
    for (int line : errors) {
      w_->Find2Execute();
      const QTextCursor c = w_->Edit1->textCursor();
      QCOMPARE(c.selectedText(), QString("Error"));
      QCOMPARE(c.block().blockNumber(), line);
      QCOMPARE(c.selectionStart() - c.block().position(), 3);
    }
    QCOMPARE(w_->StatusText(), QString(" Error = 3"));
    // After the last error nothing moves, and the status bar says why.
    const QTextCursor last = w_->Edit1->textCursor();
    w_->Find2Execute();
    QCOMPARE(w_->Edit1->textCursor().selectionStart(), last.selectionStart());
    QCOMPARE(w_->Edit1->textCursor().selectionEnd(), last.selectionEnd());
    QCOMPARE(w_->StatusText(), QString(" No further error"));
    // With the caret below the last error line: nothing either.
    PlaceCaret(errors.last() + 1, 0);
    w_->Find2Execute();
    QVERIFY(!w_->Edit1->textCursor().hasSelection());
    QCOMPARE(w_->Edit1->textCursor().block().blockNumber(), errors.last() + 1);
    QCOMPARE(w_->StatusText(), QString(" No further error"));
    // With the caret inside the first error's word, the search goes on from the selection's end;
    // the status bar shows the count again.
    PlaceCaret(errors.first(), 4, 6);
    w_->Find2Execute();
    QCOMPARE(w_->Edit1->textCursor().block().blockNumber(), errors.at(1));
    QCOMPARE(w_->StatusText(), QString(" Error = 3"));
  }

  void FindErrorCentresTheFoundLine() {
    QByteArray comments;
    for (int i = 0; i < 300; ++i) comments += "// line " + QByteArray::number(i) + "\n";
    Open(WriteHeader("long.h", comments + kErrorHeader + comments));
    w_->show();
    QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
    PlaceCaret(0, 0);
    const int line = w_->Edit1->verticalScrollBar()->singleStep();
    const int middle = w_->Edit1->viewport()->height() / 2;
    for (int i = 0; i < 3; ++i) {
      w_->Find2Execute();
      QCOMPARE(w_->Edit1->textCursor().selectedText(), QString("Error"));
      QVERIFY2(std::abs(w_->Edit1->cursorRect().center().y() - middle) <= line,
               qPrintable(QString::number(w_->Edit1->cursorRect().center().y())));
    }
  }

  void FindErrorKeyAndButton() {
    const QList<int> errors = OpenErrorHeader();
    ShowActive();
    PlaceCaret(0, 0);
    QTest::keyClick(w_->Edit1, Qt::Key_E, Qt::ControlModifier);
    QCOMPARE(w_->Edit1->textCursor().block().blockNumber(), errors.at(0));
    w_->FindBtn->trigger();
    QCOMPARE(w_->Edit1->textCursor().block().blockNumber(), errors.at(1));
    QCOMPARE(w_->Edit1->textCursor().selectedText(), QString("Error"));
  }

  void SaveAsProposesTheHeaderNameAndRenamesTheUnit() {
    const QString path = WriteHeader("winfoo.h", kErrorHeader);
    Open(path);
    const OutputPane unit = EngineUnit(path);
    QVERIFY(QDir(home_->path()).mkdir("out"));
    const QString target = Home("out/foo2.pas");
    dialogs_->Saves.push_back(target);
    QVERIFY(w_->Save3Execute());  // no save name yet: Save runs Save As
    QCOMPARE(dialogs_->Calls("save:"),
             QStringList({"save:" + home_->path() + ":winfoo.pas:Delphi Unit Files (*.pas)"}));
    QVERIFY(dialogs_->Calls("message:").isEmpty());  // a new file: no "Overwrite ?"

    QCOMPARE(UnitLine().text(), QString("unit foo2;"));
    QCOMPARE(StyleMap(UnitLine()), QString("bbbb......"));
    // The rename came with the save: there is nothing to undo.
    QVERIFY(!w_->Undo3->isEnabled());
    w_->Undo3Execute();
    QCOMPARE(UnitLine().text(), QString("unit foo2;"));
    QVERIFY(!w_->Modified());
    std::string expected = unit.SaveText();
    expected.replace(expected.find("unit winfoo;"), 12, "unit foo2;");
    QCOMPARE(ReadAll(target).toStdString(), expected);
    QVERIFY(!w_->Modified());
    QVERIFY(w_->HasSaveName());
    QCOMPARE(w_->SaveFileName(), target);
    QVERIFY(!ShownCaption().endsWith("*"));

    // Now Save writes silently to the same file; unmodified text is not written at all.
    QTextCursor c(w_->Edit1->document());
    c.movePosition(QTextCursor::End);
    c.insertText("{ edited }");
    QVERIFY(w_->Modified());
    QVERIFY(ShownCaption().endsWith(QDir::toNativeSeparators(home_->path()) + "*"));
    QVERIFY(w_->Save3Execute());
    QCOMPARE(dialogs_->Calls("save:").size(), 1);
    QVERIFY(ReadAll(target).endsWith("end.{ edited }\r\n"));
    QVERIFY(!w_->Modified());
    QVERIFY(QFile::remove(target));
    QVERIFY(w_->Save3Execute());
    QVERIFY(!QFile::exists(target));
  }

  void SaveAsAsksBeforeOverwriting() {
    Open(WriteHeader("a.h", kErrorHeader));
    const QString target = Home("a.pas");
    QVERIFY(WriteAll(target, "old"));
    dialogs_->Saves.push_back(target);
    dialogs_->Messages.push_back(kIdNo);
    QVERIFY(!w_->Save2Click());
    QCOMPARE(dialogs_->Calls("message:"), QStringList({"message:Overwrite ?:52"}));
    QCOMPARE(ReadAll(target), QByteArray("old"));
    QVERIFY(w_->Modified());
    QVERIFY(!w_->HasSaveName());

    dialogs_->Saves.push_back(target);
    dialogs_->Messages.push_back(kIdYes);
    QVERIFY(w_->Save2Click());
    QVERIFY(ReadAll(target).startsWith("//  Version"));
    QVERIFY(!w_->Modified());

    // Cancel in the dialog changes nothing.
    w_->Edit1->insertPlainText("x");
    QVERIFY(!w_->Save2Click());
    QVERIFY(w_->Modified());
  }

  void AWriteFailureIsReportedAndTheTextStaysUnsaved() {
    Open(WriteHeader("a.h", kErrorHeader));
    const QString target = Home("missing-folder/a.pas");
    dialogs_->Saves.push_back(target);
    QVERIFY(!w_->Save2Click());
    const QStringList messages = dialogs_->Calls("message:");
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages.first().startsWith("message:Cannot save " + QDir::toNativeSeparators(target) +
                                         ":\n"),
             qPrintable(messages.first()));
    QVERIFY(messages.first().endsWith(":48"));
    QVERIFY(messages.first().size() > QString("message:Cannot save :\n:48").size() + target.size());
    QVERIFY(w_->Modified());
    QVERIFY(!w_->HasSaveName());
    QVERIFY(!QFile::exists(target));
    QCOMPARE(UnitLine().text(), QString("unit a;"));  // renamed only with the file written

    // A write cut short (here by the file-size limit) keeps the file it would replace.
    const QString old = Home("old.pas");
    QVERIFY(WriteAll(old, "old"));
    dialogs_->Saves.push_back(old);
    dialogs_->Messages.push_back(kIdYes);  // "Overwrite ?"
    dialogs_->Log.clear();
    rlimit was{};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &was) == 0);
    const rlimit small{64, was.rlim_max};
    auto* const sigxfsz = ::signal(SIGXFSZ, SIG_IGN);
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
    const bool saved = w_->Save2Click();
    ::setrlimit(RLIMIT_FSIZE, &was);
    ::signal(SIGXFSZ, sigxfsz);
    QVERIFY(!saved);
    QCOMPARE(dialogs_->Calls("message:").value(1),
             "message:Cannot save " + QDir::toNativeSeparators(old) + ":\nFile too large:48");
    QCOMPARE(ReadAll(old), QByteArray("old"));
    QCOMPARE(QDir(home_->path()).entryList({".tqc-*"}, QDir::Hidden | QDir::Files), QStringList());
    QCOMPARE(UnitLine().text(), QString("unit a;"));
    QVERIFY(w_->Modified());
  }

  void SaveAsProposesAFolderTheUserCanWriteTo() {
    // The header's folder is gone (as good as read-only): the home folder is proposed, and
    // after a save the folder saved to.
    QVERIFY(QDir(home_->path()).mkpath("gone"));
    Open(WriteHeader("gone/a.h", kErrorHeader));
    QVERIFY(QDir(Home("gone")).removeRecursively());
    QVERIFY(QDir(home_->path()).mkdir("units"));
    dialogs_->Saves.push_back(Home("units/a.pas"));
    QVERIFY(w_->Save2Click());
    dialogs_->Saves.push_back(std::nullopt);
    QVERIFY(!w_->Save2Click());
    const QString filter = ":a.pas:Delphi Unit Files (*.pas)";
    QCOMPARE(dialogs_->Calls("save:"),
             QStringList({"save:" + QDir::homePath() + filter, "save:" + Home("units") + filter}));
  }

  void TheRealMessageBoxTellsAnAnswerFromNone_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("expected");
    QTest::newRow("Yes") << "Yes" << kMbYesNoExclamation << kIdYes;
    QTest::newRow("No") << "No" << kMbYesNoExclamation << kIdNo;
    QTest::newRow("Esc") << "Esc" << kMbYesNoExclamation << kIdCancel;
    QTest::newRow("close button") << "close" << kMbYesNoExclamation << kIdCancel;
    QTest::newRow("OK box, Esc") << "Esc" << kMbOkExclamation << kIdOk;
  }

  void TheRealMessageBoxTellsAnAnswerFromNone() {
    QFETCH(QString, how);
    QFETCH(int, flags);
    QFETCH(int, expected);
    bool seen = false;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      seen = true;
      QCOMPARE(box->text(), QString("Save changes ?"));
      if (how == "Esc")
        QTest::keyClick(box, Qt::Key_Escape);
      else if (how == "close")
        box->close();
      else
        box->button(how == "Yes" ? QMessageBox::Yes : QMessageBox::No)->click();
    });
    QtShellDialogs real;
    QCOMPARE(real.ShowMessageBox(nullptr, "Save changes ?", flags), expected);
    QVERIFY(seen);
  }

  void UnreadableTablesAreNamedAndNeverConvertWithout() {
    // tqc.typ cannot be read: nothing is converted with empty tables.
    QVERIFY(QFile::remove(Home("tqc.typ")));
    QVERIFY(QDir(home_->path()).mkdir("tqc.typ"));
    auto broken = std::make_unique<Ttqc_by_Morlen>(dialogs_, home_->path());
    broken->Edit1->setPlainText("kept");
    broken->Edit1->document()->setModified(false);
    dialogs_->Opens.push_back(WriteHeader("a.h", kErrorHeader));
    broken->Open2Execute();
    QCOMPARE(DocText(broken->Edit1->document()), QString("kept"));
    QCOMPARE(dialogs_->Calls("message:"),
             QStringList({"message:cannot read " + Home("tqc.typ") + ": Is a directory:48"}));
    broken.reset();
    // tqc.def cannot be read: said once the window runs; units are made without it.
    QVERIFY(QDir(Home("tqc.typ")).removeRecursively());
    QVERIFY(QFile::copy(QDir(TQC_DATA_DIR).filePath("tqc.typ"), Home("tqc.typ")));
    QFile::remove(Home("tqc.def"));
    QVERIFY(QDir(home_->path()).mkdir("tqc.def"));
    dialogs_->Log.clear();
    auto withoutDef = std::make_unique<Ttqc_by_Morlen>(dialogs_, home_->path());
    QTRY_COMPARE(dialogs_->Calls("message:"),
                 QStringList({"message:cannot read " + Home("tqc.def") + ": Is a directory:48"}));
    dialogs_->Opens.push_back(Home("a.h"));
    withoutDef->Open2Execute();
    QVERIFY(withoutDef->windowTitle().contains("a.h"));
  }

  void OpenOffersToSaveUnsavedText_data() {
    QTest::addColumn<int>("answer");      // to "Save changes ?"
    QTest::addColumn<QString>("saveTo");  // answer of the save dialog ("" = Cancel)
    QTest::addColumn<bool>("opens");      // the new header is converted
    QTest::addColumn<bool>("written");    // the old text reached the file
    QTest::newRow("no discards") << kIdNo << "" << true << false;
    QTest::newRow("yes and saved") << kIdYes << "old.pas" << true << true;
    QTest::newRow("yes, save cancelled") << kIdYes << "" << false << false;
    QTest::newRow("yes, write failed") << kIdYes << "nowhere/old.pas" << false << false;
    QTest::newRow("closed without an answer") << kIdCancel << "" << false << false;
  }

  void OpenOffersToSaveUnsavedText() {
    QFETCH(int, answer);
    QFETCH(QString, saveTo);
    QFETCH(bool, opens);
    QFETCH(bool, written);
    Open(WriteHeader("old.h", kErrorHeader));
    const std::string oldText = w_->UnitBytes();
    const QString next = WriteHeader("next.h", "/* next */\n");
    dialogs_->Log.clear();
    dialogs_->Messages.push_back(answer);
    if (!saveTo.isEmpty()) dialogs_->Saves.push_back(Home(saveTo));
    Open(next);
    QCOMPARE(dialogs_->Log.value(0), QString("message:Save changes ?:52"));
    QCOMPARE(dialogs_->Calls("save:").size(), answer == kIdYes ? 1 : 0);
    QCOMPARE(dialogs_->Calls("open:").size(), opens ? 1 : 0);
    QCOMPARE(w_->windowTitle().contains("next.h"), opens);
    if (!opens) {
      QCOMPARE(w_->UnitBytes(), oldText);
      QVERIFY(w_->Modified());
      dialogs_->Opens.clear();
    }
    if (written) {
      QCOMPARE(ReadAll(Home(saveTo)).toStdString(), oldText);  // "unit old;" keeps its name
    } else if (!saveTo.isEmpty()) {
      QVERIFY(!QFile::exists(Home(saveTo)));
    }
  }

  void OpenWithoutUnsavedTextAsksNothing() {
    Open(WriteHeader("a.h", kErrorHeader));
    w_->Edit1->document()->setModified(false);
    dialogs_->Log.clear();
    Open(WriteHeader("b.h", kErrorHeader));
    QVERIFY(dialogs_->Calls("message:").isEmpty());
    QVERIFY(w_->windowTitle().contains("b.h"));
  }

  void ClosingOffersToSaveUnsavedText_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("saveTo");
    QTest::addColumn<bool>("closes");
    QTest::newRow("no") << kIdNo << "" << true;
    QTest::newRow("yes and saved") << kIdYes << "a.pas" << true;
    QTest::newRow("yes, save cancelled") << kIdYes << "" << false;
    QTest::newRow("yes, write failed") << kIdYes << "nowhere/a.pas" << false;
    QTest::newRow("closed without an answer") << kIdCancel << "" << false;
  }

  void ClosingOffersToSaveUnsavedText() {
    QFETCH(int, answer);
    QFETCH(QString, saveTo);
    QFETCH(bool, closes);
    w_->show();
    Open(WriteHeader("a.h", kErrorHeader));
    dialogs_->Log.clear();
    dialogs_->Messages.push_back(answer);
    if (!saveTo.isEmpty()) dialogs_->Saves.push_back(Home(saveTo));
    w_->Close2->trigger();
    QCOMPARE(dialogs_->Log.value(0), QString("message:Save changes ?:52"));
    QCOMPARE(w_->isVisible(), !closes);
    if (closes && answer == kIdYes) QVERIFY(ReadAll(Home(saveTo)).startsWith("//  Version"));
  }

  void ClosingSavedTextAsksNothing() {
    w_->show();
    Open(WriteHeader("a.h", kErrorHeader));
    w_->Edit1->document()->setModified(false);
    dialogs_->Log.clear();
    QVERIFY(w_->close());
    QVERIFY(dialogs_->Log.isEmpty());
  }

  void NothingStartsAgainWhileAConversionRuns() {
    const QString path = WriteHeader("a.h", kErrorHeader);
    const QString other = WriteHeader("b.h", "/* b */\n");
    w_->show();
    w_->Edit1->setPlainText("typed before");
    w_->Edit1->document()->setModified(false);
    bool ran = false;
    dialogs_->DuringConversion = [&] {
      ran = true;
      QVERIFY(w_->Converting());
      for (QAction* a :
           {w_->Open2, w_->N10, w_->Save3, w_->Save2, w_->Close2, w_->SaveBtn, w_->FindBtn,
            w_->Undo3, w_->Cut3, w_->Paste3, w_->del3, w_->fdel1, w_->bdel1, w_->ldel1})
        QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
      QVERIFY(w_->Edit1->isReadOnly());
      QVERIFY(w_->StatusText().startsWith(" Converting (h -> pas) ..."));
      QVERIFY(QGuiApplication::overrideCursor());
      QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
      const int opens = dialogs_->Calls("open:").size();
      w_->Open2Execute();
      w_->OpenDroppedHeader(other);
      w_->N10Click();
      QVERIFY(!w_->Save3Execute());
      QCOMPARE(dialogs_->Calls("open:").size(), opens);
      QVERIFY(!w_->close());  // waits for the end of the conversion
      QVERIFY(w_->isVisible());
    };
    dialogs_->Messages.push_back(kIdNo);  // "Save changes ?" of the close that waited
    Open(path);
    QVERIFY(ran);
    QVERIFY(!w_->Converting());
    QVERIFY(!QGuiApplication::overrideCursor());
    QVERIFY(!w_->windowTitle().contains("b.h"));
    QCOMPARE(dialogs_->Calls("message:"), QStringList({"message:Save changes ?:52"}));
    QVERIFY(!w_->isVisible());  // the close request was carried out afterwards
    QVERIFY(!w_->Edit1->isReadOnly());
    QVERIFY(w_->Open2->isEnabled());
  }

  void TheTextLimitNeverCutsAConvertedUnitAndLeavesItRoom() {
    w_->Edit1->SetTextLimit(100);
    const QString path = WriteHeader("a.h", kErrorHeader);
    Open(path);
    const OutputPane unit = EngineUnit(path);
    QVERIFY(unit.TextLength() > 100);
    QCOMPARE(w_->UnitBytes(), unit.SaveText());
    const int limit = w_->Edit1->TextLength() + 100;
    const QString reached = QString(" Text limit of %1 characters reached").arg(limit);
    ShowActive();
    // A unit longer than the limit takes typing, Return and pasting up to the limit past its
    // own length.
    QTextCursor c(w_->Edit1->document());
    c.movePosition(QTextCursor::End);
    w_->Edit1->setTextCursor(c);
    QTest::keyClick(w_->Edit1, Qt::Key_X);
    QTest::keyClick(w_->Edit1, Qt::Key_Return);
    QGuiApplication::clipboard()->setText(QString(95, 'p') + "abcdef");
    w_->Paste3->trigger();
    QVERIFY(w_->UnitBytes().ends_with("end.x\r\n" + std::string(95, 'p') + "abc\r\n"));
    QCOMPARE(w_->StatusText(), reached);
    PlaceCaret(0, 0);  // the note goes with the next move of the caret
    QCOMPARE(w_->StatusText(), QString(" Error = 3"));
    c.movePosition(QTextCursor::End);
    w_->Edit1->setTextCursor(c);
    QTest::keyClick(w_->Edit1, Qt::Key_Return);
    QVERIFY(w_->UnitBytes().ends_with("pabc\r\n"));
    QCOMPARE(w_->StatusText(), reached);
    // A selection that the typed text replaces makes room.
    PlaceCaret(0, 0, 2);
    QTest::keyClick(w_->Edit1, Qt::Key_Z);
    QVERIFY(w_->UnitBytes().starts_with("z  Version"));

    // Over the limit, an edit that does not make the text longer is still made; a paste gets
    // the room of the selection it replaces.
    w_->Edit1->SetLoadedLength(0);
    PlaceCaret(0, 0, 2);
    QTest::keyClick(w_->Edit1, Qt::Key_Q);
    QVERIFY(w_->UnitBytes().starts_with("q Version"));
    PlaceCaret(0, 0, 3);
    QGuiApplication::clipboard()->setText("abcdef");
    w_->Paste3->trigger();
    QVERIFY(w_->UnitBytes().starts_with("abcersion"));
    QCOMPARE(w_->StatusText(), QString(" Text limit of 100 characters reached"));
  }

  void TypedAndPastedTextIsPlain_data() {
    QTest::addColumn<QString>("line");    // the line, by its start
    QTest::addColumn<int>("column");      // the caret; -1: the "Error" Find Error selects
    QTest::addColumn<bool>("paste");      // "xyz" pasted instead of typed
    QTest::addColumn<QString>("styles");  // the start of the line's style map afterwards
    QTest::newRow("typed after a red Error") << "// Error" << 8 << false << "...rrrrr...";
    QTest::newRow("typed at the start of end.") << "end." << 0 << false << "...bbb.";
    QTest::newRow("typed over the found Error") << "// Error" << -1 << false << "......";
    QTest::newRow("pasted after a bold unit") << "unit " << 4 << true << "bbbb....";
  }

  void TypedAndPastedTextIsPlain() {
    QFETCH(QString, line);
    QFETCH(int, column);
    QFETCH(bool, paste);
    QFETCH(QString, styles);
    OpenErrorHeader();
    ShowActive();
    QTextBlock b = w_->Edit1->document()->begin();
    while (b.isValid() && !b.text().startsWith(line)) b = b.next();
    QVERIFY(b.isValid());
    const int number = b.blockNumber();
    if (column < 0) {
      PlaceCaret(0, 0);
      w_->Find2Execute();
    } else {
      PlaceCaret(number, column);
    }
    if (paste) {
      QGuiApplication::clipboard()->setText("xyz");
      w_->Paste3->trigger();
    } else {
      QTest::keyClicks(w_->Edit1, "xyz");
    }
    const QTextBlock edited = w_->Edit1->document()->findBlockByNumber(number);
    QVERIFY2(edited.text().contains("xyz"), qPrintable(edited.text()));
    QCOMPARE(StyleMap(edited).left(styles.size()), styles);
    // One undo step takes the text back out.
    w_->Undo3->trigger();
    QVERIFY(!w_->Edit1->document()->findBlockByNumber(number).text().contains("xyz"));
  }

  void LineEditingKeys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("selectTo");  // -1: no selection
    QTest::addColumn<QString>("expected");
    const QString k = "abc\ndef\nghi";
    QTest::newRow("Ctrl+U mid-line") << int(Qt::Key_U) << 1 << 2 << -1 << "abc\nf\nghi";
    QTest::newRow("Ctrl+U at line start") << int(Qt::Key_U) << 0 << 0 << -1 << k;
    QTest::newRow("Ctrl+U from a selection") << int(Qt::Key_U) << 2 << 1 << 3 << "abc\ndef\nhi";
    QTest::newRow("Ctrl+K mid-line") << int(Qt::Key_K) << 1 << 1 << -1 << "abc\nd\nghi";
    QTest::newRow("Ctrl+K keeps the break") << int(Qt::Key_K) << 0 << 0 << -1 << "\ndef\nghi";
    QTest::newRow("Ctrl+K on the last line") << int(Qt::Key_K) << 2 << 1 << -1 << "abc\ndef\ng";
    QTest::newRow("Ctrl+K at the end of the text") << int(Qt::Key_K) << 2 << 3 << -1 << k;
    QTest::newRow("Ctrl+K from a selection") << int(Qt::Key_K) << 0 << 1 << 2 << "a\ndef\nghi";
    QTest::newRow("Ctrl+Y") << int(Qt::Key_Y) << 1 << 1 << -1 << "abc\nghi";
    QTest::newRow("Ctrl+Y first line") << int(Qt::Key_Y) << 0 << 3 << -1 << "def\nghi";
    QTest::newRow("Ctrl+Y last line") << int(Qt::Key_Y) << 2 << 0 << -1 << "abc\ndef\n";
  }

  void LineEditingKeys() {
    QFETCH(int, key);
    QFETCH(int, line);
    QFETCH(int, column);
    QFETCH(int, selectTo);
    QFETCH(QString, expected);
    ShowActive();
    w_->Edit1->setPlainText("abc\ndef\nghi");
    PlaceCaret(line, column, selectTo);
    QTest::keyClick(w_->Edit1, Qt::Key(key), Qt::ControlModifier);
    QCOMPARE(DocText(w_->Edit1->document()), expected);
    if (expected != "abc\ndef\nghi") {
      QVERIFY(w_->Undo3->isEnabled());
      w_->Undo3->trigger();
      QCOMPARE(DocText(w_->Edit1->document()), QString("abc\ndef\nghi"));
    }
  }

  void EditActionsFollowTheSelectionTheUndoAndTheClipboard() {
    w_->Edit1->setPlainText("abc def");
    QVERIFY(!w_->Undo3->isEnabled());
    PlaceCaret(0, 0, 3);
    QVERIFY(w_->del3->isEnabled());
    QVERIFY(w_->Cut3->isEnabled());
    QVERIFY(w_->Copy3->isEnabled());
    w_->del3->trigger();
    QCOMPARE(DocText(w_->Edit1->document()), QString(" def"));
    QVERIFY(!w_->del3->isEnabled());
    QVERIFY(!w_->Cut3->isEnabled());
    QVERIFY(w_->Undo3->isEnabled());
    w_->Undo3->trigger();
    QCOMPARE(DocText(w_->Edit1->document()), QString("abc def"));
    w_->All1->trigger();
    QCOMPARE(w_->Edit1->textCursor().selectedText(), QString("abc def"));

    QVERIFY(!w_->Paste3->isEnabled());
    QGuiApplication::clipboard()->setText("clip");
    QVERIFY(w_->Paste3->isEnabled());
    auto* image = new QMimeData;
    image->setData("image/png", QByteArray("\x89PNG", 4));
    QGuiApplication::clipboard()->setMimeData(image);
    QVERIFY(!w_->Paste3->isEnabled());
  }

  void MouseWheelScrollsByTheWheelLines() {
    QByteArray header;
    for (int i = 0; i < 400; ++i) header += "// line " + QByteArray::number(i) + "\n";
    Open(WriteHeader("long.h", header));
    w_->show();
    QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
    QScrollBar* bar = w_->Edit1->verticalScrollBar();
    QTRY_VERIFY(bar->maximum() > 10 * bar->singleStep());
    bar->setValue(0);
    // A notch scrolls the system's number of lines, each as high as the pane lays it out.
    const QTextDocument* doc = w_->Edit1->document();
    const qreal line = doc->documentLayout()->blockBoundingRect(doc->firstBlock()).height();
    QVERIFY(line > 5);
    const int step = qRound(QApplication::wheelScrollLines() * line);
    auto wheel = [&](int dy) {
      const QPointF at(10, 10);
      QWheelEvent e(at, w_->Edit1->viewport()->mapToGlobal(at), QPoint(), QPoint(0, dy),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(w_->Edit1->viewport(), &e);
      return e.isAccepted();
    };
    QVERIFY(wheel(-120));
    QCOMPARE(bar->value(), step);
    QVERIFY(wheel(-240));
    QCOMPARE(bar->value(), 3 * step);
    wheel(60);  // half a notch: nothing yet
    QCOMPARE(bar->value(), 3 * step);
    wheel(60);
    QCOMPARE(bar->value(), 2 * step);
  }

  void ADroppedHeaderOpensAsIfChosen() {
    const QString path = WriteHeader("dropped.H", kErrorHeader);
    w_->show();
    w_->Edit1->setPlainText("unsaved");
    w_->Edit1->document()->setModified(true);
    // A question closed without an answer keeps the text.
    dialogs_->Messages.push_back(kIdCancel);
    w_->OpenDroppedHeader(path);
    QCOMPARE(DocText(w_->Edit1->document()), QString("unsaved"));
    QVERIFY(w_->Modified());
    dialogs_->Log.clear();
    dialogs_->Messages.push_back(kIdNo);
    // As a file manager drags: the file's URL, also as text, and a move proposed (Shift).
    Qt::DropAction answered = Qt::IgnoreAction;
    auto drop = [&](const QString& file) {
      QMimeData data;
      if (!file.isEmpty()) data.setUrls({QUrl::fromLocalFile(file)});
      data.setText(file.isEmpty() ? QString("dragged") : QUrl::fromLocalFile(file).toString());
      const QPointF at(20, 20);
      const auto actions = Qt::CopyAction | Qt::MoveAction;
      QDragEnterEvent enter(at.toPoint(), actions, &data, Qt::LeftButton, Qt::ShiftModifier);
      QApplication::sendEvent(w_->Edit1->viewport(), &enter);
      QDropEvent dropEvent(at, actions, &data, Qt::LeftButton, Qt::ShiftModifier);
      QApplication::sendEvent(w_->Edit1->viewport(), &dropEvent);
      answered = dropEvent.isAccepted() ? dropEvent.dropAction() : Qt::IgnoreAction;
      return enter.isAccepted();
    };
    QVERIFY(!drop(Home("small.pas")));
    QCoreApplication::processEvents();
    QCOMPARE(DocText(w_->Edit1->document()), QString("unsaved"));
    QCOMPARE(answered, Qt::IgnoreAction);
    QCOMPARE(w_->StatusText(), QString(" Not opened: small.pas is no header (.h, .idl)"));
    // Text from another program is inserted as a copy: its source keeps it.
    QVERIFY(drop(QString()));
    QVERIFY(DocText(w_->Edit1->document()).contains("dragged"));
    QCOMPARE(answered, Qt::CopyAction);
    w_->Undo3->trigger();

    QVERIFY(drop(path));
    QCOMPARE(answered, Qt::CopyAction);
    QTRY_VERIFY(w_->windowTitle().contains("dropped.H"));
    QCOMPARE(dialogs_->Calls("message:"), QStringList({"message:Save changes ?:52"}));
    QVERIFY(dialogs_->Calls("open:").isEmpty());
    QCOMPARE(w_->StatusText(), QString(" Error = 3"));
    QCOMPARE(w_->LastDir(), home_->path());
  }

  void AnUnreadableHeaderLeavesTheTextAlone_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");  // "/" makes a folder; empty: no file
    QTest::addColumn<QString>("message");   // % stands for the path
    QTest::newRow("missing") << "missing.h" << QByteArray()
                             << "cannot open %: No such file or directory";
    QTest::newRow("folder") << "folder.h" << QByteArray("/") << "cannot read %: Is a directory";
    QTest::newRow("program") << "program.h"
                             << QByteArray(
                                    "\x7f"
                                    "ELF\x02\x01\x01\0\0\0x;",
                                    12)
                             << "%: not a text file";
  }

  void AnUnreadableHeaderLeavesTheTextAlone() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    if (bytes == "/")
      QVERIFY(QDir(home_->path()).mkdir(name));
    else if (!bytes.isEmpty())
      WriteHeader(name, bytes);
    w_->Edit1->setPlainText("kept");
    w_->Edit1->document()->setModified(false);
    Open(Home(name));
    QCOMPARE(DocText(w_->Edit1->document()), QString("kept"));
    QCOMPARE(w_->windowTitle(), QString("tqc[*]"));
    QCOMPARE(dialogs_->Calls("message:"),
             QStringList({"message:" + QString(message).replace("%", Home(name)) + ":48"}));
    QVERIFY(!w_->SaveBtn->isEnabled());
  }

  void OpenAsksForTheDllOfExportedRoutines_data() {
    QTest::addColumn<QString>("name");    // of the header
    QTest::addColumn<QString>("answer");  // to the prompt; empty: the offered name
    QTest::addColumn<QString>("line");    // the DLL constant in the unit
    QTest::newRow("named") << "sample.h"
                           << "mylib.dll"
                           << "  mylib = 'mylib.dll';";
    // File names are UTF-8, in the caption, the prompt and the unit alike; the constant is a
    // Pascal identifier.
    QTest::newRow("UTF-8 name") << "Ünïcødé 头文件.h"
                                << ""
                                << "  n_c_dDLL = 'Ünïcødé 头文件.dll';";
  }

  void OpenAsksForTheDllOfExportedRoutines() {
    QFETCH(QString, name);
    QFETCH(QString, answer);
    QFETCH(QString, line);
    const QByteArray header = "__declspec(dllexport) int WINAPI SampleOpen(int a);\n";
    if (!answer.isEmpty()) dialogs_->Inputs.push_back(answer);
    Open(WriteHeader(name, header));
    QCOMPARE(dialogs_->Calls("input:"), QStringList({"input:tqc:Input Name of export's DLL:" +
                                                     QFileInfo(name).completeBaseName() + ".dll"}));
    QVERIFY(!dialogs_->WaitCursorDuringInput);  // the prompt shows the normal cursor
    QVERIFY(!QGuiApplication::overrideCursor());
    QVERIFY2(DocText(w_->Edit1->document()).contains(line), qPrintable(line));
    QVERIFY(ShownCaption().startsWith("tqc - " + name + " / "));
  }

  // The guide's example header, and what it says each mode makes of it, against the window.
  void TheGuideSaysWhatEachModeBindsToTheDll() {
    const QStringList guide =
        QString::fromUtf8(ReadAll(QDir(TQC_DATA_DIR).filePath("help_eng.txt"))).split('\n');
    auto block = [&](const QString& intro) {  // the indented lines after the intro line
      QStringList lines;
      qsizetype i = 0;
      while (i < guide.size() && !guide.at(i).endsWith(intro)) ++i;
      for (i += 2; i < guide.size() && guide.at(i).startsWith("    "); ++i)
        lines << guide.at(i).mid(4);
      return lines;
    };
    const QStringList header = block("widget.h with the lines");
    QCOMPARE(header.size(), 2);
    const QString path = WriteHeader("widget.h", header.join('\n').toUtf8() + '\n');
    const QString plain = WriteHeader("plain.h", header.first().toUtf8() + '\n');
    for (const bool ready : {false, true}) {
      w_->ReadyMnu->setChecked(ready);
      dialogs_->Log.clear();
      w_->Edit1->document()->setModified(false);
      Open(path);
      QCOMPARE(dialogs_->Calls("input:").size(), 1);
      // In this order, blank lines aside.
      const QStringList said =
          block(ready ? "with Compiler-Ready Output:" : "in the default mode:");
      QVERIFY(said.size() > 4);
      qsizetype next = 0;
      for (const QString& line : DocText(w_->Edit1->document()).split('\n'))
        if (next < said.size() && line == said.at(next)) ++next;
      QVERIFY2(next == said.size(), qPrintable(said.value(next)));
      // A plain prototype is bound, and asks for the DLL, only when compiler-ready.
      w_->Edit1->document()->setModified(false);
      Open(plain);
      QCOMPARE(dialogs_->Calls("input:").size(), ready ? 2 : 1);
      QCOMPARE(DocText(w_->Edit1->document()).contains("external"), ready);
    }
  }

  void TheDllPromptIsAskedThroughTheWindow() {
    ShellHost host(*w_);
    dialogs_->Inputs.push_back(QString("mylib.dll"));
    QCOMPARE(host.AskDllName("winfoo"), std::optional<std::string>("mylib.dll"));
    QCOMPARE(dialogs_->Calls("input:"),
             QStringList({"input:tqc:Input Name of export's DLL:winfoo"}));
    dialogs_->Inputs.push_back(std::nullopt);
    QCOMPARE(host.AskDllName("x"), std::optional<std::string>());
    host.ShowStatus(" Converting (h -> pas) ... (42%)");
    QCOMPARE(w_->StatusText(), QString(" Converting (h -> pas) ... (42%)"));
  }

  void HelpIsFoundInTheCurrentFolderOrBesideTheProgram() {
    // The guide ships beside the programs.
    QVERIFY(
        QFileInfo(QDir(QCoreApplication::applicationDirPath()).filePath("help_eng.txt")).size() >
        1000);
    const QString oldCwd = QDir::currentPath();
    QTemporaryDir elsewhere;
    QVERIFY(QDir::setCurrent(elsewhere.path()));
    w_->Topic1->trigger();
    QCOMPARE(dialogs_->Calls("message:"), QStringList({"message:help_eng.txt not found.:48"}));
    QVERIFY(WriteAll(Home("help_eng.txt"), "help"));
    w_->Topic1->trigger();
    QCOMPARE(dialogs_->Calls("document:").value(0), "document:" + Home("help_eng.txt"));
    QVERIFY(WriteAll(elsewhere.filePath("help_eng.txt"), "help"));
    w_->Topic1->trigger();
    QCOMPARE(dialogs_->Calls("document:").value(1),
             "document:" + QDir(elsewhere.path()).absoluteFilePath("help_eng.txt"));
    // Without a program for it on the desktop, the window shows the guide itself, read-only.
    dialogs_->DocumentOpens = false;
    QVERIFY(WriteAll(elsewhere.filePath("help_eng.txt"), "guide\n  caf\xc3\xa9\n"));
    w_->Topic1->trigger();
    auto* help = w_->findChild<QPlainTextEdit*>("HelpText");
    QVERIFY(help);
    QVERIFY(help->isVisible());
    QVERIFY(help->isReadOnly());
    QCOMPARE(help->toPlainText(), QString::fromUtf8("guide\n  caf\xc3\xa9\n"));
    QCOMPARE(help->window()->windowTitle(), QString("tqc - help_eng.txt"));
    w_->Topic1->trigger();  // shown again: the same window
    QCOMPARE(w_->findChildren<QPlainTextEdit*>("HelpText").size(), 1);
    // Esc and Ctrl+W close it.
    for (const QKeyCombination key :
         {QKeyCombination(Qt::Key_Escape), QKeyCombination(Qt::ControlModifier, Qt::Key_W)}) {
      w_->Topic1->trigger();
      help = w_->findChild<QPlainTextEdit*>("HelpText");
      QPointer<QWidget> window = help->window();
      window->activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(window));
      QTest::keyClick(help, key.key(), key.keyboardModifiers());
      QTRY_VERIFY(!window);
    }
    QCOMPARE(dialogs_->Calls("message:"), QStringList({"message:help_eng.txt not found.:48"}));
    QVERIFY(QDir::setCurrent(oldCwd));
    w_->About1->trigger();
    QCOMPARE(dialogs_->Calls("dialog:"), QStringList({"dialog:Version Infomation"}));
  }

  void ADesktopOpenerThatFailsIsNoDeadEnd_data() {
    QTest::addColumn<int>("status");  // the opener's exit status
    QTest::addColumn<QString>("why");
    QTest::newRow("opened") << 0 << "";
    QTest::newRow("no program") << 3 << "no program found to open it";
    QTest::newRow("the program failed") << 4 << "the program could not open it";
  }

  void ADesktopOpenerThatFailsIsNoDeadEnd() {
    QFETCH(int, status);
    QFETCH(QString, why);
    // An opener of the test's own, first on PATH, that tells by its exit status how it went.
    QVERIFY(QDir(home_->path()).mkdir("bin"));
    const QString opener = Home("bin/xdg-open");
    QVERIFY(WriteAll(
        opener, "#!/bin/sh\necho \"$1\" >> \"$0.log\"\nexit " + QByteArray::number(status) + "\n"));
    QVERIFY(QFile::setPermissions(opener, QFile::ReadOwner | QFile::ExeOwner));
    const QByteArray path = qgetenv("PATH");
    const QString oldCwd = QDir::currentPath();
    auto restore = qScopeGuard([&] {
      qputenv("PATH", path);
      QDir::setCurrent(oldCwd);
    });
    qputenv("PATH", QFile::encodeName(Home("bin")) + ":" + path);
    QVERIFY(QDir::setCurrent(home_->path()));
    QVERIFY(WriteAll(Home("help_eng.txt"), "guide\n"));
    dialogs_->RealOpener = true;
    w_->Topic1->trigger();
    w_->EditDefMnu->trigger();
    auto opened = [&] {
      QStringList lines =
          QString::fromUtf8(ReadAll(opener + ".log")).split('\n', Qt::SkipEmptyParts);
      lines.sort();
      return lines;
    };
    QTRY_COMPARE(opened(), QStringList({home_->path(), Home("help_eng.txt")}));
    QTRY_VERIFY(w_->findChildren<QProcess*>().isEmpty());
    // The guide in a window of tqc; the folder's path, to copy, with the reason.
    QCOMPARE(w_->findChild<QPlainTextEdit*>("HelpText") != nullptr, status != 0);
    QCOMPARE(
        dialogs_->Calls("message:"),
        status == 0
            ? QStringList()
            : QStringList(
                  {"message:Cannot open the folder of the definition files:\n" + home_->path() +
                   QString("\n(xdg-open ended with status %1 (%2)):48").arg(status).arg(why)}));
  }

  void LoadDefinitionReportsAFileItCannotRead() {
    w_->N10->trigger();  // cancelled
    QCOMPARE(dialogs_->Calls("open:"),
             QStringList({"open::Load replacement definition files (*.def)"}));
    QVERIFY(dialogs_->Calls("message:").isEmpty());
    dialogs_->Opens.push_back(Home("sub/gone.def"));
    w_->N10->trigger();
    const QStringList messages = dialogs_->Calls("message:");
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages.first().contains(Home("sub/gone.def")), qPrintable(messages.first()));
    // The next dialog starts in the folder of the file chosen last.
    w_->N10->trigger();
    QCOMPARE(dialogs_->Calls("open:").last(),
             "open:" + Home("sub") + ":Load replacement definition files (*.def)");
  }

  void LoadDefinitionSaysWhatItLoaded_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("message");  // % stands for the path
    QTest::newRow("records") << QByteArray("X\n0\nA\na\n; two\nT\n1\nB\nb\n")
                             << " 2 replacement records loaded from my.def"
                             << "";
    QTest::newRow("none") << QByteArray("; only a comment\n") << " No replacement records in my.def"
                          << "";
    QTest::newRow("binary") << QByteArray("X\n0\nA\0\na\n", 9) << " No replacement records loaded"
                            << "definition file %: not a text file";
  }

  void LoadDefinitionSaysWhatItLoaded() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, status);
    QFETCH(QString, message);
    dialogs_->Opens.push_back(WriteHeader("my.def", bytes));
    w_->N10->trigger();
    QCOMPARE(w_->StatusText(), status);
    QCOMPARE(dialogs_->Calls("message:"),
             message.isEmpty()
                 ? QStringList()
                 : QStringList({"message:" + message.replace("%", Home("my.def")) + ":48"}));
  }

  void InAnInstalledTreeTheUsersFilesAndCacheAreHisOwn() {
    // A given home: its own files are the ones to edit; nothing is copied.
    w_->EditDefMnu->trigger();
    QCOMPARE(dialogs_->Calls("document:"), QStringList({"document:" + home_->path()}));

    auto path = [](const QString& p) { return QFile::encodeName(p).toStdString(); };
    HomeLayout home;
    home.From = HomeLayout::Source::Installed;
    home.DataDir = path(Home("share"));
    home.UserDir = path(Home("user"));
    QVERIFY(QDir().mkpath(Home("share")) && QDir().mkpath(Home("user")));
    for (const char* name : {"tqc.dat", "tqc.typ", "tqc.def"})
      QVERIFY(WriteAll(Home("share/") + name, ReadAll(QDir(TQC_DATA_DIR).filePath(name))));
    QVERIFY(WriteAll(Home("user/tqc.typ"), "[TYPE]\nMINE,TMine\n"));
    PickDefinitionFiles(home);
    // The per-user folder cannot take a cache.
    home.CacheDirs = {path(Home("user/inc"))};
    home.CacheRefusals = {"cannot write " + home.CacheDirs[0] + " (Permission denied)"};
    dialogs_->Log.clear();
    w_ = std::make_unique<Ttqc_by_Morlen>(dialogs_, home);
    QCOMPARE(w_->Tables().TypeValues.Text(w_->Tables().TypeNames.FindExact("MINE")), "TMine");

    // Said once, after the error count of the first conversion that had a cache to keep.
    const QString header = WriteHeader("ifoo.h", "DECLARE_INTERFACE_(IFoo, IUnknown)\n");
    Open(header);
    QCOMPARE(w_->StatusText(), " Error = 0 - the include cache is not kept: cannot write " +
                                   Home("user/inc") + " (Permission denied)");
    // Too long for a narrow window: cut, whole in its tool tip and in a message on a click.
    w_->resize(300, 300);
    w_->show();
    QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
    QTRY_VERIFY(w_->width() < 400);
    QVERIFY(w_->StatusPanel->text() != w_->StatusText());
    QCOMPARE(w_->StatusPanel->toolTip(), w_->StatusText());
    QTest::mouseClick(w_->StatusPanel, Qt::LeftButton);
    QCOMPARE(dialogs_->Calls("message:"),
             QStringList({"message:" + w_->StatusText().trimmed() + ":48"}));
    dialogs_->Log.clear();
    w_->Edit1->document()->setModified(false);
    Open(header);
    QCOMPARE(w_->StatusText(), QString(" Error = 0"));

    // Edit Definition Files copies what the user lacks, keeps what he has, opens his folder.
    w_->EditDefMnu->trigger();
    QCOMPARE(ReadAll(Home("user/tqc.dat")), ReadAll(Home("share/tqc.dat")));
    QCOMPARE(ReadAll(Home("user/tqc.def")), ReadAll(Home("share/tqc.def")));
    QCOMPARE(ReadAll(Home("user/tqc.typ")), QByteArray("[TYPE]\nMINE,TMine\n"));
    QCOMPARE(dialogs_->Calls("document:"), QStringList({"document:" + Home("user")}));
    QCOMPARE(w_->Home().Dat, path(Home("user/tqc.dat")));
    QVERIFY(dialogs_->Calls("message:").isEmpty());
  }
};

QTEST_MAIN(WindowTest)
#include "main_window_test.moc"
