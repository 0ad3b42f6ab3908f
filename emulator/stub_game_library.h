// The controls of our stub game library (stubs/stub_game.cpp) as it sits in a game root: opened
// by the very path the server loads it from, so that it is the same loaded module whether the
// server has loaded it yet or not.
#pragma once

#include <string>

#include "sdk/eiface.h"

namespace emu {

// Where the build puts the stub game library, and the file name a server of this build loads
// from <gamedir>/dlls/ (mp.dll, cs_amd64.so or cs.so).
std::string StubGameBinaryPath();
const char *GameLibraryFileName();

class StubGameLibrary {
 public:
  StubGameLibrary() = default;
  ~StubGameLibrary() { Close(); }
  StubGameLibrary(const StubGameLibrary &) = delete;
  StubGameLibrary &operator=(const StubGameLibrary &) = delete;

  // False, with Error(), when the file does not load or is not the stub game.
  bool Open(const std::string &path);
  void Close();
  bool IsOpen() const { return handle_ != nullptr; }
  const std::string &Error() const { return error_; }

  // Every call the game received, one line each ("ClientConnect 1 Alice 127.0.0.1:27006").
  std::string Calls() const;
  void ClearCalls() const;
  // "ClientConnect", "GetEntityAPI" or "GetNewDLLFunctions".
  bool Refuse(const char *entry, bool refuse) const;
  const DLL_FUNCTIONS *Functions() const;
  const void *BlendingInterface() const;
  const void *ReceivedEngine() const;
  const void *ReceivedGlobals() const;
  // The library calls sink("stub game unloaded") from its own clean-up when it is really
  // unloaded; close this handle first, or it keeps the library loaded. False without the control.
  bool SetUnloadSink(void (*sink)(const char *event)) const;

 private:
  void *Symbol(const char *name) const;

  void *handle_ = nullptr;
  std::string error_;
};

}  // namespace emu
