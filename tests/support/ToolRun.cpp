#include "ToolRun.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

ToolProcess::ToolProcess(const std::vector<std::string>& arguments, const ToolSetup& setup) {
  const std::string outPath = capture_.Path("stdout");
  const std::string errPath = capture_.Path("stderr");
  std::vector<std::string> copies = {"slice2vol"};
  copies.insert(copies.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : copies) argv.push_back(&argument[0]);
  argv.push_back(nullptr);
  // Everything the child needs is made before the fork: after it, with other threads in the
  // test, only async-signal-safe calls are safe.
  std::vector<std::string> environment = setup.environment;
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(&entry[0]);
  for (char** entry = environ; *entry != nullptr; ++entry) envp.push_back(*entry);
  envp.push_back(nullptr);
  int closedPipe[2] = {-1, -1};
  if (setup.stdoutIsClosedPipe && pipe(closedPipe) != 0) std::abort();

  std::fflush(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    const std::string& outFile = setup.stdoutPath.empty() ? outPath : setup.stdoutPath;
    const int out = setup.stdoutIsClosedPipe
                        ? closedPipe[1]
                        : open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (setup.stdoutIsClosedPipe) close(closedPipe[0]);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    close(out);
    close(err);
    if (setup.stdoutIsClosed) close(STDOUT_FILENO);
    if (!setup.descriptor3Path.empty()) {
      const int extra = open(setup.descriptor3Path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(extra, 3);
      if (extra != 3) close(extra);
    }
    for (int signalNumber : setup.ignoredSignals) signal(signalNumber, SIG_IGN);
    const rlimit noCore = {0, 0};  // signals that dump core leave none in the test's folder
    setrlimit(RLIMIT_CORE, &noCore);
    for (const auto& [resource, value] : setup.limits) {
      const rlimit limit = {value, value};
      setrlimit(resource, &limit);
    }
    execve(SLICE2VOL_EXECUTABLE, argv.data(), envp.data());
    _exit(127);
  }
  if (setup.stdoutIsClosedPipe) {
    close(closedPipe[0]);
    close(closedPipe[1]);
  }
}

ToolProcess::~ToolProcess() {
  if (pid_ > 0 && kill(pid_, SIGKILL) == 0) waitpid(pid_, nullptr, 0);
}

void ToolProcess::Signal(int signalNumber) const { kill(pid_, signalNumber); }

bool ToolProcess::HasEnded() {
  if (pid_ <= 0) return true;
  if (wait4(pid_, &waitStatus_, WNOHANG, &usage_) != pid_) return false;
  pid_ = -1;
  return true;
}

ToolResult ToolProcess::Wait(int timeoutSeconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  while (!HasEnded()) {
    if (std::chrono::steady_clock::now() > deadline) kill(pid_, SIGKILL);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  const int code = WIFEXITED(waitStatus_) ? WEXITSTATUS(waitStatus_) : 128 + WTERMSIG(waitStatus_);
  return {code, ReadFile(capture_.Path("stdout")), ReadFile(capture_.Path("stderr")),
          usage_.ru_maxrss};
}

ToolResult RunTool(const std::vector<std::string>& arguments, const ToolSetup& setup) {
  return ToolProcess(arguments, setup).Wait();
}

bool MatchesWithNumbers(const std::string& text, const std::string& pattern) {
  const std::size_t mark = pattern.find(kAnyNumber);
  if (mark == std::string::npos) return text == pattern;
  if (text.compare(0, mark, pattern, 0, mark) != 0) return false;
  const std::size_t end = std::min(text.find_first_not_of("0123456789", mark), text.size());
  return end > mark &&
         MatchesWithNumbers(text.substr(end), pattern.substr(mark + kAnyNumber.size()));
}

void ExpectRun(const std::vector<std::string>& arguments, int status, const std::string& out,
               const std::string& err, const ToolSetup& setup) {
  const ToolResult result = RunTool(arguments, setup);
  EXPECT_EQ(result.status, status) << testing::PrintToString(arguments);
  EXPECT_EQ(result.out, out) << testing::PrintToString(arguments);
  EXPECT_PRED2(MatchesWithNumbers, result.err, err) << testing::PrintToString(arguments);
}
