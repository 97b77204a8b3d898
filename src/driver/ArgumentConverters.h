#ifndef SLICE2VOL_DRIVER_ARGUMENTCONVERTERS_H
#define SLICE2VOL_DRIVER_ARGUMENTCONVERTERS_H

#include <array>
#include <cstdint>

/// Converts a decimal numeral with the range of a 32-bit signed integer: values above 2147483647
/// become 2147483647, and the empty text is 0. Returns 0 if the text is accepted (value written),
/// 1 if it has characters left over or is negative (message printed, value untouched) or is null
/// (no message).
int ParsePositiveArgument(const char* text, std::int64_t& value);
int ParsePositiveArgument(const char* text, std::uint64_t& value);

/// Converts the text "x y sx sy" (four numerals separated by blanks) into a region's index and
/// size. Returns 0 if accepted (all four written), 1 if rejected (message printed; components
/// before the rejected one may already be written).
int ParseRegionArgument(const char* text, std::array<std::int64_t, 2>& index,
                        std::array<std::uint64_t, 2>& size);

#endif
