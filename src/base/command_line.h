// The plug-in's own settings given on the server's command line as "+name value". Engines that
// run those commands before Metamod loads its plug-ins find no such variable yet and drop the
// setting without a word, so the plug-in applies them itself once its variables exist.
#pragma once

// For every "+name value" of the process's command line whose name is one of `names` (ASCII
// letter case ignored), sets that variable to the value, unless it already holds it, with one LOG
// line per value set. A name without a value (the last argument, or one followed by another +
// or - option) is skipped. Nothing else of the command line is run or set.
void ApplyCommandLineValues(const char *const names[], int count);

// The argument that follows the first argument equal to `option` ("" when the option is the
// last one), or null when the command line does not hold the option.
const char *CommandLineValueOf(const char *option);
