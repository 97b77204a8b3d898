#include "CountingOtsuThresholdImageFilter.h"

#include <vector>

#include "itkOtsuThresholdCalculator.h"

namespace {

constexpr std::int64_t kLowestCounted = -32768;
constexpr std::uint64_t kCountedValues = 65536 + 32768;

}  // namespace

CountingOtsuThresholdImageFilter::InputPixelType CountingOtsuThresholdImageFilter::GetThreshold()
    const {
  return counted_ ? threshold_ : Superclass::GetThreshold();
}

void CountingOtsuThresholdImageFilter::GenerateData() {
  std::vector<itk::SizeValueType> counts(kCountedValues);
  counted_ = GetMaskImage() == nullptr && GetAutoMinimumMaximum() && CountSamples(counts);
  if (!counted_) {
    Superclass::GenerateData();
    return;
  }
  ThresholdFromCounts(counts);
  FillBinaryImage();
}

bool CountingOtsuThresholdImageFilter::CountSamples(std::vector<itk::SizeValueType>& counts) const {
  const InputImageType* input = GetInput();
  const std::int64_t* sample = input->GetBufferPointer();
  const std::int64_t* const end = sample + input->GetBufferedRegion().GetNumberOfPixels();
  for (; sample < end; ++sample) {
    const std::uint64_t slot =
        static_cast<std::uint64_t>(*sample) - static_cast<std::uint64_t>(kLowestCounted);
    if (slot >= kCountedValues) return false;
    ++counts[slot];
  }
  return true;
}

// What ITK's histogram filter and calculator do with the same samples: the histogram spans the
// lowest to the highest sample, its top widened by a hundredth of a bin (the histogram
// filter's marginal scale), and each value lands in the bin ITK's own search finds for it.
void CountingOtsuThresholdImageFilter::ThresholdFromCounts(
    const std::vector<itk::SizeValueType>& counts) {
  std::size_t lowest = 0;
  while (counts[lowest] == 0) ++lowest;
  std::size_t highest = counts.size() - 1;
  while (counts[highest] == 0) --highest;

  const double bins = GetNumberOfHistogramBins();
  const auto minimum = static_cast<double>(kLowestCounted + static_cast<std::int64_t>(lowest));
  const auto maximum = static_cast<double>(kLowestCounted + static_cast<std::int64_t>(highest));
  HistogramType::MeasurementVectorType lower(1);
  HistogramType::MeasurementVectorType upper(1);
  lower.Fill(minimum);
  upper.Fill(maximum + ((maximum - minimum) / bins) / 100.0);
  HistogramType::SizeType size(1);
  size.Fill(GetNumberOfHistogramBins());

  const HistogramType::Pointer histogram = HistogramType::New();
  histogram->SetMeasurementVectorSize(1);
  histogram->Initialize(size, lower, upper);
  HistogramType::MeasurementVectorType value(1);
  HistogramType::IndexType bin(1);
  for (std::size_t slot = lowest; slot <= highest; ++slot) {
    if (counts[slot] == 0) continue;
    value.Fill(static_cast<double>(kLowestCounted + static_cast<std::int64_t>(slot)));
    histogram->GetIndex(value, bin);
    histogram->IncreaseFrequencyOfIndex(bin, counts[slot]);
  }

  using Calculator = itk::OtsuThresholdCalculator<HistogramType, InputPixelType>;
  auto* calculator = static_cast<Calculator*>(GetModifiableCalculator());
  calculator->SetReturnBinMidpoint(GetReturnBinMidpoint());
  calculator->SetInput(histogram);
  calculator->Update();
  threshold_ = calculator->GetThreshold();
  calculator->SetInput(nullptr);
}

// ITK's thresholding filter keeps everything from the lowest value to the threshold inside.
void CountingOtsuThresholdImageFilter::FillBinaryImage() {
  AllocateOutputs();
  const InputImageType* input = GetInput();
  const std::int64_t* sample = input->GetBufferPointer();
  const std::int64_t* const end = sample + input->GetBufferedRegion().GetNumberOfPixels();
  OutputPixelType* binary = GetOutput()->GetBufferPointer();
  const OutputPixelType inside = GetInsideValue();
  const OutputPixelType outside = GetOutsideValue();
  for (; sample < end; ++sample, ++binary) *binary = *sample <= threshold_ ? inside : outside;
}
