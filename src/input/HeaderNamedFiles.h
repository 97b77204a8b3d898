#ifndef SLICE2VOL_INPUT_HEADERNAMEDFILES_H
#define SLICE2VOL_INPUT_HEADERNAMEDFILES_H

#include <cstdint>
#include <string>
#include <vector>

/// The files besides the one at path that the image format (an image IO's class name) reads
/// the pixels from, as its header names them or as the format derives them: a MetaImage's
/// ElementDataFile (one file, a LIST or a numbered pattern), a detached NRRD's data file(s),
/// the .img of an Analyze or NIfTI pair, a Stimulate file's data file. A reader would block
/// forever on a FIFO and read whatever a device gives, so each must be a regular file before
/// any reader opens it.
std::vector<std::string> FilesNamedByHeader(const std::string& format, const std::string& path);

/// Where a zlib or gzip stream holding pixels starts.
struct CompressedStream {
  std::string file;
  std::uint64_t offset;
};

/// The compressed streams the format reads the pixels from, given the files it reads (the image
/// file first): every gzip file, a compressed MetaImage's data, and a NRRD file's gzip data.
std::vector<CompressedStream> FindCompressedStreams(const std::string& format,
                                                    const std::vector<std::string>& files);

/// The value of a "Name = value" (MetaImage) or "name: value" (NRRD, Stimulate) header field
/// whose line starts before limit, trimmed; empty when there is none.
std::string HeaderField(const std::string& header, const std::string& name, char separator,
                        std::size_t limit = std::string::npos);

/// The first bytes of the file at path, as many as a header can reasonably take.
std::string ReadHeaderBytes(const std::string& path);

#endif
