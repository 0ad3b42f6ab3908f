#include "library.h"

#include <atomic>
#include <filesystem>
#include <system_error>

#include "os.h"

namespace emu {

namespace {

std::string UniqueCopyPath(const std::filesystem::path &original) {
  static std::atomic<int> copies{0};
  const std::string name = "qrv_emu_" + std::to_string(os::ProcessId()) + "_" +
                           std::to_string(++copies) + "_" + original.filename().string();
  return (std::filesystem::temp_directory_path() / name).string();
}

}  // namespace

Library::~Library() { Close(); }

bool Library::Open(const std::string &path) {
  Close();
  error_.clear();
  path_ = path;
  std::error_code failure;
  if (!std::filesystem::is_regular_file(path, failure)) {
    error_ = "no such file: " + path;
    return false;
  }
  const std::string copy = UniqueCopyPath(path);
  std::filesystem::copy_file(path, copy, std::filesystem::copy_options::overwrite_existing,
                             failure);
  if (failure) {
    error_ = "cannot copy " + path + " to " + copy + ": " + failure.message();
    return false;
  }
  handle_ = os::OpenLibrary(copy, &error_);
  if (handle_ == nullptr) {
    std::filesystem::remove(copy, failure);
    return false;
  }
  copyPath_ = copy;
  return true;
}

void Library::Close() {
  if (handle_ != nullptr) {
    os::CloseLibrary(handle_);
    handle_ = nullptr;
  }
  if (!copyPath_.empty()) {
    std::error_code ignored;
    std::filesystem::remove(copyPath_, ignored);
    copyPath_.clear();
  }
}

void *Library::Symbol(const char *name) const { return os::LibrarySymbol(handle_, name); }

}  // namespace emu
