// qrv_vemtark_stats: the performance figures in the manner of the engine's own `stats` command, a
// header of column names over one line of numbers, for scripts that query servers over rcon.
#pragma once

// The handler as the engine calls it; its arguments are ignored.
void StatsCommand();
