#include "shell/startup.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "pose/slider_table.h"
#include "shell/folders.h"
#include "shell/project.h"
#include "support/scripted_answerer.h"
#include "support/temp_dir.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using testing::ScriptedAnswerer;
using testing::TempDir;
using testing::writeBytes;

using Steps = std::vector<std::string>;
const Steps kFullLoad = {"display", "slider", "basePoses", "clearRom", "rom",
                         "clearMap", "map",    "offsets",   "newMotion"};

// Loaders that note the order they ran in and the file each was given;
// those named in `failing` report failure.
struct RecordingLoaders {
  Steps ran;
  std::map<std::string, fs::path> files;
  std::set<std::string> failing;

  ProjectLoaders make() {
    auto loader = [this](std::string name) {
      return [this, name](EditorState&, const fs::path& file) {
        ran.push_back(name);
        files[name] = file;
        return failing.count(name) == 0;
      };
    };
    auto step = [this](std::string name) { return [this, name](EditorState&) { ran.push_back(name); }; };
    ProjectLoaders loaders;
    loaders.loadDisplaySettings = loader("display");
    loaders.loadSliderFile = loader("slider");
    loaders.loadBasePoses = loader("basePoses");
    loaders.clearRomSettings = step("clearRom");
    loaders.loadRomSettings = loader("rom");
    loaders.clearModeSwitchMap = step("clearMap");
    loaders.loadModeSwitchMap = loader("map");
    loaders.loadOffsetSets = loader("offsets");
    loaders.startNewMotion = step("newMotion");
    loaders.saveSliderFile = step("saveSlider");
    return loaders;
  }
};

fs::path writeProject(const fs::path& file, const std::u16string& modelName) {
  ProjectRecord record;
  record.modelName = modelName;
  record.displaySettingsFile = u"medit_sys.ini";
  record.axisDefinitionFile = u"medit_sld.ini";
  record.modeSwitchMapFile = u"medit_map.ini";
  record.romSettingsFile = u"medit_rom.ini";
  record.basePoseFile = u"medit_defpos.ini";
  record.offsetFile = u"medit_defofs.ini";
  fs::create_directories(file.parent_path());
  EXPECT_TRUE(saveProject(file, record));
  return file;
}

// ---- Command line -----------------------------------------------------------

TEST(CommandLine, GivesTheProjectPath) {
  EXPECT_EQ(projectPathFromCommandLine({"\"/a b/c.rpj\""}), fs::path("/a b/c.rpj"));
  EXPECT_EQ(projectPathFromCommandLine({"/a", "b/c.rpj"}), fs::path("/a b/c.rpj"));
  EXPECT_EQ(projectPathFromCommandLine({"\"/x.rpj"}), fs::path("/x.rpj"));
  EXPECT_EQ(projectPathFromCommandLine({"\""}), std::nullopt);
  EXPECT_EQ(projectPathFromCommandLine({}), std::nullopt);
}

// ---- Loading a project -------------------------------------------------------

class LoadAll : public ::testing::Test {
 protected:
  void SetUp() override { projectFile = writeProject(dir / "robot" / "robot.rpj", u"KHR"); }

  TempDir dir;
  fs::path projectFile;
  EditorState state;
  RecordingLoaders recorder;
  ScriptedAnswerer answerer;
};

TEST_F(LoadAll, RunsEveryLoaderInOrder) {
  EXPECT_TRUE(loadAll(state, projectFile, false, recorder.make()));
  EXPECT_EQ(recorder.ran, kFullLoad);
  EXPECT_TRUE(answerer.shown().empty());
  EXPECT_EQ(state.project.modelName, u"KHR");
}

TEST_F(LoadAll, MissingProjectFileIsAnError) {
  EXPECT_FALSE(loadAll(state, dir / "none.rpj", false, recorder.make()));
  ASSERT_EQ(answerer.shownIds(), std::vector<int>{40244});
  EXPECT_EQ(answerer.shown()[0].icon, MessageIcon::Error);
  EXPECT_FALSE(answerer.shown()[0].hasOwner);
  EXPECT_TRUE(recorder.ran.empty());
}

TEST_F(LoadAll, DisplayOrAxisFailureStopsLoading) {
  struct Case {
    std::string loader;
    std::u16string fileName;
    Steps ran;
  };
  for (const Case& c : {Case{"display", u"medit_sys.ini", {"display"}},
                        Case{"slider", u"medit_sld.ini", {"display", "slider"}}}) {
    SCOPED_TRACE(c.loader);
    ScriptedAnswerer answers;
    RecordingLoaders loaders;
    loaders.failing = {c.loader};
    EXPECT_FALSE(loadAll(state, projectFile, false, loaders.make()));
    EXPECT_EQ(loaders.ran, c.ran);
    ASSERT_EQ(answers.shownIds(), std::vector<int>{40132});
    const Message shown = answers.shown()[0];
    EXPECT_EQ(shown.icon, MessageIcon::Error);
    EXPECT_FALSE(shown.hasOwner);
    EXPECT_NE(shown.text.find(c.fileName), std::u16string::npos);
  }
}

TEST_F(LoadAll, BasePoseRomOrMapFailureWarnsAndGoesOn) {
  for (auto [loader, fileName] : {std::pair{"basePoses", u"medit_defpos.ini"}, std::pair{"rom", u"medit_rom.ini"},
                                  std::pair{"map", u"medit_map.ini"}}) {
    SCOPED_TRACE(loader);
    ScriptedAnswerer answers;
    RecordingLoaders loaders;
    loaders.failing = {loader};
    EXPECT_TRUE(loadAll(state, projectFile, false, loaders.make()));
    EXPECT_EQ(loaders.ran, kFullLoad);
    ASSERT_EQ(answers.shownIds(), std::vector<int>{40142});
    EXPECT_EQ(answers.shown()[0].icon, MessageIcon::Warning);
    EXPECT_NE(answers.shown()[0].text.find(fileName), std::u16string::npos);
  }
}

TEST_F(LoadAll, OffsetFailureIsSilent) {
  recorder.failing = {"offsets"};
  EXPECT_TRUE(loadAll(state, projectFile, false, recorder.make()));
  EXPECT_EQ(recorder.ran, kFullLoad);
  EXPECT_TRUE(answerer.shown().empty());
}

TEST_F(LoadAll, QuietModeShowsNothing) {
  EXPECT_FALSE(loadAll(state, dir / "none.rpj", true, recorder.make()));
  recorder.failing = {"basePoses", "rom", "map", "display"};
  EXPECT_FALSE(loadAll(state, projectFile, true, recorder.make()));
  recorder.failing = {"basePoses", "rom", "map"};
  EXPECT_TRUE(loadAll(state, projectFile, true, recorder.make()));
  EXPECT_TRUE(answerer.shown().empty());
}

TEST_F(LoadAll, LoadersGetTheNamedFilesInTheProjectFolder) {
  fs::path folder = dir / "named";
  writeBytes(folder / "skin" / "look.ini", "x");
  writeBytes(folder / "axes.ini", "x");
  writeBytes(folder / "named.rpj", testing::utf16File(u"MODELNAME:[[N]]\r\nSYSINI:[[skin\\look.ini]]\r\n"
                                                      u"SLDINI:[[AXES.INI]]\r\nROMINI:[[other.ini]]\r\n"));
  EXPECT_TRUE(loadAll(state, folder / "named.rpj", false, recorder.make()));
  EXPECT_EQ(recorder.files["display"], folder / "skin" / "look.ini");
  EXPECT_EQ(recorder.files["slider"], folder / "axes.ini");
  EXPECT_EQ(recorder.files["rom"], folder / "other.ini");
  // A key the project file lacks: the name the program itself writes.
  EXPECT_EQ(recorder.files["map"], folder / "medit_map.ini");
}

TEST_F(LoadAll, UnsetLoadersCountAsSuccess) {
  EXPECT_TRUE(loadAll(state, projectFile, false, ProjectLoaders{}));
  EXPECT_TRUE(answerer.shown().empty());
}

// ---- Start-up and shut-down ---------------------------------------------------

class StartUp : public ::testing::Test {
 protected:
  StartupOptions options() const {
    StartupOptions result;
    result.programFolder = program.path();
    return result;
  }
  std::vector<RecentProject> log() const {
    std::vector<RecentProject> list;
    readRecentLog(program.path(), list);
    return list;
  }

  TempDir program, projects;
  EditorState state;
  RecordingLoaders recorder;
  ScriptedAnswerer answerer;
};

TEST_F(StartUp, WithNothingToOpenTriesTheDefaultProjectQuietly) {
  StartupResult result = startUp(state, options(), recorder.make());
  EXPECT_EQ(result.projectFile, program / "temp" / "temp.rpj");
  EXPECT_TRUE(result.quiet);
  EXPECT_FALSE(result.loaded);
  EXPECT_TRUE(state.startupFailed);
  EXPECT_TRUE(answerer.shown().empty());
  EXPECT_TRUE(recorder.ran.empty());
}

TEST_F(StartUp, DefaultProjectIsLoadedAndLogged) {
  writeProject(program / "temp" / "temp.rpj", u"TEMP");
  StartupResult result = startUp(state, options(), recorder.make());
  EXPECT_TRUE(result.loaded);
  EXPECT_FALSE(state.startupFailed);
  EXPECT_EQ(recorder.ran, kFullLoad);
  auto entries = log();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].robotName, u"TEMP");
  EXPECT_EQ(entries[0].projectFile, program / "temp" / "temp.rpj");
}

TEST_F(StartUp, OpensTheMostRecentProject) {
  fs::path recent = writeProject(projects / "a" / "a.rpj", u"A");
  std::vector<RecentProject> list;
  writeRecentLog(program.path(), list, u"A", recent);
  StartupResult result = startUp(state, options(), recorder.make());
  EXPECT_EQ(result.projectFile, recent);
  EXPECT_TRUE(result.loaded);
  EXPECT_FALSE(result.quiet);
  EXPECT_EQ(state.project.modelName, u"A");
  ASSERT_EQ(state.recentProjects.size(), 1u);
}

TEST_F(StartUp, CommandLineBeatsTheLogAndIsLogged) {
  fs::path recent = writeProject(projects / "a" / "a.rpj", u"A");
  fs::path named = writeProject(projects / "b c" / "b.rpj", u"B");
  std::vector<RecentProject> list;
  writeRecentLog(program.path(), list, u"A", recent);
  StartupOptions opts = options();
  opts.arguments = {"\"" + named.string() + "\""};

  StartupResult result = startUp(state, opts, recorder.make());
  EXPECT_EQ(result.projectFile, named);
  EXPECT_TRUE(result.loaded);
  EXPECT_EQ(state.project.modelName, u"B");
  auto entries = log();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].robotName, u"B");
  EXPECT_EQ(entries[0].projectFile, named);
  EXPECT_EQ(entries[1].robotName, u"A");
}

// A project made on Windows names its files in capitals; the editor reads
// them by a case-insensitive match and must save to the same files.
TEST_F(StartUp, SettingsFilesFoundInAnotherCaseAreWrittenBackToThem) {
  const fs::path folder = projects / "win";
  fs::create_directories(folder);
  SliderTable axes;
  axes.clientWidth = 1000;
  ASSERT_TRUE(saveSliderFile(folder / "MEDIT_SLD.INI", axes));
  writeBytes(folder / "MEDIT_SYS.INI", testing::utf16File(u"COMPORT:[1]\r\n"));
  writeBytes(folder / "Medit_DefPos.ini", testing::utf16File(u"MAINDEFPOS_NUM:[0]\r\n"));
  writeBytes(folder / "win.rpj", testing::utf16File(u"MODELNAME:[[W]]\r\nSYSINI:[[MEDIT_SYS.INI]]\r\n"
                                                    u"SLDINI:[[MEDIT_SLD.INI]]\r\nDEFPOSINI:[[robot.ini]]\r\n"));
  StartupOptions opts = options();
  opts.arguments = {(folder / "win.rpj").string()};
  const ProjectLoaders loaders = defaultProjectLoaders();
  ASSERT_TRUE(startUp(state, opts, loaders).loaded);
  EXPECT_EQ(state.sliders.clientWidth, 1000);

  state.sliders.clientWidth = 1200;
  shutDown(state, true, loaders);
  SliderTable saved;
  ASSERT_TRUE(loadSliderFile(folder / "MEDIT_SLD.INI", saved));
  EXPECT_EQ(saved.clientWidth, 1200);
  EXPECT_FALSE(fs::exists(folder / "medit_sld.ini"));

  // A file named otherwise is read from its name but written under the
  // fixed name, here the one that exists in another case.
  EXPECT_EQ(settingsFileToWrite(state.project, kBasePoseFileName), folder / "Medit_DefPos.ini");
  EXPECT_EQ(settingsFileToWrite(state.project, kOffsetFileName), folder / "medit_defofs.ini");
}

TEST(ShutDown, SavesTheAxisFileOnlyAfterANormalStart) {
  struct Case {
    bool windowWasCreated, startupFailed, saves;
  };
  for (const Case& c : {Case{true, false, true}, Case{false, false, false}, Case{true, true, false}}) {
    RecordingLoaders recorder;
    EditorState state;
    state.startupFailed = c.startupFailed;
    shutDown(state, c.windowWasCreated, recorder.make());
    EXPECT_EQ(recorder.ran, c.saves ? Steps{"saveSlider"} : Steps{})
        << "window " << c.windowWasCreated << ", failed " << c.startupFailed;
  }
}

}  // namespace
}  // namespace kv
