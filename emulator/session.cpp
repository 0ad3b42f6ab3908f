#include "session.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "command_text.h"
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
      inGame_(Engine::kMaxClients + 1, false),
      bot_(Engine::kMaxClients + 1, false) {
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
  engine_.SetCommandRouter(
      [this](const std::string &name) { RouteCommand(name, kCommandFromConsole, -1); });
  // The game part's stall, where the game does its own work of the frame.
  metamod_.Game().SetStartFrameWork([this] {
    AdvanceClock(gameStall_);
    gameStall_ = 0.0;
  });
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
    Admit(index, clientName, bot_[index]);
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

void Session::StallNextFrame(FramePart part, double seconds) {
  if (!(seconds >= 0.0)) {
    engine_.RecordFault("StallNextFrame needs a stall of 0 seconds or more");
    return;
  }
  stalls_[static_cast<int>(part)] += seconds;
}

double Session::TakeStall(FramePart part) {
  double &stall = stalls_[static_cast<int>(part)];
  const double seconds = stall;
  stall = 0.0;
  return seconds;
}

void Session::SetCommandCost(const std::string &firstWord, double seconds) {
  const std::string key = LowerCase(firstWord);
  if (seconds > 0.0) {
    commandCosts_[key] = seconds;
  } else {
    commandCosts_.erase(key);
  }
}

void Session::RunFrame(double seconds) {
  AdvanceClock(seconds);  // the launcher's sleep before the frame
  const ClockMark slept = Mark();
  AdvanceClock(TakeStall(FramePart::kBetween));
  if (rehldsEngine_.IsLoaded()) {
    engine_.ExecuteBuffer();
    rehldsEngine_.RunFrame([this, seconds, &slept] { RunEngineFrame(seconds, slept); });
  } else {
    RunEngineFrame(seconds, slept);
  }
  // An output stall no client update reached comes at the frame's end.
  AdvanceClock(TakeStall(FramePart::kOutput));
  if (frameTaken_) {
    carriedNanoseconds_ = Elapsed(takenAt_, Mark());
    frameTaken_ = false;
  }
  for (double &stall : stalls_) stall = 0.0;  // a frame the chain did not run takes its stalls
}

void Session::RunEngineFrame(double seconds, const ClockMark &slept) {
  AdvanceClock(TakeStall(FramePart::kInput));
  RunQueuedInput();
  takenAt_ = Mark();
  frameTaken_ = true;
  // Added only when something held the frame up, so that frames nobody held up keep their exact
  // length and periods end on the frames they always did.
  const int64_t heldUp = Elapsed(slept, takenAt_) + carriedNanoseconds_;
  carriedNanoseconds_ = 0;
  RunFrameBody(heldUp > 0 ? seconds + static_cast<double>(heldUp) * 1e-9 : seconds);
}

void Session::RunFrameBody(double seconds) {
  engine_.AdvanceTime(seconds);
  gameStall_ = TakeStall(FramePart::kGame);
  Call<&DLL_FUNCTIONS::pfnStartFrame>();
  // Standalone, or a game that did not run: right after StartFrame came back.
  AdvanceClock(gameStall_);
  gameStall_ = 0.0;
  for (int index = 1; index <= Engine::kMaxClients; ++index) {
    if (inGame_[index]) Call<&DLL_FUNCTIONS::pfnPlayerPreThink>(engine_.Edict(index));
  }
  if (rehldsEngine_.IsLoaded()) {
    SendClientUpdates();
  } else {
    engine_.ExecuteBuffer();
  }
}

void Session::SendClientUpdates() {
  for (int index = 1; index <= Engine::kMaxClients; ++index) {
    if (!inGame_[index] || bot_[index]) continue;
    rehldsEngine_.CreatePacketEntities(0, index - 1, packetEntities_, message_,
                                       [this](int, int, void *, void *) {
                                         AdvanceClock(TakeStall(FramePart::kOutput));
                                         return 0;
                                       });
  }
}

void Session::RunQueuedInput() {
  std::vector<QueuedInput> input;
  input.swap(queuedInput_);  // what arrives while these run waits for the next frame
  for (const QueuedInput &each : input) {
    if (each.client == 0) {
      engine_.ExecuteCommand(each.line);
    } else if (IsInGame(each.client)) {  // one who left meanwhile sends nothing
      ClientCommand(each.client, each.line);
    }
  }
}

void Session::RouteCommand(const std::string &name, int source, int clientId) {
  rehldsEngine_.ExecuteServerStringCmd(name.c_str(), source, clientId,
                                       [this](const char *command, int from, int client) {
                                         RunCommandOriginal(command, from, client);
                                       });
}

void Session::RunCommandOriginal(const char *name, int source, int clientId) {
  const std::string command = name != nullptr ? name : "";
  const auto cost = commandCosts_.find(LowerCase(command));
  if (cost != commandCosts_.end()) AdvanceClock(cost->second);
  if (source == kCommandFromClient && IsInGame(clientId + 1)) {
    Call<&DLL_FUNCTIONS::pfnClientCommand>(engine_.Edict(clientId + 1));
  } else {
    engine_.RunCommand(command);
  }
}

void Session::AdvanceClock(double seconds) {
  if (!(seconds > 0.0)) return;
  const int64_t nanoseconds = static_cast<int64_t>(std::llround(seconds * 1e9));
  ownClock_ += nanoseconds;
  ResolvePluginClock();
  if (advanceClock_ != nullptr) advanceClock_(nanoseconds);
}

Session::ClockMark Session::Mark() {
  ResolvePluginClock();
  if (clockNanoseconds_ == nullptr) return ClockMark{ownClock_, 0, 0};
  return ClockMark{ownClock_, clockNanoseconds_(), clockModule_};
}

int64_t Session::Elapsed(const ClockMark &from, const ClockMark &to) {
  if (from.module != 0 && from.module == to.module) return to.fake - from.fake;
  return to.own - from.own;
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
  ++clockModule_;
}

// ---- Clients

bool Session::Admit(int index, const std::string &name, bool bot) {
  edict_t *edict = engine_.Edict(index);
  edict->v = entvars_t{};
  edict->v.pContainingEntity = edict;
  edict->v.classname = engine_.AllocString("player");
  edict->v.netname = engine_.AllocString(name.c_str());
  edict->v.flags = bot ? FL_CLIENT | FL_FAKECLIENT : FL_CLIENT;
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
  bot_[index] = bot;
  Call<&DLL_FUNCTIONS::pfnClientPutInServer>(edict);
  return true;
}

int Session::ConnectInFreeSlot(const std::string &name, bool bot) {
  for (int index = 1; index <= Engine::kMaxClients; ++index) {
    if (!inGame_[index]) return Admit(index, name, bot) ? index : 0;
  }
  lastRejectReason_ = "server is full";
  return 0;
}

int Session::ConnectClient(const std::string &name) { return ConnectInFreeSlot(name, false); }

int Session::ConnectBot(const std::string &name) { return ConnectInFreeSlot(name, true); }

bool Session::IsBot(int index) const { return IsInGame(index) && bot_[index]; }

void Session::DisconnectClient(int index) {
  if (!IsInGame(index)) return;
  edict_t *edict = engine_.Edict(index);
  Call<&DLL_FUNCTIONS::pfnClientDisconnect>(edict);
  engine_.SetClientConnected(index, false);
  inGame_[index] = false;
  bot_[index] = false;
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
  if (engine_.Argc() == 0) {  // nothing for the engine to look up: the game hears it as it is
    Call<&DLL_FUNCTIONS::pfnClientCommand>(engine_.Edict(index));
    return;
  }
  RouteCommand(engine_.Argv(0), kCommandFromClient, index - 1);
}

void Session::QueueClientCommand(int index, const std::string &line) {
  if (!IsInGame(index)) {
    engine_.RecordFault("QueueClientCommand from slot " + std::to_string(index) +
                        ", which has no client in the game");
    return;
  }
  queuedInput_.push_back(QueuedInput{index, line});
}

// ---- The operator

void Session::Command(const std::string &line) { engine_.Command(line); }

void Session::QueueConsoleCommand(const std::string &line) { engine_.QueueCommandText(line); }

void Session::QueueRconCommand(const std::string &line) {
  queuedInput_.push_back(QueuedInput{0, line});
}

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
