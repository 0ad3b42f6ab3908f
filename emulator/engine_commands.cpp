// Console commands, the command buffer that runs them, and the engine's own exec and echo.
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "command_text.h"
#include "engine.h"

namespace emu {

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
  commands_.push_back(CommandEntry{name, handler, false});
}

bool Engine::AddHostCommand(const std::string &name, void (*handler)()) {
  if (FindCvar(name) != nullptr || FindCommand(name) != nullptr) {
    Print("Cmd_AddCommand: " + name + " already defined\n");
    return false;
  }
  commands_.push_back(CommandEntry{name, handler, true});
  return true;
}

void Engine::RemoveHostCommand(const std::string &name) {
  for (auto command = commands_.begin(); command != commands_.end(); ++command) {
    if (command->host && SameName(command->name, name)) {
      commands_.erase(command);
      return;
    }
  }
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
  for (const CommandEntry &command : commands_) {
    if (!command.host) names.push_back(command.name);
  }
  return names;
}

void Engine::Command(const std::string &text) {
  QueueCommandText(text);
  ExecuteBuffer();
}

void Engine::SetCommandWords(const std::string &command) {
  CommandWords words = SplitWords(command);
  argv_ = std::move(words.argv);
  args_ = std::move(words.args);
  hasArgs_ = words.hasArgs;
}

void Engine::SetCommandRouter(std::function<void(const std::string &name)> router) {
  commandRouter_ = std::move(router);
}

void Engine::ExecuteCommand(const std::string &command) {
  SetCommandWords(command);
  if (argv_.empty()) return;
  // A copy: the router may run other commands, which set other words, before this one runs.
  const std::string name = argv_[0];
  if (commandRouter_) {
    commandRouter_(name);
  } else {
    RunCommand(name);
  }
}

void Engine::RunCommand(const std::string &name) {
  if (const CommandEntry *entry = FindCommand(name)) {
    // Copied out first: the handler may register commands and move the list.
    void (*handler)() = entry->handler;
    handler();
    return;
  }
  if (cvar_t *variable = FindCvar(name)) {
    if (argv_.size() <= 1) {
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

void Engine::QueueCommandText(const std::string &text) {
  buffer_ += text;
  if (text.empty() || text.back() != '\n') buffer_ += '\n';
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

}  // namespace emu
