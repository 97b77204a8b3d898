#include "CompressedStream.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "HeldFile.h"

namespace {

constexpr std::size_t kChunkBytes = 64 * 1024;
constexpr std::size_t kHeadBytes = 64 * 1024;

}  // namespace

std::optional<Inflated> InflateToEnd(const HeldFile& file, std::uint64_t offset,
                                     DeflateWrapping wrapping, std::uint64_t limit) {
  const std::uint64_t end = offset + std::min(limit, file.Size() - std::min(offset, file.Size()));
  std::uint64_t next = offset;
  std::vector<unsigned char> input(kChunkBytes);
  std::vector<unsigned char> output(kChunkBytes);
  z_stream stream{};
  stream.next_in = input.data();
  // Feeds the stream a chunk at a time, keeping at least two bytes in view when the stream has
  // them, to see whether another gzip member follows one that ended.
  auto refill = [&] {
    if (stream.avail_in >= 2) return;
    std::memmove(input.data(), stream.next_in, stream.avail_in);
    const std::string bytes =
        file.Bytes(next, static_cast<std::size_t>(std::min<std::uint64_t>(
                             input.size() - stream.avail_in, end - std::min(next, end))));
    std::memcpy(input.data() + stream.avail_in, bytes.data(), bytes.size());
    next += bytes.size();
    stream.next_in = input.data();
    stream.avail_in += static_cast<uInt>(bytes.size());
  };
  const int windowBits = wrapping == DeflateWrapping::kBare ? -MAX_WBITS : 32 + MAX_WBITS;
  if (inflateInit2(&stream, windowBits) != Z_OK) return std::nullopt;
  Inflated inflated;
  bool complete = false;
  for (refill(); stream.avail_in > 0; refill()) {  // no input left: the stream ends too soon
    stream.next_out = output.data();
    stream.avail_out = static_cast<uInt>(output.size());
    const int result = inflate(&stream, Z_NO_FLUSH);
    const std::size_t produced = output.size() - stream.avail_out;
    inflated.length += produced;
    inflated.head.append(
        reinterpret_cast<const char*>(output.data()),
        std::min(produced, kHeadBytes - std::min(kHeadBytes, inflated.head.size())));
    if (result == Z_STREAM_END) {
      // Readers go on into a following gzip member and ignore other bytes after one.
      refill();
      complete = wrapping == DeflateWrapping::kBare || stream.avail_in < 2 ||
                 stream.next_in[0] != 0x1F || stream.next_in[1] != 0x8B;
      if (complete) break;
      inflateReset(&stream);
    } else if (result != Z_OK) {  // with input in view, inflate always progresses
      break;
    }
  }
  inflateEnd(&stream);
  if (!complete) return std::nullopt;
  return inflated;
}
