// Metamod's replacements in a plug-in's engine table: the plug-in's cvars and commands are
// registered through the host, which keeps its own copies of the cvars and cuts the commands off
// from a plug-in that was unloaded.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "command_text.h"
#include "metamod_host.h"
#include "metamod_internal.h"

namespace emu {

namespace {

void MetaCvarRegister(cvar_t *variable) { MetamodHost::Current().RegisterPluginCvar(variable); }

void MetaAddServerCommand(char *name, void (*handler)()) {
  MetamodHost::Current().AddPluginCommand(name, handler);
}

// The engine calls this for every command a plug-in registered through Metamod.
void MetaCommandTrampoline() {
  MetamodHost *host = LiveMetamodHost();
  if (host == nullptr) {
    Engine::Current().Print("Command " + std::string(Engine::Current().Argv(0)) +
                            " belongs to a plug-in that is no longer loaded\n");
    return;
  }
  host->RunPluginCommand();
}

}  // namespace

void RouteRegistrationThroughHost(enginefuncs_t *table) {
  table->pfnCVarRegister = &MetaCvarRegister;
  table->pfnCvar_RegisterVariable = &MetaCvarRegister;
  table->pfnAddServerCommand = &MetaAddServerCommand;
}

void MetamodHost::RegisterPluginCvar(cvar_t *variable) {
  if (variable == nullptr || variable->name == nullptr) {
    engine_.RecordFault("cvar registration through Metamod without a record or a name");
    return;
  }
  for (const std::unique_ptr<PluginCvar> &existing : pluginCvars_) {
    if (SameName(existing->name, variable->name)) return;  // a reload keeps the existing copy
  }
  auto copy = std::make_unique<PluginCvar>();
  copy->name = variable->name;
  copy->string = variable->string != nullptr ? variable->string : "";
  copy->record.name = copy->name.c_str();
  copy->record.string = copy->string.c_str();
  copy->record.flags = variable->flags;
  copy->record.value = variable->value;
  cvar_t *record = &copy->record;
  pluginCvars_.push_back(std::move(copy));
  engine_.RegisterCvar(record);
}

void MetamodHost::AddPluginCommand(const char *name, void (*handler)()) {
  if (name == nullptr || handler == nullptr) {
    engine_.RecordFault("command registration through Metamod without a name or a handler");
    return;
  }
  for (PluginCommand &command : pluginCommands_) {
    if (SameName(command.name, name)) {
      command.handler = handler;  // the same plug-in loaded again
      return;
    }
  }
  pluginCommands_.push_back(PluginCommand{name, handler});
  engine_.AddCommand(name, &MetaCommandTrampoline);
}

void MetamodHost::RunPluginCommand() {
  const std::string name = engine_.Argv(0);
  for (const PluginCommand &command : pluginCommands_) {
    if (!SameName(command.name, name)) continue;
    if (command.handler == nullptr) {
      engine_.Print("Command " + name + " belongs to a plug-in that is no longer loaded\n");
    } else {
      command.handler();
    }
    return;
  }
}

}  // namespace emu
