#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "SystemLimits.h"
#include "TestFiles.h"

namespace {

constexpr std::uint64_t kNone = std::numeric_limits<std::uint64_t>::max();

TEST(ControlGroupMemoryLimit, LowestLimitOnTheWayToTheRoot) {
  struct Case {
    const char* procSelfCgroup;
    std::vector<std::pair<std::string, std::string>> files;  // path under the root, contents
    std::uint64_t limit;
  };
  const Case cases[] = {
      {"0::/\n", {{"memory.max", "max\n"}}, kNone},
      {"0::/user/job\n",
       {{"user/memory.max", "1000000\n"}, {"user/job/memory.max", "max\n"}},
       1000000},
      {"0::/user/job\n", {{"user/memory.max", "9000\n"}, {"user/job/memory.max", "5000\n"}}, 5000},
      {"0::/job\n", {{"unified/job/memory.max", "7000\n"}}, 7000},
      {"4:memory:/job\n1:cpu:/job\n0::/\n", {{"memory/job/memory.limit_in_bytes", "2000\n"}}, 2000},
      {"4:cpuacct,memory:/job\n", {{"memory/job/memory.limit_in_bytes", "2500\n"}}, 2500},
      // A container mounts its own group as the hierarchy's root.
      {"4:memory:/elsewhere/abc\n", {{"memory/memory.limit_in_bytes", "3000\n"}}, 3000},
      {"4:memory:/job\n", {{"memory/job/memory.limit_in_bytes", "garbage\n"}}, kNone},
      {"not a cgroup line\n", {}, kNone},
  };
  for (const Case& c : cases) {
    const TempFolder root;
    for (const auto& [path, contents] : c.files) {
      std::filesystem::create_directories(std::filesystem::path(root.Path(path)).parent_path());
      WriteFile(root.Path(path), contents);
    }
    EXPECT_EQ(ControlGroupMemoryLimit(c.procSelfCgroup, root.Path(".")), c.limit)
        << c.procSelfCgroup;
  }
}

// The room under an address-space or data limit: the limit less what the process holds of it.
// The sanitizers reserve more address space than any such limit.
#ifndef SLICE2VOL_SANITIZED
TEST(AvailableMemoryBytes, RoomUnderTheProcessLimits) {
  for (const auto& [resource, field] :
       {std::pair{RLIMIT_AS, "VmSize:"}, {RLIMIT_DATA, "VmData:"}}) {
    rlimit saved{};
    getrlimit(resource, &saved);
    const std::uint64_t limit = AvailableMemoryBytes() / 2;  // under the machine's and group's
    const rlimit halved = {limit, saved.rlim_max};
    ASSERT_EQ(setrlimit(resource, &halved), 0);
    const std::uint64_t room = AvailableMemoryBytes();
    setrlimit(resource, &saved);
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line) && line.rfind(field, 0) != 0) continue;
    const std::uint64_t used = std::stoull(line.substr(std::strlen(field))) * 1024;
    EXPECT_NEAR(static_cast<double>(room), static_cast<double>(limit - used), 4096) << field;
  }
}
#endif

}  // namespace
