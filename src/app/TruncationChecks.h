#ifndef SLICE2VOL_APP_TRUNCATIONCHECKS_H
#define SLICE2VOL_APP_TRUNCATIONCHECKS_H

#include <iosfwd>
#include <memory>

// Two decoders under ITK read a file cut short as if it were whole, padding the missing pixels
// and reporting success; these checks catch what they let through.

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
