#pragma once

#include <cstddef>

// The last component of the engine's game directory ("cstrike" for ".../cstrike/" and for
// "cstrike"), in a static buffer that the next call overwrites. Empty before the engine table
// is known.
const char *GameDirectoryName();

// "<game dir>/addons/qrv_vemtark/<folder>/<name><extension>" with the platform's separator, so a
// czero server finds its files under czero. False when the game directory is not known yet or the
// path does not fit in size bytes.
bool BuildAddonPath(char *path, size_t size, const char *folder, const char *name,
                    const char *extension);
