// The About box, shown modally by the window's About command.
#include "about.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include "icons.h"

namespace tqc::shell {

ShadeLabel::ShadeLabel(const QString& text, QWidget* parent) : QWidget(parent), text_(text) {
  QFont f = font();
  f.setBold(true);
  setFont(f);
}

QSize ShadeLabel::sizeHint() const {
  const QFontMetrics m(font());
  return QSize(m.horizontalAdvance(text_) + 1, m.height() + 1);
}

void ShadeLabel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setFont(font());
  const int baseline = QFontMetrics(font()).ascent();
  p.setPen(Qt::white);
  p.drawText(QPoint(1, baseline + 1), text_);
  p.setPen(palette().color(QPalette::WindowText));
  p.drawText(QPoint(0, baseline), text_);
}

TAboutBox::TAboutBox(const QString& productVersionText, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("AboutBox"));
  setWindowTitle(QStringLiteral("Version Infomation"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setWindowFlag(Qt::MSWindowsFixedSizeDialogHint, true);
  setFixedSize(203, 61);
  setCursor(Qt::PointingHandCursor);
  QFont f(QStringLiteral("Arial"));
  f.setPointSize(9);
  setFont(f);

  QIcon icon = QApplication::windowIcon();
  if (icon.isNull()) icon = MakeAppIcon();
  ProgramIcon = new QLabel(this);
  ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
  ProgramIcon->setGeometry(4, 4, 32, 32);
  ProgramIcon->setPixmap(icon.pixmap(32, 32));

  ProductName = new ShadeLabel(QStringLiteral("Tequic Converter"), this);
  ProductName->setObjectName(QStringLiteral("ProductName"));
  ProductName->move(40, 4);
  ProductName->resize(ProductName->sizeHint());

  Version = new QLabel(productVersionText, this);
  Version->setObjectName(QStringLiteral("Version"));
  Version->move(94, 23);
  Version->resize(Version->sizeHint());

  for (QWidget* w : {static_cast<QWidget*>(ProgramIcon), static_cast<QWidget*>(ProductName),
                     static_cast<QWidget*>(Version)})
    w->installEventFilter(this);
}

void TAboutBox::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) accept();
}

// The icon and the labels close the box as the box itself does.
bool TAboutBox::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::MouseButtonRelease) {
    auto* w = static_cast<QWidget*>(watched);
    auto* m = static_cast<QMouseEvent*>(e);
    if (m->button() == Qt::LeftButton && w->rect().contains(m->position().toPoint())) {
      accept();
      return true;
    }
  }
  return QDialog::eventFilter(watched, e);
}

}  // namespace tqc::shell
