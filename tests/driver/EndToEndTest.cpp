// Runs the built executable on images the tests write, and checks its exit status, its exact
// standard output and error, and the volume file byte for byte.

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "PlainPipeline.h"
#include "TestFiles.h"
#include "TestImages.h"
#include "ToolRun.h"
#include "itkBMPImageIO.h"
#include "itkGDCMImageIO.h"
#include "itkJPEGImageIO.h"
#include "itkMetaImageIO.h"
#include "itkPNGImageIO.h"
#include "itkTIFFImageIO.h"

namespace {

const std::string kUsage =
    "\n"
    "Usage: slice2vol options\n"
    "\n"
    " -h  --help  \t\tPrints this help \n"
    " -r  --region  \tROI as \"x y sx sy\" \n"
    " -d  --depth  \tnumber of slices to replicate in 2D \n"
    "     --input2d  \tsingle input file \n"
    "     --input3d  \ttext file with the list of 2D slices \n"
    "\n"
    "\n";

class EndToEnd : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    images = new TempFolder;
    using U8 = std::uint8_t;
    using U16 = std::uint16_t;
    auto png = [] { return itk::PNGImageIO::New(); };
    WriteTestImage<U8>(
        Image("gray8.png"), 37, 23, [](unsigned x, unsigned y) { return (x * 7 + y * 13) % 256; },
        png());
    WriteTestImage<U8>(
        Image("square100.png"), 100, 100,
        [](unsigned x, unsigned y) { return (x * x + 3 * y) % 251; }, png());
    WriteTestImage<U16>(
        Image("gray16.png"), 40, 30,
        [](unsigned x, unsigned y) { return (x * 613 + y * 97) % 30001; }, png());
    WriteTestImage<itk::RGBPixel<U8>>(
        Image("rgb.png"), 33, 17,
        [](unsigned x, unsigned y) {
          itk::RGBPixel<U8> p;
          p.Set(U8(x * 7), U8(y * 15), U8(x * y));
          return p;
        },
        png());
    WriteTestImage<U8>(
        Image("gray8.tif"), 29, 31, [](unsigned x, unsigned y) { return (x * 11) ^ (y * 5); },
        itk::TIFFImageIO::New());
    WriteTestImage<U8>(
        Image("gray8.jpg"), 32, 24, [](unsigned x, unsigned y) { return x * 8 + y; },
        itk::JPEGImageIO::New());
    WriteTestImage<U8>(
        Image("gray8.bmp"), 21, 13, [](unsigned x, unsigned y) { return x * 12 ^ y * 19; },
        itk::BMPImageIO::New());
    WriteTestImage<std::int16_t>(
        Image("ct.dcm"), 30, 20, [](int x, int y) { return x * 40 - y * 90 - 1000; },
        itk::GDCMImageIO::New());
    WriteTestImage<std::int16_t>(
        Image("signed.mha"), 25, 20, [](int x, int y) { return x * 100 - y * 150; },
        itk::MetaImageIO::New());
    // Every value from 0 to 999 once: half a histogram bin moves the threshold by five values.
    WriteTestImage<U16>(
        Image("ramp.png"), 100, 10, [](unsigned x, unsigned y) { return x + 100 * y; }, png());
    // An ancillary chunk with a wrong checksum: libpng warns about it and reads the image.
    std::string warns = ReadFile(Image("gray8.png"));
    const std::string comment = std::string("\0\0\0\x05tEXtA\0bcd\xde\xad\xbe\xef", 17);
    WriteFile(Image("warns.png"), warns.insert(33, comment));  // after the signature and IHDR
    // Stray bytes before the end marker: the JPEG library warns, on standard output in newer
    // ITK, and decodes the image.
    std::string strayBytes = ReadFile(Image("gray8.jpg"));
    WriteFile(Image("warns.jpg"), strayBytes.insert(strayBytes.size() - 2, "stray bytes"));
  }
  static void TearDownTestSuite() { delete images; }

  static std::string Image(const std::string& name) { return images->Path(name); }

  static TempFolder* images;
  TempFolder output;
};

TempFolder* EndToEnd::images = nullptr;

TEST_F(EndToEnd, UsageTextForNoArgumentOrHelp) {
  const std::vector<std::vector<std::string>> commandLines = {
      {},
      {"-h"},
      {"--help"},
      {"--help=no"},
      {"-xh"},
      {"--region", "bad", "-h"},
      {"-h", "--depth", "abc"},
      {"--output", "x.vtk", "--help"},
  };
  for (const auto& arguments : commandLines) {
    ExpectRun(arguments, 0, kUsage);
  }
}

TEST_F(EndToEnd, CommandLineErrors) {
  const std::string inputRequired = "option --input2d is required\n";
  const std::string fourNumbers = "', must be a string of four numbers\n";
  struct Case {
    std::vector<std::string> arguments;
    std::string out;
  };
  const Case cases[] = {
      {{"foo"}, kNoRegion + kDefaultDepth + inputRequired},
      {{"--input3d", "list.txt", "--output", "o.vtk"}, kNoRegion + kDefaultDepth + inputRequired},
      {{"--region"}, kNoRegion + kDefaultDepth + inputRequired},
      {{"-r", "1 2 3"}, "invalid region argument '1 2 3" + fourNumbers},
      {{"-r", "1 2 3 4 5"}, "invalid region argument '1 2 3 4 5" + fourNumbers},
      {{"-r", "1,2,3,4"}, "invalid region argument '1,2,3,4" + fourNumbers},
      {{"-r", ""}, "invalid region argument '" + fourNumbers},
      {{"-r", "1\t2 3 4"}, "invalid region argument '1\t2 3 4" + fourNumbers},
      {{"--region", "--depth", "5"}, "invalid region argument '--depth" + fourNumbers},
      {{"-r", "1 2 3 x 5"}, "invalid region argument '1 2 3 x 5" + fourNumbers},
      {{"-r", "1 2 -3 4"}, "Invalid positive argument: -3\n"},
      {{"-r", "a 2 3 4"}, "Invalid positive argument: a\n"},
      {{"-r", "1 2 3 4x", "-d", "x"}, "Invalid positive argument: 4x\n"},
      {{"-r", "  1 2  3 4 "},
       "argument --region accepted = '  1 2  3 4 '\n" + kDefaultDepth + inputRequired},
      {{"-d", "12abc"}, kNoRegion + "Invalid positive argument: 12abc\n"},
      {{"-r", "1 2 3 4", "-d", "-1"},
       "argument --region accepted = '1 2 3 4'\nInvalid positive argument: -1\n"},
      {{"-d", "3000000000"},
       kNoRegion + "using provided tile depth = 2147483647\n" + inputRequired},
      {{"-d", ""}, kNoRegion + "using provided tile depth = 0\n" + inputRequired},
      {{"--output", "o.vtk"}, kNoRegion + kDefaultDepth + inputRequired},
      {{"--input2d", "in.png"}, kNoRegion + kDefaultDepth + "option --output is required\n"},
      {{"--input2d", "in.png", "--output"},
       kNoRegion + kDefaultDepth + "option --output is required\n"},
  };
  for (const Case& c : cases) {
    ExpectRun(c.arguments, 1, c.out);
  }
}

TEST_F(EndToEnd, VolumesMatchPlainItkPipeline) {
  struct Case {
    const char* image;
    std::string region;  // x y sx sy, or empty for none
    unsigned depth;      // 0 for the default
    const char* outputName;
    const char* sizeLine;
  };
  const Case cases[] = {
      {"gray8.png", "", 0, "out.vtk", "[37, 23]\n"},
      {"gray8.png", "", 1, "out.vtk", "[37, 23]\n"},
      {"warns.png", "", 1, "out.vtk", "[37, 23]\n"},  // and stderr stays empty
      {"square100.png", "10 20 30 40", 0, "out.vtk", "[100, 100]\n"},
      {"square100.png", "0 99 100 1", 3, "out.png", "[100, 100]\n"},
      {"gray16.png", "", 0, "volume", "[40, 30]\n"},
      {"rgb.png", "", 2, "out.vtk", "[33, 17]\n"},
      {"gray8.tif", "", 0, "out.nii", "[29, 31]\n"},
      {"gray8.jpg", "", 2, "out.vtk", "[32, 24]\n"},
      {"warns.jpg", "", 1, "out.vtk", "[32, 24]\n"},  // and stdout holds only the tool's lines
      {"gray8.bmp", "", 2, "out.vtk", "[21, 13]\n"},
      {"ct.dcm", "", 1, "out.vtk", "[30, 20]\n"},
      {"signed.mha", "3 4 5 6", 0, "out.vtk", "[25, 20]\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = {"--input2d", Image(c.image), "--output",
                                          output.Path(c.outputName)};
    PlainRequest reference;
    std::string out = kNoRegion;
    if (!c.region.empty()) {
      arguments.insert(arguments.end(), {"-r", c.region});
      out = "argument --region accepted = '" + c.region + "'\n";
      reference.regionGiven = true;
      std::istringstream(c.region) >> reference.index[0] >> reference.index[1] >>
          reference.size[0] >> reference.size[1];
    }
    if (c.depth != 0) {
      arguments.insert(arguments.end(), {"-d", std::to_string(c.depth)});
      out += "using provided tile depth = " + std::to_string(c.depth) + "\n";
      reference.depth = c.depth;
    } else {
      out += kDefaultDepth;
    }
    ExpectRun(arguments, 0, out + c.sizeLine);

    reference.input = Image(c.image);
    reference.output = output.Path("reference");
    WritePlainVolume(reference);
    const std::string expected = ReadFile(reference.output);
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(ReadFile(output.Path(c.outputName)) == expected) << Shown(arguments);
  }
}

TEST_F(EndToEnd, OtsuThresholdIsTheMidpointOfItsBin) {
  const ToolResult result =
      RunTool({"--input2d", Image("ramp.png"), "--output", output.Path("out.vtk"), "-d", "1"});
  ASSERT_EQ(result.status, 0);
  PlainRequest reference;
  reference.input = Image("ramp.png");
  reference.depth = 1;
  reference.output = output.Path("midpoint.vtk");
  WritePlainVolume(reference);
  reference.binMidpoint = false;
  reference.output = output.Path("upper-edge.vtk");
  WritePlainVolume(reference);

  const std::string volume = ReadFile(output.Path("out.vtk"));
  EXPECT_TRUE(volume == ReadFile(output.Path("midpoint.vtk")));
  EXPECT_FALSE(volume == ReadFile(output.Path("upper-edge.vtk")));
}

TEST_F(EndToEnd, RegionsAndDepthsThatMakeNoVolumeEndWithStatusTwo) {
  const std::pair<std::string, std::string> regions[] = {
      {"90 90 20 20", "is not inside the image of size [100, 100]"},
      {"100 0 1 1", "is not inside the image of size [100, 100]"},
      {"2147483647 0 2147483647 1", "is not inside the image of size [100, 100]"},
      {"0 0 0 5", "is empty: its width and height must be at least 1"},
      {"3 3 5 0", "is empty: its width and height must be at least 1"},
  };
  for (const auto& [region, cause] : regions) {
    ExpectRun(
        {"--input2d", Image("square100.png"), "--output", output.Path("out.vtk"), "-r", region}, 2,
        "argument --region accepted = '" + region + "'\n" + kDefaultDepth + "[100, 100]\n",
        "Error: region '" + region + "' " + cause + "\n");
    EXPECT_TRUE(output.IsEmpty()) << region;
  }
  ExpectRun({"--input2d", Image("gray8.png"), "--output", output.Path("out.vtk"), "-d", "0"}, 2,
            kNoRegion + "using provided tile depth = 0\n[37, 23]\n",
            "Error: cannot make a volume of tile depth 0: the depth must be at least 1\n");
  EXPECT_TRUE(output.IsEmpty());
}

}  // namespace
