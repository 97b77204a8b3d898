#ifndef SLICE2VOL_APP_INPUTCHECK_H
#define SLICE2VOL_APP_INPUTCHECK_H

/// Makes sure the reader can turn the file at path into a faithful signed 16-bit 2D image, and
/// throws PipelineFailure naming the path and the cause when it cannot: the file is missing,
/// not a regular file (a FIFO would block the reader forever), unreadable or empty; no
/// registered image format recognises it, or its header cannot be decoded; it holds more than
/// one slice; its pixels would not fit in memory; or it stores samples (of a type wider than
/// signed 16 bits) that a signed 16-bit pixel cannot hold, which the reader's plain cast would
/// silently wrap. Run under a CrashGuard: the format probes and the decoders behind them can
/// crash on corrupt files.
void CheckInputImage(const char* path);

/// The cause given for a file that its format's reader cannot decode.
extern const char kUndecodableImage[];

#endif
