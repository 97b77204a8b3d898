// The output path holds either a complete volume or exactly what it held before the run: every
// failure, interruption and odd output is checked against the folder's listing and bytes.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "TestFiles.h"
#include "TestImages.h"
#include "ToolRun.h"

namespace {

const std::string kPrevious = "the volume of an earlier run\n";

unsigned ModeOf(const std::string& path) {
  struct stat status {};
  stat(path.c_str(), &status);
  return status.st_mode & 07777;
}

bool IsLink(const std::string& path) {
  struct stat status {};
  return lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

class OutputSafety : public ToolTest {
 protected:
  static void SetUpTestSuite() {
    images = std::make_unique<TempFolder>();
    auto pattern = [](unsigned x, unsigned y) { return (x * 5 + y * 3) % 256; };
    const std::pair<const char*, unsigned> squares[] = {
        {"large.png", 1000}, {"dot.png", 1}, {"square100.png", 100}};
    for (const auto& [name, side] : squares) {
      WriteTestImage<std::uint8_t>(Image(name), side, side, pattern);
    }
    WriteTestImage<std::uint8_t>(Image("small.png"), 30, 20, pattern);
    WriteTestImage<std::uint8_t>(Image("pair.mhd"), 30, 20, pattern);  // and pair.raw
    const TempFolder scratch;  // what a successful run on small.png writes
    ASSERT_EQ(
        RunTool({"--input2d", Image("small.png"), "--output", scratch.Path("v"), "-d", "2"}).status,
        0);
    smallVolume = ReadFile(scratch.Path("v"));
  }

  ToolResult RunSmall(const std::string& outputPath, const ToolSetup& setup = {}) {
    return RunTool({"--input2d", Image("small.png"), "--output", outputPath, "-d", "2"}, setup);
  }

  // Waits until the run has begun writing its volume into the output folder, and returns the
  // name its descriptor shows ("#inode (deleted)" for an unnamed file); empty if it ended first.
  std::string AwaitWriting(ToolProcess& run) {
    const std::string descriptors = "/proc/" + std::to_string(run.Pid()) + "/fd/";
    while (!run.HasEnded()) {
      for (int fd = 3; fd < 64; ++fd) {
        const std::string entry = descriptors + std::to_string(fd);
        std::vector<char> target(PATH_MAX);
        const ssize_t length = readlink(entry.c_str(), target.data(), target.size());
        const std::string name = length > 0 ? std::string(target.data(), length) : "";
        struct stat status {};
        if (name.rfind(output.Path(""), 0) == 0 && name != output.Path("out.vtk") &&
            stat(entry.c_str(), &status) == 0 && status.st_size > 0) {
          return name.substr(output.Path("").size());
        }
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return "";
  }

  inline static std::string smallVolume;
};

// The volume replaces what its path leads to: a new file gets 0666 less the umask, an old one
// keeps its mode, a link (even a dangling one, or the kernel's link for descriptor 3) stays and
// the file it names is written, and a device is written in place, even when it is also
// standard output. Paths up to PATH_MAX - 1
// characters work.
TEST_F(OutputSafety, SuccessReplacesTheFileKeepingItsModeAndFollowingLinks) {
  WriteFile(output.Path("old.vtk"), kPrevious);
  chmod(output.Path("old.vtk").c_str(), 0604);
  WriteFile(output.Path("target.vtk"), kPrevious);
  chmod(output.Path("target.vtk").c_str(), 0604);
  symlink("target.vtk", output.Path("link.vtk").c_str());
  symlink("absent.vtk", output.Path("dangling.vtk").c_str());
  std::string deepest = output.Path("");  // in folders of 200 characters
  while (deepest.size() + 201 < PATH_MAX - 1 - 100) {
    deepest += std::string(200, 'd') + "/";
    ASSERT_EQ(mkdir(deepest.c_str(), 0700), 0);
  }
  const std::string longest = deepest + std::string(PATH_MAX - 1 - deepest.size(), 'f');
  ToolSetup descriptor3, nullStdout;
  descriptor3.descriptor3Path = output.Path("fd3.vtk");
  nullStdout.stdoutPath = "/dev/null";  // the null device keeps nothing two writers could mix
  const mode_t savedMask = umask(026);
  for (const std::string& path :
       {output.Path("new.vtk"), output.Path("old.vtk"), output.Path("link.vtk"),
        output.Path("dangling.vtk"), longest, std::string("/dev/null")}) {
    EXPECT_EQ(RunSmall(path, nullStdout).status, 0) << path;
  }
  EXPECT_EQ(RunSmall("/dev/fd/3", descriptor3).status, 0);
  umask(savedMask);
  const std::pair<std::string, unsigned> written[] = {
      {"new.vtk", 0640},    {"old.vtk", 0604}, {"target.vtk", 0604},
      {"absent.vtk", 0640}, {"fd3.vtk", 0600}, {longest.substr(output.Path("").size()), 0640}};
  for (const auto& [name, mode] : written) {
    EXPECT_TRUE(ReadFile(output.Path(name)) == smallVolume) << name;
    EXPECT_EQ(ModeOf(output.Path(name)), mode) << name;
  }
  EXPECT_TRUE(IsLink(output.Path("link.vtk")) && IsLink(output.Path("dangling.vtk")));
  std::vector<std::string> names = output.Names();
  names[2].resize(10);
  EXPECT_EQ(names, (std::vector<std::string>{"absent.vtk", "dangling.vtk", "dddddddddd", "fd3.vtk",
                                             "link.vtk", "new.vtk", "old.vtk", "target.vtk"}));
}

// A failure to write the volume or the report names the path and the cause and leaves no
// volume; the volume is never written into the stream that carries the report, nor over the
// image it is made from, by whatever name the output reaches it, nor the data file its header
// names.
TEST_F(OutputSafety, UnwritableOutputsAreNamedWithTheirCause) {
  const std::string report = output.Path("report.txt");
  const std::string volume = output.Path("out.vtk");
  const std::string in = output.Path("in.png");
  WriteFile(in, ReadFile(Image("small.png")));
  symlink(in.c_str(), output.Path("link.vtk").c_str());
  link(in.c_str(), output.Path("hard.vtk").c_str());
  const std::string replaces = "': it would replace the input file '";
  ToolSetup none, full, closedPipe, closed, toFile;
  full.stdoutPath = "/dev/full";
  closedPipe.stdoutIsClosedPipe = true;
  closed.stdoutIsClosed = true;
  toFile.stdoutPath = report;
  const std::string cannot = "Error: cannot write volume '";
  // /proc takes no new file; only root is let as far as finding that out.
  const std::string noTemporary =
      "': cannot create a temporary file in its folder: " +
      std::string(geteuid() == 0 ? "no such file or directory" : "permission denied") + "\n";
  const std::string mixed = "': it is the tool's standard output, which carries its messages\n";
  const std::string fullOutput = "Error: cannot write standard output: no space left on device\n";
  const std::tuple<ToolSetup, std::vector<std::string>, std::string> cases[] = {
      {none, {"--output", "/dev/full"}, cannot + "/dev/full': no space left on device\n"},
      {none, {"--output", ""}, cannot + "': no such file or directory\n"},
      {none,
       {"--output", output.Path("none/v")},
       cannot + output.Path("none/v") + "': no such file or directory\n"},
      {none, {"--output", output.Path("")}, cannot + output.Path("") + "': is a directory\n"},
      {none, {"--output", "/proc/version"}, cannot + "/proc/version" + noTemporary},
      {none, {"--output", "/proc/volume.vtk"}, cannot + "/proc/volume.vtk" + noTemporary},
      {full, {"--output", volume}, fullOutput},
      {full, {"--help"}, fullOutput},
      {closedPipe, {"--output", volume}, "Error: cannot write standard output: broken pipe\n"},
      {closed, {"--output", volume}, "Error: cannot write standard output: bad file descriptor\n"},
      {toFile, {"--output", "/dev/stdout"}, cannot + "/dev/stdout" + mixed},
      {toFile, {"--output", report}, cannot + report + mixed},
      {none, {"--input2d", in, "--output", in}, cannot + in + replaces + in + "'\n"},
      {none,
       {"--input2d", in, "--output", output.Path("link.vtk")},
       cannot + output.Path("link.vtk") + replaces + in + "'\n"},
      {none,
       {"--input2d", in, "--output", output.Path("hard.vtk")},
       cannot + output.Path("hard.vtk") + replaces + in + "'\n"},
      {none,
       {"--input2d", Image("pair.mhd"), "--output", Image("pair.raw")},
       cannot + Image("pair.raw") + replaces + Image("pair.raw") + "'\n"},
  };
  for (const auto& [setup, options, err] : cases) {
    std::vector<std::string> arguments = {"--input2d", Image("small.png"), "-d", "2"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const ToolResult result = RunTool(arguments, setup);
    EXPECT_EQ(result.status, 2) << testing::PrintToString(arguments);
    EXPECT_EQ(result.err, err) << testing::PrintToString(arguments);
    EXPECT_FALSE(std::filesystem::exists(volume)) << testing::PrintToString(arguments);
  }
  // The way the README gives to send the volume down a pipe: descriptor 3, stdout elsewhere.
  // Layers too large to keep their text in memory are formatted again: a pipe cannot be read
  // back.
  const std::string fifo = output.Path("volume.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = ReadFile(fifo); });
  ToolSetup piped;
  piped.stdoutPath = "/dev/null";
  piped.descriptor3Path = fifo;
  const ToolResult result =
      RunTool({"--input2d", Image("large.png"), "--output", "/dev/fd/3", "-d", "4"}, piped);
  reader.join();
  EXPECT_EQ(result.status, 0) << result.err;
  ASSERT_EQ(RunTool({"--input2d", Image("large.png"), "--output", volume, "-d", "4"}).status, 0);
  EXPECT_TRUE(received == ReadFile(volume));
}

TEST_F(OutputSafety, EverySignalThatEndsTheRunLeavesTheOutputAsItWas) {
  const std::string outputPath = output.Path("out.vtk");
  WriteFile(outputPath, kPrevious);
  const std::vector<std::string> arguments = {
      "--input2d", Image("large.png"), "--output", outputPath, "-d", "60"};
  for (const int signalNumber :
       {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU,
        SIGXFSZ, SIGPIPE, SIGSEGV, SIGRTMIN + 1, SIGKILL}) {
    ToolProcess run(arguments);
    const std::string writing = AwaitWriting(run);
    ASSERT_FALSE(writing.empty()) << "the run ended before it could be interrupted";
    run.Signal(signalNumber);
    EXPECT_EQ(run.Wait().status, 128 + signalNumber);
    EXPECT_EQ(ReadFile(outputPath), kPrevious) << signalNumber;
    // SIGKILL leaves nothing only where the file system has unnamed files.
    if (signalNumber == SIGKILL && writing[0] != '#') continue;
    EXPECT_EQ(output.Names(), std::vector<std::string>{"out.vtk"}) << signalNumber;
  }

  // Started under nohup: the hangup is ignored and the run completes.
  ToolSetup nohup;
  nohup.ignoredSignals.push_back(SIGHUP);
  ToolProcess run(arguments, nohup);
  ASSERT_FALSE(AwaitWriting(run).empty());
  run.Signal(SIGHUP);
  EXPECT_EQ(run.Wait().status, 0);
  EXPECT_EQ(output.Names(), std::vector<std::string>{"out.vtk"});
  EXPECT_NE(ReadFile(outputPath), kPrevious);
}

// Each limit of the system is named as the cause, never blamed on the image, and leaves nothing.
// A volume that cannot be written fails within seconds, not by the system's out-of-memory killer,
// nor after minutes of setting up a tile filter input per layer; the timeout guards against a hang.
TEST_F(OutputSafety, SystemLimitsAreNamedAsTheCause) {
  const std::string volume = output.Path("out.vtk");
  struct Case {
    std::string image;
    std::string depth;
    std::string err;
    std::vector<std::pair<int, rlim_t>> limits = {};
    std::string environment = "";
  };
  const std::string memory = "Error: not enough memory for a volume of ";
  const std::string available = ", more than the " + kAnyNumber + " bytes available\n";
  const std::string large = "large.png";
  std::vector<Case> cases = {
      {"square100.png", "2147483647",
       "Error: cannot write volume '" + volume + "': its text needs " + kAnyNumber +
           " bytes, more than the " + kAnyNumber + " bytes free on its file system\n"},
      {"dot.png", "2147483647",
       memory + "1 x 1 x 2147483647 voxels: it needs 360794029913 bytes" + available},
      {large,
       "2",
       "Error: cannot write volume '" + volume + "': file too large\n",
       {{RLIMIT_FSIZE, 65536}}},
      {large,
       "2",
       "Error: cannot read image '" + Image(large) + "': too many open files\n",
       {{RLIMIT_NOFILE, 8}}},
      {large,
       "2",
       "Error: ITK_GLOBAL_DEFAULT_THREADER asks for the TBB threader, which this build of ITK "
       "lacks\n",
       {},
       "ITK_GLOBAL_DEFAULT_THREADER=TBB"},
  };
  // The sanitizers reserve far more address space than these limits, and LeakSanitizer needs
  // a thread of its own at exit.
#ifndef SLICE2VOL_SANITIZED
  const rlim_t gibibyte = 1ul << 30;
  const std::string limited = memory + "1 x 1 x 10000000 voxels: it needs 1684194305 bytes";
  const std::string threads =
      " threads the image pipeline uses: resource temporarily unavailable\n";
  cases.push_back({"dot.png", "10000000", limited + available, {{RLIMIT_AS, gibibyte}}});
  cases.push_back({"dot.png", "10000000", limited + available, {{RLIMIT_DATA, gibibyte}}});
  cases.push_back({large,
                   "2",
                   "Error: cannot start the 128" + threads,
                   {{RLIMIT_AS, gibibyte}},
                   "ITK_GLOBAL_DEFAULT_NUMBER_OF_THREADS=128"});
#endif
  for (const Case& c : cases) {
    ToolSetup setup;
    setup.limits = c.limits;
    if (!c.environment.empty()) setup.environment = {c.environment};
    const std::vector<std::string> arguments = {"--input2d", Image(c.image), "--output",
                                                volume,      "-d",           c.depth};
    const ToolResult result = ToolProcess(arguments, setup).Wait(60);
    EXPECT_EQ(result.status, 2) << c.err;
    EXPECT_PRED2(MatchesWithNumbers, result.err, c.err);
    EXPECT_TRUE(output.IsEmpty()) << c.err;
  }
}

}  // namespace
