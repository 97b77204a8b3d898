#ifndef SLICE2VOL_INPUT_COMPRESSEDSTREAM_H
#define SLICE2VOL_INPUT_COMPRESSEDSTREAM_H

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

class HeldFile;

/// How a Deflate stream is wrapped: zlib or gzip (told apart by their first bytes, each with its
/// checksum), or bare, as DICOM's deflated transfer syntax stores it, without one.
enum class DeflateWrapping { kZlibOrGzip, kBare };

/// What a compressed stream inflated to, read to its end.
struct Inflated {
  std::uint64_t length = 0;
  std::string head;  // its first bytes, as many as a header can take
};

/// Inflates the stream that starts at offset in file and ends within its next limit bytes, to
/// its end: every gzip member that follows one and its recorded length, and each checksum.
/// Readers stop once they have the pixels they want and pad what a cut stream lacks, so only
/// this shows a stream cut short or corrupt near its end: then it gives nothing.
std::optional<Inflated> InflateToEnd(
    const HeldFile& file, std::uint64_t offset,
    DeflateWrapping wrapping = DeflateWrapping::kZlibOrGzip,
    std::uint64_t limit = std::numeric_limits<std::uint64_t>::max());

#endif
