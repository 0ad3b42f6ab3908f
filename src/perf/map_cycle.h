// What happens at every map start and map end.
#pragma once

void ActivateMap();
void DeactivateMap();
