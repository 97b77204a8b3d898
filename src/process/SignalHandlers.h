#ifndef SLICE2VOL_PROCESS_SIGNALHANDLERS_H
#define SLICE2VOL_PROCESS_SIGNALHANDLERS_H

#include <string>

/// Installs one handler for every signal whose default action ends the process (SIGINT,
/// SIGTERM, SIGQUIT, SIGUSR1, SIGALRM, the real-time signals, ...). It removes the file named by
/// RemoveOnSignal, then ends the process by that same signal, so the caller still sees it. A
/// signal that was ignored when the process started (nohup) stays ignored, unless it is a crash
/// of the process itself.
///
/// SIGPIPE and SIGXFSZ that the kernel sends the process for its own write, to a pipe nobody
/// reads or past the file size limit, are ignored: that write then fails with EPIPE or EFBIG,
/// which the tool reports. Sent by another process, they end it like the others.
///
/// While a CrashGuard lives, a crash (SIGSEGV, SIGBUS, SIGFPE, SIGABRT raised by the process
/// itself) ends it with status 2 instead, after the guard's last words.
void InstallSignalHandlers();

/// Names the file a signal removes: name in the folder open as folder. Register it before the
/// file appears, so that no moment exists when the file is there and the handler does not know
/// it; a copy is kept, as a signal handler cannot use the heap.
void RemoveOnSignal(int folder, const char* name);
void ForgetRemoveOnSignal();

/// While it lives, a crash ends the process with status 2 after writing lastWords to messageFd.
/// Some of the image libraries under ITK crash on corrupt files instead of reporting them, so
/// the guard is armed only while the input is read and thresholded: nothing has been written
/// then, and a fault anywhere else still shows as the crash it is. Standard output must be
/// flushed before: the guard ends the process without flushing it.
class CrashGuard {
 public:
  CrashGuard(const std::string& lastWords, int messageFd);
  ~CrashGuard();
  CrashGuard(const CrashGuard&) = delete;
  CrashGuard& operator=(const CrashGuard&) = delete;
};

#endif
