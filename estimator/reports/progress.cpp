#include "reports/progress.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>

#include "reports/output.h"

#ifdef _WIN32
#include <io.h>
#define PLOMET_ISATTY(fd) _isatty(fd)
#define PLOMET_STDERR_FD 2
#else
#include <unistd.h>
#define PLOMET_ISATTY(fd) isatty(fd)
#define PLOMET_STDERR_FD STDERR_FILENO
#endif

namespace {

typedef std::chrono::steady_clock Clock;

constexpr std::chrono::milliseconds kQuietStart(1000);
constexpr std::chrono::milliseconds kRefresh(250);

// True when a refresh is due; then the next is set.
bool due(Progress& progress, Clock::time_point now) {
  if (!progress.bEnabled || now.time_since_epoch().count() < progress.nNextTick) return false;
  progress.nNextTick = (now + kRefresh).time_since_epoch().count();
  return true;
}

// Writes the text over the one shown before, with blanks over whatever was longer.
void draw(Progress& progress, const char* szText, int nWidth) {
  std::fprintf(stderr, "\r%s%*s", szText, progress.nWidth > nWidth ? progress.nWidth - nWidth : 0,
               "");
  std::fflush(stderr);
  if (nWidth > progress.nWidth) progress.nWidth = nWidth;
  progress.bShown = true;
}

}  // namespace

void startProgress(Progress& progress, std::uint64_t nFileSize) {
  progress.bEnabled = PLOMET_ISATTY(PLOMET_STDERR_FD) != 0;
  progress.bShown = false;
  progress.nFileSize = nFileSize;
  Clock::time_point now = Clock::now();
  progress.nStartTick = now.time_since_epoch().count();
  progress.nNextTick = (now + kQuietStart).time_since_epoch().count();
}

void showProgress(Progress& progress, std::uint64_t nBytesRead, std::uint64_t nLines,
                  std::uint64_t nFiles) {
  if (!progress.bEnabled || !due(progress, Clock::now())) return;
  char szText[128];
  int nWidth;
  if (progress.nFileSize > 0) {
    unsigned nPercent =
        static_cast<unsigned>(nBytesRead * 100.0 / static_cast<double>(progress.nFileSize));
    nWidth =
        std::snprintf(szText, sizeof szText, "%3u%% read, %" PRIu64 " lines, %" PRIu64 " files",
                      nPercent > 100 ? 100 : nPercent, nLines, nFiles);
  } else {
    nWidth = std::snprintf(szText, sizeof szText, "%" PRIu64 " lines, %" PRIu64 " files", nLines,
                           nFiles);
  }
  draw(progress, szText, nWidth);
}

int formatScanProgress(char* szText, std::size_t nSize, std::uint64_t nObjects,
                       std::uint64_t nBytes, std::uint64_t nFolders, std::uint64_t nSeconds) {
  char szBytes[kSizeTextSize];
  char szTime[kDurationTextSize];
  formatHumanSize(static_cast<double>(nBytes), szBytes);
  formatHumanDuration(nSeconds, szTime);
  return std::snprintf(szText, nSize, "%" PRIu64 " objects, %s, %" PRIu64 " folders, %s", nObjects,
                       szBytes, nFolders, szTime);
}

void showScanProgress(Progress& progress, std::uint64_t nObjects, std::uint64_t nBytes,
                      std::uint64_t nFolders) {
  if (!progress.bEnabled) return;
  Clock::time_point now = Clock::now();
  if (!due(progress, now)) return;
  Clock::duration elapsed = now - Clock::time_point(Clock::duration(progress.nStartTick));
  auto nSeconds = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
  char szText[160];
  int nWidth = formatScanProgress(szText, sizeof szText, nObjects, nBytes, nFolders,
                                  nSeconds > 0 ? static_cast<std::uint64_t>(nSeconds) : 0);
  draw(progress, szText, nWidth);
}

void endProgress(Progress& progress) {
  if (!progress.bShown) return;
  std::fprintf(stderr, "\r%*s\r", progress.nWidth, "");
  std::fflush(stderr);
  progress.bShown = false;
}
