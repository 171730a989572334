#include "tallies/window.h"

#include <cinttypes>

namespace {

const std::uint64_t kMax = UINT64_MAX;

// Reads one or more digits at pC into nValue and moves pC past them; a value
// past 2^64 - 1 sets bPast. Returns false when there are none.
bool readDigits(const char*& pC, std::uint64_t& nValue, bool& bPast) {
  if (*pC < '0' || *pC > '9') return false;
  nValue = 0;
  for (; *pC >= '0' && *pC <= '9'; pC++) {
    unsigned nDigit = static_cast<unsigned>(*pC - '0');
    if (nValue > (kMax - nDigit) / 10) {
      bPast = true;
      nValue = kMax;
    } else {
      nValue = nValue * 10 + nDigit;
    }
  }
  return true;
}

// Returns the seconds in one of the unit c (h, m or s, in either case), or 0.
std::uint64_t unitSeconds(char c) {
  switch (c) {
    case 'h':
    case 'H':
      return 3600;
    case 'm':
    case 'M':
      return 60;
    case 's':
    case 'S':
      return 1;
    default:
      return 0;
  }
}

// Returns the next decimal digit of the fraction r / w (r < w) and leaves
// 10 r mod w in r. 10 r is built by ten additions modulo w, so that nothing
// overflows however large w is; each wrap is one more unit of the digit.
unsigned nextDigit(std::uint64_t& r, std::uint64_t w) {
  unsigned nDigit = 0;
  std::uint64_t nTimesTen = 0;
  for (int i = 0; i < 10; i++) {
    if (nTimesTen >= w - r) {
      nTimesTen -= w - r;
      nDigit++;
    } else {
      nTimesTen += r;
    }
  }
  r = nTimesTen;
  return nDigit;
}

}  // namespace

bool parseDuration(const char* szText, std::uint64_t& nSeconds, bool* pbOutOfRange) {
  if (szText == nullptr) return false;
  const char* pC = szText;
  std::uint64_t nTotal = 0;
  std::uint64_t nLastUnit = kMax;  // units come largest first, each once
  bool bPast = false;              // the text is read to its end all the same
  do {
    std::uint64_t nValue;
    if (!readDigits(pC, nValue, bPast)) return false;
    if (*pC == '\0' && nLastUnit == kMax) {
      nTotal = nValue;  // digits alone: seconds
      break;
    }
    std::uint64_t nUnit = unitSeconds(*pC);
    if (nUnit == 0 || nUnit >= nLastUnit) return false;
    pC++;
    bPast = bPast || nValue > kMax / nUnit || nTotal > kMax - nValue * nUnit;
    if (!bPast) nTotal += nValue * nUnit;
    nLastUnit = nUnit;
  } while (*pC != '\0');
  if (bPast && pbOutOfRange != nullptr) *pbOutOfRange = true;
  if (bPast || nTotal == 0) return false;
  nSeconds = nTotal;
  return true;
}

namespace {

// Reads H:MM or HH:MM at pC into the second of the day; moves pC past it.
bool readClock(const char*& pC, int& nSecond) {
  int nHour = 0;
  int nDigits = 0;
  for (; *pC >= '0' && *pC <= '9' && nDigits < 3; pC++, nDigits++) nHour = nHour * 10 + (*pC - '0');
  if (nDigits < 1 || nDigits > 2 || nHour > 23 || *pC != ':') return false;
  pC++;
  if (!(pC[0] >= '0' && pC[0] <= '5' && pC[1] >= '0' && pC[1] <= '9')) return false;
  nSecond = nHour * 3600 + ((pC[0] - '0') * 10 + (pC[1] - '0')) * 60;
  pC += 2;
  return true;
}

}  // namespace

bool parseClockWindow(const char* szText, std::uint64_t& nSeconds, int& nStartSecond) {
  if (szText == nullptr) return false;
  const char* pC = szText;
  int nStart = 0;
  int nEnd = 0;
  if (!readClock(pC, nStart) || *pC++ != '-' || !readClock(pC, nEnd) || *pC != '\0') return false;
  if (nEnd == nStart) return false;
  nSeconds = static_cast<std::uint64_t>((nEnd - nStart + 86400) % 86400);
  nStartSecond = nStart;
  return true;
}

WindowVerdict judgeWindow(std::uint64_t nWindowSeconds, std::uint64_t nEstimateSeconds,
                          bool bPassedMax) {
  WindowVerdict verdict;
  verdict.nWindowSeconds = nWindowSeconds;
  verdict.nEstimateSeconds = nEstimateSeconds;
  verdict.bFits = nEstimateSeconds <= nWindowSeconds && !bPassedMax;
  if (verdict.bFits) {
    verdict.nSpareSeconds = nWindowSeconds - nEstimateSeconds;
  } else {
    verdict.nOverSeconds = nEstimateSeconds - nWindowSeconds;
  }
  std::uint64_t w = nWindowSeconds == 0 ? 1 : nWindowSeconds;
  std::uint64_t r = nEstimateSeconds % w;
  verdict.nFactorWhole = nEstimateSeconds / w;
  unsigned nTenths = nextDigit(r, w);
  verdict.nFactorHundredths = nTenths * 10 + nextDigit(r, w);
  if (r != 0) {
    // Rounded up, so that rates that many times as high make it fit. The
    // whole part cannot overflow: a remainder means w >= 2.
    verdict.nFactorHundredths++;
    if (verdict.nFactorHundredths == 100) {
      verdict.nFactorHundredths = 0;
      verdict.nFactorWhole++;
    }
  }
  return verdict;
}
