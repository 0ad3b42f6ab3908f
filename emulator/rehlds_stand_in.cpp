#include "rehlds_stand_in.h"

#include <filesystem>
#include <sstream>

#include "os.h"

namespace emu {

std::string RehldsStandInBinaryPath() {
  return (std::filesystem::path(os::ExecutableDirectory()) / QRV_EMU_STUB_REHLDS_FILE).string();
}

const char *RehldsEngineFileName() { return QRV_EMU_REHLDS_ENGINE_NAME; }

namespace {

template <typename Function>
void ResolveInto(void *library, const char *name, Function *into) {
  *into = reinterpret_cast<Function>(os::LibrarySymbol(library, name));
}

}  // namespace

bool RehldsStandIn::Load(const std::string &path) {
  Unload();
  error_.clear();
  handle_ = os::OpenLibrary(path, &error_);
  if (handle_ == nullptr) return false;
  if (!Resolve()) {
    error_ = path + " is not the stand-in engine library";
    Unload();
    return false;
  }
  return true;
}

bool RehldsStandIn::Resolve() {
  ResolveInto(handle_, "CreateInterface", &createInterface_);
  ResolveInto(handle_, "QrvStandIn_SetApiVersion", &setApiVersion_);
  ResolveInto(handle_, "QrvStandIn_RunFrame", &runFrame_);
  ResolveInto(handle_, "QrvStandIn_ExecuteServerStringCmd", &executeServerStringCmd_);
  ResolveInto(handle_, "QrvStandIn_CreatePacketEntities", &createPacketEntities_);
  ResolveInto(handle_, "QrvStandIn_GameClient", &gameClient_);
  ResolveInto(handle_, "QrvStandIn_GameClientId", &gameClientId_);
  ResolveInto(handle_, "QrvStandIn_Calls", &calls_);
  ResolveInto(handle_, "QrvStandIn_ClearCalls", &clearCalls_);
  ResolveInto(handle_, "QrvStandIn_SetRecording", &setRecording_);
  ResolveInto(handle_, "QrvStandIn_ChainHookCount", &hookCount_);
  ResolveInto(handle_, "QrvStandIn_ChainHookPriority", &hookPriority_);
  return createInterface_ && setApiVersion_ && runFrame_ && executeServerStringCmd_ &&
         createPacketEntities_ && gameClient_ && gameClientId_ && calls_ && clearCalls_ &&
         setRecording_ && hookCount_ && hookPriority_;
}

void RehldsStandIn::Unload() {
  if (handle_ != nullptr) os::CloseLibrary(handle_);
  handle_ = nullptr;
  createInterface_ = nullptr;
  setApiVersion_ = nullptr;
  runFrame_ = nullptr;
  executeServerStringCmd_ = nullptr;
  createPacketEntities_ = nullptr;
  gameClient_ = nullptr;
  gameClientId_ = nullptr;
  calls_ = nullptr;
  clearCalls_ = nullptr;
  setRecording_ = nullptr;
  hookCount_ = nullptr;
  hookPriority_ = nullptr;
}

void *RehldsStandIn::CreateInterface(const char *name, int *returnCode) const {
  return IsLoaded() ? createInterface_(name, returnCode) : nullptr;
}

void RehldsStandIn::SetApiVersion(int major, int minor) const {
  if (IsLoaded()) setApiVersion_(major, minor);
}

std::vector<std::string> RehldsStandIn::Calls() const {
  std::vector<std::string> lines;
  if (!IsLoaded()) return lines;
  std::istringstream in(calls_());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

void RehldsStandIn::ClearCalls() const {
  if (IsLoaded()) clearCalls_();
}

void RehldsStandIn::SetRecording(bool on) const {
  if (IsLoaded()) setRecording_(on ? 1 : 0);
}

int RehldsStandIn::HookCount(RehldsChain chain) const {
  return IsLoaded() ? hookCount_(static_cast<int>(chain)) : 0;
}

std::vector<int> RehldsStandIn::Priorities(RehldsChain chain) const {
  std::vector<int> priorities;
  for (int index = 0; index < HookCount(chain); ++index) {
    priorities.push_back(hookPriority_(static_cast<int>(chain), index));
  }
  return priorities;
}

void *RehldsStandIn::GameClient(int id) const { return IsLoaded() ? gameClient_(id) : nullptr; }

int RehldsStandIn::GameClientId(const void *client) const {
  return IsLoaded() ? gameClientId_(client) : -1;
}

void RehldsStandIn::RunFrame(void (*original)(void *context), void *context) const {
  if (IsLoaded()) {
    runFrame_(original, context);
  } else {
    original(context);
  }
}

}  // namespace emu
