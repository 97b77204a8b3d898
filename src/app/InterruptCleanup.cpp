#include "InterruptCleanup.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace {

constexpr int kInterruptSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The handler may run on any thread, ITK's workers included: the name is complete before the
// flag is raised, and the flag is lowered before the name changes.
char pathToRemove[4097];
std::atomic<bool> pathRegistered{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler reads the flag");

void RemoveAndEndBySignal(int signalNumber) {
  if (pathRegistered.load()) unlink(pathToRemove);
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

}  // namespace

void InstallInterruptCleanup() {
  for (int signalNumber : kInterruptSignals) {
    struct sigaction current {};
    sigaction(signalNumber, nullptr, &current);
    if (current.sa_handler == SIG_IGN) continue;
    struct sigaction cleanup {};
    cleanup.sa_handler = RemoveAndEndBySignal;
    // The other interrupts wait while one is handled.
    sigemptyset(&cleanup.sa_mask);
    for (int other : kInterruptSignals) sigaddset(&cleanup.sa_mask, other);
    sigaction(signalNumber, &cleanup, nullptr);
  }
}

void RemoveOnInterrupt(const char* path) {
  pathRegistered.store(false);
  const std::size_t length = std::strlen(path);
  if (length >= sizeof pathToRemove) return;  // longer than any path the system opens
  std::memcpy(pathToRemove, path, length + 1);
  pathRegistered.store(true);
}

void ForgetRemoveOnInterrupt() { pathRegistered.store(false); }
