#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
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

}  // namespace
