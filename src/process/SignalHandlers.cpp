#include "SignalHandlers.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

// Every signal whose default action ends the process, but SIGKILL, which cannot be caught, and
// the real-time signals, which follow from SIGRTMIN on; whether a crash guard may report it.
struct EndingSignal {
  int number;
  bool crash;
};
constexpr EndingSignal kEndingSignals[] = {
    {SIGHUP, false},  {SIGINT, false},  {SIGQUIT, false},   {SIGILL, false},  {SIGTRAP, false},
    {SIGABRT, true},  {SIGBUS, true},   {SIGFPE, true},     {SIGUSR1, false}, {SIGSEGV, true},
    {SIGUSR2, false}, {SIGPIPE, false}, {SIGALRM, false},   {SIGTERM, false}, {SIGSTKFLT, false},
    {SIGXCPU, false}, {SIGXFSZ, false}, {SIGVTALRM, false}, {SIGPROF, false}, {SIGIO, false},
    {SIGPWR, false},  {SIGSYS, false}};

// The handler may run on any thread, ITK's workers included: the name is complete before the
// flag is raised, and the flag is lowered before the name changes. The same holds for the
// guard's message.
int folderToClean;
char nameToRemove[NAME_MAX + 1];
std::atomic<bool> nameRegistered{false};
static_assert(std::atomic<bool>::is_always_lock_free);  // the signal handler reads the flag

char lastWords[8192];
std::size_t lastWordsLength;
int lastWordsFd;
std::atomic<bool> guardArmed{false};

bool ignoredAtStart[_NSIG];
bool reportsCrash[_NSIG];

// A crash may come from a stack overflow, so the handler runs on a stack of its own.
alignas(16) char handlerStack[64 * 1024];

bool SentByAnotherProcess(const siginfo_t& info) {
  return info.si_code <= 0 && info.si_pid != getpid();
}

bool IsOwnWriteFailure(int signalNumber, const siginfo_t& info) {
  return (signalNumber == SIGPIPE || signalNumber == SIGXFSZ) && info.si_code == SI_USER &&
         info.si_pid == getpid();
}

void HandleSignal(int signalNumber, siginfo_t* info, void*) {
  if (IsOwnWriteFailure(signalNumber, *info)) return;
  if (ignoredAtStart[signalNumber] && SentByAnotherProcess(*info)) return;
  if (reportsCrash[signalNumber] && guardArmed.load() && !SentByAnotherProcess(*info)) {
    for (std::size_t written = 0; written < lastWordsLength;) {
      const ssize_t n = write(lastWordsFd, lastWords + written, lastWordsLength - written);
      if (n <= 0) break;
      written += static_cast<std::size_t>(n);
    }
    _exit(2);
  }
  if (nameRegistered.load()) unlinkat(folderToClean, nameToRemove, 0);
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);  // delivered as soon as the handler returns
}

void InstallFor(int signalNumber, bool crash) {
  struct sigaction current {};
  if (sigaction(signalNumber, nullptr, &current) != 0) return;
  ignoredAtStart[signalNumber] = current.sa_handler == SIG_IGN;
  if (ignoredAtStart[signalNumber] && !crash) return;
  reportsCrash[signalNumber] = crash;
  struct sigaction handler {};
  handler.sa_sigaction = HandleSignal;
  handler.sa_flags = SA_SIGINFO | SA_RESTART | SA_ONSTACK;
  sigfillset(&handler.sa_mask);  // one signal at a time
  sigaction(signalNumber, &handler, nullptr);
}

}  // namespace

void InstallSignalHandlers() {
  stack_t stack{};
  stack.ss_sp = handlerStack;
  stack.ss_size = sizeof handlerStack;
  sigaltstack(&stack, nullptr);
  for (const EndingSignal& ending : kEndingSignals) InstallFor(ending.number, ending.crash);
  for (int signalNumber = SIGRTMIN; signalNumber <= SIGRTMAX; ++signalNumber) {
    InstallFor(signalNumber, false);
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

CrashGuard::CrashGuard(const std::string& words, int messageFd) {
  guardArmed.store(false);
  lastWordsFd = messageFd;
  lastWordsLength = std::min(words.size(), sizeof lastWords);
  std::memcpy(lastWords, words.data(), lastWordsLength);
  guardArmed.store(true);
}

CrashGuard::~CrashGuard() { guardArmed.store(false); }
