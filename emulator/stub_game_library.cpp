#include "stub_game_library.h"

#include <filesystem>

#include "os.h"

namespace emu {

std::string StubGameBinaryPath() {
  return (std::filesystem::path(os::ExecutableDirectory()) / QRV_EMU_STUB_GAME_FILE).string();
}

const char *GameLibraryFileName() { return QRV_EMU_GAME_LIBRARY_NAME; }

bool StubGameLibrary::Open(const std::string &path) {
  Close();
  error_.clear();
  handle_ = os::OpenLibrary(path, &error_);
  if (handle_ == nullptr) return false;
  if (Symbol("StubGame_Calls") == nullptr) {
    error_ = path + " is not the stub game library";
    Close();
    return false;
  }
  return true;
}

void StubGameLibrary::Close() {
  if (handle_ == nullptr) return;
  os::CloseLibrary(handle_);
  handle_ = nullptr;
}

void *StubGameLibrary::Symbol(const char *name) const { return os::LibrarySymbol(handle_, name); }

std::string StubGameLibrary::Calls() const {
  const auto calls = reinterpret_cast<const char *(*)()>(Symbol("StubGame_Calls"));
  return calls != nullptr ? calls() : "";
}

void StubGameLibrary::ClearCalls() const {
  if (const auto clear = reinterpret_cast<void (*)()>(Symbol("StubGame_ClearCalls"))) clear();
}

bool StubGameLibrary::Refuse(const char *entry, bool refuse) const {
  const auto control = reinterpret_cast<int (*)(const char *, int)>(Symbol("StubGame_Refuse"));
  return control != nullptr && control(entry, refuse ? 1 : 0) != 0;
}

const DLL_FUNCTIONS *StubGameLibrary::Functions() const {
  const auto get = reinterpret_cast<const DLL_FUNCTIONS *(*)()>(Symbol("StubGame_Functions"));
  return get != nullptr ? get() : nullptr;
}

bool StubGameLibrary::SetUnloadSink(void (*sink)(const char *event)) const {
  const auto set =
      reinterpret_cast<void (*)(void (*)(const char *))>(Symbol("StubGame_SetUnloadSink"));
  if (set == nullptr) return false;
  set(sink);
  return true;
}

namespace {
const void *Answer(void *symbol) {
  const auto get = reinterpret_cast<const void *(*)()>(symbol);
  return get != nullptr ? get() : nullptr;
}
}  // namespace

const void *StubGameLibrary::BlendingInterface() const {
  return Answer(Symbol("StubGame_BlendingInterface"));
}

const void *StubGameLibrary::ReceivedEngine() const {
  return Answer(Symbol("StubGame_ReceivedEngine"));
}

const void *StubGameLibrary::ReceivedGlobals() const {
  return Answer(Symbol("StubGame_ReceivedGlobals"));
}

}  // namespace emu
