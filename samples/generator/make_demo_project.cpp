// make_demo_project: writes the demo robot project that the editor opens by
// default ("temp/temp.rpj" beside the executable).
//
//   make_demo_project <source folder> <project folder>
//
// Every "<name>.txt" of the source folder (UTF-8, kept readable in the
// repository) becomes "<name>" in the project folder, written line by line
// with the editor's own file writer (UTF-16LE, FF FE, CR LF). Then the twelve
// skin images are drawn into "<project folder>/skin/" as 24-bit BMP files.
// The skin conventions (sizes, magenta colour key) are listed in SKINS.md.
#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPointF>
#include <QRadialGradient>
#include <QRectF>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "shell/text_encoding.h"
#include "shell/textfile.h"

namespace fs = std::filesystem;

namespace {

// ---------------------------------------------------------------- text files

// Converts one UTF-8 source to the editor's file form, line by line; a blank
// source line becomes a line holding only CR LF, as the editor writes them.
bool convertTextFile(const fs::path& source, const fs::path& target) {
  std::ifstream in(source, std::ios::binary);
  if (!in) return false;
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  kv::TextFileHandle file = kv::openTextFile(target, "w");
  if (!file) return false;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    kv::writeText(file.get(), kv::utf8ToUtf16(line) + u"\n");
    start = end + 1;
  }
  return kv::closeTextFile(file) == 0;
}

// What the background needs to know of a pose slider: where it is, and on
// which side of the body its joint lies.
struct SliderPlace {
  int x = 0;
  int y = 0;
  int pairAttribute = 0;  // 1 centre, 2 right, 3 left
  int partner = 0;
  bool disabled = false;
};

// Reads the slider places back from the written axis definition file, with
// the editor's reader, so the background always matches the layout.
std::map<int, SliderPlace> readSliderPlaces(const fs::path& axisFile) {
  std::map<int, SliderPlace> places;
  int current = -1;
  kv::readTaggedFile(axisFile, kv::kSliderFileLineCapacity, [&](std::u16string_view line) {
    if (auto at = kv::findKey(line, u"_NUMBER:")) {
      kv::FieldReader fields(line, *at);
      current = fields.decimal();
    }
    if (current < 0 || current > 61) return;
    SliderPlace& place = places[current];
    if (auto at = kv::findKey(line, u"_POSITION:")) {
      kv::FieldReader fields(line, *at);
      place.x = fields.decimal();
      place.y = fields.decimal();
    }
    if (auto at = kv::findKey(line, u"_PAIR:")) {
      kv::FieldReader fields(line, *at);
      place.pairAttribute = fields.decimal();
      place.partner = fields.decimal();
    }
    if (auto at = kv::findKey(line, u"_FLAG:")) {
      kv::FieldReader fields(line, *at);
      fields.decimal();  // display flags
      place.disabled = (fields.decimal() & 1) != 0;
    }
  });
  return places;
}

// ---------------------------------------------------------------- palette

const QColor kKey(255, 0, 255);  // transparent in every skin but the background

const QColor kBackground(237, 241, 246);  // also the sliders' text background
const QColor kStage(247, 249, 252);
const QColor kStageEdge(221, 227, 235);
const QColor kCentreLine(226, 231, 239);
const QColor kFloor(214, 221, 231);

const QColor kShell(216, 224, 234);
const QColor kShellLight(236, 241, 247);
const QColor kShellEdge(140, 154, 172);
const QColor kFrame(184, 195, 209);
const QColor kVisor(66, 80, 100);
const QColor kEye(100, 216, 242);

const QColor kRightSide(44, 112, 196);   // the robot's right: viewer's left
const QColor kLeftSide(206, 72, 72);
const QColor kCentreSide(96, 110, 128);

const QColor kAccent(46, 125, 220);
const QColor kAccentDark(30, 92, 172);
const QColor kButtonTop(255, 255, 255);
const QColor kButtonBottom(210, 219, 231);
const QColor kButtonEdge(104, 122, 148);
const QColor kGlyph(58, 72, 92);
const QColor kGrooveDark(160, 172, 189);
const QColor kGrooveLight(205, 213, 224);
const QColor kTick(134, 147, 166);
const QColor kMark(240, 142, 32);
const QColor kMarkEdge(184, 96, 12);

// Colours the anti-aliased edges of keyed skins are blended against.
const QColor kPoseMatte = kBackground;
const QColor kMotionMatte(226, 230, 238);

// ---------------------------------------------------------------- image helpers

QImage transparentCanvas(int width, int height) {
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

// Flattens drawn art for the colour key: mostly transparent pixels become
// magenta, the others are laid over `matte`, so that no half-transparent pixel
// turns into a pink fringe.
QImage keyed(const QImage& art, const QColor& matte) {
  QImage out(art.size(), QImage::Format_RGB32);
  for (int y = 0; y < art.height(); ++y) {
    const QRgb* src = reinterpret_cast<const QRgb*>(art.constScanLine(y));
    QRgb* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < art.width(); ++x) {
      const int alpha = qAlpha(src[x]);
      if (alpha < 128) {
        dst[x] = kKey.rgb();
        continue;
      }
      // Premultiplied source over the matte.
      const int rest = 255 - alpha;
      int r = qRed(src[x]) + (matte.red() * rest + 127) / 255;
      int g = qGreen(src[x]) + (matte.green() * rest + 127) / 255;
      int b = qBlue(src[x]) + (matte.blue() * rest + 127) / 255;
      r = std::min(r, 255);
      g = std::min(g, 255);
      b = std::min(b, 255);
      if (r == 255 && g == 0 && b == 255) g = 1;  // never the key by accident
      dst[x] = qRgb(r, g, b);
    }
  }
  return out;
}

bool saveBmp(const QImage& image, const fs::path& file) {
  return image.convertToFormat(QImage::Format_RGB888).save(QString::fromStdString(file.string()), "BMP");
}

QLinearGradient vertical(qreal top, qreal bottom, const QColor& from, const QColor& to) {
  QLinearGradient gradient(0, top, 0, bottom);
  gradient.setColorAt(0, from);
  gradient.setColorAt(1, to);
  return gradient;
}

// A raised button face: light top, slightly darker bottom, thin edge.
void drawRaised(QPainter& p, const QRectF& r, qreal radius) {
  p.setPen(QPen(kButtonEdge, 1));
  p.setBrush(vertical(r.top(), r.bottom(), kButtonTop, kButtonBottom));
  p.drawRoundedRect(r, radius, radius);
}

void drawTriangle(QPainter& p, QPointF a, QPointF b, QPointF c, const QColor& fill) {
  QPainterPath path;
  path.moveTo(a);
  path.lineTo(b);
  path.lineTo(c);
  path.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(fill);
  p.drawPath(path);
}

// Tick marks under a groove at the knob centre positions of 0 %, 10 %, ...
// 100 %; the ends and the middle are longer.
void drawTicks(QPainter& p, int width, int knobWidth, int top, int minorLength, int majorLength) {
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(QPen(kTick, 1));
  const int half = knobWidth / 2;
  const double usable = width - 2 * half;
  for (int i = 0; i <= 10; ++i) {
    const int x = half + static_cast<int>(usable * i / 10.0 + 0.5);
    const int length = (i % 5 == 0) ? majorLength : minorLength;
    p.drawLine(x, top, x, top + length - 1);
  }
  p.setRenderHint(QPainter::Antialiasing, true);
}

void drawGroove(QPainter& p, const QRectF& r) {
  p.setPen(QPen(kGrooveDark, 1));
  p.setBrush(vertical(r.top(), r.bottom(), kGrooveDark, kGrooveLight));
  p.drawRoundedRect(r, r.height() / 2, r.height() / 2);
}

// ---------------------------------------------------------------- skins

// Slot 1: pose slider bar. Bar length = width, bar height = height.
QImage poseSlider() {
  QImage art = transparentCanvas(100, 14);
  QPainter p(&art);
  p.setRenderHint(QPainter::Antialiasing);
  drawGroove(p, QRectF(0.5, 4.5, 99, 5));
  drawTicks(p, 100, 11, 11, 2, 3);
  p.end();
  return keyed(art, kPoseMatte);
}

// A knob: raised face with a centre line in the accent colour.
QImage knob(int width, int height, const QColor& matte) {
  QImage art = transparentCanvas(width, height);
  QPainter p(&art);
  p.setRenderHint(QPainter::Antialiasing);
  drawRaised(p, QRectF(0.5, 0.5, width - 1, height - 1), 3);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.fillRect(QRect(width / 2, 4, 1, height - 8), kAccent);
  p.setPen(QPen(QColor(255, 255, 255, 200), 1));
  p.drawLine(2, 1, width - 3, 1);
  p.end();
  return keyed(art, matte);
}

// Slot 5: the knob's shadow: the same outline, hatched in grey.
QImage poseKnobShadow() {
  QImage art = transparentCanvas(11, 20);
  QPainter p(&art);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath outline;
  outline.addRoundedRect(QRectF(0.5, 0.5, 10, 19), 3, 3);
  p.fillPath(outline, QColor(178, 188, 202));
  p.save();
  p.setClipPath(outline);
  p.setPen(QPen(QColor(124, 136, 154), 1.2));
  for (int k = -20; k < 32; k += 4) p.drawLine(QPointF(k, 20), QPointF(k + 20, 0));
  p.restore();
  p.setPen(QPen(QColor(112, 124, 142), 1));
  p.setBrush(Qt::NoBrush);
  p.drawPath(outline);
  p.end();
  return keyed(art, kPoseMatte);
}

// A pair of step buttons stacked: up on the upper half, down on the lower.
QImage spin(int width, int height, const QColor& matte) {
  QImage art = transparentCanvas(width, height);
  QPainter p(&art);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal half = height / 2.0;
  const QRectF up(0.5, 0.5, width - 1, half - 1);
  const QRectF down(0.5, half + 0.5, width - 1, half - 1);
  drawRaised(p, up, 2.5);
  drawRaised(p, down, 2.5);
  const qreal cx = width / 2.0;
  const qreal w = width * 0.26;
  const qreal h = half * 0.36;
  const qreal upMid = half / 2.0;
  const qreal downMid = half + half / 2.0;
  drawTriangle(p, QPointF(cx, upMid - h / 2 - 0.3), QPointF(cx - w, upMid + h / 2 + 0.3),
               QPointF(cx + w, upMid + h / 2 + 0.3), kGlyph);
  drawTriangle(p, QPointF(cx, downMid + h / 2 + 0.3), QPointF(cx - w, downMid - h / 2 - 0.3),
               QPointF(cx + w, downMid - h / 2 - 0.3), kGlyph);
  p.end();
  return keyed(art, matte);
}

// Slot 4: the base pose mark under the bar, a small triangle pointing up.
QImage poseReferenceMark() {
  QImage art = transparentCanvas(9, 6);
  QPainter p(&art);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath path;
  path.moveTo(4.5, 0.2);
  path.lineTo(8.8, 5.8);
  path.lineTo(0.2, 5.8);
  path.closeSubpath();
  p.fillPath(path, kMarkEdge);
  QPainterPath inner;
  inner.moveTo(4.5, 1.9);
  inner.lineTo(7.1, 5.0);
  inner.lineTo(1.9, 5.0);
  inner.closeSubpath();
  p.fillPath(inner, kMark);
  p.end();
  return keyed(art, kPoseMatte);
}

// Slot 6: servo-enable box, unchecked cell then checked cell, 13 x 13 each.
QImage poseCheckBox() {
  QImage art = transparentCanvas(26, 13);
  QPainter p(&art);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(122, 136, 156), 1));
  p.setBrush(vertical(0, 13, QColor(255, 255, 255), QColor(236, 240, 246)));
  p.drawRoundedRect(QRectF(0.5, 0.5, 12, 12), 2.5, 2.5);
  p.setPen(QPen(kAccentDark, 1));
  p.setBrush(vertical(0, 13, QColor(72, 146, 232), kAccent));
  p.drawRoundedRect(QRectF(13.5, 0.5, 12, 12), 2.5, 2.5);
  QPainterPath tick;
  tick.moveTo(16.3, 6.6);
  tick.lineTo(18.7, 9.0);
  tick.lineTo(22.9, 3.9);
  p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  p.drawPath(tick);
  p.end();
  return keyed(art, kPoseMatte);
}

// Slot 7: the motion area's slider bar.
QImage motionSlider() {
  QImage art = transparentCanvas(120, 12);
  QPainter p(&art);
  p.setRenderHint(QPainter::Antialiasing);
  drawGroove(p, QRectF(0.5, 3.5, 119, 4));
  drawTicks(p, 120, 9, 9, 2, 3);
  p.end();
  return keyed(art, kMotionMatte);
}

// Slot 10: the digits 0 to 9, 8 x 12 each, lit on a dark display. At this
// size a hand-set 5 x 8 pixel font reads better than smoothed strokes.
QImage motionDigits() {
  constexpr int kCell = 8;
  static const char* const kGlyphs[10][8] = {
      {" ### ", "#   #", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "},
      {"  #  ", " ##  ", "# #  ", "  #  ", "  #  ", "  #  ", "  #  ", "#####"},
      {" ### ", "#   #", "    #", "   # ", "  #  ", " #   ", "#    ", "#####"},
      {" ### ", "#   #", "    #", "  ## ", "    #", "    #", "#   #", " ### "},
      {"   # ", "  ## ", " # # ", "#  # ", "#####", "   # ", "   # ", "   # "},
      {"#####", "#    ", "#### ", "    #", "    #", "    #", "#   #", " ### "},
      {" ### ", "#    ", "#    ", "#### ", "#   #", "#   #", "#   #", " ### "},
      {"#####", "    #", "   # ", "   # ", "  #  ", "  #  ", "  #  ", "  #  "},
      {" ### ", "#   #", "#   #", " ### ", "#   #", "#   #", "#   #", " ### "},
      {" ### ", "#   #", "#   #", "#   #", " ####", "    #", "    #", " ### "},
  };
  const QColor display(30, 38, 52);
  const QColor glow(40, 70, 90);  // soft halo around lit pixels
  const QColor lit(120, 228, 252);
  QImage image(10 * kCell, 12, QImage::Format_RGB32);
  image.fill(display);
  auto isLit = [&](int digit, int col, int row) {
    return col >= 0 && col < 5 && row >= 0 && row < 8 && kGlyphs[digit][row][col] == '#';
  };
  for (int digit = 0; digit < 10; ++digit) {
    for (int y = 0; y < 12; ++y) {
      for (int x = 0; x < kCell; ++x) {
        const int col = x - 1, row = y - 2;  // glyph at (1, 2) in its cell
        if (isLit(digit, col, row)) {
          image.setPixelColor(digit * kCell + x, y, lit);
        } else if (isLit(digit, col - 1, row) || isLit(digit, col + 1, row) || isLit(digit, col, row - 1) ||
                   isLit(digit, col, row + 1)) {
          image.setPixelColor(digit * kCell + x, y, glow);
        }
      }
    }
  }
  return image;
}

// Slot 11: two signal lamps, off (grey) then on (green), 12 x 12 each.
QImage motionSignal() {
  QImage art = transparentCanvas(24, 12);
  QPainter p(&art);
  p.setRenderHint(QPainter::Antialiasing);
  auto lamp = [&](qreal cx, const QColor& centre, const QColor& rim, const QColor& edge) {
    QRadialGradient glow(QPointF(cx - 1.5, 4.5), 6.5);
    glow.setColorAt(0, centre);
    glow.setColorAt(1, rim);
    p.setPen(QPen(edge, 1));
    p.setBrush(glow);
    p.drawEllipse(QPointF(cx, 6), 5.3, 5.3);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 150));
    p.drawEllipse(QPointF(cx - 1.8, 4.0), 1.6, 1.2);
  };
  lamp(6, QColor(214, 219, 226), QColor(146, 156, 170), QColor(112, 122, 138));
  lamp(18, QColor(170, 255, 160), QColor(36, 176, 70), QColor(26, 124, 52));
  p.end();
  return keyed(art, kMotionMatte);
}

// ---------------------------------------------------------------- background

// Slot 0: the pose area background, 520 x 600: a front view of the robot on
// a light stage, each servo's joint marked by a circle and tied to its slider
// by a thin leader. The robot faces the viewer: its right side is drawn on the
// left. Right-side joints are blue, left-side red, centre-line grey.
constexpr int kPoseWidth = 520;
constexpr int kPoseHeight = 600;
constexpr qreal kMid = kPoseWidth / 2.0;

// Joint places on the robot's right side (or centre line), by slider number;
// a left-side joint is the mirror image of its right partner.
const std::map<int, QPointF> kRightJoints = {
    {0, {260, 99}},    // head yaw (neck)
    {1, {260, 238}},   // waist yaw
    {2, {226, 112}},   // shoulder pitch
    {4, {220, 133}},   // shoulder roll
    {6, {219, 164}},   // upper arm yaw
    {8, {217, 203}},   // elbow
    {10, {213, 252}},  // hand
    {12, {247, 284}},  // hip yaw
    {14, {247, 302}},  // hip roll
    {16, {247, 320}},  // hip pitch
    {18, {247, 428}},  // knee
    {20, {247, 508}},  // ankle pitch
    {22, {247, 524}},  // ankle roll
};

QPointF mirrored(QPointF point) { return QPointF(kPoseWidth - point.x(), point.y()); }

QColor sideColour(int pairAttribute) {
  if (pairAttribute == 2) return kRightSide;
  if (pairAttribute == 3) return kLeftSide;
  return kCentreSide;
}

// The joint a slider moves: its own entry, or for a left slider the mirror
// image of its right partner's.
bool jointOf(int slider, const SliderPlace& place, QPointF& point) {
  if (auto it = kRightJoints.find(slider); it != kRightJoints.end()) {
    point = it->second;
    return true;
  }
  if (place.pairAttribute != 3) return false;
  if (auto it = kRightJoints.find(place.partner); it != kRightJoints.end()) {
    point = mirrored(it->second);
    return true;
  }
  return false;
}

void shellPart(QPainter& p, const QRectF& r, qreal radius, const QColor& fill = kShell) {
  p.setPen(QPen(kShellEdge, 1.2));
  p.setBrush(vertical(r.top(), r.bottom(), fill.lighter(104), fill));
  p.drawRoundedRect(r, radius, radius);
}

void framePart(QPainter& p, const QRectF& r, qreal radius) {
  p.setPen(QPen(kShellEdge, 1.2));
  p.setBrush(kFrame);
  p.drawRoundedRect(r, radius, radius);
}

// One side of the body (arm and leg); `flip` mirrors it to the left side.
void drawLimbs(QPainter& p, bool flip) {
  p.save();
  if (flip) {
    p.translate(kPoseWidth, 0);
    p.scale(-1, 1);
  }
  // Leg: hip servo block, thigh, knee, shin, ankle block, foot.
  framePart(p, QRectF(239, 274, 17, 56), 5);
  shellPart(p, QRectF(238, 326, 19, 96), 8);
  shellPart(p, QRectF(239, 434, 17, 68), 7);
  p.setPen(QPen(kShellEdge, 1.2));
  p.setBrush(kFrame);
  p.drawEllipse(QPointF(247.5, 428), 9, 9);
  framePart(p, QRectF(240, 500, 15, 30), 4);
  shellPart(p, QRectF(229, 528, 29, 14), 5);
  // Arm: upper arm, forearm, hand, shoulder cap on top.
  shellPart(p, QRectF(212, 122, 14, 80), 6);
  shellPart(p, QRectF(211, 206, 13, 38), 6);
  shellPart(p, QRectF(207, 242, 13, 20), 5, kShellLight);
  p.setPen(QPen(kShellEdge, 1.2));
  p.setBrush(vertical(100, 124, kShellLight, kShell));
  p.drawEllipse(QPointF(225, 113), 12, 11);
  p.restore();
}

void drawRobot(QPainter& p) {
  // Floor shadow under the feet.
  p.setPen(Qt::NoPen);
  p.setBrush(kFloor);
  p.drawEllipse(QPointF(kMid, 543), 50, 5);

  // Pelvis and torso.
  shellPart(p, QRectF(236, 230, 48, 42), 10);
  framePart(p, QRectF(244, 222, 32, 16), 4);  // waist servo
  drawLimbs(p, false);
  drawLimbs(p, true);
  shellPart(p, QRectF(233, 103, 54, 122), 11);
  // Chest plate with status lamp and speaker grille.
  shellPart(p, QRectF(242, 114, 36, 52), 7, kShellLight);
  p.setPen(QPen(kShellEdge, 1));
  p.setBrush(QColor(120, 210, 140));
  p.drawEllipse(QPointF(kMid, 128), 4, 4);
  p.setPen(QPen(kShellEdge, 1.4, Qt::SolidLine, Qt::RoundCap));
  for (int i = 0; i < 3; ++i) p.drawLine(QPointF(251, 143 + 6 * i), QPointF(269, 143 + 6 * i));
  // Abdomen plates.
  p.setPen(QPen(kShellEdge, 1, Qt::SolidLine, Qt::RoundCap));
  for (int i = 0; i < 3; ++i) p.drawLine(QPointF(246, 180 + 11 * i), QPointF(274, 180 + 11 * i));

  // Neck, head with visor and eyes, antenna.
  framePart(p, QRectF(253, 88, 14, 18), 3);
  p.setPen(QPen(kShellEdge, 1.4, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(kMid, 46), QPointF(kMid, 41));
  p.setBrush(kAccent);
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPointF(kMid, 41), 2.4, 2.4);
  shellPart(p, QRectF(238, 46, 44, 44), 13);
  p.setPen(Qt::NoPen);
  p.setBrush(kVisor);
  p.drawRoundedRect(QRectF(243, 60, 34, 15), 7, 7);
  p.setBrush(kEye);
  p.drawEllipse(QPointF(252, 67.5), 3.2, 3.2);
  p.drawEllipse(QPointF(268, 67.5), 3.2, 3.2);
}

QImage poseBackground(const std::map<int, SliderPlace>& sliders) {
  QImage image(kPoseWidth, kPoseHeight, QImage::Format_ARGB32_Premultiplied);
  image.fill(kBackground);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);

  // The stage the robot stands on, with the body's centre line.
  p.setPen(QPen(kStageEdge, 1));
  p.setBrush(kStage);
  p.drawRoundedRect(QRectF(206.5, 42.5, 107, 552), 14, 14);
  p.setPen(QPen(kCentreLine, 1, Qt::DashLine));
  p.drawLine(QPointF(kMid, 48), QPointF(kMid, 588));

  drawRobot(p);

  // Leaders from each servo slider's inner end to its joint. A slider's x is
  // the left end of its bar; the lower side text lies left of it, the step
  // buttons and the upper side text right of the bar (about 43 pixels for a
  // side text and its gap). The bar's centre line is 24 pixels below y, under
  // the line of name and value.
  constexpr int kBarAndSpin = 100 + 13;  // pose_slider and pose_spin widths
  constexpr int kSideText = 43;
  constexpr int kBarCentre = 24;
  for (const auto& [number, place] : sliders) {
    QPointF joint;
    if (place.disabled || number >= 30 || !jointOf(number, place, joint)) continue;
    const qreal left = place.x - kSideText;
    const qreal right = place.x + kBarAndSpin + kSideText;
    QPointF anchor;
    if (right < kMid)
      anchor = QPointF(right + 2, place.y + kBarCentre);
    else if (left > kMid)
      anchor = QPointF(left - 2, place.y + kBarCentre);
    else
      continue;  // a centred slider sits right above its joint
    QColor colour = sideColour(place.pairAttribute);
    colour.setAlpha(150);
    p.setPen(QPen(colour, 1.1));
    p.drawLine(anchor, joint);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(anchor, 2, 2);
  }
  // Joint circles on top of body and leaders.
  for (const auto& [number, place] : sliders) {
    QPointF joint;
    if (place.disabled || number >= 30 || !jointOf(number, place, joint)) continue;
    p.setPen(QPen(sideColour(place.pairAttribute), 2));
    p.setBrush(Qt::white);
    p.drawEllipse(joint, 5, 5);
  }
  p.end();
  return image.convertToFormat(QImage::Format_RGB32);
}

// ---------------------------------------------------------------- main

int fail(const std::string& what) {
  std::fprintf(stderr, "make_demo_project: %s\n", what.c_str());
  return 1;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 3) return fail("usage: make_demo_project <source folder> <project folder>");
  const fs::path sourceFolder = argv[1];
  const fs::path projectFolder = argv[2];

  // Drawing needs no display: the build machine may have none.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);

  std::error_code error;
  fs::create_directories(projectFolder / "skin", error);
  if (error) return fail("cannot create " + (projectFolder / "skin").string());

  std::vector<fs::path> sources;
  for (const auto& entry : fs::directory_iterator(sourceFolder, error))
    if (entry.is_regular_file() && entry.path().extension() == ".txt") sources.push_back(entry.path());
  if (error || sources.empty()) return fail("no sources in " + sourceFolder.string());
  std::sort(sources.begin(), sources.end());
  for (const fs::path& source : sources) {
    const fs::path target = projectFolder / source.stem();  // "medit_sld.ini.txt" -> "medit_sld.ini"
    if (!convertTextFile(source, target)) return fail("cannot write " + target.string());
  }

  const std::map<int, SliderPlace> sliders = readSliderPlaces(projectFolder / "medit_sld.ini");
  if (sliders.empty()) return fail("no sliders in medit_sld.ini");

  // The skin slots in order; the display settings file names these paths.
  const std::vector<std::pair<const char*, QImage>> skins = {
      {"pose_background.bmp", poseBackground(sliders)},
      {"pose_slider.bmp", poseSlider()},
      {"pose_knob.bmp", knob(11, 20, kPoseMatte)},
      {"pose_spin.bmp", spin(13, 20, kPoseMatte)},
      {"pose_refmark.bmp", poseReferenceMark()},
      {"pose_knob_shadow.bmp", poseKnobShadow()},
      {"pose_checkbox.bmp", poseCheckBox()},
      {"motion_slider.bmp", motionSlider()},
      {"motion_knob.bmp", knob(9, 16, kMotionMatte)},
      {"motion_spin.bmp", spin(11, 16, kMotionMatte)},
      {"motion_digits.bmp", motionDigits()},
      {"motion_signal.bmp", motionSignal()},
  };
  for (const auto& [name, image] : skins) {
    const fs::path target = projectFolder / "skin" / name;
    if (!saveBmp(image, target)) return fail("cannot write " + target.string());
  }
  return 0;
}
