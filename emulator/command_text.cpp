#include "command_text.h"

#include <cstddef>

namespace emu {

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool CommentStartsAt(const std::string &text, size_t position) {
  return position + 1 < text.size() && text[position] == '/' && text[position + 1] == '/' &&
         (position == 0 || IsBlank(text[position - 1]));
}

std::string TrimBlanks(const std::string &text, size_t begin, size_t end) {
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

}  // namespace

CommandWords SplitWords(const std::string &command) {
  CommandWords words;
  size_t argsBegin = std::string::npos;
  size_t position = 0;
  const size_t length = command.size();
  while (true) {
    while (position < length && IsBlank(command[position])) ++position;
    if (position >= length || CommentStartsAt(command, position)) break;
    if (words.argv.size() == 1) argsBegin = position;
    std::string word;
    if (command[position] == '"') {
      const size_t closing = command.find('"', position + 1);
      const size_t end = closing == std::string::npos ? length : closing;
      word = command.substr(position + 1, end - position - 1);
      position = closing == std::string::npos ? length : closing + 1;
    } else {
      const size_t begin = position;
      while (position < length && !IsBlank(command[position])) ++position;
      word = command.substr(begin, position - begin);
    }
    words.argv.push_back(word);
  }
  if (argsBegin != std::string::npos) {
    words.args = TrimBlanks(command, argsBegin, position);
    words.hasArgs = true;
  }
  return words;
}

std::string TakeFirstCommand(std::string *buffer) {
  const std::string &text = *buffer;
  bool inQuotes = false;
  bool inComment = false;
  size_t end = 0;
  for (; end < text.size(); ++end) {
    const char c = text[end];
    if (c == '\n' || c == '\r') break;
    if (inComment) continue;
    if (c == '"') {
      inQuotes = !inQuotes;
    } else if (!inQuotes && CommentStartsAt(text, end)) {
      inComment = true;
    } else if (!inQuotes && c == ';') {
      break;
    }
  }
  std::string command = text.substr(0, end);
  buffer->erase(0, end < text.size() ? end + 1 : end);
  return command;
}

bool SameName(const std::string &a, const std::string &b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

std::string LowerCase(const std::string &name) {
  std::string lower = name;
  for (char &c : lower) c = LowerAscii(c);
  return lower;
}

}  // namespace emu
