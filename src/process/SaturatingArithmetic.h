#ifndef SLICE2VOL_PROCESS_SATURATINGARITHMETIC_H
#define SLICE2VOL_PROCESS_SATURATINGARITHMETIC_H

#include <cstdint>
#include <limits>

// Sizes computed from what a file's header claims can be anything: they stop at UINT64_MAX,
// which no file or memory can hold, instead of wrapping round to a small number that would.

/// a x b, held at UINT64_MAX instead of wrapping.
inline std::uint64_t SaturatingProduct(std::uint64_t a, std::uint64_t b) {
  std::uint64_t product;
  return __builtin_mul_overflow(a, b, &product) ? std::numeric_limits<std::uint64_t>::max()
                                                : product;
}

/// a + b, held at UINT64_MAX instead of wrapping.
inline std::uint64_t SaturatingSum(std::uint64_t a, std::uint64_t b) {
  std::uint64_t sum;
  return __builtin_add_overflow(a, b, &sum) ? std::numeric_limits<std::uint64_t>::max() : sum;
}

#endif
