#include "shell/ui/toolbar_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

namespace kv {
namespace {

const QColor kInk(0x33, 0x3B, 0x48);
const QColor kBlue(0x2F, 0x6F, 0xC8);
const QColor kRed(0xC8, 0x3A, 0x32);
const QColor kGreen(0x2E, 0x9A, 0x4C);
const QColor kPaper(0xFF, 0xFF, 0xFF);
const QColor kYellow(0xE8, 0xB8, 0x30);

void page(QPainter& p, const QColor& fill = kPaper) {
  p.setPen(QPen(kInk, 1));
  p.setBrush(fill);
  QPolygonF sheet({{3.5, 1.5}, {10.5, 1.5}, {13.5, 4.5}, {13.5, 13.5}, {3.5, 13.5}});
  p.drawPolygon(sheet);
  p.drawLine(QPointF(10.5, 1.5), QPointF(10.5, 4.5));
  p.drawLine(QPointF(10.5, 4.5), QPointF(13.5, 4.5));
}

void arrow(QPainter& p, QPointF from, QPointF to, const QColor& colour) {
  p.setPen(QPen(colour, 1.6, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(from, to);
  QLineF line(to, from);
  QLineF a = line;
  a.setLength(4);
  a.setAngle(line.angle() + 35);
  QLineF b = line;
  b.setLength(4);
  b.setAngle(line.angle() - 35);
  p.drawLine(a);
  p.drawLine(b);
}

void curvedArrow(QPainter& p, bool forward) {
  p.setPen(QPen(kBlue, 1.8, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  QPainterPath path;
  if (forward) {
    path.moveTo(3, 11);
    path.cubicTo(3, 3, 12, 3, 12, 8);
    p.drawPath(path);
    p.setBrush(kBlue);
    p.drawPolygon(QPolygonF({{9, 7}, {15, 7}, {12, 11}}));
  } else {
    path.moveTo(13, 11);
    path.cubicTo(13, 3, 4, 3, 4, 8);
    p.drawPath(path);
    p.setBrush(kBlue);
    p.drawPolygon(QPolygonF({{1, 7}, {7, 7}, {4, 11}}));
  }
}

// A small stick figure: the robot as seen in the pose area.
void figure(QPainter& p, double x, const QColor& colour) {
  p.setPen(QPen(colour, 1.3, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(x, 3), 1.8, 1.8);
  p.drawLine(QPointF(x, 5), QPointF(x, 10));
  p.drawLine(QPointF(x - 3, 7), QPointF(x + 3, 7));
  p.drawLine(QPointF(x, 10), QPointF(x - 2.5, 14));
  p.drawLine(QPointF(x, 10), QPointF(x + 2.5, 14));
}

void block(QPainter& p, QRectF r, const QColor& fill) {
  p.setPen(QPen(kInk, 1));
  p.setBrush(fill);
  p.drawRect(r);
}

}  // namespace

QIcon toolbarIcon(int command) {
  QPixmap pixmap(16, 15);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  switch (command) {
    case 40029:  // new motion
      page(p);
      p.setPen(QPen(kYellow, 1.5));
      p.drawLine(QPointF(11, 9), QPointF(15, 13));
      p.drawLine(QPointF(15, 9), QPointF(11, 13));
      break;
    case 40030:  // open
      p.setPen(QPen(kInk, 1));
      p.setBrush(kYellow);
      p.drawPolygon(QPolygonF({{1.5, 3.5}, {6.5, 3.5}, {8, 5.5}, {14.5, 5.5}, {14.5, 13.5}, {1.5, 13.5}}));
      p.setBrush(QColor(0xF6, 0xD6, 0x70));
      p.drawPolygon(QPolygonF({{3.5, 7.5}, {15.5, 7.5}, {13.5, 13.5}, {1.5, 13.5}}));
      break;
    case 40032:  // save
      p.setPen(QPen(kInk, 1));
      p.setBrush(kBlue);
      p.drawRoundedRect(QRectF(1.5, 1.5, 13, 12), 1.5, 1.5);
      p.setBrush(kPaper);
      p.drawRect(QRectF(4.5, 1.5, 7, 5));
      p.setBrush(QColor(0xDD, 0xE4, 0xEE));
      p.drawRect(QRectF(4.5, 9, 7, 4.5));
      break;
    case 40033: curvedArrow(p, false); break;  // undo
    case 40034: curvedArrow(p, true); break;   // redo
    case 40044:  // copy joint values
      figure(p, 5, kInk);
      block(p, QRectF(9.5, 5.5, 5, 7), kPaper);
      block(p, QRectF(11.5, 7.5, 4, 6), kPaper);
      break;
    case 40045:  // paste joint values
      block(p, QRectF(1.5, 3.5, 8, 10), QColor(0xD9, 0xB3, 0x7A));
      block(p, QRectF(3.5, 1.5, 4, 3), kPaper);
      figure(p, 12, kBlue);
      break;
    case 40046:  // left half onto right half
      figure(p, 4, kRed);
      arrow(p, QPointF(7.5, 8), QPointF(10.5, 8), kInk);
      figure(p, 13, kBlue);
      break;
    case 40047:  // right half onto left half
      figure(p, 4, kBlue);
      arrow(p, QPointF(10.5, 8), QPointF(7.5, 8), kInk);
      figure(p, 13, kRed);
      break;
    case 40048:  // mirror
      p.setPen(QPen(kInk, 1, Qt::DashLine));
      p.drawLine(QPointF(8, 0), QPointF(8, 15));
      p.setPen(QPen(kBlue, 1.3));
      p.setBrush(QColor(0x9C, 0xC0, 0xF0));
      p.drawPolygon(QPolygonF({{6.5, 3}, {6.5, 12}, {1.5, 12}}));
      p.setPen(QPen(kRed, 1.3));
      p.setBrush(QColor(0xF0, 0xB0, 0xA8));
      p.drawPolygon(QPolygonF({{9.5, 3}, {9.5, 12}, {14.5, 12}}));
      break;
    case 40094:  // match the base pose
      figure(p, 6, kGreen);
      p.setPen(QPen(kGreen, 1.5));
      p.drawLine(QPointF(10, 9), QPointF(12, 12));
      p.drawLine(QPointF(12, 12), QPointF(15, 5));
      break;
    case 40035:  // split the pose
      block(p, QRectF(1.5, 4.5, 5, 6), QColor(0xFF, 0xFF, 0xB3));
      block(p, QRectF(9.5, 4.5, 5, 6), QColor(0xFF, 0xFF, 0xB3));
      p.setPen(QPen(kRed, 1.2, Qt::DashLine));
      p.drawLine(QPointF(8, 1), QPointF(8, 14));
      break;
    case 40036:  // duplicate the pose
      block(p, QRectF(1.5, 1.5, 8, 7), QColor(0xFF, 0xFF, 0xB3));
      block(p, QRectF(6.5, 6.5, 8, 7), QColor(0xFF, 0xFF, 0xB3));
      break;
    case 40037:  // delete the pose
      block(p, QRectF(2.5, 3.5, 9, 7), QColor(0xFF, 0xFF, 0xB3));
      p.setPen(QPen(kRed, 2, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(8, 7), QPointF(14, 13));
      p.drawLine(QPointF(14, 7), QPointF(8, 13));
      break;
    case 40039:  // play
      p.setPen(Qt::NoPen);
      p.setBrush(kGreen);
      p.drawPolygon(QPolygonF({{4, 2}, {14, 7.5}, {4, 13}}));
      break;
    case 40040:  // stop
      p.setPen(Qt::NoPen);
      p.setBrush(kRed);
      p.drawRoundedRect(QRectF(3, 2.5, 10, 10), 1.5, 1.5);
      break;
    case 40041:  // next pose
      p.setPen(Qt::NoPen);
      p.setBrush(kBlue);
      p.drawPolygon(QPolygonF({{2, 2.5}, {10, 7.5}, {2, 12.5}}));
      p.drawRect(QRectF(11, 2.5, 2.5, 10));
      break;
    case 40042:  // next pose by branch
      p.setPen(QPen(kBlue, 1.5));
      p.drawLine(QPointF(2, 7.5), QPointF(7, 7.5));
      p.drawLine(QPointF(7, 7.5), QPointF(11, 3));
      p.drawLine(QPointF(7, 7.5), QPointF(11, 12));
      p.setBrush(kBlue);
      p.setPen(Qt::NoPen);
      p.drawEllipse(QPointF(12.5, 3), 2, 2);
      p.drawEllipse(QPointF(12.5, 12), 2, 2);
      break;
    case 40088:  // servo position correction
      p.setPen(QPen(kInk, 1.2));
      p.setBrush(QColor(0xC8, 0xD0, 0xDA));
      p.drawEllipse(QPointF(8, 7.5), 5.5, 5.5);
      p.setPen(QPen(kRed, 1.6, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(8, 7.5), QPointF(11, 3.5));
      p.setPen(QPen(kInk, 1));
      for (int i = 0; i < 8; ++i) {
        QLineF tick(QPointF(8, 7.5), QPointF(8, 1));
        tick.setAngle(90 + i * 45);
        tick.setLength(6.5);
        QLineF outer(tick.p2(), tick.p1());
        outer.setLength(1.5);
        p.drawLine(outer);
      }
      break;
    case 40104:  // mode switch and voices
      block(p, QRectF(1.5, 2.5, 9, 10), QColor(0xE4, 0xE8, 0xEE));
      p.setPen(QPen(kInk, 1));
      p.setBrush(kBlue);
      p.drawRect(QRectF(3.5, 4.5, 2, 6));
      p.drawRect(QRectF(6.5, 6.5, 2, 4));
      p.setPen(QPen(kGreen, 1.3));
      p.setBrush(Qt::NoBrush);
      p.drawArc(QRectF(9, 4, 5, 7), -60 * 16, 120 * 16);
      p.drawArc(QRectF(9, 2, 7, 11), -60 * 16, 120 * 16);
      break;
    case 40053:  // servos on
      p.setPen(QPen(kInk, 1));
      p.setBrush(QColor(0x40, 0x48, 0x58));
      p.drawRoundedRect(QRectF(2.5, 4.5, 11, 8), 1.5, 1.5);
      p.setBrush(kYellow);
      p.drawEllipse(QPointF(8, 8.5), 2.5, 2.5);
      p.setPen(QPen(kInk, 1.5));
      p.drawLine(QPointF(8, 1), QPointF(8, 4.5));
      break;
    case 40027:  // online
      p.setPen(QPen(kInk, 1));
      p.setBrush(QColor(0xDD, 0xE4, 0xEE));
      p.drawRect(QRectF(1.5, 5.5, 5, 5));
      p.drawRect(QRectF(9.5, 5.5, 5, 5));
      p.setPen(QPen(kGreen, 1.6));
      p.drawLine(QPointF(6.5, 8), QPointF(9.5, 8));
      p.drawLine(QPointF(4, 5.5), QPointF(4, 2));
      p.drawLine(QPointF(12, 10.5), QPointF(12, 14));
      break;
    default:
      return QIcon();
  }
  p.end();
  return QIcon(pixmap);
}

}  // namespace kv
