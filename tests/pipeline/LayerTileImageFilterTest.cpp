#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "LayerTileImageFilter.h"
#include "itkTileImageFilter.h"

namespace {

using Slice = itk::Image<unsigned char, 2>;
using Volume = itk::Image<unsigned char, 3>;

Slice::Pointer MakeSlice(unsigned long width, unsigned long height, unsigned seed) {
  auto slice = Slice::New();
  slice->SetRegions(Slice::SizeType{{width, height}});
  slice->Allocate();
  const double spacing[] = {0.5, 2.0};
  const double origin[] = {-3.0, 7.25};
  slice->SetSpacing(spacing);
  slice->SetOrigin(origin);
  std::mt19937 random(seed);
  for (std::size_t i = 0; i < width * height; ++i) slice->GetBufferPointer()[i] = random() % 256;
  return slice;
}

template <typename Filter>
Volume::Pointer Tile(const std::vector<Slice::Pointer>& inputs) {
  auto filter = Filter::New();
  filter->SetLayout(typename Filter::LayoutArrayType{{1, 1, 0}});
  for (unsigned k = 0; k < inputs.size(); ++k) filter->SetInput(k, inputs[k]);
  filter->Update();
  return filter->GetOutput();
}

void ExpectSameVolume(const Volume* ours, const Volume* stock) {
  ASSERT_EQ(ours->GetLargestPossibleRegion(), stock->GetLargestPossibleRegion());
  EXPECT_EQ(ours->GetBufferedRegion(), stock->GetBufferedRegion());
  EXPECT_EQ(ours->GetSpacing(), stock->GetSpacing());
  EXPECT_EQ(ours->GetOrigin(), stock->GetOrigin());
  EXPECT_EQ(ours->GetDirection(), stock->GetDirection());
  EXPECT_EQ(std::memcmp(ours->GetBufferPointer(), stock->GetBufferPointer(),
                        ours->GetLargestPossibleRegion().GetNumberOfPixels()),
            0);
}

// Layer k is input k, whatever the inputs hold, with the first one's spacing and origin.
TEST(LayerTileImageFilter, SameVolumeAsItkTileFilter) {
  const std::vector<Slice::Pointer> cases[] = {
      std::vector<Slice::Pointer>(13, MakeSlice(1, 1, 2)),
      {MakeSlice(9, 6, 1)},
      {MakeSlice(4, 3, 4), MakeSlice(4, 3, 5), MakeSlice(4, 3, 6)},
  };
  for (const auto& inputs : cases) {
    SCOPED_TRACE(testing::Message() << "case " << &inputs - cases);
    ExpectSameVolume(Tile<LayerTileImageFilter>(inputs),
                     Tile<itk::TileImageFilter<Slice, Volume>>(inputs));
  }
}

}  // namespace
