// The work of attaching: Meta_Attach runs it under Metamod, GiveFnptrsToDll once the game library
// is initialised in standalone mode, so both modes run the same monitor, map and join work.
#pragma once

// Raises the timer resolution (ending a period an earlier attach left begun) and runs the
// start-up of the variables and the banner.
void RunAttachWork();
