// The default project the build writes beside the editor: every settings file
// is in the editor's file form and opens with its reader, and every skin image
// has the size the pose and motion areas take their geometry from.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "board_memory.h"
#include "display/display_settings.h"
#include "motion/motion_layout.h"
#include "motion_runner.h"
#include "motion/motion_commands.h"
#include "rom/compiled_motion.h"
#include "shell/project.h"
#include "shell/startup.h"
#include "support/scripted_answerer.h"
#include "shell/text_encoding.h"
#include "shell/textfile.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

const fs::path kProject = KV_DEMO_PROJECT_DIR;

std::string firstBytes(const fs::path& file, size_t count) {
  std::ifstream in(file, std::ios::binary);
  std::string bytes(count, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(count));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

TEST(DemoProject, SettingsFilesAreUtf16AndStartWithTheirFirstKey) {
  const std::vector<std::pair<std::string, std::u16string>> files = {
      {"temp.rpj", u"MODELNAME:"},          {"medit_sys.ini", u"_TOOLBAR_ENABLE:"},
      {"medit_sld.ini", u"_CENTER_BAR:"},   {"medit_defpos.ini", u"MAINDEFPOS_NUM:"},
      {"medit_defofs.ini", u"DEFOFS:"},     {"medit_rom.ini", u"MASTER_CLOCK:"},
      {"medit_map.ini", u"MODESW:"},
  };
  for (const auto& [name, key] : files) {
    SCOPED_TRACE(name);
    EXPECT_EQ(firstBytes(kProject / name, 2), "\xFF\xFE");
    TextFileHandle file = openTextFile(kProject / name, "r");
    ASSERT_TRUE(file);
    std::u16string line;
    ASSERT_GT(readTextLine(line, kMaxLineCapacity, file.get()), 0);
    EXPECT_EQ(line.substr(0, key.size()), key);
    EXPECT_EQ(line.back(), u'\r');
    closeTextFile(file);
  }
}

TEST(DemoProject, ProjectNamesItsRobotAndSixFilesThatExist) {
  ProjectRecord project;
  ASSERT_TRUE(loadProject(kProject / "temp.rpj", project));
  EXPECT_EQ(project.modelName, u"DemoHumanoid");
  for (const std::u16string& name : {project.displaySettingsFile, project.axisDefinitionFile,
                                     project.modeSwitchMapFile, project.romSettingsFile,
                                     project.basePoseFile, project.offsetFile}) {
    EXPECT_FALSE(name.empty());
    EXPECT_TRUE(fs::exists(kProject / toPath(name))) << utf16ToUtf8(name);
  }
}

int32_t littleEndian32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
  return static_cast<int32_t>(value);
}

// Reads a BMP header instead of the picture: the core has no image reader.
class BmpHeaderReader : public SkinImageLoader {
 public:
  bool loadSkinImage(int slot, const fs::path& file) override {
    std::string header = firstBytes(file, 30);
    if (header.size() < 30 || header.substr(0, 2) != "BM") return false;
    sizes[slot] = {littleEndian32(header, 18), std::abs(littleEndian32(header, 22)),
                   static_cast<unsigned char>(header[28])};
    return true;
  }
  struct Size {
    int width, height, bits;
    bool operator==(const Size&) const = default;
  };
  std::map<int, Size> sizes;
};

TEST(DemoProject, LoadsWithoutAMessageAndSkinsHaveTheSizesOfTheirSlots) {
  testing::ScriptedAnswerer answers;
  BmpHeaderReader skins;
  EditorState state;
  state.programFolder = kProject.parent_path();
  ASSERT_TRUE(loadAll(state, kProject / "temp.rpj", false, defaultProjectLoaders(&skins)));
  EXPECT_TRUE(answers.shownIds().empty());
  EXPECT_EQ(state.sliders.sliders[0].name, u"頭");
  // The ROM settings slot reads the project's CPU settings.
  EXPECT_EQ(state.cpuSettings.controlPeriod, 10000u);
  EXPECT_EQ(state.cpuSettings.batteryAlarm, 6800);
  EXPECT_EQ(state.cpuSettings.servos[0].name, u"頭");
  EXPECT_EQ(state.cpuSettings.servos[0].base, 22500);
  EXPECT_TRUE(state.status.has(status::kPoseWallpaper));

  const std::vector<BmpHeaderReader::Size> expected = {
      {520, 600, 24}, {100, 14, 24}, {11, 20, 24}, {13, 20, 24}, {9, 6, 24},   {11, 20, 24},
      {26, 13, 24},   {120, 12, 24}, {9, 16, 24},  {11, 16, 24}, {80, 12, 24}, {24, 12, 24}};
  for (int slot = 0; slot < kSkinSlotCount; ++slot) EXPECT_EQ(skins.sizes[slot], expected[slot]) << slot;

  // The demo motion opens without a question and compiles for the board.
  ASSERT_TRUE(loadMotionFile(state, kProject / "wave.txt"));
  EXPECT_TRUE(answers.shownIds().empty());
  EXPECT_EQ(state.motion.count(), 10);
  EXPECT_EQ(state.motion.first()->kind, KindStart);
  ASSERT_NE(state.motion.currentBlock, nullptr);
  EXPECT_EQ(state.motion.currentBlock->name, u"直立");
  const CompiledMotion compiled = compileMotion(boardsim::kMotionArea, state.motion, 64, 100);
  ASSERT_TRUE(compiled.ok);

  // The virtual board runs it: each wave swings the right forearm (slider 6)
  // out to +300.
  boardsim::BoardMemory memory;
  memory.write(boardsim::kMotionArea, compiled.bytes.data(), compiled.bytes.size());
  boardsim::MotionRunner runner;
  runner.start(memory, boardsim::kMotionArea);
  int waves = 0;
  bool out = false;
  uint32_t fault = 0;
  for (int cycle = 0; runner.running() && cycle < 100000; ++cycle) {
    ASSERT_TRUE(runner.cycle(memory, &fault));
    const bool nowOut = memory.variable(6) == 300;
    if (nowOut && !out) ++waves;
    out = nowOut;
  }
  EXPECT_FALSE(runner.running());
  EXPECT_EQ(waves, 3);
  // The flowchart says so too: its branch reads "v[100] != 3".
  const auto branch = std::find_if(state.motion.blocks.begin(), state.motion.blocks.end(),
                                   [](const auto& b) { return b->kind == KindBranch; });
  ASSERT_NE(branch, state.motion.blocks.end());
  EXPECT_EQ(blockCaption(**branch), u"v[100] != 3");
}

}  // namespace
}  // namespace kv
