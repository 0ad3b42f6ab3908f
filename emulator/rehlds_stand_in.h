// The controls of our stand-in ReHLDS engine library (stubs/stub_rehlds_engine.cpp), loaded by
// the very path a session puts it at, so that the plug-in finds it among the loaded libraries
// under the engine's file name, as on a real server.
#pragma once

#include <string>
#include <type_traits>
#include <vector>

namespace emu {

// Where the build puts the stand-in, and the file name a ReHLDS server's engine library has
// (engine_i486.so on Linux whatever the bitness, swds.dll on Windows).
std::string RehldsStandInBinaryPath();
const char *RehldsEngineFileName();

// The engine's hook chains the stand-in runs (its QrvStandIn_* controls number them so).
enum class RehldsChain {
  kServerFrame = 0,             // SV_Frame: around the engine's frame
  kExecuteServerStringCmd = 1,  // every command the engine runs
  kCreatePacketEntities = 2,    // each client's entity update
};

// Where a command came from, as the engine's cmd_source_t says.
constexpr int kCommandFromClient = 0;   // src_client: a client typed it
constexpr int kCommandFromConsole = 1;  // src_command: the console's buffer, or rcon

class RehldsStandIn {
 public:
  RehldsStandIn() = default;
  ~RehldsStandIn() { Unload(); }
  RehldsStandIn(const RehldsStandIn &) = delete;
  RehldsStandIn &operator=(const RehldsStandIn &) = delete;

  // Loads the file by exactly that path (no private copy: the plug-in looks for the engine by
  // its file name). False, with Error(), when it does not load or is not the stand-in.
  bool Load(const std::string &path);
  void Unload();
  bool IsLoaded() const { return handle_ != nullptr; }
  const std::string &Error() const { return error_; }

  // The engine's factory export, as the plug-in calls it.
  void *CreateInterface(const char *name, int *returnCode) const;
  // What GetMajorVersion and GetMinorVersion answer from now on (3 and 15 until set).
  void SetApiVersion(int major, int minor) const;
  // Every call through the engine's tables, one line each ("GetMajorVersion", "SV_Frame",
  // "registerHook 255", "callNext", "frame not run", ...). The server frame's chain writes its
  // lines bare; the other chains put their name first ("ExecuteServerStringCmd: callNext",
  // "SV_CreatePacketEntities: registerHook 128", "ExecuteServerStringCmd: not run" when no hook
  // passed a command on). IGameClient's GetId is not recorded.
  std::vector<std::string> Calls() const;
  void ClearCalls() const;
  // Benchmarks turn the record off, so that they time the chains rather than its writing.
  void SetRecording(bool on) const;
  // The hooks registered in a chain (the server frame's when none is named), and their
  // priorities in the order they run.
  int HookCount(RehldsChain chain = RehldsChain::kServerFrame) const;
  std::vector<int> Priorities(RehldsChain chain = RehldsChain::kServerFrame) const;
  // The IGameClient the engine hands hooks for a client slot (0-based: entity index - 1), null
  // outside the 32 slots; and back from such a pointer to its slot, -1 for anything else.
  void *GameClient(int id) const;
  int GameClientId(const void *client) const;

  // One server frame: the registered hooks run, highest priority first, around `original`, the
  // engine's own frame, which runs when the chain reaches it. Without the library loaded,
  // `original` runs alone, as on an engine without hooks.
  void RunFrame(void (*original)(void *context), void *context) const;
  template <typename Frame>
  void RunFrame(Frame &&original) const {
    using Callable = std::remove_reference_t<Frame>;
    RunFrame(&Trampoline<Callable>, const_cast<void *>(static_cast<const void *>(&original)));
  }
  // One command through the ExecuteServerStringCmd chain: `command` its first word, `source` as
  // above, `clientId` the client's slot (-1 for none). original(command, source, clientId) runs
  // it when the chain reaches it, with whatever the last hook passed on. Without the library,
  // `original` runs at once.
  template <typename Original>
  void ExecuteServerStringCmd(const char *command, int source, int clientId,
                              Original &&original) const {
    if (!IsLoaded()) {
      original(command, source, clientId);
      return;
    }
    using Callable = std::remove_reference_t<Original>;
    Context<Callable> context{this, &original};
    executeServerStringCmd_(command, source, GameClient(clientId), &CommandTrampoline<Callable>,
                            &context);
  }
  // One client's entity update through the SV_CreatePacketEntities chain; answers what the chain
  // answered (original(type, clientId, to, message) at its end).
  template <typename Original>
  int CreatePacketEntities(int type, int clientId, void *to, void *message,
                           Original &&original) const {
    if (!IsLoaded()) return original(type, clientId, to, message);
    using Callable = std::remove_reference_t<Original>;
    Context<Callable> context{this, &original};
    return createPacketEntities_(type, GameClient(clientId), to, message,
                                 &PacketTrampoline<Callable>, &context);
  }

 private:
  template <typename Callable>
  struct Context {
    const RehldsStandIn *self;
    Callable *callable;
  };
  template <typename Frame>
  static void Trampoline(void *frame) {
    (*static_cast<Frame *>(frame))();
  }
  template <typename Callable>
  static void CommandTrampoline(void *context, const char *command, int source, void *client) {
    const auto *call = static_cast<const Context<Callable> *>(context);
    (*call->callable)(command, source, call->self->GameClientId(client));
  }
  template <typename Callable>
  static int PacketTrampoline(void *context, int type, void *client, void *to, void *message) {
    const auto *call = static_cast<const Context<Callable> *>(context);
    return (*call->callable)(type, call->self->GameClientId(client), to, message);
  }
  bool Resolve();

  using CommandOriginal = void (*)(void *, const char *, int, void *);
  using PacketOriginal = int (*)(void *, int, void *, void *, void *);

  void *handle_ = nullptr;
  std::string error_;
  void *(*createInterface_)(const char *, int *) = nullptr;
  void (*setApiVersion_)(int, int) = nullptr;
  void (*runFrame_)(void (*)(void *), void *) = nullptr;
  void (*executeServerStringCmd_)(const char *, int, void *, CommandOriginal, void *) = nullptr;
  int (*createPacketEntities_)(int, void *, void *, void *, PacketOriginal, void *) = nullptr;
  void *(*gameClient_)(int) = nullptr;
  int (*gameClientId_)(const void *) = nullptr;
  const char *(*calls_)() = nullptr;
  void (*clearCalls_)() = nullptr;
  void (*setRecording_)(int) = nullptr;
  int (*hookCount_)(int) = nullptr;
  int (*hookPriority_)(int, int) = nullptr;
};

}  // namespace emu
