#ifndef SLICE2VOL_APP_FAITHFULREAD_H
#define SLICE2VOL_APP_FAITHFULREAD_H

#include <vector>

#include "itkImageIOBase.h"

/// Reads the whole image through io twice: into buffers filled beforehand with two different
/// byte patterns, while the C library fills fresh and freed memory with two different patterns
/// too. A reader that writes every pixel from what the file holds gives the same bytes both
/// times; one that leaves pixels unwritten, or copies them from memory it never filled (a cut
/// or corrupt stream, a header that promises more than the file holds), does not. Returns the
/// pixels, or an empty buffer when the two reads differ. io must have read the image
/// information.
std::vector<char> ReadPixelsFaithfully(itk::ImageIOBase& io);

#endif
