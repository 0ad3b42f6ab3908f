// The hooks in the ReHLDS engine's chains: around its server frame (frame pacing, and the
// borders of the frame's parts), around every command it runs and every client update.
#pragma once

// At attach: looks for the ReHLDS API in the process (the engine library's exported factory,
// called and nothing else) and gives frame pacing the switch of the hooks. The API's own tables
// are called only once pacing or the anatomy is switched on.
void FindEngineFrameHook();
// The engine answered for the ReHLDS API at attach (its tables not yet called).
bool EngineApiFound();

// Detach and unload: every hook taken out of the engine's chains, so that the engine never
// calls into a library that is going away; a detach from inside one of them keeps the library
// mapped until the process ends.
void ReleaseEngineFrameHook();
