// Inputs the tool must refuse with status 2 and one "Error: " line naming the file, writing
// nothing: files that are not images, damaged images (some crash the image libraries), files
// that hold more than one slice, headers that claim more pixels than memory holds, and samples
// that signed 16-bit pixels cannot hold. Inputs next to those limits must still work.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "PlainPipeline.h"
#include "TestFiles.h"
#include "TestImages.h"
#include "ToolRun.h"
#include "itkBMPImageIO.h"
#include "itkGDCMImageIO.h"
#include "itkGiplImageIO.h"
#include "itkJPEGImageIO.h"
#include "itkMetaImageIO.h"
#include "itkNiftiImageIO.h"
#include "itkPNGImageIO.h"
#include "itkRGBPixel.h"
#include "itkTIFFImageIO.h"
#include "itkVTKImageIO.h"

namespace {

const std::string kUndecodable =
    "the file is damaged or uses a variant of its format that cannot be decoded";
const std::string kUnknownFormat = "no supported image format recognises it";
const std::string kEndsEarly = "the file ends before the ";  // then the size
const std::string kPixelsGiven = " pixels its header gives";
const std::string kShortRange = ", which signed 16-bit pixels (-32768 to 32767) cannot hold";

std::string ReadError(const std::string& path, const std::string& cause) {
  return "Error: cannot read image '" + path + "': " + cause + "\n";
}

// Status 2 and the error as the last line of standard error; the image libraries may print
// warnings of their own before it.
void ExpectRefused(const std::string& input, const std::string& outputPath,
                   const std::string& cause) {
  const ToolResult result = RunTool({"--input2d", input, "--output", outputPath});
  const std::string error = ReadError(input, cause);
  EXPECT_EQ(result.status, 2) << input;
  EXPECT_EQ(result.out, kNoRegion + kDefaultDepth) << input;
  EXPECT_GE(result.err.size(), error.size()) << input;
  EXPECT_EQ(result.err.substr(result.err.size() - std::min(error.size(), result.err.size())),
            error);
  EXPECT_EQ(result.err.find("Error: "), result.err.size() - error.size()) << result.err;
}

class BadInput : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    images = new TempFolder;
    auto pattern = [](unsigned x, unsigned y) { return (x * 37 + y * 11) % 200; };
    WriteTestImage<std::uint8_t>(Image("good.png"), 40, 30, pattern, itk::PNGImageIO::New());
    WriteTestImage<std::uint8_t>(Image("good.jpg"), 40, 30, pattern, itk::JPEGImageIO::New());
    WriteTestImage<std::uint8_t>(Image("good.tif"), 40, 30, pattern, itk::TIFFImageIO::New());
    WriteTestImage<std::int16_t>(Image("good.dcm"), 40, 30, pattern, itk::GDCMImageIO::New());
    // Each image IO is released after its image is written: the BMP writer closes its file
    // only then.
    auto rawFormatIO = [](const std::string& suffix) -> itk::ImageIOBase::Pointer {
      if (suffix == "bmp") return itk::BMPImageIO::New().GetPointer();
      if (suffix == "mha") return itk::MetaImageIO::New().GetPointer();
      if (suffix == "nii") return itk::NiftiImageIO::New().GetPointer();
      if (suffix == "gipl") return itk::GiplImageIO::New().GetPointer();
      auto vtk = itk::VTKImageIO::New();
      vtk->SetFileTypeToBinary();
      return vtk.GetPointer();
    };
    for (const std::string suffix : {"bmp", "mha", "nii", "gipl", "vtk"}) {
      WriteTestImage<std::uint8_t>(Image("good." + suffix), 40, 30, pattern, rawFormatIO(suffix));
      const std::string whole = ReadFile(Image("good." + suffix));
      WriteFile(Image("cut." + suffix), whole.substr(0, whole.size() - 1));
    }
    // A MetaImage header with its pixels in a separate raw file, cut short.
    WriteTestImage<std::uint8_t>(Image("pair.mhd"), 40, 30, pattern, itk::MetaImageIO::New());
    const std::string raw = ReadFile(Image("pair.raw"));
    WriteFile(Image("cut-pair.raw"), raw.substr(0, raw.size() - 1));
    std::string header = ReadFile(Image("pair.mhd"));
    header.replace(header.find("pair.raw"), 8, "cut-pair.raw");
    WriteFile(Image("cut-pair.mhd"), header);

    const std::string png = ReadFile(Image("good.png"));
    const std::string jpeg = ReadFile(Image("good.jpg"));
    const std::string tiff = ReadFile(Image("good.tif"));
    const std::string dicom = ReadFile(Image("good.dcm"));
    WriteFile(Image("soi-only.jpg"), "\xFF\xD8");
    WriteFile(Image("cut-header.jpg"), jpeg.substr(0, 40));
    WriteFile(Image("cut-data.jpg"), jpeg.substr(0, jpeg.size() / 2));
    WriteFile(Image("cut-signature.png"), png.substr(0, 12));
    WriteFile(Image("cut-ihdr.png"), png.substr(0, 20));
    WriteFile(Image("cut-data.png"), png.substr(0, png.size() / 2));
    std::string badCrc = png;
    badCrc[30] = static_cast<char>(badCrc[30] ^ 0x5A);  // inside the IHDR chunk's CRC
    WriteFile(Image("bad-crc.png"), badCrc);
    WriteFile(Image("cut-header.tif"), tiff.substr(0, 100));
    WriteFile(Image("cut-data.tif"), tiff.substr(0, tiff.size() / 2));
    WriteFile(Image("cut-meta.dcm"), dicom.substr(0, 150));
    WriteFile(Image("cut-data.dcm"), dicom.substr(0, dicom.size() - 500));
    WriteFile(Image("text.png"), "This is not an image.\n");
    WriteFile(Image("empty.png"), "");
    WriteFile(Image("huge.mha"),
              "ObjectType = Image\nNDims = 2\nDimSize = 1000000 1000000\n"
              "ElementType = MET_UCHAR\nElementDataFile = LOCAL\n0123456789");
    WriteFile(Image("claims-more.mha"),
              "ObjectType = Image\nNDims = 2\nDimSize = 30000 30000\n"
              "ElementType = MET_UCHAR\nElementDataFile = LOCAL\n0123456789");
    WriteFile(Image("huge.nrrd"),
              "NRRD0004\ntype: uchar\ndimension: 2\nsizes: 1000000 1000000\nencoding: raw\n\n"
              "0123456789");
    std::mt19937 random(7);
    std::string noise(4096, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    for (const char* suffix : {"png", "jpg", "tif", "dcm", "nii", "mha", "nrrd", "bmp", "vtk"}) {
      WriteFile(Image(std::string("noise.") + suffix), noise);
    }
    mkfifo(Image("fifo.png").c_str(), 0600);
  }
  static void TearDownTestSuite() { delete images; }

  static std::string Image(const std::string& name) { return images->Path(name); }

  static TempFolder* images;
  TempFolder output;
};

TempFolder* BadInput::images = nullptr;

TEST_F(BadInput, FilesThatAreNotImagesOrAreDamaged) {
  struct Case {
    std::string name;
    std::string cause;
  };
  const Case cases[] = {
      {"missing.png", "no such file or directory"},
      {"", "it is a folder, not an image file"},
      {"fifo.png", "it is not a regular file"},
      {"empty.png", "the file is empty"},
      {"text.png", kUnknownFormat},
      // The JPEG, PNG and DICOM libraries crash on several of these instead of reporting them.
      {"soi-only.jpg", kUndecodable},
      {"cut-header.jpg", kUndecodable},
      {"cut-data.jpg", kUndecodable},
      {"cut-signature.png", kUndecodable},
      {"cut-ihdr.png", kUndecodable},
      {"bad-crc.png", kUndecodable},
      {"cut-data.png", kUndecodable},
      // ITK's TIFF writer puts the directory last, so a cut file has none to recognise.
      {"cut-header.tif", kUnknownFormat},
      {"cut-data.tif", kUnknownFormat},
      {"cut-meta.dcm", kUndecodable},
      {"cut-data.dcm", kUndecodable},
      // Their readers would pad the missing pixels.
      {"cut.bmp", kEndsEarly + "40 x 30" + kPixelsGiven},
      {"cut.mha", kEndsEarly + "40 x 30" + kPixelsGiven},
      {"cut.nii", kEndsEarly + "40 x 30" + kPixelsGiven},
      {"cut.gipl", kEndsEarly + "40 x 30 x 1" + kPixelsGiven},
      {"cut.vtk", kEndsEarly + "40 x 30" + kPixelsGiven},
      {"claims-more.mha", kEndsEarly + "30000 x 30000" + kPixelsGiven},
      {"cut-pair.mhd",
       "its data file '" + Image("cut-pair.raw") + "' ends before the 40 x 30" + kPixelsGiven},
  };
  for (const Case& c : cases) {
    ExpectRefused(Image(c.name), output.Path("out.vtk"), c.cause);
    EXPECT_TRUE(output.IsEmpty()) << c.name;
  }
  ExpectRun({"--input2d", "/dev/zero", "--output", output.Path("out.vtk")}, 2,
            kNoRegion + kDefaultDepth, ReadError("/dev/zero", "it is not a regular file"));
}

TEST_F(BadInput, RandomBytesUnderImageSuffixes) {
  for (const char* suffix : {"png", "jpg", "tif", "dcm", "nii", "mha", "nrrd", "bmp", "vtk"}) {
    const std::string input = Image(std::string("noise.") + suffix);
    const ToolResult result = RunTool({"--input2d", input, "--output", output.Path("out.vtk")});
    EXPECT_EQ(result.status, 2) << suffix;
    EXPECT_EQ(result.out, kNoRegion + kDefaultDepth) << suffix;
    EXPECT_TRUE(result.err == ReadError(input, kUnknownFormat) ||
                result.err == ReadError(input, kUndecodable))
        << result.err;
    EXPECT_TRUE(output.IsEmpty()) << suffix;
  }
}

TEST_F(BadInput, HeaderClaimingMorePixelsThanMemoryFailsAtOnce) {
  for (const char* name : {"huge.mha", "huge.nrrd"}) {
    const ToolResult result =
        RunTool({"--input2d", Image(name), "--output", output.Path("out.vtk")});
    EXPECT_EQ(result.status, 2) << name;
    EXPECT_EQ(result.out, kNoRegion + kDefaultDepth) << name;
    const std::string start = ReadError(Image(name),
                                        "its header gives a size of 1000000 x 1000000 pixels, "
                                        "which needs 4000000000000 bytes, more than the ");
    EXPECT_EQ(result.err.substr(0, start.size() - 1), start.substr(0, start.size() - 1));
    EXPECT_EQ(result.err.substr(result.err.size() - 17), " bytes available\n");
    EXPECT_TRUE(output.IsEmpty()) << name;
  }
}

TEST_F(BadInput, MoreThanOneSliceIsRefusedButOneSliceOfAVolumeIsAnImage) {
  using Size3 = itk::Size<3>;
  WriteUniformImage<std::uint8_t, 3>(Image("volume.mha"), Size3{{6, 5, 3}}, 9,
                                     itk::MetaImageIO::New());
  WriteUniformImage<std::uint8_t, 3>(Image("pages.tif"), Size3{{6, 5, 3}}, 9,
                                     itk::TIFFImageIO::New());
  WriteUniformImage<std::uint8_t, 4>(Image("series.nii"), itk::Size<4>{{6, 5, 1, 2}}, 9,
                                     itk::NiftiImageIO::New());
  WriteUniformImage<std::uint8_t, 3>(Image("one-slice.mha"), Size3{{6, 5, 1}}, 9,
                                     itk::MetaImageIO::New());
  const std::pair<std::string, std::string> refused[] = {
      {"volume.mha", "6 x 5 x 3"},
      {"pages.tif", "6 x 5 x 3"},
      {"series.nii", "6 x 5 x 1 x 2"},
  };
  for (const auto& [name, size] : refused) {
    ExpectRun(
        {"--input2d", Image(name), "--output", output.Path("out.vtk")}, 2,
        kNoRegion + kDefaultDepth,
        ReadError(Image(name), "it holds an image of " + size + " pixels, not a single 2D slice"));
    EXPECT_TRUE(output.IsEmpty()) << name;
  }
  // ITK reports a single-frame DICOM file as three-dimensional, with one slice.
  const std::pair<std::string, std::string> accepted[] = {{"one-slice.mha", "[6, 5]\n"},
                                                          {"good.dcm", "[40, 30]\n"}};
  for (const auto& [name, sizeLine] : accepted) {
    ExpectRun({"--input2d", Image(name), "--output", output.Path(name), "-d", "1"}, 0,
              kNoRegion + "using provided tile depth = 1\n" + sizeLine);
  }
}

// Every sample must fit the signed 16-bit pixels the tool reads into: the reader's plain cast
// would turn 40000 into -25536 and make the brightest pixels the darkest.
TEST_F(BadInput, SamplesBeyondSignedShortAreRefusedAndTheRestKeepTheirVolumes) {
  using U16 = std::uint16_t;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  WriteTestImage<U16>(
      Image("u16-40000.png"), 20, 10,
      [](unsigned x, unsigned y) { return x == 3 && y == 2 ? 40000 : x * 100; },
      itk::PNGImageIO::New());
  WriteTestImage<U16>(
      Image("u16-65535.tif"), 20, 10,
      [](unsigned x, unsigned y) { return x == 1 && y == 1 ? 65535 : x; }, itk::TIFFImageIO::New());
  WriteTestImage<U16>(
      Image("u16-32767.png"), 20, 10,
      [](unsigned x, unsigned y) { return x == 0 && y == 0 ? 32767 : x * 1000 + y; },
      itk::PNGImageIO::New());
  WriteTestImage<itk::RGBPixel<U16>>(
      Image("rgb16.png"), 20, 10,
      [](unsigned x, unsigned y) {
        itk::RGBPixel<U16> p;
        p.Set(U16(x * 100), U16(y == 9 ? 50000 : y), U16(7));
        return p;
      },
      itk::PNGImageIO::New());
  WriteTestImage<std::int32_t>(
      Image("i32-low.mha"), 20, 10, [](int x, int y) { return x == 5 ? -40000 : y; },
      itk::MetaImageIO::New());
  WriteTestImage<std::int32_t>(
      Image("i32-fits.mha"), 20, 10, [](int x, int y) { return x * 3000 - 32768 + y; },
      itk::MetaImageIO::New());
  WriteTestImage<float>(
      Image("f32-big.mha"), 20, 10, [](unsigned x, unsigned) { return x == 4 ? 1e10F : -5.0F; },
      itk::MetaImageIO::New());
  WriteTestImage<float>(
      Image("f32-nan.mha"), 20, 10,
      [nan](unsigned x, unsigned y) { return x == 4 && y == 4 ? nan : static_cast<float>(x); },
      itk::MetaImageIO::New());
  WriteTestImage<float>(
      Image("f32-all-nan.mha"), 3, 2, [nan](unsigned, unsigned) { return nan; },
      itk::MetaImageIO::New());
  WriteTestImage<double>(
      Image("f64-inf.mha"), 20, 10, [inf](unsigned x, unsigned) { return x == 0 ? -inf : 3.0; },
      itk::MetaImageIO::New());
  WriteTestImage<float>(
      Image("f32-edges.mha"), 20, 10,
      [](unsigned x, unsigned y) { return x == 0 ? 32767.9F : (y == 0 ? -32768.9F : x * 0.75F); },
      itk::MetaImageIO::New());

  const std::pair<std::string, std::string> refused[] = {
      {"u16-40000.png", "its samples range from 0 to 40000"},
      {"u16-65535.tif", "its samples range from 0 to 65535"},
      {"rgb16.png", "its samples range from 0 to 50000"},
      {"i32-low.mha", "its samples range from -40000 to 9"},
      {"f32-big.mha", "its samples range from -5 to 1e+10"},
      {"f32-nan.mha", "its samples range from 0 to 19 and include NaN"},
      {"f32-all-nan.mha", "its samples are all NaN"},
      {"f64-inf.mha", "its samples range from -inf to 3"},
  };
  for (const auto& [name, range] : refused) {
    ExpectRun({"--input2d", Image(name), "--output", output.Path("out.vtk")}, 2,
              kNoRegion + kDefaultDepth, ReadError(Image(name), range + kShortRange));
    EXPECT_TRUE(output.IsEmpty()) << name;
  }
  // Float samples are read as integers, their fractions dropped, as the plain reader does.
  for (const char* name : {"u16-32767.png", "i32-fits.mha", "f32-edges.mha"}) {
    ExpectRun({"--input2d", Image(name), "--output", output.Path("out.vtk"), "-d", "2"}, 0,
              kNoRegion + "using provided tile depth = 2\n[20, 10]\n");
    PlainRequest reference;
    reference.input = Image(name);
    reference.output = output.Path("reference.vtk");
    reference.depth = 2;
    WritePlainVolume(reference);
    EXPECT_TRUE(ReadFile(output.Path("out.vtk")) == ReadFile(reference.output)) << name;
  }
}

// ITK loads every shared library in the folders ITK_AUTOLOAD_PATH names when the reader first
// asks its factories for an image IO. The probe library leaves a marker file when loaded.
TEST_F(BadInput, LibrariesFromItkAutoloadPathAreNeverLoaded) {
  const std::string marker = output.Path("probe-was-loaded");
  ToolSetup setup;
  setup.environment = {"ITK_AUTOLOAD_PATH=" AUTOLOAD_PROBE_DIR, "AUTOLOAD_PROBE_MARKER=" + marker};
  ExpectRun({"--input2d", Image("good.png"), "--output", output.Path("out.vtk"), "-d", "1"}, 0,
            kNoRegion + "using provided tile depth = 1\n[40, 30]\n", "", setup);
  EXPECT_NE(access(marker.c_str(), F_OK), 0);

  // The probe itself works: loaded by hand, it leaves its marker.
  setenv("AUTOLOAD_PROBE_MARKER", marker.c_str(), 1);
  void* probe = dlopen(AUTOLOAD_PROBE_DIR "/libautoload_probe.so", RTLD_NOW);
  ASSERT_NE(probe, nullptr) << dlerror();
  EXPECT_EQ(access(marker.c_str(), F_OK), 0);
  dlclose(probe);
  unsetenv("AUTOLOAD_PROBE_MARKER");
}

}  // namespace
