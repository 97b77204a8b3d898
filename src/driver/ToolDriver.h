#ifndef SLICE2VOL_DRIVER_TOOLDRIVER_H
#define SLICE2VOL_DRIVER_TOOLDRIVER_H

/// Runs the tool on its command line and returns the exit status: 0 for the usage text and for
/// a written volume, 1 for a command-line error (message on standard output), 2 when the volume
/// cannot be made (one "Error: " line on standard error).
int RunTool(int argc, char* argv[]);

#endif
