// Copies of the plug-in's figures in the engine's own log, which operators stream to collectors
// (log on, logaddress_add): the hitch warnings and the map's summary, each as one line that begins
// with "[QRV] " so that a parser can pick them out.
#pragma once

// "[QRV] <text>\n" through the engine's alert at the logged level, unless qrv_vemtark_serverlog
// is 0. The text is passed as an argument, never as the format.
void CopyToServerLog(const char *text);
