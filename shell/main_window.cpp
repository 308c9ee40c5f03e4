// The main window: its parts, its commands and the road of one conversion from Open to the
// unit shown in the pane.
#include "main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTimer>
#include <QToolBar>
#include <QWheelEvent>
#include <optional>
#include <utility>

#include "about.h"
#include "engine/conversion.h"
#include "engine/type_mapping.h"
#include "help_viewer.h"
#include "icons.h"
#include "startup.h"
#include "tables/file_io.h"
#include "tables/replacements.h"
#include "vart.h"

namespace tqc::shell {

namespace {

const QString kHeaderFilter = QStringLiteral("Header files (*.h *.idl)");
const QString kUnitFilter = QStringLiteral("Delphi Unit Files (*.pas)");
const QString kDefFilter = QStringLiteral("Load replacement definition files (*.def)");
const QString kHelpFile = QStringLiteral("help_eng.txt");
const QString kNoFurtherError = QStringLiteral(" No further error");

// Units up to this many lines are shown in one go (a few milliseconds); larger ones show that
// many lines first.
constexpr int kLinesAtOnce = 2000;
// Lines written between two looks at the clock, and the time of one slice of the fill.
constexpr int kFillPiece = 500;
constexpr qint64 kFillSliceNs = 10'000'000;

std::string PathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The desktop's fixed-width font. Where it resolves to a proportional face (a desktop with no
// fixed-width font configured), any fixed-pitch family that is installed takes its place.
QFont FixedWidthFont() {
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setStyleHint(QFont::Monospace);
  font.setPixelSize(13);
  if (QFontInfo(font).fixedPitch()) return font;
  // The database calls an alias such as "Monospace" fixed-pitch even where it resolves to a
  // proportional face: only the face that a family resolves to counts.
  for (const QString& family : QFontDatabase::families()) {
    if (QFontDatabase::isPrivateFamily(family)) continue;
    QFont candidate = font;
    candidate.setFamily(family);
    if (QFontInfo(candidate).fixedPitch()) return candidate;
  }
  return font;
}

}  // namespace

void ShellHost::ShowStatus(std::string_view text) {
  window_.ShowStatus(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

// A pass over the event queue costs about a microsecond, as much as converting a short line:
// once every few milliseconds keeps the window just as responsive.
void ShellHost::ProcessPendingEvents() {
  if (sinceEvents_.isValid() && sinceEvents_.nsecsElapsed() < 5'000'000) return;
  QCoreApplication::processEvents();
  sinceEvents_.start();
}

std::optional<std::string> ShellHost::AskDllName(std::string_view offered) {
  // The prompt gets the normal cursor back while it waits for the user.
  const bool waiting = QGuiApplication::overrideCursor() != nullptr;
  if (waiting) QGuiApplication::restoreOverrideCursor();
  // The offered name is the header's file name, UTF-8 as file names are; a name whose bytes
  // are no UTF-8 is shown a character per byte, so that accepting it gives the same bytes.
  const QByteArray bytes(offered.data(), static_cast<qsizetype>(offered.size()));
  const QString utf8 = QString::fromUtf8(bytes);
  const bool isUtf8 = utf8.toUtf8() == bytes;
  std::optional<QString> answer = window_.Dialogs().InputText(
      &window_, QStringLiteral("tqc"), QStringLiteral("Input Name of export's DLL"),
      isUtf8 ? utf8 : DecodeAnsi(offered));
  if (waiting) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  if (!answer) return std::nullopt;
  return isUtf8 ? answer->toUtf8().toStdString() : EncodeAnsi(*answer);
}

Ttqc_by_Morlen::Ttqc_by_Morlen(std::shared_ptr<ShellDialogs> dialogs, const QString& homeDir,
                               std::optional<QPoint> instanceWindow, QWidget* parent)
    : Ttqc_by_Morlen(std::move(dialogs), FindProgramHome(homeDir), instanceWindow, parent) {}

Ttqc_by_Morlen::Ttqc_by_Morlen(std::shared_ptr<ShellDialogs> dialogs, HomeLayout home,
                               std::optional<QPoint> instanceWindow, QWidget* parent)
    : QMainWindow(parent),
      dialogs_(dialogs ? std::move(dialogs) : std::make_shared<QtShellDialogs>()),
      home_(std::move(home)) {
  setObjectName(QStringLiteral("Ttqc_by_Morlen"));
  // "[*]" is where the caption shows whether the text is unsaved.
  setWindowTitle(QStringLiteral("tqc[*]"));
  setWindowIconText(applicationTitle_);
  resize(640, 400);
  setAcceptDrops(true);

  CreatePane();
  CreateActions();
  CreateMenus();
  CreateToolBar();

  StatusBar1 = statusBar();
  StatusPanel = new QLabel(StatusBar1);
  StatusPanel->setObjectName(QStringLiteral("StatusPanel"));
  // A long text is cut to the panel's width, never widens the window; its whole text is the
  // panel's tool tip and comes in a message when the panel is clicked.
  StatusPanel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  StatusPanel->installEventFilter(this);
  StatusBar1->addWidget(StatusPanel, 1);
  ShowStatus(QStringLiteral(" Welcome to Delphi's World!"));

  options_.CacheDirs = home_.CacheDirs;
  options_.CacheWriteDir = home_.CacheWriteDir;
  options_.CacheMemo = &cacheMemo_;
  FormCreate(instanceWindow);

  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
          &Ttqc_by_Morlen::ClipboardChanged);
  UpdateCommandStates();
  Cut3->setEnabled(false);
  Copy3->setEnabled(false);
  FormResize();
}

Ttqc_by_Morlen::~Ttqc_by_Morlen() {
  if (waitCursor_) QGuiApplication::restoreOverrideCursor();
}

// Restores the options and the placement, loads the definition tables and takes the version
// texts of the build.
void Ttqc_by_Morlen::FormCreate(std::optional<QPoint> instanceWindow) {
  StoredSettings stored;
  {
    std::unique_ptr<QSettings> store = OpenSettingsStore();
    stored = ReadSettings(*store);
  }
  QRect frame(stored.Left, stored.Top, stored.Width, stored.Height);
  lastDir_ = QString::fromStdString(stored.Dir);
  OleMnu->setChecked(stored.Ole);
  // A number without a call type of its own leaves the designed default, register.
  QAction* call = stored.DefCall == 1   ? stdcall1
                  : stored.DefCall == 2 ? cdecl1
                  : stored.DefCall == 3 ? pascal1
                                        : N8;
  call->setChecked(true);
  options_.VarModeMask = stored.Var1;
  options_.PointerModeMask = stored.Var2;
  options_.VoidPtrAsPointer = stored.Var3;
  CompMnu->setChecked(stored.Cpp);
  ReadyMnu->setChecked(stored.Ready);
  UnixMnu->setChecked(stored.Unix);
  FixedMnu->setChecked(stored.FixedFont);
  // The check marks set the options only when they change.
  OleMnuClick();
  CallTypeClick();
  CompMnuClick();
  ReadyMnuClick();
  options_.Platform = UnixMnu->isChecked() ? tqc::Target::Unix : tqc::Target::Windows;
  FixedMnuClick();

  if (instanceWindow) frame.moveTopLeft(*instanceWindow + QPoint(30, 30));
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    frame = KeepWindowOnScreen(frame, screen->geometry());
  resize(frame.size());
  move(frame.topLeft());

  LoadTables();
  versions_ = ProgramVersionTexts();
  options_.VersionText = versions_.VersionText.toStdString();
}

// The options and the window's place for the next run.
void Ttqc_by_Morlen::WriteSettingsBack() {
  StoredSettings s;
  // A maximized or minimized window keeps the place it returns to.
  QRect client = geometry();
  if (isMaximized() || isMinimized() || isFullScreen()) client = normalGeometry();
  const QPoint frameOffset = geometry().topLeft() - pos();
  s.Top = client.y() - frameOffset.y();
  s.Left = client.x() - frameOffset.x();
  s.Height = client.height();
  s.Width = client.width();
  s.Dir = lastDir_.toStdString();
  s.Ole = OleMnu->isChecked();
  s.DefCall = stdcall1->isChecked() ? 1 : cdecl1->isChecked() ? 2 : pascal1->isChecked() ? 3 : 0;
  s.Var1 = options_.VarModeMask;
  s.Var2 = options_.PointerModeMask;
  s.Var3 = options_.VoidPtrAsPointer;
  s.Cpp = CompMnu->isChecked();
  s.Ready = ReadyMnu->isChecked();
  s.Unix = UnixMnu->isChecked();
  s.FixedFont = FixedMnu->isChecked();
  std::unique_ptr<QSettings> store = OpenSettingsStore();
  const QString failure = WriteSettings(*store, s);
  if (!failure.isEmpty() && !toldSettingsNotKept_) {
    toldSettingsNotKept_ = true;
    Report(failure);
  }
}

void Ttqc_by_Morlen::CreatePane() {
  Edit1 = new PaneEdit(this);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->setAcceptRichText(false);
  Edit1->setLineWrapMode(QTextEdit::NoWrap);
  Edit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Edit1->setTabChangesFocus(false);
  Edit1->setContextMenuPolicy(Qt::CustomContextMenu);
  Edit1->viewport()->installEventFilter(this);
  setCentralWidget(Edit1);

  connect(Edit1, &QTextEdit::selectionChanged, this, [this] {
    if (selectionHandlerAttached_) Edit1SelectionChange();
  });
  // A note (" No further error", the text limit) holds until the caret or the text moves on.
  connect(Edit1, &QTextEdit::textChanged, this, &Ttqc_by_Morlen::EndNote);
  connect(Edit1, &QTextEdit::cursorPositionChanged, this, [this] {
    EndNote();
    if (selectionHandlerAttached_) Edit1SelectionChange();
  });
  connect(Edit1, &QTextEdit::undoAvailable, this, [this] {
    if (selectionHandlerAttached_) Edit1SelectionChange();
  });
  connect(Edit1, &QTextEdit::copyAvailable, this, [this](bool yes) {
    Cut3->setEnabled(yes && !converting_);
    Copy3->setEnabled(yes);
  });
  connect(Edit1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { PopupMenu1->exec(Edit1->mapToGlobal(pos)); });
  connect(Edit1, &PaneEdit::TextLimitReached, this, [this] {
    ShowNote(QStringLiteral(" Text limit of %1 characters reached").arg(Edit1->TextLimit()));
  });
  connect(Edit1, &PaneEdit::DropRefused, this, &Ttqc_by_Morlen::ShowNote);
  connect(Edit1, &PaneEdit::HeaderDropped, this, [this](const QString& path) {
    // Opened once the drop has finished, so the source of the drag is not kept waiting.
    QTimer::singleShot(0, this, [this, path] { OpenDroppedHeader(path); });
  });
}

void Ttqc_by_Morlen::CreateActions() {
  auto make = [this](const char* name, const QString& text, const QKeySequence& key,
                     void (Ttqc_by_Morlen::*handler)()) {
    auto* a = new QAction(text, this);
    a->setObjectName(QLatin1String(name));
    if (!key.isEmpty()) a->setShortcut(key);
    if (handler) connect(a, &QAction::triggered, this, handler);
    return a;
  };
  auto Open = &Ttqc_by_Morlen::Open2Execute;
  Open2 = make("Open2", QStringLiteral("&Open..."), QKeySequence(Qt::CTRL | Qt::Key_O), Open);
  Save3 = make("Save3", QStringLiteral("&Save"), QKeySequence(Qt::CTRL | Qt::Key_S), nullptr);
  connect(Save3, &QAction::triggered, this, [this] { Save3Execute(); });
  Save2 = make("Save2", QStringLiteral("Save &As..."), {}, nullptr);
  connect(Save2, &QAction::triggered, this, [this] { Save2Click(); });
  N10 = make("N10", QStringLiteral("Load &Definition..."), {}, &Ttqc_by_Morlen::N10Click);
  Close2 = make("Close2", QStringLiteral("E&xit"), {}, &Ttqc_by_Morlen::Close2Execute);
  Undo3 = make("Undo3", QStringLiteral("&Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z),
               &Ttqc_by_Morlen::Undo3Execute);
  Cut3 = make("Cut3", QStringLiteral("Cu&t"), QKeySequence(Qt::CTRL | Qt::Key_X), nullptr);
  connect(Cut3, &QAction::triggered, Edit1, &QTextEdit::cut);
  Copy3 = make("Copy3", QStringLiteral("&Copy"), QKeySequence(Qt::CTRL | Qt::Key_C), nullptr);
  connect(Copy3, &QAction::triggered, Edit1, &QTextEdit::copy);
  Paste3 = make("Paste3", QStringLiteral("&Paste"), QKeySequence(Qt::CTRL | Qt::Key_V), nullptr);
  connect(Paste3, &QAction::triggered, Edit1, &QTextEdit::paste);
  del3 = make("del3", QStringLiteral("&Delete"), {}, &Ttqc_by_Morlen::del3Execute);
  All1 = make("All1", QStringLiteral("Select &All"), QKeySequence(Qt::CTRL | Qt::Key_A),
              &Ttqc_by_Morlen::All1Execute);
  Find2 = make("Find2", QStringLiteral("Find &Error"), QKeySequence(Qt::CTRL | Qt::Key_E),
               &Ttqc_by_Morlen::Find2Execute);
  Topic1 = make("Topic1", QStringLiteral("&Help..."), {}, &Ttqc_by_Morlen::Topic1Click);
  About1 = make("About1", QStringLiteral("&About tqc..."), {}, &Ttqc_by_Morlen::HelpBtnClick);
  fdel1 = make("fdel1", QStringLiteral("fdel"), QKeySequence(Qt::CTRL | Qt::Key_U),
               &Ttqc_by_Morlen::fdel1Click);
  bdel1 = make("bdel1", QStringLiteral("bdel"), QKeySequence(Qt::CTRL | Qt::Key_K),
               &Ttqc_by_Morlen::bdel1Click);
  ldel1 = make("ldel1", QStringLiteral("ldel"), QKeySequence(Qt::CTRL | Qt::Key_Y),
               &Ttqc_by_Morlen::ldel1Click);
  SaveBtn = make("SaveBtn", QStringLiteral("Save"), {}, nullptr);
  connect(SaveBtn, &QAction::triggered, this, [this] { Save3Execute(); });
  FindBtn = make("FindBtn", QStringLiteral("Find Error"), {}, &Ttqc_by_Morlen::Find2Execute);

  Close2->setIcon(MakeToolIcon(ToolIcon::Exit));
  Open2->setIcon(MakeToolIcon(ToolIcon::Open));
  Save3->setIcon(MakeToolIcon(ToolIcon::Save));
  SaveBtn->setIcon(MakeToolIcon(ToolIcon::Save));
  Undo3->setIcon(MakeToolIcon(ToolIcon::Undo));
  Cut3->setIcon(MakeToolIcon(ToolIcon::Cut));
  Copy3->setIcon(MakeToolIcon(ToolIcon::Copy));
  Paste3->setIcon(MakeToolIcon(ToolIcon::Paste));
  Find2->setIcon(MakeToolIcon(ToolIcon::FindError));
  FindBtn->setIcon(MakeToolIcon(ToolIcon::FindError));
  Close2->setToolTip(QStringLiteral("Exit"));
  Open2->setToolTip(QStringLiteral("Open"));
  SaveBtn->setToolTip(QStringLiteral("Save"));
  Undo3->setToolTip(QStringLiteral("Undo"));
  Cut3->setToolTip(QStringLiteral("Cut"));
  Copy3->setToolTip(QStringLiteral("Copy"));
  Paste3->setToolTip(QStringLiteral("Paste"));
  FindBtn->setToolTip(QStringLiteral("Find Error"));

  CreateOptionActions();

  // The pane would take these keys as editing keys of its own.
  Edit1->SetWindowKeys({Open2->shortcut(), Save3->shortcut(), Find2->shortcut(), fdel1->shortcut(),
                        bdel1->shortcut(), ldel1->shortcut()});
}

void Ttqc_by_Morlen::CreateOptionActions() {
  auto check = [this](const char* name, const QString& text) {
    auto* a = new QAction(text, this);
    a->setObjectName(QLatin1String(name));
    a->setCheckable(true);
    return a;
  };
  OleMnu = check("OleMnu", QStringLiteral("&Ole Mode"));
  connect(OleMnu, &QAction::toggled, this, &Ttqc_by_Morlen::OleMnuClick);
  CallTypeGroup = new QActionGroup(this);
  CallTypeGroup->setExclusive(true);
  stdcall1 = check("stdcall1", QStringLiteral("&stdcall"));
  cdecl1 = check("cdecl1", QStringLiteral("&cdecl"));
  pascal1 = check("pascal1", QStringLiteral("&pascal"));
  N8 = check("N8", QStringLiteral("&register"));
  for (QAction* a : {stdcall1, cdecl1, pascal1, N8}) {
    CallTypeGroup->addAction(a);
    connect(a, &QAction::toggled, this, &Ttqc_by_Morlen::CallTypeClick);
  }
  N8->setChecked(true);  // the designed default; the stored call type replaces it
  CompMnu = check("CompMnu", QStringLiteral("&def __cplusplus"));
  connect(CompMnu, &QAction::toggled, this, &Ttqc_by_Morlen::CompMnuClick);
  ReadyMnu = check("ReadyMnu", QStringLiteral("Compiler-&Ready Output"));
  connect(ReadyMnu, &QAction::toggled, this, &Ttqc_by_Morlen::ReadyMnuClick);
  UnixMnu = check("UnixMnu", QStringLiteral("&Unix Target"));
  connect(UnixMnu, &QAction::toggled, this, &Ttqc_by_Morlen::UnixMnuClick);
  VarMnu = new QAction(QStringLiteral("&Parameter Mode"), this);
  VarMnu->setObjectName(QStringLiteral("VarMnu"));
  connect(VarMnu, &QAction::triggered, this, &Ttqc_by_Morlen::VarMnuClick);
  EditDefMnu = new QAction(QStringLiteral("&Edit Definition Files..."), this);
  EditDefMnu->setObjectName(QStringLiteral("EditDefMnu"));
  connect(EditDefMnu, &QAction::triggered, this, &Ttqc_by_Morlen::EditDefMnuClick);
  FixedMnu = check("FixedMnu", QStringLiteral("&Fixed-Width Font"));
  connect(FixedMnu, &QAction::toggled, this, &Ttqc_by_Morlen::FixedMnuClick);
}

void Ttqc_by_Morlen::CreateMenus() {
  FileMenu = menuBar()->addMenu(QStringLiteral("&File"));
  FileMenu->addActions({Open2, Save3, Save2});
  FileMenu->addSeparator();
  FileMenu->addAction(N10);
  FileMenu->addSeparator();
  FileMenu->addAction(Close2);

  EditMenu = menuBar()->addMenu(QStringLiteral("&Edit"));
  EditMenu->addAction(Undo3);
  EditMenu->addSeparator();
  EditMenu->addActions({Cut3, Copy3, Paste3, del3});
  EditMenu->addSeparator();
  EditMenu->addAction(All1);
  EditMenu->addSeparator();
  EditMenu->addAction(Find2);

  OtherMenu = menuBar()->addMenu(QStringLiteral("&Other"));
  OtherMenu->addAction(OleMnu);
  C1 = OtherMenu->addMenu(QStringLiteral("Default &CallType"));
  C1->setObjectName(QStringLiteral("C1"));
  C1->addActions({stdcall1, cdecl1, pascal1, N8});
  OtherMenu->addAction(CompMnu);
  OtherMenu->addAction(ReadyMnu);
  OtherMenu->addAction(UnixMnu);
  OtherMenu->addAction(VarMnu);
  OtherMenu->addAction(FixedMnu);
  OtherMenu->addSeparator();
  OtherMenu->addAction(EditDefMnu);

  HelpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
  HelpMenu->addAction(Topic1);
  HelpMenu->addSeparator();
  HelpMenu->addAction(About1);

  HideMenu = new QMenu(QStringLiteral("hide"), this);
  HideMenu->addActions({fdel1, bdel1, ldel1});
  addActions({fdel1, bdel1, ldel1});  // their keys work although the menu is never shown

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  PopupMenu1->addAction(Undo3);
  PopupMenu1->addSeparator();
  PopupMenu1->addActions({Cut3, Copy3, Paste3, del3});
  PopupMenu1->addSeparator();
  PopupMenu1->addAction(All1);
}

void Ttqc_by_Morlen::CreateToolBar() {
  ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setMovable(false);
  ToolBar1->setFloatable(false);
  ToolBar1->setIconSize(QSize(16, 16));
  ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
  ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
  ToolBar1->addAction(Close2);
  ToolBar1->addSeparator();
  ToolBar1->addActions({Open2, SaveBtn});
  ToolBar1->addSeparator();
  ToolBar1->addActions({Undo3, Cut3, Copy3, Paste3});
  ToolBar1->addSeparator();
  ToolBar1->addAction(FindBtn);
}

QString Ttqc_by_Morlen::StatusText() const { return statusText_; }

bool Ttqc_by_Morlen::Modified() const { return Edit1->document()->isModified(); }

std::string Ttqc_by_Morlen::UnitBytes() const {
  return DocumentBytes(*Edit1->document(), encoding_);
}

void Ttqc_by_Morlen::ShowStatus(const QString& text) {
  noteShown_ = false;
  DisplayStatus(text);
}

void Ttqc_by_Morlen::ShowNote(const QString& text) {
  if (!noteShown_) statusBeforeNote_ = statusText_;
  noteShown_ = true;
  DisplayStatus(text);
}

void Ttqc_by_Morlen::EndNote() {
  if (!noteShown_) return;
  noteShown_ = false;
  DisplayStatus(statusBeforeNote_);
}

void Ttqc_by_Morlen::DisplayStatus(const QString& text) {
  if (statusText_ == text) return;
  statusText_ = text;
  StatusPanel->setToolTip(text);
  FitStatus();
  StatusPanel->repaint();
  emit StatusShown(text);
}

void Ttqc_by_Morlen::FitStatus() {
  const int width = StatusPanel->contentsRect().width();
  StatusPanel->setText(
      StatusPanel->fontMetrics().horizontalAdvance(statusText_) <= width
          ? statusText_
          : StatusPanel->fontMetrics().elidedText(statusText_, Qt::ElideRight, width));
}

void Ttqc_by_Morlen::Report(const QString& text) {
  dialogs_->ShowMessageBox(this, text, kMbOkExclamation);
}

// While a conversion runs, nothing may start another one or replace the text.
void Ttqc_by_Morlen::UpdateCommandStates() {
  const bool idle = !converting_;
  for (QAction* a : {Open2, Save3, Save2, N10, Close2, fdel1, bdel1, ldel1}) a->setEnabled(idle);
  SaveBtn->setEnabled(idle && saveBtnOn_);
  FindBtn->setEnabled(idle && findBtnOn_);
  Edit1->setReadOnly(!idle);
  const bool selected = Edit1->textCursor().hasSelection();
  Cut3->setEnabled(idle && selected);
  Copy3->setEnabled(selected);
  Edit1SelectionChange();
  ClipboardChanged();
}

void Ttqc_by_Morlen::ClipboardChanged() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  Paste3->setEnabled(!converting_ && data && data->hasText());
}

void Ttqc_by_Morlen::Edit1SelectionChange() {
  Undo3->setEnabled(!converting_ && Edit1->document()->isUndoAvailable());
  del3->setEnabled(!converting_ && Edit1->textCursor().hasSelection());
}

// ---- Open ----

void Ttqc_by_Morlen::Open2Execute() {
  if (converting_ || !MaybeSave()) return;
  // A folder that no longer exists is forgotten: the dialog would offer its last part as the
  // file name. The dialog then starts in the home folder.
  QString folder = lastDir_;
  if (!lastDir_.isEmpty() && !QFileInfo(lastDir_).isDir()) {
    lastDir_.clear();
    folder = QDir::homePath();
  }
  std::optional<QString> file = dialogs_->OpenFileName(this, folder, kHeaderFilter);
  if (!file) return;
  OpenHeader(*file);
}

void Ttqc_by_Morlen::OpenDroppedHeader(const QString& path) {
  if (converting_ || !MaybeSave()) return;
  OpenHeader(path);
}

void Ttqc_by_Morlen::OpenHeader(const QString& path) {
  lastDir_ = QFileInfo(path).absolutePath();
  Convert(path);
}

void Ttqc_by_Morlen::Convert(const QString& path) {
  if (!tablesError_.isEmpty()) {
    Report(tablesError_);
    return;
  }
  const QFileInfo info(path);
  // A file that cannot be read, or is no text, leaves the shown text alone.
  LoadedHeader header;
  try {
    header = LoadHeader(PathBytes(path));
  } catch (const std::bad_alloc&) {
    Report(QStringLiteral("%1: not enough memory").arg(QDir::toNativeSeparators(path)));
    return;
  } catch (const std::exception& e) {
    Report(QString::fromLocal8Bit(e.what()));
    return;
  }

  // A "[*]" in a name is doubled so that the caption shows it as it is.
  auto literal = [](QString text) {
    return text.replace(QLatin1String("[*]"), QLatin1String("[*][*]"));
  };
  setWindowTitle(QStringLiteral("tqc - ") + literal(info.fileName()) + QStringLiteral(" / ") +
                 literal(QDir::toNativeSeparators(info.absolutePath())) + QStringLiteral("[*]"));
  applicationTitle_ = QStringLiteral("tqc - ") + info.fileName();
  setWindowIconText(applicationTitle_);
  converting_ = true;
  selectionHandlerAttached_ = false;
  saveBtnOn_ = true;
  findBtnOn_ = false;
  hasSaveName_ = false;
  openFileName_ = path;
  UpdateCommandStates();
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  waitCursor_ = true;

  // Options changed while the conversion runs count from the next one.
  const ConversionOptions options = options_;
  auto unit = std::make_unique<OutputPane>();
  std::optional<ConversionResult> result;
  failure_.clear();
  {
    ShellHost host(*this);
    // The old text goes now: laying it out in the background would slow the conversion.
    ShowDocument(NewPaneDocument());
    try {
      result = ConvertText(PathBytes(path), header.Bytes, header.FileDate, tables_, options, host,
                           *unit);
    } catch (const std::bad_alloc&) {
      failure_ = QStringLiteral("%1: not enough memory").arg(QDir::toNativeSeparators(path));
    } catch (const std::exception& e) {
      failure_ = QString::fromLocal8Bit(e.what());
    }
  }
  converted_ = result.has_value();
  findBtnOn_ = result && result->ErrorCount > 0;
  // What became of the include cache goes after the error count; that no folder can take it is
  // said once.
  if (result && !result->CacheError.empty()) {
    ShowStatus(StatusText() + QStringLiteral(" - ") + QString::fromLocal8Bit(result->CacheError));
  } else if (result && result->CacheNotKept && !toldCacheNotKept_) {
    ShowStatus(StatusText() + QStringLiteral(" - ") +
               QString::fromLocal8Bit(home_.CacheNotKeptText()));
    toldCacheNotKept_ = true;
  }
  // After a failure the pane shows what the engine wrote before it.
  StartFill(std::move(unit));
}

// The unit's documents take the pane's font and text options.
QTextDocument* Ttqc_by_Morlen::NewPaneDocument() {
  const QTextDocument* old = Edit1->document();
  auto* doc = new QTextDocument(Edit1);
  doc->setDefaultFont(old->defaultFont());
  doc->setDefaultTextOption(old->defaultTextOption());
  return doc;
}

void Ttqc_by_Morlen::ShowDocument(QTextDocument* doc) {
  QPointer<QTextDocument> previous(Edit1->document());
  Edit1->setDocument(doc);
  if (previous && previous != doc)
    delete previous.data();  // the pane deletes only the document it made itself
  Edit1->setCurrentCharFormat(QTextCharFormat());
  FormResize();
  connect(doc, &QTextDocument::modificationChanged, this, &QWidget::setWindowModified);
  setWindowModified(doc->isModified());
}

// A large unit is shown in two steps. Its first lines go into the pane at once, so the user
// reads them while the whole unit is written into a second document a slice at a time, the
// window answering between the slices; that document then takes the first one's place.
// Filling the shown document instead would lay out every line on the way.
struct Ttqc_by_Morlen::UnitFill {
  explicit UnitFill(std::unique_ptr<OutputPane> unit) : Unit(std::move(unit)), Lines(*Unit) {}
  std::unique_ptr<OutputPane> Unit;
  PaneFill Lines;
  QPointer<QTextDocument> Whole;
};

void Ttqc_by_Morlen::StartFill(std::unique_ptr<OutputPane> unit) {
  fill_ = std::make_unique<UnitFill>(std::move(unit));
  QTextDocument* first = NewPaneDocument();
  first->setUndoRedoEnabled(false);
  fill_->Lines.Append(*first, kLinesAtOnce);
  first->setUndoRedoEnabled(true);
  encoding_ = fill_->Lines.Encoding();
  ShowDocument(first);
  Edit1->setFocus();
  Edit1->ensureCursorVisible();
  if (fill_->Lines.Done()) {
    fill_.reset();
    EndConversion();
    return;
  }
  fill_->Lines.Rewind();
  fill_->Whole = NewPaneDocument();
  fill_->Whole->setUndoRedoEnabled(false);
  QTimer::singleShot(0, this, &Ttqc_by_Morlen::FillStep);
}

void Ttqc_by_Morlen::FillStep() {
  if (!fill_ || !fill_->Whole) return;
  QElapsedTimer slice;
  slice.start();
  do {
    fill_->Lines.Append(*fill_->Whole, kFillPiece);
  } while (!fill_->Lines.Done() && slice.nsecsElapsed() < kFillSliceNs);
  if (!fill_->Lines.Done()) {
    QTimer::singleShot(0, this, &Ttqc_by_Morlen::FillStep);
    return;
  }

  // The first lines were read-only meanwhile: the whole unit starts with the same text, so
  // the caret, the selection and the scrolled place carry over.
  QTextDocument* whole = fill_->Whole;
  whole->setUndoRedoEnabled(true);
  const int anchor = Edit1->textCursor().anchor();
  const int position = Edit1->textCursor().position();
  const int vertical = Edit1->verticalScrollBar()->value();
  const int horizontal = Edit1->horizontalScrollBar()->value();
  ShowDocument(whole);
  QTextCursor caret(whole);
  caret.setPosition(anchor);
  caret.setPosition(position, QTextCursor::KeepAnchor);
  Edit1->setTextCursor(caret);
  Edit1->verticalScrollBar()->setValue(vertical);
  Edit1->horizontalScrollBar()->setValue(horizontal);
  fill_.reset();
  EndConversion();
}

void Ttqc_by_Morlen::EndConversion() {
  Edit1->SetLoadedLength(Edit1->TextLength());
  if (waitCursor_) QGuiApplication::restoreOverrideCursor();
  waitCursor_ = false;
  Edit1->document()->setModified(converted_);
  converting_ = false;
  selectionHandlerAttached_ = true;
  UpdateCommandStates();
  if (!failure_.isEmpty()) Report(std::exchange(failure_, QString()));
  if (closePending_) {
    closePending_ = false;
    close();
  }
}

// ---- Save ----

bool Ttqc_by_Morlen::MaybeSave() {
  if (!Modified()) return true;
  // Only No discards the text; Esc or the box's close button cancel what asked.
  const int answer =
      dialogs_->ShowMessageBox(this, QStringLiteral("Save changes ?"), kMbYesNoExclamation);
  if (answer == kIdNo) return true;
  return answer == kIdYes && Save3Execute();
}

bool Ttqc_by_Morlen::Save3Execute() {
  if (converting_) return false;
  if (!Modified()) return true;
  if (hasSaveName_) return WriteUnit(saveFileName_, UnitBytes());
  return Save2Click();
}

bool Ttqc_by_Morlen::Save2Click() {
  if (converting_) return false;
  QString folder = lastDir_;
  QString proposed;
  if (!openFileName_.isEmpty()) {
    const QFileInfo header(openFileName_);
    folder = header.absolutePath();
    // The unit's own name: a Pascal identifier, never that of a unit the compiler ships.
    proposed =
        QString::fromStdString(tqc::UnitNameOf(tables_, header.completeBaseName().toStdString())) +
        QStringLiteral(".pas");
  }
  // A header often lies where the user may not write (an installed include folder).
  const auto writable = [](const QString& dir) {
    const QFileInfo f(dir);
    return !dir.isEmpty() && f.isDir() && f.isWritable();
  };
  if (!writable(folder)) folder = writable(lastSaveDir_) ? lastSaveDir_ : QDir::homePath();
  std::optional<QString> file = dialogs_->SaveFileName(this, folder, proposed, kUnitFilter);
  if (!file) return false;
  if (QFileInfo::exists(*file) &&
      dialogs_->ShowMessageBox(this, QStringLiteral("Overwrite ?"), kMbYesNoExclamation) != kIdYes)
    return false;

  // The unit takes the name of its file, in the text only once the file is written.
  QTextDocument* doc = Edit1->document();
  QTextBlock unitLine;
  for (QTextBlock b = doc->begin(); b.isValid() && !unitLine.isValid(); b = b.next())
    if (b.text().startsWith(QLatin1String("unit "))) unitLine = b;
  // A file named like a reserved word (string.pas) gets the escaped unit name.
  const QString name =
      QLatin1Char(' ') +
      QString::fromStdString(tqc::DeclaredName(QFileInfo(*file).completeBaseName().toStdString())) +
      QLatin1Char(';');
  const std::string bytes =
      unitLine.isValid()
          ? DocumentBytes(*doc, encoding_, unitLine.blockNumber(), QStringLiteral("unit") + name)
          : UnitBytes();
  if (!WriteUnit(*file, bytes)) return false;
  if (unitLine.isValid() && unitLine.text() != QStringLiteral("unit") + name) {
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    QTextCharFormat plain;
    plain.setFontWeight(QFont::Normal);
    QTextCursor c(unitLine);
    c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    // The rename is part of the save, not an edit to undo: an undo would bring back the old
    // name unseen, in a text marked unsaved. The saved unit starts a new undo history.
    doc->setUndoRedoEnabled(false);
    c.insertText(QStringLiteral("unit"), bold);
    c.insertText(name, plain);
    doc->setUndoRedoEnabled(true);
    doc->setModified(false);
  }
  saveFileName_ = *file;
  lastSaveDir_ = QFileInfo(*file).absolutePath();
  hasSaveName_ = true;
  return true;
}

bool Ttqc_by_Morlen::WriteUnit(const QString& path, const std::string& bytes) {
  const FileResult written = WriteFileSafely(PathBytes(path), bytes);
  if (!written) {
    Report(QStringLiteral("Cannot save %1:\n%2")
               .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(written.Reason())));
    return false;
  }
  Edit1->document()->setModified(false);
  return true;
}

// ---- Exit and closing ----

void Ttqc_by_Morlen::Close2Execute() { close(); }

void Ttqc_by_Morlen::closeEvent(QCloseEvent* e) {
  if (converting_) {
    closePending_ = true;  // closed when the conversion has ended
    e->ignore();
    return;
  }
  if (!MaybeSave()) {
    e->ignore();
    return;
  }
  WriteSettingsBack();
  e->accept();
}

// ---- Edit commands ----

void Ttqc_by_Morlen::Undo3Execute() { Edit1->undo(); }

void Ttqc_by_Morlen::del3Execute() {
  QTextCursor c = Edit1->textCursor();
  c.removeSelectedText();
  Edit1->setTextCursor(c);
}

void Ttqc_by_Morlen::All1Execute() { Edit1->selectAll(); }

void Ttqc_by_Morlen::Find2Execute() {
  QTextDocument* doc = Edit1->document();
  QTextCursor from(doc);
  from.setPosition(Edit1->textCursor().selectionEnd());
  const QTextCursor found =
      doc->find(QStringLiteral("Error :"), from,
                QTextDocument::FindCaseSensitively | QTextDocument::FindWholeWords);
  if (found.isNull()) {
    ShowNote(kNoFurtherError);
    return;
  }
  EndNote();
  Edit1->setFocus();
  QTextCursor select(doc);
  select.setPosition(found.selectionStart());
  select.setPosition(found.selectionStart() + 5, QTextCursor::KeepAnchor);
  CentreOn(select);
}

// Selects the cursor's text with its line in the middle of the pane, as far as the text
// above and below allows.
void Ttqc_by_Morlen::CentreOn(const QTextCursor& cursor) {
  // A large text is laid out as it is shown: half a page below the line is taken into the
  // scroll range first, by showing it.
  QScrollBar* bar = Edit1->verticalScrollBar();
  const int half = Edit1->viewport()->height() / 2;
  QTextCursor below(cursor.document());
  below.setPosition(cursor.position());
  below.movePosition(QTextCursor::NextBlock, QTextCursor::MoveAnchor,
                     half / std::max(1, bar->singleStep()) + 1);
  Edit1->setTextCursor(below);
  Edit1->ensureCursorVisible();
  Edit1->setTextCursor(cursor);
  bar->setValue(bar->value() + Edit1->cursorRect().center().y() - half);
}

// The line-editing keys act on the line that holds the caret (the selection start).
void Ttqc_by_Morlen::fdel1Click() {
  QTextCursor c = Edit1->textCursor();
  const int caret = c.selectionStart();
  c.setPosition(Edit1->document()->findBlock(caret).position());
  c.setPosition(caret, QTextCursor::KeepAnchor);
  c.removeSelectedText();
  Edit1->setTextCursor(c);
}

void Ttqc_by_Morlen::bdel1Click() {
  QTextCursor c = Edit1->textCursor();
  const int caret = c.selectionStart();
  const QTextBlock line = Edit1->document()->findBlock(caret);
  c.setPosition(caret);
  c.setPosition(line.position() + line.length() - 1, QTextCursor::KeepAnchor);
  c.removeSelectedText();
  Edit1->setTextCursor(c);
}

void Ttqc_by_Morlen::ldel1Click() {
  QTextCursor c = Edit1->textCursor();
  const QTextBlock line = Edit1->document()->findBlock(c.selectionStart());
  // The last line has no line break of its own: only its text goes.
  const int end =
      std::min(line.position() + line.length(), Edit1->document()->characterCount() - 1);
  c.setPosition(line.position());
  c.setPosition(end, QTextCursor::KeepAnchor);
  c.removeSelectedText();
  Edit1->setTextCursor(c);
}

// ---- Help and About ----

void Ttqc_by_Morlen::Topic1Click() {
  QString path = QDir::current().absoluteFilePath(kHelpFile);
  if (!QFileInfo::exists(path)) path = QFile::decodeName(home_.Help.c_str());
  if (!QFileInfo::exists(path)) {
    Report(kHelpFile + QStringLiteral(" not found."));
    return;
  }
  // When no program on the desktop opens it, the window shows it itself.
  dialogs_->OpenDocument(this, path, [this, path](const QString&) {
    const QString reason = ShowTextWindow(this, path, QStringLiteral("tqc - ") + kHelpFile);
    if (!reason.isEmpty())
      Report(QStringLiteral("Cannot open %1:\n%2").arg(QDir::toNativeSeparators(path), reason));
  });
}

void Ttqc_by_Morlen::HelpBtnClick() {
  TAboutBox box(versions_.ProductVersionText, this);
  PlaceOnMouse(box);
  dialogs_->ExecModal(box);
}

// ---- Options ----
// They take effect at the next conversion; the unit shown is not converted again.

void Ttqc_by_Morlen::OleMnuClick() { options_.OleMode = OleMnu->isChecked(); }

void Ttqc_by_Morlen::CallTypeClick() {
  if (stdcall1->isChecked())
    options_.DefaultCall = CallType::Stdcall;
  else if (cdecl1->isChecked())
    options_.DefaultCall = CallType::Cdecl;
  else if (pascal1->isChecked())
    options_.DefaultCall = CallType::Pascal;
  else
    options_.DefaultCall = CallType::Register;
}

void Ttqc_by_Morlen::CompMnuClick() { options_.DefineCplusplus = CompMnu->isChecked(); }

void Ttqc_by_Morlen::ReadyMnuClick() { options_.CompileReady = ReadyMnu->isChecked(); }

// The target's own sections of the tables come first: they are read again for it.
void Ttqc_by_Morlen::UnixMnuClick() {
  options_.Platform = UnixMnu->isChecked() ? tqc::Target::Unix : tqc::Target::Windows;
  LoadTables();
}

void Ttqc_by_Morlen::LoadTables() {
  tablesError_.clear();
  try {
    // tqc.def is not needed: a file that cannot be read is reported once the window runs.
    for (const std::string& warning :
         LoadDefinitions(tables_, DefinitionPaths{home_.Dat, home_.Typ, home_.Def, home_.Exp,
                                                  TargetSectionName(options_.Platform)}))
      QTimer::singleShot(0, this, [this, text = QString::fromLocal8Bit(warning)] { Report(text); });
  } catch (const std::exception& e) {
    tablesError_ = QString::fromLocal8Bit(e.what());  // no unit is made with empty tables
  }
}

// The pane's font: Arial, 13 pixels high, with tab stops half an inch apart as the text control
// of the platform sets them; or the desktop's fixed-width font at the same height with a tab
// stop every eight columns, so that tab-aligned declarations line up and eight blanks (the
// indent of a continued constant) are as wide as a tab.
void Ttqc_by_Morlen::FixedMnuClick() {
  const bool fixed = FixedMnu->isChecked();
  QFont font = fixed ? FixedWidthFont() : QFont(QStringLiteral("Arial"));
  font.setPixelSize(13);
  Edit1->setFont(font);
  Edit1->document()->setDefaultFont(font);
  Edit1->setTabStopDistance(fixed ? 8 * QFontMetricsF(font).horizontalAdvance(QLatin1Char(' '))
                                  : 48);
}

void Ttqc_by_Morlen::VarMnuClick() {
  TPotDlg dialog(this);
  PlaceOnMouse(dialog);
  dialog.Preselect(options_.VarModeMask, options_.PointerModeMask, options_.VoidPtrAsPointer);
  if (dialogs_->ExecModal(dialog) != QDialog::Accepted) return;
  options_.PointerModeMask = dialog.PointerModeMask();
  options_.VarModeMask = dialog.VarModeMask();
  options_.VoidPtrAsPointer = dialog.VoidPtrAsPointer();
}

void Ttqc_by_Morlen::EditDefMnuClick() {
  // A portable copy and a given home read their own files: those are the ones to edit.
  QString folder = QFile::decodeName(home_.DataDir.c_str());
  if (home_.From == HomeLayout::Source::Installed) {
    try {
      CopyShippedDefinitionFiles(home_);
    } catch (const std::exception& e) {
      Report(QString::fromLocal8Bit(e.what()));
      return;
    }
    // The copies are the files of the next start; the tables in use stay as they are.
    PickDefinitionFiles(home_);
    folder = QFile::decodeName(home_.UserDir.c_str());
    ShowStatus(QStringLiteral(" Definition files: %1 (read when tqc starts)")
                   .arg(QDir::toNativeSeparators(folder)));
  }
  // The path in the message can be copied into a file manager or a shell.
  dialogs_->OpenDocument(this, folder, [this, folder](const QString& reason) {
    Report(QStringLiteral("Cannot open the folder of the definition files:\n%1\n(%2)")
               .arg(QDir::toNativeSeparators(folder), reason));
  });
}

// ---- Load Definition ----

void Ttqc_by_Morlen::N10Click() {
  if (converting_) return;
  std::optional<QString> file = dialogs_->OpenFileName(this, defDir_, kDefFilter);
  if (!file) return;
  defDir_ = QFileInfo(*file).absolutePath();
  const QString name = QFileInfo(*file).fileName();
  try {
    const int records = LoadUserReplacementFile(tables_, PathBytes(*file));
    ShowStatus(
        records == 0 ? QStringLiteral(" No replacement records in %1").arg(name)
        : records == 1
            ? QStringLiteral(" 1 replacement record loaded from %1").arg(name)
            : QStringLiteral(" %1 replacement records loaded from %2").arg(records).arg(name));
  } catch (const std::exception& e) {
    // The records of an earlier file are gone as well.
    ShowStatus(QStringLiteral(" No replacement records loaded"));
    Report(QString::fromLocal8Bit(e.what()));
  }
}

// ---- Wheel, margins, drops ----

void Ttqc_by_Morlen::Edit1MouseWheelDown(int notches) {
  const int steps = notches * QApplication::wheelScrollLines();
  for (int i = 0; i < steps; ++i)
    Edit1->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
}

void Ttqc_by_Morlen::Edit1MouseWheelUp(int notches) {
  const int steps = notches * QApplication::wheelScrollLines();
  for (int i = 0; i < steps; ++i)
    Edit1->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
}

bool Ttqc_by_Morlen::eventFilter(QObject* watched, QEvent* e) {
  if (watched == StatusPanel) {
    if (e->type() == QEvent::Resize) FitStatus();
    if (e->type() == QEvent::MouseButtonRelease && StatusPanel->text() != statusText_)
      Report(statusText_.trimmed());
    return false;
  }
  if (watched == Edit1->viewport() && e->type() == QEvent::Wheel) {
    auto* wheel = static_cast<QWheelEvent*>(e);
    const int dy = wheel->angleDelta().y();
    if (dy == 0) return false;  // sideways: the pane scrolls as usual
    wheelRemainder_ += dy;
    const int notches = wheelRemainder_ / QWheelEvent::DefaultDeltasPerStep;
    wheelRemainder_ %= QWheelEvent::DefaultDeltasPerStep;
    if (notches < 0) Edit1MouseWheelDown(-notches);
    if (notches > 0) Edit1MouseWheelUp(notches);
    e->accept();
    return true;
  }
  return QMainWindow::eventFilter(watched, e);
}

// The text keeps 3 pixels from the left and right edges and 2 from the top and bottom.
void Ttqc_by_Morlen::FormResize() {
  QTextDocument* doc = Edit1->document();
  QTextFrame* root = doc->rootFrame();
  QTextFrameFormat f = root->frameFormat();
  if (f.leftMargin() == 3 && f.rightMargin() == 3 && f.topMargin() == 2 && f.bottomMargin() == 2)
    return;
  f.setLeftMargin(3);
  f.setRightMargin(3);
  f.setTopMargin(2);
  f.setBottomMargin(2);
  // The margins are no edit of the text: not undoable, and the text stays unmodified.
  const bool fresh = !doc->isUndoAvailable() && !doc->isRedoAvailable();
  const bool modified = doc->isModified();
  if (fresh) doc->setUndoRedoEnabled(false);
  root->setFrameFormat(f);
  if (fresh) doc->setUndoRedoEnabled(true);
  doc->setModified(modified);
}

void Ttqc_by_Morlen::resizeEvent(QResizeEvent* e) {
  QMainWindow::resizeEvent(e);
  FormResize();
}

void Ttqc_by_Morlen::dragEnterEvent(QDragEnterEvent* e) {
  if (AnswerFileDrop(e, !converting_) && DroppedHeader(e->mimeData()).isEmpty())
    ShowNote(RefusedDropText(e->mimeData()));
}

void Ttqc_by_Morlen::dropEvent(QDropEvent* e) {
  if (!AnswerFileDrop(e, !converting_) || !e->isAccepted()) return;
  const QString path = DroppedHeader(e->mimeData());
  QTimer::singleShot(0, this, [this, path] { OpenDroppedHeader(path); });
}

}  // namespace tqc::shell
