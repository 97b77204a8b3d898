#ifndef SLICE2VOL_PROCESS_SIGNALCLEANUP_H
#define SLICE2VOL_PROCESS_SIGNALCLEANUP_H

/// Makes every signal whose default action ends the process (SIGINT, SIGTERM, SIGQUIT, SIGUSR1,
/// SIGALRM, the real-time signals, ...) remove the file named by RemoveOnSignal, then end the
/// process by that same signal, so the caller still sees it. A signal that was ignored when the
/// process started (nohup) stays ignored.
///
/// SIGPIPE and SIGXFSZ that the kernel sends the process for its own write, to a pipe nobody
/// reads or past the file size limit, are ignored: that write then fails with EPIPE or EFBIG,
/// which the tool reports. Sent by another process, they end it like the others.
void InstallSignalCleanup();

/// Names the file a signal removes: name in the folder open as folder. Register it before the
/// file appears, so that no moment exists when the file is there and the handler does not know
/// it; a copy is kept, as a signal handler cannot use the heap.
void RemoveOnSignal(int folder, const char* name);
void ForgetRemoveOnSignal();

#endif
