#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <random>

#include "CountingOtsuThresholdImageFilter.h"

namespace {

using Samples = itk::Image<std::int64_t, 2>;
using Binary = itk::Image<unsigned char, 2>;

Samples::Pointer MakeSamples(unsigned long width, unsigned long height,
                             const std::function<std::int64_t(std::size_t)>& sample) {
  auto image = Samples::New();
  image->SetRegions(Samples::SizeType{{width, height}});
  image->Allocate();
  for (std::size_t i = 0; i < width * height; ++i) image->GetBufferPointer()[i] = sample(i);
  return image;
}

// Configured as the tool configures its threshold filter.
template <typename Filter, typename Image>
typename Filter::Pointer Threshold(Image* samples) {
  auto filter = Filter::New();
  filter->SetReturnBinMidpoint(true);
  filter->SetInsideValue(0);
  filter->SetOutsideValue(255);
  filter->SetNumberOfHistogramBins(100);
  filter->SetInput(samples);
  filter->Update();
  return filter;
}

// The same samples at a narrower type, when they fit it.
template <typename Sample>
void ExpectSameAtType(const Samples* samples,
                      const itk::OtsuThresholdImageFilter<Samples, Binary>* stock) {
  const std::int64_t* values = samples->GetBufferPointer();
  const std::size_t pixels = samples->GetBufferedRegion().GetNumberOfPixels();
  auto narrow = itk::Image<Sample, 2>::New();
  narrow->SetRegions(samples->GetBufferedRegion());
  narrow->Allocate();
  for (std::size_t i = 0; i < pixels; ++i) {
    if (values[i] != static_cast<Sample>(values[i])) return;
    narrow->GetBufferPointer()[i] = static_cast<Sample>(values[i]);
  }
  const auto ours = Threshold<CountingOtsuThresholdImageFilter<Sample>>(narrow.GetPointer());
  EXPECT_EQ(ours->GetThreshold(), stock->GetThreshold()) << sizeof(Sample) << "-byte samples";
  EXPECT_EQ(std::memcmp(ours->GetOutput()->GetBufferPointer(),
                        stock->GetOutput()->GetBufferPointer(), pixels),
            0);
}

// The threshold and every pixel as ITK's filter gives them for the samples as 64-bit integers,
// with the samples at that type and at any narrower one the tool reads them at: for samples
// the table counts, and for those it leaves to ITK.
TEST(CountingOtsuThreshold, GivesItksThresholdAndImage) {
  std::mt19937_64 random(7);
  const std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
  const std::int64_t highest = std::numeric_limits<std::int64_t>::max();
  const struct {
    const char* name;
    unsigned long width, height;
    std::function<std::int64_t(std::size_t)> sample;
  } cases[] = {
      {"random 8-bit", 301, 211, [&](std::size_t) { return random() % 256; }},
      {"random 16-bit", 640, 480, [&](std::size_t) { return random() % 65536; }},
      {"signed 16-bit", 97, 89,
       [&](std::size_t) { return std::int64_t(random() % 65536) - 32768; }},
      {"two narrow peaks", 128, 128, [&](std::size_t) { return 1000 + 7 * (random() % 2); }},
      {"two levels", 64, 33, [](std::size_t i) { return i % 3 == 0 ? 255 : 0; }},
      {"ties: four equal levels", 40, 40, [](std::size_t i) { return 64 * (i % 4); }},
      {"constant", 17, 5, [](std::size_t) { return 42; }},
      {"one pixel", 1, 1, [](std::size_t) { return 0; }},
      {"the table's ends", 50, 50, [](std::size_t i) { return i % 2 ? 65535 : -32768; }},
      {"gradient", 4096, 3, [](std::size_t i) { return std::int64_t(i % 4096) / 16; }},
      {"beyond the table", 64, 64, [&](std::size_t) { return 65536 + random() % 1000; }},
      {"64-bit extremes", 8, 8, [&](std::size_t i) { return i % 2 ? highest : lowest; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Samples::Pointer samples = MakeSamples(c.width, c.height, c.sample);
    const auto ours =
        Threshold<CountingOtsuThresholdImageFilter<std::int64_t>>(samples.GetPointer());
    const auto stock =
        Threshold<itk::OtsuThresholdImageFilter<Samples, Binary>>(samples.GetPointer());
    EXPECT_EQ(ours->GetThreshold(), stock->GetThreshold());
    ASSERT_EQ(ours->GetOutput()->GetBufferedRegion(), stock->GetOutput()->GetBufferedRegion());
    EXPECT_EQ(std::memcmp(ours->GetOutput()->GetBufferPointer(),
                          stock->GetOutput()->GetBufferPointer(), c.width * c.height),
              0);
    ExpectSameAtType<std::int8_t>(samples, stock);
    ExpectSameAtType<std::uint8_t>(samples, stock);
    ExpectSameAtType<std::int16_t>(samples, stock);
    ExpectSameAtType<std::uint16_t>(samples, stock);
  }
}

}  // namespace
