#include "InterruptCleanup.h"

#include <unistd.h>

#include <cstring>

namespace {

constexpr int kInterruptSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Large enough for any path the system can open; a longer one is never registered.
char pathToRemove[4097];

void RemoveAndEndBySignal(int signalNumber) {
  if (pathToRemove[0] != '\0') unlink(pathToRemove);
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

sigset_t InterruptSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int signalNumber : kInterruptSignals) sigaddset(&set, signalNumber);
  return set;
}

}  // namespace

void InstallInterruptCleanup() {
  for (int signalNumber : kInterruptSignals) {
    struct sigaction current {};
    sigaction(signalNumber, nullptr, &current);
    if (current.sa_handler == SIG_IGN) continue;
    struct sigaction cleanup {};
    cleanup.sa_handler = RemoveAndEndBySignal;
    // The other interrupts wait while one is handled, so the file is removed once.
    cleanup.sa_mask = InterruptSet();
    sigaction(signalNumber, &cleanup, nullptr);
  }
}

void RemoveOnInterrupt(const char* path) {
  const std::size_t length = std::strlen(path);
  if (length >= sizeof pathToRemove) return;
  std::memcpy(pathToRemove, path, length + 1);
}

void ForgetRemoveOnInterrupt() { pathToRemove[0] = '\0'; }

InterruptsBlocked::InterruptsBlocked() {
  const sigset_t set = InterruptSet();
  pthread_sigmask(SIG_BLOCK, &set, &previous_);
}

InterruptsBlocked::~InterruptsBlocked() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
