// Everything the plug-in shows or asks the engine to run goes through this printf-style family.
// Each operation formats into a fixed buffer (texts too long are cut, never overrun) and makes
// one engine call. Not reentrant: the scratch buffer is shared.
#pragma once

#define QRV_PRINTF(format_index, first_arg) __attribute__((format(printf, format_index, first_arg)))

// Queues "<text>\n" in the server's command buffer; it runs when the engine next executes it.
void IssueServerCommand(const char *format, ...) QRV_PRINTF(1, 2);

// "<text>\n" on the server console.
void ConsolePrint(const char *format, ...) QRV_PRINTF(1, 2);

// "[QRV Vem-Tark] <text>\n" on the server console: the usual way of answering the operator.
void PrefixedConsolePrint(const char *format, ...) QRV_PRINTF(1, 2);

// Removes blanks, tabs, line breaks, vertical tabs and form feeds at both ends, in place.
void TrimInPlace(char *text);
