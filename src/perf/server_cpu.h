// What this server process costs: its own processor time over each measuring period, as a share
// of one core, beside the machine's load that the processor counter gives.
#pragma once

// At map activation: the process's time and the clock taken as the start of the map's first
// period.
void StartServerCpuForMap();
// On the frame after a period ended, beside the processor counter's collection: the share since
// the last reading.
void SampleServerCpu();
// The share of one core in percent over the last period; false while there is none.
bool LastServerCpuShare(double *percent);
