// Helper threads on Linux: the idle scheduling class, or the lowest priority where that is
// refused. Both apply to the calling thread alone.
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "engine/ThreadPriority.h"

void YieldToOtherThreads() {
#ifdef SCHED_IDLE
  const sched_param param{};
  if (pthread_setschedparam(pthread_self(), SCHED_IDLE, &param) == 0) return;
#endif
#ifdef SYS_gettid
  setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 19);
#endif
}
