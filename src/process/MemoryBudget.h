#ifndef SLICE2VOL_PROCESS_MEMORYBUDGET_H
#define SLICE2VOL_PROCESS_MEMORYBUDGET_H

#include <cstdint>
#include <string>

/// The most memory this process can use, in bytes: the lowest of the machine's physical memory,
/// its control group's limit, and the room left under its address-space and data limits
/// (RLIMIT_AS, RLIMIT_DATA). Asked before large allocations so that a run that cannot fit fails
/// at once, instead of being killed by the system once overcommitted pages are touched, or
/// after minutes of work under a limit.
std::uint64_t AvailableMemoryBytes();

/// The lowest memory limit set for the control group named by a /proc/self/cgroup text, read
/// under cgroupRoot (normally /sys/fs/cgroup, which may hold version 1 and 2 hierarchies).
/// UINT64_MAX when none is set.
std::uint64_t ControlGroupMemoryLimit(const std::string& procSelfCgroup,
                                      const std::string& cgroupRoot);

#endif
