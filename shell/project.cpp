#include "shell/project.h"

#include <cstdlib>
#include <system_error>
#include <utility>

#include "shell/folders.h"
#include "shell/string_table.h"
#include "shell/text_encoding.h"
#include "shell/textfile.h"

namespace kv {
namespace fs = std::filesystem;

namespace {

constexpr char16_t kRecentLogKey[] = u"ROBOT_LOG";
constexpr char16_t kRobotKey[] = u"ROBOT:";

bool fileExists(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

}  // namespace

bool loadProject(const fs::path& projectFile, ProjectRecord& record) {
  // Keys are tested in this order; each line feeds the first key it holds.
  struct Key {
    const char16_t* text;
    std::u16string ProjectRecord::*field;
    size_t size;
  };
  static const Key keys[] = {
      {u"MODELNAME:", &ProjectRecord::modelName, kNameFieldSize},
      {u"ROMINI:", &ProjectRecord::romSettingsFile, kPathFieldSize},
      {u"SYSINI:", &ProjectRecord::displaySettingsFile, kPathFieldSize},
      {u"MAPINI:", &ProjectRecord::modeSwitchMapFile, kPathFieldSize},
      {u"DEFPOSINI:", &ProjectRecord::basePoseFile, kPathFieldSize},
      {u"SLDINI:", &ProjectRecord::axisDefinitionFile, kPathFieldSize},
      {u"DEFOFSINI:", &ProjectRecord::offsetFile, kPathFieldSize},
  };
  ProjectRecord loaded;
  bool opened = readTaggedFile(projectFile, kDefaultLineCapacity, [&](std::u16string_view line) {
    for (const Key& key : keys) {
      Cursor at = findKey(line, key.text);
      if (!at) continue;
      loaded.*key.field = fitField(FieldReader(line, at).text(), key.size);
      break;
    }
  });
  if (!opened) return false;
  std::error_code ec;
  fs::path absolute = fs::absolute(projectFile, ec);
  if (ec) absolute = projectFile;
  loaded.projectFile = absolute.lexically_normal();
  loaded.projectFolder = loaded.projectFile.parent_path();
  record = std::move(loaded);
  return true;
}

bool saveProject(const fs::path& projectFile, const ProjectRecord& record) {
  TaggedFileWriter out(projectFile);
  out.line(u"MODELNAME:[[%s]]\n", {record.modelName});
  out.line(u"ROMINI:[[%s]]\n", {record.romSettingsFile});
  out.line(u"SYSINI:[[%s]]\n", {record.displaySettingsFile});
  out.line(u"MAPINI:[[%s]]\n", {record.modeSwitchMapFile});
  out.line(u"DEFPOSINI:[[%s]]\n", {record.basePoseFile});
  out.line(u"SLDINI:[[%s]]\n", {record.axisDefinitionFile});
  out.line(u"DEFOFSINI:[[%s]]\n", {record.offsetFile});
  return out.finish();
}

bool readRecentLog(const fs::path& programFolder, std::vector<RecentProject>& list, fs::path* mostRecent) {
  list.clear();
  bool opened = readTaggedFile(programFolder / "rpjlog.dat", kDefaultLineCapacity, [&](std::u16string_view line) {
    Cursor at = findKey(line, kRecentLogKey);
    if (!at || list.size() >= kRecentProjectCount) return;
    FieldReader fields(line, at);
    RecentProject entry;
    entry.robotName = fitField(fields.text(), kNameFieldSize);
    entry.projectFile = pathFromFileText(fitField(fields.text(), kPathFieldSize));
    if (!entry.projectFile.empty() && fileExists(entry.projectFile)) list.push_back(std::move(entry));
  });
  if (mostRecent) *mostRecent = list.empty() ? fs::path() : list.front().projectFile;
  return opened;
}

bool writeRecentLog(const fs::path& programFolder, std::vector<RecentProject>& list,
                    const std::u16string& modelName, const fs::path& projectFile) {
  // One entry per robot name: the new one replaces it, or pushes out the oldest.
  const std::u16string name = fitField(modelName, kNameFieldSize);
  for (auto it = list.begin(); it != list.end(); ++it) {
    if (it->robotName == name) {
      list.erase(it);
      break;
    }
  }
  list.insert(list.begin(), RecentProject{name, projectFile});
  if (list.size() > kRecentProjectCount) list.resize(kRecentProjectCount);

  TaggedFileWriter out(programFolder / "rpjlog.dat");
  for (const RecentProject& entry : list)
    out.line(u"ROBOT_LOG[[%s]]-[[%s]]\n", {entry.robotName, fromPath(entry.projectFile)});
  return out.finish();
}

bool readRobotList(const fs::path& programFolder, std::vector<RobotTemplate>& list) {
  list.clear();
  return readTaggedFile(programFolder / "defrobots.dat", kDefaultLineCapacity, [&](std::u16string_view line) {
    Cursor at = findKey(line, kRobotKey);
    if (!at || list.size() >= kRobotTemplateCount) return;
    FieldReader fields(line, at);
    RobotTemplate entry;
    entry.robotName = fitField(fields.text(), kNameFieldSize);
    entry.projectFile = pathFromFileText(fitField(fields.text(), kPathFieldSize));
    list.push_back(std::move(entry));
  });
}

int localeIdFromName(const std::string& localeName) {
  // "ja_JP.UTF-8@euro" -> language "ja", territory "JP".
  std::string name = localeName.substr(0, localeName.find_first_of(".@"));
  std::string language = name.substr(0, name.find_first_of("_-"));
  std::string territory = name.size() > language.size() ? name.substr(language.size() + 1) : "";
  struct Entry {
    const char* language;
    const char* territory;  // "" matches any territory of the language
    int id;
  };
  static const Entry table[] = {
      {"ja", "", 0x0411},   {"en", "US", 0x0409}, {"en", "GB", 0x0809}, {"en", "AU", 0x0C09},
      {"en", "CA", 0x1009}, {"en", "", 0x0409},   {"zh", "TW", 0x0404}, {"zh", "HK", 0x0C04},
      {"zh", "SG", 0x1004}, {"zh", "", 0x0804},   {"ko", "", 0x0412},   {"de", "AT", 0x0C07},
      {"de", "CH", 0x0807}, {"de", "", 0x0407},   {"fr", "CA", 0x0C0C}, {"fr", "BE", 0x080C},
      {"fr", "CH", 0x100C}, {"fr", "", 0x040C},   {"es", "MX", 0x080A}, {"es", "", 0x0C0A},
      {"it", "", 0x0410},   {"pt", "BR", 0x0416}, {"pt", "", 0x0816},   {"nl", "BE", 0x0813},
      {"nl", "", 0x0413},   {"ru", "", 0x0419},   {"pl", "", 0x0415},   {"cs", "", 0x0405},
      {"sv", "", 0x041D},   {"da", "", 0x0406},   {"fi", "", 0x040B},   {"nb", "", 0x0414},
      {"no", "", 0x0414},   {"hu", "", 0x040E},   {"tr", "", 0x041F},   {"el", "", 0x0408},
      {"th", "", 0x041E},   {"vi", "", 0x042A},   {"id", "", 0x0421},   {"uk", "", 0x0422},
  };
  for (const Entry& entry : table) {
    if (language == entry.language && (*entry.territory == '\0' || territory == entry.territory)) return entry.id;
  }
  return 0x0409;
}

int userLocaleId() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value && *value) return localeIdFromName(value);
  }
  return 0x0409;
}

bool selectResourceModule(const fs::path& programFolder, int localeId) {
  std::u16string defaultName;
  std::u16string currentName;
  int currentLocale = -1;
  bool loaded = false;
  auto tryLoad = [&](const std::u16string& name) {
    return !name.empty() && loadLanguageFile(resolveFileName(programFolder, name));
  };
  readTaggedFile(programFolder / "medit_resource.ini", kDefaultLineCapacity, [&](std::u16string_view line) {
    if (loaded) return;
    line = line.substr(0, line.find(u'#'));
    if (Cursor at = findKey(line, u"DEFAULT_RESOURCE")) defaultName = FieldReader(line, at).text();
    if (Cursor at = findKey(line, u"LCID_RESOURCE")) {
      FieldReader fields(line, at);
      currentLocale = fields.hex4();
      currentName = fields.text();
    }
    if (currentLocale == localeId) loaded = tryLoad(currentName);
  });
  if (!loaded) loaded = tryLoad(defaultName);
  return loaded;
}

}  // namespace kv
