#include <windows.h>

#include "platform/timer_honour.h"

namespace {

// The declarations of the newer SDKs, written out so that older headers build the library too.
constexpr int kProcessPowerThrottling = 4;  // PROCESS_INFORMATION_CLASS ProcessPowerThrottling
constexpr ULONG kPowerThrottlingCurrentVersion = 1;
constexpr ULONG kIgnoreTimerResolution = 0x4;  // PROCESS_POWER_THROTTLING_IGNORE_TIMER_RESOLUTION

struct PowerThrottlingState {  // PROCESS_POWER_THROTTLING_STATE
  ULONG Version;
  ULONG ControlMask;
  ULONG StateMask;
};
static_assert(sizeof(PowerThrottlingState) == 12, "PROCESS_POWER_THROTTLING_STATE is 12 bytes");

using SetProcessInformationFn = BOOL(WINAPI *)(HANDLE process, int informationClass,
                                               LPVOID information, DWORD size);

}  // namespace

namespace platform {

void *LookUpSetProcessInformation() {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return nullptr;
  return reinterpret_cast<void *>(GetProcAddress(kernel, "SetProcessInformation"));
}

bool AskToHonourTimerResolution(void *setProcessInformation) {
  if (setProcessInformation == nullptr) return false;
  // The timer-resolution bit under control with its state clear: the process opts out of the
  // throttling that would ignore its timer requests.
  PowerThrottlingState state{kPowerThrottlingCurrentVersion, kIgnoreTimerResolution, 0};
  auto call = reinterpret_cast<SetProcessInformationFn>(setProcessInformation);
  return call(GetCurrentProcess(), kProcessPowerThrottling, &state, sizeof(state)) != FALSE;
}

}  // namespace platform
