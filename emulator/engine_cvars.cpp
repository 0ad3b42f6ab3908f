// Console variables: registration, look-up and setting, with the announcements a change makes.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "command_text.h"
#include "engine.h"

namespace emu {

namespace {

// A fresh copy that the engine owns, as the engine's Z_Malloc'd cvar strings are.
std::unique_ptr<char[]> CopyText(const char *text) {
  const size_t length = std::strlen(text);
  std::unique_ptr<char[]> copy(new char[length + 1]);
  std::memcpy(copy.get(), text, length + 1);
  return copy;
}

}  // namespace

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

}  // namespace emu
