#include "shell/project.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "shell/folders.h"
#include "shell/string_table.h"
#include "shell/textfile.h"
#include "support/temp_dir.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using testing::readBytes;
using testing::TempDir;
using testing::utf16File;
using testing::writeBytes;

// The text of a file the program wrote, after its byte order mark.
std::u16string writtenText(const fs::path& file) {
  std::string bytes = readBytes(file);
  if (bytes.size() < 2 || bytes.compare(0, 2, "\xFF\xFE") != 0) return u"(no FF FE)";
  std::u16string text;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2)
    text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                         static_cast<unsigned char>(bytes[i + 1]) << 8));
  return text;
}

// Makes a folder the current directory for one test.
class InFolder {
 public:
  explicit InFolder(const fs::path& folder) : saved_(fs::current_path()) { fs::current_path(folder); }
  ~InFolder() { fs::current_path(saved_); }

 private:
  fs::path saved_;
};

// ---- Project file -------------------------------------------------------

TEST(ProjectFile, SaveWritesEveryKeyInOrderAndLoadReadsThemBack) {
  TempDir dir;
  ProjectRecord saved;
  saved.modelName = u"KHR-3HV";
  saved.romSettingsFile = u"rom.ini";
  saved.displaySettingsFile = u"sys.ini";
  saved.modeSwitchMapFile = u"map.ini";
  saved.basePoseFile = u"defpos.ini";
  saved.axisDefinitionFile = u"sld.ini";
  saved.offsetFile = u"defofs.ini";
  ASSERT_TRUE(saveProject(dir / "robot.rpj", saved));
  EXPECT_EQ(writtenText(dir / "robot.rpj"),
            u"MODELNAME:[[KHR-3HV]]\r\nROMINI:[[rom.ini]]\r\nSYSINI:[[sys.ini]]\r\nMAPINI:[[map.ini]]\r\n"
            u"DEFPOSINI:[[defpos.ini]]\r\nSLDINI:[[sld.ini]]\r\nDEFOFSINI:[[defofs.ini]]\r\n");

  ProjectRecord loaded;
  ASSERT_TRUE(loadProject(dir / "robot.rpj", loaded));
  auto texts = [](const ProjectRecord& r) {
    return std::vector{r.modelName,    r.romSettingsFile,    r.displaySettingsFile, r.modeSwitchMapFile,
                       r.basePoseFile, r.axisDefinitionFile, r.offsetFile};
  };
  EXPECT_EQ(texts(loaded), texts(saved));
  EXPECT_EQ(loaded.projectFile, dir / "robot.rpj");
  EXPECT_EQ(loaded.projectFolder, dir.path());
}

TEST(ProjectFile, HandMadeShiftJisFileWithKeysInAnyOrderAndOneMissing) {
  TempDir dir;
  // "ロボ" in Shift-JIS, LF line ends, an unknown line, no "MAPINI:".
  writeBytes(dir / "r.rpj",
             "DEFOFSINI:[[o.ini]]\nSLDINI:[[s.ini]]\nCOMMENT:[[x]]\nMODELNAME:[[\x83\x8D\x83\x7B]]\n"
             "SYSINI:[[y.ini]]\nDEFPOSINI:[[p.ini]]\nROMINI:[[r.ini]]\n");
  ProjectRecord record;
  record.modeSwitchMapFile = u"left over";
  ASSERT_TRUE(loadProject(dir / "r.rpj", record));
  EXPECT_EQ(record.modelName, u"ロボ");
  EXPECT_EQ(record.offsetFile, u"o.ini");
  EXPECT_EQ(record.axisDefinitionFile, u"s.ini");
  EXPECT_EQ(record.displaySettingsFile, u"y.ini");
  EXPECT_EQ(record.basePoseFile, u"p.ini");
  EXPECT_EQ(record.romSettingsFile, u"r.ini");
  EXPECT_EQ(record.modeSwitchMapFile, u"");
}

TEST(ProjectFile, LongNamesAreCutToTheirFieldSize) {
  TempDir dir;
  std::u16string longPath(300, u'p');
  writeBytes(dir / "r.rpj", utf16File(u"MODELNAME:[[ABCDEFGHIJKLMNOPQRST]]\r\nSYSINI:[[" + longPath + u"]]\r\n"));
  ProjectRecord record;
  ASSERT_TRUE(loadProject(dir / "r.rpj", record));
  EXPECT_EQ(record.modelName, u"ABCDEFGHIJKLMNO");
  EXPECT_EQ(record.displaySettingsFile, std::u16string(259, u'p'));
}

TEST(ProjectFile, ProjectFolderIsAbsolute) {
  TempDir dir;
  writeBytes(dir / "sub" / "r.rpj", utf16File(u"MODELNAME:[[A]]\r\n"));
  writeBytes(dir / "top.rpj", utf16File(u"MODELNAME:[[B]]\r\n"));
  InFolder inDir(dir.path());
  fs::path here = fs::current_path();

  ProjectRecord relative;
  ASSERT_TRUE(loadProject("sub/r.rpj", relative));
  EXPECT_EQ(relative.projectFolder, here / "sub");
  EXPECT_EQ(relative.projectFile, here / "sub" / "r.rpj");

  ProjectRecord bare;
  ASSERT_TRUE(loadProject("top.rpj", bare));
  EXPECT_EQ(bare.projectFolder, here);
}

TEST(ProjectFile, MissingFileFailsAndLeavesTheRecordAlone) {
  TempDir dir;
  ProjectRecord record;
  record.modelName = u"KEEP";
  record.projectFolder = "/kept";
  record.displaySettingsFile = u"kept.ini";
  EXPECT_FALSE(loadProject(dir / "none.rpj", record));
  EXPECT_EQ(record.modelName, u"KEEP");
  EXPECT_EQ(record.projectFolder, fs::path("/kept"));
  EXPECT_EQ(record.displaySettingsFile, u"kept.ini");
}

// ---- Names from settings files -----------------------------------------

TEST(ResolveFileName, FindsFilesNamedTheWindowsWay) {
  TempDir dir;
  writeBytes(dir / "sub" / "medit_sys.ini", "x");
  writeBytes(dir / "medit_sys.ini", "x");
  EXPECT_EQ(resolveFileName(dir.path(), u"sub\\medit_sys.ini"), dir / "sub" / "medit_sys.ini");
  EXPECT_EQ(resolveFileName(dir.path(), u"MEDIT_SYS.INI"), dir / "medit_sys.ini");
  EXPECT_EQ(resolveFileName(dir.path(), u"SUB\\Medit_Sys.ini"), dir / "sub" / "medit_sys.ini");
  // A path from the machine the project was made on: the same name here.
  EXPECT_EQ(resolveFileName(dir.path(), u"C:\\robots\\x\\medit_sys.ini"), dir / "medit_sys.ini");
}

TEST(ResolveFileName, MissingFileGivesAPathThatDoesNotOpen) {
  TempDir dir;
  writeBytes(dir / "other.ini", "x");
  for (std::u16string_view name : {u"missing.ini", u"sub\\missing.ini", u"C:\\robots\\missing.ini"}) {
    fs::path resolved = resolveFileName(dir.path(), name);
    EXPECT_FALSE(openTextFile(resolved, "r")) << resolved;
  }
}

// ---- Recent-project log ---------------------------------------------------

TEST(RecentLog, WrittenEntriesReadBackNewestFirst) {
  TempDir program, projects;
  writeBytes(projects / "a.rpj", "x");
  writeBytes(projects / "b.rpj", "x");
  std::vector<RecentProject> list;
  ASSERT_TRUE(writeRecentLog(program.path(), list, u"ALPHA", projects / "a.rpj"));
  ASSERT_TRUE(writeRecentLog(program.path(), list, u"BETA", projects / "b.rpj"));
  std::u16string folder = fs::path(projects.path()).u16string();
  EXPECT_EQ(writtenText(program / "rpjlog.dat"), u"ROBOT_LOG[[BETA]]-[[" + folder + u"/b.rpj]]\r\nROBOT_LOG[[ALPHA]]-[[" +
                                                     folder + u"/a.rpj]]\r\n");

  std::vector<RecentProject> read;
  fs::path mostRecent;
  ASSERT_TRUE(readRecentLog(program.path(), read, &mostRecent));
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].robotName, u"BETA");
  EXPECT_EQ(read[0].projectFile, projects / "b.rpj");
  EXPECT_EQ(read[1].robotName, u"ALPHA");
  EXPECT_EQ(read[1].projectFile, projects / "a.rpj");
  EXPECT_EQ(mostRecent, projects / "b.rpj");
}

TEST(RecentLog, OneEntryPerRobotName) {
  TempDir program, projects;
  for (const char* name : {"a1.rpj", "b.rpj", "a2.rpj"}) writeBytes(projects / name, "x");
  std::vector<RecentProject> list;
  writeRecentLog(program.path(), list, u"A", projects / "a1.rpj");
  writeRecentLog(program.path(), list, u"B", projects / "b.rpj");
  writeRecentLog(program.path(), list, u"A", projects / "a2.rpj");

  std::vector<RecentProject> read;
  ASSERT_TRUE(readRecentLog(program.path(), read));
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].robotName, u"A");
  EXPECT_EQ(read[0].projectFile, projects / "a2.rpj");
  EXPECT_EQ(read[1].robotName, u"B");
}

TEST(RecentLog, FullLogDropsTheOldestEntry) {
  TempDir program, projects;
  writeBytes(projects / "p.rpj", "x");
  auto robot = [](size_t i) { return u"R" + std::u16string{static_cast<char16_t>(u'0' + i / 10), static_cast<char16_t>(u'0' + i % 10)}; };
  std::vector<RecentProject> list;
  for (size_t i = 0; i < kRecentProjectCount; ++i) list.push_back({robot(i), projects / "p.rpj"});

  writeRecentLog(program.path(), list, u"NEW", projects / "p.rpj");
  EXPECT_EQ(list.size(), kRecentProjectCount);
  std::u16string written = writtenText(program / "rpjlog.dat");
  EXPECT_EQ(std::count(written.begin(), written.end(), u'\n'), 32);
  std::vector<RecentProject> read;
  ASSERT_TRUE(readRecentLog(program.path(), read));
  ASSERT_EQ(read.size(), kRecentProjectCount);
  EXPECT_EQ(read[0].robotName, u"NEW");
  EXPECT_EQ(read[1].robotName, robot(0));
  EXPECT_EQ(read.back().robotName, robot(30));
}

TEST(RecentLog, EntriesOfVanishedProjectsAreDropped) {
  TempDir program, projects;
  writeBytes(projects / "kept.rpj", "x");
  std::u16string folder = fs::path(projects.path()).u16string();
  writeBytes(program / "rpjlog.dat", utf16File(u"ROBOT_LOG[[GONE]]-[[" + folder + u"/gone.rpj]]\r\n" +
                                               u"ROBOT_LOG[[KEPT]]-[[" + folder + u"/kept.rpj]]\r\n"));
  std::vector<RecentProject> read;
  fs::path mostRecent;
  ASSERT_TRUE(readRecentLog(program.path(), read, &mostRecent));
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].robotName, u"KEPT");
  EXPECT_EQ(mostRecent, projects / "kept.rpj");
}

TEST(RecentLog, MissingLogGivesAnEmptyList) {
  TempDir program;
  std::vector<RecentProject> read{{u"OLD", "/old.rpj"}};
  fs::path mostRecent = "/old.rpj";
  EXPECT_FALSE(readRecentLog(program.path(), read, &mostRecent));
  EXPECT_TRUE(read.empty());
  EXPECT_TRUE(mostRecent.empty());
}

// ---- Robot template list --------------------------------------------------

TEST(RobotList, ReadsNamesAndConvertsWindowsPaths) {
  TempDir program;
  std::vector<RobotTemplate> list;
  EXPECT_FALSE(readRobotList(program.path(), list));
  writeBytes(program / "defrobots.dat",
             utf16File(u"ROBOT:[[KHR-3HV]]-[[robots\\khr\\khr.rpj]]\r\nROBOT:[[RCB]]-[[rcb.rpj]]\r\n"));
  ASSERT_TRUE(readRobotList(program.path(), list));
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].robotName, u"KHR-3HV");
  EXPECT_EQ(list[0].projectFile, fs::path("robots/khr/khr.rpj"));
  EXPECT_EQ(list[1].robotName, u"RCB");
  EXPECT_EQ(list[1].projectFile, fs::path("rcb.rpj"));
}

// ---- Language ---------------------------------------------------------------

TEST(Locale, PosixNamesGiveWindowsLocaleNumbers) {
  EXPECT_EQ(localeIdFromName("ja_JP.UTF-8"), 0x0411);
  EXPECT_EQ(localeIdFromName("en_US.UTF-8"), 0x0409);
  EXPECT_EQ(localeIdFromName("en_GB"), 0x0809);
  EXPECT_EQ(localeIdFromName("C"), 0x0409);
  EXPECT_EQ(localeIdFromName("zh_TW.UTF-8"), 0x0404);
}

class ResourceSelection : public ::testing::Test {
 protected:
  void SetUp() override {
    writeBytes(program / "ja.txt", "40000\tJA %s\n");
    writeBytes(program / "en.txt", "40000\tEN %s\n");
  }
  void TearDown() override { resetLanguage(); }
  void writeIni(std::u16string_view text) { writeBytes(program / "medit_resource.ini", utf16File(text)); }

  TempDir program;
};

TEST_F(ResourceSelection, MatchingLocaleLineWinsOverAnEarlierDefault) {
  writeIni(u"DEFAULT_RESOURCE[[en.txt]]\r\nLCID_RESOURCE[0x0411]-[[ja.txt]]\r\n");
  EXPECT_TRUE(selectResourceModule(program.path(), 0x0411));
  EXPECT_EQ(loadUiString(40000), u"JA %s");
}

TEST_F(ResourceSelection, DefaultIsUsedWhenNoLocaleLineMatches) {
  writeIni(u"LCID_RESOURCE[0x0411]-[[ja.txt]]\r\nDEFAULT_RESOURCE[[en.txt]]\r\n");
  EXPECT_TRUE(selectResourceModule(program.path(), 0x0409));
  EXPECT_EQ(loadUiString(40000), u"EN %s");
}

TEST_F(ResourceSelection, TextAfterHashIsIgnored) {
  writeIni(u"DEFAULT_RESOURCE[[en.txt]]\r\n#LCID_RESOURCE[0x0411]-[[ja.txt]]\r\n"
           u"LCID_RESOURCE[0x0407]-[[en.txt]] # LCID_RESOURCE[0x0411]-[[ja.txt]]\r\n");
  EXPECT_TRUE(selectResourceModule(program.path(), 0x0411));
  EXPECT_EQ(loadUiString(40000), u"EN %s");
}

TEST_F(ResourceSelection, NothingLoadedKeepsTheBuiltInTexts) {
  std::u16string builtin = loadUiString(40000);
  EXPECT_FALSE(selectResourceModule(program.path(), 0x0411));  // no medit_resource.ini
  writeIni(u"LCID_RESOURCE[0x0411]-[[none.txt]]\r\nDEFAULT_RESOURCE[[absent.txt]]\r\n");
  EXPECT_FALSE(selectResourceModule(program.path(), 0x0411));
  EXPECT_EQ(loadUiString(40000), builtin);
}

TEST_F(ResourceSelection, MissingLocaleFileFallsBackToTheDefault) {
  writeIni(u"LCID_RESOURCE[0x0411]-[[none.txt]]\r\nDEFAULT_RESOURCE[[en.txt]]\r\n");
  EXPECT_TRUE(selectResourceModule(program.path(), 0x0411));
  EXPECT_EQ(loadUiString(40000), u"EN %s");
}

}  // namespace
}  // namespace kv
