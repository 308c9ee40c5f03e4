// The real dialogs of the window.
#include "shell_dialogs.h"

#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>

namespace tqc::shell {

int QtShellDialogs::ShowMessageBox(QWidget* owner, const QString& text, int flags) {
  const bool yesNo = (flags & 0x0F) == 4;
  QMessageBox box(QMessageBox::Warning, QStringLiteral("tqc"), text,
                  yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, owner);
  // Paths and reasons in a message can be copied.
  box.setTextInteractionFlags(Qt::TextSelectableByMouse);
  if (!yesNo) {
    box.exec();
    return kIdOk;
  }
  // Esc and the close button would press No and throw the user's text away; they press a
  // Cancel button that is not shown instead.
  QPushButton* cancel = box.addButton(QMessageBox::Cancel);
  cancel->hide();
  box.setEscapeButton(cancel);
  box.exec();
  if (box.clickedButton() == box.button(QMessageBox::Yes)) return kIdYes;
  if (box.clickedButton() == box.button(QMessageBox::No)) return kIdNo;
  return kIdCancel;
}

std::optional<QString> QtShellDialogs::OpenFileName(QWidget* owner, const QString& folder,
                                                    const QString& filter) {
  // getOpenFileName only accepts a file that exists, in a folder that exists. Given a folder
  // that does not exist, it would offer the folder's last part as the file name.
  const QString start = folder.isEmpty() || QFileInfo(folder).isDir() ? folder : QDir::homePath();
  QString file = QFileDialog::getOpenFileName(owner, QString(), start, filter);
  if (file.isEmpty()) return std::nullopt;
  return file;
}

std::optional<QString> QtShellDialogs::SaveFileName(QWidget* owner, const QString& folder,
                                                    const QString& proposedName,
                                                    const QString& filter) {
  const QString start = proposedName.isEmpty() ? folder : QDir(folder).filePath(proposedName);
  QString file = QFileDialog::getSaveFileName(owner, QString(), start, filter, nullptr,
                                              QFileDialog::DontConfirmOverwrite);
  if (file.isEmpty()) return std::nullopt;
  return file;
}

std::optional<QString> QtShellDialogs::InputText(QWidget* owner, const QString& caption,
                                                 const QString& prompt, const QString& text) {
  bool ok = false;
  QString answer = QInputDialog::getText(owner, caption, prompt, QLineEdit::Normal, text, &ok);
  if (!ok) return std::nullopt;
  return answer;
}

void QtShellDialogs::OpenDocument(QObject* context, const QString& path,
                                  std::function<void(const QString& reason)> failed) {
  // The desktop's opener tells by its exit status whether it found a program that took the
  // file; the toolkit only starts it and reports success in any case.
  const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (opener.isEmpty()) {
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
      failed(QStringLiteral("the desktop has no program to open it"));
    return;
  }
  auto* process = new QProcess(context);
  // Its output goes where tqc's goes: a program it starts may outlive this process object.
  process->setProcessChannelMode(QProcess::ForwardedChannels);
  QObject::connect(process, &QProcess::finished, context,
                   [process, failed](int code, QProcess::ExitStatus status) {
                     process->deleteLater();
                     if (status == QProcess::CrashExit)
                       failed(QStringLiteral("xdg-open crashed"));
                     else if (code != 0)
                       failed(QStringLiteral("xdg-open ended with status %1 (%2)")
                                  .arg(code)
                                  .arg(code == 2   ? QStringLiteral("the file does not exist")
                                       : code == 3 ? QStringLiteral("no program found to open it")
                                       : code == 4 ? QStringLiteral("the program could not open it")
                                                   : QStringLiteral("failed")));
                   });
  QObject::connect(process, &QProcess::errorOccurred, context,
                   [process, failed](QProcess::ProcessError error) {
                     if (error != QProcess::FailedToStart) return;
                     process->deleteLater();
                     failed(QStringLiteral("xdg-open: ") + process->errorString());
                   });
  process->start(opener, {path});
}

int QtShellDialogs::ExecModal(QDialog& dialog) { return dialog.exec(); }

}  // namespace tqc::shell
