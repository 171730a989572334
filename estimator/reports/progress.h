// A one-line progress display on standard error for long runs.
//
// Shown only when standard error is a terminal and reading has taken more
// than about a second; refreshed a few times a second and erased before the
// report, so redirected output never carries it.
#ifndef PLOMET_ESTIMATOR_PROGRESS_H_
#define PLOMET_ESTIMATOR_PROGRESS_H_

#include <cstdint>

/// One display's state.
struct Progress {
  bool bEnabled = false;
  bool bShown = false;
  std::uint64_t nFileSize = 0;
  std::int64_t nNextTick = 0;  // the next refresh is due then, in steady-clock ticks
  int nWidth = 0;              // of the text on screen, to erase it
};

/// Starts the clock; nFileSize is the listing's size in bytes, or 0 if unknown.
void startProgress(Progress& progress, std::uint64_t nFileSize);

/// Refreshes the display if it is due. Cheap enough to call every few
/// thousand lines.
void showProgress(Progress& progress, std::uint64_t nBytesRead, std::uint64_t nLines,
                  std::uint64_t nFiles);

/// Erases the display, if it was ever shown.
void endProgress(Progress& progress);

#endif  // PLOMET_ESTIMATOR_PROGRESS_H_
