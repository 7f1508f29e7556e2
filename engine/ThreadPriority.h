// Scheduling of the engine's helper threads.
#pragma once

// Lets the calling thread run only where the others leave a processor idle (or nearly
// so), so that it never slows the threads a run waits for. Best effort: does nothing
// where the system refuses.
void YieldToOtherThreads();
