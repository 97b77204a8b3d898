#ifndef SLICE2VOL_PIPELINE_LAYERTILEIMAGEFILTER_H
#define SLICE2VOL_PIPELINE_LAYERTILEIMAGEFILTER_H

#include "itkImage.h"
#include "itkTileImageFilter.h"

/// ITK's tile filter for stacking 2D slices of one size into the layers of a volume: the result
/// of ITK's own with the layout (1, 1, 0), layer k being input k, whatever layout is set, at a
/// cost linear in the number of layers. ITK's own filter keeps a tile record per input and
/// pastes each input through a filter of its own, registered with a progress accumulator that
/// walks every earlier one: thousands of layers take minutes. This one computes the output's
/// extent directly and copies each input's pixels into its layer, making only the layers asked
/// for.
class LayerTileImageFilter
    : public itk::TileImageFilter<itk::Image<unsigned char, 2>, itk::Image<unsigned char, 3>> {
 public:
  using Self = LayerTileImageFilter;
  using Superclass =
      itk::TileImageFilter<itk::Image<unsigned char, 2>, itk::Image<unsigned char, 3>>;
  using Pointer = itk::SmartPointer<Self>;

  itkNewMacro(Self);

 protected:
  LayerTileImageFilter() = default;
  ~LayerTileImageFilter() override = default;

  void GenerateOutputInformation() override;
  void GenerateData() override;
};

#endif
