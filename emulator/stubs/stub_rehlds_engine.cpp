// A stand-in for a ReHLDS engine library (engine_i486.so, swds.dll): it answers CreateInterface
// for the ReHLDS API and runs three of the engine's hook chains (the server frame, every command
// the engine runs, and each client's entity update), so that the plug-in's hooks can be driven as
// on a real server. Its objects are laid out by hand, a table of function pointers per object,
// because the plug-in reads them as the engine's compiler laid them out (MSVC's on Windows,
// Itanium's elsewhere), which no class of ours would reproduce on every toolchain.
// Every call through a table is recorded; the emulator reaches it through the QrvStandIn_*
// controls. Nothing here allocates once loaded, so counting the heap around a hook stays exact.
//
// The chains behave as the real engine's: each registry keeps at most 19 hooks in an array,
// sorted by priority with a null after the last, and a chain object points into that very array,
// so a hook that registers or unregisters hooks changes what the rest of the running call does.
// What the real engine treats as fatal (a null hook, one registered twice, a twentieth) stops the
// process here too, with one line on standard error.
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <utility>

#if defined(_WIN32)
#define STAND_IN_EXPORT extern "C" __declspec(dllexport)
#else
#define STAND_IN_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// MSVC passes `this` in ECX on i686 and pops the arguments itself; elsewhere a member function
// is an ordinary function with `this` first.
#if defined(_WIN32) && defined(__i386__)
#define STAND_IN_MEMBER __attribute__((thiscall))
#else
#define STAND_IN_MEMBER
#endif

namespace {

constexpr char kApiName[] = "VREHLDS_HLDS_API_VERSION001";
#if defined(_WIN32)
constexpr int kDestructorSlots = 1;
#else
constexpr int kDestructorSlots = 2;  // Itanium: the complete and the deleting destructor
#endif
constexpr int kHookchainAccessors = 56;
constexpr int kExecuteServerStringCmdAccessor = 19;
constexpr int kCreatePacketEntitiesAccessor = 36;
constexpr int kServerFrameAccessor = 40;
// The real engine's limit per chain.
constexpr int kMaxHooksInChain = 19;
// A server's client slots; each has its IGameClient object.
constexpr int kMaxClients = 32;

// What the engine hands out: an object whose first member points at its table.
struct Object {
  void *const *table;
};

// A hook of any chain, kept as a function pointer of no particular type and called through the
// chain's own type.
using AnyFunction = void (*)();

struct Hook {
  AnyFunction function;  // null after the last hook
  int priority;
};

// A fixed buffer, not a string: a frame hook's allocations are counted by some tests.
char g_calls[1 << 22];
size_t g_callsLength = 0;
// Off for benchmarks, whose millions of calls would time the record rather than the hooks.
bool g_recording = true;
constexpr char kCallsFull[] = "record full\n";

int g_majorVersion = 3;
int g_minorVersion = 15;
bool g_frameRunning = false;

void Record(const char *line) {
  if (!g_recording) return;
  const size_t length = std::strlen(line);
  const size_t room = sizeof g_calls - sizeof kCallsFull;
  if (g_callsLength + length + 1 < room) {
    std::memcpy(g_calls + g_callsLength, line, length);
    g_calls[g_callsLength + length] = '\n';
    g_callsLength += length + 1;
    g_calls[g_callsLength] = 0;
  } else if (g_callsLength < room) {
    std::memcpy(g_calls + g_callsLength, kCallsFull, sizeof kCallsFull);
    g_callsLength = room;
  }
}

void RecordNumber(const char *what, int number) {
  char line[64];
  std::snprintf(line, sizeof line, "%s %d", what, number);
  Record(line);
}

[[noreturn]] void Fatal(const char *what, const char *chain) {
  std::fprintf(stderr, "stand-in ReHLDS: %s the %s chain\n", what, chain);
  std::fflush(stderr);
  std::abort();
}

template <typename Function>
void *Slot(Function function) {
  return reinterpret_cast<void *>(function);
}

#if defined(_WIN32)
// MSVC's one slot is the deleting destructor, which takes a flags word besides `this`.
STAND_IN_MEMBER void *Destructor(Object *self, unsigned /*flags*/) {
  Record("destructor");
  return self;
}
#else
STAND_IN_MEMBER void Destructor(Object * /*self*/) { Record("destructor"); }
#endif

// A table: the destructor slots this ABI gives a class with a virtual destructor, then members.
template <size_t Members>
struct Table {
  void *slots[kDestructorSlots + Members];
};

template <typename... Members>
Table<sizeof...(Members)> WithDestructor(Members... members) {
  Table<sizeof...(Members)> table{};
  for (int slot = 0; slot < kDestructorSlots; ++slot) table.slots[slot] = Slot(&Destructor);
  void *memberSlots[] = {Slot(members)...};
  for (size_t member = 0; member < sizeof...(Members); ++member) {
    table.slots[kDestructorSlots + member] = memberSlots[member];
  }
  return table;
}

// ---- The registries (no destructor in their table)

enum ChainId { kServerFrameChain, kExecuteServerStringCmdChain, kCreatePacketEntitiesChain };
constexpr int kChains = 3;

struct Registry {
  Object object;  // first: the plug-in calls the table through a pointer to it
  const char *name;
  // Put before every recorded line but the server frame's, which keep today's texts.
  const char *recordPrefix;
  Hook hooks[kMaxHooksInChain + 1];  // highest priority first; every entry past the last is null
  int count;
};

extern void *const g_registryTable[];

Registry g_registries[kChains] = {
    {{g_registryTable}, "SV_Frame", "", {}, 0},
    {{g_registryTable}, "ExecuteServerStringCmd", "ExecuteServerStringCmd: ", {}, 0},
    {{g_registryTable}, "SV_CreatePacketEntities", "SV_CreatePacketEntities: ", {}, 0},
};

Registry &RegistryOf(Object *self) { return *reinterpret_cast<Registry *>(self); }

void RecordIn(const Registry &registry, const char *line) {
  char prefixed[160];
  std::snprintf(prefixed, sizeof prefixed, "%s%s", registry.recordPrefix, line);
  Record(prefixed);
}

STAND_IN_MEMBER void RegisterHook(Object *self, AnyFunction hook, int priority) {
  Registry &registry = RegistryOf(self);
  char line[64];
  std::snprintf(line, sizeof line, "registerHook %d", priority);
  RecordIn(registry, line);
  if (hook == nullptr) Fatal("registerHook of a null hook in", registry.name);
  for (int position = 0; position < registry.count; ++position) {
    if (registry.hooks[position].function == hook) {
      Fatal("registerHook of a hook already in", registry.name);
    }
  }
  if (registry.count == kMaxHooksInChain) {
    Fatal("registerHook of a 20th hook (at most 19 fit) in", registry.name);
  }
  // After every hook of the same or a higher priority: ties run in the order registered.
  int position = 0;
  while (position < registry.count && registry.hooks[position].priority >= priority) ++position;
  for (int index = registry.count; index > position; --index) {
    registry.hooks[index] = registry.hooks[index - 1];
  }
  registry.hooks[position] = Hook{hook, priority};
  ++registry.count;
}

STAND_IN_MEMBER void UnregisterHook(Object *self, AnyFunction hook) {
  Registry &registry = RegistryOf(self);
  for (int position = 0; position < registry.count; ++position) {
    if (registry.hooks[position].function != hook) continue;
    for (int index = position; index < registry.count; ++index) {
      registry.hooks[index] = registry.hooks[index + 1];
    }
    --registry.count;
    registry.hooks[registry.count] = Hook{nullptr, 0};
    RecordIn(registry, "unregisterHook");
    return;
  }
  RecordIn(registry, "unregisterHook of a hook not registered");
}

void *const g_registryTable[] = {Slot(&RegisterHook), Slot(&UnregisterHook)};

// ---- The chains

// One run of a chain: the engine's own function at its end, and what a hook left behind.
template <typename Result, typename... Arguments>
struct Run {
  const Registry *registry;
  Result (*original)(void *context, Arguments...);
  void *context;
  bool originalRan;
};

// What one hook receives; each hook gets its own, so that "called once" is per invocation.
// `next` points into the registry's array, not at a copy: the chain is live.
template <typename Result, typename... Arguments>
struct Chain {
  Object object;
  const Hook *next;
  Run<Result, Arguments...> *run;
  bool called;
};

template <typename Result, typename... Arguments>
Result RunOriginal(Run<Result, Arguments...> &run, Arguments... arguments) {
  run.originalRan = true;
  return run.original(run.context, arguments...);
}

template <typename Result, typename... Arguments>
void *const *ChainTable();

template <typename Result, typename... Arguments>
Result RunFrom(Run<Result, Arguments...> &run, const Hook *position, Arguments... arguments) {
  if (position->function == nullptr) return RunOriginal(run, arguments...);
  Chain<Result, Arguments...> chain{Object{ChainTable<Result, Arguments...>()}, position + 1, &run,
                                    false};
  using HookFunction = Result (*)(void *chain, Arguments...);
  return reinterpret_cast<HookFunction>(position->function)(&chain, arguments...);
}

template <typename Result, typename... Arguments>
Result RunChain(Registry &registry, Result (*original)(void *, Arguments...), void *context,
                Arguments... arguments) {
  Run<Result, Arguments...> run{&registry, original, context, false};
  if constexpr (std::is_void_v<Result>) {
    RunFrom(run, &registry.hooks[0], arguments...);
    if (!run.originalRan) RecordIn(registry, "not run");
  } else {
    const Result result = RunFrom(run, &registry.hooks[0], arguments...);
    if (!run.originalRan) RecordIn(registry, "not run");
    return result;
  }
}

template <typename Result, typename... Arguments>
STAND_IN_MEMBER Result CallNext(Chain<Result, Arguments...> *self, Arguments... arguments) {
  if (self->called) {
    RecordIn(*self->run->registry, "callNext again");
    return Result();
  }
  RecordIn(*self->run->registry, "callNext");
  self->called = true;
  return RunFrom(*self->run, self->next, arguments...);
}

template <typename Result, typename... Arguments>
STAND_IN_MEMBER Result CallOriginal(Chain<Result, Arguments...> *self, Arguments... arguments) {
  if (self->called) {
    RecordIn(*self->run->registry, "callOriginal again");
    return Result();
  }
  RecordIn(*self->run->registry, "callOriginal");
  self->called = true;
  return RunOriginal(*self->run, arguments...);
}

template <typename Result, typename... Arguments>
void *const *ChainTable() {
  static const auto table =
      WithDestructor(&CallNext<Result, Arguments...>, &CallOriginal<Result, Arguments...>);
  return table.slots;
}

// ---- The clients (IGameClient, no destructor in its table)

struct GameClient {
  Object object;
  int id;
};

// Not recorded: a hook may ask it for every command and every update.
STAND_IN_MEMBER int GetId(GameClient *self) { return self->id; }

void *const g_gameClientTable[] = {Slot(&GetId)};

struct Clients {
  GameClient slots[kMaxClients];
  Clients() {
    for (int id = 0; id < kMaxClients; ++id) slots[id] = GameClient{Object{g_gameClientTable}, id};
  }
};
Clients g_clients;

// ---- The hook chains and the API

template <int Index>
STAND_IN_MEMBER void *HookchainAccessor(Object * /*self*/) {
  if constexpr (Index == kServerFrameAccessor) {
    Record("SV_Frame");
    return &g_registries[kServerFrameChain];
  } else if constexpr (Index == kExecuteServerStringCmdAccessor) {
    Record("ExecuteServerStringCmd");
    return &g_registries[kExecuteServerStringCmdChain];
  } else if constexpr (Index == kCreatePacketEntitiesAccessor) {
    Record("SV_CreatePacketEntities");
    return &g_registries[kCreatePacketEntitiesChain];
  } else {
    RecordNumber("hookchain", Index);
    return nullptr;
  }
}

extern Object g_hookchains;

STAND_IN_MEMBER int GetMajorVersion(Object * /*self*/) {
  Record("GetMajorVersion");
  return g_majorVersion;
}

STAND_IN_MEMBER int GetMinorVersion(Object * /*self*/) {
  Record("GetMinorVersion");
  return g_minorVersion;
}

STAND_IN_MEMBER void *GetHookchains(Object * /*self*/) {
  Record("GetHookchains");
  return &g_hookchains;
}

// GetFuncs, GetServerStatic, GetServerData, GetFlightRecorder, GetMessageManager: nothing the
// plug-in may rely on, so they answer null.
template <int Which>
STAND_IN_MEMBER void *AnswerNull(Object * /*self*/) {
  static constexpr const char *kNames[] = {"GetFuncs", "GetServerStatic", "GetServerData",
                                           "GetFlightRecorder", "GetMessageManager"};
  Record(kNames[Which]);
  return nullptr;
}

template <int... Indexes>
Table<sizeof...(Indexes)> HookchainsTable(std::integer_sequence<int, Indexes...>) {
  return WithDestructor(&HookchainAccessor<Indexes>...);
}

const auto g_apiTable =
    WithDestructor(&GetMajorVersion, &GetMinorVersion, &AnswerNull<0>, &GetHookchains,
                   &AnswerNull<1>, &AnswerNull<2>, &AnswerNull<3>, &AnswerNull<4>);
const auto g_hookchainsTable =
    HookchainsTable(std::make_integer_sequence<int, kHookchainAccessors>());

Object g_api{g_apiTable.slots};
Object g_hookchains{g_hookchainsTable.slots};

const Registry *ChainById(int chain) {
  return chain >= 0 && chain < kChains ? &g_registries[chain] : nullptr;
}

}  // namespace

STAND_IN_EXPORT void *CreateInterface(const char *name, int *returnCode) {
  const bool found = name != nullptr && std::strcmp(name, kApiName) == 0;
  char line[160];
  std::snprintf(line, sizeof line, "CreateInterface %s", name != nullptr ? name : "(null)");
  Record(line);
  if (returnCode != nullptr) *returnCode = found ? 0 : 1;
  return found ? &g_api : nullptr;
}

// ---- Controls for the emulator

STAND_IN_EXPORT void QrvStandIn_SetApiVersion(int major, int minor) {
  g_majorVersion = major;
  g_minorVersion = minor;
}

// One server frame: the registered hooks, highest priority first, around `original`.
STAND_IN_EXPORT void QrvStandIn_RunFrame(void (*original)(void *context), void *context) {
  if (g_frameRunning) {
    Record("frame within a frame ignored");
    return;
  }
  g_frameRunning = true;
  Registry &registry = g_registries[kServerFrameChain];
  Run<void> run{&registry, original, context, false};
  RunFrom(run, &registry.hooks[0]);
  if (!run.originalRan) Record("frame not run");
  g_frameRunning = false;
}

// One command through the ExecuteServerStringCmd chain: `command` is its first word, `source` 0
// for a client's (then `client` is it) and 1 for the console's; `original` runs it.
STAND_IN_EXPORT void QrvStandIn_ExecuteServerStringCmd(
    const char *command, int source, void *client,
    void (*original)(void *context, const char *command, int source, void *client), void *context) {
  RunChain<void, const char *, int, void *>(g_registries[kExecuteServerStringCmdChain], original,
                                            context, command, source, client);
}

// One client's entity update through the SV_CreatePacketEntities chain; answers what the chain
// answered.
STAND_IN_EXPORT int QrvStandIn_CreatePacketEntities(int type, void *client, void *to, void *message,
                                                    int (*original)(void *context, int type,
                                                                    void *client, void *to,
                                                                    void *message),
                                                    void *context) {
  return RunChain<int, int, void *, void *, void *>(g_registries[kCreatePacketEntitiesChain],
                                                    original, context, type, client, to, message);
}

// The IGameClient of a slot (0-based), null outside them; and back, -1 for anything else.
STAND_IN_EXPORT void *QrvStandIn_GameClient(int id) {
  return id >= 0 && id < kMaxClients ? &g_clients.slots[id] : nullptr;
}

STAND_IN_EXPORT int QrvStandIn_GameClientId(const void *client) {
  for (int id = 0; id < kMaxClients; ++id) {
    if (client == &g_clients.slots[id]) return id;
  }
  return -1;
}

STAND_IN_EXPORT const char *QrvStandIn_Calls(void) { return g_calls; }

STAND_IN_EXPORT void QrvStandIn_ClearCalls(void) {
  g_callsLength = 0;
  g_calls[0] = 0;
}

STAND_IN_EXPORT void QrvStandIn_SetRecording(int on) { g_recording = on != 0; }

// The hooks of a chain (0 SV_Frame, 1 ExecuteServerStringCmd, 2 SV_CreatePacketEntities), and
// the priority of the one that runs `index`-th (from 0), -1 past the last.
STAND_IN_EXPORT int QrvStandIn_ChainHookCount(int chain) {
  const Registry *registry = ChainById(chain);
  return registry != nullptr ? registry->count : 0;
}

STAND_IN_EXPORT int QrvStandIn_ChainHookPriority(int chain, int index) {
  const Registry *registry = ChainById(chain);
  if (registry == nullptr || index < 0 || index >= registry->count) return -1;
  return registry->hooks[index].priority;
}

// The same for the server frame's chain.
STAND_IN_EXPORT int QrvStandIn_HookCount(void) {
  return QrvStandIn_ChainHookCount(kServerFrameChain);
}

STAND_IN_EXPORT int QrvStandIn_HookPriority(int index) {
  return QrvStandIn_ChainHookPriority(kServerFrameChain, index);
}
