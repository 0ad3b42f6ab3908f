#pragma once

// The last component of the engine's game directory ("cstrike" for ".../cstrike/" and for
// "cstrike"), in a static buffer that the next call overwrites. Empty before the engine table
// is known.
const char *GameDirectoryName();
