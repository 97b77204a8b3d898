#ifndef SLICE2VOL_PIPELINE_PIPELINESTAGES_H
#define SLICE2VOL_PIPELINE_PIPELINESTAGES_H

#include <cstdint>

#include "InputCheck.h"
#include "OutputFile.h"
#include "itkImage.h"

/// The steps of a run after the input check, on their own for measuring them. ThresholdSlice
/// binarises the checked input, taking its pixels, and refuses samples it cannot threshold;
/// WriteVolume stacks slice depth times and writes the volume to output, a piece of layers at a
/// time. Both throw a PipelineFailure on failure.
itk::Image<unsigned char, 2>::Pointer ThresholdSlice(const char* inputPath, CheckedInput& input);
void WriteVolume(itk::Image<unsigned char, 2>* slice, std::uint64_t depth, OutputFile& output);

#endif
