#include "sources/csvlisting.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <iterator>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "sources/kindtext.h"
#include "sources/reader.h"

namespace {

const char* const kColumnNames[kCsvColumns] = {"length",        "fullname",      "directoryname",
                                               "lastwritetime", "psiscontainer", "mode",
                                               "attributes",    "linktype"};

// Columns past this many are never used.
const int kMaxFields = 128;

struct Field {
  const char* p;
  std::size_t n;
  bool bDoubled;  // quoted, with doubled quotes inside
};

// Reads the field at pC into f, up to the delimiter cDelimiter. Returns
// where the next field starts, or nullptr when the row ends with this field.
const char* nextField(const char* pC, Field& f, char cDelimiter) {
  f.bDoubled = false;
  if (*pC == '"') {
    f.p = ++pC;
    for (;;) {
      const char* pQuote = std::strchr(pC, '"');
      if (pQuote == nullptr) {  // no closing quote: the rest of the line
        f.n = std::strlen(f.p);
        return nullptr;
      }
      if (pQuote[1] == '"') {
        f.bDoubled = true;
        pC = pQuote + 2;
        continue;
      }
      f.n = static_cast<std::size_t>(pQuote - f.p);
      pC = pQuote + 1;
      break;
    }
    while (*pC != '\0' && *pC != cDelimiter) pC++;
  } else {
    f.p = pC;
    while (*pC != '\0' && *pC != cDelimiter) pC++;
    f.n = static_cast<std::size_t>(pC - f.p);
  }
  return *pC == cDelimiter && *pC != '\0' ? pC + 1 : nullptr;
}

// The delimiter a header shows: the byte after its first field, a comma
// when that is no delimiter.
char headerDelimiter(const char* szLine) {
  const char* pC = szLine;
  if (*pC == '"') {
    for (pC++; *pC != '\0'; pC++) {
      if (*pC == '"' && pC[1] == '"') {
        pC++;
      } else if (*pC == '"') {
        pC++;
        break;
      }
    }
  } else {
    pC += std::strcspn(pC, ",;\t");
  }
  return *pC == ';' || *pC == '\t' ? *pC : ',';
}

#ifdef __SSE2__
// The places of the quotes among the sixteen bytes at pC, a bit each.
unsigned quoteBits(const char* pC) {
  __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pC));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('"'))));
}

// Whether the bits set in n are odd in number.
bool oddBits(unsigned n) {
  n ^= n >> 8;
  n ^= n >> 4;
  n ^= n >> 2;
  n ^= n >> 1;
  return (n & 1) != 0;
}
#endif

// Returns whether a quoted field is still open after [pC, pC + n), given
// whether it was open before: every quote turns it, and a doubled quote
// turns it twice. Most rows quote every field: the quotes are counted
// sixteen bytes at a time, where a search for each cost more than reading
// the row.
bool quoteOpenAfter(const char* pC, std::size_t n, bool bOpen) {
  std::size_t i = 0;
#ifdef __SSE2__
  if (n >= 16) {
    unsigned nTurns = 0;  // whether each of the sixteen places saw odd quotes
    for (; i + 16 <= n; i += 16) nTurns ^= quoteBits(pC + i);
    // The last bytes: the sixteen that end the text, less those seen.
    if (i < n) nTurns ^= quoteBits(pC + n - 16) >> (16 - (n - i));
    i = n;
    bOpen = bOpen != oddBits(nTurns);
  }
#endif
  for (; i < n; i++) {
    if (pC[i] == '"') bOpen = !bOpen;
  }
  return bOpen;
}

bool sameFolded(const Field& f, const char* szWord) {
  std::size_t nWord = std::strlen(szWord);
  if (f.n != nWord) return false;
  for (std::size_t i = 0; i < nWord; i++) {
    char c = f.p[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != szWord[i]) return false;
  }
  return true;
}

bool holds(const Field& f, const char* szWord) {
  std::size_t nWord = std::strlen(szWord);
  for (std::size_t i = 0; i + nWord <= f.n; i++) {
    if (std::memcmp(f.p + i, szWord, nWord) == 0) return true;
  }
  return false;
}

void readHeader(CsvListing& csv, const char* szLine) {
  csv.bHeader = true;
  if (csv.cDelimiter == '\0') csv.cDelimiter = headerDelimiter(szLine);
  std::fill(std::begin(csv.anColumn), std::end(csv.anColumn), -1);
  Field f{};
  const char* pC = szLine;
  for (int i = 0; pC != nullptr && i < kMaxFields; i++) {
    pC = nextField(pC, f, csv.cDelimiter);
    for (int k = 0; k < kCsvColumns; k++) {
      if (csv.anColumn[k] < 0 && sameFolded(f, kColumnNames[k])) {
        csv.anColumn[k] = i;
        if (i + 1 > csv.nColumnsUsed) csv.nColumnsUsed = i + 1;
      }
    }
  }
}

// The text of a field, its doubled quotes made single, in szOut.
std::size_t undouble(const Field& f, char* szOut, std::size_t nRoom) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < f.n && n + 1 < nRoom; i++) {
    szOut[n++] = f.p[i];
    if (f.p[i] == '"' && i + 1 < f.n && f.p[i + 1] == '"') i++;
  }
  szOut[n] = '\0';
  return n;
}

// The folder of a row: its DirectoryName, or the part of its FullName
// before the last separator.
void setFolder(CsvListing& csv, const Field* aFields, int nFields, Entry& entry) {
  int nDirectory = csv.anColumn[kCsvDirectoryName];
  int nFull = csv.anColumn[kCsvFullName];
  Field f{};
  if (nDirectory >= 0 && nDirectory < nFields && aFields[nDirectory].n > 0) {
    f = aFields[nDirectory];
  } else if (nFull >= 0 && nFull < nFields) {
    f = aFields[nFull];
    while (f.n > 0 && f.p[f.n - 1] != '\\' && f.p[f.n - 1] != '/') f.n--;
  } else {
    return;
  }
  if (f.bDoubled) {
    entry.nFolder = undouble(f, csv.szFolder, sizeof csv.szFolder);
    entry.pFolder = csv.szFolder;
  } else {
    entry.pFolder = f.p;
    entry.nFolder = f.n;
  }
}

void setStamp(const Field& f, LineStamp& stamp, StampCache& cache) {
  char szTime[64 + kPieceSlack] = {};
  if (f.n >= 64) return;
  std::memcpy(szTime, f.p, f.n);
  readLogStamp(szTime, f.n, stamp, cache);
}

// The field of a column, or an empty one when the row lacks it.
Field column(const CsvListing& csv, const Field* aFields, int nFields, CsvColumn k) {
  int n = csv.anColumn[k];
  if (n < 0 || n >= nFields) return Field{"", 0, false};
  return aFields[n];
}

// A folder: no Length, or a container, a mode beginning with d, or the
// Directory attribute.
bool isFolderRow(const CsvListing& csv, const Field* aFields, int nFields, const Field& length) {
  Field mode = column(csv, aFields, nFields, kCsvMode);
  return length.n == 0 || sameFolded(column(csv, aFields, nFields, kCsvPSIsContainer), "true") ||
         (mode.n > 0 && mode.p[0] == 'd') ||
         holds(column(csv, aFields, nFields, kCsvAttributes), "Directory");
}

// A link: a LinkType such as SymbolicLink or Junction (a hard link is a
// file), or a mode that says so (la--- in the newer shell, -a---l in the
// older). A reparse point alone is no link.
bool isLinkRow(const CsvListing& csv, const Field* aFields, int nFields) {
  Field linkType = column(csv, aFields, nFields, kCsvLinkType);
  if (linkType.n > 0 && !sameFolded(linkType, "hardlink")) return true;
  Field mode = column(csv, aFields, nFields, kCsvMode);
  return mode.n > 0 && (mode.p[0] == 'l' || mode.p[mode.n - 1] == 'l');
}

// Reads a row's Length. A row followed by kPieceSlack readable bytes after
// its NUL (bSlack) has its digits read a word at a time: a Length has a
// handful of them, and a loop cost more than the rest of its reading.
bool readLength(const Field& length, bool bSlack, std::uint64_t& nSize) {
  if (bSlack && length.n - 1 < 8 && readDigitWord(length.p, nSize) == static_cast<int>(length.n)) {
    return true;
  }
  return readGroupedNumber(length.p, length.p + length.n, nSize);
}

// Reads a whole row; bSlack tells that kPieceSlack readable bytes follow
// its NUL.
bool readRow(CsvListing& csv, const char* szRow, bool bSlack, Entry& entry) {
  int nLengthColumn = csv.anColumn[kCsvLength];
  if (nLengthColumn < 0) return false;
  Field aFields[kMaxFields];
  int nFields = 0;
  for (const char* pC = szRow; pC != nullptr && nFields < csv.nColumnsUsed;) {
    pC = nextField(pC, aFields[nFields++], csv.cDelimiter);
  }
  if (nFields <= nLengthColumn) {
    csv.nUnread++;
    return false;
  }
  const Field& length = aFields[nLengthColumn];
  if (isFolderRow(csv, aFields, nFields, length)) return false;
  if (!readLength(length, bSlack, entry.nSize)) {
    csv.nUnread++;
    return false;
  }
  bool bLink = isLinkRow(csv, aFields, nFields);
  entry.nType = bLink ? kEntryLink : kEntryFile;
  if (bLink) entry.nSize = 0;
  int nTime = csv.anColumn[kCsvLastWriteTime];
  if (csv.bDates && nTime >= 0 && nTime < nFields)
    setStamp(aFields[nTime], entry.stamp, csv.stamps);
  if (csv.bFolders) setFolder(csv, aFields, nFields, entry);
  return true;
}

}  // namespace

bool isCsvPreamble(const char* szLine, std::size_t nLength) {
  return startsWith(szLine, nLength, "#TYPE") || (nLength == 5 && startsWith(szLine, 5, "sep="));
}

void startCsv(CsvListing& csv) {
  csv.bHeader = false;
  csv.cDelimiter = '\0';
  std::fill(std::begin(csv.anColumn), std::end(csv.anColumn), -1);
  csv.nColumnsUsed = 0;
  csv.nUnread = 0;
  csv.bOpenRow = false;
  csv.sRow.clear();
}

bool readCsvLine(CsvListing& csv, const char* szLine, std::size_t nLength, Entry& entry) {
  if (csv.bOpenRow) {  // the line goes on a quoted field of the row before
    csv.sRow.push_back('\n');
    csv.sRow.append(szLine, nLength);
    if (quoteOpenAfter(szLine, nLength, true)) {
      if (csv.sRow.size() <= kCsvMaxRow) return false;
      csv.bOpenRow = false;  // too long to be a row: left out
      csv.nUnread++;
      return false;
    }
    csv.bOpenRow = false;
    return readRow(csv, csv.sRow.c_str(), false, entry);
  }
  if (skipWhitespace(szLine) == szLine + nLength) return false;  // blank
  if (!csv.bHeader) {
    if (nLength == 5 && startsWith(szLine, nLength, "sep=")) {
      csv.cDelimiter = szLine[4];
    } else if (!startsWith(szLine, nLength, "#TYPE")) {
      readHeader(csv, szLine);
    }
    return false;
  }
  if (quoteOpenAfter(szLine, nLength, false)) {
    csv.bOpenRow = true;
    csv.sRow.assign(szLine, nLength);
    return false;
  }
  return readRow(csv, szLine, true, entry);
}

std::uint64_t csvUnreadRows(const CsvListing& csv) { return csv.nUnread + (csv.bOpenRow ? 1 : 0); }

bool csvLacksLength(const CsvListing& csv) { return csv.bHeader && csv.anColumn[kCsvLength] < 0; }
