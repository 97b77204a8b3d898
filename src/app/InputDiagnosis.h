#ifndef SLICE2VOL_APP_INPUTDIAGNOSIS_H
#define SLICE2VOL_APP_INPUTDIAGNOSIS_H

#include <string>

/// Why the input cannot be an image file at all, in plain words: it is missing, not a regular
/// file, unreadable or empty. Empty when none of these holds. Cheap enough to ask before ITK
/// opens the file, which spares the user the image libraries' own noise about folders.
std::string FindInputFileProblem(const char* path);

/// Why ITK could not read an input that FindInputFileProblem let through: no registered image
/// format recognises the file, or the format that does could not decode it.
std::string DescribeUnreadableInput(const char* path);

#endif
