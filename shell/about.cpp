// The About box, shown modally by the window's About command.
#include "about.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

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
  // A dialog frame with a close button only, so the caption has the title bar to itself.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setCursor(Qt::PointingHandCursor);
  QFont f(QStringLiteral("Arial"));
  f.setPointSize(9);
  setFont(f);

  QIcon icon = QApplication::windowIcon();
  if (icon.isNull()) icon = MakeAppIcon();
  ProgramIcon = new QLabel(this);
  ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
  ProgramIcon->setPixmap(icon.pixmap(32, 32));
  ProductName = new ShadeLabel(QStringLiteral("Tequic Converter"), this);
  ProductName->setObjectName(QStringLiteral("ProductName"));
  Version = new QLabel(productVersionText, this);
  Version->setObjectName(QStringLiteral("Version"));
  LayOut();

  for (QWidget* w : {static_cast<QWidget*>(ProgramIcon), static_cast<QWidget*>(ProductName),
                     static_cast<QWidget*>(Version)})
    w->installEventFilter(this);
}

// The icon, the name and the version keep their designed places relative to each other (the
// name 36 pixels right of the icon, the version 54 further right and below the name); the box
// grows with the font that the desktop really gives, keeps a margin around its content, and is
// never smaller than its designed 203 x 61 pixels nor too narrow for its caption.
void TAboutBox::LayOut() {
  constexpr int kMargin = 16;
  const QSize name = ProductName->sizeHint();
  const QSize version = Version->sizeHint();
  const QRect iconAt(0, 0, 32, 32);
  const QRect nameAt(QPoint(36, 0), name);
  const QRect versionAt(QPoint(90, std::max(19, nameAt.bottom() + 2)), version);
  const QRect content = iconAt | nameAt | versionAt;

  QFont captionFont = QApplication::font();
  captionFont.setBold(true);
  const QFontMetrics caption(captionFont);
  // The title bar also holds the window's icon and its buttons (some desktops show all three
  // on a fixed-size box), with the desktop's own, often larger, caption font.
  const int captionWidth =
      caption.horizontalAdvance(windowTitle()) + 8 * QFontMetrics(QApplication::font()).height();

  const QSize box(std::max({203, content.width() + 2 * kMargin, captionWidth}),
                  std::max(61, content.height() + 2 * kMargin));
  const QPoint origin((box.width() - content.width()) / 2, (box.height() - content.height()) / 2);
  ProgramIcon->setGeometry(iconAt.translated(origin));
  ProductName->setGeometry(nameAt.translated(origin));
  Version->setGeometry(versionAt.translated(origin));
  setFixedSize(box);
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
