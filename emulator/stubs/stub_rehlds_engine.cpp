// A stand-in for a ReHLDS engine library (engine_i486.so, swds.dll): it answers CreateInterface
// for the ReHLDS API and runs the server frame's hook chain, so that the plug-in's frame hook can
// be driven as on a real server. Its objects are laid out by hand, a table of function pointers
// per object, because the plug-in reads them as the engine's compiler laid them out (MSVC's on
// Windows, Itanium's elsewhere), which no class of ours would reproduce on every toolchain.
// Every call through a table is recorded; the emulator reaches it through the QrvStandIn_*
// controls. Nothing here allocates once loaded, so counting the heap around a hook stays exact.
#include <cstddef>
#include <cstdio>
#include <cstring>
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
constexpr int kServerFrameAccessor = 40;
// Room for every hook a test or the plug-in registers; more are refused with a line in the log.
constexpr int kMaxHooks = 32;

// What the engine hands out: an object whose first member points at its table.
struct Object {
  void *const *table;
};

using HookFunction = void (*)(void *chain);

struct Hook {
  HookFunction function;
  int priority;
};

// A fixed buffer, not a string: a frame hook's allocations are counted by some tests.
char g_calls[1 << 22];
size_t g_callsLength = 0;
constexpr char kCallsFull[] = "record full\n";

int g_majorVersion = 3;
int g_minorVersion = 15;
Hook g_hooks[kMaxHooks];  // in the order they run
int g_hookCount = 0;
bool g_frameRunning = false;

void Record(const char *line) {
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

// ---- The server frame's chain

// One frame: a copy of the hooks as they were when it began, so that a hook may register or
// unregister hooks (itself too) while it runs.
struct Frame {
  Hook hooks[kMaxHooks];
  int hookCount;
  void (*original)(void *context);
  void *context;
  bool originalRan;
};

// What one hook receives; each hook gets its own, so that "called once" is per invocation.
struct Chain {
  Object object;
  Frame *frame;
  int nextHook;
  bool called;
};

void RunOriginal(Frame &frame) {
  frame.originalRan = true;
  frame.original(frame.context);
}

extern void *const *const g_chainTable;

void RunFrom(Frame &frame, int position) {
  if (position >= frame.hookCount) {
    RunOriginal(frame);
    return;
  }
  Chain chain{Object{g_chainTable}, &frame, position + 1, false};
  frame.hooks[position].function(&chain);
}

STAND_IN_MEMBER void CallNext(Chain *self) {
  if (self->called) {
    Record("callNext again");
    return;
  }
  Record("callNext");
  self->called = true;
  RunFrom(*self->frame, self->nextHook);
}

STAND_IN_MEMBER void CallOriginal(Chain *self) {
  if (self->called) {
    Record("callOriginal again");
    return;
  }
  Record("callOriginal");
  self->called = true;
  RunOriginal(*self->frame);
}

// ---- The SV_Frame registry (no destructor in its table)

STAND_IN_MEMBER void RegisterHook(Object * /*self*/, HookFunction hook, int priority) {
  RecordNumber("registerHook", priority);
  if (hook == nullptr) {
    Record("registerHook of a null hook ignored");
    return;
  }
  if (g_hookCount == kMaxHooks) {
    Record("registerHook refused: the chain is full");
    return;
  }
  // After every hook of the same or a higher priority: ties run in the order registered.
  int position = 0;
  while (position < g_hookCount && g_hooks[position].priority >= priority) ++position;
  for (int index = g_hookCount; index > position; --index) g_hooks[index] = g_hooks[index - 1];
  g_hooks[position] = Hook{hook, priority};
  ++g_hookCount;
}

STAND_IN_MEMBER void UnregisterHook(Object * /*self*/, HookFunction hook) {
  for (int position = 0; position < g_hookCount; ++position) {
    if (g_hooks[position].function != hook) continue;
    for (int index = position; index + 1 < g_hookCount; ++index)
      g_hooks[index] = g_hooks[index + 1];
    --g_hookCount;
    Record("unregisterHook");
    return;
  }
  Record("unregisterHook of a hook not registered");
}

// ---- The hook chains and the API

extern Object g_serverFrameRegistry;

template <int Index>
STAND_IN_MEMBER void *HookchainAccessor(Object * /*self*/) {
  if constexpr (Index == kServerFrameAccessor) {
    Record("SV_Frame");
    return &g_serverFrameRegistry;
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

template <int... Indexes>
Table<sizeof...(Indexes)> HookchainsTable(std::integer_sequence<int, Indexes...>) {
  return WithDestructor(&HookchainAccessor<Indexes>...);
}

const auto g_apiTable =
    WithDestructor(&GetMajorVersion, &GetMinorVersion, &AnswerNull<0>, &GetHookchains,
                   &AnswerNull<1>, &AnswerNull<2>, &AnswerNull<3>, &AnswerNull<4>);
const auto g_hookchainsTable =
    HookchainsTable(std::make_integer_sequence<int, kHookchainAccessors>());
void *const g_registryTable[] = {Slot(&RegisterHook), Slot(&UnregisterHook)};
const auto g_chainTableSlots = WithDestructor(&CallNext, &CallOriginal);
void *const *const g_chainTable = g_chainTableSlots.slots;

Object g_api{g_apiTable.slots};
Object g_hookchains{g_hookchainsTable.slots};
Object g_serverFrameRegistry{g_registryTable};

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
  Frame frame{};
  std::memcpy(frame.hooks, g_hooks, sizeof g_hooks);
  frame.hookCount = g_hookCount;
  frame.original = original;
  frame.context = context;
  RunFrom(frame, 0);
  if (!frame.originalRan) Record("frame not run");
  g_frameRunning = false;
}

STAND_IN_EXPORT const char *QrvStandIn_Calls(void) { return g_calls; }

STAND_IN_EXPORT void QrvStandIn_ClearCalls(void) {
  g_callsLength = 0;
  g_calls[0] = 0;
}

STAND_IN_EXPORT int QrvStandIn_HookCount(void) { return g_hookCount; }

// The priority of the hook that runs `index`-th (from 0); -1 past the last.
STAND_IN_EXPORT int QrvStandIn_HookPriority(int index) {
  return index >= 0 && index < g_hookCount ? g_hooks[index].priority : -1;
}
