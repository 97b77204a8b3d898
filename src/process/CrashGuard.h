#ifndef SLICE2VOL_PROCESS_CRASHGUARD_H
#define SLICE2VOL_PROCESS_CRASHGUARD_H

#include <string>

/// While it lives, a crash (SIGSEGV, SIGBUS, SIGFPE, SIGABRT) ends the process with status 2
/// after writing lastWords to messageFd. Some of the image libraries under ITK crash on
/// corrupt files instead of reporting them, so the guard is armed only while the input is read
/// and thresholded: nothing has been written then, and a fault anywhere else still shows as the
/// crash it is. Standard output must be flushed before: the guard ends the process without
/// flushing it. The same signals sent by another process end it by the signal, as they would
/// without the guard.
class CrashGuard {
 public:
  CrashGuard(const std::string& lastWords, int messageFd);
  ~CrashGuard();
  CrashGuard(const CrashGuard&) = delete;
  CrashGuard& operator=(const CrashGuard&) = delete;
};

#endif
