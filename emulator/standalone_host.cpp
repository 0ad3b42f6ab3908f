#include "standalone_host.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "os.h"

namespace emu {

StandaloneHost::StandaloneHost(Engine &engine)
    : engine_(engine), loadedAtStart_(os::LoadedLibraries()) {}

bool StandaloneHost::Load(const std::string &path) {
  Unload();
  error_.clear();
  if (!loadedOnce_) {
    loadedOnce_ = true;
    std::error_code ignored;
    gameRoot_ = std::filesystem::current_path(ignored).string();
  }
  if (!library_.Open(path)) {
    error_ = library_.Error();
    return false;
  }
  const auto giveFnptrs = library_.Export<GIVEFNPTRSTODLL_FN>("GiveFnptrsToDll");
  if (giveFnptrs == nullptr) {
    error_ = path + " does not export GiveFnptrsToDll";
    Unload();
    return false;
  }
  giveFnptrs(engine_.Functions(), engine_.Globals());

  if (const auto getNew = library_.Export<GETNEWDLLFUNCTIONS_FN>("GetNewDLLFunctions")) {
    int version = NEW_DLL_FUNCTIONS_VERSION;
    hasNewFunctions_ = getNew(&newFunctions_, &version) == 1;
    if (!hasNewFunctions_) newFunctions_ = NEW_DLL_FUNCTIONS{};
  }

  bool gotTable = false;
  if (const auto getApi2 = library_.Export<GETENTITYAPI2_FN>("GetEntityAPI2")) {
    int version = INTERFACE_VERSION;
    gotTable = getApi2(&functions_, &version) == 1;
    if (!gotTable) {
      error_ = "GetEntityAPI2 answered failure (version " + std::to_string(version) + ")";
    }
  } else if (const auto getApi = library_.Export<GETENTITYAPI_FN>("GetEntityAPI")) {
    gotTable = getApi(&functions_, INTERFACE_VERSION) == 1;
    if (!gotTable) error_ = "GetEntityAPI answered failure";
  } else {
    error_ = path + " exports neither GetEntityAPI2 nor GetEntityAPI";
  }
  if (!gotTable) {
    engine_.RecordFault("game library load: " + error_);
    Unload();
    return false;
  }
  return true;
}

void StandaloneHost::Unload() {
  functions_ = DLL_FUNCTIONS{};
  newFunctions_ = NEW_DLL_FUNCTIONS{};
  hasNewFunctions_ = false;
  library_.Close();
}

void StandaloneHost::EndProcess() {
  if (!loadedOnce_) return;
  for (const std::string &name : os::LoadedLibraries()) {
    const bool fromGameRoot = !std::filesystem::path(name).is_absolute() ||
                              (!gameRoot_.empty() && name.rfind(gameRoot_, 0) == 0);
    if (!fromGameRoot) continue;
    if (std::find(loadedAtStart_.begin(), loadedAtStart_.end(), name) != loadedAtStart_.end()) {
      continue;
    }
    os::ReleaseLeftLibrary(name);
  }
  loadedOnce_ = false;
}

}  // namespace emu
