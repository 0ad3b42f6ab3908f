#include "config/main_config.h"

#include <cstring>

#include "commands/plugin_log.h"
#include "config/reader.h"
#include "frame/console.h"

namespace {

// Engine section entries are server commands; longer ones are cut.
constexpr size_t kEngineEntryLength = 79;

struct SettingsKey {
  const char *key;
  const char *warning;
};

// Keys of vemtark.ini, tested in this order. The settings they name are not offered by this
// build: each is answered with its warning and changes nothing.
const SettingsKey kSettingsKeys[] = {
    {"FPS_PRLTB", "NOT FOUND FPS_PRLTB"},
    {"FPS_SPDHX_DELAY", "NOT FOUND FPS_SPDHX_DELAY"},
    {"FPS_LOSSCHOKEST", "NOT FOUND FPS_LOSSCHOKEST"},
    {"FPS_WIN32", "NOT FOUND FPS_WIN32"},
    {"FPS_LCSPDXGFDGRT_X", "NOT FOUND FPS_LCSPDXGFDGRT_X"},
    {"FPS_LCSPDXGFDGRT_Y", "NOT FOUND FPS_LCSPDXGFDGRT_Y"},
    {"FPS_LCSPDXGFDGRT_Z", "NOT FOUND FPS_LCSPDXGFDGRT_Z"},
    {"CPU_FNSP", "NOT FOUND CPU_FNSP"},
    {"CPU_PREPROC", "NOT FOUND CPU_PREPROC"},
    {"CPU_MINSLPX", "NOT FOUND CPU_MINSLPX"},
    {"CPU_SPKLVL", "NOT FOUND CPU_SPKLVL"},
    {"CPU_SPKMAX", "NOT FOUND CPU_SPKMAX"},
    {"CPU_FPS_FNSPDREG", "NOT FOUND FPS_CPU_FNSPDREG"},
    {"CPU_PROCLVL", "NOT FOUND CPU_PROCLVL"},
    {"CPU_PREPROCREST", "NOT FOUND CPU_PREPROCREST"},
    {"CPU_AUTREG", "NOT FOUND CPU_AUTREG"},
    {"ENGINE_FNCN", "NOT FOUND ENGINE_FNCN"},
    {"CMD_FNCN", "NOT FOUND CMD_FNCN"},
    {"HPK_FNCN", "NOT FOUND HPK_FNCN"},
    {"SYS_IF", "NOT FOUND SYS_IF"},
};

enum class Section {
  kNone,
  kFps,
  kCpu,
  kPing,
  kServer,
  kMetamod,
  kAmxx,
  kQrvBots,
  kVemtark,
  kEngine
};

struct SectionRule {
  const char *header;
  Section section;
  const char *command;  // queued for every entry; null for the engine section
  const char *plusEntry;
  const char *plusWarning;
  const char *minusEntry;
  const char *minusWarning;
};

const SectionRule kSections[] = {
    {"[FPS]", Section::kFps, "qrv_vemtark_engine_check 1", "+fps", "NOT FOUND +fps", "-fps",
     "NOT FOUND -fps"},
    {"[CPU]", Section::kCpu, "qrv_vemtark_engine_test 1", "+cpu", "NOT FOUND +cpu", "-cpu",
     "NOT FOUND -cpu"},
    {"[PING]", Section::kPing, "qrv_vemtark_engine 1", "+ping", "NOT FOUND +ping", "-ping",
     "NOT FOUND -ping"},
    {"[SERVER]", Section::kServer, "qrv_vemtark_sepd 1", "+server", "NOT FOUND +server", "-server",
     "NOT FOUND -server"},
    {"[METAMOD]", Section::kMetamod, "qrv_vemtark_xepd 1", "+meta", "NOT FOUND +meta", "-meta",
     "NOT FOUND -meta"},
    {"[AMXX]", Section::kAmxx, "qrv_vemtark_yepd 1", "+amxx", "NOT FOUND +amxx", "-amxx",
     "NOT FOUND -amxx"},
    {"[QRVBOTS]", Section::kQrvBots, "qrv_vemtark_zepd 1", "+qrvbots", "NOT FOUND +qrvbots",
     "-qrvbots", "NOT FOUND -qrvbots"},
    {"[VEMTARK]", Section::kVemtark, "qrv_vemtark_fepd 1", "+vemtark", "NOT FOUND +vemtark",
     "-vemtark", "NOT FOUND -vemtark"},
    {"[ENGINE]", Section::kEngine, nullptr, nullptr, nullptr, nullptr, nullptr},
};

// Not reset when a load begins: entries ahead of the first header belong to the section in
// which the previous map's file ended.
Section g_CurrentSection = Section::kNone;

// The word's first token, copied: GetToken's buffer is shared with every other caller.
void CopyKey(const char *word, char (&key)[kWordBufferSize]) {
  std::strncpy(key, GetToken(word, 0), sizeof(key) - 1);
  key[sizeof(key) - 1] = '\0';
}

void ReadServerConfiguration() {
  FileHandle file;
  if (!OpenConfigFile("vemtark.cfg", "Configuration file not found.", file)) return;
  // The engine executes the file itself; reading it through only proves it is there.
  char szWord[kWordBufferSize];
  while (file.ReadWord(szWord, kWordCapacity)) {
  }
  file.Close();
}

void AnswerSettingsKey(const char *key) {
  if (std::strcmp(key, "RUN") == 0) {
    WriteLog(true, LOG_LEVEL_WARNING, "%s", "NOT FOUND RUN FUNCTION");
    return;
  }
  for (const SettingsKey &known : kSettingsKeys) {
    if (std::strcmp(key, known.key) == 0) {
      WriteLog(true, LOG_LEVEL_WARNING, "%s", known.warning);
      return;
    }
  }
}

void ReadSettings() {
  FileHandle file;
  if (!OpenConfigFile("vemtark.ini", "Ini file not found. Loading defaults", file)) return;
  char szWord[kWordBufferSize];
  char szKey[kWordBufferSize];
  while (file.ReadWord(szWord, kWordCapacity)) {
    if (IsSkippedWord(szWord)) continue;
    CopyKey(szWord, szKey);
    AnswerSettingsKey(szKey);
  }
  file.Close();
}

const SectionRule *FindSection(Section section) {
  for (const SectionRule &rule : kSections) {
    if (rule.section == section) return &rule;
  }
  return nullptr;
}

bool SelectSection(const char *key) {
  for (const SectionRule &rule : kSections) {
    if (std::strcmp(key, rule.header) == 0) {
      g_CurrentSection = rule.section;
      return true;
    }
  }
  return false;
}

void RunEngineEntry(char *entry) {
  TrimInPlace(entry);
  // The entry is the operator's text: queued as it stands, never used as a format.
  IssueServerCommand("%s", entry);
  WriteLog(true, LOG_LEVEL_LOG, "%s", "Engine proc MDLs.");
}

void RunSectionEntry(const SectionRule &rule, const char *key) {
  IssueServerCommand("%s", rule.command);
  if (std::strcmp(key, rule.plusEntry) == 0) {
    WriteLog(true, LOG_LEVEL_WARNING, "%s", rule.plusWarning);
  } else if (std::strcmp(key, rule.minusEntry) == 0) {
    WriteLog(true, LOG_LEVEL_WARNING, "%s", rule.minusWarning);
  } else {
    return;
  }
  // Either answer of the plug-in's own section also turns its switch off again.
  if (rule.section == Section::kVemtark) IssueServerCommand("%s", "qrv_vemtark_fepd 0");
}

void ReadEngineSettings() {
  FileHandle file;
  if (!OpenConfigFile("engine.cfgs", "Engine cfg file not found.", file)) {
    WriteLog(true, LOG_LEVEL_ERROR, "%s", "Disabled Engine.");
    return;
  }
  char szWord[kWordBufferSize];
  char szKey[kWordBufferSize];
  while (file.ReadWord(szWord, kWordCapacity)) {
    if (IsSkippedWord(szWord)) continue;
    CopyKey(szWord, szKey);
    if (SelectSection(szKey)) continue;
    if (g_CurrentSection != Section::kServer && std::strlen(szWord) > kEngineEntryLength) {
      szWord[kEngineEntryLength] = '\0';
    }
    TrimInPlace(szWord);
    if (g_CurrentSection == Section::kNone) continue;
    if (g_CurrentSection == Section::kEngine) {
      RunEngineEntry(szWord);
      continue;
    }
    const SectionRule *rule = FindSection(g_CurrentSection);
    if (rule != nullptr) RunSectionEntry(*rule, szKey);
  }
  file.Close();
}

}  // namespace

void LoadConfiguration() {
  // First of everything this load queues, so the server file runs before the switches.
  IssueServerCommand("%s", "exec addons/qrv_vemtark/configs/vemtark.cfg");
  WriteLog(true, LOG_LEVEL_LOG, "%s", "Server reads configs files...");
  ReadServerConfiguration();
  ReadSettings();
  ReadEngineSettings();
}
