// The plug-in's main configuration, loaded at every map start: the server configuration file is
// handed to the engine, the settings file's keys are answered, and the sections of the engine
// settings file queue their switch commands.
#pragma once

void LoadConfiguration();
