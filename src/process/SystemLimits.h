#ifndef SLICE2VOL_PROCESS_SYSTEMLIMITS_H
#define SLICE2VOL_PROCESS_SYSTEMLIMITS_H

#include <cstdint>
#include <string>

// What the system lets the run take, found before the image libraries start: they would report
// a file they cannot open as a damaged image, end the process on a thread they cannot start,
// and be killed by the system when overcommitted memory runs out.

/// The file descriptors a run may hold open at once besides standard input, output and error:
/// twice the most any input format needed when measured (the output's folder and file, the
/// libraries' own files, the streams set aside while the libraries are quiet).
constexpr int kDescriptorsNeeded = 8;

/// 0 when the process can open kDescriptorsNeeded more files, or else the system's error number
/// (EMFILE, ENFILE).
int FindDescriptorShortage();

/// 0 when count threads can run at once, as ITK's thread pool runs them, or else the system's
/// error number (a process or address-space limit). They are started and ended again: the pool
/// cannot report a thread it fails to start, it ends the process.
int FindThreadShortage(unsigned count);

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
