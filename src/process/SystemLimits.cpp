#include "SystemLimits.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <future>
#include <limits>
#include <sstream>
#include <vector>

#include "SaturatingArithmetic.h"

namespace {

constexpr std::uint64_t kUnlimited = std::numeric_limits<std::uint64_t>::max();

std::string ReadFirstLine(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  return line;
}

// A limit file holds a byte count, or "max" (version 2) when there is none; version 1 writes a
// huge number instead.
std::uint64_t ReadLimit(const std::string& path) {
  const std::string text = ReadFirstLine(path);
  std::uint64_t limit = kUnlimited;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), limit);
  return error == std::errc() && end == text.data() + text.size() ? limit : kUnlimited;
}

// A group's limit also binds its descendants, so every level from the group up to the root
// of the hierarchy counts.
std::uint64_t LowestLimitOnPath(const std::string& hierarchy, std::string group,
                                const std::string& fileName) {
  std::uint64_t lowest = kUnlimited;
  while (true) {
    lowest = std::min(lowest, ReadLimit(hierarchy + group + "/" + fileName));
    if (group.empty()) break;
    const std::size_t parentEnd = group.find_last_of('/');
    group.erase(parentEnd == std::string::npos ? 0 : parentEnd);
  }
  return lowest;
}

// The room left under a resource limit of the process: the limit less what /proc/self/status
// counts against it (in kB under statusField).
std::uint64_t RoomUnderLimit(int resource, const std::string& statusField) {
  rlimit limit{};
  if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kUnlimited;
  std::ifstream status("/proc/self/status");
  std::uint64_t usedKilobytes = 0;
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(statusField, 0) == 0) {
      usedKilobytes = std::strtoull(line.c_str() + statusField.size(), nullptr, 10);
      break;
    }
  }
  const std::uint64_t used = SaturatingProduct(usedKilobytes, 1024);
  return limit.rlim_cur > used ? limit.rlim_cur - used : 0;
}

}  // namespace

std::uint64_t ControlGroupMemoryLimit(const std::string& procSelfCgroup,
                                      const std::string& cgroupRoot) {
  std::uint64_t lowest = kUnlimited;
  std::istringstream lines(procSelfCgroup);
  // Each line is "id:controllers:path"; version 2 has id 0 and no controllers.
  for (std::string line; std::getline(lines, line);) {
    const std::size_t first = line.find(':');
    const std::size_t second = line.find(':', first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    const std::string controllers = line.substr(first + 1, second - first - 1);
    std::string group = line.substr(second + 1);
    if (group == "/") group.clear();
    if (controllers.empty()) {
      lowest = std::min(lowest, LowestLimitOnPath(cgroupRoot, group, "memory.max"));
      lowest = std::min(lowest, LowestLimitOnPath(cgroupRoot + "/unified", group, "memory.max"));
    } else if (("," + controllers + ",").find(",memory,") != std::string::npos) {
      lowest = std::min(lowest,
                        LowestLimitOnPath(cgroupRoot + "/memory", group, "memory.limit_in_bytes"));
    }
  }
  // Inside a container the process's own group is usually mounted as the root.
  lowest = std::min(lowest, ReadLimit(cgroupRoot + "/memory.max"));
  lowest = std::min(lowest, ReadLimit(cgroupRoot + "/memory/memory.limit_in_bytes"));
  return lowest;
}

std::uint64_t AvailableMemoryBytes() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  std::uint64_t physical = kUnlimited;
  if (pages > 0 && pageSize > 0) {
    physical =
        SaturatingProduct(static_cast<std::uint64_t>(pages), static_cast<std::uint64_t>(pageSize));
  }
  std::ifstream file("/proc/self/cgroup");
  std::ostringstream text;
  text << file.rdbuf();
  return std::min({physical, ControlGroupMemoryLimit(text.str(), "/sys/fs/cgroup"),
                   RoomUnderLimit(RLIMIT_AS, "VmSize:"), RoomUnderLimit(RLIMIT_DATA, "VmData:")});
}

int FindDescriptorShortage() {
  int opened[kDescriptorsNeeded];
  int count = 0;
  int error = 0;
  for (; count < kDescriptorsNeeded; ++count) {
    opened[count] = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
    if (opened[count] < 0) {
      error = errno;
      break;
    }
  }
  while (count > 0) close(opened[--count]);
  return error;
}

int FindThreadShortage(unsigned count) {
  // Every thread waits for the release, so that all live at once.
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::vector<pthread_t> threads;
  int error = 0;
  while (threads.size() < count && error == 0) {
    pthread_t thread{};
    error = pthread_create(
        &thread, nullptr,
        [](void* released) -> void* {
          static_cast<std::shared_future<void>*>(released)->wait();
          return nullptr;
        },
        &released);
    if (error == 0) threads.push_back(thread);
  }
  release.set_value();
  for (const pthread_t thread : threads) pthread_join(thread, nullptr);
  return error;
}
