#ifndef SLICE2VOL_APP_INTERRUPTCLEANUP_H
#define SLICE2VOL_APP_INTERRUPTCLEANUP_H

#include <signal.h>

/// Makes SIGINT, SIGTERM and SIGHUP remove the file named by RemoveOnInterrupt before the
/// process ends by that same signal, so the caller still sees the interruption. A signal that
/// was ignored when the process started (nohup) stays ignored.
void InstallInterruptCleanup();

/// The file an interruption removes; a copy is kept, since a signal handler cannot use the
/// heap. Call with interrupts blocked (InterruptsBlocked) so no signal sees a half-copied name.
void RemoveOnInterrupt(const char* path);
void ForgetRemoveOnInterrupt();

/// Holds SIGINT, SIGTERM and SIGHUP back on this thread while it lives; they are delivered when
/// it ends.
class InterruptsBlocked {
 public:
  InterruptsBlocked();
  ~InterruptsBlocked();
  InterruptsBlocked(const InterruptsBlocked&) = delete;
  InterruptsBlocked& operator=(const InterruptsBlocked&) = delete;

 private:
  sigset_t previous_;
};

#endif
