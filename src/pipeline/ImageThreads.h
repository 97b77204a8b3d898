#ifndef SLICE2VOL_PIPELINE_IMAGETHREADS_H
#define SLICE2VOL_PIPELINE_IMAGETHREADS_H

/// Starts ITK's threads before any image is read, or throws PipelineFailure saying why they
/// cannot start: the threader ITK_GLOBAL_DEFAULT_THREADER asks for is missing from this ITK, or
/// the system refuses the threads (a process or address-space limit). ITK's thread pool cannot
/// report that failure itself: it ends the process.
void StartImageThreads();

#endif
