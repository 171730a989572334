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

bool gbEnabled = false;
bool gbShown = false;
std::uint64_t gnFileSize = 0;
Clock::rep gnNextTick = 0;  // the next refresh is due then, in clock ticks
int gnWidth = 0;            // of the text on screen, to erase it

}  // namespace

void startProgress(std::uint64_t nFileSize) {
  gbEnabled = PLOMET_ISATTY(PLOMET_STDERR_FD) != 0;
  gbShown = false;
  gnFileSize = nFileSize;
  gnNextTick = (Clock::now() + kQuietStart).time_since_epoch().count();
}

void showProgress(std::uint64_t nBytesRead, std::uint64_t nLines, std::uint64_t nFiles) {
  if (!gbEnabled) return;
  Clock::time_point now = Clock::now();
  if (now.time_since_epoch().count() < gnNextTick) return;
  gnNextTick = (now + kRefresh).time_since_epoch().count();
  char szText[128];
  int nWidth;
  if (gnFileSize > 0) {
    unsigned nPercent = static_cast<unsigned>(nBytesRead * 100.0 / static_cast<double>(gnFileSize));
    nWidth =
        std::snprintf(szText, sizeof szText, "%3u%% read, %" PRIu64 " lines, %" PRIu64 " files",
                      nPercent > 100 ? 100 : nPercent, nLines, nFiles);
  } else {
    nWidth = std::snprintf(szText, sizeof szText, "%" PRIu64 " lines, %" PRIu64 " files", nLines,
                           nFiles);
  }
  // Blanks over whatever was longer before.
  std::fprintf(stderr, "\r%s%*s", szText, gnWidth > nWidth ? gnWidth - nWidth : 0, "");
  std::fflush(stderr);
  if (nWidth > gnWidth) gnWidth = nWidth;
  gbShown = true;
}

void endProgress() {
  if (!gbShown) return;
  std::fprintf(stderr, "\r%*s\r", gnWidth, "");
  std::fflush(stderr);
  gbShown = false;
}
