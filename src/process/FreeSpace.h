#ifndef SLICE2VOL_PROCESS_FREESPACE_H
#define SLICE2VOL_PROCESS_FREESPACE_H

#include <cstdint>
#include <optional>

/// The bytes free for a new file written at path (a regular file, or a path where nothing
/// exists yet) on the file system that will hold it, as the system reports them for this
/// process (the blocks kept for the superuser count only for the superuser). Nothing when path
/// leads to anything else (a device, a FIFO), whose room cannot be known, on a file system that
/// is read-only or gives no size, or when the system cannot tell; writing then finds out.
std::optional<std::uint64_t> FreeSpaceFor(const char* path);

#endif
