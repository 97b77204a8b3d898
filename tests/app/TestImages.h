#ifndef SLICE2VOL_TESTS_TESTIMAGES_H
#define SLICE2VOL_TESTS_TESTIMAGES_H

#include <functional>
#include <string>

#include "itkImageIOBase.h"
#include "itkRGBPixel.h"

/// Writes a width x height image whose pixel (x, y) is value(x, y), through the given image IO.
template <typename Pixel>
void WriteTestImage(const std::string& path, unsigned width, unsigned height,
                    const std::function<Pixel(unsigned, unsigned)>& value, itk::ImageIOBase* io);

using RgbPixel = itk::RGBPixel<unsigned char>;

#endif
