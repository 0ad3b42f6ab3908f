// The on/off console commands. Each takes "1" or "0" as its only argument, keeps its own state,
// answers the operator and writes the plugin log; a few run an action in between.
#pragma once

// The handlers of the eleven feature switches, as the engine calls them.
void StrengtheningCommand();
void PremonitorWinCommand();
void QrvBotsSupportCommand();
void EngineCheckCommand();
void EngineTestCommand();
void SEpdCommand();
void XEpdCommand();
void YEpdCommand();
void ZEpdCommand();
void FEpdCommand();
void HighPingKickerCommand();
