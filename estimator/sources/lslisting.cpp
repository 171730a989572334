#include "sources/lslisting.h"

#include <array>
#include <cinttypes>
#include <cstring>
#include <ctime>
#include <utility>

#include "sources/kindtext.h"

namespace {

// The months' abbreviations that ls writes in the languages of the
// directory listings and a few more, lowercase for A to Z, without a final
// full stop.
struct MonthName {
  const char* first;
  int second;
};
const MonthName kMonthNames[] = {
    // English, and what other languages share with it
    {"jan", 1}, {"feb", 2}, {"mar", 3}, {"apr", 4}, {"may", 5}, {"jun", 6}, {"jul", 7},
    {"aug", 8}, {"sep", 9}, {"oct", 10}, {"nov", 11}, {"dec", 12},
    // French
    {"janv", 1}, {"f\xC3\xA9vr", 2}, {"mars", 3}, {"avr", 4}, {"mai", 5}, {"juin", 6},
    {"juil", 7}, {"ao\xC3\xBBt", 8}, {"sept", 9}, {"d\xC3\xA9" "c", 12},
    // German
    {"m\xC3\xA4r", 3}, {"okt", 10}, {"dez", 12},
    // Spanish, Italian, Portuguese, Dutch, Swedish
    {"ene", 1}, {"abr", 4}, {"ago", 8}, {"dic", 12}, {"gen", 1}, {"mag", 5}, {"giu", 6},
    {"lug", 7}, {"set", 9}, {"ott", 10}, {"fev", 2}, {"out", 10}, {"mrt", 3}, {"mei", 5},
    {"maj", 5},
    // Russian
    {"\xD1\x8F\xD0\xBD\xD0\xB2", 1}, {"\xD1\x84\xD0\xB5\xD0\xB2", 2},
    {"\xD0\xBC\xD0\xB0\xD1\x80", 3}, {"\xD0\xB0\xD0\xBF\xD1\x80", 4},
    {"\xD0\xBC\xD0\xB0\xD1\x8F", 5}, {"\xD0\xBC\xD0\xB0\xD0\xB9", 5},
    {"\xD0\xB8\xD1\x8E\xD0\xBD", 6}, {"\xD0\xB8\xD1\x8E\xD0\xBB", 7},
    {"\xD0\xB0\xD0\xB2\xD0\xB3", 8}, {"\xD1\x81\xD0\xB5\xD0\xBD", 9},
    {"\xD0\xBE\xD0\xBA\xD1\x82", 10}, {"\xD0\xBD\xD0\xBE\xD1\x8F", 11},
    {"\xD0\xB4\xD0\xB5\xD0\xBA", 12},
};

// A word of at most eight bytes as a number, A to Z folded to lowercase.
bool packWord(const char* pC, std::size_t n, std::uint64_t& nKey) {
  if (n == 0 || n > 8) return false;
  unsigned char aBytes[8] = {};
  for (std::size_t i = 0; i < n; i++) {
    char c = pC[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    aBytes[i] = static_cast<unsigned char>(c);
  }
  std::memcpy(&nKey, aBytes, sizeof nKey);
  return true;
}

// The month names by their packed words, in a hash table of open addressing
// that is at most half full.
const int kMonthSlotBits = 7;
struct MonthSlot {
  std::uint64_t nKey = 0;  // 0: empty
  int nMonth = 0;
};
const std::size_t kMonthSlots = std::size_t{1} << kMonthSlotBits;
using MonthTable = std::array<MonthSlot, kMonthSlots>;

// A multiplier under which every name above has a slot of its own: a
// month's name is found at its first probe, with no branch to mispredict.
std::size_t monthSlot(std::uint64_t nKey) {
  return static_cast<std::size_t>((nKey * 0x4C0C91959F9FAF97ull) >> (64 - kMonthSlotBits));
}

const MonthTable& monthTable() {
  static const MonthTable table = [] {
    MonthTable t{};
    for (const auto& name : kMonthNames) {
      std::uint64_t nKey = 0;
      packWord(name.first, std::strlen(name.first), nKey);
      std::size_t i = monthSlot(nKey);
      while (t[i].nKey != 0) i = (i + 1) % kMonthSlots;
      t[i].nKey = nKey;
      t[i].nMonth = name.second;
    }
    return t;
  }();
  return table;
}

// The key of packWord for three bytes, folded a word at a time: its loop
// costs more than the table's lookup, on every line of ls and find -ls.
std::uint64_t packThree(const char* pC) {
  std::uint64_t nWord = 0;
#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  // Four bytes loaded at once (the fourth is read by every caller): three
  // copied into a word went through memory, whose load then waited for
  // the stores.
  std::uint32_t nFour;
  std::memcpy(&nFour, pC, sizeof nFour);
  nWord = nFour & 0xFFFFFFu;
#else
  std::memcpy(&nWord, pC, 3);
#endif
  const std::uint64_t kOnes = 0x0101010101010101ull;
  // The high bit of each byte from 'A' to 'Z' (below 0x80, so that no sum
  // carries into the next byte), moved down to the bit of lowercase.
  std::uint64_t nLow = nWord & (kOnes * 0x7F);
  std::uint64_t nFromA = nLow + kOnes * (0x80 - 'A');
  std::uint64_t nPastZ = nLow + kOnes * (0x80 - 'Z' - 1);
  std::uint64_t nUpper = (nFromA ^ nPastZ) & ~nWord & (kOnes * 0x80);
  return nWord | (nUpper >> 2);
}

// The month of a packed word, or 0.
int monthOfKey(std::uint64_t nKey) {
  const MonthTable& table = monthTable();
  for (std::size_t i = monthSlot(nKey); table[i].nKey != 0; i = (i + 1) % kMonthSlots) {
    if (table[i].nKey == nKey) return table[i].nMonth;
  }
  return 0;
}

// The three-byte UTF-8 markers of the East Asian dates.
bool isMarker(const char* pC, const char* pEnd, const char* szMarker) {
  return pEnd - pC >= 3 && std::memcmp(pC, szMarker, 3) == 0;
}
const char* const kMonthCjk = "\xE6\x9C\x88";   // 月
const char* const kMonthKo = "\xEC\x9B\x94";    // 월
const char* const kDayCjk = "\xE6\x97\xA5";     // 日
const char* const kDayKo = "\xEC\x9D\xBC";      // 일
const char* const kYearCjk = "\xE5\xB9\xB4";    // 年
const char* const kYearKo = "\xEB\x85\x84";     // 년

// The parts of a date found so far; 0 (or -1 for the time) when not yet.
struct DateParts {
  int nYear = 0;
  int nMonth = 0;
  int nDay = 0;
  int nSecond = -1;
  bool bSeconds = false;  // the time holds its seconds, as ls -lT writes it
  bool complete() const { return nMonth != 0 && nDay != 0 && (nSecond >= 0 || nYear != 0); }
};

bool setPart(int& nPart, int nValue) {
  if (nPart != 0 || nValue == 0) return false;
  nPart = nValue;
  return true;
}

// A number followed by a day or month marker, or by nothing.
bool takeMarkedNumber(int nValue, int nDigits, const char* pC, const char* pEnd, DateParts& d,
                      bool bFirst) {
  if (pC == pEnd || ((*pC == '.') && pC + 1 == pEnd)) {
    if (nDigits <= 2 && d.nDay == 0) return setPart(d.nDay, nValue);
    return !bFirst && nDigits == 4 && *pC != '.' && d.nMonth != 0 && setPart(d.nYear, nValue);
  }
  if (isMarker(pC, pEnd, kDayCjk) || isMarker(pC, pEnd, kDayKo)) {
    return nDigits <= 2 && pC + 3 == pEnd && setPart(d.nDay, nValue);
  }
  if (isMarker(pC, pEnd, kYearCjk) || isMarker(pC, pEnd, kYearKo)) {
    return nDigits == 4 && pC + 3 == pEnd && setPart(d.nYear, nValue);
  }
  if (!isMarker(pC, pEnd, kMonthCjk) && !isMarker(pC, pEnd, kMonthKo)) return false;
  if (nDigits > 2 || nValue > 12 || !setPart(d.nMonth, nValue)) return false;
  pC += 3;
  if (pC == pEnd) return true;
  int nDay = 0;
  int n = 0;
  for (; pC < pEnd && isDigit(*pC) && n < 2; n++) nDay = nDay * 10 + (*pC++ - '0');
  return n > 0 && takeMarkedNumber(nDay, n, pC, pEnd, d, false) && d.nDay == nDay;
}

// Takes one field of a date into d. The first field must begin the date:
// it may not be a bare year or a time.
bool takeDateField(const char* pC, const char* pEnd, DateParts& d, bool bFirst) {
  if (!isDigit(*pC)) {
    int nMonth = monthOfName(pC, static_cast<std::size_t>(pEnd - pC));
    return nMonth != 0 && setPart(d.nMonth, nMonth);
  }
  const char* pDigits = pC;
  int nValue = 0;
  for (; pC < pEnd && isDigit(*pC) && pC - pDigits < 4; pC++) nValue = nValue * 10 + (*pC - '0');
  int nDigits = static_cast<int>(pC - pDigits);
  if (pC < pEnd && *pC == ':') {
    if (bFirst || d.nSecond >= 0 || !readClock(pDigits, pEnd, d.nSecond)) return false;
    d.bSeconds = std::memchr(pC + 1, ':', static_cast<std::size_t>(pEnd - pC - 1)) != nullptr;
    return true;
  }
  if (pC < pEnd && *pC == '-' && bFirst) {
    if (nDigits == 4 && pEnd - pDigits == 10) {
      return readYearFirstDate(pDigits, '-', d.nYear, d.nMonth, d.nDay);
    }
    if (nDigits == 2 && pEnd - pDigits == 5 && isDigit(pC[1]) && isDigit(pC[2])) {
      d.nMonth = nValue;
      d.nDay = (pC[1] - '0') * 10 + (pC[2] - '0');
      return nValue >= 1 && nValue <= 12;
    }
    return false;
  }
  return takeMarkedNumber(nValue, nDigits, pC, pEnd, d, bFirst);
}

bool isZone(const char* pC, const char* pEnd) {
  if (pEnd - pC != 5 || (*pC != '+' && *pC != '-')) return false;
  for (pC++; pC < pEnd; pC++) {
    if (!isDigit(*pC)) return false;
  }
  return true;
}

// A year of four digits in the field after pEnd. Returns the field's end
// with nYear, or pEnd when no year is there.
const char* readYearAfterTime(const char* pEnd, int& nYear) {
  const char* pYear = skipWhitespace(pEnd);
  if (pYear == pEnd || fieldEndAt(pYear) != pYear + 4) return pEnd;
  int n = 0;
  for (int i = 0; i < 4; i++) {
    if (!isDigit(pYear[i])) return pEnd;
    n = n * 10 + (pYear[i] - '0');
  }
  if (n == 0) return pEnd;
  nYear = n;
  return pYear + 4;
}

const int kDaysInMonth[13] = {0, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// The year of a date written without one: this year, unless that puts it
// after tomorrow.
int yearOf(int nMonth, int nDay, const CivilDate& today) {
  int nTomorrowMonth = today.nMonth;
  int nTomorrowDay = today.nDay + 1;
  if (nTomorrowDay > kDaysInMonth[today.nMonth]) {
    nTomorrowDay = 1;
    nTomorrowMonth = today.nMonth % 12 + 1;
  }
  if (nTomorrowMonth < today.nMonth) return today.nYear;  // tomorrow is next year
  bool bAfter = nMonth > nTomorrowMonth || (nMonth == nTomorrowMonth && nDay > nTomorrowDay);
  return bAfter ? today.nYear - 1 : today.nYear;
}

// A header names a folder: its text before the colon, without the quotes
// that ls puts around names with blanks.
void takeHeader(LsListing& ls, const char* szLine, std::size_t nLength) {
  std::size_t n = nLength - 1;
  if (n >= 2 && szLine[0] == '\'' && szLine[n - 1] == '\'') {
    ls.sFolder.assign(szLine + 1, n - 2);
  } else {
    ls.sFolder.assign(szLine, n);
  }
}

}  // namespace

// The line read where the last line's date began: a date there, after a
// field of digits alone. Returns false when the line is not so aligned.
static bool readAlignedLine(const LsListing& ls, const char* szLine, std::size_t nLength,
                            char cType, Entry& entry) {
  std::size_t nColumn = ls.nDateColumn;
  if (nColumn < 3 || nColumn >= nLength) return false;
  const char* pDate = szLine + nColumn;
  if (pDate[-1] != ' ' || !isDigit(pDate[-2])) return false;
  const char* pSize = pDate - 2;
  while (isDigit(pSize[-1])) pSize--;
  if (pSize[-1] != ' ' || pSize - szLine <= 10) return false;
  if (readLsDate(pDate, ls.today, entry.stamp) == nullptr) return false;
  entry.nSize = 0;
  return cType != '-' || readGroupedNumber(pSize, pDate - 1, entry.nSize);
}

CivilDate todayLocal() {
  std::time_t now = std::time(nullptr);
  CivilDate today;
  std::tm parts{};
#ifdef _WIN32
  if (localtime_s(&parts, &now) != 0) return today;
#else
  if (localtime_r(&now, &parts) == nullptr) return today;
#endif
  today.nYear = parts.tm_year + 1900;
  today.nMonth = parts.tm_mon + 1;
  today.nDay = parts.tm_mday;
  return today;
}

void startLs(LsListing& ls, const CivilDate& today) {
  ls = LsListing();
  ls.today = today;
}

int monthOfName(const char* pC, std::size_t nLength) {
  if (nLength > 0 && pC[nLength - 1] == '.') nLength--;
  std::uint64_t nKey = 0;
  return packWord(pC, nLength, nKey) ? monthOfKey(nKey) : 0;
}

int monthOfThreeBytes(const char* pC) {
  // A final full stop would leave monthOfName two bytes: no month's name,
  // as three bytes with a full stop are none.
  return monthOfKey(packThree(pC));
}

// The shapes nearly every line of the two most common styles has, read
// without trying the others: "Mar 14 15:02", "Mar  4  2020" and
// "2020-03-14 15:02"; and dwalk's "Mar 14 2020 15:02". Returns nullptr for
// anything else.
const char* readCommonLsDate(const char* pC, const CivilDate& today, LineStamp& stamp) {
  int nSecond = 0;
  if (isDigit(pC[0])) {
    int nYear = 0;
    int nMonth = 0;
    int nDay = 0;
    if (!readYearFirstDate(pC, '-', nYear, nMonth, nDay) || pC[10] != ' ' ||
        !kFieldEnd.abIs[static_cast<unsigned char>(pC[16])] ||
        !readUsualClock(pC + 11, pC + 16, nSecond)) {
      return nullptr;
    }
    setYearFirstStamp(stamp, nYear, nMonth, nDay, nSecond);
    return pC + 16;
  }
  // Each byte is looked at only after those before it were no NUL.
  if (pC[3] != ' ') return nullptr;
  int nMonth = monthOfThreeBytes(pC);
  char cTens = pC[4] == ' ' ? '0' : pC[4];
  if (nMonth == 0 || !isDigit(cTens) || !isDigit(pC[5]) || pC[6] != ' ') return nullptr;
  int nDay = (cTens - '0') * 10 + (pC[5] - '0');
  int nYear = 0;
  if (isDigit(pC[7]) && isDigit(pC[8]) && isDigit(pC[9]) && isDigit(pC[10]) && pC[11] == ' ' &&
      isDigit(pC[12])) {
    // dwalk's "May 16 2026 06:50": the year, then a time of day, which the
    // other shapes read as it is read here. A zone after it, or a time that
    // is none, is left to them.
    nYear = (pC[7] - '0') * 1000 + (pC[8] - '0') * 100 + (pC[9] - '0') * 10 + (pC[10] - '0');
    const char* pClockEnd = fieldEndAt(pC + 12);
    if (nYear == 0 || nDay < 1 || nDay > kDaysInMonth[nMonth] ||
        !readUsualClock(pC + 12, pClockEnd, nSecond) ||
        (pClockEnd[0] == ' ' && (pClockEnd[1] == '+' || pClockEnd[1] == '-'))) {
      return nullptr;
    }
    setYearFirstStamp(stamp, nYear, nMonth, nDay, nSecond);
    return pClockEnd;
  }
  if (pC[7] == ' ') {
    if (!isDigit(pC[8]) || !isDigit(pC[9]) || !isDigit(pC[10]) || !isDigit(pC[11])) return nullptr;
    nYear = (pC[8] - '0') * 1000 + (pC[9] - '0') * 100 + (pC[10] - '0') * 10 + (pC[11] - '0');
  } else if (!readUsualClock(pC + 7, pC + 12, nSecond)) {
    return nullptr;
  }
  if (!kFieldEnd.abIs[static_cast<unsigned char>(pC[12])] || nDay < 1 ||
      nDay > kDaysInMonth[nMonth] || (nYear == 0 && pC[7] == ' ')) {
    return nullptr;
  }
  if (nYear == 0) nYear = yearOf(nMonth, nDay, today);
  setYearFirstStamp(stamp, nYear, nMonth, nDay, nSecond);
  return pC + 12;
}

const char* readLsDate(const char* pC, const CivilDate& today, LineStamp& stamp) {
  const char* pCommon = readCommonLsDate(pC, today, stamp);
  if (pCommon != nullptr) return pCommon;
  DateParts d;
  const char* pEnd = pC;
  for (int nField = 0; nField < 4; nField++) {
    if (*pC == '\0') return nullptr;
    pEnd = fieldEndAt(pC);
    if (!takeDateField(pC, pEnd, d, nField == 0)) return nullptr;
    if (nField == 1 && d.nMonth == 0 && d.nYear == 0) return nullptr;  // a number, not a day
    if (d.complete()) break;
    pC = skipPadding(pEnd);
  }
  if (!d.complete()) return nullptr;
  // BSD's ls -lT: the year follows a time with seconds.
  if (d.nYear == 0 && d.bSeconds) pEnd = readYearAfterTime(pEnd, d.nYear);
  // The ISO styles: a time of day, and a zone, may follow a whole date.
  if (d.nSecond < 0 && d.nYear != 0) {
    const char* pNext = skipWhitespace(pEnd);
    const char* pNextEnd = isDigit(*pNext) ? fieldEndAt(pNext) : pNext;
    if (pNext != pNextEnd && readClock(pNext, pNextEnd, d.nSecond)) pEnd = pNextEnd;
  }
  if (d.nSecond >= 0 && pEnd[0] == ' ' && (pEnd[1] == '+' || pEnd[1] == '-')) {
    const char* pZoneEnd = fieldEndAt(pEnd + 1);
    if (isZone(pEnd + 1, pZoneEnd)) pEnd = pZoneEnd;
  }
  if (d.nDay > kDaysInMonth[d.nMonth]) return nullptr;
  if (d.nYear == 0) d.nYear = yearOf(d.nMonth, d.nDay, today);
  setYearFirstStamp(stamp, d.nYear, d.nMonth, d.nDay, d.nSecond < 0 ? 0 : d.nSecond);
  return pEnd;
}

const char* lsModeStart(const char* szLine) {
  const char* pC = skipWhitespace(szLine);
  for (int nColumns = 0; nColumns <= 2; nColumns++) {
    if (modeLength(pC) > 0) return pC;
    if (!isDigit(*pC)) return nullptr;
    const char* pEnd = fieldEndAt(pC);
    for (const char* pD = pC; pD < pEnd; pD++) {
      if (!isDigit(*pD) && std::strchr(".,KMGTPE", *pD) == nullptr) return nullptr;
    }
    pC = skipWhitespace(pEnd);
  }
  return nullptr;
}

bool readLsLine(LsListing& ls, const char* szLine, std::size_t nLength, Entry& entry) {
  const char* pMode = szLine;
  int nMode = modeLength(szLine);
  if (nMode == 0) {  // indented, or after the columns of ls -i and ls -s
    pMode = lsModeStart(szLine);
    nMode = pMode == nullptr ? 0 : modeLength(pMode);
  }
  if (nMode == 0) {
    const char* pC = skipWhitespace(szLine);
    std::size_t nRest = nLength - static_cast<std::size_t>(pC - szLine);
    if (nRest == 0 || startsWith(pC, nRest, "total ")) return false;
    if (startsWith(pC, nRest, "ls: ")) {
      ls.nErrors++;
    } else if (pC[nRest - 1] == ':' && std::strlen(szLine) == nLength) {
      takeHeader(ls, pC, nRest);
      ls.nDateColumn = 0;
    }
    return false;
  }
  char cType = pMode[0];
  if (cType == 'd') return false;
  entry.nType = cType == '-' ? kEntryFile : cType == 'l' ? kEntryLink : kEntrySpecial;
  entry.pFolder = ls.sFolder.data();
  entry.nFolder = ls.sFolder.size();
  if (readAlignedLine(ls, szLine, nLength, cType, entry)) return true;
  // The links, then owner and group (either may be left out), the size and
  // the date: the date is the first field after a number that reads as one.
  const char* pC = skipPadding(fieldEndAt(skipPadding(pMode + nMode)));
  const char* pPrev = nullptr;
  const char* pPrevEnd = nullptr;
  for (int nField = 1; nField < 8 && *pC != '\0'; nField++) {
    const char* pEnd = fieldEndAt(pC);
    if (pPrev != nullptr && isDigit(*pPrev) && isDigit(pPrevEnd[-1]) &&
        readLsDate(pC, ls.today, entry.stamp) != nullptr) {
      entry.nSize = 0;
      if (cType == '-' && !readGroupedNumber(pPrev, pPrevEnd, entry.nSize)) break;
      ls.nDateColumn = static_cast<std::size_t>(pC - szLine);
      return true;
    }
    pPrev = pC;
    pPrevEnd = pEnd;
    pC = skipPadding(pEnd);
  }
  ls.nUnread++;
  return false;
}
