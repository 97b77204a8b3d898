#include "CrashGuard.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGABRT};
constexpr int kCrashSignalCount = sizeof kCrashSignals / sizeof kCrashSignals[0];

// Copied when the guard is armed: the handler may only call async-signal-safe functions, so it
// writes these bytes and nothing else.
char message[8192];
std::size_t messageLength;
int messageFd;

struct sigaction previousActions[kCrashSignalCount];

// A crash may come from a stack overflow, so the handler runs on a stack of its own.
alignas(16) char handlerStack[64 * 1024];

void ReportCrashAndExit(int signalNumber, siginfo_t* info, void*) {
  if (info->si_code <= 0 && info->si_pid != getpid()) {  // kill(2) from elsewhere, not a crash
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
    return;
  }
  std::size_t written = 0;
  while (written < messageLength) {
    const ssize_t n = write(messageFd, message + written, messageLength - written);
    if (n <= 0) break;
    written += static_cast<std::size_t>(n);
  }
  _exit(2);
}

}  // namespace

CrashGuard::CrashGuard(const std::string& lastWords, int fd) {
  messageFd = fd;
  messageLength = std::min(lastWords.size(), sizeof message);
  std::memcpy(message, lastWords.data(), messageLength);

  stack_t stack{};
  stack.ss_sp = handlerStack;
  stack.ss_size = sizeof handlerStack;
  sigaltstack(&stack, nullptr);

  struct sigaction guard {};
  guard.sa_sigaction = ReportCrashAndExit;
  guard.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigfillset(&guard.sa_mask);
  for (int i = 0; i < kCrashSignalCount; ++i) {
    sigaction(kCrashSignals[i], &guard, &previousActions[i]);
  }
}

CrashGuard::~CrashGuard() {
  for (int i = 0; i < kCrashSignalCount; ++i) {
    sigaction(kCrashSignals[i], &previousActions[i], nullptr);
  }
}
