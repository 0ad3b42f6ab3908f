#include "engine.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "command_text.h"

namespace emu {

namespace {

Engine *g_currentEngine = nullptr;

// A fresh copy that the engine owns, as the engine's Z_Malloc'd cvar strings are.
std::unique_ptr<char[]> CopyText(const char *text) {
  const size_t length = std::strlen(text);
  std::unique_ptr<char[]> copy(new char[length + 1]);
  std::memcpy(copy.get(), text, length + 1);
  return copy;
}

void ClearEntityVars(edict_t *edict) {
  edict->v = entvars_t{};
  edict->v.pContainingEntity = edict;
}

}  // namespace

Engine::Engine()
    : previous_(g_currentEngine),
      stringPool_(new char[kStringPoolBytes]()),
      stringPoolUsed_(1),  // offset 0 stays "", the SDK's "no string"
      edicts_(new edict_t[kMaxEdicts]()),
      clientPrints_(kMaxClients + 1),
      clientConnected_(kMaxClients + 1, false) {
  g_currentEngine = this;
  FillEngineFunctions(&functions_);

  globals_.deathmatch = 1.0f;
  globals_.maxClients = kMaxClients;
  globals_.maxEntities = kMaxEdicts;
  globals_.pStringBase = stringPool_.get();
  for (int index = 0; index < kMaxEdicts; ++index) {
    edict_t *edict = &edicts_[index];
    edict->free = index > kMaxClients ? 1 : 0;
    ClearEntityVars(edict);
  }
  edicts_[0].v.classname = AllocString("worldspawn");

  AddCommand("exec", &Engine::ExecHandler);
  AddCommand("echo", &Engine::EchoHandler);
  // Engines register sys_ticrate with flags of their own; start-up must add to them, not
  // replace them.
  RegisterEngineCvar("sys_ticrate", "100", FCVAR_ARCHIVE);
  RegisterEngineCvar("hostname", "Half-Life", 0);
}

Engine::~Engine() {
  for (void *buffer : loadedFiles_) std::free(buffer);
  for (int index = 0; index < kMaxEdicts; ++index) std::free(edicts_[index].pvPrivateData);
  g_currentEngine = previous_;
}

Engine &Engine::Current() {
  if (g_currentEngine == nullptr) {
    std::fputs("emulator: an engine entry point was called with no engine alive\n", stderr);
    std::abort();
  }
  return *g_currentEngine;
}

// ---- Server console

std::string Engine::TakeConsole() {
  std::string text;
  text.swap(console_);
  return text;
}

void Engine::Print(const std::string &text) {
  console_ += text;
  if (consoleListener_) consoleListener_(text);
}

void Engine::SetConsoleListener(std::function<void(const std::string &)> listener) {
  consoleListener_ = std::move(listener);
}

// ---- Client consoles

void Engine::SetClientConnected(int index, bool connected) {
  if (index >= 1 && index <= kMaxClients) clientConnected_[index] = connected;
}

bool Engine::IsClientConnected(int index) const {
  return index >= 1 && index <= kMaxClients && clientConnected_[index];
}

const std::vector<ClientPrint> &Engine::ClientPrints(int index) const {
  static const std::vector<ClientPrint> kNone;
  if (index < 1 || index > kMaxClients) return kNone;
  return clientPrints_[index];
}

std::string Engine::ClientConsole(int index) const {
  std::string text;
  for (const ClientPrint &print : ClientPrints(index)) text += print.text;
  return text;
}

void Engine::ClearClientConsoles() {
  for (std::vector<ClientPrint> &prints : clientPrints_) prints.clear();
}

void Engine::ClientPrintf(const edict_t *edict, PRINT_TYPE type, const char *text) {
  const int index = IndexOf(edict);
  if (index < 1 || index > kMaxClients) {
    Print("tried to sprint to a non-client\n");
    return;
  }
  clientPrints_[index].push_back(ClientPrint{type, text != nullptr ? text : ""});
}

void Engine::AnnounceToClients(const std::string &text) {
  for (int index = 1; index <= kMaxClients; ++index) {
    if (clientConnected_[index]) clientPrints_[index].push_back(ClientPrint{print_console, text});
  }
}

// ---- Console variables

void Engine::RegisterCvar(cvar_t *variable) {
  if (variable == nullptr || variable->name == nullptr) {
    RecordFault("cvar registration without a record or a name");
    return;
  }
  const std::string name = variable->name;
  if (FindCvar(name) != nullptr) {
    Print("Can't register variable " + name + ", already defined\n");
    return;
  }
  if (FindCommand(name) != nullptr) {
    Print("Cvar_RegisterVariable: \"" + name + "\" is a command\n");
    return;
  }
  const char *initial = variable->string != nullptr ? variable->string : "";
  std::unique_ptr<char[]> owned = CopyText(initial);
  variable->string = owned.get();
  variable->value = static_cast<float>(std::atof(owned.get()));
  variable->flags |= FCVAR_EXTDLL;
  cvarStrings_[variable] = std::move(owned);
  variable->next = cvarListHead_;
  cvarListHead_ = variable;
  cvars_.push_back(variable);
}

cvar_t *Engine::RegisterEngineCvar(const std::string &name, const std::string &value, int flags) {
  if (cvar_t *existing = FindCvar(name)) return existing;
  auto owned = std::make_unique<OwnedVariable>();
  owned->name = name;
  owned->record.name = owned->name.c_str();
  owned->record.string = value.c_str();  // replaced by an engine-owned copy just below
  owned->record.flags = flags;
  cvar_t *record = &owned->record;
  ownedVariables_.push_back(std::move(owned));
  RegisterCvar(record);
  record->flags = flags;  // the engine's own variables are not an external library's
  return record;
}

void Engine::ForgetCvar(const cvar_t *variable) {
  for (auto found = cvars_.begin(); found != cvars_.end(); ++found) {
    if (*found != variable) continue;
    cvars_.erase(found);
    cvarStrings_.erase(variable);
    // The chain through `next` is left alone: the engine never walks it, and records linked
    // before this one may be gone already.
    if (cvarListHead_ == variable) cvarListHead_ = variable->next;
    return;
  }
}

cvar_t *Engine::FindCvar(const std::string &name) const {
  for (cvar_t *variable : cvars_) {
    if (SameName(variable->name, name)) return variable;
  }
  return nullptr;
}

std::vector<std::string> Engine::CvarNames() const {
  std::vector<std::string> names;
  for (const cvar_t *variable : cvars_) names.push_back(variable->name);
  return names;
}

void Engine::DirectSet(cvar_t *variable, const char *value) {
  if (variable == nullptr || value == nullptr) return;
  const bool changed = variable->string == nullptr || std::strcmp(variable->string, value) != 0;
  std::unique_ptr<char[]> owned = CopyText(value);
  variable->string = owned.get();
  variable->value = static_cast<float>(std::atof(owned.get()));
  cvarStrings_[variable] = std::move(owned);  // frees the text it replaces
  if (changed && (variable->flags & FCVAR_SERVER) != 0 && (variable->flags & FCVAR_UNLOGGED) == 0) {
    const std::string shown =
        (variable->flags & FCVAR_PROTECTED) != 0 ? "***PROTECTED***" : variable->string;
    AnnounceToClients("\"" + std::string(variable->name) + "\" changed to \"" + shown + "\"\n");
  }
}

void Engine::SetCvarString(const std::string &name, const std::string &value) {
  cvar_t *variable = FindCvar(name);
  if (variable == nullptr) {
    Print("Cvar_Set: variable " + name + " not found\n");
    return;
  }
  DirectSet(variable, value.c_str());
}

void Engine::SetCvarFloat(const std::string &name, float value) {
  char text[64];
  // The range test keeps the conversion to int defined.
  if (std::isfinite(value) && std::fabs(value) < 2147483520.0f &&
      std::fabs(value - static_cast<float>(static_cast<int>(value))) < 0.000001f) {
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
  } else {
    std::snprintf(text, sizeof text, "%f", static_cast<double>(value));
  }
  SetCvarString(name, text);
}

// ---- Console commands and the command buffer

void Engine::AddCommand(const std::string &name, void (*handler)()) {
  if (handler == nullptr) {
    RecordFault("command " + name + " registered without a handler");
    return;
  }
  if (FindCvar(name) != nullptr) {
    Print("Cmd_AddCommand: " + name + " already defined as a var\n");
    return;
  }
  if (FindCommand(name) != nullptr) {
    Print("Cmd_AddCommand: " + name + " already defined\n");
    return;
  }
  commands_.push_back(CommandEntry{name, handler});
}

const Engine::CommandEntry *Engine::FindCommand(const std::string &name) const {
  for (const CommandEntry &command : commands_) {
    if (SameName(command.name, name)) return &command;
  }
  return nullptr;
}

bool Engine::HasCommand(const std::string &name) const { return FindCommand(name) != nullptr; }

std::vector<std::string> Engine::CommandNames() const {
  std::vector<std::string> names;
  for (const CommandEntry &command : commands_) names.push_back(command.name);
  return names;
}

void Engine::Command(const std::string &text) {
  buffer_ += text;
  if (text.empty() || text.back() != '\n') buffer_ += '\n';
  ExecuteBuffer();
}

void Engine::SetCommandWords(const std::string &command) {
  CommandWords words = SplitWords(command);
  argv_ = std::move(words.argv);
  args_ = std::move(words.args);
  hasArgs_ = words.hasArgs;
}

void Engine::ExecuteCommand(const std::string &command) {
  SetCommandWords(command);
  if (argv_.empty()) return;
  const std::string name = argv_[0];
  if (const CommandEntry *entry = FindCommand(name)) {
    // Copied out first: the handler may register commands and move the list.
    void (*handler)() = entry->handler;
    handler();
    return;
  }
  if (cvar_t *variable = FindCvar(name)) {
    if (argv_.size() == 1) {
      Print("\"" + std::string(variable->name) + "\" is \"" + variable->string + "\"\n");
    } else {
      SetCvarString(variable->name, argv_[1]);
    }
    return;
  }
  Print("Unknown command: " + name + "\n");
}

void Engine::ServerCommand(const std::string &text) {
  serverCommands_.push_back(text);
  buffer_ += text;
}

void Engine::InsertCommandText(const std::string &text) { buffer_.insert(0, text); }

void Engine::ExecuteBuffer() {
  // A handler may run the buffer again through pfnServerExecute; the nested run carries on with
  // the same buffer, and the limit counts the whole outer pass.
  if (bufferDepth_ == 0) commandsThisPass_ = 0;
  if (bufferDepth_ >= 64) {
    RecordFault("command buffer executed recursively more than 64 levels deep");
    return;
  }
  ++bufferDepth_;
  while (!buffer_.empty()) {
    if (++commandsThisPass_ > kCommandsPerPassLimit) {
      RecordFault("command buffer ran more than " + std::to_string(kCommandsPerPassLimit) +
                  " commands in one pass (commands queuing each other?); dropped the rest");
      buffer_.clear();
      break;
    }
    const std::string command = TakeFirstCommand(&buffer_);
    ExecuteCommand(command);
  }
  --bufferDepth_;
}

const char *Engine::Argv(int index) const {
  if (index < 0 || index >= Argc()) return "";
  return argv_[static_cast<size_t>(index)].c_str();
}

const char *Engine::Args() const { return hasArgs_ ? args_.c_str() : nullptr; }

void Engine::ExecHandler() {
  Engine &engine = Current();
  if (engine.Argc() != 2) {
    engine.Print("exec <filename> : execute a script file\n");
    return;
  }
  const std::string name = engine.Argv(1);
  std::string contents;
  if (!engine.ReadGameFile(name, &contents)) {
    engine.Print("couldn't exec " + name + "\n");
    return;
  }
  // The file's commands run before whatever was queued behind the exec.
  engine.InsertCommandText(contents + "\n");
}

void Engine::EchoHandler() {
  Engine &engine = Current();
  std::string line;
  for (int index = 1; index < engine.Argc(); ++index) {
    if (index > 1) line += ' ';
    line += engine.Argv(index);
  }
  engine.Print(line + "\n");
}

int Engine::RegisterUserMessage(const std::string &name, int) {
  constexpr int kFirstUserMessage = 64;
  for (size_t index = 0; index < userMessages_.size(); ++index) {
    if (userMessages_[index] == name) return kFirstUserMessage + static_cast<int>(index);
  }
  if (kFirstUserMessage + userMessages_.size() >= 256) return 0;
  userMessages_.push_back(name);
  return kFirstUserMessage + static_cast<int>(userMessages_.size()) - 1;
}

// ---- Bookkeeping

void Engine::RecordFault(const std::string &text) {
  faults_.push_back(text);
  std::fprintf(stderr, "emulator fault: %s\n", text.c_str());
}

// ---- Game folder

void Engine::SetGameDir(const std::string &name) {
  gameDir_ = name;
  gameDirAnswer_ = name;
}

bool Engine::ReadGameFile(const std::string &name, std::string *contents) const {
  std::ifstream file(gameDir_ + "/" + name, std::ios::binary);
  if (!file) return false;
  std::ostringstream text;
  text << file.rdbuf();
  *contents = text.str();
  return true;
}

unsigned char *Engine::LoadFile(const char *name, int *length) {
  if (length != nullptr) *length = 0;
  std::string contents;
  if (name == nullptr || !ReadGameFile(name, &contents)) return nullptr;
  auto *buffer = static_cast<unsigned char *>(std::malloc(contents.size() + 1));
  if (buffer == nullptr) return nullptr;
  std::memcpy(buffer, contents.data(), contents.size());
  buffer[contents.size()] = 0;
  if (length != nullptr) *length = static_cast<int>(contents.size());
  loadedFiles_.insert(buffer);
  return buffer;
}

void Engine::FreeFile(void *buffer) {
  if (buffer == nullptr) return;
  auto found = loadedFiles_.find(buffer);
  if (found == loadedFiles_.end()) {
    RecordFault("pfnFreeFile: buffer that pfnLoadFileForMe did not hand out (or freed twice)");
    return;
  }
  loadedFiles_.erase(found);
  std::free(buffer);
}

// ---- Globals, time and strings

void Engine::SetTime(double seconds) {
  mapTime_ = seconds;
  globals_.time = static_cast<float>(mapTime_);
}

void Engine::AdvanceTime(double seconds) {
  mapTime_ += seconds;
  realTime_ += seconds;
  globals_.time = static_cast<float>(mapTime_);
  globals_.frametime = static_cast<float>(seconds);
}

void Engine::SetMapName(const std::string &name) { globals_.mapname = AllocString(name.c_str()); }

string_t Engine::AllocString(const char *text) {
  if (text == nullptr) return 0;
  const size_t bytes = std::strlen(text) + 1;
  if (stringPoolUsed_ + bytes > kStringPoolBytes) {
    RecordFault("string pool full");
    return 0;
  }
  std::memcpy(stringPool_.get() + stringPoolUsed_, text, bytes);
  const string_t offset = static_cast<string_t>(stringPoolUsed_);
  stringPoolUsed_ += bytes;
  return offset;
}

const char *Engine::String(string_t offset) const {
  // Signed, as the SDK's STRING() reads it: a game library's MAKE_STRING of a text of its own may
  // lie below the base. Integer arithmetic, since such a text is outside the pool.
  const auto base = reinterpret_cast<uintptr_t>(globals_.pStringBase);
  const auto distance = static_cast<intptr_t>(static_cast<int32_t>(offset));
  return reinterpret_cast<const char *>(base + static_cast<uintptr_t>(distance));
}

// ---- Entities

edict_t *Engine::Edict(int index) {
  if (index < 0 || index >= kMaxEdicts) return nullptr;
  return &edicts_[index];
}

int Engine::IndexOf(const edict_t *edict) const {
  // Compared as integers: a pointer from elsewhere must not take part in pointer arithmetic.
  const auto address = reinterpret_cast<uintptr_t>(edict);
  const auto first = reinterpret_cast<uintptr_t>(edicts_.get());
  const uintptr_t bytes = sizeof(edict_t) * kMaxEdicts;
  if (edict == nullptr || address < first || address >= first + bytes) return -1;
  if ((address - first) % sizeof(edict_t) != 0) return -1;
  return static_cast<int>((address - first) / sizeof(edict_t));
}

int Engine::EdictCount() const {
  int count = kMaxClients + 1;
  for (int index = count; index < kMaxEdicts; ++index) {
    if (!edicts_[index].free) count = index + 1;
  }
  return count;
}

edict_t *Engine::CreateEntity(const char *classname) {
  for (int index = kMaxClients + 1; index < kMaxEdicts; ++index) {
    edict_t *edict = &edicts_[index];
    if (!edict->free) continue;
    edict->free = 0;
    edict->serialnumber++;
    ClearEntityVars(edict);
    if (classname != nullptr) edict->v.classname = AllocString(classname);
    return edict;
  }
  RecordFault("no free edict left");
  return nullptr;
}

void Engine::RemoveEntity(edict_t *edict) {
  const int index = IndexOf(edict);
  if (index <= kMaxClients) {
    RecordFault("pfnRemoveEntity on the world, a client slot or a foreign pointer");
    return;
  }
  FreePrivateData(edict);
  ClearEntityVars(edict);
  edict->free = 1;
  edict->freetime = globals_.time;
}

void *Engine::AllocPrivateData(edict_t *edict, int bytes) {
  if (IndexOf(edict) < 0 || bytes < 0) return nullptr;
  FreePrivateData(edict);
  edict->pvPrivateData = std::calloc(1, static_cast<size_t>(bytes) + 1);
  return edict->pvPrivateData;
}

void Engine::FreePrivateData(edict_t *edict) {
  if (IndexOf(edict) < 0) return;
  std::free(edict->pvPrivateData);
  edict->pvPrivateData = nullptr;
}

}  // namespace emu
