#ifndef SLICE2VOL_PROCESS_QUOTEDNAME_H
#define SLICE2VOL_PROCESS_QUOTEDNAME_H

#include <string>

/// A file name as the tool's error messages show it, quoted as GNU tools quote it so that it can
/// be pasted back into a shell: between single quotes ('scan.png'), each single quote inside
/// written '\'' ('it'\''s $5.png'), or between double quotes when it holds a single quote and
/// nothing a shell reads inside double quotes ("it's.png"). Each run of control characters or
/// of bytes that are not valid UTF-8 is written as a $'...' segment of C escapes between the
/// quoted parts ('a'$'\n''b.png'), so that a message always stays one line and nothing in a
/// name reaches the terminal raw.
std::string QuotedName(const std::string& name);

#endif
