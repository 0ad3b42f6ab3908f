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
#include "entry/dllapi.h"
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

// Every registered command, then two more dispatcher names: one in capitals, one from the input.
constexpr int kExtraCommands = 2;

ConsoleCommand CommandOf(uint8_t selector) {
  const int index = selector % (kConsoleCommandCount + kExtraCommands);
  if (index < kConsoleCommandCount) return kConsoleCommands[index];
  if (index == kConsoleCommandCount) return ConsoleCommand{"QRV_DEBUG", CommandDispatcher};
  return ConsoleCommand{nullptr, CommandDispatcher};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::InstallEngine();
  g_engfuncs.pfnCmd_Argv = CommandArgument;
  fuzz::EnterGameRoot();
  if (size == 0) return 0;
  const ConsoleCommand command = CommandOf(data[0]);

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
