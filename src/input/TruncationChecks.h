#ifndef SLICE2VOL_INPUT_TRUNCATIONCHECKS_H
#define SLICE2VOL_INPUT_TRUNCATIONCHECKS_H

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "itkImageIOBase.h"

// Several readers under ITK take a file cut short for a whole one, padding the missing pixels
// and reporting success; these checks catch what they let through, before the pixels are read.

/// For a file that stores its pixels uncompressed after its header (MetaImage, NIfTI and
/// Analyze, GIPL, binary VTK, uncompressed BMP), or in the raw data file its header names: that
/// file when it ends before the pixels the header gives (cut short, or a header that claims far
/// more pixels than the file holds); empty otherwise. files holds the image file, then the data
/// files its header names.
std::string FindShortRawPixelData(const itk::ImageIOBase& io,
                                  const std::vector<std::string>& files);

/// True when a Bio-Rad file ends inside its 76-byte header: ITK's reader would then look for
/// the notes that follow the pixels forever.
bool BioRadHeaderIsCut(const std::string& path);

/// True when a Stimulate header's numDim or dim line lacks its numbers: ITK's reader would use
/// whatever its variables held, an arbitrary size or number of dimensions.
bool StimulateHeaderIsDamaged(const std::string& path);

/// True when a TIFF file's first directory, the values its entries point to, or its strips or
/// tiles reach past the end of the file. libtiff reads such a file with a warning, dropping the
/// tags it cannot read and the pixels of a strip cut short.
bool TiffDataIsCut(const std::string& path);

/// True when the JPEG file at path ends before its end-of-image marker. The JPEG library fills
/// the missing rows with grey and only warns, and ITK silences its warnings. Bytes after the
/// marker are not read.
bool JpegEndIsMissing(const char* path);

/// True when the file at path starts as a JPEG file (FF D8) or a DICOM file ("DICM" after its
/// 128-byte preamble) does. Newer JPEG and DICOM readers decline a file whose header they cannot
/// decode instead of failing on it; such a file is damaged, not of an unknown format.
bool HasJpegOrDicomSignature(const char* path);

/// True when the zlib or gzip stream that starts at offset in the file at path is cut short or
/// corrupt: checked to its end against its checksum (and a gzip member's length). Some readers
/// under ITK pad what a cut stream does not give.
bool CompressedStreamIsDamaged(const std::string& path, std::uint64_t offset);

/// True when an ASCII VTK file holds fewer numbers than its header gives samples, or a token
/// that is not a number among them: ITK's reader repeats the last value it read for the rest.
bool AsciiVtkDataIsShort(const itk::ImageIOBase& io, const char* path);

/// While it lives, GDCM's warnings are collected instead of printed, so that the one saying a
/// DICOM file's pixel data is incomplete (GDCM then decodes what is there and succeeds) can be
/// seen.
class DicomWarningCapture {
 public:
  DicomWarningCapture();
  ~DicomWarningCapture();
  DicomWarningCapture(const DicomWarningCapture&) = delete;
  DicomWarningCapture& operator=(const DicomWarningCapture&) = delete;

  bool SawIncompletePixelData() const;

 private:
  std::unique_ptr<std::ostringstream> warnings_;
  std::ostream* previous_;
};

#endif
