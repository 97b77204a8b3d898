#include "FailingAllocator.h"

#include <cstddef>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void __libc_free(void* pointer);
}

namespace {
bool failing = false;
std::size_t failingFrom = 0;

bool Refused(std::size_t size) { return failing && size >= failingFrom; }
}  // namespace

void FailAllocations(std::size_t minimumSize) {
  failingFrom = minimumSize;
  failing = true;
}

// glibc lets a program replace its allocator by defining these four functions; every
// allocation in the process, C++'s operator new and the C library's own included, comes here.
extern "C" {
void* malloc(std::size_t size) { return Refused(size) ? nullptr : __libc_malloc(size); }
void* calloc(std::size_t count, std::size_t size) {
  return Refused(count * size) ? nullptr : __libc_calloc(count, size);
}
void* realloc(void* pointer, std::size_t size) {
  return Refused(size) ? nullptr : __libc_realloc(pointer, size);
}
void free(void* pointer) { __libc_free(pointer); }
}
