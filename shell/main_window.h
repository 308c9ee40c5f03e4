// Ttqc_by_Morlen: the main window. Its menus, tool bar and pop-up menu share one set of
// actions; Open runs the conversion engine and shows the unit in the pane, the user repairs
// error lines and saves the unit as a ".pas" file.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPoint>
#include <QString>
#include <memory>
#include <optional>
#include <string>

#include "engine/home.h"
#include "engine/host.h"
#include "engine/includes.h"
#include "engine/options.h"
#include "pane_edit.h"
#include "pane_text.h"
#include "settings.h"
#include "shell_dialogs.h"
#include "tables/definition_files.h"

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QStatusBar;
class QTextCursor;
class QTextDocument;
class QToolBar;

namespace tqc::shell {

class Ttqc_by_Morlen;

// Runs the engine's requests through the window: status-bar progress, event processing once
// per input line, and the DLL-name prompt.
class ShellHost : public ConversionHost {
 public:
  explicit ShellHost(Ttqc_by_Morlen& window) : window_(window) {}
  void ShowStatus(std::string_view text) override;
  void ProcessPendingEvents() override;
  std::optional<std::string> AskDllName(std::string_view offered) override;

 private:
  Ttqc_by_Morlen& window_;
  QElapsedTimer sinceEvents_;
};

class Ttqc_by_Morlen : public QMainWindow {
  Q_OBJECT

 public:
  // `dialogs` answers every modal question (the real dialogs when null). `homeDir` holds the
  // definition files and the include cache; when empty they are found from the program's
  // folder (FindProgramHome). `instanceWindow`: the top-left corner of the main window of an
  // instance that was running at start-up; this window then goes 30 pixels right of and below
  // it.
  explicit Ttqc_by_Morlen(std::shared_ptr<ShellDialogs> dialogs = nullptr,
                          const QString& homeDir = QString(),
                          std::optional<QPoint> instanceWindow = std::nullopt,
                          QWidget* parent = nullptr);
  Ttqc_by_Morlen(std::shared_ptr<ShellDialogs> dialogs, HomeLayout home,
                 std::optional<QPoint> instanceWindow = std::nullopt, QWidget* parent = nullptr);
  ~Ttqc_by_Morlen() override;

  // Parts of the window.
  PaneEdit* Edit1 = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QLabel* StatusPanel = nullptr;  // the status bar's one simple panel
  QToolBar* ToolBar1 = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QMenu* FileMenu = nullptr;
  QMenu* EditMenu = nullptr;
  QMenu* OtherMenu = nullptr;
  QMenu* C1 = nullptr;  // Default CallType
  QMenu* HelpMenu = nullptr;
  QMenu* HideMenu = nullptr;  // never shown: carries the line-editing keys

  // Commands (shared by menu, tool bar and pop-up menu).
  QAction* Open2 = nullptr;
  QAction* Save3 = nullptr;
  QAction* Save2 = nullptr;  // Save As
  QAction* N10 = nullptr;    // Load Definition
  QAction* Close2 = nullptr;
  QAction* Undo3 = nullptr;
  QAction* Cut3 = nullptr;
  QAction* Copy3 = nullptr;
  QAction* Paste3 = nullptr;
  QAction* del3 = nullptr;
  QAction* All1 = nullptr;
  QAction* Find2 = nullptr;
  QAction* Topic1 = nullptr;
  QAction* About1 = nullptr;
  // The options of the Other menu.
  QAction* OleMnu = nullptr;
  QAction* stdcall1 = nullptr;
  QAction* cdecl1 = nullptr;
  QAction* pascal1 = nullptr;
  QAction* N8 = nullptr;  // register
  QActionGroup* CallTypeGroup = nullptr;
  QAction* CompMnu = nullptr;
  QAction* ReadyMnu = nullptr;
  QAction* UnixMnu = nullptr;
  QAction* VarMnu = nullptr;
  QAction* EditDefMnu = nullptr;  // Edit Definition Files...
  QAction* FixedMnu = nullptr;    // Fixed-Width Font
  QAction* fdel1 = nullptr;
  QAction* bdel1 = nullptr;
  QAction* ldel1 = nullptr;
  // The Save and Find Error tool buttons have an enabled state of their own.
  QAction* SaveBtn = nullptr;
  QAction* FindBtn = nullptr;

  // Command handlers.
  void Open2Execute();
  bool Save3Execute();  // true when nothing is left unsaved
  bool Save2Click();    // true when the unit was written
  void Close2Execute();
  void Undo3Execute();
  void del3Execute();
  void All1Execute();
  void Find2Execute();
  void Topic1Click();
  void HelpBtnClick();
  void N10Click();
  void fdel1Click();
  void bdel1Click();
  void ldel1Click();
  void Edit1SelectionChange();
  void Edit1MouseWheelDown(int notches);
  void Edit1MouseWheelUp(int notches);
  void FormResize();
  // The options (run when their check marks change, and for Parameter Mode when chosen).
  void OleMnuClick();
  void CallTypeClick();
  void CompMnuClick();
  void ReadyMnuClick();
  void UnixMnuClick();
  void LoadTables();
  void VarMnuClick();
  // The user's own copies of the definition files: made from the shipped ones on first use
  // (never replacing one), then their folder is opened through the desktop.
  void EditDefMnuClick();
  void FixedMnuClick();

  // Open without the dialog (a dropped header): the save question, then the conversion.
  void OpenDroppedHeader(const QString& path);

  // State.
  ConversionOptions& Options() { return options_; }  // set by the options menus
  const VersionTexts& Versions() const { return versions_; }
  DefinitionTables& Tables() { return tables_; }
  const HomeLayout& Home() const { return home_; }
  const QString& LastDir() const { return lastDir_; }
  void SetLastDir(const QString& dir) { lastDir_ = dir; }
  bool HasSaveName() const { return hasSaveName_; }
  const QString& SaveFileName() const { return saveFileName_; }
  const QString& OpenFileName() const { return openFileName_; }
  QString StatusText() const;
  const QString& ApplicationTitle() const { return applicationTitle_; }
  // True from Open until the unit is wholly in the pane (a large unit's first lines are shown
  // before the rest has been filled in).
  bool Converting() const { return converting_; }
  PaneEncoding Encoding() const { return encoding_; }
  bool Modified() const;
  // The text as Save writes it.
  std::string UnitBytes() const;

  // Used by the conversion host.
  void ShowStatus(const QString& text);
  // A passing note: the status it covers returns when the caret moves or the text changes.
  void ShowNote(const QString& text);
  ShellDialogs& Dialogs() { return *dialogs_; }

 signals:
  void StatusShown(const QString& text);

 protected:
  void closeEvent(QCloseEvent* e) override;  // FormCloseQuery
  void resizeEvent(QResizeEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dropEvent(QDropEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void CreateActions();
  void CreateOptionActions();
  void CreateMenus();
  void CreateToolBar();
  void CreatePane();
  void UpdateCommandStates();
  void ClipboardChanged();
  bool MaybeSave();
  bool WriteUnit(const QString& path, const std::string& bytes);
  void OpenHeader(const QString& path);
  void Convert(const QString& path);
  QTextDocument* NewPaneDocument();
  void ShowDocument(QTextDocument* doc);
  void StartFill(std::unique_ptr<OutputPane> unit);
  void FillStep();
  void EndConversion();
  void CentreOn(const QTextCursor& cursor);
  void Report(const QString& text);
  void EndNote();
  void DisplayStatus(const QString& text);
  void FitStatus();  // the status text, cut to the panel's width
  void FormCreate(std::optional<QPoint> instanceWindow);
  void WriteSettingsBack();  // the second half of FormCloseQuery

  struct UnitFill;
  std::unique_ptr<UnitFill> fill_;  // the large unit being filled in
  bool waitCursor_ = false;         // shown from Open until the unit is wholly in the pane
  bool converted_ = false;          // the last conversion ran to its end
  QString failure_;                 // why it did not, reported when the unit is shown

  std::shared_ptr<ShellDialogs> dialogs_;
  HomeLayout home_;
  DefinitionTables tables_;
  ConversionOptions options_;
  VersionTexts versions_;
  IncludeCacheMemo cacheMemo_;  // parsed include caches, re-read when their file changes
  PaneEncoding encoding_ = PaneEncoding::Ansi;

  QString lastDir_;
  QString openFileName_;      // the header opened last
  QString saveFileName_;      // the file Save writes to once hasSaveName_ is set
  QString defDir_;            // folder of the definition file loaded last
  QString statusText_;        // the whole status text (the panel may show it cut)
  QString statusBeforeNote_;  // the status that a note covers
  QString lastSaveDir_;       // folder of the unit saved last
  QString tablesError_;       // why the definition tables could not be read (empty: they were)
  QString applicationTitle_ = QStringLiteral("tqc");
  bool hasSaveName_ = false;
  bool saveBtnOn_ = false;
  bool findBtnOn_ = false;
  bool converting_ = false;
  bool closePending_ = false;
  bool toldCacheNotKept_ = false;
  bool noteShown_ = false;
  bool toldSettingsNotKept_ = false;
  bool selectionHandlerAttached_ = true;
  int wheelRemainder_ = 0;
};

}  // namespace tqc::shell
