// The debug mode and its debug modules: small text files that debug.ini lists and that lie in
// the plug-in's dlls folder as <name>.lib. Nothing is loaded: a module is found, measured and
// read for the version it declares. Two further switches show fixed series of status boxes.
#pragma once

// qrv_vemtark_debug 1|0: runs debug.cfgs, raises Metamod's debug level and checks the modules.
void DebugModeCommand();
// messagebox 1|0 and check_code 1|0: a series of status boxes, then they switch themselves off.
void MessageBoxCheckCommand();
void CodeCheckCommand();

// Measures every module that the list names and queues "qrv_debug <module>" for each one found.
// True when every listed module was found.
bool CheckDebugModules(const char *listPath);

// qrv_debug <module>: the version that a listed module's file declares.
void ShowDebugModule(const char *name);
