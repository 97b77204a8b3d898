#include "LayerTileImageFilter.h"

#include <cstring>

// As ITK's filter does for the layout (1, 1, 0): the first input's spacing and origin, 1 and 0
// along the stack, and one layer per input.
void LayerTileImageFilter::GenerateOutputInformation() {
  const InputImageType* first = GetInput(0);
  OutputImageType* output = GetOutput();
  OutputImageType::SpacingType spacing;
  OutputImageType::PointType origin;
  OutputImageType::SizeType size;
  for (unsigned i = 0; i < 2; ++i) {
    spacing[i] = first->GetSpacing()[i];
    origin[i] = first->GetOrigin()[i];
    size[i] = first->GetLargestPossibleRegion().GetSize()[i];
  }
  spacing[2] = 1.0;
  origin[2] = 0.0;
  size[2] = GetNumberOfIndexedInputs();
  output->SetSpacing(spacing);
  output->SetOrigin(origin);
  output->SetLargestPossibleRegion(OutputImageType::RegionType(size));
}

// Only the layers asked for: a writer that takes the volume in pieces never holds it whole.
// ITK's writer splits a volume along its last axis, so every piece is whole layers. A single
// layer shares its slice's pixels instead of copying them; the output gets pixels of its own
// again before layers are copied into it.
void LayerTileImageFilter::GenerateData() {
  OutputImageType* output = GetOutput();
  const OutputImageType::RegionType layers = output->GetRequestedRegion();
  const auto first = static_cast<unsigned>(layers.GetIndex(2));
  if (layers.GetSize(2) == 1) {
    output->SetBufferedRegion(layers);
    output->SetPixelContainer(const_cast<InputImageType*>(GetInput(first))->GetPixelContainer());
    return;
  }
  output->SetPixelContainer(OutputImageType::PixelContainer::New());
  AllocateOutputs();
  unsigned char* layer = output->GetBufferPointer();
  const std::size_t layerSize = GetInput(0)->GetLargestPossibleRegion().GetNumberOfPixels();
  for (unsigned k = first; k < first + layers.GetSize(2); ++k, layer += layerSize) {
    std::memcpy(layer, GetInput(k)->GetBufferPointer(), layerSize);
  }
}
