// The demo server: plays a short Counter-Strike server session with the plug-in under the
// emulated Metamod, on a ReHLDS engine, and prints the server console as it goes. `--console`
// takes the operator's commands from standard input instead of the scripted session;
// `--standalone` has the engine load the plug-in as its game library, over our stub game library.
//
// Game time is emulated and runs far faster than the real clock, except where the plug-in reads
// the real clock: it measures frame lengths with it (so the first map's start-up and the stall
// take real time) and frame pacing waits on it (so paced frames take real time, as on a server).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "session.h"

namespace {

namespace fs = std::filesystem;

// The machine's ceiling: however high sys_ticrate goes, this box cannot run more frames.
constexpr double kMachineFrameCeiling = 500.0;
// The engine never runs slower than this, whatever sys_ticrate says.
constexpr double kLowestFrameRate = 10.0;
// The plug-in counts every frame of a map's first 2 s of real time as the map's start-up, never a
// hitch; the first map runs this long in real time, so that its stall is a hitch as on a server.
constexpr double kRealTimeStartSeconds = 2.2;
// Frame pacing takes hold at the end of the running 4-second period.
constexpr double kLongestWaitForPacing = 4.5;

const char kUsage[] =
    "usage: qrv_demo [--console | --trace <file> <start> <target> <seconds>] [--standalone]\n"
    "                [--plugin <binary>] [--addons <addons/qrv_vemtark folder>]\n"
    "  --console  read operator commands from standard input; one second of frames passes\n"
    "             after each line. Besides server commands: map <name>, connect <name>,\n"
    "             disconnect <index>, wait <seconds>, clients, help, quit.\n"
    "  --trace <file> <start> <target> <seconds>  no session: pins the tick rate at start\n"
    "             (qrv_vemtark_sysrate) for 12 s, then steers towards target\n"
    "             (qrv_vemtark_autofps) for the rest of that much game time, writing one line\n"
    "             per quarter second to file: game time, server frame rate, qrv_fps, sys_ticrate.\n"
    "  --standalone  no Metamod: the engine loads the plug-in in place of the game library,\n"
    "             and the plug-in loads the game library (a stub of ours) underneath itself.\n";

struct DemoOptions {
  bool console = false;
  bool standalone = false;
  std::string trace;    // --trace: game time, frame rate and sys_ticrate to this file
  int traceStart = 0;   // the tick rate pinned (qrv_vemtark_sysrate) before the steering starts
  int traceTarget = 0;  // qrv_vemtark_autofps for the trace
  double traceSeconds = 0;
  std::string plugin;
  std::string addons = QRV_EMU_SOURCE_ADDONS;
};

const char *VariableText(emu::Session &server, const char *name) {
  const cvar_t *variable = server.engine().FindCvar(name);
  return variable != nullptr && variable->string != nullptr ? variable->string : "(none)";
}

// A command that takes as long as a database query that stalls the server: 312.4 ms of real time,
// which is what the plug-in measures.
void SlowQuery() {
  const auto due = std::chrono::steady_clock::now() + std::chrono::microseconds(312400);
  std::this_thread::sleep_until(due - std::chrono::milliseconds(2));
  while (std::chrono::steady_clock::now() < due) {
  }
}

void Section(const std::string &title) { std::printf("\n== %s ==\n", title.c_str()); }

using SteadyClock = std::chrono::steady_clock;

SteadyClock::duration RealSeconds(double seconds) {
  return std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(seconds));
}

// A variable's value as a whole number, 0 when it is none the engine could hold in an int.
int WholeValue(emu::Session &server, const char *name) {
  const cvar_t *variable = server.engine().FindCvar(name);
  if (variable == nullptr || !(variable->value > -1.0e9f && variable->value < 1.0e9f)) return 0;
  return static_cast<int>(variable->value);
}

// Runs frames for a span of game time at the rate the server would reach: sys_ticrate, held
// under the machine's ceiling, with a little jitter that repeats from run to run; while the
// plug-in paces frames, its target.
class FrameClock {
 public:
  explicit FrameClock(emu::Session &server) : server_(server), jitter_(20240229u) {}

  // Every quarter second from now on, one line "time rate qrv_fps sys_ticrate" to this file.
  void TraceTo(std::FILE *trace) { trace_ = trace; }

  void Run(double seconds) {
    const double end = server_.engine().Time() + seconds;
    while (server_.engine().Time() < end) Step();
  }

  // Until the plug-in paces frames, or that much game time has passed.
  void RunUntilPaced(double longest) {
    const double end = server_.engine().Time() + longest;
    while (PacedRate() == 0.0 && server_.engine().Time() < end) Step();
  }

  // The next `seconds` of game time take as long on the real clock, frame by frame.
  void KeepRealTimeFor(double seconds) {
    gameAnchor_ = server_.engine().Time();
    realAnchor_ = SteadyClock::now();
    realTimeUntil_ = gameAnchor_ + seconds;
  }

  void ResetReports() {
    nextReport_ = server_.engine().Time() + 4.0;
    lastReportTime_ = server_.engine().Time();
    framesSinceReport_ = 0;
  }

 private:
  void Report() {
    const double now = server_.engine().Time();
    const double measured = framesSinceReport_ / (now - lastReportTime_);
    const cvar_t *ticrate = server_.engine().FindCvar("sys_ticrate");
    const cvar_t *published = server_.engine().FindCvar("qrv_fps");
    std::printf(
        "   [game time %6.2f s] server frame rate %.1f, qrv_fps \"%s\", sys_ticrate \"%s\"\n", now,
        measured, published != nullptr ? published->string : "?",
        ticrate != nullptr ? ticrate->string : "?");
    lastReportTime_ = now;
    framesSinceReport_ = 0;
    nextReport_ = now + 4.0;
  }

  // A quarter of a second at a time, so a change of sys_ticrate takes effect soon.
  void Step() {
    double rate = PacedRate();
    if (rate > 0.0) {
      rate = std::min(rate, kMachineFrameCeiling);
    } else {
      const cvar_t *ticrate = server_.engine().FindCvar("sys_ticrate");
      rate = ticrate != nullptr ? ticrate->value : 100.0;
      rate = std::clamp(rate, kLowestFrameRate, kMachineFrameCeiling);
      rate *= std::uniform_real_distribution<double>(0.97, 1.0)(jitter_);
    }
    const int frames = std::max(1, static_cast<int>(rate / 4.0));
    RunFrames(frames, rate);
    if (trace_ != nullptr) {
      std::fprintf(trace_, "%.2f %.1f %s %s\n", server_.engine().Time(), rate,
                   VariableText(server_, "qrv_fps"), VariableText(server_, "sys_ticrate"));
    }
    framesSinceReport_ += frames;
    if (trace_ == nullptr && server_.engine().Time() >= nextReport_) Report();
  }

  // While the map's start keeps real time, frame by frame, each at its instant; then the last
  // frame on its own, so that a stall can be timed from its start.
  void RunFrames(int frames, double rate) {
    while (frames > 0 && server_.engine().Time() < realTimeUntil_) {
      std::this_thread::sleep_until(realAnchor_ +
                                    RealSeconds(server_.engine().Time() - gameAnchor_));
      RunFrame(rate);
      --frames;
    }
    if (frames > 1) server_.RunFrames(frames - 1, rate);
    if (frames > 0) RunFrame(rate);
  }

  void RunFrame(double rate) { server_.RunFrames(1, rate); }

  // The frame rate the plug-in paces to, 0 while it does not. It holds every frame until the
  // frame's deadline on the real clock, so the server runs at the target whatever sys_ticrate
  // allows; once it paces it sets sys_ticrate to twice the target, which is how this tells.
  double PacedRate() {
    if (!server_.RehldsEngine().IsLoaded() || WholeValue(server_, "qrv_vemtark_pace") == 0) {
      return 0.0;
    }
    const cvar_t *pinned = server_.engine().FindCvar("qrv_vemtark_sysrate");
    const int target = pinned != nullptr && pinned->value > 49.99f
                           ? WholeValue(server_, "qrv_vemtark_sysrate")
                           : WholeValue(server_, "qrv_vemtark_autofps");
    if (target < 50 || WholeValue(server_, "sys_ticrate") != 2 * target) return 0.0;
    return target;
  }

  emu::Session &server_;
  std::mt19937 jitter_;
  std::FILE *trace_ = nullptr;
  SteadyClock::time_point realAnchor_{};
  double gameAnchor_ = 0.0;
  double realTimeUntil_ = 0.0;
  double nextReport_ = 4.0;
  double lastReportTime_ = 0.0;
  long framesSinceReport_ = 0;
};

// Prints what each client's console received since the last call.
class ClientConsoles {
 public:
  explicit ClientConsoles(emu::Session &server) : server_(server) {}

  void PrintNew() {
    for (int index = 1; index <= emu::Engine::kMaxClients; ++index) {
      const std::vector<emu::ClientPrint> &prints = server_.engine().ClientPrints(index);
      size_t &shown = shown_[index];
      if (prints.size() == shown) continue;
      const char *name = server_.engine().String(server_.engine().Edict(index)->v.netname);
      std::printf("-- console of client %d (%s) --\n", index, name);
      for (; shown < prints.size(); ++shown) {
        std::istringstream lines(prints[shown].text);
        std::string line;
        while (std::getline(lines, line)) std::printf("   | %s\n", line.c_str());
      }
    }
  }

 private:
  emu::Session &server_;
  std::map<int, size_t> shown_;
};

void CopySampleConfigs(const DemoOptions &options, const emu::Session &server) {
  const std::string source = (fs::path(options.addons) / "configs").string();
  if (!server.CopyIntoAddon(source, "configs")) {
    std::printf("(no sample configuration at %s; the plug-in starts without one)\n",
                source.c_str());
    return;
  }
  std::printf("sample configuration copied from %s\n", source.c_str());
}

// The sample debug modules that configs/debug.ini lists: text files <name>.lib in dlls/.
void CopySampleModules(const DemoOptions &options, const emu::Session &server) {
  const fs::path source = fs::path(options.addons) / "dlls";
  const fs::path target = fs::path(server.GameDirPath()) / "addons" / "qrv_vemtark" / "dlls";
  std::error_code failure;
  if (!fs::is_directory(source, failure)) return;
  size_t copied = 0;
  for (const fs::directory_entry &entry : fs::directory_iterator(source, failure)) {
    if (entry.path().extension() != ".lib") continue;
    fs::copy_file(entry.path(), target / entry.path().filename(),
                  fs::copy_options::overwrite_existing, failure);
    if (!failure) ++copied;
  }
  std::printf("%zu sample debug modules copied from %s\n", copied, source.string().c_str());
}

// A map start, then the server commands it queued: the configuration's exec first, then what
// the engine settings file switches on (they ran with the command buffer, answers above).
void StartMap(emu::Session &server, const std::string &name) {
  server.engine().ClearServerCommands();
  server.StartMap(name);
  std::printf("(the map start queued:");
  for (const std::string &command : server.engine().ServerCommands()) {
    std::printf(" [%.*s]", static_cast<int>(command.size()) - 1, command.c_str());
  }
  std::printf(")\n");
}

void Operator(emu::Session &server, const std::string &line) {
  std::printf("] %s\n", line.c_str());
  server.Command(line);
}

void PrintLogTail(const emu::Session &server, size_t lines) {
  const std::string path = server.options().gameDir + "/addons/qrv_vemtark/logs/qrv_vemtark.log";
  if (!server.FileExists(path)) {
    std::printf("(%s does not exist)\n", path.c_str());
    return;
  }
  std::istringstream text(server.ReadFile(path));
  std::deque<std::string> tail;
  std::string line;
  while (std::getline(text, line)) {
    tail.push_back(line);
    if (tail.size() > lines) tail.pop_front();
  }
  std::printf("last %zu lines of %s:\n", tail.size(), path.c_str());
  for (const std::string &kept : tail) std::printf("   | %s\n", kept.c_str());
}

// What the plug-in handed the engine's own log, which `log on` writes and `logaddress_add`
// streams to collectors.
void PrintServerLog(const emu::Session &server) {
  std::printf("the engine's log received:\n");
  for (const emu::AlertRecord &alert : server.engine().Alerts()) {
    if (alert.level != at_logged) continue;
    std::printf("   | %.*s\n", static_cast<int>(alert.text.size()) - 1, alert.text.c_str());
  }
}

void PrintSummary(const emu::Session &server) {
  Section("emulator summary");
  std::vector<std::string> unimplemented;
  for (const std::string &name : server.engine().UnimplementedCalls()) {
    if (std::find(unimplemented.begin(), unimplemented.end(), name) == unimplemented.end()) {
      unimplemented.push_back(name);
    }
  }
  std::printf("engine entries called that the emulator leaves unimplemented: %zu\n",
              unimplemented.size());
  for (const std::string &name : unimplemented) std::printf("   %s\n", name.c_str());
  std::printf("faults: %zu\n", server.Faults().size());
  for (const std::string &fault : server.Faults()) std::printf("   %s\n", fault.c_str());
}

const char *MetaResultName(META_RES result) {
  static const char *const kNames[] = {"MRES_UNSET", "MRES_IGNORED", "MRES_HANDLED",
                                       "MRES_OVERRIDE", "MRES_SUPERCEDE"};
  return result >= MRES_UNSET && result <= MRES_SUPERCEDE ? kNames[result] : "?";
}

// The names registered since `first`, a few to a line.
void PrintNames(const char *what, const std::vector<std::string> &names, size_t first) {
  std::string line = std::string("   ") + what + ":";
  for (size_t index = first; index < names.size(); ++index) {
    if (line.size() + names[index].size() > 96) {
      std::printf("%s\n", line.c_str());
      line = "     ";
    }
    line += " " + names[index];
  }
  std::printf("%s\n", line.c_str());
}

// What the hook of the last dispatch answered: Metamod's result code, or nothing to say when the
// engine called the plug-in directly.
std::string HookResult(emu::Session &server) {
  if (server.options().host == emu::HostMode::kStandalone)
    return "standalone, forwarded to the game";
  return MetaResultName(server.metamod().LastPreResult());
}

bool StartUp(emu::Session &server, FrameClock &clock) {
  Section("attach");
  const bool standalone = server.options().host == emu::HostMode::kStandalone;
  if (!server.Attach()) {
    std::printf("attach failed: %s\n", standalone ? server.standalone().Error().c_str()
                                                  : server.metamod().Error().c_str());
    return false;
  }
  if (standalone) {
    std::printf(
        "(engine: loaded the plug-in as its game library; the game library it loaded "
        "in turn: %s)\n",
        server.GameLibraryPath().c_str());
  } else if (const plugin_info_t *info = server.metamod().PluginInfo()) {
    std::printf("(Metamod: loaded \"%s\" version %s, log tag %s)\n",
                info->name != nullptr ? info->name : "?",
                info->version != nullptr ? info->version : "?",
                info->logtag != nullptr ? info->logtag : "?");
  }
  Section("GameInit");
  const size_t commandsBefore = server.engine().CommandNames().size();
  const size_t variablesBefore = server.engine().CvarNames().size();
  server.StartServer();
  const std::vector<std::string> commands = server.engine().CommandNames();
  const std::vector<std::string> variables = server.engine().CvarNames();
  std::printf("GameInit hook ran (%s); %zu console commands and %zu variables registered\n",
              HookResult(server).c_str(), commands.size() - commandsBefore,
              variables.size() - variablesBefore);
  PrintNames("commands", commands, commandsBefore);
  PrintNames("variables", variables, variablesBefore);
  Section("map de_dust2");
  StartMap(server, "de_dust2");
  std::printf("ServerActivate hook ran (%s): qrv_fps \"%s\", qrv_ticrate \"%s\"\n",
              HookResult(server).c_str(), VariableText(server, "qrv_fps"),
              VariableText(server, "qrv_ticrate"));
  clock.ResetReports();
  return true;
}

void ScriptedSession(emu::Session &server, FrameClock &clock) {
  ClientConsoles consoles(server);
  Section("frames");
  clock.KeepRealTimeFor(kRealTimeStartSeconds);
  clock.Run(9.0);

  Section("clients");
  for (const char *name : {"Alice", "Bob", "Carol"}) {
    const int index = server.ConnectClient(name);
    if (index == 0) {
      std::printf("%s was refused: %s\n", name, server.LastRejectReason().c_str());
    } else {
      std::printf("%s connected in slot %d\n", name, index);
    }
  }
  clock.Run(1.0);
  consoles.PrintNew();

  Section("a hitch");
  std::printf(
      "(an rcon command that queries a slow database stalls one frame by 312.4 ms; the warning "
      "says in which part of the frame, and which command)\n");
  server.engine().AddCommand("demo_slow_query", &SlowQuery);
  server.QueueRconCommand("demo_slow_query");
  clock.Run(0.01);
  // The period ends within 4 s, and the frame after it writes the warning.
  clock.Run(4.0);
  Operator(server, "qrv_frametime_max");
  Operator(server, "qrv_hitches");
  Operator(server, "qrv_vemtark_status");
  // The same figures in columns, as scripts read them over rcon.
  Operator(server, "qrv_vemtark_stats");

  Section("operator");
  Operator(server, "qrv_vemtark_about");
  if (server.options().host == emu::HostMode::kStandalone) Operator(server, "meta");
  Operator(server, "qrv_info");
  Operator(server, "qrv_systems");
  Operator(server, "qrv_helpme");
  clock.Run(1.0);

  Section("debug mode over the sample modules");
  // The check queues "qrv_debug <module>" for every module it finds; they answer when the
  // engine next runs its command buffer, right after the switch.
  Operator(server, "qrv_vemtark_debug 1");
  Operator(server, "qrv_debug frame_probe");
  Operator(server, "qrv_vemtark_debug 0");
  clock.Run(1.0);

  Section("tuning");
  Operator(server, "qrv_vemtark_sysrate 0");
  Operator(server, "qrv_vemtark_autofps 250");
  clock.Run(13.0);
  Operator(server, "qrv_fps");
  Operator(server, "qrv_ticrate");
  Operator(server, "sys_ticrate");
  Operator(server, "qrv_vemtark_hostname \"QRV Demo Server\"");
  clock.Run(1.0);
  consoles.PrintNew();

  Section("switches");
  Operator(server, "qrv_vemtark_hpk 1");
  Operator(server, "qrv_vemtark_hpk 1");
  Operator(server, "qrv_vemtark_strengthening 1");
  Operator(server, "qrv_vemtark_premonitor_win 0");
  Operator(server, "qrv_vemtark_sepd 2");

  Section("change map to de_inferno");
  // The summary's running time is the clock's, which the emulated frames outrun.
  std::printf(
      "(de_dust2 ends: one line sums it up in the plug-in's log and, with the hitch "
      "warnings, in the engine's; the time it ran is the real time the demo took)\n");
  StartMap(server, "de_inferno");
  clock.ResetReports();
  clock.Run(5.0);
  consoles.PrintNew();

  Section("frame pacing (ReHLDS)");
  // From the end of the running period on, every frame waits on the real clock for its deadline,
  // so this part takes about 4 s.
  Operator(server, "qrv_vemtark_autofps 300");
  Operator(server, "qrv_vemtark_pace 1");
  clock.RunUntilPaced(kLongestWaitForPacing);
  clock.ResetReports();
  clock.Run(4.2);
  Operator(server, "qrv_vemtark_status");
  Operator(server, "qrv_vemtark_stats");

  Section("plugin log");
  PrintLogTail(server, 25);
  PrintServerLog(server);

  Section("shutdown");
  server.EndMap();
  server.Call<&NEW_DLL_FUNCTIONS::pfnGameShutdown>();
}

// What a newcomer at the demo's console needs first: the figures come from 4-second periods, so
// time has to pass before the first one reads anything but 0.
const char kConsoleHelp[] =
    "Type server commands as at a server console (qrv_vemtark_status, qrv_vemtark_stats, "
    "qrv_fps,\nqrv_vemtark_help, ...).\n"
    "The demo's own: map <name>, connect <name>, disconnect <index>, clients (what the clients'\n"
    "consoles received), wait <seconds>, help, quit. One second of frames passes after every\n"
    "line; the frame rate is measured over 4 seconds, so type wait 4 before the first figures.\n";

void ConsoleSession(emu::Session &server, FrameClock &clock) {
  ClientConsoles consoles(server);
  Section("console (type quit to leave)");
  std::fputs(kConsoleHelp, stdout);
  std::string line;
  while (true) {
    std::printf("] ");
    std::fflush(stdout);
    if (!std::getline(std::cin, line)) break;
    std::istringstream words(line);
    std::string verb;
    std::string argument;
    words >> verb >> argument;
    if (verb == "quit" || verb == "exit") break;
    if (verb == "help") {
      std::fputs(kConsoleHelp, stdout);
      continue;
    }
    if (verb == "map" && !argument.empty()) {
      server.StartMap(argument);
      clock.ResetReports();
    } else if (verb == "connect" && !argument.empty()) {
      const int index = server.ConnectClient(argument);
      std::printf("%s\n", index != 0 ? ("connected in slot " + std::to_string(index)).c_str()
                                     : ("refused: " + server.LastRejectReason()).c_str());
    } else if (verb == "disconnect" && !argument.empty()) {
      server.DisconnectClient(std::atoi(argument.c_str()));
    } else if (verb == "wait" && !argument.empty()) {
      clock.Run(std::atof(argument.c_str()));
    } else if (verb == "clients") {
      consoles.PrintNew();
    } else if (!verb.empty()) {
      server.Command(line);
    }
    clock.Run(1.0);
  }
  std::printf("\n");
  Section("shutdown");
  server.EndMap();
}

// The plug-in steering sys_ticrate towards a target, recorded for a plot.
int Trace(emu::Session &server, FrameClock &clock, const DemoOptions &options) {
  std::FILE *trace = std::fopen(options.trace.c_str(), "w");
  if (trace == nullptr) {
    std::fprintf(stderr, "cannot write %s\n", options.trace.c_str());
    return 1;
  }
  server.StartServer();
  server.StartMap("de_dust2");
  constexpr double kPinnedSeconds = 12.0;
  std::fprintf(trace,
               "# game_time frame_rate qrv_fps sys_ticrate (pinned at %d, then "
               "qrv_vemtark_autofps %d)\n",
               options.traceStart, options.traceTarget);
  clock.TraceTo(trace);
  server.Command("qrv_vemtark_sysrate " + std::to_string(options.traceStart));
  clock.Run(kPinnedSeconds);
  server.Command("qrv_vemtark_sysrate 0");
  server.Command("qrv_vemtark_autofps " + std::to_string(options.traceTarget));
  clock.Run(options.traceSeconds - kPinnedSeconds);
  clock.TraceTo(nullptr);
  std::fclose(trace);
  return server.Faults().empty() ? 0 : 1;
}

bool ParseArguments(int argc, char **argv, DemoOptions *options) {
  for (int index = 1; index < argc; ++index) {
    const std::string argument = argv[index];
    if (argument == "--console") {
      options->console = true;
    } else if (argument == "--standalone") {
      options->standalone = true;
    } else if (argument == "--plugin" && index + 1 < argc) {
      options->plugin = fs::absolute(argv[++index]).string();
    } else if (argument == "--addons" && index + 1 < argc) {
      options->addons = fs::absolute(argv[++index]).string();
    } else if (argument == "--trace" && index + 4 < argc) {
      options->trace = argv[++index];
      options->traceStart = std::atoi(argv[++index]);
      options->traceTarget = std::atoi(argv[++index]);
      options->traceSeconds = std::atof(argv[++index]);
      if (options->traceStart <= 0 || options->traceTarget <= 0 || options->traceSeconds <= 0) {
        return false;
      }
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char **argv) {
  DemoOptions options;
  if (!ParseArguments(argc, argv, &options)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  emu::SessionOptions sessionOptions;
  sessionOptions.pluginPath = options.plugin;
  sessionOptions.echoConsole = options.trace.empty();
  sessionOptions.rehldsEngine = true;
  if (options.standalone) sessionOptions.host = emu::HostMode::kStandalone;
  emu::Session server(sessionOptions);
  std::printf(options.standalone
                  ? "QRV Vem-Tark demo server (emulated engine, plug-in standalone)\n"
                  : "QRV Vem-Tark demo server (emulated engine and Metamod)\n");
  std::printf("game root %s\nplug-in %s\n", server.Root().c_str(), server.PluginPath().c_str());
  CopySampleConfigs(options, server);
  CopySampleModules(options, server);
  // A Steam installation of Counter-Strike 1.6 ships this file; the registration report tests it.
  server.WriteFile(server.options().gameDir + "/events/galil.sc", "// galil sound events\n");

  FrameClock clock(server);
  if (!options.trace.empty()) return Trace(server, clock, options);
  if (!StartUp(server, clock)) {
    PrintSummary(server);
    return 1;
  }
  if (options.console) {
    ConsoleSession(server, clock);
  } else {
    ScriptedSession(server, clock);
  }
  PrintSummary(server);
  return 0;
}
