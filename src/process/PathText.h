#ifndef SLICE2VOL_PROCESS_PATHTEXT_H
#define SLICE2VOL_PROCESS_PATHTEXT_H

#include <string>

// Paths as the tool splits them and shows them, and the system's words for why one failed.

/// The folder part of path with its final slash ("scans/", "/"), or an empty text for a bare
/// file name, so that FolderOf(path) + name names a file beside it.
std::string FolderOf(const std::string& path);

/// The part of path after its last slash.
std::string NameOf(const std::string& path);

/// A file name as the tool's error messages show it, quoted as GNU tools quote it so that it can
/// be pasted back into a shell: between single quotes ('scan.png'), each single quote inside
/// written '\'' ('it'\''s $5.png'), or between double quotes when it holds a single quote and
/// nothing a shell reads inside double quotes ("it's.png"). Each run of control characters or
/// of bytes that are not valid UTF-8 is written as a $'...' segment of C escapes between the
/// quoted parts ('a'$'\n''b.png'), so that a message always stays one line and nothing in a
/// name reaches the terminal raw.
std::string QuotedName(const std::string& name);

/// The system's description of an errno value, starting with a small letter so that it reads
/// as the cause at the end of an error line ("no space left on device").
std::string SystemErrorText(int errorNumber);

#endif
