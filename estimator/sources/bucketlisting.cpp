#include "sources/bucketlisting.h"

#include <cstring>

namespace {

const char* textEnd(const char* szLine, std::size_t nLength) {
  // A line nearly never holds a NUL: looked for inline, where a call to
  // memchr cost as much as the search.
  if (!holdsEitherByte(szLine, nLength, '\0', '\0')) return szLine + nLength;
  return static_cast<const char*>(std::memchr(szLine, '\0', nLength));
}

std::uint64_t addCapped(std::uint64_t a, std::uint64_t b) { return a + b < a ? UINT64_MAX : a + b; }

#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
// The eight bytes at pC, the first lowest.
std::uint64_t wordAt(const char* pC) {
  std::uint64_t nWord;
  std::memcpy(&nWord, pC, sizeof nWord);
  return nWord;
}

// Nonzero when a byte of nOff (a word xor its pattern) is past 9 where the
// pattern has a digit ('0'), or not 0 where it has a separator: nAdd holds
// 0x76 and 0x7F there, which carry those bytes into their high bits.
std::uint64_t offPattern(std::uint64_t nOff, std::uint64_t nAdd) {
  return ((nOff + nAdd) | nOff) & 0x8080808080808080ull;
}

// Each byte of a word of digits made ten times itself plus the next: the
// two-digit numbers that start at each byte.
std::uint64_t digitPairs(std::uint64_t nDigits) { return nDigits * 10 + (nDigits >> 8); }

unsigned byteAt(std::uint64_t nWord, int nByte) {
  return static_cast<unsigned>(nWord >> (8 * nByte)) & 0xFF;
}
#endif

// YYYY-MM-DD, cSeparator, hh:mm:ss at pC, 19 readable bytes, as
// readYearFirstDate and readClock read them (a leap second is 59). Nearly
// every object line has one: its fourteen digits and five separators are
// checked three words at a time, not byte by byte.
bool readFixedStamp(const char* pC, char cSeparator, int& nYear, int& nMonth, int& nDay,
                    int& nSecond) {
#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  // Bytes 0-7 "YYYY-MM-", 8-15 "DD hh:mm", and 16-18 ":ss" as the top of
  // the word at 11; xor their patterns leaves the digits' values and zeros.
  const std::uint64_t nSeparator = static_cast<unsigned char>(cSeparator);
  std::uint64_t nDate = wordAt(pC) ^ 0x2D30302D30303030ull;
  std::uint64_t nClock = wordAt(pC + 8) ^ (0x30303A3030003030ull | nSeparator << 16);
  std::uint64_t nSeconds = (wordAt(pC + 11) ^ 0x30303A0000000000ull) & 0xFFFFFF0000000000ull;
  if ((offPattern(nDate, 0x7F76767F76767676ull) | offPattern(nClock, 0x76767F76767F7676ull) |
       offPattern(nSeconds, 0x76767F0000000000ull)) != 0) {
    return false;
  }
  nDate = digitPairs(nDate);
  nClock = digitPairs(nClock);
  nYear = static_cast<int>(byteAt(nDate, 0) * 100 + byteAt(nDate, 2));
  nMonth = static_cast<int>(byteAt(nDate, 5));
  nDay = static_cast<int>(byteAt(nClock, 0));
  unsigned nHour = byteAt(nClock, 3);
  unsigned nMinute = byteAt(nClock, 6);
  unsigned nSec = byteAt(digitPairs(nSeconds), 6);
  static const int kDays[13] = {0, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (nYear < 1 || nMonth < 1 || nMonth > 12 || nDay < 1 || nDay > kDays[nMonth] || nHour > 23 ||
      nMinute > 59 || nSec > 60) {
    return false;
  }
  nSecond = static_cast<int>(nHour * 3600 + nMinute * 60 + (nSec > 59 ? 59 : nSec));
  return true;
#else
  return readYearFirstDate(pC, '-', nYear, nMonth, nDay) && pC[10] == cSeparator && pC[13] == ':' &&
         pC[16] == ':' && readUsualClock(pC + 11, pC + 19, nSecond);
#endif
}

// YYYY-MM-DD, cSeparator, hh:mm:ss at pC (19 bytes), into the stamp.
bool readStampAt(const char* pC, const char* pEnd, char cSeparator, LineStamp* pStamp) {
  int nYear = 0;
  int nMonth = 0;
  int nDay = 0;
  int nSecond = 0;
  if (pEnd - pC < 19 || !readFixedStamp(pC, cSeparator, nYear, nMonth, nDay, nSecond)) return false;
  if (pStamp != nullptr) setYearFirstStamp(*pStamp, nYear, nMonth, nDay, nSecond);
  return true;
}

// A size at pC: digits, or a number and a unit, attached (2.9KiB) or as the
// next field (11.1 MiB). Returns the end of the size, or nullptr.
const char* readSizeAt(const char* pC, const char* pEnd, unsigned nKiloBase, std::uint64_t& nSize,
                       std::uint64_t& nSlack, bool& bUnit, bool bUnitAfterDigits = true) {
  const char* pNumberEnd = fieldEndAt(pC);
  if (pNumberEnd > pEnd) pNumberEnd = pEnd;
  nSlack = 0;
  bUnit = false;
  const char* pUnit = pNumberEnd + 1;
  if (readPlainNumber(pC, pNumberEnd, nSize)) {
    // A unit after digits alone: "3 Bytes" (aws), "5 KiB" and "60 B" (gsutil -h).
    if (bUnitAfterDigits && *pNumberEnd == ' ' && pUnit < pEnd && isUnitLead(*pUnit)) {
      const char* pUnitEnd = fieldEndAt(pUnit);
      bool bWord = isSizeUnitWord(pUnit, pUnitEnd) || (pUnitEnd - pUnit == 1 && *pUnit == 'B');
      if (bWord && readUnitSize(pC, pNumberEnd, pUnit, pUnitEnd, nKiloBase, nSize, nSlack)) {
        bUnit = true;
        return pUnitEnd;
      }
    }
    return pNumberEnd;
  }
  const char* pAttached = attachedUnitStart(pC, pNumberEnd);
  if (pAttached != pNumberEnd) {
    if (!readUnitSize(pC, pAttached, pAttached, pNumberEnd, nKiloBase, nSize, nSlack)) {
      return nullptr;
    }
    bUnit = true;
    return pNumberEnd;
  }
  if (*pNumberEnd != ' ' || pUnit >= pEnd) return nullptr;
  const char* pUnitEnd = fieldEndAt(pUnit);
  if (!readUnitSize(pC, pNumberEnd, pUnit, pUnitEnd, nKiloBase, nSize, nSlack)) return nullptr;
  bUnit = true;
  return pUnitEnd;
}

const std::uint64_t kTens[9] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

// Reads the digits at pC, followed by the line's NUL and kPieceSlack bytes at
// the least. Returns how many there are, or 0 for none or more than 15.
int readDigitsAt(const char* pC, std::uint64_t& nValue) {
  int n = readDigitWord(pC, nValue);
  if (n < 8) return n;
  std::uint64_t nLow = 0;
  int nMore = readDigitWord(pC + 8, nLow);  // eight digits before: the NUL is not passed
  if (nMore == 8) return 0;
  nValue = nValue * kTens[nMore] + nLow;
  return 8 + nMore;
}

// The units the clients write nearly always at pC: B, or K (k), M, G, T
// followed by B or iB, then the field's end. Returns the unit's length with
// its worth and whether that is a power of two; 0 for any other word.
int readQuickUnit(const char* pC, unsigned nKiloBase, std::uint64_t& nWorth, bool& bTwos) {
  int nPower = 0;
  switch (*pC) {
    case 'B':
      nWorth = 1;
      bTwos = true;
      return kFieldEnd.abIs[static_cast<unsigned char>(pC[1])] ? 1 : 0;
    case 'K':
    case 'k':
      nPower = 1;
      break;
    case 'M':
      nPower = 2;
      break;
    case 'G':
      nPower = 3;
      break;
    case 'T':
      nPower = 4;
      break;
    default:
      return 0;
  }
  bool bBinary = pC[1] == 'i' && pC[2] == 'B';
  int nLength = bBinary ? 3 : 2;
  if ((!bBinary && pC[1] != 'B') || !kFieldEnd.abIs[static_cast<unsigned char>(pC[nLength])]) {
    return 0;
  }
  bTwos = bBinary || nKiloBase == 1024;
  nWorth = 1;
  for (int i = 0; i < nPower; i++) nWorth *= bTwos ? 1024 : nKiloBase;
  return nLength;
}

// n / nScale for the scales of up to three decimals: constant divisors,
// which become multiplications, where a division takes dozens of cycles.
std::uint64_t byScale(std::uint64_t n, std::uint64_t nScale) {
  switch (nScale) {
    case 1:
      return n;
    case 10:
      return n / 10;
    case 100:
      return n / 100;
    default:
      return n / 1000;
  }
}

// nValue / nScale units of nWorth bytes to the nearest byte, as readUnitSize
// has them in floating point: both err by less than 2^-12 below 2^40 bytes,
// while a number of at most three decimals lies 1/2000 or more from the next
// half byte unless it is on it. There the floating point is exact for units
// that are powers of two, and rounds away from zero. Returns false for the
// sizes this cannot tell (the caller reads them as before).
bool roundUnits(std::uint64_t nValue, std::uint64_t nScale, std::uint64_t nWorth, bool bTwos,
                std::uint64_t& nBytes, std::uint64_t& nSlack) {
  // Units are worth 2^40 at the most: a number below 2^23 cannot overflow.
  if ((nValue >> 23) != 0 && nValue >= (std::uint64_t{1} << 63) / nWorth) return false;
  std::uint64_t nExact = nValue * nWorth;
  std::uint64_t nWhole = byScale(nExact, nScale);
  std::uint64_t nPart = 2 * (nExact - nWhole * nScale);
  if (nWhole >= (std::uint64_t{1} << 40) || (nPart == nScale && !bTwos)) return false;
  nBytes = nWhole + (nPart >= nScale ? 1 : 0);
  nSlack = nWorth == 1 ? 0 : byScale((nWorth + nScale) / 2, nScale);  // floors nest
  return true;
}

// readSizeAt for the sizes nearly every line has: at most 15 digits, a full
// stop and up to three more, and one of the units readQuickUnit knows,
// attached or as the next field. Returns nullptr for any other.
const char* readQuickSize(const char* pC, const char* pEnd, unsigned nKiloBase,
                          std::uint64_t& nSize, std::uint64_t& nSlack, bool& bUnit,
                          bool bUnitAfterDigits) {
  std::uint64_t nValue = 0;
  int nDigits = readDigitsAt(pC, nValue);
  if (nDigits == 0) return nullptr;
  const char* p = pC + nDigits;
  std::uint64_t nScale = 1;
  if (*p == '.') {
    std::uint64_t nFraction = 0;
    int nDecimals = readDigitWord(p + 1, nFraction);
    if (nDecimals == 0 || nDecimals > 3) return nullptr;
    nScale = kTens[nDecimals];
    nValue = nValue * nScale + nFraction;
    p += 1 + nDecimals;
  }
  bool bEnd = kFieldEnd.abIs[static_cast<unsigned char>(*p)];
  if (bEnd && nScale == 1 && !(bUnitAfterDigits && *p == ' ' && pEnd > p + 1 && isUnitLead(p[1]))) {
    nSize = nValue;  // digits alone
    nSlack = 0;
    bUnit = false;
    return p;
  }
  const char* pUnit = bEnd ? p + 1 : p;  // the next field, or attached
  if (bEnd && (*p != ' ' || p + 1 >= pEnd)) return nullptr;
  std::uint64_t nWorth = 0;
  bool bTwos = false;
  int nUnit = readQuickUnit(pUnit, nKiloBase, nWorth, bTwos);
  if (nUnit == 0 || !roundUnits(nValue, nScale, nWorth, bTwos, nSize, nSlack)) return nullptr;
  bUnit = true;
  return pUnit + nUnit;
}

// A size, read quickly in the shapes nearly every line has.
const char* readLineSize(const char* pC, const char* pEnd, unsigned nKiloBase, std::uint64_t& nSize,
                         std::uint64_t& nSlack, bool& bUnit, bool bUnitAfterDigits = true) {
  const char* p = readQuickSize(pC, pEnd, nKiloBase, nSize, nSlack, bUnit, bUnitAfterDigits);
  return p != nullptr ? p : readSizeAt(pC, pEnd, nKiloBase, nSize, nSlack, bUnit, bUnitAfterDigits);
}

// Counts an object line: its size, and when it is no folder, the entry.
bool takeObject(BucketListing& bucket, std::uint64_t nSize, std::uint64_t nSlack, bool bUnit,
                const char* pKey, const char* pKeyEnd, Entry& entry) {
  bucket.nListed++;
  bucket.nBytes = addCapped(bucket.nBytes, nSize);
  bucket.nSlack = addCapped(bucket.nSlack, nSlack);
  if (pKeyEnd > pKey && pKeyEnd[-1] == '/') {
    bucket.nFolders++;
    return false;
  }
  if (bUnit && nSlack > 0) bucket.nRounded++;
  entry.nType = kEntryFile;
  entry.nSize = nSize;
  if (bucket.bFolders) {
    entry.pFolder = bucket.szFolder;
    entry.nFolder = folderOfPath(bucket.szFolder, pKey, pKeyEnd);
  }
  return true;
}

// A stated total: the number of bytes, or a size with a unit.
void takeStatedBytes(BucketListing& bucket, const char* pC, const char* pEnd, unsigned nKiloBase) {
  pC = skipWhitespace(pC);
  std::uint64_t nSize = 0;
  std::uint64_t nSlack = 0;
  bool bUnit = false;
  if (readSizeAt(pC, pEnd, nKiloBase, nSize, nSlack, bUnit) == nullptr) return;
  bucket.bStatedBytes = true;
  bucket.nStatedBytes = nSize;
  bucket.nStatedSlack = nSlack;
}

void takeStatedObjects(BucketListing& bucket, const char* pC) {
  pC = skipWhitespace(pC);
  std::uint64_t nValue = 0;
  if (!readGroupedNumber(pC, fieldEndAt(pC), nValue)) return;
  bucket.bStatedObjects = true;
  bucket.nStatedObjects = nValue;
}

// The lines that aws s3 ls and mc ls both write with --summarize.
bool takeSummary(BucketListing& bucket, const char* szLine, const char* pEnd, unsigned nKiloBase) {
  const char* pC = skipWhitespace(szLine);
  std::size_t n = static_cast<std::size_t>(pEnd - pC);
  if (startsWith(pC, n, "Total Objects:")) {
    takeStatedObjects(bucket, pC + 14);
    return true;
  }
  if (startsWith(pC, n, "Total Size:")) {
    takeStatedBytes(bucket, pC + 11, pEnd, nKiloBase);
    return true;
  }
  return false;
}

bool readS3(BucketListing& bucket, const char* szLine, const char* pEnd, Entry& entry) {
  if (takeSummary(bucket, szLine, pEnd, 1024)) return false;
  std::size_t n = static_cast<std::size_t>(pEnd - szLine);
  if (startsWith(szLine, n, "An error occurred") || startsWith(szLine, n, "fatal error:")) {
    bucket.nErrors++;
    return false;
  }
  const char* pC = skipWhitespace(szLine);
  if (startsWith(pC, static_cast<std::size_t>(pEnd - pC), "PRE ")) {
    bucket.nFolders++;
    bucket.nPrefixes++;
    return false;
  }
  if (!readStampAt(szLine, pEnd, ' ', bucket.bDates ? &entry.stamp : nullptr)) return false;
  std::uint64_t nSize = 0;
  std::uint64_t nSlack = 0;
  bool bUnit = false;
  // The size ends in column 30: digits that end there are bytes, whatever
  // word the key begins with.
  const char* pSize = skipPadding(szLine + 19);
  bool bPlain = fieldEndAt(pSize) - szLine == 30;
  const char* pSizeEnd = readLineSize(pSize, pEnd, 1024, nSize, nSlack, bUnit, !bPlain);
  if (pSizeEnd == nullptr || *pSizeEnd != ' ' || pSizeEnd + 1 >= pEnd) {
    bucket.nUnread++;
    return false;
  }
  return takeObject(bucket, nSize, nSlack, bUnit, pSizeEnd + 1, pEnd, entry);
}

// The storage class of mc: a word of capitals (STANDARD, GLACIER, ...).
const char* skipStorageClass(const char* pC, const char* pEnd) {
  // The class nearly every line has, compared at once and not letter by
  // letter; the NUL that ends the line stops the comparison within it.
  if (std::memcmp(pC, "STANDARD ", 9) == 0) return pC + 9;
  const char* p = pC;
  while (p < pEnd && ((*p >= 'A' && *p <= 'Z') || *p == '_')) p++;
  return p - pC >= 3 && p < pEnd && *p == ' ' ? p + 1 : pC;
}

// The rest of mc's lines: its totals and errors.
bool readMcOther(BucketListing& bucket, const char* szLine, const char* pEnd) {
  if (takeSummary(bucket, szLine, pEnd, 1024)) return false;
  if (startsWith(szLine, static_cast<std::size_t>(pEnd - szLine), "mc: ")) bucket.nErrors++;
  return false;
}

bool readMc(BucketListing& bucket, const char* szLine, const char* pEnd, Entry& entry) {
  if (szLine[0] != '[') return readMcOther(bucket, szLine, pEnd);
  if (!readStampAt(szLine + 1, pEnd, ' ', bucket.bDates ? &entry.stamp : nullptr)) return false;
  // The stamp holds no ']': the first is the zone's, most often UTC.
  const char* pClose = std::memcmp(szLine + 20, " UTC]", 5) == 0
                           ? szLine + 24
                           : static_cast<const char*>(
                                 std::memchr(szLine, ']', static_cast<std::size_t>(pEnd - szLine)));
  if (pClose == nullptr) return false;
  std::uint64_t nSize = 0;
  std::uint64_t nSlack = 0;
  bool bUnit = false;
  const char* pSize = skipPadding(pClose + 1);
  const char* pSizeEnd = readLineSize(pSize, pEnd, 1024, nSize, nSlack, bUnit);
  if (pSizeEnd == nullptr || *pSizeEnd != ' ' || pSizeEnd + 1 >= pEnd) {
    bucket.nUnread++;
    return false;
  }
  const char* pKey = skipStorageClass(pSizeEnd + 1, pEnd);
  if (pEnd > pKey && pEnd[-1] == '/' && pKey == pSizeEnd + 1) bucket.nPrefixes++;
  return takeObject(bucket, nSize, nSlack, bUnit, pKey, pEnd, entry);
}

// The size and the stamp that begin an object's line at pC. Returns where
// the URL starts, or nullptr; bStampless tells, then, whether a size was read
// that no stamp follows.
const char* readGsutilHead(const BucketListing& bucket, const char* pC, const char* pEnd,
                           Entry& entry, std::uint64_t& nSize, std::uint64_t& nSlack, bool& bUnit,
                           bool& bStampless) {
  bStampless = false;
  const char* pSizeEnd = readLineSize(pC, pEnd, 1024, nSize, nSlack, bUnit);
  if (pSizeEnd == nullptr) return nullptr;
  const char* pStamp = skipPadding(pSizeEnd);
  if (!readStampAt(pStamp, pEnd, 'T', bucket.bDates ? &entry.stamp : nullptr) ||
      pStamp[19] != 'Z') {
    bStampless = true;
    return nullptr;
  }
  return skipPadding(pStamp + 20);
}

// An object's line as nearly every line is: its size, stamp and a URL
// without blanks, which holds neither "Exception: " nor "  metageneration="
// (nor could the bytes before it). Returns false for any
// other line, which readGsutil reads then.
bool readGsutilObject(BucketListing& bucket, const char* szLine, const char* pEnd, Entry& entry,
                      bool& bCounted) {
  const char* pC = skipPadding(szLine);
  if (!isDigit(*pC)) return false;
  std::uint64_t nSize = 0;
  std::uint64_t nSlack = 0;
  bool bUnit = false;
  bool bStampless = false;
  const char* pUrl = readGsutilHead(bucket, pC, pEnd, entry, nSize, nSlack, bUnit, bStampless);
  if (pUrl == nullptr || pUrl >= pEnd ||
      holdsEitherByte(pUrl, static_cast<std::size_t>(pEnd - pUrl), ' ', ' ')) {
    return false;
  }
  bCounted = takeObject(bucket, nSize, nSlack, bUnit, pUrl, pEnd, entry);
  return true;
}

bool readGsutil(BucketListing& bucket, const char* szLine, const char* pEnd, Entry& entry) {
  bool bCounted = false;
  if (readGsutilObject(bucket, szLine, pEnd, entry, bCounted)) return bCounted;
  std::size_t n = static_cast<std::size_t>(pEnd - szLine);
  if (startsWith(szLine, n, "TOTAL: ")) {
    takeStatedObjects(bucket, szLine + 7);
    const char* pComma = static_cast<const char*>(std::memchr(szLine, ',', n));
    if (pComma != nullptr) takeStatedBytes(bucket, pComma + 1, pEnd, 1024);
    return false;
  }
  if (std::strstr(szLine, "Exception: ") != nullptr) {
    bucket.nErrors++;
    return false;
  }
  const char* pC = skipPadding(szLine);
  if (startsWith(pC, static_cast<std::size_t>(pEnd - pC), "gs://")) {
    if (pC > szLine) {  // a prefix, indented; a header of -r ends in ':'
      bucket.nFolders++;
      bucket.nPrefixes++;
    }
    return false;
  }
  std::uint64_t nSize = 0;
  std::uint64_t nSlack = 0;
  bool bUnit = false;
  bool bStampless = false;
  const char* pUrl = readGsutilHead(bucket, pC, pEnd, entry, nSize, nSlack, bUnit, bStampless);
  if (pUrl == nullptr) {
    if (bStampless) bucket.nUnread++;
    return false;
  }
  const char* pUrlEnd = pEnd;
  // gsutil ls -a: the generation after '#', and metageneration=N.
  const char* pMeta = std::strstr(pUrl, "  metageneration=");
  if (pMeta != nullptr && pMeta < pEnd) pUrlEnd = pMeta;
  if (pUrl >= pUrlEnd) {
    bucket.nUnread++;
    return false;
  }
  return takeObject(bucket, nSize, nSlack, bUnit, pUrl, pUrlEnd, entry);
}

// Returns true when pC, followed by the line's NUL and kPieceSlack bytes at
// the least, starts with "Content Length: ". In two halves: when the first
// holds no NUL, the second is readable too.
bool isContentLength(const char* pC) {
  return std::memcmp(pC, "Content ", 8) == 0 && std::memcmp(pC + 8, "Length: ", 8) == 0;
}

// The end of azcopy's path: the first ";  " followed by a property's name
// and a colon ("Content Length:", "LastModifiedTime:"), or nullptr.
const char* azcopyPathEnd(const char* pC, const char* pEnd) {
  for (const char* p = pC; p < pEnd; p++) {
    p = static_cast<const char*>(std::memchr(p, ';', static_cast<std::size_t>(pEnd - p)));
    if (p == nullptr) return nullptr;
    if (p[1] != ' ' || p[2] != ' ') continue;  // the line's NUL stops this within it
    if (isContentLength(p + 3)) return p;      // as nearly every line
    const char* pName = p + 3;
    while (pName < pEnd && ((*pName | 0x20) >= 'a' && (*pName | 0x20) <= 'z')) pName++;
    if (pName > p + 3 && (*pName == ':' || std::strncmp(pName, " Length:", 8) == 0 ||
                          std::strncmp(pName, " Size:", 6) == 0)) {
      return p;
    }
  }
  return nullptr;
}

// azcopy's lines other than objects': its tally and its errors. Returns
// false for an object's line.
bool readAzcopyOther(BucketListing& bucket, const char* szLine, const char* pEnd) {
  std::size_t n = static_cast<std::size_t>(pEnd - szLine);
  if (startsWith(szLine, n, "File count: ")) {
    takeStatedObjects(bucket, szLine + 12);
    return true;
  }
  if (startsWith(szLine, n, "Total file size: ")) {
    takeStatedBytes(bucket, szLine + 17, pEnd, 1000);
    return true;
  }
  if (startsWith(szLine, n, "failed to ") || startsWith(szLine, n, "===== RESPONSE ERROR")) {
    bucket.nErrors++;
    return true;
  }
  return false;
}

bool readAzcopy(BucketListing& bucket, const char* szLine, const char* pEnd, Entry& entry) {
  std::size_t n = static_cast<std::size_t>(pEnd - szLine);
  // Only these letters begin the lines of the tally and of errors.
  const char c = szLine[0];
  if ((c == 'F' || c == 'T' || c == 'f' || c == '=') && readAzcopyOther(bucket, szLine, pEnd)) {
    return false;
  }
  const char* pPath = startsWith(szLine, n, "INFO: ") ? szLine + 6 : szLine;
  const char* pPathEnd = azcopyPathEnd(pPath, pEnd);
  if (pPathEnd == nullptr) return false;
  // Most often the property that ends the path: no search then.
  const char* pLength =
      isContentLength(pPathEnd + 3) ? pPathEnd + 3 : std::strstr(pPathEnd, "Content Length: ");
  std::size_t nWords = 16;
  if (pLength == nullptr) {
    pLength = std::strstr(pPathEnd, "Content Size: ");
    nWords = 14;
  }
  std::uint64_t nSize = 0;
  std::uint64_t nSlack = 0;
  bool bUnit = false;
  const char* pSizeEnd = pLength != nullptr
                             ? readLineSize(pLength + nWords, pEnd, 1000, nSize, nSlack, bUnit)
                             : nullptr;
  if (pSizeEnd == nullptr) {
    bucket.nUnread++;
    return false;
  }
  // A line that ends in the size that follows the path holds no time.
  if (bucket.bDates && !(pLength == pPathEnd + 3 && pSizeEnd == pEnd)) {
    const char* pTime = std::strstr(pPathEnd, "LastModifiedTime: ");
    if (pTime != nullptr) readStampAt(pTime + 18, pEnd, ' ', &entry.stamp);
  }
  return takeObject(bucket, nSize, nSlack, bUnit, pPath, pPathEnd, entry);
}

}  // namespace

void startBucket(BucketListing& bucket, int nClient) {
  bool bDates = bucket.bDates;
  bool bFolders = bucket.bFolders;
  bucket = BucketListing();
  bucket.nClient = nClient;
  bucket.bDates = bDates;
  bucket.bFolders = bFolders;
}

bool readBucketLine(BucketListing& bucket, const char* szLine, std::size_t nLength, Entry& entry) {
  const char* pEnd = textEnd(szLine, nLength);
  if (skipWhitespace(szLine) >= pEnd) return false;
  switch (bucket.nClient) {
    case kBucketMc:
      return readMc(bucket, szLine, pEnd, entry);
    case kBucketGsutil:
      return readGsutil(bucket, szLine, pEnd, entry);
    case kBucketAzcopy:
      return readAzcopy(bucket, szLine, pEnd, entry);
    default:
      return readS3(bucket, szLine, pEnd, entry);
  }
}

bool bucketTotalsDiffer(const BucketListing& bucket) {
  if (bucket.bStatedObjects && bucket.nStatedObjects != bucket.nListed) return true;
  if (!bucket.bStatedBytes) return false;
  std::uint64_t nAllowed = addCapped(bucket.nSlack, bucket.nStatedSlack);
  std::uint64_t nDiff = bucket.nStatedBytes > bucket.nBytes ? bucket.nStatedBytes - bucket.nBytes
                                                            : bucket.nBytes - bucket.nStatedBytes;
  return nDiff > nAllowed;
}

bool isS3ObjectLine(const char* szLine, std::size_t nLength) {
  const char* pEnd = textEnd(szLine, nLength);
  if (pEnd - szLine < 32 || !readStampAt(szLine, pEnd, ' ', nullptr) || szLine[19] != ' ') {
    return false;
  }
  const char* pSize = skipPadding(szLine + 19);
  std::uint64_t nSize = 0;
  std::uint64_t nSlack = 0;
  bool bUnit = false;
  const char* pSizeEnd = readSizeAt(pSize, pEnd, 1024, nSize, nSlack, bUnit);
  return pSizeEnd != nullptr && *pSizeEnd == ' ' &&
         (pSizeEnd - szLine == 30 || pSize == szLine + 20);
}

int weighS3Line(const char* szLine, std::size_t nLength) {
  const char* pEnd = textEnd(szLine, nLength);
  const char* pC = skipWhitespace(szLine);
  std::size_t n = static_cast<std::size_t>(pEnd - pC);
  if (startsWith(pC, n, "Total Objects: ") || startsWith(pC, n, "Total Size: ") ||
      startsWith(szLine, nLength, "An error occurred (")) {
    return 1;
  }
  if (pC - szLine == 27 && startsWith(pC, n, "PRE ")) return 1;
  return isS3ObjectLine(szLine, nLength) ? 1 : 0;
}

int weighMcLine(const char* szLine, std::size_t nLength) {
  const char* pEnd = textEnd(szLine, nLength);
  if (startsWith(szLine, nLength, "mc: <ERROR> ")) return 1;
  if (szLine[0] != '[' || !readStampAt(szLine + 1, pEnd, ' ', nullptr)) return 0;
  const char* pClose =
      static_cast<const char*>(std::memchr(szLine, ']', static_cast<std::size_t>(pEnd - szLine)));
  if (pClose == nullptr || pClose - szLine > 32) return 0;
  const char* pSize = skipWhitespace(pClose + 1);
  return isDigit(*pSize) ? 1 : 0;
}

int weighGsutilLine(const char* szLine, std::size_t nLength) {
  const char* pEnd = textEnd(szLine, nLength);
  if (startsWith(szLine, nLength, "TOTAL: ") && std::strstr(szLine, " objects, ") != nullptr)
    return 1;
  const char* pC = skipWhitespace(szLine);
  if (startsWith(pC, static_cast<std::size_t>(pEnd - pC), "gs://")) return 1;
  const char* pGs = std::strstr(szLine, "Z  gs://");
  return pGs != nullptr && pGs - szLine >= 20 && readStampAt(pGs - 19, pEnd, 'T', nullptr) ? 1 : 0;
}

int weighAzcopyLine(const char* szLine, std::size_t nLength) {
  const char* pEnd = textEnd(szLine, nLength);
  if (startsWith(szLine, nLength, "File count: ") ||
      startsWith(szLine, nLength, "Total file size: ")) {
    return 1;
  }
  const char* pPathEnd = azcopyPathEnd(szLine, pEnd);
  return pPathEnd != nullptr && (std::strstr(pPathEnd, "Content Length: ") != nullptr ||
                                 std::strstr(pPathEnd, "Content Size: ") != nullptr)
             ? 1
             : 0;
}
