#ifndef SLICE2VOL_PIPELINE_VOLUMEPIPELINE_H
#define SLICE2VOL_PIPELINE_VOLUMEPIPELINE_H

#include <cstdint>

#include "Failures.h"
#include "InputCheck.h"
#include "itkImage.h"

/// Reads the 2D image at inputPath, binarises it with an Otsu threshold (at or below the
/// threshold 0, above it 255), prints its size as "[w, h]", crops it to the region when one is
/// given, stacks the slice tileDepth times and writes the volume as ASCII VTK to outputPath.
/// regionIndex and regionSize are read only when regionGiven is true. Every ITK object is
/// released before it returns or throws.
void RunVolumePipeline(const char* inputPath, const char* outputPath, bool regionGiven,
                       const std::int64_t regionIndex[2], const std::uint64_t regionSize[2],
                       std::uint64_t tileDepth);

/// The steps of a run after the input check, on their own for measuring them. ThresholdSlice
/// binarises the checked input, taking its pixels, and refuses samples it cannot threshold;
/// WriteVolume stacks slice depth times and writes the volume to outputPath, a piece of layers at a
/// time, and throws a PipelineFailure on failure.
itk::Image<unsigned char, 2>::Pointer ThresholdSlice(const char* inputPath, CheckedInput& input);
void WriteVolume(itk::Image<unsigned char, 2>* slice, std::uint64_t depth, const char* outputPath);

#endif
