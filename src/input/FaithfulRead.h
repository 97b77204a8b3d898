#ifndef SLICE2VOL_INPUT_FAITHFULREAD_H
#define SLICE2VOL_INPUT_FAITHFULREAD_H

#include <vector>

#include "itkImageIOBase.h"

/// An image as its format's image IO read it: its information and its pixels, in the system's
/// byte order.
struct ReadImage {
  itk::ImageIOBase::Pointer io;
  std::vector<char> pixels;
};

/// Reads the image that probe has found, header and pixels, through a new image IO of probe's
/// format: into a buffer filled beforehand with a byte pattern, while the C library fills fresh
/// and freed memory with that pattern and its complement. A reader that leaves pixels unwritten,
/// or takes values from memory it never filled (a cut or corrupt stream, a header field it could
/// not parse, a header that promises more than the file holds), leaves runs of those bytes, or
/// information that differs from probe's. Only when the pixels hold such a run is the image read
/// a second time, with the patterns swapped: a reader that takes every value from the file gives
/// the same image again. Returns the image, or one without pixels when the reads differ.
ReadImage ReadImageFaithfully(const itk::ImageIOBase& probe);

#endif
