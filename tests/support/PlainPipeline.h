#ifndef SLICE2VOL_TESTS_PLAINPIPELINE_H
#define SLICE2VOL_TESTS_PLAINPIPELINE_H

#include <cstdint>
#include <string>

struct PlainRequest {
  std::string input;
  std::string output;
  bool regionGiven = false;
  std::int64_t index[2] = {0, 0};
  std::uint64_t size[2] = {0, 0};
  unsigned depth = 10;
  bool binMidpoint = true;  // false gives ITK 5's own Otsu default
};

/// The volume built with ITK's stock classes only: reader (64-bit integer pixels, or double for
/// real samples), Otsu filter, region of interest, tile filter and ITK's own ASCII VTK writer. It
/// is the reference the tool must match, and the pipeline its speed is measured against. Returns
/// the seconds the writer took.
double WritePlainVolume(const PlainRequest& request);

#endif
