// Windows only. Since Windows 11 the system may stop honouring a process's raised timer
// resolution while none of its windows is visible (a minimized console, a service): exactly how
// many servers run. Where the system offers it, the process asks to keep it honoured.
#pragma once

namespace platform {

// SetProcessInformation as found in kernel32, or null on systems that lack it.
void *LookUpSetProcessInformation();

// Calls setProcessInformation (may be null) with ProcessPowerThrottling so that the timer
// resolution stays honoured. True when the system accepted it; a missing or refusing call
// changes nothing else.
bool AskToHonourTimerResolution(void *setProcessInformation);

}  // namespace platform
