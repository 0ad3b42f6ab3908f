// The console command handler of the six information commands (qrv_vemtark_about,
// qrv_vemtark_help, qrv_helpme, qrv_info, qrv_systems, qrv_debug). Names are matched without
// regard to ASCII letter case; a name without an action answers "Unknown command: <name>".
#pragma once

void CommandDispatcher();
