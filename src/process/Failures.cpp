#include "Failures.h"

#include <sstream>

#include "PathText.h"

const char kUndecodableImage[] =
    "the file is damaged or uses a variant of its format that cannot be decoded";

std::string ErrorLine(const std::string& cause) { return "Error: " + cause + "\n"; }

PipelineFailure ReadFailure(const std::string& path, const std::string& cause) {
  return PipelineFailure("cannot read image " + QuotedName(path) + ": " + cause);
}

PipelineFailure SampleRangeFailure(const std::string& path, double lowest, double highest) {
  std::ostringstream range;
  range << "its samples range from " << lowest << " to " << highest
        << ", too far apart to be thresholded";
  return ReadFailure(path, range.str());
}

PipelineFailure WriteFailure(const std::string& path, const std::string& cause) {
  return PipelineFailure("cannot write volume " + QuotedName(path) +
                         (cause.empty() ? "" : ": " + cause));
}

PipelineFailure RegionFailure(const std::array<std::int64_t, 2>& index,
                              const std::array<std::uint64_t, 2>& size,
                              const std::string& problem) {
  return PipelineFailure("region '" + std::to_string(index[0]) + ' ' + std::to_string(index[1]) +
                         ' ' + std::to_string(size[0]) + ' ' + std::to_string(size[1]) + "' " +
                         problem);
}

PipelineFailure VolumeSpaceFailure(const std::string& path, std::uint64_t neededBytes,
                                   std::uint64_t freeBytes) {
  return WriteFailure(path, "its text needs " + std::to_string(neededBytes) +
                                " bytes, more than the " + std::to_string(freeBytes) +
                                " bytes free on its file system");
}

PipelineFailure MemoryFailure() { return PipelineFailure("not enough memory"); }

PipelineFailure ImageMemoryFailure(const std::string& path) {
  return PipelineFailure("not enough memory to read image " + QuotedName(path));
}

PipelineFailure VolumeMemoryFailure(std::uint64_t width, std::uint64_t height, std::uint64_t depth,
                                    const std::string& shortfall) {
  return PipelineFailure("not enough memory for a volume of " + std::to_string(width) + " x " +
                         std::to_string(height) + " x " + std::to_string(depth) + " voxels" +
                         (shortfall.empty() ? "" : ": it needs " + shortfall));
}

std::string MemoryShortfall(std::uint64_t neededBytes, std::uint64_t availableBytes) {
  return std::to_string(neededBytes) + " bytes, more than the " + std::to_string(availableBytes) +
         " bytes available";
}

PipelineFailure DepthFailure() {
  return PipelineFailure("cannot make a volume of tile depth 0: the depth must be at least 1");
}

PipelineFailure StandardOutputFailure(int errorNumber) {
  return PipelineFailure("cannot write standard output: " + SystemErrorText(errorNumber));
}

PipelineFailure ThreadFailure(unsigned count, int errorNumber) {
  return PipelineFailure("cannot start the " + std::to_string(count) +
                         " threads the image pipeline uses: " + SystemErrorText(errorNumber));
}

PipelineFailure MissingThreaderFailure() {
  return PipelineFailure(
      "ITK_GLOBAL_DEFAULT_THREADER asks for the TBB threader, which this build of ITK lacks");
}

// Whatever else ITK throws: its text names ITK's source files and object addresses, which mean
// nothing to the user, so it is not shown.
PipelineFailure UnexpectedFailure() {
  return PipelineFailure("the image pipeline failed unexpectedly");
}
