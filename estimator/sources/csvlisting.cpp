#include "sources/csvlisting.h"

#include <algorithm>
#include <cinttypes>
#include <iterator>
#include <cstring>

#include "sources/kindtext.h"
#include "sources/reader.h"

namespace {

const char* const kColumnNames[kCsvColumns] = {"length",        "fullname", "directoryname",
                                               "lastwritetime", "psiscontainer", "mode",
                                               "attributes"};

// Columns past this many are never used.
const int kMaxFields = 128;

struct Field {
  const char* p;
  std::size_t n;
  bool bDoubled;  // quoted, with doubled quotes inside
};

// Reads the field at pC into f. Returns where the next field starts, or
// nullptr when the row ends with this field.
const char* nextField(const char* pC, Field& f) {
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
    while (*pC != '\0' && *pC != ',') pC++;
  } else {
    f.p = pC;
    while (*pC != '\0' && *pC != ',') pC++;
    f.n = static_cast<std::size_t>(pC - f.p);
  }
  return *pC == ',' ? pC + 1 : nullptr;
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
  std::fill(std::begin(csv.anColumn), std::end(csv.anColumn), -1);
  Field f{};
  const char* pC = szLine;
  for (int i = 0; pC != nullptr && i < kMaxFields; i++) {
    pC = nextField(pC, f);
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

}  // namespace

void startCsv(CsvListing& csv) {
  csv.bHeader = false;
  std::fill(std::begin(csv.anColumn), std::end(csv.anColumn), -1);
  csv.nColumnsUsed = 0;
  csv.nUnread = 0;
}

bool readCsvLine(CsvListing& csv, const char* szLine, std::size_t nLength, Entry& entry) {
  if (skipWhitespace(szLine) == szLine + nLength) return false;  // blank
  if (!csv.bHeader) {
    if (!startsWith(szLine, nLength, "#TYPE")) readHeader(csv, szLine);
    return false;
  }
  int nLengthColumn = csv.anColumn[kCsvLength];
  if (nLengthColumn < 0) return false;
  Field aFields[kMaxFields];
  int nFields = 0;
  for (const char* pC = szLine; pC != nullptr && nFields < csv.nColumnsUsed;) {
    pC = nextField(pC, aFields[nFields++]);
  }
  if (nFields <= nLengthColumn) {
    csv.nUnread++;
    return false;
  }
  const Field& length = aFields[nLengthColumn];
  int nContainer = csv.anColumn[kCsvPSIsContainer];
  int nMode = csv.anColumn[kCsvMode];
  int nAttributes = csv.anColumn[kCsvAttributes];
  bool bFolder = length.n == 0 ||
                 (nContainer >= 0 && nContainer < nFields && sameFolded(aFields[nContainer], "true")) ||
                 (nMode >= 0 && nMode < nFields && aFields[nMode].n > 0 && aFields[nMode].p[0] == 'd') ||
                 (nAttributes >= 0 && nAttributes < nFields && holds(aFields[nAttributes], "Directory"));
  if (bFolder) return false;
  if (!readGroupedNumber(length.p, length.p + length.n, entry.nSize)) {
    csv.nUnread++;
    return false;
  }
  bool bLink = (nAttributes >= 0 && nAttributes < nFields &&
                holds(aFields[nAttributes], "ReparsePoint")) ||
               (nMode >= 0 && nMode < nFields && aFields[nMode].n > 0 &&
                aFields[nMode].p[aFields[nMode].n - 1] == 'l');
  entry.nType = bLink ? kEntryLink : kEntryFile;
  if (bLink) entry.nSize = 0;
  int nTime = csv.anColumn[kCsvLastWriteTime];
  if (csv.bDates && nTime >= 0 && nTime < nFields) setStamp(aFields[nTime], entry.stamp, csv.stamps);
  if (csv.bFolders) setFolder(csv, aFields, nFields, entry);
  return true;
}

bool csvLacksLength(const CsvListing& csv) { return csv.bHeader && csv.anColumn[kCsvLength] < 0; }
