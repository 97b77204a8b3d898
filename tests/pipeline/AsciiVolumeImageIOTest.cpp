#include <gtest/gtest.h>

#include <random>
#include <string>

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
  image->Allocate();
  std::mt19937 random(seed);
  unsigned char* voxels = image->GetBufferPointer();
  for (size_t i = 0; i < image->GetBufferedRegion().GetNumberOfPixels(); ++i) {
    const unsigned draw = random() % 256;
    voxels[i] = !mostlyBinary || draw < 8 ? draw : (draw % 2 == 0 ? 0 : 255);
  }
  return image;
}

TEST(AsciiVolumeImageIO, SameBytesAsStockWriter) {
  struct Size {
    unsigned long w, h, d;
  };
  // Lines of six values, last lines of one to five, and a body of several write blocks.
  const Size sizes[] = {{1, 1, 1}, {2, 1, 1},  {3, 1, 1},     {4, 1, 1},  {5, 1, 1},
                        {6, 1, 1}, {7, 1, 1},  {8, 1, 1},     {10, 1, 1}, {12, 1, 1},
                        {7, 3, 2}, {1, 1, 13}, {301, 211, 17}};
  TempFolder folder;
  unsigned seed = 1;
  for (const bool mostlyBinary : {false, true}) {
    for (const Size& s : sizes) {
      const auto volume = MakeImage<Volume>({{s.w, s.h, s.d}}, seed++, mostlyBinary);
      auto stockIO = itk::VTKImageIO::New();
      auto ourIO = AsciiVolumeImageIO::New();
      stockIO->SetFileTypeToASCII();
      ourIO->SetFileTypeToASCII();
      OutputFile ours(folder.Path("ours.vtk").c_str());
      ourIO->SetOutput(&ours);
      WriteThroughImageIO(volume.GetPointer(), folder.Path("stock.vtk"), stockIO.GetPointer());
      WriteThroughImageIO(volume.GetPointer(), folder.Path("ours.vtk"), ourIO.GetPointer());
      const std::string stock = ReadFile(folder.Path("stock.vtk"));
      ASSERT_FALSE(stock.empty());
      EXPECT_TRUE(stock == ReadFile(folder.Path("ours.vtk")))
          << s.w << " x " << s.h << " x " << s.d << (mostlyBinary ? " mostly 0 and 255" : "");
    }
  }
}

// The tool's volumes: layers made by the tile filter and written a few at a time. Equal layers
// reuse their text, from memory for small ones and from the file for large ones; layers that
// differ are each formatted.
TEST(AsciiVolumeImageIO, StreamedLayersSameBytesAsStockWriter) {
  const struct {
    unsigned long w, h, depth;
    bool equalLayers;
    unsigned pieces;
  } cases[] = {{7, 3, 13, true, 13}, {1, 1, 13, true, 3},     {301, 211, 17, true, 6},
               {5, 5, 9, false, 4},  {250, 250, 4, false, 2}, {3, 4, 5, true, 4}};
  TempFolder folder;
  unsigned seed = 100;
  for (const auto& c : cases) {
    auto tile = LayerTileImageFilter::New();
    tile->SetLayout(LayerTileImageFilter::LayoutArrayType{{1, 1, 0}});
    for (unsigned k = 0; k < c.depth; ++k) {
      tile->SetInput(k, MakeImage<Slice>({{c.w, c.h}}, c.equalLayers ? seed : seed + k, true));
    }
    ++seed;
    tile->Update();
    auto stockIO = itk::VTKImageIO::New();
    stockIO->SetFileTypeToASCII();
    WriteThroughImageIO(tile->GetOutput(), folder.Path("stock.vtk"), stockIO.GetPointer());
    tile->GetOutput()->ReleaseData();

    auto writer = itk::ImageFileWriter<Volume>::New();
    writer->SetInput(tile->GetOutput());
    auto ourIO = AsciiVolumeImageIO::New();
    ourIO->SetFileTypeToASCII();
    OutputFile ours(folder.Path("ours.vtk").c_str());
    ourIO->SetOutput(&ours);
    writer->SetImageIO(ourIO);
    writer->SetFileName(folder.Path("ours.vtk"));
    writer->SetNumberOfStreamDivisions(c.pieces);
    writer->Update();
    EXPECT_TRUE(ReadFile(folder.Path("stock.vtk")) == ReadFile(folder.Path("ours.vtk")))
        << c.w << " x " << c.h << " x " << c.depth << " in " << c.pieces << " pieces";
  }
}

}  // namespace
