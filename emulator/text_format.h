// printf-style formatting of the texts that game libraries and plug-ins hand over with a format.
#pragma once

#include <cstdarg>
#include <string>

namespace emu {

// The whole formatted text, however long; "" for a null format.
std::string FormatList(const char *format, va_list arguments);

}  // namespace emu
