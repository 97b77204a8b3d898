#ifndef SLICE2VOL_PIPELINE_COUNTINGOTSUTHRESHOLDIMAGEFILTER_H
#define SLICE2VOL_PIPELINE_COUNTINGOTSUTHRESHOLDIMAGEFILTER_H

#include <cstdint>
#include <vector>

#include "itkImage.h"
#include "itkOtsuThresholdImageFilter.h"

/// ITK's Otsu threshold filter for slices of integer samples, with the same threshold and the
/// same binary image as ITK's filter gives for those samples as 64-bit integers, at a fraction
/// of the cost. ITK's filter runs a histogram filter that finds each pixel's bin through a search
/// over float bin edges, then a thresholding filter. This one counts the samples once into a
/// table of every value from -32768 to 65535, then fills ITK's own histogram, with ITK's own bin
/// edges and bin search, with each value's count, and hands it to ITK's own Otsu calculator.
/// Samples outside the table, a mask, or a fixed histogram range are left to ITK's filter.
///
/// The histogram spans the samples found, as ITK's does for 64-bit integers, whatever Sample is:
/// 8- and 16-bit slices can be kept at their own type (ITK's filter would span every value an
/// 8-bit type can hold).
template <typename Sample>
class CountingOtsuThresholdImageFilter
    : public itk::OtsuThresholdImageFilter<itk::Image<Sample, 2>, itk::Image<unsigned char, 2>> {
 public:
  using Self = CountingOtsuThresholdImageFilter;
  using Superclass =
      itk::OtsuThresholdImageFilter<itk::Image<Sample, 2>, itk::Image<unsigned char, 2>>;
  using Pointer = itk::SmartPointer<Self>;
  using typename Superclass::HistogramType;

  itkNewMacro(Self);

  Sample GetThreshold() const override;

 protected:
  CountingOtsuThresholdImageFilter() { this->SetAutoMinimumMaximum(true); }
  ~CountingOtsuThresholdImageFilter() override = default;

  void GenerateData() override;

 private:
  bool CountSamples(std::vector<itk::SizeValueType>& counts) const;
  void ThresholdFromCounts(const std::vector<itk::SizeValueType>& counts);
  void FillBinaryImage();

  bool counted_ = false;
  Sample threshold_{};
};

#endif
