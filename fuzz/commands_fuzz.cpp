// Any bytes as the debug module list, as a module file and as a console command line: the
// module check, qrv_debug and every console command of the plug-in run over them. Nothing may be
// read or written outside its buffer.
//
// Input: <selector byte> <debug.ini> NUL <module file> NUL <command arguments>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "commands/dispatcher.h"
#include "commands/switch_commands.h"
#include "config/debug_modules.h"
#include "fuzz_engine.h"

namespace {

const char kConfigs[] = "cstrike/addons/qrv_vemtark/configs/";
const char kDlls[] = "cstrike/addons/qrv_vemtark/dlls/";

std::vector<std::string> g_words;  // the command line: name, then its arguments

const char *CommandArgument(int index) {
  if (index < 0 || static_cast<size_t>(index) >= g_words.size()) return "";
  return g_words[static_cast<size_t>(index)].c_str();
}

void WriteFile(const std::string &path, const std::string &contents) {
  FILE *file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return;
  std::fwrite(contents.data(), 1, contents.size(), file);
  std::fclose(file);
}

std::vector<std::string> Words(const std::string &text) {
  std::vector<std::string> words;
  std::string word;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

// A word that names a file inside the dlls folder and nowhere else.
bool IsPlainFileName(const std::string &word) {
  if (word.empty() || word.size() > 200 || word == "." || word == "..") return false;
  return word.find('/') == std::string::npos && word.find('\0') == std::string::npos;
}

struct Command {
  const char *name;
  void (*handler)();
};

const Command kCommands[] = {
    {"qrv_vemtark_about", CommandDispatcher},
    {"qrv_vemtark_help", CommandDispatcher},
    {"qrv_helpme", CommandDispatcher},
    {"qrv_info", CommandDispatcher},
    {"qrv_systems", CommandDispatcher},
    {"qrv_debug", CommandDispatcher},
    {"QRV_DEBUG", CommandDispatcher},
    {nullptr, CommandDispatcher},  // a name from the input
    {"qrv_vemtark_debug", DebugModeCommand},
    {"messagebox", MessageBoxCheckCommand},
    {"check_code", CodeCheckCommand},
    {"qrv_vemtark_strengthening", StrengtheningCommand},
    {"qrv_vemtark_premonitor_win", PremonitorWinCommand},
    {"qrv_vemtark_qrvbots_support", QrvBotsSupportCommand},
    {"qrv_vemtark_engine_check", EngineCheckCommand},
    {"qrv_vemtark_engine_test", EngineTestCommand},
    {"qrv_vemtark_sepd", SEpdCommand},
    {"qrv_vemtark_xepd", XEpdCommand},
    {"qrv_vemtark_yepd", YEpdCommand},
    {"qrv_vemtark_zepd", ZEpdCommand},
    {"qrv_vemtark_fepd", FEpdCommand},
    {"qrv_vemtark_hpk", HighPingKickerCommand},
};
constexpr size_t kCommandCount = sizeof(kCommands) / sizeof(kCommands[0]);

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::InstallEngine();
  g_engfuncs.pfnCmd_Argv = CommandArgument;
  fuzz::EnterGameRoot();
  if (size == 0) return 0;
  const Command &command = kCommands[data[0] % kCommandCount];

  std::string rest(reinterpret_cast<const char *>(data + 1), size - 1);
  size_t first = rest.find('\0');
  size_t second = first == std::string::npos ? std::string::npos : rest.find('\0', first + 1);
  std::string list = rest.substr(0, first);
  std::string module = first == std::string::npos ? "" : rest.substr(first + 1, second - first - 1);
  std::string line = second == std::string::npos ? "" : rest.substr(second + 1);

  WriteFile(std::string(kConfigs) + "debug.cfgs", "sv_cheats");
  WriteFile(std::string(kConfigs) + "debug.ini", list);
  std::vector<std::string> listed = Words(list);
  for (size_t index = 0; index < listed.size() && index < 3; ++index) {
    if (IsPlainFileName(listed[index])) {
      WriteFile(std::string(kDlls) + listed[index] + ".lib", module);
    }
  }

  g_words = Words(line);
  if (command.name != nullptr) g_words.insert(g_words.begin(), command.name);
  command.handler();

  std::string listPath = std::string(kConfigs) + "debug.ini";
  CheckDebugModules(listPath.c_str());
  for (const std::string &word : g_words) ShowDebugModule(word.c_str());

  for (size_t index = 0; index < listed.size() && index < 3; ++index) {
    if (IsPlainFileName(listed[index])) {
      std::remove((std::string(kDlls) + listed[index] + ".lib").c_str());
    }
  }
  return 0;
}
