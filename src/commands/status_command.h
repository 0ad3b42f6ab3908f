// qrv_vemtark_status: one screen on the server console with what the performance engine sees
// right now, so that the operator need not read several variables and the log to find out.
#pragma once

// The handler as the engine calls it; its arguments are ignored.
void StatusCommand();
