// TAboutBox, the About box: the program's icon, its name and its product version. A click
// anywhere on it closes it.
#pragma once

#include <QDialog>
#include <QWidget>

class QLabel;

namespace tqc::shell {

// A bold caption with a white shade under the text.
class ShadeLabel : public QWidget {
  Q_OBJECT

 public:
  ShadeLabel(const QString& text, QWidget* parent);
  QString Text() const { return text_; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  QString text_;
};

class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutBox(const QString& productVersionText, QWidget* parent = nullptr);

  QLabel* ProgramIcon;
  ShadeLabel* ProductName;
  QLabel* Version;

 protected:
  void mouseReleaseEvent(QMouseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void LayOut();
};

}  // namespace tqc::shell
