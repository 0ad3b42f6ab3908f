// One line at every map end that sums the map up for the operator: how long it ran, its frame
// rate, its longest frame and hitches, the processor load and the most players, in the plug-in's
// log and, as a copy, in the engine's log.
#pragma once

#include <cstdint>

// At map activation, once the map's measuring has started: the map's name and start kept, its
// figures cleared.
void StartMapSummary();
// At the end of every measuring period, with the frames it counted.
void NoteMapPeriodEnded(uint32_t frames);
// On the frame after a period ended, before the processor counter is collected again, so the
// figure read is that of the follow-up before (the last one is read at map end).
void NoteMapPeriodFollowedUp();
// A map was started and not yet summed up.
bool MapSummaryRunning();
// A client entered the game: the most players at once may have grown.
void NoteMapPlayers();
// At map end, and at an activation that no deactivation preceded, before the processor counter
// closes: the summary of the map started last, once. `endedByUnload`: the plug-in is being
// unloaded while the map runs, which the line says.
void WriteMapSummary(bool endedByUnload = false);
