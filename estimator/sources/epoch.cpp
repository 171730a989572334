// Unix seconds and RFC 3339 texts as local stamps (epoch.h). The calendar
// arithmetic is the proleptic Gregorian calendar's, in whole days.
#include "sources/epoch.h"

#include <ctime>

namespace {

const std::int64_t kSecondsPerDay = 86400;
const std::int64_t kQuarter = 900;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

void civilFromDays(std::int64_t nDays, std::int64_t& nYear, int& nMonth, int& nDay) {
  nDays += 719468;
  const std::int64_t nEra = floorDiv(nDays, 146097);
  const std::int64_t nOfEra = nDays - nEra * 146097;
  const std::int64_t nYearOfEra = (nOfEra - nOfEra / 1460 + nOfEra / 36524 - nOfEra / 146096) / 365;
  const std::int64_t nOfYear = nOfEra - (365 * nYearOfEra + nYearOfEra / 4 - nYearOfEra / 100);
  const std::int64_t nMonthIndex = (5 * nOfYear + 2) / 153;
  nDay = static_cast<int>(nOfYear - (153 * nMonthIndex + 2) / 5 + 1);
  nMonth = static_cast<int>(nMonthIndex < 10 ? nMonthIndex + 3 : nMonthIndex - 9);
  nYear = nYearOfEra + nEra * 400 + (nMonth <= 2 ? 1 : 0);
}

// The local time's offset from UTC at the moment, as the system gives it.
bool localOffset(std::int64_t nSeconds, std::int64_t& nOffset) {
  std::time_t nTime = static_cast<std::time_t>(nSeconds);
  if (static_cast<std::int64_t>(nTime) != nSeconds) return false;  // a 32-bit time_t
  std::tm parts{};
#ifdef _WIN32
  if (localtime_s(&parts, &nTime) != 0) return false;
#else
  if (localtime_r(&nTime, &parts) == nullptr) return false;
#endif
  std::int64_t nLocal =
      daysFromCivil(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday) * kSecondsPerDay +
      std::int64_t{parts.tm_hour} * 3600 + std::int64_t{parts.tm_min} * 60 +
      (parts.tm_sec > 59 ? 59 : parts.tm_sec);
  nOffset = nLocal - nSeconds;
  return true;
}

bool isDigitAt(const char* pC, int n) {
  for (int i = 0; i < n; i++) {
    if (pC[i] < '0' || pC[i] > '9') return false;
  }
  return true;
}

int digitsAt(const char* pC, int n) {
  int nValue = 0;
  for (int i = 0; i < n; i++) nValue = nValue * 10 + (pC[i] - '0');
  return nValue;
}

bool isLeapYear(int nYear) { return nYear % 4 == 0 && (nYear % 100 != 0 || nYear % 400 == 0); }

int daysInMonth(int nYear, int nMonth) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return nMonth == 2 && isLeapYear(nYear) ? 29 : kDays[nMonth - 1];
}

}  // namespace

std::int64_t daysFromCivil(int nYear, int nMonth, int nDay) {
  const std::int64_t y = static_cast<std::int64_t>(nYear) - (nMonth <= 2 ? 1 : 0);
  const std::int64_t nEra = floorDiv(y, 400);
  const std::int64_t nYearOfEra = y - nEra * 400;
  const std::int64_t nOfYear = (153 * (nMonth > 2 ? nMonth - 3 : nMonth + 9) + 2) / 5 + nDay - 1;
  const std::int64_t nOfEra = nYearOfEra * 365 + nYearOfEra / 4 - nYearOfEra / 100 + nOfYear;
  return nEra * 146097 + nOfEra - 719468;
}

bool setEpochStamp(LineStamp& stamp, std::int64_t nSeconds, LocalOffsetCache& cache) {
  // Past these the arithmetic below would overflow; no file is that old.
  const std::int64_t kLimit = std::int64_t{1} << 50;
  if (nSeconds < -kLimit || nSeconds > kLimit) return false;
  const std::int64_t nQuarter = floorDiv(nSeconds, kQuarter);
  if (nQuarter != cache.nQuarter) {
    cache.nQuarter = nQuarter;
    cache.bKnown = localOffset(nQuarter * kQuarter, cache.nOffset);
  }
  if (!cache.bKnown) return false;
  const std::int64_t nLocal = nSeconds + cache.nOffset;
  const std::int64_t nDays = floorDiv(nLocal, kSecondsPerDay);
  std::int64_t nYear = 0;
  int nMonth = 0;
  int nDay = 0;
  civilFromDays(nDays, nYear, nMonth, nDay);
  if (nYear < 1 || nYear > 9999) return false;
  setYearFirstStamp(stamp, static_cast<int>(nYear), nMonth, nDay,
                    static_cast<int>(nLocal - nDays * kSecondsPerDay));
  return true;
}

// cppcheck-suppress constParameter ; nSeconds is written on success
bool readRfc3339(const char* pC, std::size_t n, std::int64_t& nSeconds) {
  // YYYY-MM-DDThh:mm:ss, then the fraction and the zone.
  if (n < 20 || !isDigitAt(pC, 4) || pC[4] != '-' || !isDigitAt(pC + 5, 2) || pC[7] != '-' ||
      !isDigitAt(pC + 8, 2) || (pC[10] != 'T' && pC[10] != 't' && pC[10] != ' ') ||
      !isDigitAt(pC + 11, 2) || pC[13] != ':' || !isDigitAt(pC + 14, 2) || pC[16] != ':' ||
      !isDigitAt(pC + 17, 2)) {
    return false;
  }
  const int nYear = digitsAt(pC, 4);
  const int nMonth = digitsAt(pC + 5, 2);
  const int nDay = digitsAt(pC + 8, 2);
  const int nHour = digitsAt(pC + 11, 2);
  const int nMinute = digitsAt(pC + 14, 2);
  int nSecond = digitsAt(pC + 17, 2);
  if (nMonth < 1 || nMonth > 12 || nDay < 1 || nDay > daysInMonth(nYear, nMonth) || nHour > 23 ||
      nMinute > 59 || nSecond > 60) {
    return false;
  }
  if (nSecond == 60) nSecond = 59;
  std::size_t i = 19;  // n > 19: the zone follows, at least
  if (pC[i] == '.') {
    i++;
    const std::size_t nDigits = i;
    while (i < n && pC[i] >= '0' && pC[i] <= '9') i++;
    if (i == nDigits) return false;
  }
  std::int64_t nOffset = 0;
  if (i + 1 == n && (pC[i] == 'Z' || pC[i] == 'z')) {
    i++;
  } else if (i + 6 == n && (pC[i] == '+' || pC[i] == '-') && isDigitAt(pC + i + 1, 2) &&
             pC[i + 3] == ':' && isDigitAt(pC + i + 4, 2)) {
    const int nOffsetHours = digitsAt(pC + i + 1, 2);
    const int nOffsetMinutes = digitsAt(pC + i + 4, 2);
    if (nOffsetHours > 23 || nOffsetMinutes > 59) return false;
    nOffset = (std::int64_t{nOffsetHours} * 60 + nOffsetMinutes) * 60;
    if (pC[i] == '-') nOffset = -nOffset;
    i += 6;
  }
  if (i != n) return false;
  nSeconds = daysFromCivil(nYear, nMonth, nDay) * kSecondsPerDay + std::int64_t{nHour} * 3600 +
             std::int64_t{nMinute} * 60 + nSecond - nOffset;
  return true;
}
