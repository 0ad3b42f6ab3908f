// A server session for tests and the demo: a fresh game root, an engine, the plug-in under the
// emulated Metamod (or loaded standalone), and the steps a server goes through, so that a test
// reads like one:
//
//   emu::Session server;
//   server.StartServer();                    // attach, GameInit
//   server.StartMap("de_dust2");             // ServerActivate, then the command buffer runs
//   server.RunFrames(400, 100.0);            // four seconds at 100 frames per second
//   int alice = server.ConnectClient("Alice");
//   server.Command("qrv_fps");
//   EXPECT_NE(std::string::npos, server.engine().Console().find("\"qrv_fps\" is"));
//   EXPECT_TRUE(server.Faults().empty());
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "engine.h"
#include "metamod_host.h"
#include "rehlds_stand_in.h"
#include "standalone_host.h"
#include "stub_game_library.h"

namespace emu {

enum class PluginBuild {
  kRelease,  // qrv_vemtark_mm_amd64.so / qrv_vemtark_mm.dll
  kTest,     // qrv_vemtark_test.so / .dll: the same logic over the fake platform
};

enum class HostMode {
  kMetamod,     // the plug-in under the emulated Metamod, over the stub game
  kStandalone,  // the engine loads the binary as its game library
};

// Standalone: where the game library that the plug-in loads underneath itself is found.
enum class GameLibrary {
  kOnDisk,      // our stub game library at <gamedir>/dlls/<name>
  kSteamCache,  // only in the engine's Steam cache, under that same path
  kMissing,     // nowhere
};

struct SessionOptions {
  std::string gameDir = "cstrike";
  // The plug-in never creates its logs folder; a release package ships it.
  bool createLogsFolder = true;
  PluginBuild build = PluginBuild::kRelease;
  std::string pluginPath;  // a binary of the caller's choosing instead of `build`
  HostMode host = HostMode::kMetamod;
  // Standalone only: the game library and its file name (empty: the name a server of this
  // build loads, GameLibraryFileName()).
  GameLibrary gameLibrary = GameLibrary::kOnDisk;
  std::string gameLibraryName;
  // A ReHLDS engine: our stand-in engine library sits in the game root under the engine's file
  // name (RehldsEngineFileName()), loaded before the plug-in and unloaded after it, and every
  // frame runs inside its SV_Frame hook chain.
  bool rehldsEngine = false;
  bool echoConsole = false;  // also write console text to standard output as it arrives
  bool keepRoot = false;     // leave the game root on disk afterwards (for a look by hand)
};

// Where the binaries sit: next to the running executable, as the build puts them.
std::string PluginBinaryPath(PluginBuild build);
std::string StubPluginPath();  // the emulator's own stub plug-in and game library

class Session {
 public:
  // Creates a fresh temporary game root and makes it the working directory of the process until
  // the session ends (the previous one is restored then): "<gamedir>/addons/qrv_vemtark/" with
  // configs/, dlls/ and (unless told otherwise) logs/. Loads nothing yet.
  explicit Session(const SessionOptions &options = SessionOptions());
  // Unloads the binary (no Meta_Detach: a test that wants one calls it), restores the working
  // directory and removes the game root.
  ~Session();
  Session(const Session &) = delete;
  Session &operator=(const Session &) = delete;

  Engine &engine() { return engine_; }
  const Engine &engine() const { return engine_; }
  MetamodHost &metamod() { return metamod_; }
  StandaloneHost &standalone() { return standalone_; }
  const SessionOptions &options() const { return options_; }
  const std::string &PluginPath() const { return pluginPath_; }
  // "<gamedir>/dlls/<name>" of the game library, relative to the root.
  std::string GameLibraryPath() const;
  // The controls of the stub game library at GameLibraryPath(), opened on first use (before the
  // plug-in loads it too, when a test wants it to refuse something); IsOpen() false when it is
  // not on disk (yet).
  StubGameLibrary &StubGame();
  // The stand-in engine library of a session with rehldsEngine; IsLoaded() false otherwise.
  RehldsStandIn &RehldsEngine() { return rehldsEngine_; }
  const RehldsStandIn &RehldsEngine() const { return rehldsEngine_; }

  // ---- The server's life
  // Loads the plug-in and runs Metamod's start-up sequence (standalone: the engine's load
  // sequence). False when it failed; the reason is in Faults() or in the host's Error().
  bool Attach();
  bool IsAttached() const;
  // Attaches if needed, then GameInit.
  void StartServer();
  // Ends the running map if there is one, sets mapname and the map clock (game time starts at
  // 1 second on every map, as on a real server), dispatches ServerActivate(edicts, count,
  // maxClients) and runs the command buffer. Clients still connected from the previous map
  // connect again (ClientConnect, ClientPutInServer), as they do on a level change.
  void StartMap(const std::string &name);
  // ServerDeactivate, when a map is running.
  void EndMap();
  bool MapRunning() const { return mapRunning_; }
  // Each frame: game time advances by 1/framesPerSecond and the engine's frame time
  // (globals.frametime) is that step, StartFrame, PlayerPreThink for every client in the game,
  // then the command buffer runs.
  // With rehldsEngine, all of that is the engine's own frame inside the SV_Frame hook chain, so
  // the plug-in's hooks run around it (and a hook that does not pass the frame on stops it).
  // When the plug-in exports the fake platform's clock (the test build), each frame first
  // advances that clock by the frame's length; whatever the hooks then wait before the frame
  // runs is added to its game time and frame time, as a real engine's clock would show it.
  void RunFrames(int count, double framesPerSecond);
  // One frame that took that long, a stall: the same steps as a frame of RunFrames, with game
  // time advanced by `seconds`; like real engines, the frame time handed to the game is cut to
  // 250 ms.
  void RunLongFrame(double seconds);

  // ---- Clients
  // ClientConnect in the first free slot; if the game admits the client, ClientPutInServer.
  // Answers the client's entity index, or 0 when refused (LastRejectReason()) or the server is
  // full.
  int ConnectClient(const std::string &name);
  void DisconnectClient(int index);
  bool IsInGame(int index) const;
  std::vector<int> ClientsInGame() const;
  const std::string &LastRejectReason() const { return lastRejectReason_; }
  // The client types a command: Cmd_Argv is set from the line, then ClientCommand.
  void ClientCommand(int index, const std::string &line);
  std::string ClientConsole(int index) const { return engine_.ClientConsole(index); }

  // ---- The operator
  // A line typed at the server console, then the command buffer runs.
  void Command(const std::string &line);
  // A new entity of that class, then Spawn.
  edict_t *Spawn(const char *classname);

  // ---- Files under the game root
  const std::string &Root() const { return root_; }
  std::string GameDirPath() const;  // "<root>/<gamedir>"
  // Paths relative to the root, e.g. "cstrike/addons/qrv_vemtark/configs/vemtark.cfg"; folders
  // are created as needed.
  bool WriteFile(const std::string &relativePath, const std::string &contents) const;
  std::string ReadFile(const std::string &relativePath) const;  // "" when missing
  // Copies every file of a folder on disk (an absolute path, such as the repository's sample
  // "addons/qrv_vemtark/configs"; subfolders are left out) into
  // "<gamedir>/addons/qrv_vemtark/<addonFolder>/". False when the source is no folder or a file
  // could not be copied.
  bool CopyIntoAddon(const std::string &sourceFolder, const std::string &addonFolder) const;
  bool FileExists(const std::string &relativePath) const;

  // ---- Dispatch and checks
  // One entry of the game library's tables through the active host:
  //   server.Call<&DLL_FUNCTIONS::pfnClientKill>(server.engine().Edict(1));
  template <auto Entry, typename... Arguments>
  EntryResult<Entry> Call(Arguments &&...arguments) {
    if (options_.host == HostMode::kStandalone) {
      return standalone_.Call<Entry>(std::forward<Arguments>(arguments)...);
    }
    return metamod_.Call<Entry>(std::forward<Arguments>(arguments)...);
  }
  const std::vector<std::string> &Faults() const { return engine_.Faults(); }

 private:
  bool Admit(int index, const std::string &name);
  // One server frame of that many seconds: the fake clock, then through the hook chain (when
  // there is one) the frame's body.
  void RunFrame(double seconds);
  // Time and frame time, StartFrame, thinks, buffer.
  void RunFrameBody(double seconds);
  // The fake platform's clock of the loaded plug-in, resolved again only when another binary
  // is loaded; both null for a binary without one.
  void ResolvePluginClock();

  SessionOptions options_;
  std::string previousDirectory_;
  std::string root_;
  std::string pluginPath_;
  Engine engine_;
  MetamodHost metamod_;
  StandaloneHost standalone_;
  StubGameLibrary stubGame_;
  RehldsStandIn rehldsEngine_;
  std::string clockLibraryCopy_;
  void (*advanceClock_)(int64_t nanoseconds) = nullptr;
  int64_t (*clockNanoseconds_)() = nullptr;
  bool mapRunning_ = false;
  std::vector<bool> inGame_;
  std::string lastRejectReason_;
};

}  // namespace emu
