// The modal dialogs of the window behind one small interface, so that tests can answer them:
// message boxes, the file dialogs, the text prompt, opening a document through the desktop,
// and the window's own modal dialogs (the About box, Parameter Mode).
#pragma once

#include <QString>
#include <functional>
#include <optional>

class QDialog;
class QObject;
class QWidget;

namespace tqc::shell {

// Message box flags and answers, as the window's commands use them.
inline constexpr int kMbOkExclamation = 48;     // OK button, exclamation icon
inline constexpr int kMbYesNoExclamation = 52;  // Yes and No buttons, exclamation icon
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;  // a Yes/No question closed with Esc or its close button
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

class ShellDialogs {
 public:
  virtual ~ShellDialogs() = default;
  // A modal message box with the caption "tqc"; returns the button pressed, kIdCancel when a
  // Yes/No question was closed without an answer.
  virtual int ShowMessageBox(QWidget* owner, const QString& text, int flags) = 0;
  // An existing file, or nullopt on Cancel. `filter` is in Qt's syntax.
  virtual std::optional<QString> OpenFileName(QWidget* owner, const QString& folder,
                                              const QString& filter) = 0;
  // The file to save to, or nullopt on Cancel. The caller asks before overwriting.
  virtual std::optional<QString> SaveFileName(QWidget* owner, const QString& folder,
                                              const QString& proposedName,
                                              const QString& filter) = 0;
  // A modal one-line prompt; nullopt on Cancel.
  virtual std::optional<QString> InputText(QWidget* owner, const QString& caption,
                                           const QString& prompt, const QString& text) = 0;
  // Opens a document or a folder with the desktop's program for it. When there is none, or it
  // cannot open the file, `failed` gets the reason (maybe later, never after `context` is gone).
  virtual void OpenDocument(QObject* context, const QString& path,
                            std::function<void(const QString& reason)> failed) = 0;
  // Shows one of the window's own dialogs modally, where the window placed it; returns its
  // result (QDialog::Accepted or QDialog::Rejected).
  virtual int ExecModal(QDialog& dialog) = 0;
};

// The real dialogs.
class QtShellDialogs : public ShellDialogs {
 public:
  int ShowMessageBox(QWidget* owner, const QString& text, int flags) override;
  std::optional<QString> OpenFileName(QWidget* owner, const QString& folder,
                                      const QString& filter) override;
  std::optional<QString> SaveFileName(QWidget* owner, const QString& folder,
                                      const QString& proposedName, const QString& filter) override;
  std::optional<QString> InputText(QWidget* owner, const QString& caption, const QString& prompt,
                                   const QString& text) override;
  void OpenDocument(QObject* context, const QString& path,
                    std::function<void(const QString& reason)> failed) override;
  int ExecModal(QDialog& dialog) override;
};

}  // namespace tqc::shell
