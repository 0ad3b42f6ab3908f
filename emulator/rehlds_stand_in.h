// The controls of our stand-in ReHLDS engine library (stubs/stub_rehlds_engine.cpp), loaded by
// the very path a session puts it at, so that the plug-in finds it among the loaded libraries
// under the engine's file name, as on a real server.
#pragma once

#include <string>
#include <type_traits>
#include <vector>

namespace emu {

// Where the build puts the stand-in, and the file name a ReHLDS server's engine library has
// (engine_i486.so on Linux whatever the bitness, swds.dll on Windows).
std::string RehldsStandInBinaryPath();
const char *RehldsEngineFileName();

class RehldsStandIn {
 public:
  RehldsStandIn() = default;
  ~RehldsStandIn() { Unload(); }
  RehldsStandIn(const RehldsStandIn &) = delete;
  RehldsStandIn &operator=(const RehldsStandIn &) = delete;

  // Loads the file by exactly that path (no private copy: the plug-in looks for the engine by
  // its file name). False, with Error(), when it does not load or is not the stand-in.
  bool Load(const std::string &path);
  void Unload();
  bool IsLoaded() const { return handle_ != nullptr; }
  const std::string &Error() const { return error_; }

  // The engine's factory export, as the plug-in calls it.
  void *CreateInterface(const char *name, int *returnCode) const;
  // What GetMajorVersion and GetMinorVersion answer from now on (3 and 15 until set).
  void SetApiVersion(int major, int minor) const;
  // Every call through the engine's tables, one line each ("GetMajorVersion", "SV_Frame",
  // "registerHook 255", "callNext", "frame not run", ...).
  std::vector<std::string> Calls() const;
  void ClearCalls() const;
  // The SV_Frame hooks registered, and their priorities in the order they run.
  int HookCount() const;
  std::vector<int> Priorities() const;

  // One server frame: the registered hooks run, highest priority first, around `original`, the
  // engine's own frame, which runs when the chain reaches it. Without the library loaded,
  // `original` runs alone, as on an engine without hooks.
  void RunFrame(void (*original)(void *context), void *context) const;
  template <typename Frame>
  void RunFrame(Frame &&original) const {
    using Callable = std::remove_reference_t<Frame>;
    RunFrame(&Trampoline<Callable>, const_cast<void *>(static_cast<const void *>(&original)));
  }

 private:
  template <typename Frame>
  static void Trampoline(void *frame) {
    (*static_cast<Frame *>(frame))();
  }
  bool Resolve();

  void *handle_ = nullptr;
  std::string error_;
  void *(*createInterface_)(const char *, int *) = nullptr;
  void (*setApiVersion_)(int, int) = nullptr;
  void (*runFrame_)(void (*)(void *), void *) = nullptr;
  const char *(*calls_)() = nullptr;
  void (*clearCalls_)() = nullptr;
  int (*hookCount_)() = nullptr;
  int (*hookPriority_)(int) = nullptr;
};

}  // namespace emu
