// The engine loading a game library directly, with no Metamod: GiveFnptrsToDll, then
// GetNewDLLFunctions, then GetEntityAPI2 (or GetEntityAPI when API2 is missing), and calls into
// the table it got. Hosts our plug-in in standalone mode (over a game library of its own
// choosing) or any game library.
#pragma once

#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "engine.h"
#include "game_entry.h"
#include "library.h"
#include "sdk/exports.h"

namespace emu {

class StandaloneHost {
 public:
  explicit StandaloneHost(Engine &engine);
  ~StandaloneHost() {
    Unload();
    EndProcess();
  }
  StandaloneHost(const StandaloneHost &) = delete;
  StandaloneHost &operator=(const StandaloneHost &) = delete;

  // Loads a private copy and runs the engine's load sequence. False, with Error(), when the file
  // does not load, lacks GiveFnptrsToDll, or hands over no entity table (also a fault).
  bool Load(const std::string &path);
  void Unload();
  // What the system does as a server's process ends: it frees the libraries that the hosted
  // library loaded from the game root and left loaded (a game library loaded underneath it), so
  // that the next host in this program loads its own. Runs when the host goes away, or earlier
  // for a caller that must see those libraries gone (a Windows loader keeps their files open).
  void EndProcess();
  bool IsLoaded() const { return library_.IsOpen(); }
  const std::string &Error() const { return error_; }
  const Library &library() const { return library_; }

  // The tables the library handed over; NewFunctions is all-null when it has no
  // GetNewDLLFunctions (HasNewFunctions false).
  const DLL_FUNCTIONS &Functions() const { return functions_; }
  const NEW_DLL_FUNCTIONS &NewFunctions() const { return newFunctions_; }
  bool HasNewFunctions() const { return hasNewFunctions_; }

  // Calls one entry as the engine does: Call<&DLL_FUNCTIONS::pfnStartFrame>(). The engine calls
  // DLL_FUNCTIONS entries without looking, so a null one is a fault (a real server would crash);
  // a null NEW_DLL_FUNCTIONS entry is skipped, as the engine does. A skipped call answers zero.
  template <auto Entry, typename... Arguments>
  EntryResult<Entry> Call(Arguments &&...arguments);

  Engine &engine() { return engine_; }

 private:
  template <auto Entry, typename Function = EntryFunction<Entry>>
  struct Dispatcher;

  Engine &engine_;
  std::vector<std::string> loadedAtStart_;  // as the host was made
  bool loadedOnce_ = false;
  std::string gameRoot_;  // the working directory at the first Load
  Library library_;
  std::string error_;
  DLL_FUNCTIONS functions_{};
  NEW_DLL_FUNCTIONS newFunctions_{};
  bool hasNewFunctions_ = false;
};

template <auto Entry, typename Result, typename... Parameters>
struct StandaloneHost::Dispatcher<Entry, Result (*)(Parameters...)> {
  static Result Run(StandaloneHost &host, Parameters... parameters) {
    using Table = EntryTable<Entry>;
    const Table *table = nullptr;
    if constexpr (std::is_same_v<Table, DLL_FUNCTIONS>) {
      table = &host.functions_;
    } else {
      table = &host.newFunctions_;
    }
    if (table->*Entry == nullptr) {
      if constexpr (std::is_same_v<Table, DLL_FUNCTIONS>) {
        host.engine_.RecordFault(std::string(GameEntry<Entry>::Name()) +
                                 ": the game library's table has no such function");
      }
      return Result();
    }
    return (table->*Entry)(parameters...);
  }
};

template <auto Entry, typename... Arguments>
EntryResult<Entry> StandaloneHost::Call(Arguments &&...arguments) {
  return Dispatcher<Entry>::Run(*this, std::forward<Arguments>(arguments)...);
}

}  // namespace emu
