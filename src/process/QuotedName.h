#ifndef SLICE2VOL_PROCESS_QUOTEDNAME_H
#define SLICE2VOL_PROCESS_QUOTEDNAME_H

#include <string>

/// A file name between single quotes, as the tool's error messages show it: 'scan.png'. Each run
/// of control characters or of bytes that are not valid UTF-8 is written as a $'...' segment of
/// C escapes between the quoted parts, as GNU tools show such names ('a'$'\n''b.png'), so that a
/// message always stays one line and nothing in a name reaches the terminal raw.
std::string QuotedName(const std::string& name);

#endif
