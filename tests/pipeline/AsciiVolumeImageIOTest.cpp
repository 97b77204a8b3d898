#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "AsciiVolumeImageIO.h"
#include "LayerTileImageFilter.h"
#include "TestFiles.h"
#include "TestImages.h"
#include "itkImage.h"
#include "itkImageFileWriter.h"
#include "itkVTKImageIO.h"

namespace {

using Volume = itk::Image<unsigned char, 3>;
using Slice = itk::Image<unsigned char, 2>;

// Any byte values, or mostly the 0 and 255 the tool writes with a few others among them.
template <typename Image>
typename Image::Pointer MakeImage(const typename Image::SizeType& size, unsigned seed,
                                  bool mostlyBinary) {
  auto image = Image::New();
  image->SetRegions(size);
  const double spacing[] = {0.25, 0.25, 0.25}, origin[] = {-1.5, -1.5, -1.5};  // a sign too
  image->SetSpacing(spacing);
  image->SetOrigin(origin);
  image->Allocate();
  std::mt19937 random(seed);
  unsigned char* voxels = image->GetBufferPointer();
  for (size_t i = 0; i < image->GetBufferedRegion().GetNumberOfPixels(); ++i) {
    const unsigned draw = random() % 256;
    voxels[i] = !mostlyBinary || draw < 8 ? draw : (draw % 2 == 0 ? 0 : 255);
  }
  return image;
}

// Byte for byte what ITK's writer writes: lines of six values, last lines of one to five, a body
// of several write blocks, any byte values or mostly the 0 and 255 the tool writes. The tool's
// volumes come from the tile filter a few layers at a time; equal layers reuse their text, from
// memory for small ones and from the file for large ones, and layers that differ are each
// formatted.
TEST(AsciiVolumeImageIO, SameBytesAsStockWriter) {
  struct Case {
    unsigned long w, h, depth;
    bool equalLayers;
    unsigned pieces;
  };
  std::vector<Case> cases = {{7, 3, 2, false, 1},  {1, 1, 13, false, 1}, {301, 211, 17, false, 1},
                             {7, 3, 13, true, 13}, {1, 1, 13, true, 3},  {301, 211, 17, true, 6},
                             {5, 5, 9, false, 4},  {3, 4, 5, true, 4},   {250, 250, 4, false, 2}};
  for (unsigned long w : {1, 2, 3, 4, 5, 6, 7, 8, 10, 12}) cases.push_back({w, 1, 1, false, 1});
  TempFolder folder;
  unsigned seed = 1;
  for (const bool mostlyBinary : {false, true}) {
    for (const Case& c : cases) {
      auto tile = LayerTileImageFilter::New();
      for (unsigned k = 0; k < c.depth; ++k) {
        tile->SetInput(
            k, MakeImage<Slice>({{c.w, c.h}}, c.equalLayers ? seed : seed + k, mostlyBinary));
      }
      seed += c.depth;
      tile->Update();
      auto stockIO = itk::VTKImageIO::New();
      stockIO->SetFileTypeToASCII();
      WriteThroughImageIO(tile->GetOutput(), folder.Path("stock.vtk"), stockIO.GetPointer());
      tile->GetOutput()->ReleaseData();

      auto writer = itk::ImageFileWriter<Volume>::New();
      writer->SetInput(tile->GetOutput());
      auto ourIO = AsciiVolumeImageIO::New();
      OutputFile ours(folder.Path("ours.vtk").c_str());
      ourIO->SetOutput(&ours);
      writer->SetImageIO(ourIO);
      writer->SetFileName(folder.Path("ours.vtk"));
      writer->SetNumberOfStreamDivisions(c.pieces);
      writer->Update();
      const std::string text = ReadFile(folder.Path("ours.vtk"));
      if (c.equalLayers) {
        EXPECT_EQ(AsciiVolumeImageIO::TextBytes(*tile->GetInput(0), c.depth), text.size());
      }
      EXPECT_TRUE(ReadFile(folder.Path("stock.vtk")) == text)
          << c.w << " x " << c.h << " x " << c.depth << " in " << c.pieces << " pieces"
          << (mostlyBinary ? ", mostly 0 and 255" : "");
    }
  }
}

}  // namespace
