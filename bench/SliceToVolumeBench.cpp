// The measuring half of scripts/bench.sh: test images, the plain ITK pipeline, the writer
// comparison, the page-cache write, and a timed run of any command.
//
//   slice2vol_bench image PATH WIDTH HEIGHT BITS    an 8- or 16-bit PNG
//   slice2vol_bench plain INPUT OUTPUT DEPTH        the writer's seconds on standard error
//   slice2vol_bench limit INPUT                     the least a run must do: start, read, one
//                                                   pass over the pixels, end
//   slice2vol_bench stages INPUT OUTPUT DEPTH       prints the seconds of the tool's stages:
//                                                   read and check, threshold, volume
//   slice2vol_bench writers WIDTH HEIGHT DEPTH DIR  prints "identical" or "DIFFERENT"
//   slice2vol_bench page-cache BYTES PATH           prints the seconds to write BYTES
//   slice2vol_bench measure COMMAND...              prints "SECONDS PEAK_RSS_KIB STATUS"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "AsciiVolumeImageIO.h"
#include "InputCheck.h"
#include "PipelineStages.h"
#include "PlainPipeline.h"
#include "SystemLimits.h"
#include "TestFiles.h"
#include "TestImages.h"
#include "itkImageFileWriter.h"
#include "itkImageIOFactory.h"
#include "itkVTKImageIO.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

unsigned long Number(const char* text) { return std::strtoul(text, nullptr, 10); }

// A smooth gradient under a coarse checkerboard: Otsu finds a threshold well inside the range.
int WriteBenchImage(const char* path, unsigned width, unsigned height, unsigned bits) {
  const auto value = [](unsigned x, unsigned y) {
    return ((x / 16 + y / 16) % 2 == 0 ? 140 : 20) + (x * 31 + y * 17) % 90;
  };
  if (bits == 16) {
    WriteTestImage<std::uint16_t>(path, width, height, [&](unsigned x, unsigned y) {
      return static_cast<std::uint16_t>(value(x, y) * 257 + (x + y) % 257);
    });
  } else {
    WriteTestImage<std::uint8_t>(path, width, height, value);
  }
  return 0;
}

int ReadAndPass(const char* input) {
  const itk::ImageIOBase::Pointer io =
      itk::ImageIOFactory::CreateImageIO(input, itk::ImageIOFactory::IOFileModeEnum::ReadMode);
  io->SetFileName(input);
  io->ReadImageInformation();
  std::vector<unsigned char> pixels(io->GetImageSizeInBytes());
  io->Read(pixels.data());
  unsigned long sum = 0;
  for (const unsigned char byte : pixels) sum += byte;
  return sum == 1 ? 1 : 0;  // uses the sum, which is never 1
}

int TimeStages(const char* input, const char* output, unsigned long depth) {
  auto start = Clock::now();
  const auto lap = [&] {
    std::cout << SecondsSince(start) << " ";
    start = Clock::now();
  };
  CheckedInput checked = ReadCheckedInput(input, AvailableMemoryBytes());
  lap();
  const auto slice = ThresholdSlice(input, checked);
  lap();
  OutputFile volume(output);
  WriteVolume(slice, depth, volume);
  lap();
  std::cout << "\n";
  return 0;
}

int RunPlain(const char* input, const char* output, unsigned depth) {
  PlainRequest request;
  request.input = input;
  request.output = output;
  request.depth = depth;
  // Standard error, because "measure" silences the standard output of what it runs.
  std::cerr << WritePlainVolume(request) << "\n";
  return 0;
}

// One random 0/255 slice in every layer, as the tool writes, through both writers.
int CompareWriters(unsigned long width, unsigned long height, unsigned long depth,
                   const std::string& folder) {
  using Volume = itk::Image<unsigned char, 3>;
  auto volume = Volume::New();
  volume->SetRegions(Volume::SizeType{{width, height, depth}});
  volume->Allocate();
  std::mt19937 random(1);
  unsigned char* voxels = volume->GetBufferPointer();
  const std::size_t slice = width * height;
  for (std::size_t i = 0; i < slice; ++i) voxels[i] = random() % 2 == 0 ? 0 : 255;
  for (std::size_t layer = 1; layer < depth; ++layer) {
    std::copy(voxels, voxels + slice, voxels + layer * slice);
  }
  auto stockIO = itk::VTKImageIO::New();
  auto ourIO = AsciiVolumeImageIO::New();
  stockIO->SetFileTypeToASCII();
  OutputFile ours((folder + "/ours.vtk").c_str());
  ourIO->SetOutput(&ours);
  WriteThroughImageIO(volume.GetPointer(), folder + "/ours.vtk", ourIO.GetPointer());
  WriteThroughImageIO(volume.GetPointer(), folder + "/stock.vtk", stockIO.GetPointer());
  const bool same = ReadFile(folder + "/ours.vtk") == ReadFile(folder + "/stock.vtk");
  std::cout << (same ? "identical" : "DIFFERENT") << "\n";
  return same ? 0 : 1;
}

int WriteToPageCache(unsigned long bytes, const char* path) {
  const std::vector<char> block(std::size_t{1} << 20, '5');
  const auto start = Clock::now();
  const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  for (unsigned long left = bytes; left > 0;) {
    const ssize_t written = write(fd, block.data(), std::min<unsigned long>(left, block.size()));
    if (written <= 0) return 1;
    left -= static_cast<unsigned long>(written);
  }
  close(fd);
  std::cout << SecondsSince(start) << "\n";
  return 0;
}

int Measure(char* command[]) {
  const auto start = Clock::now();
  const pid_t child = fork();
  if (child == 0) {
    const int quiet = open("/dev/null", O_WRONLY);
    dup2(quiet, STDOUT_FILENO);
    execvp(command[0], command);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  std::cout << SecondsSince(start) << " " << usage.ru_maxrss << " "
            << (WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)) << "\n";
  return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
  const std::string what = argc > 1 ? argv[1] : "";
  if (what == "image" && argc == 6)
    return WriteBenchImage(argv[2], Number(argv[3]), Number(argv[4]), Number(argv[5]));
  if (what == "limit" && argc == 3) return ReadAndPass(argv[2]);
  if (what == "stages" && argc == 5) return TimeStages(argv[2], argv[3], Number(argv[4]));
  if (what == "plain" && argc == 5) return RunPlain(argv[2], argv[3], Number(argv[4]));
  if (what == "writers" && argc == 6) {
    return CompareWriters(Number(argv[2]), Number(argv[3]), Number(argv[4]), argv[5]);
  }
  if (what == "page-cache" && argc == 4) return WriteToPageCache(Number(argv[2]), argv[3]);
  if (what == "measure" && argc > 2) return Measure(argv + 2);
  std::cerr << "usage: see the top of bench/SliceToVolumeBench.cpp\n";
  return 2;
}
