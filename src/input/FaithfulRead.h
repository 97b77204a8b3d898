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

/// Reads the image that probe has found, header and pixels, twice, each time through a new
/// image IO of probe's format: into buffers filled beforehand with two different byte patterns,
/// while the C library fills fresh and freed memory with two different patterns too. A reader
/// that takes every value from what the file holds gives the same image both times, and the
/// same information as probe; one that leaves pixels unwritten, or takes values from memory it
/// never filled (a cut or corrupt stream, a header field it could not parse, a header that
/// promises more than the file holds), does not. Returns the image, or one without pixels when
/// the reads differ.
ReadImage ReadImageFaithfully(const itk::ImageIOBase& probe);

#endif
