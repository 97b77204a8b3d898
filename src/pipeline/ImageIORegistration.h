#ifndef SLICE2VOL_PIPELINE_IMAGEIOREGISTRATION_H
#define SLICE2VOL_PIPELINE_IMAGEIOREGISTRATION_H

/// Registers the image formats the reader can read, in the tool's fixed order, the first time
/// it is called; later calls do nothing. Called at start-up, before any image is read.
void RegisterImageFormats();

#endif
