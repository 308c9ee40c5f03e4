// The text pane: text limit, window keys, dropped headers.
#include "pane_edit.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>
#include <algorithm>
#include <limits>

namespace tqc::shell {

QString DroppedHeader(const QMimeData* data) {
  if (!data || !data->hasUrls()) return {};
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) continue;
    const QString path = url.toLocalFile();
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("h") || suffix == QLatin1String("idl")) return path;
  }
  return {};
}

bool AnswerFileDrop(QDropEvent* e, bool canOpen) {
  if (!e->mimeData() || !e->mimeData()->hasUrls()) return false;
  if (canOpen && !DroppedHeader(e->mimeData()).isEmpty() &&
      (e->possibleActions() & Qt::CopyAction)) {
    e->setDropAction(Qt::CopyAction);
    e->accept();
  } else {
    e->ignore();
  }
  return true;
}

QString RefusedDropText(const QMimeData* data) {
  const QList<QUrl> urls = data ? data->urls() : QList<QUrl>();
  const QString name = urls.isEmpty() ? QString()
                       : urls.first().isLocalFile()
                           ? QFileInfo(urls.first().toLocalFile()).fileName()
                           : urls.first().toDisplayString();
  return QStringLiteral(" Not opened: %1 is no header (.h, .idl)").arg(name);
}

PaneEdit::PaneEdit(QWidget* parent) : QTextEdit(parent) { FollowFont(); }

// One step of the scroll bar is one line as the pane lays it out (the edit's own step is a fixed
// 20 pixels), so the wheel and the arrows scroll whole lines. The layout's line is not the
// font's height: it adds the leading and rounds ascent and descent up, a pixel more with some
// fonts, so a line is laid out once to measure it.
void PaneEdit::FollowFont() {
  QTextDocument line;
  line.setDefaultFont(font());
  line.setDefaultTextOption(document()->defaultTextOption());
  line.setPlainText(QStringLiteral("Xg"));
  const qreal height = line.documentLayout()->blockBoundingRect(line.firstBlock()).height();
  verticalScrollBar()->setSingleStep(std::max(1, qRound(height)));
}

void PaneEdit::changeEvent(QEvent* e) {
  QTextEdit::changeEvent(e);
  if (e->type() == QEvent::FontChange) FollowFont();
}

int PaneEdit::TextLength() const { return document()->characterCount() - 1; }

int PaneEdit::TextLimit() const {
  const qint64 limit = std::max<qint64>(textLimit_, qint64(loadedLength_) + textLimit_);
  return int(std::min<qint64>(limit, std::numeric_limits<int>::max()));
}

int PaneEdit::Room() const {
  const QTextCursor c = textCursor();
  return std::max(TextLimit() - TextLength(), 0) + (c.selectionEnd() - c.selectionStart());
}

void PaneEdit::Refuse() {
  QApplication::beep();
  emit TextLimitReached();
}

bool PaneEdit::event(QEvent* e) {
  // The edit claims some control keys as its own editing keys (Ctrl+K, Ctrl+U and Ctrl+E on
  // X11, Ctrl+Y elsewhere); the window's commands on those keys win.
  if (e->type() == QEvent::ShortcutOverride) {
    auto* k = static_cast<QKeyEvent*>(e);
    const QKeySequence pressed(k->keyCombination());
    for (const QKeySequence& key : windowKeys_) {
      if (key == pressed) {
        e->ignore();
        return true;
      }
    }
  }
  return QTextEdit::event(e);
}

void PaneEdit::keyPressEvent(QKeyEvent* e) {
  if (!isReadOnly()) {
    int adds = 0;
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
      adds = 1;
    } else if (!e->text().isEmpty() && (e->text().at(0).isPrint() || e->text() == "\t") &&
               !(e->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))) {
      adds = static_cast<int>(e->text().size());
    }
    if (adds > 0 && adds > Room()) {
      Refuse();
      e->accept();
      return;
    }
    // Typed text is plain: the edit would give it the style of the character before the caret
    // (a bold keyword, a red "Error").
    if (adds > 0 && e->key() != Qt::Key_Return && e->key() != Qt::Key_Enter) {
      InsertPlain(e->text());
      e->accept();
      return;
    }
  }
  QTextEdit::keyPressEvent(e);
}

void PaneEdit::inputMethodEvent(QInputMethodEvent* e) {
  // A finished composition is typed text as well; one still being composed is left to the edit.
  if (!isReadOnly() && e->preeditString().isEmpty() && e->replacementLength() == 0 &&
      !e->commitString().isEmpty()) {
    InsertPlain(e->commitString());
    e->accept();
    return;
  }
  QTextEdit::inputMethodEvent(e);
}

void PaneEdit::InsertPlain(const QString& text) {
  QTextCursor c = textCursor();
  c.insertText(text, QTextCharFormat());  // replaces the selection in the same undo step
  setTextCursor(c);
  ensureCursorVisible();
}

bool PaneEdit::canInsertFromMimeData(const QMimeData* source) const {
  // Files are opened when they are headers, never inserted as their names.
  return source && !source->hasUrls() && source->hasFormat(QStringLiteral("text/plain"));
}

void PaneEdit::insertFromMimeData(const QMimeData* source) {
  if (!source || !source->hasFormat(QStringLiteral("text/plain")) || isReadOnly()) return;
  QString text = source->text();
  const int room = Room();
  const bool cut = text.size() > room;
  if (cut) text.truncate(std::max(room, 0));
  if (!text.isEmpty()) InsertPlain(text);  // the pane shows no pasted formatting
  if (cut) Refuse();                       // said after the edit, which ends older notes
}

// Text from elsewhere is taken as a copy: a move would let its source delete it. Only a
// selection dragged within the pane moves.
void PaneEdit::CopyUnlessOwn(QDropEvent* e) {
  if (!e->isAccepted() || e->source() == this || e->source() == viewport()) return;
  if (e->possibleActions() & Qt::CopyAction)
    e->setDropAction(Qt::CopyAction);
  else
    e->ignore();
}

void PaneEdit::dragEnterEvent(QDragEnterEvent* e) {
  if (AnswerFileDrop(e, !isReadOnly())) {
    if (!e->isAccepted() && DroppedHeader(e->mimeData()).isEmpty())
      emit DropRefused(RefusedDropText(e->mimeData()));
    return;
  }
  QTextEdit::dragEnterEvent(e);
  CopyUnlessOwn(e);
}

void PaneEdit::dragMoveEvent(QDragMoveEvent* e) {
  if (AnswerFileDrop(e, !isReadOnly())) return;
  QTextEdit::dragMoveEvent(e);
  CopyUnlessOwn(e);
}

void PaneEdit::dropEvent(QDropEvent* e) {
  if (AnswerFileDrop(e, !isReadOnly())) {
    if (e->isAccepted()) emit HeaderDropped(DroppedHeader(e->mimeData()));
    return;
  }
  QTextEdit::dropEvent(e);
  CopyUnlessOwn(e);
}

}  // namespace tqc::shell
