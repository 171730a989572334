#include "reports/progress.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>

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

}  // namespace

void startProgress(Progress& progress, std::uint64_t nFileSize) {
  progress.bEnabled = PLOMET_ISATTY(PLOMET_STDERR_FD) != 0;
  progress.bShown = false;
  progress.nFileSize = nFileSize;
  progress.nNextTick = (Clock::now() + kQuietStart).time_since_epoch().count();
}

void showProgress(Progress& progress, std::uint64_t nBytesRead, std::uint64_t nLines,
                  std::uint64_t nFiles) {
  if (!progress.bEnabled) return;
  Clock::time_point now = Clock::now();
  if (now.time_since_epoch().count() < progress.nNextTick) return;
  progress.nNextTick = (now + kRefresh).time_since_epoch().count();
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
  // Blanks over whatever was longer before.
  std::fprintf(stderr, "\r%s%*s", szText, progress.nWidth > nWidth ? progress.nWidth - nWidth : 0,
               "");
  std::fflush(stderr);
  if (nWidth > progress.nWidth) progress.nWidth = nWidth;
  progress.bShown = true;
}

void endProgress(Progress& progress) {
  if (!progress.bShown) return;
  std::fprintf(stderr, "\r%*s\r", progress.nWidth, "");
  std::fflush(stderr);
  progress.bShown = false;
}
