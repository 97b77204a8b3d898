#include "TruncationChecks.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "gdcmTrace.h"

namespace {

constexpr unsigned char kMarker = 0xFF;
constexpr unsigned char kStartOfImage = 0xD8;
constexpr unsigned char kEndOfImage = 0xD9;
constexpr unsigned char kStartOfScan = 0xDA;

bool IsStandaloneMarker(unsigned char code) {
  return code == 0x01 || (code >= 0xD0 && code <= 0xD7);
}

}  // namespace

// Walks the marker segments, stepping over each by its length and over entropy-coded data to
// the next marker (inside it, 0xFF is followed only by a stuffed 0x00 or a restart marker),
// until the end-of-image marker or the end of the file.
bool JpegEndIsMissing(const char* path) {
  std::ifstream file(path, std::ios::binary);
  const std::string data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(data[i]); };
  const std::size_t size = data.size();
  if (size < 2 || byte(0) != kMarker || byte(1) != kStartOfImage) return false;

  std::size_t i = 2;
  while (i + 1 < size) {
    if (byte(i) != kMarker) {  // stray bytes, which the decoder skips as well
      ++i;
      continue;
    }
    while (i + 1 < size && byte(i + 1) == kMarker) ++i;  // fill bytes
    if (i + 1 >= size) break;
    const unsigned char code = byte(i + 1);
    i += 2;
    if (code == kEndOfImage) return false;
    if (IsStandaloneMarker(code)) continue;
    if (i + 1 >= size) break;
    i += (std::size_t{byte(i)} << 8) | byte(i + 1);
    if (code == kStartOfScan) {
      while (i + 1 < size &&
             !(byte(i) == kMarker && byte(i + 1) != 0 && !IsStandaloneMarker(byte(i + 1)))) {
        ++i;
      }
    }
  }
  return true;
}

DicomWarningCapture::DicomWarningCapture()
    : warnings_(std::make_unique<std::ostringstream>()),
      previous_(&gdcm::Trace::GetWarningStream()) {
  gdcm::Trace::SetWarningStream(*warnings_);
}

DicomWarningCapture::~DicomWarningCapture() { gdcm::Trace::SetWarningStream(*previous_); }

bool DicomWarningCapture::SawIncompletePixelData() const {
  return warnings_->str().find("Incomplete Pixel Data") != std::string::npos;
}
