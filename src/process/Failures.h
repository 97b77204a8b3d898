#ifndef SLICE2VOL_PROCESS_FAILURES_H
#define SLICE2VOL_PROCESS_FAILURES_H

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>

// Every failure of a run is worded here, so that the same cause always reads the same way.

/// Thrown when a run cannot finish; what() is the cause in the user's terms, the text that
/// follows "Error: " on standard error.
class PipelineFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// "Error: CAUSE" and a line end: the one line a failed run leaves on standard error.
std::string ErrorLine(const std::string& cause);

/// "cannot read image 'PATH': CAUSE".
PipelineFailure ReadFailure(const std::string& path, const std::string& cause);

/// "cannot read image 'PATH': its samples range from LOW to HIGH, too far apart to be
/// thresholded".
PipelineFailure SampleRangeFailure(const std::string& path, double lowest, double highest);

/// "cannot write volume 'PATH': CAUSE", or without ": CAUSE" when there is none to give.
PipelineFailure WriteFailure(const std::string& path, const std::string& cause = "");

/// "region 'X Y SX SY' PROBLEM".
PipelineFailure RegionFailure(const std::array<std::int64_t, 2>& index,
                              const std::array<std::uint64_t, 2>& size, const std::string& problem);

/// "cannot write volume 'PATH': its text needs N bytes, more than the M bytes free on its file
/// system".
PipelineFailure VolumeSpaceFailure(const std::string& path, std::uint64_t neededBytes,
                                   std::uint64_t freeBytes);

/// "not enough memory", for an allocation that failed with nothing more to say.
PipelineFailure MemoryFailure();

/// "not enough memory to read image 'PATH'".
PipelineFailure ImageMemoryFailure(const std::string& path);

/// "not enough memory for a volume of W x H x D voxels", then ": it needs SHORTFALL" when the
/// shortfall is known beforehand.
PipelineFailure VolumeMemoryFailure(std::uint64_t width, std::uint64_t height, std::uint64_t depth,
                                    const std::string& shortfall = "");

/// "N bytes, more than the M bytes available": what a memory failure says would not fit.
std::string MemoryShortfall(std::uint64_t neededBytes, std::uint64_t availableBytes);

/// The cause given for a file that its format's reader cannot decode.
extern const char kUndecodableImage[];

/// The failures outside reading, writing, the region and memory, each with its one cause.
PipelineFailure DepthFailure();
PipelineFailure StandardOutputFailure(int errorNumber);
PipelineFailure ThreadFailure(unsigned count, int errorNumber);
PipelineFailure MissingThreaderFailure();
PipelineFailure UnexpectedFailure();

#endif
