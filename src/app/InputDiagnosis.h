#ifndef SLICE2VOL_APP_INPUTDIAGNOSIS_H
#define SLICE2VOL_APP_INPUTDIAGNOSIS_H

#include <string>

/// Says in plain words why an input image could not be read, from checks of the file itself
/// (exists, is a regular readable file, is not empty, some registered image format claims it).
/// Called only after ITK has failed to read the file.
std::string DescribeUnreadableInput(const char* path);

#endif
