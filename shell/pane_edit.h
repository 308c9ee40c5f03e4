// PaneEdit: the window's text pane, a rich-text edit used as plain text. It adds what the
// plain QTextEdit lacks: a text limit for typing and pasting (never for a converted unit),
// the window's own meaning for some control keys that the edit would take for itself, plain
// style for what the user types or pastes, and headers dropped onto it.
#pragma once

#include <QKeySequence>
#include <QList>
#include <QTextEdit>

class QDropEvent;
class QMimeData;

namespace tqc::shell {

inline constexpr int kDefaultTextLimit = 2097152;

// The first local file of the data that is a header (".h" or ".idl", any case), or empty.
QString DroppedHeader(const QMimeData* data);

// Answers a drag or a drop that carries files (URLs): one with a header is taken as a copy (a
// move would let the source delete the file) when `canOpen`; any other is refused, never
// inserted as text. Returns false, leaving the event alone, when it carries no URLs.
bool AnswerFileDrop(QDropEvent* e, bool canOpen);
// The text for a refused drop of files, for the status bar.
QString RefusedDropText(const QMimeData* data);

class PaneEdit : public QTextEdit {
  Q_OBJECT

 public:
  explicit PaneEdit(QWidget* parent = nullptr);

  // Characters (one per line break) that typing and pasting may add: up to the limit, and in a
  // loaded unit up to its length plus the limit, so that any unit, however long, can be edited.
  // An edit that does not make the text longer is always allowed, also over the limit.
  void SetTextLimit(int limit) { textLimit_ = limit; }
  // The length of the unit just loaded into the pane (0: none).
  void SetLoadedLength(int length) { loadedLength_ = length; }
  int TextLimit() const;
  // Keys that belong to the window's commands even while the pane has the focus.
  void SetWindowKeys(QList<QKeySequence> keys) { windowKeys_ = std::move(keys); }
  // Characters in the text, each line break counted once.
  int TextLength() const;

 signals:
  void HeaderDropped(const QString& path);
  // Files that are not headers were dragged onto the pane (and refused).
  void DropRefused(const QString& text);
  // Typing or pasting would have made the text longer than the limit (and was refused or cut).
  void TextLimitReached();

 protected:
  bool event(QEvent* e) override;
  void changeEvent(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void inputMethodEvent(QInputMethodEvent* e) override;
  bool canInsertFromMimeData(const QMimeData* source) const override;
  void insertFromMimeData(const QMimeData* source) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dragMoveEvent(QDragMoveEvent* e) override;
  void dropEvent(QDropEvent* e) override;

 private:
  void FollowFont();
  // How many characters an insertion may bring: the selection it replaces, plus what is left
  // below the limit.
  int Room() const;
  void Refuse();
  void CopyUnlessOwn(QDropEvent* e);
  // Inserts text typed or pasted by the user, in the plain style, over the selection.
  void InsertPlain(const QString& text);

  int textLimit_ = kDefaultTextLimit;
  int loadedLength_ = 0;
  QList<QKeySequence> windowKeys_;
};

}  // namespace tqc::shell
