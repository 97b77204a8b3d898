// ITK's own reader, through its VTK image IO, opens the tool's volumes: size, spacing, origin
// and every voxel as asked (dark pixels 0, bright ones 255, every layer the slice), from an
// input with a spacing and an origin of its own.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "TestImages.h"
#include "ToolRun.h"
#include "itkImageFileReader.h"
#include "itkImageRegionConstIteratorWithIndex.h"
#include "itkMetaImageIO.h"
#include "itkVTKImageIO.h"

namespace {

using Slice = itk::Image<std::uint8_t, 2>;
using Volume = itk::Image<std::uint8_t, 3>;

// Two grey levels, so any threshold between them gives this slice.
bool IsBright(itk::IndexValueType x, itk::IndexValueType y) { return (x * y + x) % 3 == 0; }

TEST(ItkReader, OpensTheToolsVolumes) {
  TempFolder folder;
  auto image = Slice::New();
  image->SetRegions(Slice::SizeType{{20, 15}});
  image->Allocate();
  const double spacing[] = {0.5, 2.0};
  const double origin[] = {10.0, -4.0};
  image->SetSpacing(spacing);
  image->SetOrigin(origin);
  for (itk::ImageRegionIteratorWithIndex<Slice> it(image, image->GetBufferedRegion());
       !it.IsAtEnd(); ++it) {
    it.Set(IsBright(it.GetIndex()[0], it.GetIndex()[1]) ? 200 : 30);
  }
  const std::string input = folder.Path("levels.mha");
  WriteThroughImageIO(image.GetPointer(), itk::MetaImageIO::New(), input);

  struct Case {
    std::vector<std::string> options;
    itk::IndexValueType x0, y0;
    itk::SizeValueType width, height, depth;
  };
  const Case cases[] = {
      {{}, 0, 0, 20, 15, 10},
      {{"-r", "3 4 11 7", "-d", "2"}, 3, 4, 11, 7, 2},
      {{"-r", "0 14 20 1", "-d", "1"}, 0, 14, 20, 1, 1},
  };
  for (const Case& c : cases) {
    const std::string output = folder.Path("out.vtk");
    std::vector<std::string> arguments = {"--input2d", input, "--output", output};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    ASSERT_EQ(RunTool(arguments).status, 0) << Shown(arguments);

    auto reader = itk::ImageFileReader<Volume>::New();
    reader->SetImageIO(itk::VTKImageIO::New());
    reader->SetFileName(output);
    reader->Update();
    const Volume* volume = reader->GetOutput();
    EXPECT_EQ(volume->GetLargestPossibleRegion().GetSize(),
              (Volume::SizeType{{c.width, c.height, c.depth}}))
        << Shown(arguments);
    const double expectedSpacing[] = {0.5, 2.0, 1.0};
    const double expectedOrigin[] = {10.0 + 0.5 * c.x0, -4.0 + 2.0 * c.y0, 0.0};
    for (unsigned axis = 0; axis < 3; ++axis) {
      EXPECT_EQ(volume->GetSpacing()[axis], expectedSpacing[axis]) << Shown(arguments) << axis;
      EXPECT_EQ(volume->GetOrigin()[axis], expectedOrigin[axis]) << Shown(arguments) << axis;
    }
    int wrongVoxels = 0;
    for (itk::ImageRegionConstIteratorWithIndex<Volume> it(volume, volume->GetBufferedRegion());
         !it.IsAtEnd(); ++it) {
      const bool bright = IsBright(c.x0 + it.GetIndex()[0], c.y0 + it.GetIndex()[1]);
      wrongVoxels += it.Get() != (bright ? 255 : 0);
    }
    EXPECT_EQ(wrongVoxels, 0) << Shown(arguments);
  }
}

}  // namespace
