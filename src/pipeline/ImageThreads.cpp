#include "ImageThreads.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "Failures.h"
#include "itkConfigure.h"
#include "itkMultiThreaderBase.h"

namespace {

// Starts count threads that all live at the same time, as the pool's do, then ends them; the
// system's error number when one cannot start, 0 when all did.
int TryStartingThreads(unsigned count) {
  std::mutex mutex;
  std::condition_variable releasedChanged;
  bool released = false;
  std::vector<std::thread> threads;
  threads.reserve(count);
  int error = 0;
  for (unsigned i = 0; i < count && error == 0; ++i) {
    try {
      threads.emplace_back([&] {
        std::unique_lock<std::mutex> lock(mutex);
        releasedChanged.wait(lock, [&] { return released; });
      });
    } catch (const std::system_error& failure) {
      error = failure.code().value();
    }
  }
  {
    const std::lock_guard<std::mutex> lock(mutex);
    released = true;
  }
  releasedChanged.notify_all();
  for (std::thread& thread : threads) thread.join();
  return error;
}

}  // namespace

void StartImageThreads() {
#ifndef ITK_USE_TBB
  if (itk::MultiThreaderBase::GetGlobalDefaultThreader() ==
      itk::MultiThreaderBase::ThreaderEnum::TBB) {
    throw MissingThreaderFailure();
  }
#endif
  const unsigned count = itk::MultiThreaderBase::GetGlobalDefaultNumberOfThreads();
  if (const int error = TryStartingThreads(count)) {
    throw ThreadFailure(count, error);
  }
  // The pool starts with the first multi-threader, and the same threads have just started.
  itk::MultiThreaderBase::New();
}
