// How the engine's console cuts text into commands and commands into words.
#pragma once

#include <string>
#include <vector>

namespace emu {

// One command split into words. A word is a run of characters above the space, or the text
// between double quotes (the quotes removed, spaces kept); `//` at the start of a word comments
// out the rest of the line.
struct CommandWords {
  std::vector<std::string> argv;
  // The text from the second word up to the end of the command (or the comment), with
  // surrounding white space removed; what pfnCmd_Args answers.
  std::string args;
  bool hasArgs = false;  // a command without arguments answers null from pfnCmd_Args
};

CommandWords SplitWords(const std::string &command);

// Removes the first command from the front of a command buffer and returns it. A command ends at
// a newline, or at a `;` outside double quotes and outside a `//` comment; the separator is
// consumed too.
std::string TakeFirstCommand(std::string *buffer);

// Console names (commands and variables) are compared without regard to ASCII case.
bool SameName(const std::string &a, const std::string &b);
// The name in ASCII lower case, as a key that compares that way.
std::string LowerCase(const std::string &name);

}  // namespace emu
