// A shared library (a game library or a Metamod plug-in) loaded by path through its exports.
#pragma once

#include <string>

namespace emu {

// Every Open loads a private copy of the file under a unique temporary name, so a scenario
// never inherits module state (static variables, registered hooks) from an earlier one, even
// when the loader would otherwise hand back the module it already has. Close unloads the copy
// and deletes it.
class Library {
 public:
  Library() = default;
  ~Library();
  Library(const Library &) = delete;
  Library &operator=(const Library &) = delete;

  // Closes any library already open, then copies `path` and loads the copy. On failure returns
  // false and Error() says why; nothing stays open.
  bool Open(const std::string &path);
  void Close();
  bool IsOpen() const { return handle_ != nullptr; }

  // The address of an exported name, or null.
  void *Symbol(const char *name) const;
  // The same, as a function pointer of the caller's choosing (the caller vouches for the type).
  template <typename Function>
  Function Export(const char *name) const {
    return reinterpret_cast<Function>(Symbol(name));
  }

  const std::string &Path() const { return path_; }          // the file asked for
  const std::string &CopyPath() const { return copyPath_; }  // the private copy in use
  const std::string &Error() const { return error_; }

 private:
  void *handle_ = nullptr;
  std::string path_;
  std::string copyPath_;
  std::string error_;
};

}  // namespace emu
