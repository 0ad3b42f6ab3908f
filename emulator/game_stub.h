// The game library that the emulated Metamod sits on: a table of our own whose every entry
// records its call and answers as a quiet game would (ClientConnect admits, Spawn answers 0 and
// makes func_ entities world brushes,
// GetGameDescription answers "Counter-Strike", everything else zero).
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "sdk/eiface.h"

namespace emu {

// Like the engine, reached by its entry points through a process-wide pointer: constructing one
// makes it current until it is destroyed.
class StubGame {
 public:
  StubGame();
  ~StubGame();
  StubGame(const StubGame &) = delete;
  StubGame &operator=(const StubGame &) = delete;

  static StubGame &Current();

  // Tests may replace entries to make the game answer otherwise.
  DLL_FUNCTIONS *Functions() { return &functions_; }
  NEW_DLL_FUNCTIONS *NewFunctions() { return &newFunctions_; }

  // Entry names without the "pfn" prefix ("ClientConnect"), in call order.
  const std::vector<std::string> &Calls() const { return calls_; }
  int CountOf(const std::string &entryName) const;
  void ClearCalls() { calls_.clear(); }
  void Record(const char *entryName) { calls_.emplace_back(entryName); }
  // Runs inside the game's StartFrame (between a plug-in's pre and post hooks), as the game's own
  // work of the frame; an empty function for none.
  void SetStartFrameWork(std::function<void()> work) { startFrameWork_ = std::move(work); }
  void RunStartFrameWork() const {
    if (startFrameWork_) startFrameWork_();
  }

 private:
  StubGame *previous_ = nullptr;
  DLL_FUNCTIONS functions_{};
  NEW_DLL_FUNCTIONS newFunctions_{};
  std::vector<std::string> calls_;
  std::function<void()> startFrameWork_;
};

}  // namespace emu
