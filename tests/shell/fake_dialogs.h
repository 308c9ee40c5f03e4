// Dialogs answered by the test: every call is logged, answers come from queues.
#pragma once

#include <QCursor>
#include <QDialog>
#include <QGuiApplication>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>
#include <optional>

#include "shell_dialogs.h"

class FakeDialogs : public tqc::shell::ShellDialogs {
 public:
  int ShowMessageBox(QWidget*, const QString& text, int flags) override {
    Log << QStringLiteral("message:%1:%2").arg(text).arg(flags);
    return Take(Messages,
                flags == tqc::shell::kMbYesNoExclamation ? tqc::shell::kIdNo : tqc::shell::kIdOk);
  }
  std::optional<QString> OpenFileName(QWidget*, const QString& folder,
                                      const QString& filter) override {
    Log << QStringLiteral("open:%1:%2").arg(folder, filter);
    if (DuringConversion) QTimer::singleShot(0, DuringConversion);
    return Take(Opens, std::optional<QString>());
  }
  std::optional<QString> SaveFileName(QWidget*, const QString& folder, const QString& proposed,
                                      const QString& filter) override {
    Log << QStringLiteral("save:%1:%2:%3").arg(folder, proposed, filter);
    return Take(Saves, std::optional<QString>());
  }
  std::optional<QString> InputText(QWidget*, const QString& caption, const QString& prompt,
                                   const QString& text) override {
    Log << QStringLiteral("input:%1:%2:%3").arg(caption, prompt, text);
    WaitCursorDuringInput = QGuiApplication::overrideCursor() != nullptr;
    return Take(Inputs, std::optional<QString>(text));
  }
  void OpenDocument(QObject* context, const QString& path,
                    std::function<void(const QString&)> failed) override {
    Log << QStringLiteral("document:%1").arg(path);
    if (RealOpener)
      tqc::shell::QtShellDialogs().OpenDocument(context, path, std::move(failed));
    else if (!DocumentOpens)
      failed(QStringLiteral("no program"));
  }
  // Logs the dialog's caption; `OnDialog` (when set) may look at it, change it and answer.
  int ExecModal(QDialog& dialog) override {
    Log << QStringLiteral("dialog:%1").arg(dialog.windowTitle());
    if (OnDialog) return OnDialog(dialog);
    return QDialog::Rejected;
  }

  // Calls whose log entry starts with the prefix.
  QStringList Calls(const QString& prefix) const {
    QStringList out;
    for (const QString& s : Log)
      if (s.startsWith(prefix)) out << s;
    return out;
  }

  QStringList Log;
  std::deque<int> Messages;                                 // default: No, or OK
  std::deque<std::optional<QString>> Opens, Saves, Inputs;  // default: Cancel (Inputs: accept)
  std::function<void()> DuringConversion;
  std::function<int(QDialog&)> OnDialog;  // default: Cancel
  bool WaitCursorDuringInput = false;     // run from the first event processing after Open
  bool DocumentOpens = true;              // the desktop has a program for the document
  bool RealOpener = false;                // documents go to the desktop's opener on PATH

 private:
  template <typename T>
  static T Take(std::deque<T>& q, T fallback) {
    if (q.empty()) return fallback;
    T v = q.front();
    q.pop_front();
    return v;
  }
};
