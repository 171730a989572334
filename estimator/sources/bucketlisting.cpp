#include "sources/bucketlisting.h"

#include <cstring>

namespace {

const char* textEnd(const char* szLine, std::size_t nLength) {
  const void* pNul = std::memchr(szLine, '\0', nLength);
  return pNul != nullptr ? static_cast<const char*>(pNul) : szLine + nLength;
}

std::uint64_t addCapped(std::uint64_t a, std::uint64_t b) { return a + b < a ? UINT64_MAX : a + b; }

// YYYY-MM-DD, cSeparator, hh:mm:ss at pC (19 bytes), into the stamp.
bool readStampAt(const char* pC, const char* pEnd, char cSeparator, LineStamp* pStamp) {
  int nYear = 0;
  int nMonth = 0;
  int nDay = 0;
  int nSecond = 0;
  if (pEnd - pC < 19 || !readYearFirstDate(pC, '-', nYear, nMonth, nDay) || pC[10] != cSeparator ||
      pC[13] != ':' || pC[16] != ':' || !readClock(pC + 11, pC + 19, nSecond)) {
    return false;
  }
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
  const char* pSizeEnd = readSizeAt(pSize, pEnd, 1024, nSize, nSlack, bUnit, !bPlain);
  if (pSizeEnd == nullptr || *pSizeEnd != ' ' || pSizeEnd + 1 >= pEnd) {
    bucket.nUnread++;
    return false;
  }
  return takeObject(bucket, nSize, nSlack, bUnit, pSizeEnd + 1, pEnd, entry);
}

// The storage class of mc: a word of capitals (STANDARD, GLACIER, ...).
const char* skipStorageClass(const char* pC, const char* pEnd) {
  const char* p = pC;
  while (p < pEnd && ((*p >= 'A' && *p <= 'Z') || *p == '_')) p++;
  return p - pC >= 3 && p < pEnd && *p == ' ' ? p + 1 : pC;
}

bool readMc(BucketListing& bucket, const char* szLine, const char* pEnd, Entry& entry) {
  if (takeSummary(bucket, szLine, pEnd, 1024)) return false;
  std::size_t n = static_cast<std::size_t>(pEnd - szLine);
  if (startsWith(szLine, n, "mc: ")) {
    bucket.nErrors++;
    return false;
  }
  if (szLine[0] != '[' ||
      !readStampAt(szLine + 1, pEnd, ' ', bucket.bDates ? &entry.stamp : nullptr)) {
    return false;
  }
  const char* pClose = static_cast<const char*>(std::memchr(szLine, ']', n));
  if (pClose == nullptr) return false;
  std::uint64_t nSize = 0;
  std::uint64_t nSlack = 0;
  bool bUnit = false;
  const char* pSize = skipPadding(pClose + 1);
  const char* pSizeEnd = readSizeAt(pSize, pEnd, 1024, nSize, nSlack, bUnit);
  if (pSizeEnd == nullptr || *pSizeEnd != ' ' || pSizeEnd + 1 >= pEnd) {
    bucket.nUnread++;
    return false;
  }
  const char* pKey = skipStorageClass(pSizeEnd + 1, pEnd);
  if (pEnd > pKey && pEnd[-1] == '/' && pKey == pSizeEnd + 1) bucket.nPrefixes++;
  return takeObject(bucket, nSize, nSlack, bUnit, pKey, pEnd, entry);
}

bool readGsutil(BucketListing& bucket, const char* szLine, const char* pEnd, Entry& entry) {
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
  const char* pSizeEnd = readSizeAt(pC, pEnd, 1024, nSize, nSlack, bUnit);
  if (pSizeEnd == nullptr) return false;
  const char* pStamp = skipPadding(pSizeEnd);
  if (!readStampAt(pStamp, pEnd, 'T', bucket.bDates ? &entry.stamp : nullptr) ||
      pStamp[19] != 'Z') {
    bucket.nUnread++;
    return false;
  }
  const char* pUrl = skipPadding(pStamp + 20);
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

// The end of azcopy's path: the first ";  " followed by a property's name
// and a colon ("Content Length:", "LastModifiedTime:"), or nullptr.
const char* azcopyPathEnd(const char* pC, const char* pEnd) {
  for (const char* p = pC; p < pEnd; p++) {
    p = static_cast<const char*>(std::memchr(p, ';', static_cast<std::size_t>(pEnd - p)));
    if (p == nullptr) return nullptr;
    if (p[1] != ' ' || p[2] != ' ') continue;  // the line's NUL stops this within it
    const char* pName = p + 3;
    while (pName < pEnd && ((*pName | 0x20) >= 'a' && (*pName | 0x20) <= 'z')) pName++;
    if (pName > p + 3 && (*pName == ':' || std::strncmp(pName, " Length:", 8) == 0 ||
                          std::strncmp(pName, " Size:", 6) == 0)) {
      return p;
    }
  }
  return nullptr;
}

bool readAzcopy(BucketListing& bucket, const char* szLine, const char* pEnd, Entry& entry) {
  std::size_t n = static_cast<std::size_t>(pEnd - szLine);
  if (startsWith(szLine, n, "File count: ")) {
    takeStatedObjects(bucket, szLine + 12);
    return false;
  }
  if (startsWith(szLine, n, "Total file size: ")) {
    takeStatedBytes(bucket, szLine + 17, pEnd, 1000);
    return false;
  }
  if (startsWith(szLine, n, "failed to ") || startsWith(szLine, n, "===== RESPONSE ERROR")) {
    bucket.nErrors++;
    return false;
  }
  const char* pPath = startsWith(szLine, n, "INFO: ") ? szLine + 6 : szLine;
  const char* pPathEnd = azcopyPathEnd(pPath, pEnd);
  if (pPathEnd == nullptr) return false;
  // Most often the property that ends the path: no search then.
  const char* pLength =
      startsWith(pPathEnd + 3, static_cast<std::size_t>(pEnd - pPathEnd - 3), "Content Length: ")
          ? pPathEnd + 3
          : std::strstr(pPathEnd, "Content Length: ");
  std::size_t nWords = 16;
  if (pLength == nullptr) {
    pLength = std::strstr(pPathEnd, "Content Size: ");
    nWords = 14;
  }
  std::uint64_t nSize = 0;
  std::uint64_t nSlack = 0;
  bool bUnit = false;
  const char* pSizeEnd =
      pLength != nullptr ? readSizeAt(pLength + nWords, pEnd, 1000, nSize, nSlack, bUnit) : nullptr;
  if (pSizeEnd == nullptr) {
    bucket.nUnread++;
    return false;
  }
  if (bucket.bDates) {
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
