// The output path holds either a complete volume or exactly what it held before the run: every
// failure, interruption and odd output is checked against the folder's listing and bytes.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "TestFiles.h"
#include "TestImages.h"
#include "ToolRun.h"
#include "itkPNGImageIO.h"

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

class OutputSafety : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    images = new TempFolder;
    auto pattern = [](unsigned x, unsigned y) { return (x * 5 + y * 3) % 256; };
    WriteTestImage<std::uint8_t>(Image("small.png"), 30, 20, pattern, itk::PNGImageIO::New());
    WriteTestImage<std::uint8_t>(Image("large.png"), 1000, 1000, pattern, itk::PNGImageIO::New());
    WriteTestImage<std::uint8_t>(Image("dot.png"), 1, 1, pattern, itk::PNGImageIO::New());
    WriteTestImage<std::uint8_t>(Image("square100.png"), 100, 100, pattern, itk::PNGImageIO::New());
    // What a successful run on small.png writes.
    const TempFolder scratch;
    const ToolResult result =
        RunTool({"--input2d", Image("small.png"), "--output", scratch.Path("v.vtk"), "-d", "2"});
    ASSERT_EQ(result.status, 0);
    smallVolume = new std::string(ReadFile(scratch.Path("v.vtk")));
  }
  static void TearDownTestSuite() {
    delete images;
    delete smallVolume;
  }

  static std::string Image(const std::string& name) { return images->Path(name); }

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

  static TempFolder* images;
  static std::string* smallVolume;
  TempFolder output;
};

TempFolder* OutputSafety::images = nullptr;
std::string* OutputSafety::smallVolume = nullptr;

TEST_F(OutputSafety, FailedRunsLeaveTheOutputPathAsItWas) {
  const std::vector<std::vector<std::string>> failures = {
      {"--input2d", Image("missing.png")},
      {"--input2d", Image("small.png"), "-r", "25 15 10 10"},
      {"--input2d", Image("small.png"), "-r", "0 0 0 3"},
      {"--input2d", Image("small.png"), "-d", "0"},
      {"--input2d", Image("square100.png"), "-d", "2147483647"},
  };
  for (const bool existing : {false, true}) {
    const std::string outputPath = output.Path("out.vtk");
    if (existing) {
      WriteFile(outputPath, kPrevious);
      chmod(outputPath.c_str(), 0640);
    }
    for (std::vector<std::string> arguments : failures) {
      arguments.insert(arguments.end(), {"--output", outputPath});
      EXPECT_EQ(RunTool(arguments).status, 2) << Shown(arguments);
      if (existing) {
        EXPECT_EQ(output.Names(), std::vector<std::string>{"out.vtk"}) << Shown(arguments);
        EXPECT_EQ(ReadFile(outputPath), kPrevious) << Shown(arguments);
        EXPECT_EQ(ModeOf(outputPath), 0640u) << Shown(arguments);
      } else {
        EXPECT_TRUE(output.IsEmpty()) << Shown(arguments);
      }
    }
  }
}

TEST_F(OutputSafety, SuccessReplacesTheFileKeepingItsModeAndFollowingLinks) {
  const mode_t savedMask = umask(027);
  ASSERT_EQ(RunSmall(output.Path("new.vtk")).status, 0);
  umask(savedMask);
  EXPECT_EQ(ModeOf(output.Path("new.vtk")), 0640u);

  WriteFile(output.Path("old.vtk"), kPrevious);
  chmod(output.Path("old.vtk").c_str(), 0604);
  ASSERT_EQ(RunSmall(output.Path("old.vtk")).status, 0);
  EXPECT_EQ(ModeOf(output.Path("old.vtk")), 0604u);

  WriteFile(output.Path("target.vtk"), kPrevious);
  symlink("target.vtk", output.Path("link.vtk").c_str());
  symlink("absent.vtk", output.Path("dangling.vtk").c_str());
  ASSERT_EQ(RunSmall(output.Path("link.vtk")).status, 0);
  ASSERT_EQ(RunSmall(output.Path("dangling.vtk")).status, 0);
  EXPECT_TRUE(IsLink(output.Path("link.vtk")));
  EXPECT_TRUE(IsLink(output.Path("dangling.vtk")));

  // /dev/fd/3 leads through the kernel's own link for the descriptor to the file it writes to.
  const std::string longName(100, 'v');
  ToolSetup descriptor3;
  descriptor3.descriptor3Path = output.Path(longName);
  ASSERT_EQ(RunSmall("/dev/fd/3", descriptor3).status, 0);

  // The longest path the system accepts, PATH_MAX - 1 characters, in folders of 200.
  std::string deepest = output.Path("");
  while (deepest.size() + 201 < PATH_MAX - 1 - 100) {
    deepest += std::string(200, 'd') + "/";
    ASSERT_EQ(mkdir(deepest.c_str(), 0700), 0);
  }
  const std::string longestPath = deepest + std::string(PATH_MAX - 1 - deepest.size(), 'f');
  ASSERT_EQ(RunSmall(longestPath).status, 0);
  EXPECT_TRUE(ReadFile(longestPath) == *smallVolume);

  const std::vector<std::string> expected = {"absent.vtk", "dangling.vtk", "dddddddddd", "link.vtk",
                                             "new.vtk",    "old.vtk",      "target.vtk", longName};
  std::vector<std::string> names = output.Names();
  names[2].resize(10);
  EXPECT_EQ(names, expected);
  for (const std::string& name : {std::string("absent.vtk"), std::string("new.vtk"),
                                  std::string("old.vtk"), std::string("target.vtk"), longName}) {
    EXPECT_TRUE(ReadFile(output.Path(name)) == *smallVolume) << name;
  }
}

TEST_F(OutputSafety, DevicesAndFifosAreWrittenInPlaceInOnePass) {
  EXPECT_EQ(RunSmall("/dev/null").status, 0);

  const std::string fifo = output.Path("volume.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = ReadFile(fifo); });
  const ToolResult result = RunSmall(fifo);
  reader.join();
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(received == *smallVolume);
  EXPECT_EQ(output.Names(), std::vector<std::string>{"volume.fifo"});
}

TEST_F(OutputSafety, UnwritableOutputsAreNamedWithTheirCause) {
  const std::string temporaryRefused =
      "': cannot create a temporary file in its folder: no such file or directory\n";
  const std::pair<std::string, std::string> cases[] = {
      {"/dev/full", "Error: cannot write volume '/dev/full': no space left on device\n"},
      {"", "Error: cannot write volume '': no such file or directory\n"},
      {output.Path("none/out.vtk"), "Error: cannot write volume '" + output.Path("none/out.vtk") +
                                        "': no such file or directory\n"},
      {output.Path(""), "Error: cannot write volume '" + output.Path("") + "': is a directory\n"},
      {"/proc/version", "Error: cannot write volume '/proc/version" + temporaryRefused},
      {"/proc/volume.vtk", "Error: cannot write volume '/proc/volume.vtk" + temporaryRefused},
  };
  for (const auto& [path, error] : cases) {
    const ToolResult result = RunSmall(path);
    EXPECT_EQ(result.status, 2) << path;
    EXPECT_EQ(result.err, error);
  }
}

// Standard output carries the run's report and nothing else: a report that cannot be written
// is a failure, and the volume is never written into the same stream.
TEST_F(OutputSafety, StandardOutputIsCheckedAndNeverCarriesTheVolume) {
  const std::string report = output.Path("report.txt");
  const std::string volume = output.Path("out.vtk");
  struct Case {
    ToolSetup setup;
    std::vector<std::string> arguments;
    std::string err;
  };
  ToolSetup full, closedPipe, toFile;
  full.stdoutPath = "/dev/full";
  closedPipe.stdoutIsClosedPipe = true;
  toFile.stdoutPath = report;
  const std::string mixed = "': it is the tool's standard output, which carries its messages\n";
  const Case cases[] = {
      {full,
       {"--output", volume},
       "Error: cannot write standard output: no space left on device\n"},
      {full, {"--help"}, "Error: cannot write standard output: no space left on device\n"},
      {closedPipe, {"--output", volume}, "Error: cannot write standard output: broken pipe\n"},
      {toFile, {"--output", "/dev/stdout"}, "Error: cannot write volume '/dev/stdout" + mixed},
      {toFile, {"--output", report}, "Error: cannot write volume '" + report + mixed},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = {"--input2d", Image("small.png")};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const ToolResult result = RunTool(arguments, c.setup);
    EXPECT_EQ(result.status, 2) << Shown(arguments);
    EXPECT_EQ(result.err, c.err) << Shown(arguments);
    EXPECT_FALSE(std::filesystem::exists(volume)) << Shown(arguments);
  }

  // The way the README gives to send the volume down a pipe: descriptor 3, stdout elsewhere.
  const std::string fifo = output.Path("volume.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = ReadFile(fifo); });
  ToolSetup piped;
  piped.stdoutPath = "/dev/null";
  piped.descriptor3Path = fifo;
  const ToolResult result = RunSmall("/dev/fd/3", piped);
  reader.join();
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(received == *smallVolume);
}

TEST_F(OutputSafety, FullDiskLeavesTheOldFile) {
  if (mount("tmpfs", output.Path("").c_str(), "tmpfs", 0, "size=256k") != 0) {
    GTEST_SKIP() << "cannot mount a small file system here";
  }
  const std::string outputPath = output.Path("out.vtk");
  WriteFile(outputPath, kPrevious);
  const ToolResult result =
      RunTool({"--input2d", Image("square100.png"), "--output", outputPath, "-d", "100"});
  const std::vector<std::string> names = output.Names();
  const std::string left = ReadFile(outputPath);
  umount(output.Path("").c_str());
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err,
            "Error: cannot write volume '" + outputPath + "': no space left on device\n");
  EXPECT_EQ(names, std::vector<std::string>{"out.vtk"});
  EXPECT_EQ(left, kPrevious);
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
// A volume that cannot fit fails within seconds, not by the system's out-of-memory killer, nor
// after minutes of setting up a tile filter input per layer; the timeout guards against a hang.
TEST_F(OutputSafety, SystemLimitsAreNamedAsTheCause) {
  const std::string volume = output.Path("out.vtk");
  struct Case {
    std::vector<std::pair<int, rlim_t>> limits;
    std::string environment;
    std::string image;
    std::string depth;
    std::string err;  // the whole line, or its start when it ends with the bytes available
    bool asNobody = false;
  };
  const std::string memory = "Error: not enough memory for a volume of ";
  std::vector<Case> cases = {
      {{},
       "",
       "square100.png",
       "2147483647",
       memory + "100 x 100 x 2147483647 voxels: it needs 21835613722696 bytes"},
      {{},
       "",
       "dot.png",
       "2147483647",
       memory + "1 x 1 x 2147483647 voxels: it needs 362924736343 bytes"},
      {{{RLIMIT_FSIZE, 65536}},
       "",
       "large.png",
       "2",
       "Error: cannot write volume '" + volume + "': file too large\n"},
      {{{RLIMIT_NOFILE, 8}},
       "",
       "large.png",
       "2",
       "Error: cannot read image '" + Image("large.png") + "': too many open files\n"},
      {{},
       "ITK_GLOBAL_DEFAULT_THREADER=TBB",
       "large.png",
       "2",
       "Error: ITK_GLOBAL_DEFAULT_THREADER asks for the TBB threader, which this build of ITK "
       "lacks\n"},
  };
  // The sanitizers reserve far more address space than these limits, and LeakSanitizer needs
  // a thread of its own at exit.
#ifndef SLICE2VOL_SANITIZED
  const rlim_t gibibyte = 1ul << 30;
  const std::string limitedMemory = memory + "1000 x 1000 x 1500 voxels: it needs 1500252000 bytes";
  const std::string threads =
      " threads the image pipeline uses: resource temporarily unavailable\n";
  cases.push_back({{{RLIMIT_AS, gibibyte}}, "", "large.png", "1500", limitedMemory});
  cases.push_back({{{RLIMIT_DATA, gibibyte}}, "", "large.png", "1500", limitedMemory});
  cases.push_back({{{RLIMIT_AS, gibibyte}},
                   "ITK_GLOBAL_DEFAULT_NUMBER_OF_THREADS=128",
                   "large.png",
                   "2",
                   "Error: cannot start the 128" + threads});
  if (geteuid() == 0) {  // the process limit binds every user but root
    cases.push_back({{{RLIMIT_NPROC, 1}},
                     "ITK_GLOBAL_DEFAULT_NUMBER_OF_THREADS=4",
                     "large.png",
                     "2",
                     "Error: cannot start the 4" + threads,
                     true});
  }
#endif
  for (const Case& c : cases) {
    ToolSetup setup;
    setup.limits = c.limits;
    if (!c.environment.empty()) setup.environment = {c.environment};
    setup.asNobody = c.asNobody;
    const std::vector<std::string> arguments = {"--input2d", Image(c.image), "--output",
                                                volume,      "-d",           c.depth};
    const ToolResult result = ToolProcess(arguments, setup).Wait(60);
    if (result.status == 127 && c.asNobody) {
      std::cout << "skipped: user nobody cannot run " << SLICE2VOL_EXECUTABLE << "\n";
      continue;
    }
    EXPECT_EQ(result.status, 2) << c.err;
    if (c.err.back() == '\n') {
      EXPECT_EQ(result.err, c.err);
    } else {
      const std::string start = c.err + ", more than the ";
      EXPECT_EQ(result.err.substr(0, start.size()), start);
      EXPECT_EQ(result.err.substr(result.err.size() - 17), " bytes available\n") << result.err;
    }
    EXPECT_TRUE(output.IsEmpty()) << c.err;
  }
}

}  // namespace
