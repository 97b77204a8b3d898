#ifndef SLICE2VOL_INPUT_FAITHFULREAD_H
#define SLICE2VOL_INPUT_FAITHFULREAD_H

#include <vector>

#include "itkImageIOBase.h"

// A reader that leaves pixels unwritten, or takes values from memory it never filled (a cut or
// corrupt stream, a header field it could not parse, a header that promises more than the file
// holds), is caught by reading under known bytes: the C library fills fresh and freed memory
// with a byte pattern and its complement, and the pixel buffer starts filled with the pattern.

/// Reads io's header (its file name set) with memory filled as for the first read of its pixels.
void ReadInformationUnderFill(itk::ImageIOBase& io);

/// Reads the pixels of the image whose header io has read, in the system's byte order. When
/// they hold a run of the fill bytes, or always when readTwice, the image is read a second time
/// by a new image IO of its format with the patterns swapped: a reader that takes every value
/// from the file gives the same image again. Returns the pixels, or none when the reads differ.
std::vector<char> ReadPixelsFaithfully(itk::ImageIOBase& io, bool readTwice);

#endif
