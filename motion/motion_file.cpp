#include "motion/motion_file.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "pose/base_poses.h"
#include "pose/slider_table.h"
#include "shell/app_status.h"
#include "shell/messages.h"
#include "shell/string_table.h"
#include "shell/text_encoding.h"
#include "shell/textfile.h"

namespace kv {
namespace fs = std::filesystem;

namespace {

constexpr std::u16string_view kFormatKey = u"_MOTION_FORMAT:";
constexpr std::u16string_view kAxisKey = u"_ENABLE_AXIS:";
constexpr std::u16string_view kBlockKey = u"_MOTION_INFO:";
constexpr std::u16string_view kBranchKey = u"_MIF:";
constexpr std::u16string_view kCalcConstantKey = u"_VARCON:";
constexpr std::u16string_view kCalcVariableKey = u"_VARVAR:";
constexpr std::u16string_view kLoopKey = u"_OLDLOOP:";
constexpr std::u16string_view kEndKey = u"_ENDMOT:";
constexpr std::u16string_view kStartKey = u"_STARTMOT:";
constexpr std::u16string_view kPoseKey = u"_POSE:";

constexpr std::u16string_view kFormatV1R4 = u"POSEDEF_V1R4";
constexpr std::u16string_view kFormatWordN = u"POSEDEF_WORD_N";

constexpr int kPoseNameString = 40425;        // "POSE"
constexpr int kBreakPointNameString = 40415;  // "BREAK POINT"
constexpr int kNoFormatMessage = 40066;
constexpr int kUnsupportedFormatMessage = 40131;
constexpr int kVoiceMissingMessage = 40218;
constexpr int kVoiceUnusedMessage = 40219;
constexpr int kUnknownAxisMessage = 40220;

constexpr int kFilePositionMax = 2048;
constexpr int kWordNRowPitch = 56;
constexpr int kWordNColumnStep = 150;

// Keys are looked for only before a line's first string field: a block name
// or voice file name that holds a key text must not change how the line reads.
Cursor keyAt(std::u16string_view line, std::u16string_view key) {
  size_t strings = line.find(u"[[");
  return findKey(strings == std::u16string_view::npos ? line : line.substr(0, strings), key);
}

// A link field: a missing one is an open link, not a link to block 0.
int linkField(FieldReader& fields) {
  int value = fields.decimal();
  return fields.ok() ? value : -1;
}

// A record as the file readers create it: everything zero, links open.
std::unique_ptr<MotionBlock> zeroBlock(int kind) {
  auto block = std::make_unique<MotionBlock>();
  block->kind = kind;
  block->pose.steps = 0;
  block->routeOffset = {0, 0};
  return block;
}

std::u16string numberedName(int stringId, int number) {
  return formatted(u"%s %d", {loadUiString(stringId), number});
}

// Reading state shared by both formats: the number of values per pose line,
// the unknown-axis decision (made once per file) and the voice checks.
class PoseReader {
 public:
  PoseReader(const MotionFileContext& context, const fs::path& path)
      : context_(context), pathText_(fromPath(path)) {
    for (int i = 0; i < kSliderCount; ++i) ranges_[i] = safeRange(context.sliders.sliders[i]);
  }

  void readAxisCount(std::u16string_view line, Cursor at) {
    FieldReader fields(line, at);
    axisCount_ = std::clamp(fields.decimal(), 0, kSliderCount);
  }

  void readValues(std::u16string_view field, PoseValues& pose) {
    // Without an axis count the first value is still read.
    const int wanted = std::max(axisCount_, 1);
    size_t from = 0;
    for (int i = 0; i < wanted && from <= field.size(); ++i) {
      size_t comma = field.find(u',', from);
      std::u16string_view item =
          field.substr(from, comma == std::u16string_view::npos ? std::u16string_view::npos : comma - from);
      from = comma == std::u16string_view::npos ? field.size() + 1 : comma + 1;
      int value;
      // "0X": the slider was disabled when the file was saved.
      if (item.size() >= 2 && item[1] == u'X' && context_.sliders.sliders[i].enabled() &&
          unknownAxisChoice() == AxisChoice::Replace) {
        value = currentBaseValue(i);
      } else {
        value = static_cast<int16_t>(static_cast<uint16_t>(parseHex4(item.size() >= 2 ? item.substr(2) : u"")));
      }
      pose.values[i] = static_cast<int16_t>(value);
    }
    for (int i = 0; i < kSliderCount; ++i) pose.values[i] = static_cast<int16_t>(ranges_[i].clamp(pose.values[i]));
  }

  // The voice file (string field) and the servo mask (value field). Without
  // a voice table to check it against, the voice text is kept as read, so
  // that saving the motion writes it back unchanged.
  void readVoiceAndMask(FieldReader& fields, PoseValues& pose) {
    std::u16string voice = fields.text();
    if (context_.voice.hasVoiceSlider() || context_.voice.voices == nullptr)
      pose.voiceFile = fitField(std::move(voice), kVoiceFileFieldSize);
    std::u16string mask = fields.value();
    for (size_t i = 0; i < static_cast<size_t>(kServoSliderCount) && i < mask.size(); ++i)
      if (mask[i] == u'1') pose.servoMask |= 1u << i;
    if (!pose.voiceFile.empty()) checkVoice(pose.voiceFile);
  }

  // After reading: the voice slider carries the voice's number (slot + 1).
  void numberVoices(BlockList& blocks) const {
    const VoiceSettings& voice = context_.voice;
    if (!voice.hasVoiceSlider() || voice.voices == nullptr) return;
    for (auto& block : blocks) {
      if (!block->isPose() || block->pose.voiceFile.empty()) continue;
      int slot = findVoice(*voice.voices, block->pose.voiceFile);
      block->pose.values[voice.voiceSlider] =
          static_cast<int16_t>(ranges_[voice.voiceSlider].clamp(slot < 0 ? 0 : slot + 1));
    }
  }

  static int findVoice(const VoiceLookup& voices, std::u16string_view file) {
    for (int slot = 0; slot < kVoiceSlotCount; ++slot) {
      std::u16string_view entry = voices.voiceFile(slot);
      if (!entry.empty() && entry == file) return slot;
    }
    return -1;
  }

 private:
  enum class AxisChoice { Undecided, Keep, Replace };

  AxisChoice unknownAxisChoice() {
    if (choice_ != AxisChoice::Undecided) return choice_;
    const uint32_t setting = context_.statusBits & (status::kUnknownAxisAsk | status::kUnknownAxisKeep);
    if (setting == status::kUnknownAxisAsk) {
      MessageAnswer answer =
          showMessage(kUnknownAxisMessage, MessageIcon::Warning, MessageButtons::YesNo, {pathText_});
      choice_ = answer == MessageAnswer::Yes ? AxisChoice::Replace : AxisChoice::Keep;
    } else if (setting == status::kUnknownAxisKeep) {
      choice_ = AxisChoice::Keep;
    } else {
      choice_ = AxisChoice::Replace;
    }
    return choice_;
  }

  int currentBaseValue(int slider) const {
    return basePoseValue(context_.basePoses, context_.basePoses.current, slider);
  }

  void checkVoice(const std::u16string& file) const {
    const VoiceLookup* voices = context_.voice.voices;
    if (voices == nullptr) return;
    bool found = false;
    for (int slot = 0; slot < kVoiceSlotCount; ++slot) {
      std::u16string_view entry = voices->voiceFile(slot);
      if (entry.empty() || entry != file) continue;
      if (voices->voiceUsed(slot)) return;
      found = true;
    }
    if (!found)
      showMessage(kVoiceMissingMessage, MessageIcon::Warning, MessageButtons::Ok, {pathText_, file});
    else if (!(context_.statusBits & status::kCollectVoiceWarnings))
      showMessage(kVoiceUnusedMessage, MessageIcon::Warning, MessageButtons::Ok, {pathText_, file});
  }

  const MotionFileContext& context_;
  std::u16string pathText_;
  std::array<SliderRange, kSliderCount> ranges_{};
  int axisCount_ = 0;
  AxisChoice choice_ = AxisChoice::Undecided;
};

// The file indices kept in each block now name the blocks' list positions.
void refreshLinkIndices(BlockList& blocks) {
  std::unordered_map<const MotionBlock*, int> position;
  for (size_t i = 0; i < blocks.size(); ++i) position[blocks[i].get()] = static_cast<int>(i);
  for (auto& block : blocks) {
    auto indexOf = [&](const MotionBlock* target) -> int16_t {
      auto found = target ? position.find(target) : position.end();
      return found == position.end() ? -1 : static_cast<int16_t>(found->second);
    };
    block->pose.nextIndex = indexOf(block->link[kNextLink]);
    block->pose.branchIndex = indexOf(block->link[kBranchLink]);
  }
}

}  // namespace

MotionFileStatus readMotionFormat(TextFile* file, MotionFormat& format) {
  std::u16string line;
  readTextLine(line, kDefaultLineCapacity, file);
  Cursor at = findKey(line, kFormatKey);
  if (!at) return MotionFileStatus::NoFormat;
  FieldReader fields(line, at);
  std::u16string name = fields.value();
  if (name.find(kFormatWordN) != std::u16string::npos) {
    format = MotionFormat::WordN;
  } else if (name.find(kFormatV1R4) != std::u16string::npos) {
    format = MotionFormat::V1R4;
  } else {
    return MotionFileStatus::Unsupported;
  }
  return MotionFileStatus::Read;
}

BlockList readMotionV1R4(TextFile* file, const fs::path& path, const MotionFileContext& context) {
  PoseReader poses(context, path);
  BlockList blocks;
  std::vector<std::array<int, 2>> fileLinks;  // as written, before any check
  std::u16string line;
  while (readTextLine(line, kMotionFileLineCapacity, file) > 0) {
    std::u16string_view text = line;
    if (Cursor at = keyAt(text, kAxisKey)) poses.readAxisCount(text, at);
    if (Cursor at = keyAt(text, kBlockKey)) {
      auto block = zeroBlock(KindPose);
      FieldReader fields(text, at);
      block->name = fitField(fields.text(), kBlockNameFieldSize);
      block->left = fields.decimal();
      block->top = fields.decimal();
      block->routeOffset[0] = fields.decimal();
      block->routeOffset[1] = fields.decimal();
      int next = linkField(fields);
      int branch = linkField(fields);
      fileLinks.push_back({next, branch});
      blocks.push_back(std::move(block));
    }
    // Kind lines before the first block line have nothing to describe.
    if (blocks.empty()) continue;
    MotionBlock& block = *blocks.back();
    if (Cursor at = keyAt(text, kBranchKey)) {
      FieldReader fields(text, at);
      block.kind = KindBranch;
      // Codes outside the tables are kept as read.
      block.condition = static_cast<uint8_t>(fields.decimal());
      block.testVar = static_cast<uint8_t>(fields.decimal());
      block.testValue = static_cast<int16_t>(fields.decimal());
    }
    if (Cursor at = keyAt(text, kCalcConstantKey)) {
      FieldReader fields(text, at);
      block.kind = KindCalcConstant;
      block.operation = static_cast<uint8_t>(fields.decimal());
      block.resultVar = static_cast<uint8_t>(fields.decimal());
      block.constant = static_cast<int16_t>(fields.decimal());
    }
    if (Cursor at = keyAt(text, kCalcVariableKey)) {
      FieldReader fields(text, at);
      block.kind = KindCalcVariable;
      block.operation = static_cast<uint8_t>(fields.decimal());
      block.resultVar = static_cast<uint8_t>(fields.decimal());
      block.sourceVar = static_cast<uint8_t>(fields.decimal());
    }
    if (keyAt(text, kLoopKey)) block.kind = KindLoop;
    if (keyAt(text, kEndKey)) block.kind = KindEnd;
    if (keyAt(text, kStartKey)) block.kind = KindStart;
    if (Cursor at = keyAt(text, kPoseKey)) {
      FieldReader fields(text, at);
      block.kind = KindPose;
      block.pose.steps = static_cast<uint16_t>(fields.decimal());
      poses.readValues(fields.value(), block.pose);
      poses.readVoiceAndMask(fields, block.pose);
    }
  }
  if (blocks.empty()) return blocks;

  // Links follow the file's order; an index outside the list, or one naming
  // the block itself, is an open link.
  const int count = static_cast<int>(blocks.size());
  for (int i = 0; i < count; ++i) {
    for (int l = 0; l < 2; ++l) {
      int target = fileLinks[i][l];
      blocks[i]->link[l] = (target >= 0 && target < count && target != i) ? blocks[target].get() : nullptr;
    }
  }

  // One start block: the first one read; links to any further one are opened.
  MotionBlock* start = nullptr;
  std::unordered_set<const MotionBlock*> extraStarts;
  for (auto& block : blocks) {
    if (block->kind != KindStart) continue;
    if (start == nullptr)
      start = block.get();
    else
      extraStarts.insert(block.get());
  }
  if (!extraStarts.empty()) {
    std::erase_if(blocks, [&](const auto& block) { return extraStarts.count(block.get()) != 0; });
    for (auto& block : blocks)
      for (MotionBlock*& link : block->link)
        if (extraStarts.count(link) != 0) link = nullptr;
  }

  if (start != nullptr) {
    // The start block's own record moves to the front; links stay with their blocks.
    auto at = std::find_if(blocks.begin(), blocks.end(), [&](const auto& block) { return block.get() == start; });
    std::rotate(blocks.begin(), at, at + 1);
  } else {
    const int shift = std::abs(context.fontHeight) + 25;
    for (auto& block : blocks) block->top += shift;
    auto made = zeroBlock(KindStart);
    made->left = 50;
    made->top = 10;
    made->routeOffset[0] = 6;
    made->link[kNextLink] = blocks.front().get();
    blocks.insert(blocks.begin(), std::move(made));
  }

  poses.numberVoices(blocks);
  refreshLinkIndices(blocks);
  return blocks;
}

BlockList readMotionWordN(TextFile* file, const fs::path& path, const MotionFileContext& context) {
  PoseReader poses(context, path);
  BlockList blocks;
  blocks.push_back(zeroBlock(KindStart));
  blocks.push_back(zeroBlock(KindEnd));
  MotionBlock* start = blocks[0].get();
  MotionBlock* end = blocks[1].get();
  start->routeOffset = {6, 6};
  end->routeOffset = {6, 6};

  std::vector<MotionBlock*> poseBlocks;
  std::vector<std::array<int, 2>> poseLinks;  // next and break pose numbers
  std::u16string line;
  while (readTextLine(line, kMotionFileLineCapacity, file) > 0) {
    std::u16string_view text = line;
    if (Cursor at = keyAt(text, kAxisKey)) poses.readAxisCount(text, at);
    if (Cursor at = keyAt(text, kPoseKey)) {
      auto block = zeroBlock(KindPose);
      block->name = numberedName(kPoseNameString, static_cast<int>(blocks.size()) - 2);
      FieldReader fields(text, at);
      block->pose.steps = static_cast<uint16_t>(fields.decimal());
      poses.readValues(fields.value(), block->pose);
      int next = linkField(fields);
      int brk = linkField(fields);
      poses.readVoiceAndMask(fields, block->pose);
      poseBlocks.push_back(block.get());
      poseLinks.push_back({next, brk});
      blocks.push_back(std::move(block));
    }
  }

  // One pose a row, each break point in the row below its pose.
  const int pitch = context.motionAreaDrawn ? std::abs(3 * context.fontHeight) + 20 : kWordNRowPitch;
  int x = 50;
  int y = 10 + (2 * pitch) / 3;
  auto nextRow = [&] {
    y += pitch;
    if (y > kFilePositionMax) {
      y = 10;
      x += kWordNColumnStep;
    }
  };
  const int poseCount = static_cast<int>(poseBlocks.size());
  auto poseNumbered = [&](int number) -> MotionBlock* {
    return number >= 0 && number < poseCount ? poseBlocks[number] : nullptr;
  };
  int loops = 0;
  for (int k = 0; k < poseCount; ++k) {
    MotionBlock* pose = poseBlocks[k];
    pose->left = x;
    pose->top = y;
    pose->routeOffset = {6, 6};
    nextRow();
    const int next = poseLinks[k][0];
    const int brk = poseLinks[k][1];
    pose->link[kNextLink] = next == -1 ? end : (next == k ? nullptr : poseNumbered(next));
    if (brk == -1) {
      pose->link[kBranchLink] = end;
      continue;
    }
    auto loop = zeroBlock(KindLoop);
    loop->name = numberedName(kBreakPointNameString, loops);
    const int spread = 46 + 9 * loops;
    ++loops;
    loop->routeOffset = {spread - 30, spread};
    loop->link[kNextLink] = pose->link[kNextLink];
    loop->link[kBranchLink] = poseNumbered(brk);
    pose->link[kNextLink] = loop.get();
    loop->left = x;
    loop->top = y;
    nextRow();
    blocks.push_back(std::move(loop));
  }
  end->left = x;
  end->top = y;
  start->left = 50;
  start->top = 10;
  start->link[kNextLink] = poseBlocks.empty() ? end : poseBlocks.front();

  poses.numberVoices(blocks);
  refreshLinkIndices(blocks);
  return blocks;
}

MotionFileRead readMotionFile(const fs::path& path, const MotionFileContext& context) {
  MotionFileRead result;
  TextFileHandle file = openTextFile(path, "r");
  if (!file) return result;
  MotionFormat format = MotionFormat::V1R4;
  result.status = readMotionFormat(file.get(), format);
  if (result.status == MotionFileStatus::Read) {
    result.blocks = format == MotionFormat::WordN ? readMotionWordN(file.get(), path, context)
                                                  : readMotionV1R4(file.get(), path, context);
  }
  closeTextFile(file);
  return result;
}

bool reportMotionFileStatus(MotionFileStatus status) {
  switch (status) {
    case MotionFileStatus::Read: return true;
    case MotionFileStatus::CannotOpen: return false;
    case MotionFileStatus::NoFormat:
      showMessage(kNoFormatMessage, MessageIcon::Warning, MessageButtons::Ok);
      return false;
    case MotionFileStatus::Unsupported:
      showMessage(kUnsupportedFormatMessage, MessageIcon::Warning, MessageButtons::Ok);
      return false;
  }
  return false;
}

namespace {

void appendHex4(std::u16string& out, bool upperPrefix, int16_t value) {
  static constexpr char16_t kDigits[] = u"0123456789abcdef";
  const auto bits = static_cast<uint16_t>(value);
  out += u'0';
  out += upperPrefix ? u'X' : u'x';
  for (int shift = 12; shift >= 0; shift -= 4) out += kDigits[(bits >> shift) & 0xF];
}

// The voice file name a pose line carries.
std::u16string_view voiceFieldText(const PoseValues& pose, const VoiceSettings& voice) {
  if (!pose.voiceFile.empty()) {
    if (voice.voices == nullptr || PoseReader::findVoice(*voice.voices, pose.voiceFile) >= 0) return pose.voiceFile;
    return {};
  }
  if (voice.hasVoiceSlider() && voice.voices != nullptr) {
    int number = pose.values[voice.voiceSlider];
    if (number >= 1 && number <= kVoiceSlotCount) return voice.voices->voiceFile(number - 1);
  }
  return {};
}

void writeBlocks(TaggedFileWriter& out, const BlockList& blocks, const MotionFileContext& context) {
  out.line(u"_MOTION_FORMAT:[ %s ]\n", {kFormatV1R4});
  out.line(u"_ENABLE_AXIS:[%d]\n", {kSliderCount});
  std::unordered_map<const MotionBlock*, int> position;
  for (size_t i = 0; i < blocks.size(); ++i) position[blocks[i].get()] = static_cast<int>(i);
  auto indexOf = [&](const MotionBlock* target) {
    auto found = target ? position.find(target) : position.end();
    return found == position.end() ? -1 : found->second;
  };
  std::u16string values;
  std::u16string mask;
  for (const auto& block : blocks) {
    out.line(u"\n");
    out.line(u"_MOTION_INFO:[[%s]]-[%d]-[%d]-[%d]-[%d]-[%d]-[%d]\n",
             {block->name, block->left, block->top, block->routeOffset[0], block->routeOffset[1],
              indexOf(block->link[kNextLink]), indexOf(block->link[kBranchLink])});
    switch (block->kind) {
      case KindPose: {
        values.clear();
        for (int i = 0; i < kSliderCount; ++i) {
          if (i > 0) values += u',';
          appendHex4(values, !context.sliders.sliders[i].enabled(), block->pose.values[i]);
        }
        mask.clear();
        for (int i = 0; i < kServoSliderCount; ++i) mask += (block->pose.servoMask >> i) & 1 ? u'1' : u'0';
        out.line(u"_POSE:[%d]-[%s]-[[%s]]-[%s]\n",
                 {static_cast<int>(block->pose.steps), values, voiceFieldText(block->pose, context.voice), mask});
        break;
      }
      case KindBranch:
        out.line(u"_MIF:[%d]-[%d]-[%d]\n", {static_cast<int>(block->condition), static_cast<int>(block->testVar),
                                              static_cast<int>(block->testValue)});
        break;
      case KindCalcConstant:
        out.line(u"_VARCON:[%d]-[%d]-[%d]\n", {static_cast<int>(block->operation),
                                                static_cast<int>(block->resultVar),
                                                static_cast<int>(block->constant)});
        break;
      case KindCalcVariable:
        out.line(u"_VARVAR:[%d]-[%d]-[%d]\n", {static_cast<int>(block->operation),
                                                static_cast<int>(block->resultVar),
                                                static_cast<int>(block->sourceVar)});
        break;
      case KindLoop: out.line(u"_OLDLOOP:\n"); break;
      case KindStart: out.line(u"_STARTMOT:\n"); break;
      case KindEnd: out.line(u"_ENDMOT:\n"); break;
      default: break;
    }
  }
}

}  // namespace

bool writeMotionFile(const fs::path& path, const BlockList& blocks, const MotionFileContext& context) {
  TaggedFileWriter out(path);
  if (!out.isOpen()) return false;
  writeBlocks(out, blocks, context);
  return out.finish();
}

}  // namespace kv
