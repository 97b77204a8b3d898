#include "SampleRange.h"

#include <cmath>
#include <cstdint>
#include <iomanip>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <type_traits>

#include "Failures.h"

namespace {

using Component = itk::IOComponentEnum;

// Empty when the reader can turn every sample into a pixel of its type; otherwise the range
// found and why it cannot. Integers must fit 64 bits; where ITK combines two components into
// one pixel by multiplying them (grey and alpha, or colour and alpha), each must fit 32 bits so
// that the product does. Real samples must be finite. Integers are printed whole.
template <typename T>
std::string FindUnreadableSamples(const std::vector<char>& buffer, unsigned components) {
  const T* samples = reinterpret_cast<const T*>(buffer.data());
  bool anyNumber = false;
  bool anyNaN = false;
  T lowest{};
  T highest{};
  for (std::size_t i = 0; i < buffer.size() / sizeof(T); ++i) {
    const T sample = samples[i];
    if (sample != sample) {
      anyNaN = true;
      continue;
    }
    if (!anyNumber || sample < lowest) lowest = sample;
    if (!anyNumber || sample > highest) highest = sample;
    anyNumber = true;
  }
  const long double low = lowest;
  const long double high = highest;
  std::ostringstream text;
  text << std::setprecision(std::is_integral_v<T> ? 20 : 6);
  if (anyNumber) {
    text << "its samples range from " << low << " to " << high;
  } else {
    text << "its samples are all NaN";
  }
  if constexpr (std::is_floating_point_v<T>) {
    if (!anyNaN && std::isfinite(low) && std::isfinite(high)) return "";
    if (anyNaN && anyNumber) text << " and include NaN";
    text << ", and only finite samples can be thresholded";
  } else {
    const bool multiplied = components == 2 || components >= 4;
    const long double limit = multiplied ? std::numeric_limits<std::int32_t>::max()
                                         : std::numeric_limits<std::int64_t>::max();
    if (low >= -limit - 1 && high <= limit) return "";
    text << ", which 64-bit integer pixels cannot hold";
    if (multiplied) text << " once its " << components << " components are combined";
  }
  return text.str();
}

}  // namespace

void CheckSampleRange(const char* path, const itk::ImageIOBase& io,
                      const std::vector<char>& pixels) {
  using Finder = std::string (*)(const std::vector<char>&, unsigned);
  static const std::map<Component, Finder> kFinders = {
      // 8 and 16 bits always fit
      {Component::INT, FindUnreadableSamples<std::int32_t>},
      {Component::UINT, FindUnreadableSamples<std::uint32_t>},
      {Component::LONG, FindUnreadableSamples<long>},
      {Component::ULONG, FindUnreadableSamples<unsigned long>},
      {Component::LONGLONG, FindUnreadableSamples<long long>},
      {Component::ULONGLONG, FindUnreadableSamples<unsigned long long>},
      {Component::FLOAT, FindUnreadableSamples<float>},
      {Component::DOUBLE, FindUnreadableSamples<double>}};
  const auto finder = kFinders.find(io.GetComponentType());
  if (finder == kFinders.end()) return;
  const std::string unreadable = finder->second(pixels, io.GetNumberOfComponents());
  if (!unreadable.empty()) throw ReadFailure(path, unreadable);
}
