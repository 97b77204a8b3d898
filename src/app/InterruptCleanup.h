#ifndef SLICE2VOL_APP_INTERRUPTCLEANUP_H
#define SLICE2VOL_APP_INTERRUPTCLEANUP_H

/// Makes SIGINT, SIGTERM and SIGHUP remove the file named by RemoveOnInterrupt before the
/// process ends by that same signal, so the caller still sees the interruption. A signal that
/// was ignored when the process started (nohup) stays ignored.
void InstallInterruptCleanup();

/// Names the file an interruption removes. Register the name before the file is created, so
/// that no moment exists when the file is there and the handler does not know it; a copy is
/// kept, as a signal handler cannot use the heap.
void RemoveOnInterrupt(const char* path);
void ForgetRemoveOnInterrupt();

#endif
