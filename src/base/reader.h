// The reading rules shared by every configuration file: files are sequences of white-space
// separated words; a word starting with '/' is a comment word and is skipped on its own.
#pragma once

#include "base/console.h"
#include "base/file_handle.h"

// Every reader's word buffer: 255 characters and the terminator.
constexpr int kWordBufferSize = 256;
constexpr int kWordCapacity = kWordBufferSize - 1;

// Opens <gamedir>/addons/qrv_vemtark/configs/<fileName> for reading; when it cannot, writes
// missingMessage to the plugin log at ERROR and returns false.
bool OpenConfigFile(const char *fileName, const char *missingMessage, FileHandle &file);

// A word that is not an entry: starts with '/', a line break, a blank, a tab or is empty.
bool IsSkippedWord(const char *word);

// Queues every entry of a configuration file as a server command of its own, in file order.
// False when the file could not be opened (the missing message is then in the log).
bool RunCommandFile(const char *fileName, const char *missingMessage);

// Token number index (from 0) of a text: tokens are separated by blanks and tabs, and a double
// quote groups everything up to the next one. Returned trimmed, in a static buffer that the
// next call overwrites; empty when there is no such token.
const char *GetToken(const char *text, int index);
