// Fuzz target: both motion file readers ("POSEDEF_V1R4" and the older
// "POSEDEF_WORD_N") must build a sound block list from any file: links only
// to blocks of the list, one start block first, values within the sliders'
// limits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz_file_input.h"
#include "motion/motion_file.h"
#include "shell/app_status.h"
#include "pose/base_poses.h"
#include "pose/slider_table.h"

namespace {

struct Project {
  kv::SliderTable sliders;
  kv::BasePoseTable basePoses;
  kv::VoiceTable voices;
  Project() {
    for (int i = 0; i < kv::kSliderCount; ++i) {
      sliders.sliders[i].lowerLimit = static_cast<int16_t>(-1000 - i);
      sliders.sliders[i].upperLimit = static_cast<int16_t>(i % 7 == 0 ? -1000 - i : 1000 + i);  // some equal limits
      if (i % 5 == 0) sliders.sliders[i].behaviourFlags = kv::kSliderDisabled;
    }
    basePoses.entries[0].valid = true;
    basePoses.entries[0].sliderEnabled.fill(true);
    voices.files[0] = u"a.wav";
    voices.used[0] = true;
    voices.files[1] = u"b.wav";
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzzing::SilentAnswers answers;
  static Project project;
  kv::setMessageHandler(&answers);
  if (size == 0) return 0;
  const uint8_t choice = data[0];
  const char* head = (choice & 1) ? "_MOTION_FORMAT:[ POSEDEF_V1R4 ]\n_ENABLE_AXIS:[62]\n"
                                  : "_MOTION_FORMAT:[POSEDEF_WORD_N]\n_ENABLE_AXIS:[62]\n";
  kv::MotionFileContext context{project.sliders, project.basePoses};
  context.statusBits = (choice & 4) ? kv::status::kUnknownAxisAsk : kv::status::kUnknownAxisKeep;
  context.fontHeight = -12;
  context.motionAreaDrawn = choice & 8;
  if (choice & 16) context.voice = kv::VoiceSettings{60, &project.voices};

  const fuzzing::InputFile input("fuzz_motion_file", fuzzing::asFile(head, data + 1, size - 1, choice & 2));
  const kv::MotionFileRead read = kv::readMotionFile(input.path(), context);
  for (const auto& block : read.blocks) {
    for (const kv::MotionBlock* target : block->link) {
      if (!target) continue;
      bool inList = false;
      for (const auto& other : read.blocks) inList = inList || other.get() == target;
      if (!inList) std::abort();
    }
    if (block->kind == kv::KindStart && block != read.blocks.front()) std::abort();
    if (block->kind == kv::KindPose)
      for (int i = 0; i < kv::kSliderCount; ++i) {
        const kv::SliderRange range = kv::safeRange(project.sliders.sliders[i]);
        if (block->pose.values[i] < range.lower || block->pose.values[i] > range.upper) std::abort();
      }
  }
  return 0;
}
