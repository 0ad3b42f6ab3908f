// The ReHLDS engine API, as far as frame pacing and the frame's anatomy need it: the interface
// the engine library's CreateInterface hands out, its hook chains, and the registries and chains
// of the server frame, of every command the engine runs and of every client's update.
//
// Declared as explicit tables of entry pointers rather than C++ classes with virtual functions:
// the Linux engine is built by GCC (Itanium layout: a virtual destructor takes two slots) and
// the Windows engine by MSVC (one slot, member functions thiscall), while our Windows build is
// MinGW, whose own class layout follows Itanium. Spelling the slots out keeps every build on the
// engine's layout whatever our compiler would lay out.
#pragma once

#include <cstddef>

#define REHLDS_API_INTERFACE_VERSION "VREHLDS_HLDS_API_VERSION001"
constexpr int REHLDS_API_VERSION_MAJOR = 3;
// The first minor version whose hook chains have the server frame.
constexpr int REHLDS_API_SV_FRAME_MINOR = 7;

// Member functions of the engine's interfaces: thiscall on 32-bit Windows (the object in ECX,
// the callee pops the arguments); elsewhere the object is simply the first argument.
#if defined(_WIN32) && defined(__i386__)
#define REHLDS_MEMBER __attribute__((thiscall))
constexpr size_t kRehldsDestructorSlots = 1;
#elif defined(_WIN32)
#define REHLDS_MEMBER
constexpr size_t kRehldsDestructorSlots = 1;
#else
#define REHLDS_MEMBER
constexpr size_t kRehldsDestructorSlots = 2;
#endif

// CreateInterface: C linkage, cdecl; *returnCode 0 when found, 1 when not.
typedef void *(*CreateInterfaceFn)(const char *name, int *returnCode);

struct IVoidHookChain;
struct IVoidHookChainRegistry;
struct IRehldsHookchains;
struct IRehldsApi;

// What a hook receives. callNext must run once for the frame (and later hooks) to run;
// callOriginal runs the engine's frame and skips later hooks.
struct IVoidHookChainTable {
  void *destructor[kRehldsDestructorSlots];
  void(REHLDS_MEMBER *callNext)(IVoidHookChain *self);
  void(REHLDS_MEMBER *callOriginal)(IVoidHookChain *self);
};
struct IVoidHookChain {
  const IVoidHookChainTable *vtable;
};

// A hook is a plain cdecl function on every system.
typedef void (*VoidHookFn)(IVoidHookChain *chain);

// Priorities: 255 runs before every other hook, 128 is the default; equal priorities run in the
// order registered.
constexpr int HC_PRIORITY_UNINTERRUPTABLE = 255;
constexpr int HC_PRIORITY_DEFAULT = 128;

// The registry has no destructor in its table.
struct IVoidHookChainRegistryTable {
  void(REHLDS_MEMBER *registerHook)(IVoidHookChainRegistry *self, VoidHookFn hook, int priority);
  void(REHLDS_MEMBER *unregisterHook)(IVoidHookChainRegistry *self, VoidHookFn hook);
};
struct IVoidHookChainRegistry {
  const IVoidHookChainRegistryTable *vtable;
};

// A client as the engine's hooks name it. Its table has no destructor.
struct IGameClient;
struct IGameClientTable {
  int(REHLDS_MEMBER *GetId)(IGameClient *self);  // the client's slot, from 0
};
struct IGameClient {
  const IGameClientTable *vtable;
};

// Where Cmd_ExecuteString's command came from (cmd_source_t).
constexpr int REHLDS_SRC_CLIENT = 0;   // a client's command; the hook's client is that client
constexpr int REHLDS_SRC_COMMAND = 1;  // the server's command buffer, rcon among it

// ExecuteServerStringCmd: every command Cmd_ExecuteString runs, by its first word.
struct IStringCmdHookChain;
struct IStringCmdHookChainTable {
  void *destructor[kRehldsDestructorSlots];
  void(REHLDS_MEMBER *callNext)(IStringCmdHookChain *self, const char *command, int source,
                                IGameClient *client);
  void(REHLDS_MEMBER *callOriginal)(IStringCmdHookChain *self, const char *command, int source,
                                    IGameClient *client);
};
struct IStringCmdHookChain {
  const IStringCmdHookChainTable *vtable;
};
typedef void (*StringCmdHookFn)(IStringCmdHookChain *chain, const char *command, int source,
                                IGameClient *client);
struct IStringCmdHookChainRegistry;
struct IStringCmdHookChainRegistryTable {
  void(REHLDS_MEMBER *registerHook)(IStringCmdHookChainRegistry *self, StringCmdHookFn hook,
                                    int priority);
  void(REHLDS_MEMBER *unregisterHook)(IStringCmdHookChainRegistry *self, StringCmdHookFn hook);
};
struct IStringCmdHookChainRegistry {
  const IStringCmdHookChainRegistryTable *vtable;
};

// SV_CreatePacketEntities: one client's update of the entities it sees, built and written.
// The delta type is an enum, passed as an int; the packet and the message are only handed on.
struct IPacketEntitiesHookChain;
struct IPacketEntitiesHookChainTable {
  void *destructor[kRehldsDestructorSlots];
  int(REHLDS_MEMBER *callNext)(IPacketEntitiesHookChain *self, int type, IGameClient *client,
                               void *to, void *msg);
  int(REHLDS_MEMBER *callOriginal)(IPacketEntitiesHookChain *self, int type, IGameClient *client,
                                   void *to, void *msg);
};
struct IPacketEntitiesHookChain {
  const IPacketEntitiesHookChainTable *vtable;
};
typedef int (*PacketEntitiesHookFn)(IPacketEntitiesHookChain *chain, int type, IGameClient *client,
                                    void *to, void *msg);
struct IPacketEntitiesHookChainRegistry;
struct IPacketEntitiesHookChainRegistryTable {
  void(REHLDS_MEMBER *registerHook)(IPacketEntitiesHookChainRegistry *self,
                                    PacketEntitiesHookFn hook, int priority);
  void(REHLDS_MEMBER *unregisterHook)(IPacketEntitiesHookChainRegistry *self,
                                      PacketEntitiesHookFn hook);
};
struct IPacketEntitiesHookChainRegistry {
  const IPacketEntitiesHookChainRegistryTable *vtable;
};

// 56 accessors after the destructor, each answering a registry; only three are called here.
constexpr size_t kRehldsAccessorExecuteServerStringCmd = 19;
constexpr size_t kRehldsAccessorSvCreatePacketEntities = 36;
constexpr size_t kRehldsAccessorSvFrame = 40;
constexpr size_t kRehldsAccessors = 56;
struct IRehldsHookchainsTable {
  void *destructor[kRehldsDestructorSlots];
  void *accessorsBeforeStringCmd[kRehldsAccessorExecuteServerStringCmd];
  IStringCmdHookChainRegistry *(REHLDS_MEMBER *ExecuteServerStringCmd)(IRehldsHookchains *self);
  void *accessorsBeforePacketEntities[kRehldsAccessorSvCreatePacketEntities -
                                      kRehldsAccessorExecuteServerStringCmd - 1];
  IPacketEntitiesHookChainRegistry *(REHLDS_MEMBER *SV_CreatePacketEntities)(
      IRehldsHookchains *self);
  void *accessorsBeforeSvFrame[kRehldsAccessorSvFrame - kRehldsAccessorSvCreatePacketEntities - 1];
  IVoidHookChainRegistry *(REHLDS_MEMBER *SV_Frame)(IRehldsHookchains *self);
  void *accessorsAfterSvFrame[kRehldsAccessors - kRehldsAccessorSvFrame - 1];
};
struct IRehldsHookchains {
  const IRehldsHookchainsTable *vtable;
};

struct IRehldsApiTable {
  void *destructor[kRehldsDestructorSlots];
  int(REHLDS_MEMBER *GetMajorVersion)(IRehldsApi *self);
  int(REHLDS_MEMBER *GetMinorVersion)(IRehldsApi *self);
  const void *(REHLDS_MEMBER *GetFuncs)(IRehldsApi *self);
  IRehldsHookchains *(REHLDS_MEMBER *GetHookchains)(IRehldsApi *self);
  void *(REHLDS_MEMBER *GetServerStatic)(IRehldsApi *self);
  void *(REHLDS_MEMBER *GetServerData)(IRehldsApi *self);
  void *(REHLDS_MEMBER *GetFlightRecorder)(IRehldsApi *self);
  void *(REHLDS_MEMBER *GetMessageManager)(IRehldsApi *self);
};
struct IRehldsApi {
  const IRehldsApiTable *vtable;
};

// Slot numbers as the engine's tables have them, checked on every build.
#define REHLDS_CHECK_SLOT(table, name, slot)                                                 \
  static_assert(offsetof(table, name) == (kRehldsDestructorSlots + (slot)) * sizeof(void *), \
                #table "::" #name " misplaced")
REHLDS_CHECK_SLOT(IRehldsApiTable, GetMajorVersion, 0);
REHLDS_CHECK_SLOT(IRehldsApiTable, GetMinorVersion, 1);
REHLDS_CHECK_SLOT(IRehldsApiTable, GetHookchains, 3);
REHLDS_CHECK_SLOT(IRehldsApiTable, GetMessageManager, 7);
REHLDS_CHECK_SLOT(IRehldsHookchainsTable, ExecuteServerStringCmd, 19);
REHLDS_CHECK_SLOT(IRehldsHookchainsTable, SV_CreatePacketEntities, 36);
REHLDS_CHECK_SLOT(IRehldsHookchainsTable, SV_Frame, 40);
REHLDS_CHECK_SLOT(IVoidHookChainTable, callNext, 0);
REHLDS_CHECK_SLOT(IVoidHookChainTable, callOriginal, 1);
REHLDS_CHECK_SLOT(IStringCmdHookChainTable, callNext, 0);
REHLDS_CHECK_SLOT(IPacketEntitiesHookChainTable, callNext, 0);
#undef REHLDS_CHECK_SLOT
static_assert(sizeof(IRehldsHookchainsTable) == (kRehldsDestructorSlots + 56) * sizeof(void *),
              "IRehldsHookchains has 56 accessors");
static_assert(offsetof(IVoidHookChainRegistryTable, registerHook) == 0 &&
                  offsetof(IVoidHookChainRegistryTable, unregisterHook) == sizeof(void *),
              "the registry's table has no destructor");
static_assert(offsetof(IStringCmdHookChainRegistryTable, unregisterHook) == sizeof(void *) &&
                  offsetof(IPacketEntitiesHookChainRegistryTable, unregisterHook) == sizeof(void *),
              "every registry's table has the same two slots");
static_assert(offsetof(IGameClientTable, GetId) == 0, "IGameClient's table has no destructor");
