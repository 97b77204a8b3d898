#include "SignalCleanup.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace {

// Every signal whose default action ends the process, but SIGKILL, which cannot be caught, and
// the real-time signals, which follow from SIGRTMIN on.
constexpr int kEndingSignals[] = {SIGHUP,  SIGINT,  SIGQUIT,   SIGILL,  SIGTRAP, SIGABRT,
                                  SIGBUS,  SIGFPE,  SIGUSR1,   SIGSEGV, SIGUSR2, SIGPIPE,
                                  SIGALRM, SIGTERM, SIGSTKFLT, SIGXCPU, SIGXFSZ, SIGVTALRM,
                                  SIGPROF, SIGIO,   SIGPWR,    SIGSYS};

// The handler may run on any thread, ITK's workers included: the name is complete before the
// flag is raised, and the flag is lowered before the name changes.
int folderToClean = -1;
char nameToRemove[NAME_MAX + 1];
std::atomic<bool> nameRegistered{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler reads the flag");

bool IsOwnWriteFailure(int signalNumber, const siginfo_t& info) {
  return (signalNumber == SIGPIPE || signalNumber == SIGXFSZ) && info.si_code == SI_USER &&
         info.si_pid == getpid();
}

void RemoveAndEndBySignal(int signalNumber, siginfo_t* info, void*) {
  if (IsOwnWriteFailure(signalNumber, *info)) return;
  if (nameRegistered.load()) unlinkat(folderToClean, nameToRemove, 0);
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);  // delivered as soon as the handler returns
}

void InstallFor(int signalNumber) {
  struct sigaction current {};
  if (sigaction(signalNumber, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) return;
  struct sigaction cleanup {};
  cleanup.sa_sigaction = RemoveAndEndBySignal;
  cleanup.sa_flags = SA_SIGINFO | SA_RESTART;
  sigfillset(&cleanup.sa_mask);  // one signal at a time
  sigaction(signalNumber, &cleanup, nullptr);
}

}  // namespace

void InstallSignalCleanup() {
  for (int signalNumber : kEndingSignals) InstallFor(signalNumber);
  for (int signalNumber = SIGRTMIN; signalNumber <= SIGRTMAX; ++signalNumber) {
    InstallFor(signalNumber);
  }
}

void RemoveOnSignal(int folder, const char* name) {
  nameRegistered.store(false);
  const std::size_t length = std::strlen(name);
  if (length >= sizeof nameToRemove) return;  // longer than any name the system creates
  std::memcpy(nameToRemove, name, length + 1);
  folderToClean = folder;
  nameRegistered.store(true);
}

void ForgetRemoveOnSignal() { nameRegistered.store(false); }
