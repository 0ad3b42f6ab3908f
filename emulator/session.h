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
#include <map>
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

// The parts of a ReHLDS server frame, in the order they run (see Session::RunFrames).
enum class FramePart {
  kBetween,  // before the server frame: the launcher's sleep, then the console's command buffer
  kInput,    // inside SV_Frame: the waiting client and rcon commands
  kGame,     // game time, StartFrame and the players' physics
  kOutput,   // the updates sent to the clients
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
  // Frames of 1/framesPerSecond seconds each.
  //
  // "The clock" below is the fake platform's clock of the plug-in when the binary exports one
  // (the test build); for a binary without one the session counts the same advances itself, so
  // that game time still follows stalls and command costs.
  //
  // Without rehldsEngine (a classic engine, no hooks around it): the clock advances by the frame's
  // length; client and rcon commands queued since the last frame run; game time advances and the
  // engine's frame time (globals.frametime) is that step; StartFrame; PlayerPreThink for every
  // client in the game; then the command buffer runs.
  //
  // With rehldsEngine, a frame runs as ReHLDS runs one, every command through the stand-in's
  // ExecuteServerStringCmd chain (whose original runs it as the engine does):
  //   between  the clock advances by the frame's length (the launcher's sleep), then the
  //            console's command buffer runs, each command with source 1 and no client;
  //   then the SV_Frame hook chain runs around the engine's frame, so the plug-in's hooks wrap
  //   what follows (a hook that does not pass the frame on stops it):
  //   input    the client commands (source 0 and the client's IGameClient, the original ending in
  //            the game's ClientCommand) and rcon commands (source 1, no client) queued since the
  //            last frame, in the order queued;
  //   game     game time advances, StartFrame, PlayerPreThink for every client in the game
  //            (bots too);
  //   output   for every client in the game that is not a bot, the SV_CreatePacketEntities chain
  //            (whose original answers 0); with bots only, nothing is sent.
  // Commands queued with pfnServerCommand during a frame wait for the next frame's between part.
  //
  // Game time: a frame's time is taken where its game part begins. It is the frame's length,
  // plus whatever the clock moved beyond that from the end of the sleep to that point (the
  // hooks' waits before the frame, stalls of the between and input parts, the costs of the
  // commands run there), plus whatever it moved after the previous frame's time was taken
  // (stalls and costs in the game and output parts, which a real engine's clock shows in the
  // next frame). A frame nobody held up keeps its exact length; the frame time handed to the game
  // is cut to 250 ms, as real engines do.
  void RunFrames(int count, double framesPerSecond);
  // One frame that took that long, a stall: the same steps as a frame of RunFrames, with game
  // time advanced by `seconds`; like real engines, the frame time handed to the game is cut to
  // 250 ms.
  void RunLongFrame(double seconds);
  // The next frame (only) spends that much longer in that part (added up when given twice): the
  // clock advances by it there.
  //   kBetween  while the command buffer runs, after the sleep, before SV_Frame;
  //   kInput    inside SV_Frame, before the queued commands run;
  //   kGame     inside the game's StartFrame, after the plug-in's pre hook (under the emulated
  //             Metamod in the stub game's StartFrame, before the post hooks; standalone right
  //             after the game library's StartFrame returned);
  //   kOutput   inside the first client update (the SV_CreatePacketEntities original), or at the
  //             frame's end when no update reached it.
  // Game time follows as above: a stall in between or input lengthens this frame's time, one in
  // game or output the next frame's. Without rehldsEngine the parts are the same places in the
  // classic frame (between and input before it, output at its end).
  void StallNextFrame(FramePart part, double seconds);
  // From now on every run of a command with that first word (compared without regard to case),
  // from the console, rcon or a client, advances the clock by that much just before the command
  // runs: inside the ExecuteServerStringCmd chain's original, so the chain's hooks see it. 0 (or
  // less) removes the cost.
  void SetCommandCost(const std::string &firstWord, double seconds);

  // ---- Clients
  // ClientConnect in the first free slot; if the game admits the client, ClientPutInServer.
  // Answers the client's entity index, or 0 when refused (LastRejectReason()) or the server is
  // full.
  int ConnectClient(const std::string &name);
  // The same for a bot: its edict's v.flags also hold FL_FAKECLIENT. It thinks and counts as a
  // client in the game, but a ReHLDS frame sends it no update.
  int ConnectBot(const std::string &name);
  bool IsBot(int index) const;
  void DisconnectClient(int index);
  bool IsInGame(int index) const;
  std::vector<int> ClientsInGame() const;
  const std::string &LastRejectReason() const { return lastRejectReason_; }
  // The client types a command and it runs now: Cmd_Argv is set from the line, then (through the
  // ExecuteServerStringCmd chain with source 0 on a ReHLDS session) ClientCommand.
  void ClientCommand(int index, const std::string &line);
  // The client's command arrives with the next frame: it runs as ClientCommand does, in that
  // frame's input part (without rehldsEngine, at the frame's start).
  void QueueClientCommand(int index, const std::string &line);
  std::string ClientConsole(int index) const { return engine_.ClientConsole(index); }

  // ---- The operator
  // A line typed at the server console, then the command buffer runs.
  void Command(const std::string &line);
  // A line typed at the console that waits in the command buffer: it runs when the buffer next
  // runs, which on a ReHLDS session is the next frame's between part.
  void QueueConsoleCommand(const std::string &line);
  // An rcon command that arrives with the next frame: it runs in that frame's input part, as
  // ReHLDS runs rcon while it reads the packets, by the engine's command table with source 1 and
  // no client (without rehldsEngine, at the frame's start). Under the emulated Metamod,
  // QueueRconCommand("meta force_unload qrv") unloads the plug-in from inside that frame.
  void QueueRconCommand(const std::string &line);
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
  // A reading of the clock: the session's own count, and the plug-in's fake clock with the
  // module it came from, so that a difference is taken from one clock only (the plug-in may be
  // unloaded in between).
  struct ClockMark {
    int64_t own;
    int64_t fake;
    int module;  // 0: no fake clock
  };
  struct QueuedInput {
    int client;  // entity index; 0 for an rcon command
    std::string line;
  };

  bool Admit(int index, const std::string &name, bool bot);
  // ClientConnect in the first free slot, as a client or a bot.
  int ConnectInFreeSlot(const std::string &name, bool bot);
  // One server frame of that many seconds (see RunFrames).
  void RunFrame(double seconds);
  // The engine's frame from the input part on (inside SV_Frame on a ReHLDS session).
  void RunEngineFrame(double seconds, const ClockMark &slept);
  // Time and frame time, StartFrame, thinks, then the buffer (classic) or the client updates.
  void RunFrameBody(double seconds);
  void SendClientUpdates();
  void RunQueuedInput();
  // A command whose words are set, through the ExecuteServerStringCmd chain; its original pays
  // the command's cost and runs it.
  void RouteCommand(const std::string &name, int source, int clientId);
  void RunCommandOriginal(const char *name, int source, int clientId);
  double TakeStall(FramePart part);
  void AdvanceClock(double seconds);
  ClockMark Mark();
  static int64_t Elapsed(const ClockMark &from, const ClockMark &to);
  // The fake platform's clock of the loaded plug-in, resolved again only when another binary
  // is loaded (or it was unloaded); both null for a binary without one.
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
  int clockModule_ = 0;
  void (*advanceClock_)(int64_t nanoseconds) = nullptr;
  int64_t (*clockNanoseconds_)() = nullptr;
  int64_t ownClock_ = 0;
  // Time the clock moved after the last frame's time was taken, for the next frame's time.
  int64_t carriedNanoseconds_ = 0;
  bool frameTaken_ = false;
  ClockMark takenAt_{};
  double stalls_[4] = {};
  double gameStall_ = 0.0;                      // the game part's stall while StartFrame runs
  std::map<std::string, double> commandCosts_;  // by lower-case first word
  std::vector<QueuedInput> queuedInput_;
  // Stand-ins for the entity pack and the message a client update fills; only their addresses
  // reach the hooks.
  unsigned char packetEntities_[64] = {};
  unsigned char message_[64] = {};
  bool mapRunning_ = false;
  std::vector<bool> inGame_;
  std::vector<bool> bot_;
  std::string lastRejectReason_;
};

}  // namespace emu
