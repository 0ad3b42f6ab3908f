// The emulator's stand-in ReHLDS engine, reached the way the plug-in reaches a
// real one: its factory export, then its objects' tables slot by slot as the
// engine's compiler laid them out. Hooks of the test's own run through its
// chains: the server frame's (priorities, the live chain, the fatal
// registrations), the commands' and the client updates'; and a session's ReHLDS
// frame, whose parts, stalls and command costs those hooks watch over the test
// build's fake clock. (How the plug-in finds the engine and its version are the
// frame-pacing tests' part.)
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/plugin_fixture.h"

namespace {

using Texts = std::vector<std::string>;

// MSVC's layout on Windows (one destructor slot, `this` in ECX on i686),
// Itanium's elsewhere.
#if defined(_WIN32)
constexpr int kDestructorSlots = 1;
#else
constexpr int kDestructorSlots = 2;
#endif
#if defined(_WIN32) && defined(__i386__)
#define QRV_TEST_MEMBER __attribute__((thiscall))
#else
#define QRV_TEST_MEMBER
#endif

constexpr char kApiName[] = "VREHLDS_HLDS_API_VERSION001";
constexpr int kExecuteServerStringCmdAccessor = 19;
constexpr int kCreatePacketEntitiesAccessor = 36;
constexpr int kServerFrameAccessor = 40;

template <typename Result, typename... Arguments>
Result CallSlot(void *object, int slot, Arguments... arguments) {
  using Member = Result(QRV_TEST_MEMBER *)(void *, Arguments...);
  void *const *table = *static_cast<void *const *const *>(object);
  return reinterpret_cast<Member>(table[slot])(object, arguments...);
}

using HookFunction = void (*)(void *chain);

// A registry of any chain: slot 0 registerHook, slot 1 unregisterHook, no
// destructor.
struct Registry {
  void *registry;
  template <typename Hook>
  void Register(Hook hook, int priority) const {
    CallSlot<void>(registry, 0, hook, priority);
  }
  template <typename Hook>
  void Unregister(Hook hook) const {
    CallSlot<void>(registry, 1, hook);
  }
};
using ServerFrame = Registry;

void CallNext(void *chain) { CallSlot<void>(chain, kDestructorSlots + 0); }
void CallOriginal(void *chain) { CallSlot<void>(chain, kDestructorSlots + 1); }
// IGameClient: slot 0 GetId, no destructor.
int ClientId(void *client) { return client != nullptr ? CallSlot<int>(client, 0) : -1; }

// ---- Hooks of the test's own: each records its letter, acts, and records its
// return.

enum class Act {
  kNext,
  kOriginal,
  kNothing,
  kNextTwice,
};

constexpr int kHooks = 4;  // A, B, C, D
Act g_acts[kHooks];
Texts g_events;
ServerFrame g_serverFrame{nullptr};

// A change of the chain a hook makes before it acts, the first time it runs.
struct Change {
  bool add;  // register, else unregister
  char hook;
  int priority;
};
std::vector<Change> g_changes[kHooks];
void Apply(std::vector<Change> &changes);

template <int Id>
void TestHook(void *chain);

template <int Id>
HookFunction HookOf() {
  return &TestHook<Id>;
}

const HookFunction kHookFunctions[kHooks] = {HookOf<0>(), HookOf<1>(), HookOf<2>(), HookOf<3>()};

template <int Id>
void TestHook(void *chain) {
  const std::string name(1, static_cast<char>('A' + Id));
  g_events.push_back(name);
  Apply(g_changes[Id]);
  switch (g_acts[Id]) {
    case Act::kNext:
      CallNext(chain);
      break;
    case Act::kOriginal:
      CallOriginal(chain);
      break;
    case Act::kNothing:
      break;
    case Act::kNextTwice:
      CallNext(chain);
      CallNext(chain);
      break;
  }
  g_events.push_back(name + " back");
}

struct Registration {
  char hook;  // 'A' to 'D'
  int priority;
};

bool Contains(const Texts &lines, const std::string &line) {
  for (const std::string &each : lines) {
    if (each == line) return true;
  }
  return false;
}

emu::SessionOptions WithRehlds(emu::SessionOptions options = emu::SessionOptions()) {
  options.rehldsEngine = true;
  return options;
}

// A registry found as the plug-in finds it: factory, API, hook chains, the
// chain's accessor.
Registry FindRegistry(const emu::RehldsStandIn &engine, int accessor) {
  int returnCode = -1;
  void *api = engine.CreateInterface(kApiName, &returnCode);
  if (api == nullptr || returnCode != 0) return Registry{nullptr};
  void *hookchains = CallSlot<void *>(api, kDestructorSlots + 3);
  if (hookchains == nullptr) return Registry{nullptr};
  return Registry{CallSlot<void *>(hookchains, kDestructorSlots + accessor)};
}

ServerFrame FindServerFrame(const emu::RehldsStandIn &engine) {
  return FindRegistry(engine, kServerFrameAccessor);
}

// Hooks A to D act as told; the test's registry is the session's.
void Prepare(const emu::RehldsStandIn &engine, const std::vector<Act> &acts) {
  g_serverFrame = FindServerFrame(engine);
  g_events.clear();
  for (int hook = 0; hook < kHooks; ++hook) {
    g_acts[hook] = hook < static_cast<int>(acts.size()) ? acts[hook] : Act::kNext;
    g_changes[hook].clear();
  }
}

void Apply(std::vector<Change> &changes) {
  for (const Change &change : changes) {
    if (change.add) {
      g_serverFrame.Register(kHookFunctions[change.hook - 'A'], change.priority);
    } else {
      g_serverFrame.Unregister(kHookFunctions[change.hook - 'A']);
    }
  }
  changes.clear();
}

void Register(const std::vector<Registration> &registrations) {
  for (const Registration &each : registrations) {
    g_serverFrame.Register(kHookFunctions[each.hook - 'A'], each.priority);
  }
}

// One frame through the chain, whose own body records "frame"; answers what
// happened in order.
Texts RunFrame(const emu::RehldsStandIn &engine) {
  g_events.clear();
  const auto original = [] { g_events.push_back("frame"); };
  engine.RunFrame(original);
  return g_events;
}

TEST(RehldsStandIn, HooksWrapTheFrameByPriorityAndOnlyNextPassesItOn) {
  struct Row {
    const char *what;
    std::vector<Registration> registrations;
    std::vector<Act> acts;  // of A, B, ... in that order; kNext for the rest
    Texts events;
    std::vector<int> priorities;
    const char *callLine;  // a line the stand-in recorded
  };
  const Row rows[] = {
      {"no hook: the frame runs alone", {}, {}, {"frame"}, {}, "SV_Frame"},
      {"highest priority first",
       {{'A', 128}, {'B', 255}, {'C', 0}, {'D', 192}},
       {},
       {"B", "D", "A", "C", "frame", "C back", "A back", "D back", "B back"},
       {255, 192, 128, 0},
       "registerHook 192"},
      {"equal priorities in the order registered",
       {{'A', 128}, {'B', 128}, {'C', 255}, {'D', 128}},
       {},
       {"C", "A", "B", "D", "frame", "D back", "B back", "A back", "C back"},
       {255, 128, 128, 128},
       "callNext"},
      {"callOriginal runs the frame and skips later hooks",
       {{'A', 255}, {'B', 128}},
       {Act::kOriginal},
       {"A", "frame", "A back"},
       {255, 128},
       "callOriginal"},
      {"a hook that passes nothing on leaves the frame unrun",
       {{'A', 255}, {'B', 128}},
       {Act::kNext, Act::kNothing},
       {"A", "B", "B back", "A back"},
       {255, 128},
       "frame not run"},
      {"a second callNext is ignored",
       {{'A', 255}, {'B', 128}},
       {Act::kNextTwice},
       {"A", "B", "frame", "B back", "A back"},
       {255, 128},
       "callNext again"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.what);
    emu::Session server(WithRehlds());
    const emu::RehldsStandIn &engine = server.RehldsEngine();
    ASSERT_TRUE(engine.IsLoaded());
    Prepare(engine, row.acts);
    ASSERT_NE(nullptr, g_serverFrame.registry);
    Register(row.registrations);
    EXPECT_EQ(row.events, RunFrame(engine));
    EXPECT_EQ(row.priorities, engine.Priorities());
    EXPECT_EQ(static_cast<int>(row.registrations.size()), engine.HookCount());
    const Texts calls = engine.Calls();
    EXPECT_TRUE(Contains(calls, row.callLine)) << ::testing::PrintToString(calls);
    EXPECT_EQ(Contains(row.events, "frame"), !Contains(calls, "frame not run"));
    EXPECT_EQ(Texts{}, server.Faults());
  }
}

// The chain is live, as the real engine's: what a hook registers or unregisters
// before it passes the frame on changes which hooks the rest of this very frame
// runs.
TEST(RehldsStandIn, AHookThatChangesTheChainChangesTheRestOfTheRunningFrame) {
  struct Row {
    const char *what;
    char changer;
    std::vector<Change> changes;
    Texts events;
    Texts nextFrame;
  };
  const Texts abc = {"A", "B", "C", "frame", "C back", "B back", "A back"};
  const Texts ab = {"A", "B", "frame", "B back", "A back"};
  const Texts bc = {"B", "C", "frame", "C back", "B back"};
  const Row rows[] = {
      {"A takes C out: C does not run", 'A', {{false, 'C', 0}}, ab, ab},
      {"A takes itself out: the array moves up under it, so B is skipped",
       'A',
       {{false, 'A', 0}},
       {"A", "C", "frame", "C back", "A back"},
       bc},
      {"B takes A out: the array moves up under B, so C is skipped",
       'B',
       {{false, 'A', 0}},
       ab,
       bc},
      {"A puts D in behind itself: D runs in this frame",
       'A',
       {{true, 'D', 192}},
       {"A", "D", "B", "C", "frame", "C back", "B back", "D back", "A back"},
       {"A", "D", "B", "C", "frame", "C back", "B back", "D back", "A back"}},
      {"taking out what is not there changes nothing", 'A', {{false, 'D', 0}}, abc, abc},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.what);
    emu::Session server(WithRehlds());
    const emu::RehldsStandIn &engine = server.RehldsEngine();
    Prepare(engine, {});
    Register({{'A', 255}, {'B', 128}, {'C', 0}});
    g_changes[row.changer - 'A'] = row.changes;
    EXPECT_EQ(row.events, RunFrame(engine));
    EXPECT_EQ(row.nextFrame, RunFrame(engine));
  }
  emu::Session server(WithRehlds());
  Prepare(server.RehldsEngine(), {});
  server.RehldsEngine().ClearCalls();
  g_serverFrame.Unregister(kHookFunctions[0]);
  EXPECT_EQ(Texts{"unregisterHook of a hook not registered"}, server.RehldsEngine().Calls())
      << "harmless, and only recorded";
}

// ---- Fatal registrations

template <int Id>
void Filler(void *chain) {
  CallNext(chain);
}

template <int... Ids>
std::vector<HookFunction> Fillers(std::integer_sequence<int, Ids...>) {
  return {&Filler<Ids>...};
}

// As on a real engine (Sys_Error), a null hook, one registered twice and a
// twentieth end the process, with a line that names the fault and the chain.
TEST(RehldsStandInDeathTest, ANullADoubleOrATwentiethHookStopsTheServer) {
  struct Row {
    int accessor;
    emu::RehldsChain chain;
    std::string name;
  };
  const Row rows[] = {
      {kServerFrameAccessor, emu::RehldsChain::kServerFrame, "SV_Frame"},
      {kExecuteServerStringCmdAccessor, emu::RehldsChain::kExecuteServerStringCmd,
       "ExecuteServerStringCmd"},
      {kCreatePacketEntitiesAccessor, emu::RehldsChain::kCreatePacketEntities,
       "SV_CreatePacketEntities"},
  };
  const std::vector<HookFunction> fillers = Fillers(std::make_integer_sequence<int, 20>());
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    emu::Session server(WithRehlds());
    const Registry registry = FindRegistry(server.RehldsEngine(), row.accessor);
    ASSERT_NE(nullptr, registry.registry);
    const std::string chain = " the " + row.name + " chain";
    EXPECT_DEATH(registry.Register(HookFunction{nullptr}, 128),
                 "stand-in ReHLDS: registerHook of a null hook in" + chain);
    registry.Register(fillers[0], 128);
    EXPECT_DEATH(registry.Register(fillers[0], 64),
                 "stand-in ReHLDS: registerHook of a hook already in" + chain);
    for (int hook = 1; hook < 19; ++hook) registry.Register(fillers[hook], hook);
    EXPECT_EQ(19, server.RehldsEngine().HookCount(row.chain)) << "nineteen fit";
    EXPECT_DEATH(registry.Register(fillers[19], 0),
                 "stand-in ReHLDS: registerHook of a 20th hook .*in" + chain);
    for (HookFunction hook : fillers) registry.Unregister(hook);
    EXPECT_EQ(0, server.RehldsEngine().HookCount(row.chain));
  }
}

// ---- The commands' and the client updates' chains

using CommandHook = void (*)(void *chain, const char *command, int source, void *client);
using UpdateHook = int (*)(void *chain, int type, void *client, void *to, void *message);

Texts g_seen;
Act g_commandAct = Act::kNext;

std::string Described(const char *command, int source, void *client) {
  return std::string(command) + " " + std::to_string(source) + " " +
         std::to_string(ClientId(client));
}

template <int Id>
void CommandHookOf(void *chain, const char *command, int source, void *client) {
  g_seen.push_back((Id == 0 ? "first " : "second ") + Described(command, source, client));
  const Act act = Id == 0 ? g_commandAct : Act::kNext;
  if (act == Act::kNext) CallSlot<void>(chain, kDestructorSlots + 0, command, source, client);
  if (act == Act::kOriginal) CallSlot<void>(chain, kDestructorSlots + 1, command, source, client);
}

void MarkCommand() { g_seen.push_back(std::string("ran ") + emu::Engine::Current().Argv(1)); }

void GameClientCommand(edict_t *) {
  g_seen.push_back(std::string("game ") + emu::Engine::Current().Argv(0));
}

// Every command reaches the engine's chain with its first word, where it came
// from and the client who sent it; hooks decide whether it runs, as around the
// frame.
TEST(RehldsStandIn, CommandsRunThroughTheirChainWithSourceAndClient) {
  struct Row {
    const char *what;
    Act act;
    bool fromClient;
    Texts seen;
  };
  const Row rows[] = {
      {"typed at the console",
       Act::kNext,
       false,
       {"first qrv_mark 1 -1", "second qrv_mark 1 -1", "ran typed"}},
      {"from a client, ending in the game",
       Act::kNext,
       true,
       {"first say 0 1", "second say 0 1", "game say"}},
      {"callOriginal skips the later hooks",
       Act::kOriginal,
       false,
       {"first qrv_mark 1 -1", "ran typed"}},
      {"a hook that passes nothing on stops the command", Act::kNothing, true, {"first say 0 1"}},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.what);
    emu::Session server(WithRehlds());
    const emu::RehldsStandIn &engine = server.RehldsEngine();
    const Registry commands = FindRegistry(engine, kExecuteServerStringCmdAccessor);
    ASSERT_NE(nullptr, commands.registry);
    commands.Register(CommandHook{&CommandHookOf<1>}, 64);
    commands.Register(CommandHook{&CommandHookOf<0>}, 128);
    EXPECT_EQ((std::vector<int>{128, 64}),
              engine.Priorities(emu::RehldsChain::kExecuteServerStringCmd));
    server.engine().AddCommand("qrv_mark", &MarkCommand);
    server.metamod().Game().Functions()->pfnClientCommand = &GameClientCommand;
    server.ConnectClient("Alice");
    ASSERT_EQ(2, server.ConnectClient("Bob"));
    g_commandAct = row.act;
    g_seen.clear();
    engine.ClearCalls();
    if (row.fromClient) {
      server.ClientCommand(2, "say hi");
    } else {
      server.Command("qrv_mark typed");
    }
    EXPECT_EQ(row.seen, g_seen);
    EXPECT_EQ(row.act == Act::kNothing,
              Contains(engine.Calls(), "ExecuteServerStringCmd: not run"));
    EXPECT_EQ(Texts{}, server.Faults());
  }
  emu::Session server(WithRehlds());
  EXPECT_EQ(1, server.RehldsEngine().GameClientId(server.RehldsEngine().GameClient(1)));
  EXPECT_EQ(nullptr, server.RehldsEngine().GameClient(32));
}

// ---- A session's ReHLDS frame

void OrderFrame(void *chain) {
  g_seen.push_back("SV_Frame");
  CallNext(chain);
  g_seen.push_back("SV_Frame back");
}

void OrderCommand(void *chain, const char *command, int source, void *client) {
  g_seen.push_back("command " + Described(command, source, client));
  CallSlot<void>(chain, kDestructorSlots + 0, command, source, client);
}

int OrderUpdate(void *chain, int type, void *client, void *to, void *message) {
  const int answer = CallSlot<int>(chain, kDestructorSlots + 0, type, client, to, message);
  g_seen.push_back("update " + std::to_string(ClientId(client)) + " answered " +
                   std::to_string(answer));
  return answer;
}

void OrderStartFrame() { g_seen.push_back("StartFrame"); }
void OrderThink(edict_t *player) {
  g_seen.push_back("think " + std::to_string(emu::Engine::Current().IndexOf(player)));
}

void RegisterAll(const emu::RehldsStandIn &engine, HookFunction frame, CommandHook command,
                 UpdateHook update) {
  FindRegistry(engine, kServerFrameAccessor).Register(frame, 128);
  FindRegistry(engine, kExecuteServerStringCmdAccessor).Register(command, 128);
  FindRegistry(engine, kCreatePacketEntitiesAccessor).Register(update, 128);
}

// Between the frames the console's buffer; inside SV_Frame the waiting
// commands, then the game, then an update for every client that is not a bot.
TEST(RehldsFrame, RunsItsPartsInTheEnginesOrder) {
  emu::Session server(WithRehlds());
  RegisterAll(server.RehldsEngine(), &OrderFrame, &OrderCommand, &OrderUpdate);
  DLL_FUNCTIONS &game = *server.metamod().Game().Functions();
  game.pfnStartFrame = &OrderStartFrame;
  game.pfnPlayerPreThink = &OrderThink;
  game.pfnClientCommand = &GameClientCommand;
  server.engine().AddCommand("qrv_mark", &MarkCommand);
  server.StartMap("de_dust2");
  ASSERT_EQ(1, server.ConnectBot("Robot"));
  ASSERT_EQ(2, server.ConnectClient("Alice"));
  const edict_t *bot = server.engine().Edict(1);
  EXPECT_EQ(FL_CLIENT | FL_FAKECLIENT, bot->v.flags);
  EXPECT_STREQ("Robot", server.engine().String(bot->v.netname));
  EXPECT_EQ(FL_CLIENT, server.engine().Edict(2)->v.flags);
  EXPECT_TRUE(server.IsBot(1));
  EXPECT_FALSE(server.IsBot(2));

  server.QueueClientCommand(2, "say hi");
  server.QueueRconCommand("qrv_mark rcon");
  server.QueueConsoleCommand("qrv_mark console");
  g_seen.clear();
  server.RunFrames(1, 100.0);
  EXPECT_EQ((Texts{"command qrv_mark 1 -1", "ran console", "SV_Frame", "command say 0 1",
                   "game say", "command qrv_mark 1 -1", "ran rcon", "StartFrame", "think 1",
                   "think 2", "update 1 answered 0", "SV_Frame back"}),
            g_seen);
  g_seen.clear();
  server.DisconnectClient(2);
  server.RunFrames(1, 100.0);
  EXPECT_EQ((Texts{"SV_Frame", "StartFrame", "think 1", "SV_Frame back"}), g_seen)
      << "with bots only, nothing is sent";
  EXPECT_EQ(Texts{}, server.Faults());
}

// ---- Where a frame's time goes, on the test build's fake clock

QrvFakeClockNanosecondsFn g_clock = nullptr;

// Clock readings of the last frame at the borders the hooks and the game see.
struct Stamps {
  int64_t frameStart = -1, input = -1, think = -1, updateIn = -1, updateOut = -1, frameEnd = -1;
};
Stamps g_stamps;
std::vector<std::pair<std::string, int64_t>> g_commandTimes;  // what each command's run took

void StampFrame(void *chain) {
  g_stamps.frameStart = g_clock();
  CallNext(chain);
  g_stamps.frameEnd = g_clock();
}

void StampCommand(void *chain, const char *command, int source, void *client) {
  const int64_t before = g_clock();
  CallSlot<void>(chain, kDestructorSlots + 0, command, source, client);
  g_commandTimes.emplace_back(command, g_clock() - before);
}

int StampUpdate(void *chain, int type, void *client, void *to, void *message) {
  g_stamps.updateIn = g_clock();
  const int answer = CallSlot<int>(chain, kDestructorSlots + 0, type, client, to, message);
  g_stamps.updateOut = g_clock();
  return answer;
}

void StampInput(edict_t *) { g_stamps.input = g_clock(); }
void StampThink(edict_t *) { g_stamps.think = g_clock(); }

class RehldsFrameTime : public ::testing::Test {
 protected:
  RehldsFrameTime() : server_(WithRehlds(qrvtest::TestBuild())) {}
  void SetUp() override {
    ASSERT_TRUE(server_.Attach());
    g_clock = qrvtest::FakePlatform(server_.metamod().library()).Resolved()
                  ? server_.metamod().library().Export<QrvFakeClockNanosecondsFn>(
                        QRV_FAKE_CLOCK_NANOSECONDS)
                  : nullptr;
    ASSERT_NE(nullptr, g_clock);
    RegisterAll(server_.RehldsEngine(), &StampFrame, &StampCommand, &StampUpdate);
    DLL_FUNCTIONS &game = *server_.metamod().Game().Functions();
    game.pfnClientCommand = &StampInput;
    game.pfnPlayerPreThink = &StampThink;
    server_.StartServer();
    server_.engine().AddCommand("qrv_mark", &MarkCommand);
    server_.StartMap("de_dust2");
    g_commandTimes.clear();
  }
  void TearDown() override { EXPECT_EQ(Texts{}, server_.Faults()); }
  // One frame of 10 ms; answers its game time in milliseconds.
  double Frame() {
    g_stamps = Stamps{};
    const double before = server_.engine().Time();
    server_.RunFrames(1, 100.0);
    return (server_.engine().Time() - before) * 1e3;
  }
  emu::Session server_;
};

double Milliseconds(int64_t from, int64_t to) { return static_cast<double>(to - from) / 1e6; }

// A stall lands in its part; one before the frame's time is taken (between,
// input) lengthens that frame's game time, one after it (game, output) the next
// frame's.
TEST_F(RehldsFrameTime, AStallLandsInItsPartAndInTheGameTimeThatFollows) {
  struct Row {
    emu::FramePart part;
    bool botsOnly;
    double between, input, game, output,
        nextBetween;                  // ms on the clock in the stalled frame
    double frameTime, nextFrameTime;  // ms of game time
  };
  const Row rows[] = {
      {emu::FramePart::kBetween, false, 15, 0, 0, 0, 10, 15, 10},
      {emu::FramePart::kInput, false, 10, 5, 0, 0, 10, 15, 10},
      {emu::FramePart::kGame, false, 10, 0, 5, 0, 10, 10, 15},
      {emu::FramePart::kOutput, false, 10, 0, 0, 5, 10, 10, 15},
      {emu::FramePart::kOutput, true, 10, 0, 0, 0, 15, 10, 15},  // no update: at the frame's end
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(static_cast<int>(row.part) * 10 + row.botsOnly);
    const int client = row.botsOnly ? server_.ConnectBot("Robot") : server_.ConnectClient("Alice");
    ASSERT_NE(0, client);
    Frame();
    const int64_t previousEnd = g_stamps.frameEnd;
    server_.StallNextFrame(row.part, 0.005);
    server_.QueueClientCommand(client, "qrv_stamp");
    EXPECT_NEAR(row.frameTime, Frame(), 1e-6);
    const Stamps stalled = g_stamps;
    EXPECT_NEAR(row.nextFrameTime, Frame(), 1e-6);
    EXPECT_NEAR(row.between, Milliseconds(previousEnd, stalled.frameStart), 1e-9);
    EXPECT_NEAR(row.input, Milliseconds(stalled.frameStart, stalled.input), 1e-9);
    EXPECT_NEAR(row.game, Milliseconds(stalled.input, stalled.think), 1e-9);
    if (row.botsOnly) {
      EXPECT_EQ(-1, stalled.updateIn);
    } else {
      EXPECT_NEAR(row.output, Milliseconds(stalled.updateIn, stalled.updateOut), 1e-9);
    }
    EXPECT_NEAR(row.nextBetween, Milliseconds(stalled.frameEnd, g_stamps.frameStart), 1e-9);
    server_.DisconnectClient(client);
  }
}

// A command's cost is paid inside its chain, whoever sent it, and in the frame
// part it runs in.
TEST_F(RehldsFrameTime, ACommandsCostIsPaidInsideItsChainFromEverySource) {
  const int alice = server_.ConnectClient("Alice");
  server_.SetCommandCost("QRV_Mark", 0.002);
  server_.SetCommandCost("say", 0.003);
  server_.SetCommandCost("echo", 0.004);
  server_.SetCommandCost("echo", 0.0);
  struct Row {
    const char *what;
    void (*send)(emu::Session &server, int alice);
    const char *command;
    double cost, frameTime;  // ms
  };
  const Row rows[] = {
      {"typed", [](emu::Session &s, int) { s.Command("qrv_mark a"); }, "qrv_mark", 2, 10},
      {"from the buffer", [](emu::Session &s, int) { s.QueueConsoleCommand("qrv_mark b"); },
       "qrv_mark", 2, 12},
      {"by rcon", [](emu::Session &s, int) { s.QueueRconCommand("Qrv_Mark c"); }, "Qrv_Mark", 2,
       12},
      {"from a client", [](emu::Session &s, int a) { s.QueueClientCommand(a, "say hi"); }, "say", 3,
       13},
      {"without a cost", [](emu::Session &s, int) { s.QueueRconCommand("echo d"); }, "echo", 0, 10},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.what);
    g_commandTimes.clear();
    row.send(server_, alice);
    EXPECT_NEAR(row.frameTime, Frame(), 1e-6);
    ASSERT_EQ(1u, g_commandTimes.size());
    EXPECT_EQ(row.command, g_commandTimes[0].first);
    EXPECT_NEAR(row.cost, Milliseconds(0, g_commandTimes[0].second), 1e-9);
  }
}

}  // namespace
