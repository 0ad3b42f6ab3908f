// The build number the information texts show, counted in days from the base date Jan 20 2004.
#pragma once

#include <cstdint>

// Of this binary's fixed build date ("Oct 22 2008" gives 1737).
uint16_t BuildNumber();

// Of a date written "Mmm dd yyyy"; 0 for a text too short to hold one.
uint16_t BuildNumberOf(const char *date);
