#include "reports/output.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// Standard output is one stream for the whole program: so is its buffer,
// the one program-wide variable of the reports.
struct OutputBuffer {
  char aText[1 << 16];
  std::size_t nLength = 0;
  int nErrno = 0;  // the first failure; later writes are dropped
};
OutputBuffer gOut;

void put(const char* p, std::size_t n) {
  if (n == 0 || gOut.nErrno != 0) return;
  errno = 0;
  if (std::fwrite(p, 1, n, stdout) != n) gOut.nErrno = errno != 0 ? errno : EIO;
}

void drain() {
  put(gOut.aText, gOut.nLength);
  gOut.nLength = 0;
}

}  // namespace

void outWrite(const char* p, std::size_t n) {
  if (n > sizeof gOut.aText - gOut.nLength) {
    drain();
    if (n > sizeof gOut.aText) {  // too large to be worth buffering
      put(p, n);
      return;
    }
  }
  std::memcpy(gOut.aText + gOut.nLength, p, n);
  gOut.nLength += n;
}

void outText(const char* sz) { outWrite(sz, std::strlen(sz)); }

// printf's own formats are the point here, so this is a C-style variadic.
void outFormat(const char* szFormat, ...) {  // NOLINT(cert-dcl50-cpp)
  char szBuf[1024];
  va_list args;
  va_start(args, szFormat);
  va_list argsAgain;
  va_copy(argsAgain, args);
  int n = std::vsnprintf(szBuf, sizeof szBuf, szFormat, args);
  va_end(args);
  if (n >= 0 && static_cast<std::size_t>(n) < sizeof szBuf) {
    outWrite(szBuf, static_cast<std::size_t>(n));
  } else if (n >= 0) {
    // A long file or program name: rare, so a buffer of the right size is made for it.
    std::vector<char> text(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(text.data(), text.size(), szFormat, argsAgain);
    outWrite(text.data(), static_cast<std::size_t>(n));
  }
  va_end(argsAgain);
}

void formatDuration(std::uint64_t nSeconds, char* szText) {
  std::snprintf(szText, kDurationTextSize, "%" PRIu64 " hours %" PRIu64 " mins %" PRIu64 " sec",
                nSeconds / 3600, nSeconds % 3600 / 60, nSeconds % 60);
}

void formatHumanDuration(std::uint64_t nSeconds, char* szText) {
  std::uint64_t nMinutes = nSeconds % 3600 / 60;
  std::uint64_t nRest = nSeconds % 60;
  if (nSeconds >= 3600) {
    std::snprintf(szText, kDurationTextSize, "%" PRIu64 " h %02" PRIu64 " min %02" PRIu64 " s",
                  nSeconds / 3600, nMinutes, nRest);
  } else if (nSeconds >= 60) {
    std::snprintf(szText, kDurationTextSize, "%" PRIu64 " min %02" PRIu64 " s", nMinutes, nRest);
  } else {
    std::snprintf(szText, kDurationTextSize, "%" PRIu64 " s", nRest);
  }
}

void formatTime(bool bHuman, std::uint64_t nSeconds, char* szText) {
  if (bHuman) {
    formatHumanDuration(nSeconds, szText);
  } else {
    formatDuration(nSeconds, szText);
  }
}

void formatHumanSize(double dBytes, char* szText) {
  const char* const aszUnits[] = {"B", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  if (!(dBytes > 0)) dBytes = 0;  // and not a number
  int nUnit = 0;
  while (dBytes >= 1024 && nUnit < 6) {
    dBytes /= 1024;
    nUnit++;
  }
  // The decimals the text shows decide where it rounds to: 1023.96 KiB
  // would show as 1024 KiB, which is 1.0 MiB.
  int nDecimals = nUnit == 0 || dBytes >= 99.95 ? 0 : 1;
  if (nUnit > 0 && nUnit < 6 && dBytes >= 1023.5) {
    dBytes /= 1024;
    nUnit++;
    nDecimals = 1;
  }
  std::snprintf(szText, kSizeTextSize, "%.*f %s", nDecimals, dBytes, aszUnits[nUnit]);
}

std::string humanSize(double dBytes) {
  char szText[kSizeTextSize];
  formatHumanSize(dBytes, szText);
  return szText;
}

std::string humanDuration(std::uint64_t nSeconds) {
  char szText[kDurationTextSize];
  formatHumanDuration(nSeconds, szText);
  return szText;
}

int outFlush() {
  drain();
  errno = 0;
  if (std::fflush(stdout) != 0 && gOut.nErrno == 0) gOut.nErrno = errno != 0 ? errno : EIO;
  return gOut.nErrno;
}

std::string printable(const char* szText) {
  std::string text(szText);
  std::replace_if(
      text.begin(), text.end(), [](char c) { return (c >= 0 && c < 32) || c == 127; }, '?');
  return text;
}

void echoLine(const char* szParser, const Piece& piece, const char* szData) {
  outText(szParser);
  outText("( line: ");
  std::size_t nText = std::strlen(piece.szText);
  outWrite(piece.szText, nText);
  if (piece.bLineFeed && nText == piece.nLength) outText("\n");
  outText(", data: ");
  outText(szData);
  outText(" )\n");
}
