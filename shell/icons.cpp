// Simple 16 x 16 (and 32 x 32) line drawings for the tool bar, and the program's icon.
#include "icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tqc::shell {

namespace {

void DrawPage(QPainter& p, QRectF r) {
  QPainterPath path;
  path.moveTo(r.left(), r.top());
  path.lineTo(r.right() - 3, r.top());
  path.lineTo(r.right(), r.top() + 3);
  path.lineTo(r.right(), r.bottom());
  path.lineTo(r.left(), r.bottom());
  path.closeSubpath();
  p.setBrush(Qt::white);
  p.drawPath(path);
  for (qreal y = r.top() + 3.5; y < r.bottom() - 1; y += 2.5)
    p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
}

void Draw(QPainter& p, ToolIcon which) {
  const QColor ink(40, 40, 40);
  p.setPen(QPen(ink, 1));
  switch (which) {
    case ToolIcon::Exit: {
      p.setBrush(QColor(170, 120, 70));
      p.drawRect(QRectF(2.5, 1.5, 8, 13));  // door
      p.setPen(QPen(QColor(200, 30, 30), 2));
      p.drawLine(QPointF(7, 8), QPointF(14, 8));  // arrow out
      p.drawLine(QPointF(11.5, 5), QPointF(14.5, 8));
      p.drawLine(QPointF(11.5, 11), QPointF(14.5, 8));
      break;
    }
    case ToolIcon::Open: {
      p.setBrush(QColor(230, 190, 80));
      p.drawRect(QRectF(1.5, 4.5, 11, 9));
      p.drawRect(QRectF(1.5, 3.5, 5, 1));
      p.setBrush(QColor(250, 215, 110));
      QPolygonF flap{{3.5, 7.5}, {15.5, 7.5}, {12.5, 13.5}, {1.5, 13.5}};
      p.drawPolygon(flap);
      break;
    }
    case ToolIcon::Save: {
      p.setBrush(QColor(60, 90, 170));
      p.drawRect(QRectF(1.5, 1.5, 13, 13));
      p.setBrush(Qt::white);
      p.drawRect(QRectF(3.5, 1.5, 9, 6));
      p.setBrush(QColor(200, 200, 200));
      p.drawRect(QRectF(4.5, 10.5, 7, 4));
      break;
    }
    case ToolIcon::Undo: {
      p.setPen(QPen(QColor(30, 100, 170), 2));
      p.setBrush(Qt::NoBrush);
      QPainterPath arc;
      arc.moveTo(4, 7);
      arc.cubicTo(8, 2, 15, 5, 13, 11);
      p.drawPath(arc);
      p.setBrush(QColor(30, 100, 170));
      p.setPen(Qt::NoPen);
      p.drawPolygon(QPolygonF{{1, 8}, {7, 9}, {4, 3}});
      break;
    }
    case ToolIcon::Cut: {
      p.setBrush(Qt::NoBrush);
      p.drawLine(QPointF(5, 1), QPointF(10.5, 10));
      p.drawLine(QPointF(11, 1), QPointF(5.5, 10));
      p.setPen(QPen(QColor(200, 30, 30), 1.5));
      p.drawEllipse(QPointF(4.5, 12.5), 2.5, 2.5);
      p.drawEllipse(QPointF(11.5, 12.5), 2.5, 2.5);
      break;
    }
    case ToolIcon::Copy:
      DrawPage(p, QRectF(1.5, 1.5, 8, 10));
      DrawPage(p, QRectF(6.5, 4.5, 8, 10));
      break;
    case ToolIcon::Paste: {
      p.setBrush(QColor(170, 120, 70));
      p.drawRect(QRectF(1.5, 2.5, 10, 12));
      p.setBrush(QColor(200, 200, 200));
      p.drawRect(QRectF(4.5, 1.5, 4, 2));
      DrawPage(p, QRectF(6.5, 6.5, 8, 8));
      break;
    }
    case ToolIcon::FindError: {
      p.setPen(QPen(QColor(200, 30, 30), 2));
      p.drawLine(QPointF(3, 2), QPointF(3, 9));  // "!"
      p.drawPoint(QPointF(3, 12));
      p.setPen(QPen(ink, 1.5));
      p.setBrush(QColor(210, 230, 250));
      p.drawEllipse(QPointF(9.5, 6.5), 4, 4);
      p.setPen(QPen(ink, 2.5));
      p.drawLine(QPointF(12.5, 9.5), QPointF(15, 14.5));
      break;
    }
  }
}

QPixmap Render(ToolIcon which, int size) {
  QPixmap pm(size, size);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 16.0, size / 16.0);
  Draw(p, which);
  return pm;
}

// The program's picture: a header page turning into a unit page.
void DrawApp(QPainter& p) {
  const QColor ink(40, 40, 40);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(50, 90, 160));
  p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 2.5, 2.5);
  p.setPen(QPen(ink, 0.5));
  DrawPage(p, QRectF(1.5, 2, 6, 8));
  p.setBrush(QColor(255, 235, 150));
  QPainterPath unit;
  const QRectF r(8.5, 6, 6, 8.5);
  unit.addRect(r);
  p.drawPath(unit);
  for (qreal y = r.top() + 2; y < r.bottom() - 1; y += 2)
    p.drawLine(QPointF(r.left() + 1.5, y), QPointF(r.right() - 1.5, y));
  p.setPen(QPen(QColor(230, 60, 40), 1.5));
  p.drawLine(QPointF(4, 12.5), QPointF(7.5, 12.5));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(230, 60, 40));
  p.drawPolygon(QPolygonF{{7, 10.5}, {9.5, 12.5}, {7, 14.5}});
}

}  // namespace

QImage RenderAppIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 16.0, size / 16.0);
  DrawApp(p);
  p.end();
  return image;
}

QIcon MakeAppIcon() {
  QIcon icon;
  for (int size : {16, 32, 48}) icon.addPixmap(QPixmap::fromImage(RenderAppIcon(size)));
  return icon;
}

QIcon MakeToolIcon(ToolIcon which) {
  QIcon icon;
  icon.addPixmap(Render(which, 16));
  icon.addPixmap(Render(which, 32));
  return icon;
}

}  // namespace tqc::shell
