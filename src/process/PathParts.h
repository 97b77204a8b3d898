#ifndef SLICE2VOL_PROCESS_PATHPARTS_H
#define SLICE2VOL_PROCESS_PATHPARTS_H

#include <string>

/// The folder part of path with its final slash ("scans/", "/"), or an empty text for a bare
/// file name, so that FolderOf(path) + name names a file beside it.
std::string FolderOf(const std::string& path);

/// The part of path after its last slash.
std::string NameOf(const std::string& path);

#endif
