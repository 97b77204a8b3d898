#ifndef SLICE2VOL_APP_MEMORYBUDGET_H
#define SLICE2VOL_APP_MEMORYBUDGET_H

#include <cstdint>
#include <string>

/// The most memory this process can use, in bytes: the lowest of the machine's physical memory,
/// its control group's limit, and the room left under its address-space and data limits
/// (RLIMIT_AS, RLIMIT_DATA). Asked before large allocations so that a run that cannot fit fails
/// at once, instead of being killed by the system once overcommitted pages are touched, or
/// after minutes of work under a limit.
std::uint64_t AvailableMemoryBytes();

/// Empty when neededBytes fit in AvailableMemoryBytes; otherwise "N bytes, more than the M
/// bytes available", for a message that says what would not fit.
std::string DescribeMemoryShortfall(std::uint64_t neededBytes);

/// The lowest memory limit set for the control group named by a /proc/self/cgroup text, read
/// under cgroupRoot (normally /sys/fs/cgroup, which may hold version 1 and 2 hierarchies).
/// UINT64_MAX when none is set.
std::uint64_t ControlGroupMemoryLimit(const std::string& procSelfCgroup,
                                      const std::string& cgroupRoot);

/// a x b and a + b, held at UINT64_MAX instead of wrapping.
std::uint64_t SaturatingProduct(std::uint64_t a, std::uint64_t b);
std::uint64_t SaturatingSum(std::uint64_t a, std::uint64_t b);

#endif
