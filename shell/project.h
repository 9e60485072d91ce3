// The robot project: the project file (.rpj) that names the project's six
// settings files, and the program-wide lists kept beside the executable (the
// recent-project log, the robot template list, the language choice).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kv {

struct ProjectRecord {
  std::u16string modelName;            // "MODELNAME:", at most 15 units
  std::filesystem::path projectFile;   // the .rpj that was loaded
  std::filesystem::path projectFolder; // absolute
  // Names as written in the project file, relative to the project folder.
  // They are only read from; every writer uses its fixed "medit_" name.
  std::u16string displaySettingsFile;  // "SYSINI:"
  std::u16string axisDefinitionFile;   // "SLDINI:"
  std::u16string modeSwitchMapFile;    // "MAPINI:"
  std::u16string romSettingsFile;      // "ROMINI:"
  std::u16string basePoseFile;         // "DEFPOSINI:"
  std::u16string offsetFile;           // "DEFOFSINI:"
  // The settings files start-up read, as found on disk: a name may have
  // matched a file whose name differs in case only.
  std::vector<std::filesystem::path> settingsFilesRead;
};

// The names a project created by the program uses, and that writers write.
inline constexpr char16_t kDisplaySettingsFileName[] = u"medit_sys.ini";
inline constexpr char16_t kAxisDefinitionFileName[] = u"medit_sld.ini";
inline constexpr char16_t kModeSwitchMapFileName[] = u"medit_map.ini";
inline constexpr char16_t kRomSettingsFileName[] = u"medit_rom.ini";
inline constexpr char16_t kBasePoseFileName[] = u"medit_defpos.ini";
inline constexpr char16_t kOffsetFileName[] = u"medit_defofs.ini";

inline constexpr size_t kRecentProjectCount = 32;
inline constexpr size_t kRobotTemplateCount = 32;

struct RecentProject {
  std::u16string robotName;
  std::filesystem::path projectFile;
};

struct RobotTemplate {
  std::u16string robotName;
  std::filesystem::path projectFile;
};

// Reads a project file into `record`. The project folder is the folder part
// of `projectFile`, made absolute (the current directory when it has none).
bool loadProject(const std::filesystem::path& projectFile, ProjectRecord& record);
bool saveProject(const std::filesystem::path& projectFile, const ProjectRecord& record);

// "rpjlog.dat" in `programFolder`: keeps the entries whose project file still
// exists, newest first. `mostRecent`, when given, receives entry 0's path.
bool readRecentLog(const std::filesystem::path& programFolder, std::vector<RecentProject>& list,
                   std::filesystem::path* mostRecent = nullptr);
// Puts (modelName, projectFile) in front, replacing the entry of the same
// robot name, and rewrites the log.
bool writeRecentLog(const std::filesystem::path& programFolder, std::vector<RecentProject>& list,
                    const std::u16string& modelName, const std::filesystem::path& projectFile);

// "defrobots.dat" in `programFolder`: the templates new projects start from.
bool readRobotList(const std::filesystem::path& programFolder, std::vector<RobotTemplate>& list);

// The Windows locale number of a POSIX locale name ("ja_JP.UTF-8" -> 0x0411);
// 0x0409 for "C", "POSIX" and names it does not know.
int localeIdFromName(const std::string& localeName);
// The user's locale number, from LC_ALL, LC_MESSAGES or LANG.
int userLocaleId();

// Chooses the language from "medit_resource.ini" in `programFolder`: the
// language file of the line whose locale matches `localeId`, else the
// default one. Returns true when a language file was loaded.
bool selectResourceModule(const std::filesystem::path& programFolder, int localeId);

}  // namespace kv
