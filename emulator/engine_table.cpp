// The enginefuncs_t entry points. Each one has exactly the type of its table member, so no call
// ever goes through a mismatched function type; entries without an implementation come from a
// template over the member's own type.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine.h"
#include "text_format.h"

namespace emu {

namespace {

#define QRV_EMU_ENTRY_NAME(index, name) #name,
const char *const kEngineEntryNames[] = {QRV_ENGINEFUNCS_ENTRIES(QRV_EMU_ENTRY_NAME)};
#undef QRV_EMU_ENTRY_NAME

template <int Index, typename Function>
struct Unimplemented;

template <int Index, typename Result, typename... Parameters>
struct Unimplemented<Index, Result (*)(Parameters...)> {
  static Result Call(Parameters...) {
    Engine::Current().RecordUnimplemented(kEngineEntryNames[Index]);
    return Result();
  }
};

// The three C-variadic entries (pfnClientCommand, pfnAlertMessage, pfnEngineFprintf).
template <int Index, typename Result, typename... Parameters>
struct Unimplemented<Index, Result (*)(Parameters..., ...)> {
  static Result Call(Parameters..., ...) {
    Engine::Current().RecordUnimplemented(kEngineEntryNames[Index]);
    return Result();
  }
};

// ---- Console, commands and variables

void ServerCommand(char *text) {
  if (text != nullptr) Engine::Current().ServerCommand(text);
}

void ServerExecute() { Engine::Current().ExecuteBuffer(); }

void CVarRegister(cvar_t *variable) { Engine::Current().RegisterCvar(variable); }

float CVarGetFloat(const char *name) {
  const cvar_t *variable = name != nullptr ? Engine::Current().FindCvar(name) : nullptr;
  return variable != nullptr ? variable->value : 0.0f;
}

const char *CVarGetString(const char *name) {
  const cvar_t *variable = name != nullptr ? Engine::Current().FindCvar(name) : nullptr;
  return variable != nullptr ? variable->string : "";
}

void CVarSetFloat(const char *name, float value) {
  if (name != nullptr) Engine::Current().SetCvarFloat(name, value);
}

void CVarSetString(const char *name, const char *value) {
  if (name != nullptr && value != nullptr) Engine::Current().SetCvarString(name, value);
}

cvar_t *CVarGetPointer(const char *name) {
  return name != nullptr ? Engine::Current().FindCvar(name) : nullptr;
}

void CvarDirectSet(cvar_t *variable, char *value) { Engine::Current().DirectSet(variable, value); }

void AddServerCommand(char *name, void (*handler)()) {
  if (name != nullptr) Engine::Current().AddCommand(name, handler);
}

const char *CmdArgs() { return Engine::Current().Args(); }
const char *CmdArgv(int index) { return Engine::Current().Argv(index); }
int CmdArgc() { return Engine::Current().Argc(); }

void ServerPrint(const char *text) {
  if (text != nullptr) Engine::Current().Print(text);
}

void ClientPrintf(edict_t *edict, PRINT_TYPE type, const char *text) {
  Engine::Current().ClientPrintf(edict, type, text);
}

void AlertMessage(ALERT_TYPE level, char *format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const std::string text = FormatList(format, arguments);
  va_end(arguments);
  Engine::Current().Alert(level, text);
}

// ---- Entities and strings

edict_t *CreateEntity() { return Engine::Current().CreateEntity(nullptr); }

void RemoveEntity(edict_t *edict) { Engine::Current().RemoveEntity(edict); }

edict_t *CreateNamedEntity(int classname) {
  edict_t *edict = Engine::Current().CreateEntity(nullptr);
  if (edict != nullptr) edict->v.classname = static_cast<string_t>(classname);
  return edict;
}

void *PvAllocEntPrivateData(edict_t *edict, int32 bytes) {
  return Engine::Current().AllocPrivateData(edict, bytes);
}

void *PvEntPrivateData(edict_t *edict) {
  return Engine::Current().IndexOf(edict) >= 0 ? edict->pvPrivateData : nullptr;
}

void FreeEntPrivateData(edict_t *edict) { Engine::Current().FreePrivateData(edict); }

const char *SzFromIndex(int offset) {
  return Engine::Current().String(static_cast<string_t>(offset));
}

int AllocString(const char *text) { return static_cast<int>(Engine::Current().AllocString(text)); }

entvars_t *GetVarsOfEnt(edict_t *edict) {
  return Engine::Current().IndexOf(edict) >= 0 ? &edict->v : nullptr;
}

edict_t *PEntityOfEntOffset(int offset) {
  Engine &engine = Engine::Current();
  if (offset < 0 || offset % static_cast<int>(sizeof(edict_t)) != 0) return nullptr;
  return engine.Edict(offset / static_cast<int>(sizeof(edict_t)));
}

int EntOffsetOfPEntity(const edict_t *edict) {
  const int index = Engine::Current().IndexOf(edict);
  return index < 0 ? 0 : index * static_cast<int>(sizeof(edict_t));
}

int IndexOfEdict(const edict_t *edict) {
  const int index = Engine::Current().IndexOf(edict);
  return index < 0 ? 0 : index;
}

edict_t *PEntityOfEntIndex(int index) {
  Engine &engine = Engine::Current();
  edict_t *edict = engine.Edict(index);
  // Client slots answer even while empty, as the engine's do; other free slots do not.
  if (edict == nullptr || (edict->free && index > engine.MaxClients())) return nullptr;
  return edict;
}

edict_t *FindEntityByVars(entvars_t *vars) {
  Engine &engine = Engine::Current();
  for (int index = 0; index < Engine::kMaxEdicts; ++index) {
    if (&engine.Edict(index)->v == vars) return engine.Edict(index);
  }
  return nullptr;
}

int NumberOfEntities() {
  Engine &engine = Engine::Current();
  int count = 0;
  for (int index = 0; index < Engine::kMaxEdicts; ++index) {
    if (!engine.Edict(index)->free) ++count;
  }
  return count;
}

// ---- Files, time and the rest

byte *LoadFileForMe(char *name, int *length) { return Engine::Current().LoadFile(name, length); }

void FreeFile(void *buffer) { Engine::Current().FreeFile(buffer); }

void GetGameDir(char *out) {
  if (out == nullptr) return;
  const std::string &text = Engine::Current().GameDirAnswer();
  std::memcpy(out, text.c_str(), text.size() + 1);
}

float Time() { return static_cast<float>(Engine::Current().RealTime()); }

int IsDedicatedServer() { return 1; }

int32 RandomLong(int32 low, int32 high) {
  if (high <= low) return low;
  return std::uniform_int_distribution<int32>(low, high)(Engine::Current().Random());
}

float RandomFloat(float low, float high) {
  if (!(high > low)) return low;
  return std::uniform_real_distribution<float>(low, high)(Engine::Current().Random());
}

int RegUserMsg(const char *name, int size) {
  return name != nullptr ? Engine::Current().RegisterUserMessage(name, size) : 0;
}

}  // namespace

void FillEngineFunctions(enginefuncs_t *table) {
#define QRV_EMU_STUB(index, name) table->name = &Unimplemented<index, decltype(table->name)>::Call;
  QRV_ENGINEFUNCS_ENTRIES(QRV_EMU_STUB)
#undef QRV_EMU_STUB

  table->pfnServerCommand = &ServerCommand;
  table->pfnServerExecute = &ServerExecute;
  table->pfnCVarRegister = &CVarRegister;
  table->pfnCvar_RegisterVariable = &CVarRegister;
  table->pfnCVarGetFloat = &CVarGetFloat;
  table->pfnCVarGetString = &CVarGetString;
  table->pfnCVarSetFloat = &CVarSetFloat;
  table->pfnCVarSetString = &CVarSetString;
  table->pfnCVarGetPointer = &CVarGetPointer;
  table->pfnCvar_DirectSet = &CvarDirectSet;
  table->pfnAddServerCommand = &AddServerCommand;
  table->pfnCmd_Args = &CmdArgs;
  table->pfnCmd_Argv = &CmdArgv;
  table->pfnCmd_Argc = &CmdArgc;
  table->pfnServerPrint = &ServerPrint;
  table->pfnClientPrintf = &ClientPrintf;
  table->pfnAlertMessage = &AlertMessage;

  table->pfnCreateEntity = &CreateEntity;
  table->pfnRemoveEntity = &RemoveEntity;
  table->pfnCreateNamedEntity = &CreateNamedEntity;
  table->pfnPvAllocEntPrivateData = &PvAllocEntPrivateData;
  table->pfnPvEntPrivateData = &PvEntPrivateData;
  table->pfnFreeEntPrivateData = &FreeEntPrivateData;
  table->pfnSzFromIndex = &SzFromIndex;
  table->pfnAllocString = &AllocString;
  table->pfnGetVarsOfEnt = &GetVarsOfEnt;
  table->pfnPEntityOfEntOffset = &PEntityOfEntOffset;
  table->pfnEntOffsetOfPEntity = &EntOffsetOfPEntity;
  table->pfnIndexOfEdict = &IndexOfEdict;
  table->pfnPEntityOfEntIndex = &PEntityOfEntIndex;
  table->pfnFindEntityByVars = &FindEntityByVars;
  table->pfnNumberOfEntities = &NumberOfEntities;

  table->pfnLoadFileForMe = &LoadFileForMe;
  table->pfnFreeFile = &FreeFile;
  table->pfnGetGameDir = &GetGameDir;
  table->pfnTime = &Time;
  table->pfnIsDedicatedServer = &IsDedicatedServer;
  table->pfnRandomLong = &RandomLong;
  table->pfnRandomFloat = &RandomFloat;
  table->pfnRegUserMsg = &RegUserMsg;
}

}  // namespace emu
