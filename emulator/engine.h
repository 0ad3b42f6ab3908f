// The engine side of the emulator: the state a Half-Life dedicated server keeps for a game
// library (console variables and commands, the command buffer, console output, globals, the
// string pool, the edict array, the game folder) and the enginefuncs_t table that reaches it.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "sdk/eiface.h"

namespace emu {

// One text a client's console received through pfnClientPrintf or an engine announcement.
struct ClientPrint {
  PRINT_TYPE type;
  std::string text;
};

// One message that reached pfnAlertMessage, with the level it came at.
struct AlertRecord {
  ALERT_TYPE level;
  std::string text;
};

// The engine's entry points carry no context, so they reach the engine through a process-wide
// pointer: constructing an Engine makes it the current one until it is destroyed (the one
// constructed before it then becomes current again). Keep one at a time.
class Engine {
 public:
  static constexpr int kMaxClients = 32;
  static constexpr int kMaxEdicts = 512;
  static constexpr size_t kStringPoolBytes = 1 << 20;
  // A buffer pass that runs more commands than this is taken for a loop of commands queuing
  // each other; the rest of the buffer is dropped and a fault recorded.
  static constexpr int kCommandsPerPassLimit = 10000;

  Engine();
  ~Engine();
  Engine(const Engine &) = delete;
  Engine &operator=(const Engine &) = delete;

  // The current engine; aborts the process when there is none (an entry point called after
  // the engine went away is a bug in the caller).
  static Engine &Current();

  // The table handed to a game library or to Metamod. Every entry is set: an entry the
  // emulator does not implement records its name in UnimplementedCalls() and answers zero.
  enginefuncs_t *Functions() { return &functions_; }
  globalvars_t *Globals() { return &globals_; }

  // ---- Server console
  // Everything pfnServerPrint and pfnAlertMessage received and every message of the engine's
  // own ("Unknown command: x"), in order.
  const std::string &Console() const { return console_; }
  std::string TakeConsole();  // returns the text and clears it
  void Print(const std::string &text);
  // Called with every text as it reaches the console (the demo prints it live).
  void SetConsoleListener(std::function<void(const std::string &)> listener);
  // pfnAlertMessage: the formatted text goes to the console and is recorded with its level (an
  // at_logged message is what a real engine writes to its log and the log addresses).
  void Alert(ALERT_TYPE level, const std::string &text);
  const std::vector<AlertRecord> &Alerts() const { return alerts_; }
  void ClearAlerts() { alerts_.clear(); }

  // ---- Client consoles (entity index 1..kMaxClients)
  // Engine announcements go to connected clients only; pfnClientPrintf reaches any slot.
  void SetClientConnected(int index, bool connected);
  bool IsClientConnected(int index) const;
  const std::vector<ClientPrint> &ClientPrints(int index) const;  // empty outside 1..32
  std::string ClientConsole(int index) const;  // every text of one client, whatever its type
  void ClearClientConsoles();

  // ---- Console variables
  // The engine half of pfnCVarRegister / pfnCvar_RegisterVariable: links the caller's record
  // into the engine's list (the engine keeps using that very record), adds FCVAR_EXTDLL,
  // replaces record->string with an engine-owned copy and sets value from it. A name already
  // registered keeps its first record and prints "Can't register variable <name>, already
  // defined".
  void RegisterCvar(cvar_t *variable);
  // A variable the engine itself owns (sys_ticrate and hostname exist from the start).
  cvar_t *RegisterEngineCvar(const std::string &name, const std::string &value, int flags);
  // Drops a record from the list, for an owner that goes away before the engine (a Metamod host
  // and its copies); a real engine never lets go of a variable.
  void ForgetCvar(const cvar_t *variable);
  cvar_t *FindCvar(const std::string &name) const;  // without regard to case; null if unknown
  std::vector<std::string> CvarNames() const;       // in registration order
  // pfnCvar_DirectSet: replaces string and value. A variable with FCVAR_SERVER whose text
  // changes is announced to every connected client as "\"name\" changed to \"value\"\n",
  // unless it also has FCVAR_UNLOGGED (FCVAR_PROTECTED shows "***PROTECTED***" instead).
  void DirectSet(cvar_t *variable, const char *value);
  // pfnCVarSetString (and the console's "name value"): DirectSet on the variable of that name.
  void SetCvarString(const std::string &name, const std::string &value);
  // pfnCVarSetFloat: whole numbers are written as "%d", others as "%f".
  void SetCvarFloat(const std::string &name, float value);

  // ---- Console commands and the command buffer
  // pfnAddServerCommand. Names are matched without regard to case. Built in: exec, echo.
  void AddCommand(const std::string &name, void (*handler)());
  bool HasCommand(const std::string &name) const;
  std::vector<std::string> CommandNames() const;  // in registration order
  // The operator types text at the server console: it joins the end of the command buffer,
  // which then runs.
  void Command(const std::string &text);
  // Runs one command now: its words are set (Cmd_Argv), then it goes to the command router if
  // there is one, else straight to RunCommand with its first word.
  void ExecuteCommand(const std::string &command);
  // What the engine does with a command whose words are set, looked up by `name`: a registered
  // command runs its handler; a variable name alone prints "\"name\" is \"value\"", with an
  // argument sets it; anything else prints "Unknown command: <name>".
  void RunCommand(const std::string &name);
  // Every command ExecuteCommand runs (typed, from the buffer, rcon) is handed to the router with
  // its first word once its words are set; the router runs it with RunCommand, or not (a ReHLDS
  // session passes it through the engine's command hook chain first). None until set; an empty
  // function removes it.
  void SetCommandRouter(std::function<void(const std::string &name)> router);
  // Commands of the emulated Metamod itself (its `meta`): found by name like every other, and a
  // later registration of the name is refused as "already defined", but CommandNames() leaves
  // them out, as it lists what the engine and the game side registered. False, with the
  // engine's line on the console, when the name is taken.
  bool AddHostCommand(const std::string &name, void (*handler)());
  void RemoveHostCommand(const std::string &name);
  // pfnServerCommand: appends to the command buffer (nothing runs) and records the text.
  void ServerCommand(const std::string &text);
  // Text typed at the console that waits in the buffer for the next pass (nothing runs, and it
  // is not one of ServerCommands()).
  void QueueCommandText(const std::string &text);
  // Puts text at the front of the buffer, as exec does with a file.
  void InsertCommandText(const std::string &text);
  // pfnServerExecute: runs the buffer until it is empty. Commands queued meanwhile go to its end
  // and run in the same pass.
  void ExecuteBuffer();
  const std::string &PendingBuffer() const { return buffer_; }
  const std::vector<std::string> &ServerCommands() const { return serverCommands_; }
  void ClearServerCommands() { serverCommands_.clear(); }
  // The words of the command being run, as pfnCmd_Argc/Argv/Args answer them.
  int Argc() const { return static_cast<int>(argv_.size()); }
  const char *Argv(int index) const;  // "" past the end
  const char *Args() const;           // null when the command has no arguments
  // Sets the words without running anything (a client command arriving from a client).
  void SetCommandWords(const std::string &command);

  // ---- Bookkeeping
  // Names of unimplemented entries that were called ("pfnPrecacheModel"), in call order.
  const std::vector<std::string> &UnimplementedCalls() const { return unimplemented_; }
  void RecordUnimplemented(const std::string &name) { unimplemented_.push_back(name); }
  // Misuse of the engine or of Metamod seen by the emulator; tests expect none.
  const std::vector<std::string> &Faults() const { return faults_; }
  void RecordFault(const std::string &text);

  // ---- Game folder
  // The game directory name (default "cstrike"): files are looked up in "<cwd>/<name>/".
  void SetGameDir(const std::string &name);
  const std::string &GameDir() const { return gameDir_; }
  // The text pfnGetGameDir copies out; follows SetGameDir unless set apart (old engines answered
  // a full path).
  void SetGameDirAnswer(const std::string &text) { gameDirAnswer_ = text; }
  const std::string &GameDirAnswer() const { return gameDirAnswer_; }
  // pfnLoadFileForMe: a malloc'd, NUL-terminated copy of "<game dir>/<name>", or null.
  unsigned char *LoadFile(const char *name, int *length);
  // The Steam cache: a name asked of pfnLoadFileForMe that is not on disk under the game
  // directory is looked up here; a hit is first written to disk at that name under the working
  // directory (the game root, where Steam extracted its cached files), then handed out.
  void AddSteamCacheFile(const std::string &name, const std::string &sourcePath);
  // Every name pfnLoadFileForMe was asked for, in order.
  const std::vector<std::string> &RequestedFiles() const { return requestedFiles_; }
  // pfnFreeFile; a pointer that pfnLoadFileForMe did not hand out is a fault.
  void FreeFile(void *buffer);
  int LoadedFilesNotFreed() const { return static_cast<int>(loadedFiles_.size()); }

  // ---- Globals, time and strings
  // Game time (globals->time) runs per map; pfnTime answers a clock that never goes back.
  void SetTime(double seconds);
  void AdvanceTime(double seconds);
  static constexpr double kLongestFrameTime = 0.25;
  double Time() const { return mapTime_; }
  double RealTime() const { return realTime_; }
  void SetMapName(const std::string &name);
  std::string MapName() const { return String(globals_.mapname); }
  // pfnAllocString: copies into the pool under pStringBase; every offset fits in an int.
  string_t AllocString(const char *text);
  const char *String(string_t offset) const;  // pStringBase + (int)offset
  // Whether pStringBase + (int)offset lies in the part of the pool AllocString has handed out:
  // a text the engine owns and keeps, whoever asked for it.
  bool InStringPool(string_t offset) const;

  // ---- Entities
  // Index 0 is the world, 1..maxClients the client slots; both are always in use.
  edict_t *Edict(int index);                // null outside the array
  int IndexOf(const edict_t *edict) const;  // -1 for a pointer outside the array
  edict_t *EdictList() { return edicts_.get(); }
  int EdictCount() const;  // highest index in use + 1, as ServerActivate receives it
  int MaxClients() const { return globals_.maxClients; }
  edict_t *CreateEntity(const char *classname);  // next free slot after the clients
  void RemoveEntity(edict_t *edict);
  void *AllocPrivateData(edict_t *edict, int bytes);
  void FreePrivateData(edict_t *edict);

  // ---- Output from the game side
  void ClientPrintf(const edict_t *edict, PRINT_TYPE type, const char *text);
  // pfnRegUserMsg: numbers from 64 up (the engine's own messages take those below); a name
  // registered again keeps its number.
  int RegisterUserMessage(const std::string &name, int size);
  // pfnRandomLong / pfnRandomFloat draw from here; fixed seed, so runs repeat.
  std::mt19937 &Random() { return random_; }

 private:
  struct CommandEntry {
    std::string name;
    void (*handler)();
    bool host;  // the emulated Metamod's own
  };
  struct OwnedVariable {
    cvar_t record;
    std::string name;
  };

  const CommandEntry *FindCommand(const std::string &name) const;
  void AnnounceToClients(const std::string &text);
  bool ReadGameFile(const std::string &name, std::string *contents) const;
  bool ExtractFromSteamCache(const std::string &name, std::string *contents) const;
  static void ExecHandler();
  static void EchoHandler();

  Engine *previous_ = nullptr;
  enginefuncs_t functions_{};
  globalvars_t globals_{};
  std::unique_ptr<char[]> stringPool_;
  size_t stringPoolUsed_ = 0;
  std::unique_ptr<edict_t[]> edicts_;
  std::string console_;
  std::function<void(const std::string &)> consoleListener_;
  std::vector<AlertRecord> alerts_;
  std::vector<std::vector<ClientPrint>> clientPrints_;
  std::vector<bool> clientConnected_;
  std::vector<cvar_t *> cvars_;
  cvar_t *cvarListHead_ = nullptr;
  std::map<const cvar_t *, std::unique_ptr<char[]>> cvarStrings_;
  std::vector<std::unique_ptr<OwnedVariable>> ownedVariables_;
  std::vector<CommandEntry> commands_;
  std::function<void(const std::string &)> commandRouter_;
  std::string buffer_;
  int bufferDepth_ = 0;
  int commandsThisPass_ = 0;
  std::vector<std::string> serverCommands_;
  std::vector<std::string> argv_;
  std::string args_;
  bool hasArgs_ = false;
  std::vector<std::string> unimplemented_;
  std::vector<std::string> faults_;
  std::string gameDir_ = "cstrike";
  std::string gameDirAnswer_ = "cstrike";
  std::set<void *> loadedFiles_;
  std::map<std::string, std::string> steamCache_;
  std::vector<std::string> requestedFiles_;
  std::vector<std::string> userMessages_;
  std::mt19937 random_{20240101u};
  double mapTime_ = 0.0;
  double realTime_ = 0.0;
};

// Fills every entry of an engine table with the emulator's entry points (engine_table.cpp).
void FillEngineFunctions(enginefuncs_t *table);

}  // namespace emu
