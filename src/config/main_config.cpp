#include "config/main_config.h"

#include <cstring>

#include "base/console.h"
#include "base/plugin_log.h"
#include "base/reader.h"

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

struct SectionRule {
  const char *header;
  // Queued for every entry; null for the engine section, whose entries are server commands.
  const char *command;
  const char *plusEntry;
  const char *plusWarning;
  const char *minusEntry;
  const char *minusWarning;
  const char *afterWarning;  // queued after either warning, or null
  bool cutsEntries;          // entries are cut to 79 characters (the server section's are not)
};

const SectionRule kSections[] = {
    {"[FPS]", "qrv_vemtark_engine_check 1", "+fps", "NOT FOUND +fps", "-fps", "NOT FOUND -fps",
     nullptr, true},
    {"[CPU]", "qrv_vemtark_engine_test 1", "+cpu", "NOT FOUND +cpu", "-cpu", "NOT FOUND -cpu",
     nullptr, true},
    {"[PING]", "qrv_vemtark_engine 1", "+ping", "NOT FOUND +ping", "-ping", "NOT FOUND -ping",
     nullptr, true},
    {"[SERVER]", "qrv_vemtark_sepd 1", "+server", "NOT FOUND +server", "-server",
     "NOT FOUND -server", nullptr, false},
    {"[METAMOD]", "qrv_vemtark_xepd 1", "+meta", "NOT FOUND +meta", "-meta", "NOT FOUND -meta",
     nullptr, true},
    {"[AMXX]", "qrv_vemtark_yepd 1", "+amxx", "NOT FOUND +amxx", "-amxx", "NOT FOUND -amxx",
     nullptr, true},
    {"[QRVBOTS]", "qrv_vemtark_zepd 1", "+qrvbots", "NOT FOUND +qrvbots", "-qrvbots",
     "NOT FOUND -qrvbots", nullptr, true},
    // Either answer of the plug-in's own section also turns its switch off again.
    {"[VEMTARK]", "qrv_vemtark_fepd 1", "+vemtark", "NOT FOUND +vemtark", "-vemtark",
     "NOT FOUND -vemtark", "qrv_vemtark_fepd 0", true},
    {"[ENGINE]", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, true},
};

// Not reset when a load begins: entries ahead of the first header belong to the section in
// which the previous map's file ended. Null before any header was read.
const SectionRule *g_pCurrentSection = nullptr;

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

bool SelectSection(const char *key) {
  for (const SectionRule &rule : kSections) {
    if (std::strcmp(key, rule.header) == 0) {
      g_pCurrentSection = &rule;
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
  if (rule.afterWarning != nullptr) IssueServerCommand("%s", rule.afterWarning);
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
    const SectionRule *section = g_pCurrentSection;
    if (section == nullptr) continue;  // no header read yet: the entry belongs to nothing
    if (section->cutsEntries && std::strlen(szWord) > kEngineEntryLength) {
      szWord[kEngineEntryLength] = '\0';
    }
    TrimInPlace(szWord);
    if (section->command == nullptr) {
      RunEngineEntry(szWord);
    } else {
      RunSectionEntry(*section, szKey);
    }
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
