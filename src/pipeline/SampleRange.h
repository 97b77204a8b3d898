#ifndef SLICE2VOL_PIPELINE_SAMPLERANGE_H
#define SLICE2VOL_PIPELINE_SAMPLERANGE_H

#include <vector>

#include "itkImageIOBase.h"

/// Throws a ReadFailure naming path and the range of the samples found when ITK's reader cannot
/// turn every one into a pixel the threshold can take at its true value: integers that 64-bit
/// integer pixels cannot hold, real samples that are not finite. pixels are in the system's
/// byte order, of the type io gives.
void CheckSampleRange(const char* path, const itk::ImageIOBase& io,
                      const std::vector<char>& pixels);

#endif
