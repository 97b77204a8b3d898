#ifndef SLICE2VOL_APP_TRUNCATIONCHECKS_H
#define SLICE2VOL_APP_TRUNCATIONCHECKS_H

#include <iosfwd>
#include <memory>
#include <string>

#include "itkImageIOBase.h"

// Several readers under ITK take a file cut short for a whole one, padding the missing pixels
// and reporting success; these checks catch what they let through.

/// For a file that stores its pixels uncompressed after its header (MetaImage, NIfTI, GIPL,
/// binary VTK, uncompressed BMP), or in the raw data file a MetaImage header names: that file
/// when it ends before the pixels the header gives (cut short, or a header that claims far more
/// pixels than the file holds); empty otherwise.
std::string FindShortRawPixelData(const itk::ImageIOBase& io, const char* path);

/// True when the JPEG file at path ends before its end-of-image marker. The JPEG library fills
/// the missing rows with grey and only warns, and ITK silences its warnings.
bool JpegEndIsMissing(const char* path);

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
