#ifndef SLICE2VOL_TESTS_TOOLRUN_H
#define SLICE2VOL_TESTS_TOOLRUN_H

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/types.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "TestFiles.h"

struct ToolResult {
  int status;  // the exit status, or 128 + the signal that ended the process (127: no exec)
  std::string out;
  std::string err;
  long peakKilobytes;  // the most memory the process held at once
};

/// How the tool's process is set up, beyond its arguments.
struct ToolSetup {
  std::vector<std::string> environment;        // NAME=value entries added to the test's own
  std::vector<int> ignoredSignals;             // ignored from the start, as nohup does
  bool stdoutIsClosedPipe = false;             // standard output a pipe nobody reads
  bool stdoutIsClosed = false;                 // no standard output at all
  std::string stdoutPath;                      // standard output this file instead of the capture
  std::string descriptor3Path;                 // a file (or FIFO) open for writing as descriptor 3
  std::vector<std::pair<int, rlim_t>> limits;  // setrlimit resources and their values
};

/// The built executable started with argv[0] "slice2vol" and the given arguments, capturing
/// its standard output and error. A run that outlives the timeout is killed, so a hang fails
/// the test instead of stalling the suite.
class ToolProcess {
 public:
  explicit ToolProcess(const std::vector<std::string>& arguments, const ToolSetup& setup = {});
  ~ToolProcess();
  ToolProcess(const ToolProcess&) = delete;
  ToolProcess& operator=(const ToolProcess&) = delete;

  void Signal(int signalNumber) const;
  pid_t Pid() const { return pid_; }
  bool HasEnded();
  ToolResult Wait(int timeoutSeconds = 120);

 private:
  TempFolder capture_;
  pid_t pid_ = -1;
  int waitStatus_ = 0;
  rusage usage_{};
};

/// Runs the tool to its end.
ToolResult RunTool(const std::vector<std::string>& arguments, const ToolSetup& setup = {});

/// Stands for a number that depends on the machine (the memory available) in an expected text.
inline const std::string kAnyNumber = "<N>";

/// True when text is pattern with each kAnyNumber replaced by one or more digits.
bool MatchesWithNumbers(const std::string& text, const std::string& pattern);

/// Runs the tool and checks its exit status and its exact standard output and error (in which
/// kAnyNumber stands for any number).
void ExpectRun(const std::vector<std::string>& arguments, int status, const std::string& out,
               const std::string& err = "", const ToolSetup& setup = {});

/// A suite of runs of the tool: the images its SetUpTestSuite writes into images live for the
/// whole suite, and each test gets an empty output folder.
class ToolTest : public testing::Test {
 protected:
  static void TearDownTestSuite() { images.reset(); }
  static std::string Image(const std::string& name) { return images->Path(name); }

  inline static std::unique_ptr<TempFolder> images;
  TempFolder output;
};

/// The driver's lines when neither a region nor a depth is given.
inline const std::string kNoRegion = "no argument --region provided\n";
inline const std::string kDefaultDepth = "using default tile depth = 10\n";

#endif
