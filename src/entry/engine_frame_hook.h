// The hook around the engine's server frame (ReHLDS), through which frames are paced.
#pragma once

// At attach: looks for the ReHLDS API in the process (the engine library's exported factory,
// called and nothing else) and gives frame pacing the switch of the hook. The API's own tables
// are called only once pacing is switched on.
void FindEngineFrameHook();

// Detach and unload: the hook taken out of the engine's chain, so that the engine never calls
// into a library that is going away.
void ReleaseEngineFrameHook();
