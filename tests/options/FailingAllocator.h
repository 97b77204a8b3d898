#ifndef SLICE2VOL_TESTS_FAILINGALLOCATOR_H
#define SLICE2VOL_TESTS_FAILINGALLOCATOR_H

#include <cstddef>

/// Makes malloc, calloc and realloc return null for requests of at least minimumSize bytes,
/// from the next call on; FailAllocations(0) makes every allocation fail. The test executable
/// that links FailingAllocator.cpp replaces the process's allocator with one that forwards to
/// glibc's until this is called, so it is meant for the child process of a death test.
void FailAllocations(std::size_t minimumSize);

#endif
