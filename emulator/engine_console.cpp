// Console output: the server console, the consoles of the clients, and the messages the game
// side registers for them.
#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine.h"

namespace emu {

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

void Engine::Alert(ALERT_TYPE level, const std::string &text) {
  alerts_.push_back(AlertRecord{level, text});
  Print(text);
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

void Engine::AnnounceToClients(const std::string &text) {
  for (int index = 1; index <= kMaxClients; ++index) {
    if (clientConnected_[index]) clientPrints_[index].push_back(ClientPrint{print_console, text});
  }
}

// ---- Output from the game side

void Engine::ClientPrintf(const edict_t *edict, PRINT_TYPE type, const char *text) {
  const int index = IndexOf(edict);
  if (index < 1 || index > kMaxClients) {
    Print("tried to sprint to a non-client\n");
    return;
  }
  clientPrints_[index].push_back(ClientPrint{type, text != nullptr ? text : ""});
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

}  // namespace emu
