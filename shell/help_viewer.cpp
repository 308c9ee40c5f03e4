// The read-only text window for the guide.
#include "help_viewer.h"

#include <QAction>
#include <QFile>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <QWidget>

#include "pane_text.h"

namespace tqc::shell {

QString ShowTextWindow(QWidget* owner, const QString& path, const QString& caption) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return file.errorString();
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) return file.errorString();
  const std::string text = bytes.toStdString();
  const QString shown = DecodeText(text, ChooseEncoding({text}));

  auto* window = owner->findChild<QWidget*>(QStringLiteral("HelpWindow"));
  QPlainTextEdit* view = nullptr;
  if (window) {
    view = window->findChild<QPlainTextEdit*>(QStringLiteral("HelpText"));
  } else {
    window = new QWidget(owner, Qt::Window);
    window->setObjectName(QStringLiteral("HelpWindow"));
    window->setAttribute(Qt::WA_DeleteOnClose);
    view = new QPlainTextEdit(window);
    view->setObjectName(QStringLiteral("HelpText"));
    view->setReadOnly(true);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The guide lines up its tables with blanks.
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // Closed from the keyboard as a viewer is: Esc, or Ctrl+W.
    auto* close = new QAction(window);
    close->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)});
    QObject::connect(close, &QAction::triggered, window, &QWidget::close);
    window->addAction(close);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    window->resize(owner->size().expandedTo(QSize(640, 480)));
    window->move(owner->pos() + QPoint(30, 30));
  }
  window->setWindowTitle(caption);
  view->setPlainText(shown);
  window->show();
  window->raise();
  window->activateWindow();
  return {};
}

}  // namespace tqc::shell
