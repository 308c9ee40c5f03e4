// The real dialogs of the window.
#include "shell_dialogs.h"

#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

namespace tqc::shell {

int QtShellDialogs::ShowMessageBox(QWidget* owner, const QString& text, int flags) {
  const bool yesNo = (flags & 0x0F) == 4;
  QMessageBox box(QMessageBox::Warning, QStringLiteral("tqc"), text,
                  yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, owner);
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

bool QtShellDialogs::OpenDocument(const QString& path) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

int QtShellDialogs::ExecModal(QDialog& dialog) { return dialog.exec(); }

}  // namespace tqc::shell
