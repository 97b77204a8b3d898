#ifndef SLICE2VOL_INPUT_INPUTCHECK_H
#define SLICE2VOL_INPUT_INPUTCHECK_H

#include <cstdint>
#include <string>
#include <vector>

#include "itkImageIOBase.h"

/// The input image, read and checked: the image IO that read it, with its header's information,
/// and its pixels, in the system's byte order.
struct CheckedInput {
  itk::ImageIOBase::Pointer io;
  std::vector<char> pixels;
  std::vector<std::string> files;  // the image file and any data files its header names
};

/// Reads the 2D image at path once it is sure the file holds it faithfully, and throws a
/// ReadFailure naming the path and the cause when it cannot: the file, or a data file its
/// header names, is missing, not a regular file (a FIFO would block the reader forever),
/// unreadable or empty; no registered image format recognises it; it is damaged (its header
/// cannot be decoded, its compressed data is cut or corrupt, it ends before its pixels, or its
/// reader leaves pixels unwritten); it holds more than one slice; reading its pixels would take
/// more than availableMemory bytes; it holds samples that neither 64-bit integer nor double
/// pixels can hold; or a file changed while it was read. Run under a CrashGuard: the decoders
/// behind the formats can crash on corrupt files.
CheckedInput ReadCheckedInput(const char* path, std::uint64_t availableMemory);

#endif
