// The console command handler of the plug-in's information commands: it reads the command line
// and answers names it has no action for with "Unknown command: <name>".
#pragma once

void CommandDispatcher();
