#include "CompressedStream.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "HeldFile.h"

namespace {

constexpr std::size_t kChunkBytes = 64 * 1024;
constexpr std::size_t kHeadBytes = 64 * 1024;

// Feeds the stream from the file a chunk at a time, keeping at least two bytes in view when the
// stream has them, to see whether another gzip member follows one that ended.
class StreamInput {
 public:
  StreamInput(const HeldFile& file, std::uint64_t offset, std::uint64_t limit)
      : file_(file),
        next_(offset),
        end_(offset + std::min(limit, file.Size() - std::min(offset, file.Size()))) {}

  void Refill(z_stream& stream) {
    std::memmove(buffer_.data(), stream.next_in, stream.avail_in);
    const std::size_t wanted = static_cast<std::size_t>(
        std::min<std::uint64_t>(buffer_.size() - stream.avail_in, end_ - std::min(next_, end_)));
    const std::string bytes = file_.Bytes(next_, wanted);
    std::memcpy(buffer_.data() + stream.avail_in, bytes.data(), bytes.size());
    next_ += bytes.size();
    stream.next_in = buffer_.data();
    stream.avail_in += static_cast<uInt>(bytes.size());
  }

  bool AtEnd() const { return next_ >= end_; }

 private:
  const HeldFile& file_;
  std::uint64_t next_;
  std::uint64_t end_;
  std::vector<unsigned char> buffer_ = std::vector<unsigned char>(kChunkBytes);
};

}  // namespace

std::optional<Inflated> InflateToEnd(const HeldFile& file, std::uint64_t offset,
                                     DeflateWrapping wrapping, std::uint64_t limit) {
  StreamInput input(file, offset, limit);
  std::vector<unsigned char> output(kChunkBytes);
  z_stream stream{};
  const int windowBits = wrapping == DeflateWrapping::kBare ? -MAX_WBITS : 32 + MAX_WBITS;
  if (inflateInit2(&stream, windowBits) != Z_OK) return std::nullopt;
  Inflated inflated;
  bool complete = false;
  while (true) {
    if (stream.avail_in < 2) input.Refill(stream);
    if (stream.avail_in == 0) break;  // the stream ends before its end, or its checksum
    stream.next_out = output.data();
    stream.avail_out = static_cast<uInt>(output.size());
    const int result = inflate(&stream, Z_NO_FLUSH);
    const std::size_t produced = output.size() - stream.avail_out;
    inflated.length += produced;
    if (inflated.head.size() < kHeadBytes) {
      inflated.head.append(reinterpret_cast<const char*>(output.data()),
                           std::min(produced, kHeadBytes - inflated.head.size()));
    }
    if (result == Z_STREAM_END) {
      // Readers go on into a following gzip member and ignore other bytes after one.
      if (stream.avail_in < 2) input.Refill(stream);
      if (wrapping == DeflateWrapping::kBare || stream.avail_in < 2 || stream.next_in[0] != 0x1F ||
          stream.next_in[1] != 0x8B) {
        complete = true;
        break;
      }
      inflateReset(&stream);
    } else if (result != Z_OK && !(result == Z_BUF_ERROR && !input.AtEnd())) {
      break;
    }
  }
  inflateEnd(&stream);
  if (!complete) return std::nullopt;
  return inflated;
}
