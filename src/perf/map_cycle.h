// What happens at every map start.
#pragma once

void ActivateMap();
