#include "pose/slider_table.h"

#include <algorithm>

#include "shell/textfile.h"

namespace kv {

SliderRange safeRange(const PoseSlider& slider) {
  return {std::min<int>(slider.lowerLimit, slider.upperLimit), std::max<int>(slider.lowerLimit, slider.upperLimit)};
}

namespace {

// Position numbers are cut to 10 characters before conversion.
int parsePosition(const std::u16string& text) { return parseDecimal(std::u16string_view(text).substr(0, 10)); }

void readFont(FieldReader& fields, PoseSlider& slider) {
  readFontMetrics(fields, slider.font);
  slider.textColour = parseColourField(fields.value());
  slider.textBackground = parseColourField(fields.value());
  readFontStyle(fields, slider.font);
}

// A partner that is not another slider would index outside the pose: such a
// pair is read as no pair.
void normalisePair(PoseSlider& slider, int number) {
  if (slider.pairAttribute < PairNone || slider.pairAttribute > PairLeft) slider.pairAttribute = PairNone;
  if (!validPartner(number, slider.pairPartner)) {
    slider.pairPartner = 0;
    if (slider.pairAttribute == PairRight || slider.pairAttribute == PairLeft) slider.pairAttribute = PairNone;
  }
}

}  // namespace

bool loadSliderFile(const std::filesystem::path& file, SliderTable& table) {
  SliderTable loaded;
  loaded.centreBarPosition = 0.0;  // cleared like every other field; the file sets them
  loaded.clientWidth = 0;
  loaded.clientHeight = 0;
  bool sawCentreBar = false;
  bool sawWindowSize = false;
  int current = -1;
  bool opened = readTaggedFile(file, kSliderFileLineCapacity, [&](std::u16string_view line) {
    if (Cursor at = findKey(line, u"_CENTER_BAR:")) {
      FieldReader fields(line, at);
      loaded.centreBarPosition = fields.real();
      loaded.centreBarState = fields.decimal();
      sawCentreBar = true;
    }
    if (Cursor at = findKey(line, u"_WINDOW_SIZW:")) {
      FieldReader fields(line, at);
      loaded.clientWidth = fields.decimal();
      loaded.clientHeight = fields.decimal();
      sawWindowSize = true;
    }
    if (Cursor at = findKey(line, u"_NUMBER:")) current = FieldReader(line, at).decimal();
    if (current < 0 || current >= kSliderCount) return;
    PoseSlider& slider = loaded.sliders[current];
    if (Cursor at = findKey(line, u"_AXISNAME:")) slider.name = fitField(FieldReader(line, at).text(), kSliderNameFieldSize);
    if (Cursor at = findKey(line, u"_POSITION:")) {
      FieldReader fields(line, at);
      slider.x = parsePosition(fields.value());
      slider.y = parsePosition(fields.value());
    }
    if (Cursor at = findKey(line, u"_MESSAGE:")) {
      FieldReader fields(line, at);
      slider.upperText = fitField(fields.text(), kSideTextFieldSize);
      slider.lowerText = fitField(fields.text(), kSideTextFieldSize);
    }
    if (Cursor at = findKey(line, u"_FONT:")) {
      FieldReader fields(line, at);
      readFont(fields, slider);
    }
    if (Cursor at = findKey(line, u"_PAIR:")) {
      FieldReader fields(line, at);
      slider.pairAttribute = fields.decimal();
      slider.pairPartner = fields.decimal();
    }
    if (Cursor at = findKey(line, u"_PUTSTYLE:")) {
      FieldReader fields(line, at);
      slider.valueFormat = fields.decimal();
      // The places go into a number format: keep them to what the editor offers.
      slider.decimalPlaces = std::clamp(fields.decimal(), 0, kMaxDecimalPlaces);
      slider.unitsPerDegree = fields.real();
    }
    if (Cursor at = findKey(line, u"_DIVISION:")) {
      FieldReader fields(line, at);
      slider.lowerLimit = static_cast<int16_t>(fields.decimal());
      slider.upperLimit = static_cast<int16_t>(fields.decimal());
      slider.stepResolution = static_cast<uint16_t>(fields.decimal());
    }
    if (Cursor at = findKey(line, u"_FLAG:")) {
      FieldReader fields(line, at);
      slider.displayFlags = fields.decimal();
      slider.behaviourFlags = fields.decimal();
    }
  });
  if (!opened) return false;
  for (int i = 0; i < kSliderCount; ++i) normalisePair(loaded.sliders[i], i);
  // Window values a file does not give take the editor's defaults.
  if (!sawCentreBar) loaded.centreBarPosition = 0.6;
  if (!sawWindowSize || loaded.clientWidth <= 0 || loaded.clientHeight <= 0) {
    loaded.clientWidth = 880;
    loaded.clientHeight = 640;
  }
  table = std::move(loaded);
  return true;
}

bool saveSliderFile(const std::filesystem::path& file, const SliderTable& table) {
  TaggedFileWriter out(file);
  out.line(u"_CENTER_BAR:[%f]-[%d]\n", {table.centreBarPosition, table.centreBarState});
  out.line(u"_WINDOW_SIZW:[%d]-[%d]\n\n", {table.clientWidth, table.clientHeight});
  for (int i = 0; i < kSliderCount; ++i) {
    const PoseSlider& s = table.sliders[i];
    const LogicalFont& f = s.font;
    out.line(u"_NUMBER:[%02d]\n", {i});
    out.line(u"_AXISNAME:[[%s]]\n", {s.name});
    out.line(u"_POSITION:[%d]-[%d]\n", {s.x, s.y});
    out.line(u"_MESSAGE:[[%s]]-[[%s]]\n", {s.upperText, s.lowerText});
    out.line(u"_FONT:[%d]-[%d]-[%d]-[%d]-[%d]-[%d]-[%d]-[%d]-[%d,%d,%d]-[%d,%d,%d]-[%d]-[%d]-[[%s]]\n",
             {f.height, f.width, f.orientation, f.quality, f.pitchAndFamily, f.charSet, f.outPrecision,
              f.clipPrecision, colourRed(s.textColour), colourGreen(s.textColour), colourBlue(s.textColour),
              colourRed(s.textBackground), colourGreen(s.textBackground), colourBlue(s.textBackground), f.weight,
              f.styleBits(), f.faceName});
    out.line(u"_PAIR:[%d]-[%d]\n", {s.pairAttribute, s.pairPartner});
    out.line(u"_PUTSTYLE:[%d]-[%d]-[%.4f]\n", {s.valueFormat, s.decimalPlaces, s.unitsPerDegree});
    out.line(u"_DIVISION:[%d]-[%d]-[%d]\n", {static_cast<int>(s.lowerLimit), static_cast<int>(s.upperLimit),
                                              static_cast<int>(s.stepResolution)});
    out.line(u"_FLAG:[%d]-[%d]\n\n", {s.displayFlags & ~kSliderSelected, s.behaviourFlags});
  }
  return out.finish();
}

namespace {

bool isSidePair(const PoseSlider& s) { return s.pairAttribute == PairRight || s.pairAttribute == PairLeft; }

void clearPair(PoseSlider& s) {
  s.pairAttribute = PairNone;
  s.pairPartner = 0;
}

}  // namespace

bool setSliderPair(SliderTable& table, int slider, int partner, bool sliderIsRight) {
  if (slider < 0 || slider >= kSliderCount || !validPartner(slider, partner)) return false;
  for (int i = 0; i < kSliderCount; ++i) {
    PoseSlider& other = table.sliders[i];
    if (i != slider && i != partner && isSidePair(other) &&
        (other.pairPartner == slider || other.pairPartner == partner))
      clearPair(other);
  }
  table.sliders[slider].pairAttribute = sliderIsRight ? PairRight : PairLeft;
  table.sliders[slider].pairPartner = partner;
  table.sliders[partner].pairAttribute = sliderIsRight ? PairLeft : PairRight;
  table.sliders[partner].pairPartner = slider;
  return true;
}

void setSliderUnpaired(SliderTable& table, int slider, int attribute) {
  if (slider < 0 || slider >= kSliderCount) return;
  PoseSlider& s = table.sliders[slider];
  if (isSidePair(s) && validPartner(slider, s.pairPartner)) {
    PoseSlider& former = table.sliders[s.pairPartner];
    if (isSidePair(former) && former.pairPartner == slider) clearPair(former);
  }
  s.pairAttribute = attribute == PairCentre ? PairCentre : PairNone;
  s.pairPartner = 0;
}

}  // namespace kv
