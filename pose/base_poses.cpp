#include "pose/base_poses.h"

#include <algorithm>

#include "pose/show_pose.h"
#include "shell/editor_state.h"
#include "shell/messages.h"
#include "shell/string_table.h"
#include "shell/textfile.h"

namespace kv {
namespace {

constexpr int kNoBasePoseString = 40103;
constexpr int kApplyQuestionString = 40106;
constexpr int kEnterNameString = 40139;
constexpr int kTableFullString = 40140;
constexpr int kReplaceQuestionString = 40273;

bool validNumber(int n) { return n >= 0 && n < kBasePoseCount; }
bool validSlider(int slider) { return slider >= 0 && slider < kSliderCount; }

// Calls `item` for each non-empty item of a comma list; empty items (as in
// an empty field) are no items.
template <class F>
void forEachItem(std::u16string_view list, F item) {
  size_t pos = 0;
  while (pos <= list.size()) {
    size_t comma = list.find(u',', pos);
    size_t end = comma == std::u16string_view::npos ? list.size() : comma;
    if (end > pos) item(list.substr(pos, end - pos));
    if (comma == std::u16string_view::npos) break;
    pos = comma + 1;
  }
}

void readEnabledSliders(std::u16string_view list, BasePose& entry) {
  forEachItem(list, [&](std::u16string_view item) {
    // A text without digits is not a slider number (it would read as 0).
    if (item.find_first_of(u"0123456789") == std::u16string_view::npos) return;
    int slider = parseDecimal(item);
    if (validSlider(slider)) entry.sliderEnabled[slider] = true;
  });
}

void readServoBits(std::u16string_view bits, BasePose& entry) {
  for (int i = 0; i < kServoSliderCount && i < static_cast<int>(bits.size()); ++i) {
    if (bits[i] == u'1')
      entry.servoMask |= 1u << i;
    else
      entry.servoMask &= ~(1u << i);
  }
}

void readValues(std::u16string_view list, BasePose& entry) {
  int slider = 0;
  forEachItem(list, [&](std::u16string_view item) {
    while (slider < kSliderCount && !entry.sliderEnabled[slider]) ++slider;
    if (slider >= kSliderCount) return;  // surplus items
    std::u16string_view digits = item.size() > 2 ? item.substr(2) : std::u16string_view();
    entry.values[slider++] = static_cast<int16_t>(static_cast<uint16_t>(parseHex4(digits)));
  });
}

std::u16string enabledList(const BasePose& entry) {
  std::u16string list;
  for (int i = 0; i < kSliderCount; ++i) {
    if (!entry.sliderEnabled[i]) continue;
    if (!list.empty()) list += u',';
    list += formatted(u"%d", {i});
  }
  return list;
}

std::u16string servoBits(const BasePose& entry) {
  std::u16string bits;
  for (int i = 0; i < kServoSliderCount; ++i) bits += (entry.servoMask >> i) & 1u ? u'1' : u'0';
  return bits;
}

std::u16string valueList(const BasePose& entry) {
  std::u16string list;
  for (int i = 0; i < kSliderCount; ++i) {
    if (!entry.sliderEnabled[i]) continue;
    if (!list.empty()) list += u',';
    list += formatted(u"0x%04x", {static_cast<unsigned>(static_cast<uint16_t>(entry.values[i]))});
  }
  return list;
}

// Values, enabled flags and servo bits of an entry from the current pose:
// disabled sliders define nothing.
void fillFromPose(BasePose& entry, const SliderTable& sliders, const PoseValues& pose) {
  entry.servoMask = 0;
  for (int i = 0; i < kSliderCount; ++i) {
    bool enabled = sliders.sliders[i].enabled();
    entry.sliderEnabled[i] = enabled;
    entry.values[i] = enabled ? pose.values[i] : 0;
    if (enabled && i < kServoSliderCount) entry.servoMask |= pose.servoMask & (1u << i);
  }
}

}  // namespace

bool loadBasePoses(const std::filesystem::path& file, BasePoseTable& table) {
  table = BasePoseTable{};
  int defined = 0;  // DEFPOS lines seen
  BasePose* latest = nullptr;
  return readTaggedFile(file, kDefaultLineCapacity, [&](std::u16string_view line) {
    if (Cursor at = findKey(line, u"MAINDEFPOS_NUM:")) {
      int current = FieldReader(line, at).decimal();
      table.current = validNumber(current) ? current : 0;
    }
    if (Cursor at = findKey(line, u"DEFPOS:")) {
      // Entries beyond the 36th are dropped with every line that belongs to them.
      latest = defined < kBasePoseCount ? &table.entries[defined] : nullptr;
      ++defined;
      if (latest) {
        latest->valid = true;
        latest->name = fitField(FieldReader(line, at).text(), kBasePoseNameFieldSize);
      }
    }
    if (!latest) return;
    if (Cursor at = findKey(line, u"AXISENABLE:")) readEnabledSliders(FieldReader(line, at).value(), *latest);
    if (Cursor at = findKey(line, u"SERVOENABLE:")) readServoBits(FieldReader(line, at).value(), *latest);
    if (Cursor at = findKey(line, u"DEFPOS_VALUE:")) readValues(FieldReader(line, at).value(), *latest);
  });
}

bool saveBasePoses(const std::filesystem::path& file, const BasePoseTable& table) {
  TaggedFileWriter out(file);
  out.line(u"MAINDEFPOS_NUM:[%d]\n\n", {table.current});
  for (const BasePose& entry : table.entries) {
    if (!entry.valid) break;
    out.line(u"DEFPOS:[[%s]]\n", {entry.name});
    out.line(u"AXISENABLE:[%s]\n", {enabledList(entry)});
    out.line(u"SERVOENABLE:[%s]\n", {servoBits(entry)});
    out.line(u"DEFPOS_VALUE:[%s]\n", {valueList(entry)});
    out.line(u"\n");
  }
  return out.finish();
}

int16_t basePoseValue(const BasePoseTable& table, int n, int slider) {
  return basePoseEnabled(table, n, slider) ? table.entries[n].values[slider] : 0;
}

bool basePoseEnabled(const BasePoseTable& table, int n, int slider) {
  return validNumber(n) && validSlider(slider) && table.entries[n].valid && table.entries[n].sliderEnabled[slider];
}

uint32_t basePoseServoMask(const BasePoseTable& table, int n) {
  return validNumber(n) && table.entries[n].valid ? table.entries[n].servoMask & kServoMaskBits : 0;
}

bool basePoseActive(const BasePoseTable& table) {
  return validNumber(table.current) && table.entries[table.current].valid;
}

int validBasePoseCount(const BasePoseTable& table) {
  int count = 0;
  while (count < kBasePoseCount && table.entries[count].valid) ++count;
  return count;
}

bool applyBasePose(EditorState& state, int n) {
  BasePoseTable& table = state.basePoses;
  int number = n == -1 ? table.current : n;
  if (!validNumber(number) || !table.entries[number].valid) return false;
  const BasePose& base = table.entries[number];
  const SliderTable& sliders = state.sliders;

  bool anySelected = std::any_of(sliders.sliders.begin(), sliders.sliders.end(),
                                 [](const PoseSlider& s) { return s.selected(); });
  bool selectedOnly = state.status.has(status::kBasePoseSelectedOnly) && anySelected;
  PoseValues pose = currentPose(state);
  for (int i = 0; i < kSliderCount; ++i) {
    if (selectedOnly && !sliders.sliders[i].selected()) continue;
    pose.values[i] = base.sliderEnabled[i] ? base.values[i] : 0;
    if (i < kServoSliderCount && base.sliderEnabled[i])
      pose.servoMask = (pose.servoMask & ~(1u << i)) | (base.servoMask & (1u << i));
  }
  table.current = number;
  showPose(state, pose, kPoseAreaTime, true);
  return true;
}

std::vector<BasePoseMenuItem> basePoseMenu(const BasePoseTable& table) {
  std::vector<BasePoseMenuItem> items;
  for (int n = 0; n < kBasePoseCount && table.entries[n].valid; ++n)
    items.push_back({kFirstBasePoseCommand + n, table.entries[n].name, n == table.current, true});
  if (items.empty()) items.push_back({0, loadUiString(kNoBasePoseString), false, false});
  return items;
}

bool chooseBasePoseCommand(EditorState& state, int command, const std::filesystem::path& saveFile) {
  if (command < kFirstBasePoseCommand || command > kLastBasePoseCommand) return false;
  if (!applyBasePose(state, command - kFirstBasePoseCommand)) return false;
  saveBasePoses(saveFile, state.basePoses);
  return true;
}

int registerBasePose(BasePoseTable& work, std::u16string_view name, int selected, const SliderTable& sliders,
                     const PoseValues& pose) {
  if (name.empty()) {
    showMessage(kEnterNameString, MessageIcon::Warning, MessageButtons::Ok);
    return -1;
  }
  int count = validBasePoseCount(work);
  if (count >= kBasePoseCount) {
    showMessage(kTableFullString, MessageIcon::Warning, MessageButtons::Ok);
    return -1;
  }
  int at = selected >= 0 && selected < count ? selected : count;
  std::move_backward(work.entries.begin() + at, work.entries.begin() + count, work.entries.begin() + count + 1);
  // The current number follows its pose.
  if (work.current >= at && work.current < count) ++work.current;
  BasePose& entry = work.entries[at];
  entry = BasePose{};
  entry.name = fitField(std::u16string(name), kBasePoseNameFieldSize);
  entry.valid = true;
  fillFromPose(entry, sliders, pose);
  return at;
}

bool replaceBasePose(BasePoseTable& work, int selected, const SliderTable& sliders, const PoseValues& pose) {
  if (!validNumber(selected) || !work.entries[selected].valid) return false;
  if (showMessage(kReplaceQuestionString, MessageIcon::Question, MessageButtons::YesNo) != MessageAnswer::Yes)
    return false;
  fillFromPose(work.entries[selected], sliders, pose);
  return true;
}

int deleteBasePoses(BasePoseTable& work, const std::vector<int>& rows) {
  std::array<bool, kBasePoseCount> remove{};
  for (int row : rows)
    if (validNumber(row) && work.entries[row].valid) remove[row] = true;
  int kept = 0;
  int removed = 0;
  int current = -1;
  for (int n = 0; n < kBasePoseCount && work.entries[n].valid; ++n) {
    if (remove[n]) {
      ++removed;
      continue;
    }
    if (n == work.current) current = kept;
    if (kept != n) work.entries[kept] = std::move(work.entries[n]);
    ++kept;
  }
  if (removed == 0) return 0;
  for (int n = kept; n < kBasePoseCount; ++n) work.entries[n] = BasePose{};
  // A deleted current pose is gone; Apply picks the first valid entry.
  if (validNumber(work.current) && work.current < kept + removed) work.current = current;
  return removed;
}

bool applyBasePoseTable(BasePoseTable& table, BasePoseTable& work, const std::filesystem::path& saveFile) {
  if (showMessage(kApplyQuestionString, MessageIcon::Question, MessageButtons::YesNo) != MessageAnswer::Yes)
    return false;
  if (!basePoseActive(work)) work.current = 0;  // the first valid entry, or none
  table = work;
  saveBasePoses(saveFile, table);
  return true;
}

}  // namespace kv
