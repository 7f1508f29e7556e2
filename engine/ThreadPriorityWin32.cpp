// Helper threads on Windows: the lowest priority; such a thread runs only when no thread of
// a higher priority is ready to.
#include <windows.h>

#include "engine/ThreadPriority.h"

void YieldToOtherThreads() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE); }
