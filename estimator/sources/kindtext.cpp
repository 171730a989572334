#include "sources/kindtext.h"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <ctime>

bool readGroupedNumber(const char* pC, const char* pEnd, std::uint64_t& nValue) {
  nValue = 0;
  if (pC == pEnd || !isDigit(*pC)) return false;
  if (pEnd - pC <= 18) {  // up to 18 digits always fit
    const char* pDigit = pC;
    std::uint64_t n = 0;
    for (; pDigit < pEnd && isDigit(*pDigit); pDigit++)
      n = n * 10 + static_cast<unsigned>(*pDigit - '0');
    if (pDigit == pEnd) {
      nValue = n;
      return true;
    }
  }
  for (; pC < pEnd; pC++) {
    if (isDigit(*pC)) {
      if (!appendDigit(nValue, static_cast<unsigned>(*pC - '0'))) return false;
    } else if (*pC != ',' || pC + 1 == pEnd || !isDigit(pC[1])) {
      return false;
    }
  }
  return true;
}

bool readPlainNumber(const char* pC, const char* pEnd, std::uint64_t& nValue) {
  nValue = 0;
  if (pC == pEnd) return false;
  if (pEnd - pC <= 18) {  // below kMaxFileSize whatever the digits: no bound to check
    for (; pC < pEnd; pC++) {
      if (!isDigit(*pC)) return false;
      nValue = nValue * 10 + static_cast<unsigned>(*pC - '0');
    }
    return true;
  }
  for (; pC < pEnd; pC++) {
    if (!isDigit(*pC) || !appendDigit(nValue, static_cast<unsigned>(*pC - '0'))) return false;
  }
  return true;
}

bool readRoundedSize(const char* pC, const char* pEnd, unsigned nBase, std::uint64_t& nBytes) {
  const char* pUnit = pEnd - 1;
  if (pEnd - pC < 2 || !isDigit(*pC)) return false;
  const char* pPower = std::strchr("KMGTPE", *pUnit);
  if (pPower == nullptr || *pUnit == '\0') return false;
  // A handful of digits: a double holds them exactly.
  double dValue = 0;
  double dScale = 1;
  bool bPoint = false;
  int nDigits = 0;
  for (const char* pD = pC; pD < pUnit; pD++) {
    if (*pD == '.' && !bPoint) {
      bPoint = true;
    } else if (isDigit(*pD) && ++nDigits <= 15) {
      dValue = dValue * 10 + (*pD - '0');
      if (bPoint) dScale *= 10;
    } else {
      return false;
    }
  }
  if (pUnit[-1] == '.') return false;
  for (const char* pP = "KMGTPE"; pP <= pPower; pP++) dValue *= nBase;
  dValue = dValue / dScale + 0.5;
  if (!(dValue < 9223372036854775807.0)) return false;
  nBytes = static_cast<std::uint64_t>(dValue);
  return true;
}

namespace {

// The letters of a mode: its type first (1), its permissions after (2).
struct ModeTable {
  unsigned char anIs[256] = {};
  constexpr ModeTable() : anIs() {
    for (const char* pC = "-dlcbpsDn?"; *pC != '\0'; pC++)
      anIs[static_cast<unsigned char>(*pC)] |= 1;
    for (const char* pC = "rwxsStTl-"; *pC != '\0'; pC++)
      anIs[static_cast<unsigned char>(*pC)] |= 2;
  }
};
constexpr ModeTable kMode;

bool isModeLetter(char c, int nKind) {
  return (kMode.anIs[static_cast<unsigned char>(c)] & nKind) != 0;
}

}  // namespace

int modeLength(const char* pC) {
  if (!isModeLetter(pC[0], 1)) return 0;
  for (int i = 1; i < 10; i++) {
    if (!isModeLetter(pC[i], 2)) return 0;
  }
  int n = 10;
  if (pC[n] == '@' || pC[n] == '+' || pC[n] == '.') n++;
  return isWhitespace(pC[n]) ? n : 0;
}

namespace {

// Reads two digits at pC into n.
bool twoDigits(const char* pC, int& n) {
  if (!isDigit(pC[0]) || !isDigit(pC[1])) return false;
  n = (pC[0] - '0') * 10 + (pC[1] - '0');
  return true;
}

}  // namespace

bool readClock(const char* pC, const char* pEnd, int& nSecondOfDay) {
  int nHour = 0;
  if (pC < pEnd && isDigit(*pC)) nHour = *pC++ - '0';
  if (pC < pEnd && isDigit(*pC)) nHour = nHour * 10 + (*pC++ - '0');
  int nMinute = 0;
  int nSecond = 0;
  if (pEnd - pC < 3 || *pC != ':' || !twoDigits(pC + 1, nMinute)) return false;
  pC += 3;
  if (pEnd - pC >= 3 && *pC == ':') {
    if (!twoDigits(pC + 1, nSecond)) return false;
    pC += 3;
    if (pC < pEnd && (*pC == '.' || *pC == ',')) {
      for (pC++; pC < pEnd && isDigit(*pC);) pC++;
    }
  }
  if (pC != pEnd || nHour > 23 || nMinute > 59 || nSecond > 60) return false;
  nSecondOfDay = nHour * 3600 + nMinute * 60 + (nSecond > 59 ? 59 : nSecond);
  return true;
}

bool readYearFirstDate(const char* pC, char cSeparator, int& nYear, int& nMonth, int& nDay) {
  int nHigh = 0;
  int nLow = 0;
  if (!twoDigits(pC, nHigh) || !twoDigits(pC + 2, nLow) || pC[4] != cSeparator ||
      !twoDigits(pC + 5, nMonth) || pC[7] != cSeparator || !twoDigits(pC + 8, nDay)) {
    return false;
  }
  nYear = nHigh * 100 + nLow;
  static const int kDays[13] = {0, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return nYear >= 1 && nMonth >= 1 && nMonth <= 12 && nDay >= 1 && nDay <= kDays[nMonth];
}

bool startsWith(const char* pC, std::size_t n, const char* szWord) {
  std::size_t nWord = std::strlen(szWord);
  return n >= nWord && std::memcmp(pC, szWord, nWord) == 0;
}

// --- Sizes with units, paths and epoch times --------------------------------

namespace {

// The power of the base that a unit's first letter stands for: K (or k)
// 1, M 2, G 3, T 4, P 5, E 6; 0 for any other byte.
int unitPower(char c) {
  switch (c) {
    case 'K':
    case 'k':
      return 1;
    case 'M':
      return 2;
    case 'G':
      return 3;
    case 'T':
      return 4;
    case 'P':
      return 5;
    case 'E':
      return 6;
    default:
      return 0;
  }
}

// A unit's worth in bytes, or 0 for no unit known.
double unitWorth(const char* pC, const char* pEnd, unsigned nKiloBase) {
  std::size_t n = static_cast<std::size_t>(pEnd - pC);
  if (n == 0) return 0;
  if ((n == 1 && *pC == 'B') || (n == 4 && std::memcmp(pC, "Byte", 4) == 0) ||
      (n == 5 && (std::memcmp(pC, "Bytes", 5) == 0 || std::memcmp(pC, "bytes", 5) == 0))) {
    return 1;
  }
  int nPower = unitPower(*pC);
  if (nPower == 0) return 0;
  // KiB and Ki are powers of 1,024; K, KB and kB the base given.
  bool bBinary = (n == 3 && pC[1] == 'i' && pC[2] == 'B') || (n == 2 && pC[1] == 'i');
  if (!bBinary && !(n == 1 || (n == 2 && pC[1] == 'B'))) return 0;
  double dBase = bBinary ? 1024.0 : static_cast<double>(nKiloBase);
  double dWorth = 1;
  for (int i = 0; i < nPower; i++) dWorth *= dBase;
  return dWorth;
}

// std::llround for a value from 0 to below 2^63 (halves away from zero),
// inline: the library's two calls cost more than the rest of a rounded
// size's reading. The whole part and the rest are exact in a double.
std::uint64_t roundToByte(double d) {
  auto nWhole = static_cast<std::int64_t>(d);
  bool bUp = d - static_cast<double>(nWhole) >= 0.5;
  return static_cast<std::uint64_t>(nWhole) + (bUp ? 1 : 0);
}

}  // namespace

bool readUnitSize(const char* pNumber, const char* pNumberEnd, const char* pUnit,
                  const char* pUnitEnd, unsigned nKiloBase, std::uint64_t& nBytes,
                  std::uint64_t& nSlack) {
  if (pNumber == pNumberEnd || !isDigit(*pNumber) || !isDigit(pNumberEnd[-1])) return false;
  double dWorth = unitWorth(pUnit, pUnitEnd, nKiloBase);
  if (dWorth == 0) return false;
  double dValue = 0;
  double dScale = 1;
  bool bPoint = false;
  int nDigits = 0;
  for (const char* pD = pNumber; pD < pNumberEnd; pD++) {
    if (*pD == '.' && !bPoint) {
      bPoint = true;
    } else if (isDigit(*pD) && ++nDigits <= 18) {
      dValue = dValue * 10 + (*pD - '0');
      if (bPoint) dScale *= 10;
    } else {
      return false;
    }
  }
  double dBytes = dValue / dScale * dWorth;
  if (!(dBytes < 9223372036854775807.0)) return false;
  nBytes = roundToByte(dBytes);
  nSlack = dWorth == 1 ? 0 : roundToByte(dWorth / dScale / 2);
  return true;
}

bool maskBlanks(const char* szLine, int nBytes, std::uint64_t& nBlanks) {
#ifdef __SSE2__
  const __m128i vBlank = _mm_set1_epi8(' ');
  std::uint64_t nBlank = 0;
  std::uint64_t nLow = 0;  // the bytes up to 0x20
  for (int i = 0; 16 * i < nBytes; i++) {
    const char* pChunk = szLine + static_cast<std::ptrdiff_t>(16) * i;
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pChunk));
    auto nEqual = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, vBlank)));
    auto nUpTo =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(v, vBlank), v)));
    nBlank |= static_cast<std::uint64_t>(nEqual) << (16 * i);
    nLow |= static_cast<std::uint64_t>(nUpTo) << (16 * i);
  }
  std::uint64_t nKept = nBytes >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << nBytes) - 1;
  nBlanks = nBlank & nKept;
  return (nLow & ~nBlank & nKept) == 0;
#else
  (void)szLine;
  (void)nBytes;
  (void)nBlanks;
  return false;
#endif
}

bool readQuickUnitSize(const char* pNumber, const char* pNumberEnd, const char* pUnit,
                       const char* pUnitEnd, unsigned nKiloBase, std::uint64_t& nBytes,
                       std::uint64_t& nSlack) {
  // With the scale (1,000) and the unit's power of two known, the rounding
  // is a few instructions, where readUnitSize's loop over the digits and
  // its search of the unit's name cost about 200 a line.
  const char* pPoint = pNumberEnd - 4;
  std::uint64_t nValue = 0;
  if (pNumberEnd - pNumber < 5 || *pPoint != '.' ||
      readDigitWord(pNumber, nValue) != pPoint - pNumber) {
    return false;
  }
  unsigned nD0 = static_cast<unsigned char>(pPoint[1]) - '0';
  unsigned nD1 = static_cast<unsigned char>(pPoint[2]) - '0';
  unsigned nD2 = static_cast<unsigned char>(pPoint[3]) - '0';
  if (nD0 > 9 || nD1 > 9 || nD2 > 9) return false;
  nValue = nValue * 1000 + std::uint64_t{nD0} * 100 + std::uint64_t{nD1} * 10 + nD2;
  // B, or KB ... TB of powers of 1,024.
  int nPower = 0;
  if (pUnitEnd - pUnit == 2 && pUnit[1] == 'B' && nKiloBase == 1024) {
    nPower = *pUnit == 'K' || *pUnit == 'k' ? 1
             : *pUnit == 'M'                ? 2
             : *pUnit == 'G'                ? 3
             : *pUnit == 'T'                ? 4
                                            : 0;
    if (nPower == 0) return false;
  } else if (pUnitEnd - pUnit != 1 || *pUnit != 'B') {
    return false;
  }
  int nShift = 10 * nPower;
  if ((nValue >> (63 - nShift)) != 0) return false;
  std::uint64_t nExact = nValue << nShift;
  std::uint64_t nWhole = nExact / 1000;
  if (nWhole >= (std::uint64_t{1} << 40)) return false;
  nBytes = nWhole + (2 * (nExact - nWhole * 1000) >= 1000 ? 1 : 0);
  // half of a thousandth of the unit, as roundUnits has it
  static const std::uint64_t kHalfDigit[5] = {0, 1, 524, 536871, 549755814};
  nSlack = kHalfDigit[nPower];
  return true;
}

bool isSizeUnitWord(const char* pC, const char* pEnd) {
  return pEnd - pC >= 2 && unitWorth(pC, pEnd, 1000) != 0;
}

bool isUnitSize(const char* szDigits, const char* pSizeEnd, bool bWordNext) {
  const char* pUnit = szDigits;
  while (isDigit(*pUnit)) pUnit++;
  const char* pUnitEnd = pUnit + std::strlen(pUnit);
  if (bWordNext) {
    if (*pUnit != '\0' || *pSizeEnd == '\0') return false;
    pUnit = pSizeEnd + 1;
    pUnitEnd = pUnit;
    while (*pUnitEnd != '\0' && !isWhitespace(*pUnitEnd)) pUnitEnd++;
  }
  return pUnit != szDigits &&
         (isSizeUnitWord(pUnit, pUnitEnd) || (pUnitEnd - pUnit == 1 && *pUnit == 'B'));
}

const char* attachedUnitStart(const char* pC, const char* pEnd) {
  while (pC < pEnd && (isDigit(*pC) || *pC == '.')) pC++;
  return pC;
}

namespace {

// The folder of a path, with "./" before its directory unless bAbsolute.
std::size_t writeFolder(char* szFolder, const char* pPath, std::size_t nDir, bool bAbsolute) {
  std::size_t nPrefix = bAbsolute ? 0 : 2;
  if (nDir > kFolderRoom - 3) nDir = kFolderRoom - 3;
  szFolder[0] = '.';
  szFolder[1] = '/';
  std::memcpy(szFolder + nPrefix, pPath, nDir);
  return nDir == 0 ? 1 : nPrefix + nDir;
}

// The length of a path's directory, its last '/' included.
std::size_t directoryLength(const char* pPath, const char* pEnd) {
  std::size_t nDir = 0;
  for (const char* pC = pPath; pC < pEnd; pC++) {
    if (*pC == '/') nDir = static_cast<std::size_t>(pC + 1 - pPath);
  }
  return nDir;
}

}  // namespace

std::size_t folderOfPath(char* szFolder, const char* pPath, const char* pEnd) {
  std::size_t nDir = directoryLength(pPath, pEnd);
  bool bAbsolute = pPath < pEnd && (*pPath == '/' || std::memchr(pPath, ':', nDir) != nullptr);
  return writeFolder(szFolder, pPath, nDir, bAbsolute);
}

std::size_t folderOfRelativePath(char* szFolder, const char* pPath, const char* pEnd) {
  return writeFolder(szFolder, pPath, directoryLength(pPath, pEnd), false);
}

namespace {

// Days since 1970-01-01 to a date of the proleptic Gregorian calendar.
void civilOfDays(std::int64_t nDays, int& nYear, int& nMonth, int& nDay) {
  nDays += 719468;
  std::int64_t nEra = (nDays >= 0 ? nDays : nDays - 146096) / 146097;
  std::int64_t nDayOfEra = nDays - nEra * 146097;
  std::int64_t nYearOfEra =
      (nDayOfEra - nDayOfEra / 1460 + nDayOfEra / 36524 - nDayOfEra / 146096) / 365;
  std::int64_t nDayOfYear = nDayOfEra - (365 * nYearOfEra + nYearOfEra / 4 - nYearOfEra / 100);
  std::int64_t nMonthIndex = (5 * nDayOfYear + 2) / 153;
  nDay = static_cast<int>(nDayOfYear - (153 * nMonthIndex + 2) / 5 + 1);
  nMonth = static_cast<int>(nMonthIndex < 10 ? nMonthIndex + 3 : nMonthIndex - 9);
  nYear = static_cast<int>(nYearOfEra + nEra * 400 + (nMonth <= 2 ? 1 : 0));
}

// The local time zone's offset from UTC at nSeconds since 1970, in seconds.
std::int32_t zoneOffset(std::int64_t nSeconds) {
  std::time_t t = static_cast<std::time_t>(nSeconds);
  std::tm parts{};
#ifdef _WIN32
  if (localtime_s(&parts, &t) != 0) return 0;
#else
  if (localtime_r(&t, &parts) == nullptr) return 0;
#endif
  std::int64_t nLocalDays = 0;
  {
    // Days from the civil date, the inverse of civilOfDays.
    std::int64_t nYear = parts.tm_year + 1900;
    std::int64_t nMonth = parts.tm_mon + 1;
    nYear -= nMonth <= 2 ? 1 : 0;
    std::int64_t nEra = (nYear >= 0 ? nYear : nYear - 399) / 400;
    std::int64_t nYearOfEra = nYear - nEra * 400;
    std::int64_t nDayOfYear =
        (153 * (nMonth > 2 ? nMonth - 3 : nMonth + 9) + 2) / 5 + parts.tm_mday - 1;
    std::int64_t nDayOfEra = nYearOfEra * 365 + nYearOfEra / 4 - nYearOfEra / 100 + nDayOfYear;
    nLocalDays = nEra * 146097 + nDayOfEra - 719468;
  }
  std::int64_t nLocal = nLocalDays * 86400 + std::int64_t{parts.tm_hour} * 3600 +
                        std::int64_t{parts.tm_min} * 60 + parts.tm_sec;
  return static_cast<std::int32_t>(nLocal - nSeconds);
}

// Years 1 to 9999, in seconds since 1970.
const std::int64_t kFirstSecond = -62135596800;
const std::int64_t kLastSecond = 253402300799;

}  // namespace

bool setUtcStamp(LineStamp& stamp, std::int64_t nSeconds) {
  if (nSeconds < kFirstSecond || nSeconds > kLastSecond) return false;
  std::int64_t nDays = nSeconds >= 0 ? nSeconds / 86400 : -((-nSeconds + 86399) / 86400);
  int nYear = 0;
  int nMonth = 0;
  int nDay = 0;
  civilOfDays(nDays, nYear, nMonth, nDay);
  setYearFirstStamp(stamp, nYear, nMonth, nDay, static_cast<int>(nSeconds - nDays * 86400));
  return true;
}

bool setEpochStamp(LineStamp& stamp, std::int64_t nSeconds, EpochZone& zone) {
  if (nSeconds < kFirstSecond || nSeconds > kLastSecond) return false;
  std::int64_t nHour = nSeconds >= 0 ? nSeconds / 3600 : -((-nSeconds + 3599) / 3600);
  std::size_t nSlot =
      static_cast<std::size_t>(static_cast<std::uint64_t>(nHour) % EpochZone::kSlots);
  if (zone.anHour[nSlot] != nHour + 1) {
    zone.anHour[nSlot] = nHour + 1;
    zone.anOffset[nSlot] = zoneOffset(nHour * 3600);
  }
  return setUtcStamp(stamp, nSeconds + zone.anOffset[nSlot]);
}
