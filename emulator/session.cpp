#include "session.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "os.h"
#include "platform/fake_controls.h"

namespace emu {

namespace fs = std::filesystem;

namespace {

std::string NewRootPath() {
  static std::atomic<int> sessions{0};
  const std::string name =
      "qrv_emu_root_" + std::to_string(os::ProcessId()) + "_" + std::to_string(++sessions);
  return (fs::temp_directory_path() / name).string();
}

}  // namespace

std::string PluginBinaryPath(PluginBuild build) {
  const char *file =
      build == PluginBuild::kRelease ? QRV_EMU_RELEASE_PLUGIN_FILE : QRV_EMU_TEST_PLUGIN_FILE;
  return (fs::path(os::ExecutableDirectory()) / file).string();
}

std::string StubPluginPath() {
  return (fs::path(os::ExecutableDirectory()) / QRV_EMU_STUB_PLUGIN_FILE).string();
}

Session::Session(const SessionOptions &options)
    : options_(options),
      previousDirectory_(fs::current_path().string()),
      root_(NewRootPath()),
      pluginPath_(options.pluginPath.empty() ? PluginBinaryPath(options.build)
                                             : options.pluginPath),
      metamod_(engine_),
      standalone_(engine_),
      inGame_(Engine::kMaxClients + 1, false) {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
  const fs::path addon = fs::path(root_) / options_.gameDir / "addons" / "qrv_vemtark";
  fs::create_directories(addon / "configs");
  fs::create_directories(addon / "dlls");
  if (options_.createLogsFolder) fs::create_directories(addon / "logs");
  fs::current_path(root_);
  engine_.SetGameDir(options_.gameDir);
  if (options_.gameLibraryName.empty()) options_.gameLibraryName = GameLibraryFileName();
  if (options_.host == HostMode::kStandalone) {
    if (options_.gameLibrary == GameLibrary::kOnDisk) {
      const fs::path target = fs::path(root_) / GameLibraryPath();
      fs::create_directories(target.parent_path());
      fs::copy_file(StubGameBinaryPath(), target, fs::copy_options::overwrite_existing);
    } else if (options_.gameLibrary == GameLibrary::kSteamCache) {
      engine_.AddSteamCacheFile(GameLibraryPath(), StubGameBinaryPath());
    }
  }
  if (options_.rehldsEngine) {
    // By the very path, not a private copy: the plug-in looks for the engine by its file name.
    const fs::path engine = fs::path(root_) / RehldsEngineFileName();
    std::error_code failure;
    fs::copy_file(RehldsStandInBinaryPath(), engine, fs::copy_options::overwrite_existing, failure);
    if (failure) {
      engine_.RecordFault("cannot copy the stand-in engine library: " + failure.message());
    } else if (!rehldsEngine_.Load(engine.string())) {
      engine_.RecordFault("cannot load the stand-in engine library: " + rehldsEngine_.Error());
    }
  }
  if (options_.echoConsole) {
    engine_.SetConsoleListener([](const std::string &text) {
      std::fputs(text.c_str(), stdout);
      std::fflush(stdout);
    });
  }
}

Session::~Session() {
  // Unloaded first: a Windows loader keeps an open file that could not be removed, and the
  // plug-in's own clean-up must still find the engine.
  metamod_.Unload();
  standalone_.Unload();
  // The game library the plug-in leaves loaded standalone goes too, as at a process's end, before
  // the game root that holds its file is removed.
  standalone_.EndProcess();
  stubGame_.Close();
  // Only now: the plug-in lets go of its frame hook while it unloads.
  rehldsEngine_.Unload();
  std::error_code ignored;
  fs::current_path(previousDirectory_, ignored);
  if (!options_.keepRoot) fs::remove_all(root_, ignored);
}

std::string Session::GameLibraryPath() const {
  return options_.gameDir + "/dlls/" + options_.gameLibraryName;
}

StubGameLibrary &Session::StubGame() {
  if (!stubGame_.IsOpen() && FileExists(GameLibraryPath())) {
    stubGame_.Open((fs::path(root_) / GameLibraryPath()).string());
  }
  return stubGame_;
}

// ---- The server's life

bool Session::Attach() {
  if (options_.host == HostMode::kStandalone) {
    if (standalone_.IsLoaded()) return true;
    return standalone_.Load(pluginPath_);
  }
  if (metamod_.IsAttached()) return true;
  if (!metamod_.IsLoaded() && !metamod_.Load(pluginPath_)) {
    engine_.RecordFault("cannot load the plug-in: " + metamod_.Error());
    return false;
  }
  return metamod_.Attach();
}

bool Session::IsAttached() const {
  return options_.host == HostMode::kStandalone ? standalone_.IsLoaded() : metamod_.IsAttached();
}

void Session::StartServer() {
  if (!IsAttached()) Attach();
  Call<&DLL_FUNCTIONS::pfnGameInit>();
}

void Session::StartMap(const std::string &name) {
  if (mapRunning_) EndMap();
  engine_.SetMapName(name);
  engine_.SetTime(1.0);
  mapRunning_ = true;
  Call<&DLL_FUNCTIONS::pfnServerActivate>(engine_.EdictList(), engine_.EdictCount(),
                                          engine_.MaxClients());
  engine_.ExecuteBuffer();
  for (int index = 1; index <= Engine::kMaxClients; ++index) {
    if (!inGame_[index]) continue;
    const std::string clientName = engine_.String(engine_.Edict(index)->v.netname);
    inGame_[index] = false;
    engine_.SetClientConnected(index, false);
    Admit(index, clientName);
  }
}

void Session::EndMap() {
  if (!mapRunning_) return;
  Call<&DLL_FUNCTIONS::pfnServerDeactivate>();
  mapRunning_ = false;
}

void Session::RunFrames(int count, double framesPerSecond) {
  if (framesPerSecond <= 0.0) {
    engine_.RecordFault("RunFrames needs a positive frame rate");
    return;
  }
  for (int frame = 0; frame < count; ++frame) RunFrame(1.0 / framesPerSecond);
}

void Session::RunLongFrame(double seconds) {
  if (!(seconds > 0.0)) {
    engine_.RecordFault("RunLongFrame needs a positive frame time");
    return;
  }
  RunFrame(seconds);
}

void Session::RunFrame(double seconds) {
  ResolvePluginClock();
  int64_t advancedTo = 0;
  if (advanceClock_ != nullptr) {
    advanceClock_(static_cast<int64_t>(std::llround(seconds * 1e9)));
    advancedTo = clockNanoseconds_();
  }
  const auto body = [this, seconds, advancedTo] {
    double frameSeconds = seconds;
    if (clockNanoseconds_ != nullptr) {
      // Added only when a hook waited, so that frames nobody held up keep their exact length
      // and periods end on the frames they always did.
      const int64_t waited = clockNanoseconds_() - advancedTo;
      if (waited > 0) frameSeconds += static_cast<double>(waited) * 1e-9;
    }
    RunFrameBody(frameSeconds);
  };
  if (rehldsEngine_.IsLoaded()) {
    rehldsEngine_.RunFrame(body);
  } else {
    body();
  }
}

void Session::ResolvePluginClock() {
  const Library &library =
      options_.host == HostMode::kStandalone ? standalone_.library() : metamod_.library();
  // Each load is a private copy under a new name, so an unchanged name is the same module.
  if (library.CopyPath() == clockLibraryCopy_) return;
  clockLibraryCopy_ = library.CopyPath();
  advanceClock_ = library.Export<QrvFakeAdvanceClockFn>(QRV_FAKE_ADVANCE_CLOCK);
  clockNanoseconds_ = library.Export<QrvFakeClockNanosecondsFn>(QRV_FAKE_CLOCK_NANOSECONDS);
  if (advanceClock_ == nullptr || clockNanoseconds_ == nullptr) {
    advanceClock_ = nullptr;
    clockNanoseconds_ = nullptr;
  }
}

void Session::RunFrameBody(double seconds) {
  engine_.AdvanceTime(seconds);
  Call<&DLL_FUNCTIONS::pfnStartFrame>();
  for (int index = 1; index <= Engine::kMaxClients; ++index) {
    if (inGame_[index]) Call<&DLL_FUNCTIONS::pfnPlayerPreThink>(engine_.Edict(index));
  }
  engine_.ExecuteBuffer();
}

// ---- Clients

bool Session::Admit(int index, const std::string &name) {
  edict_t *edict = engine_.Edict(index);
  edict->v = entvars_t{};
  edict->v.pContainingEntity = edict;
  edict->v.classname = engine_.AllocString("player");
  edict->v.netname = engine_.AllocString(name.c_str());
  edict->v.flags = FL_CLIENT;
  char rejectReason[128] = {};
  const std::string address = "127.0.0.1:" + std::to_string(27005 + index);
  const qboolean admitted =
      Call<&DLL_FUNCTIONS::pfnClientConnect>(edict, name.c_str(), address.c_str(), rejectReason);
  if (!admitted) {
    rejectReason[sizeof rejectReason - 1] = 0;
    lastRejectReason_ = rejectReason;
    edict->v = entvars_t{};
    edict->v.pContainingEntity = edict;
    return false;
  }
  engine_.SetClientConnected(index, true);
  inGame_[index] = true;
  Call<&DLL_FUNCTIONS::pfnClientPutInServer>(edict);
  return true;
}

int Session::ConnectClient(const std::string &name) {
  for (int index = 1; index <= Engine::kMaxClients; ++index) {
    if (inGame_[index]) continue;
    return Admit(index, name) ? index : 0;
  }
  lastRejectReason_ = "server is full";
  return 0;
}

void Session::DisconnectClient(int index) {
  if (!IsInGame(index)) return;
  edict_t *edict = engine_.Edict(index);
  Call<&DLL_FUNCTIONS::pfnClientDisconnect>(edict);
  engine_.SetClientConnected(index, false);
  inGame_[index] = false;
  edict->v = entvars_t{};
  edict->v.pContainingEntity = edict;
}

bool Session::IsInGame(int index) const {
  return index >= 1 && index <= Engine::kMaxClients && inGame_[index];
}

std::vector<int> Session::ClientsInGame() const {
  std::vector<int> clients;
  for (int index = 1; index <= Engine::kMaxClients; ++index) {
    if (inGame_[index]) clients.push_back(index);
  }
  return clients;
}

void Session::ClientCommand(int index, const std::string &line) {
  if (!IsInGame(index)) {
    engine_.RecordFault("ClientCommand from slot " + std::to_string(index) +
                        ", which has no client in the game");
    return;
  }
  engine_.SetCommandWords(line);
  Call<&DLL_FUNCTIONS::pfnClientCommand>(engine_.Edict(index));
}

// ---- The operator

void Session::Command(const std::string &line) { engine_.Command(line); }

edict_t *Session::Spawn(const char *classname) {
  edict_t *edict = engine_.CreateEntity(classname);
  if (edict != nullptr) Call<&DLL_FUNCTIONS::pfnSpawn>(edict);
  return edict;
}

// ---- Files

std::string Session::GameDirPath() const { return (fs::path(root_) / options_.gameDir).string(); }

bool Session::WriteFile(const std::string &relativePath, const std::string &contents) const {
  const fs::path path = fs::path(root_) / relativePath;
  std::error_code ignored;
  fs::create_directories(path.parent_path(), ignored);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << contents;
  return static_cast<bool>(file);
}

bool Session::CopyIntoAddon(const std::string &sourceFolder, const std::string &addonFolder) const {
  std::error_code failure;
  fs::directory_iterator entries(sourceFolder, failure);
  if (failure) return false;
  const std::string target = options_.gameDir + "/addons/qrv_vemtark/" + addonFolder + "/";
  bool copied = true;
  // Read and written as bytes (not fs::copy), which behaves the same under wine.
  for (const fs::directory_entry &entry : entries) {
    if (!entry.is_regular_file(failure)) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    copied = WriteFile(target + entry.path().filename().string(), contents.str()) && copied;
  }
  return copied;
}

std::string Session::ReadFile(const std::string &relativePath) const {
  std::ifstream file(fs::path(root_) / relativePath, std::ios::binary);
  if (!file) return std::string();
  std::ostringstream contents;
  contents << file.rdbuf();
  return contents.str();
}

bool Session::FileExists(const std::string &relativePath) const {
  std::error_code ignored;
  return fs::exists(fs::path(root_) / relativePath, ignored);
}

}  // namespace emu
