// The game folder: files a game library loads from it, and the Steam cache behind it.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

#include "engine.h"

namespace emu {

void Engine::SetGameDir(const std::string &name) {
  gameDir_ = name;
  gameDirAnswer_ = name;
}

bool Engine::ReadGameFile(const std::string &name, std::string *contents) const {
  std::ifstream file(gameDir_ + "/" + name, std::ios::binary);
  if (!file) return false;
  std::ostringstream text;
  text << file.rdbuf();
  *contents = text.str();
  return true;
}

void Engine::AddSteamCacheFile(const std::string &name, const std::string &sourcePath) {
  steamCache_[name] = sourcePath;
}

bool Engine::ExtractFromSteamCache(const std::string &name, std::string *contents) const {
  const auto cached = steamCache_.find(name);
  if (cached == steamCache_.end()) return false;
  std::error_code failure;
  const std::filesystem::path target = std::filesystem::current_path(failure) / name;
  std::filesystem::create_directories(target.parent_path(), failure);
  std::filesystem::copy_file(cached->second, target,
                             std::filesystem::copy_options::overwrite_existing, failure);
  if (failure) return false;
  std::ifstream file(target, std::ios::binary);
  if (!file) return false;
  std::ostringstream text;
  text << file.rdbuf();
  *contents = text.str();
  return true;
}

unsigned char *Engine::LoadFile(const char *name, int *length) {
  if (length != nullptr) *length = 0;
  std::string contents;
  if (name == nullptr) return nullptr;
  requestedFiles_.emplace_back(name);
  if (!ReadGameFile(name, &contents) && !ExtractFromSteamCache(name, &contents)) return nullptr;
  auto *buffer = static_cast<unsigned char *>(std::malloc(contents.size() + 1));
  if (buffer == nullptr) return nullptr;
  std::memcpy(buffer, contents.data(), contents.size());
  buffer[contents.size()] = 0;
  if (length != nullptr) *length = static_cast<int>(contents.size());
  loadedFiles_.insert(buffer);
  return buffer;
}

void Engine::FreeFile(void *buffer) {
  if (buffer == nullptr) return;
  auto found = loadedFiles_.find(buffer);
  if (found == loadedFiles_.end()) {
    RecordFault("pfnFreeFile: buffer that pfnLoadFileForMe did not hand out (or freed twice)");
    return;
  }
  loadedFiles_.erase(found);
  std::free(buffer);
}

}  // namespace emu
