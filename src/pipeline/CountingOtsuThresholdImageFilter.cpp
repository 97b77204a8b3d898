#include "CountingOtsuThresholdImageFilter.h"

#include <array>
#include <vector>

#include "itkOtsuThresholdCalculator.h"

namespace {

constexpr std::int64_t kLowestCounted = -32768;
constexpr std::uint64_t kCountedValues = 65536 + 32768;

}  // namespace

template <typename Sample>
Sample CountingOtsuThresholdImageFilter<Sample>::GetThreshold() const {
  return counted_ ? threshold_ : Superclass::GetThreshold();
}

template <typename Sample>
void CountingOtsuThresholdImageFilter<Sample>::GenerateData() {
  std::vector<itk::SizeValueType> counts(kCountedValues);
  counted_ =
      this->GetMaskImage() == nullptr && this->GetAutoMinimumMaximum() && CountSamples(counts);
  if (!counted_) {
    Superclass::GenerateData();
    return;
  }
  ThresholdFromCounts(counts);
  FillBinaryImage();
}

template <typename Sample>
bool CountingOtsuThresholdImageFilter<Sample>::CountSamples(
    std::vector<itk::SizeValueType>& counts) const {
  const auto* input = this->GetInput();
  const Sample* const samples = input->GetBufferPointer();
  const std::size_t size = input->GetBufferedRegion().GetNumberOfPixels();
  if constexpr (sizeof(Sample) == 1) {
    // Four tables in turn: runs of equal samples would otherwise wait on their own count.
    std::array<std::array<itk::SizeValueType, 256>, 4> tables{};
    std::size_t i = 0;
    for (; i + 4 <= size; i += 4) {
      for (std::size_t k = 0; k < 4; ++k) ++tables[k][static_cast<unsigned char>(samples[i + k])];
    }
    for (; i < size; ++i) ++tables[0][static_cast<unsigned char>(samples[i])];
    for (unsigned byte = 0; byte < 256; ++byte) {
      const auto value = static_cast<Sample>(static_cast<unsigned char>(byte));
      counts[static_cast<std::size_t>(value - kLowestCounted)] =
          tables[0][byte] + tables[1][byte] + tables[2][byte] + tables[3][byte];
    }
    return true;
  }
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint64_t slot = static_cast<std::uint64_t>(static_cast<std::int64_t>(samples[i])) -
                               static_cast<std::uint64_t>(kLowestCounted);
    if (slot >= kCountedValues) return false;
    ++counts[slot];
  }
  return true;
}

// What ITK's histogram filter and calculator do with the same samples: the histogram spans the
// lowest to the highest sample, its top widened by a hundredth of a bin (the histogram
// filter's marginal scale), and each value lands in the bin ITK's own search finds for it.
template <typename Sample>
void CountingOtsuThresholdImageFilter<Sample>::ThresholdFromCounts(
    const std::vector<itk::SizeValueType>& counts) {
  std::size_t lowest = 0;
  while (counts[lowest] == 0) ++lowest;
  std::size_t highest = counts.size() - 1;
  while (counts[highest] == 0) --highest;

  const double bins = this->GetNumberOfHistogramBins();
  const auto minimum = static_cast<double>(kLowestCounted + static_cast<std::int64_t>(lowest));
  const auto maximum = static_cast<double>(kLowestCounted + static_cast<std::int64_t>(highest));
  // One measure per sample: the histogram and every vector it takes have one dimension.
  constexpr unsigned kMeasures = 1;
  typename HistogramType::MeasurementVectorType lower(kMeasures, minimum);
  typename HistogramType::MeasurementVectorType upper(
      kMeasures, maximum + ((maximum - minimum) / bins) / 100.0);
  const typename HistogramType::SizeType size(kMeasures, this->GetNumberOfHistogramBins());

  const typename HistogramType::Pointer histogram = HistogramType::New();
  histogram->SetMeasurementVectorSize(kMeasures);
  histogram->Initialize(size, lower, upper);
  typename HistogramType::MeasurementVectorType value(kMeasures);
  typename HistogramType::IndexType bin(kMeasures);
  for (std::size_t slot = lowest; slot <= highest; ++slot) {
    if (counts[slot] == 0) continue;
    value.Fill(static_cast<double>(kLowestCounted + static_cast<std::int64_t>(slot)));
    histogram->GetIndex(value, bin);
    histogram->IncreaseFrequencyOfIndex(bin, counts[slot]);
  }

  using Calculator = itk::OtsuThresholdCalculator<HistogramType, Sample>;
  auto* calculator = static_cast<Calculator*>(this->GetModifiableCalculator());
  calculator->SetReturnBinMidpoint(this->GetReturnBinMidpoint());
  calculator->SetInput(histogram);
  calculator->Update();
  threshold_ = calculator->GetThreshold();
  calculator->SetInput(nullptr);
}

// ITK's thresholding filter keeps everything from the lowest value to the threshold inside.
template <typename Sample>
void CountingOtsuThresholdImageFilter<Sample>::FillBinaryImage() {
  this->AllocateOutputs();
  const auto* input = this->GetInput();
  const Sample* sample = input->GetBufferPointer();
  const Sample* const end = sample + input->GetBufferedRegion().GetNumberOfPixels();
  unsigned char* binary = this->GetOutput()->GetBufferPointer();
  const unsigned char inside = this->GetInsideValue();
  const unsigned char outside = this->GetOutsideValue();
  for (; sample < end; ++sample, ++binary) *binary = *sample <= threshold_ ? inside : outside;
}

// The sample types the tool reads slices at.
template class CountingOtsuThresholdImageFilter<std::int8_t>;
template class CountingOtsuThresholdImageFilter<std::uint8_t>;
template class CountingOtsuThresholdImageFilter<std::int16_t>;
template class CountingOtsuThresholdImageFilter<std::uint16_t>;
template class CountingOtsuThresholdImageFilter<std::int64_t>;
