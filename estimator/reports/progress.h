// A one-line progress display on standard error for long runs: the lines
// of a listing read, or the objects, bytes and folders a scan has found.
//
// Shown only when standard error is a terminal and reading has taken more
// than about a second; refreshed a few times a second and erased before the
// report, so redirected output never carries it.
#ifndef PLOMET_ESTIMATOR_PROGRESS_H_
#define PLOMET_ESTIMATOR_PROGRESS_H_

#include <cstddef>
#include <cstdint>

/// One display's state.
struct Progress {
  bool bEnabled = false;
  bool bShown = false;
  std::uint64_t nFileSize = 0;
  std::int64_t nStartTick = 0;  // when it started, in steady-clock ticks
  std::int64_t nNextTick = 0;   // the next refresh is due then
  int nWidth = 0;               // of the text on screen, to erase it
};

/// Starts the clock; nFileSize is the listing's size in bytes, or 0 if unknown.
void startProgress(Progress& progress, std::uint64_t nFileSize);

/// Refreshes the display if it is due. Cheap enough to call every few
/// thousand lines.
void showProgress(Progress& progress, std::uint64_t nBytesRead, std::uint64_t nLines,
                  std::uint64_t nFiles);

/// Refreshes a scan's display if it is due: the objects and bytes found,
/// the folders walked and the time since startProgress. Cheap enough to call
/// for every batch of objects.
void showScanProgress(Progress& progress, std::uint64_t nObjects, std::uint64_t nBytes,
                      std::uint64_t nFolders);

/// Writes a scan's progress line into szText, of nSize bytes, as
/// "1234 objects, 10.2 GiB, 56 folders, 1 min 05 s". Returns its length.
int formatScanProgress(char* szText, std::size_t nSize, std::uint64_t nObjects,
                       std::uint64_t nBytes, std::uint64_t nFolders, std::uint64_t nSeconds);

/// Erases the display, if it was ever shown.
void endProgress(Progress& progress);

#endif  // PLOMET_ESTIMATOR_PROGRESS_H_
