#ifndef SLICE2VOL_PIPELINE_VOLUMEPIPELINE_H
#define SLICE2VOL_PIPELINE_VOLUMEPIPELINE_H

#include <array>
#include <cstdint>

/// Reads the 2D image at inputPath, binarises it with an Otsu threshold (at or below the
/// threshold 0, above it 255), prints its size as "[w, h]", crops it to the region when one is
/// given, stacks the slice tileDepth times and writes the volume as ASCII VTK to outputPath.
/// regionIndex and regionSize are read only when regionGiven is true. Throws a PipelineFailure
/// on failure. Every ITK object is released before it returns or throws.
void RunVolumePipeline(const char* inputPath, const char* outputPath, bool regionGiven,
                       const std::array<std::int64_t, 2>& regionIndex,
                       const std::array<std::uint64_t, 2>& regionSize, std::uint64_t tileDepth);

#endif
