#ifndef SLICE2VOL_PROCESS_DESCRIPTORCHECK_H
#define SLICE2VOL_PROCESS_DESCRIPTORCHECK_H

/// The file descriptors a run may hold open at once besides standard input, output and error:
/// twice the most any input format needed when measured (the output's folder and file, the
/// libraries' own files, the streams set aside while the libraries are quiet).
constexpr int kDescriptorsNeeded = 8;

/// 0 when the process can open kDescriptorsNeeded more files, or else the system's error number
/// (EMFILE, ENFILE). The image libraries report a file they cannot open as a damaged image, so
/// the shortage is found before they start.
int FindDescriptorShortage();

#endif
