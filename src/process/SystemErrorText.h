#ifndef SLICE2VOL_PROCESS_SYSTEMERRORTEXT_H
#define SLICE2VOL_PROCESS_SYSTEMERRORTEXT_H

#include <string>

/// The system's description of an errno value, starting with a small letter so that it reads
/// as the cause at the end of an error line ("no space left on device").
std::string SystemErrorText(int errorNumber);

#endif
