#include "sources/stamps.h"

#include <cstring>

namespace {

bool isDigit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// What may follow a field: a blank, or the end of the line's text.
bool isFieldEnd(char c) { return c == ' ' || c == '\t' || c == '\0' || c == '\r' || c == '\n'; }

const char* skipBlanks(const char* p) {
  while (isBlank(*p)) p++;
  return p;
}

const char* skipSpaces(const char* p) {
  while (*p == ' ') p++;
  return p;
}

// '-', '.' and '/' follow each other in ASCII.
bool isDateSeparator(char c) { return static_cast<unsigned char>(c - '-') < 3; }

// The value of the two digits at p.
int twoDigitValue(const char* p) { return (p[0] - '0') * 10 + (p[1] - '0'); }

// Reads one to nMaxDigits digits into nValue and their count into nDigits.
// Returns the position after them, or nullptr when there are none or more.
const char* readNumber(const char* p, int nMaxDigits, int& nValue, int& nDigits) {
  int n = 0;
  int i = 0;
  for (; i < nMaxDigits && isDigit(p[i]); i++) n = n * 10 + (p[i] - '0');
  if (i == 0 || isDigit(p[i])) return nullptr;
  nValue = n;
  nDigits = i;
  return p + i;
}

void setDate(LineStamp& stamp, int nField1, int nField2, int nField3, bool bYearFirst,
             bool bTwoDigitYear) {
  stamp.nField1 = nField1;
  stamp.nField2 = nField2;
  stamp.nField3 = nField3;
  stamp.bYearFirst = bYearFirst;
  stamp.bTwoDigitYear = bTwoDigitYear;
  stamp.bHasDate = true;
}

// Reads a date field followed by a blank: three numbers joined by the same
// separator twice, the year first (four digits) or last (two or four).
// Returns the position after it and sets the stamp's date, or nullptr.
const char* parseDate(const char* p, LineStamp& stamp) {
  int nField1;
  int nField2;
  int nField3;
  int nDigits1;
  int nDigits2;
  int nDigits3;
  p = readNumber(p, 4, nField1, nDigits1);
  if (p == nullptr || !isDateSeparator(*p)) return nullptr;
  const char cSeparator = *p;
  p = readNumber(p + 1, 2, nField2, nDigits2);
  if (p == nullptr || *p != cSeparator) return nullptr;
  p = readNumber(p + 1, 4, nField3, nDigits3);
  if (p == nullptr || !isBlank(*p)) return nullptr;
  const bool bYearFirst = nDigits1 == 4;
  if (bYearFirst ? nDigits3 > 2 : (nDigits1 == 3 || (nDigits3 != 2 && nDigits3 != 4))) {
    return nullptr;
  }
  setDate(stamp, nField1, nField2, nField3, bYearFirst, !bYearFirst && nDigits3 == 2);
  return p;
}

// A first field that is meant as a date though it is none readable, such as
// 07-Dec-2026: it starts with a digit, holds a date separator and no colon.
// Returns the position after it, or nullptr.
const char* dateLikeFieldEnd(const char* p) {
  if (!isDigit(*p)) return nullptr;
  bool bSeparator = false;
  for (; !isFieldEnd(*p); p++) {
    if (*p == ':') return nullptr;
    bSeparator = bSeparator || isDateSeparator(*p);
  }
  return bSeparator ? p : nullptr;
}

const int kNoMarker = 0;
const int kAm = 1;
const int kPm = 2;

struct CjkMarker {
  const char* szBytes;
  int nMarker;
};

// The Chinese, Japanese and Korean clocks' markers, in UTF-8 (also what
// UTF-16 listings become) and in the consoles' code pages of those regions.
const CjkMarker kCjkMarkers[] = {
    {"\xE4\xB8\x8A\xE5\x8D\x88", kAm}, {"\xE4\xB8\x8B\xE5\x8D\x88", kPm},  // UTF-8 Chinese
    {"\xE5\x8D\x88\xE5\x89\x8D", kAm}, {"\xE5\x8D\x88\xE5\xBE\x8C", kPm},  // UTF-8 Japanese
    {"\xEC\x98\xA4\xEC\xA0\x84", kAm}, {"\xEC\x98\xA4\xED\x9B\x84", kPm},  // UTF-8 Korean
    {"\xC9\xCF\xCE\xE7", kAm},         {"\xCF\xC2\xCE\xE7", kPm},  // simplified Chinese code page
    {"\xA4\x57\xA4\xC8", kAm},         {"\xA4\x55\xA4\xC8", kPm},  // traditional Chinese code page
    {"\x8C\xDF\x91\x4F", kAm},         {"\x8C\xDF\x8C\xE3", kPm},  // Japanese code page
    {"\xBF\xC0\xC0\xFC", kAm},         {"\xBF\xC0\xC8\xC4", kPm},  // Korean code page
};

// Returns the length of the text at p when it starts with szBytes, else 0.
int prefixLength(const char* p, const char* szBytes) {
  int n = 0;
  for (; szBytes[n] != '\0'; n++) {
    if (p[n] != szBytes[n]) return 0;  // also stops at the text's NUL
  }
  return n;
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The first bytes of every marker: a or p in any letter case, or a byte
// beyond ASCII.
bool mayStartMarker(char c) {
  const char cLower = lowerAscii(c);
  return cLower == 'a' || cLower == 'p' || static_cast<unsigned char>(c) >= 0x80;
}

// Returns the length of the 12-hour marker that starts at p, setting
// nMarker, or 0. Latin markers are a or p, then m, in any letter case, with
// optional full stops and a blank after the first one: AM, pm, a.m., p. m.
// What follows the marker is left to the caller.
int markerLength(const char* p, int& nMarker) {
  const char cFirst = lowerAscii(*p);
  if (cFirst == 'a' || cFirst == 'p') {
    int n = 1;
    if (p[n] == '.') {
      n++;
      if (p[n] == ' ' && lowerAscii(p[n + 1]) == 'm') n++;
    }
    if (lowerAscii(p[n]) != 'm') return 0;
    n++;
    if (p[n] == '.') n++;
    nMarker = cFirst == 'a' ? kAm : kPm;
    return n;
  }
  if (static_cast<unsigned char>(*p) < 0x80) return 0;
  for (const CjkMarker& marker : kCjkMarkers) {
    int n = prefixLength(p, marker.szBytes);
    if (n > 0) {
      nMarker = marker.nMarker;
      return n;
    }
  }
  return 0;
}

// A marker attached to the time's digits may also be a bare a or p (11:02p).
int attachedMarkerLength(const char* p, int& nMarker) {
  int n = markerLength(p, nMarker);
  if (n > 0) return n;
  const char c = lowerAscii(*p);
  if (c != 'a' && c != 'p') return 0;
  nMarker = c == 'a' ? kAm : kPm;
  return 1;
}

// A time of day as written, before a 12-hour marker is applied.
struct Clock {
  int nHour = 0;
  int nMinute = 0;
  int nSecond = 0;
  int nMarker = kNoMarker;
};

// Reads exactly two digits into nValue; returns the position after them or nullptr.
const char* readTwoDigits(const char* p, int& nValue) {
  if (!isDigit(p[0]) || !isDigit(p[1]) || isDigit(p[2])) return nullptr;
  nValue = twoDigitValue(p);
  return p + 2;
}

// Reads H:MM or H:MM:SS, with a fraction of a second after seconds, or,
// when bFullStop allows, H.MM or H.MM.SS; then a marker attached to the
// digits. The field must end there. Returns the position after it, or nullptr.
const char* readClockField(const char* p, bool bFullStop, Clock& clock) {
  int nDigits;
  p = readNumber(p, 2, clock.nHour, nDigits);
  if (p == nullptr) return nullptr;
  const char cSeparator = *p;
  if (cSeparator != ':' && !(bFullStop && cSeparator == '.')) return nullptr;
  p = readTwoDigits(p + 1, clock.nMinute);
  if (p == nullptr) return nullptr;
  if (*p == cSeparator) {
    p = readTwoDigits(p + 1, clock.nSecond);
    if (p == nullptr) return nullptr;
    if (cSeparator == ':' && (*p == '.' || *p == ',') && isDigit(p[1])) {
      for (p++; isDigit(*p); p++) {
      }
    }
  }
  if (!isFieldEnd(*p)) {
    int n = attachedMarkerLength(p, clock.nMarker);
    if (n == 0 || !isFieldEnd(p[n])) return nullptr;
    p += n;
  }
  return p;
}

// Reads the time of day at p, with a marker that stands before it. Returns
// the position after the time's field, or nullptr.
const char* readClock(const char* p, bool bFullStop, Clock& clock) {
  int nMarker = kNoMarker;
  if (!isDigit(*p)) p = skipBlanks(p + markerLength(p, nMarker));
  p = readClockField(p, bFullStop, clock);
  if (p != nullptr && nMarker != kNoMarker) {
    if (clock.nMarker != kNoMarker) return nullptr;  // a marker on both sides
    clock.nMarker = nMarker;
  }
  return p;
}

// Takes a marker written after blanks behind the time, when one is there
// and ends its field.
void readMarkerAfter(const char* p, Clock& clock) {
  if (clock.nMarker != kNoMarker) return;
  p = skipBlanks(p);
  int nMarker = kNoMarker;
  int n = markerLength(p, nMarker);
  if (n > 0 && isFieldEnd(p[n])) clock.nMarker = nMarker;
}

// Returns the second of the day of the clock, or -1 when the time is no
// time of day: 12-hour times run from 1 to 12 o'clock.
int secondOfDay(const Clock& clock) {
  int nHour = clock.nHour;
  if (clock.nMarker != kNoMarker) {
    if (nHour < 1 || nHour > 12) return -1;
    if (nHour == 12) nHour = 0;  // 12 AM is midnight, 12 PM noon
    if (clock.nMarker == kPm) nHour += 12;
  }
  if (nHour > 23 || clock.nMinute > 59 || clock.nSecond > 59) return -1;
  return (nHour * 60 + clock.nMinute) * 60 + clock.nSecond;
}

// Sets the stamp's second of the day from the clock. Returns false when the
// time is no time of day.
bool setTime(const Clock& clock, LineStamp& stamp) {
  const int nSecond = secondOfDay(clock);
  if (nSecond < 0) return false;
  stamp.nSecondOfDay = nSecond;
  stamp.bHasTime = true;
  return true;
}

// The newer shell's table starts a row with the mode, such as -a---- or
// d-r--, then blanks and the date. Returns the position of the date, or the
// line's start when it has no mode field.
const char* skipTableMode(const char* szLine) {
  if (isDigit(*szLine)) return szLine;
  const char* p = szLine;
  for (; *p == '-' || *p == 'a' || *p == 'd' || *p == 'r' || *p == 'h' || *p == 's' || *p == 'l';
       p++) {
  }
  if ((p - szLine != 5 && p - szLine != 6) || !isBlank(*p)) return szLine;
  return skipBlanks(p);
}

const char* fieldEnd(const char* p) {
  while (!isFieldEnd(*p)) p++;
  return p;
}

// A field that may hold a size: digits, or an entry type such as <DIR>.
bool startsSize(char c) { return isDigit(c) || c == '<'; }

// A field without digits that is not an entry type: a marker, known or not.
bool isWord(const char* p) {
  if (*p == '<' || isFieldEnd(*p)) return false;
  for (; !isFieldEnd(*p); p++) {
    if (isDigit(*p)) return false;
  }
  return true;
}

// Takes a known marker in the fields after a listing's time. Returns false
// when one or two unknown words stand there before a size: a marker whose
// meaning is not known, so the hour is not.
bool readListingMarkerAfter(const char* p, Clock& clock) {
  readMarkerAfter(p, clock);
  if (clock.nMarker != kNoMarker) return true;
  p = skipBlanks(p);
  for (int nWords = 0; nWords < 2 && isWord(p); nWords++) {
    p = skipBlanks(fieldEnd(p));
    if (startsSize(*p)) return false;
  }
  return true;
}

// The year of a stamp whose year is its last field.
int lastFieldYear(const LineStamp& stamp) {
  if (!stamp.bTwoDigitYear) return stamp.nField3;
  return stamp.nField3 + (stamp.nField3 >= 80 ? 1900 : 2000);
}

// Lines read from a listing come with their length, so the layout of
// nearly every line can be read a word of eight bytes at a time: a date of
// two-digit fields and a four-digit year (03/14/2024, 2024-03-14, any date
// separator), spaces, and a time hh:mm or hh:mm:ss with colons, a blank, and
// perhaps AM or PM. Any other line, and one too short for the words, is left
// to the readers above, which read these lines alike. Words are loaded only
// within the line's length. No test below takes a NUL for a digit, a
// separator, a blank or a marker, and each byte after a word is looked at
// only when those before it passed, so no byte past the text's first NUL
// (or the one after the line) is taken for the line's.

// Eight bytes as a word, the first byte lowest.
std::uint64_t loadWord(const char* p) {
  std::uint64_t nWord = 0;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  std::memcpy(&nWord, p, sizeof nWord);
#else
  for (int i = 7; i >= 0; i--) nWord = nWord << 8 | static_cast<unsigned char>(p[i]);
#endif
  return nWord;
}

char byteOf(std::uint64_t nWord, int i) { return static_cast<char>(nWord >> (8 * i)); }

// Whether the bytes of nWord that nMask selects (0xFF each) are all digits:
// their high half is 3, and stays 3 when 6 is added. A carry out of a byte
// beyond 0xF9 can make the next byte fail this, never pass it, and that
// byte fails the first test itself where it is selected.
bool digitsAt(std::uint64_t nWord, std::uint64_t nMask) {
  const std::uint64_t nHighHalves = 0xF0F0F0F0F0F0F0F0ull & nMask;
  const std::uint64_t nThrees = 0x3030303030303030ull & nMask;
  return (nWord & nHighHalves) == nThrees &&
         ((nWord + 0x0606060606060606ull) & nHighHalves) == nThrees;
}

// Byte i of the result holds 10 times digit i plus digit i + 1 of nWord:
// the values of all its two-digit fields at once. No byte of the sum passes
// 255 (15 + 10 * 15), so none carries into the next.
std::uint64_t pairValues(std::uint64_t nWord) {
  return ((nWord & 0x0F0F0F0F0F0F0F0Full) * (10 * 256 + 1)) >> 8;
}

int pairAt(std::uint64_t nPairs, int i) { return static_cast<int>((nPairs >> (8 * i)) & 0xFF); }

// A date read a word at a time: the stamp cache of stamps.h.
using DateWords = StampCache;

// The common date at p, of which 11 bytes may be read: its first eight
// bytes as nWord, its last two digits and the blank after it one by one.
// Sets the date's fields. Returns false when the text there is no such date.
bool readDateWord(const char* p, std::uint64_t nWord, DateWords& date) {
  if (!isDigit(p[8]) || !isDigit(p[9]) || !isBlank(p[10])) return false;
  const std::uint64_t nPairs = pairValues(nWord);
  const int nLastPair = twoDigitValue(p + 8);
  const char cSeparator = byteOf(nWord, 2);
  if (isDateSeparator(cSeparator)) {  // 03/14/2024: digits at 0, 1, 3, 4, 6 and 7
    date.nField1 = pairAt(nPairs, 0);
    date.nField2 = pairAt(nPairs, 3);
    date.nField3 = pairAt(nPairs, 6) * 100 + nLastPair;
    date.bYearFirst = false;
    return digitsAt(nWord, 0xFFFF00FFFF00FFFFull) && byteOf(nWord, 5) == cSeparator;
  }
  const char cYearSeparator = byteOf(nWord, 4);  // 2024-03-14: digits at 0 to 3, 5 and 6
  date.nField1 = pairAt(nPairs, 0) * 100 + pairAt(nPairs, 2);
  date.nField2 = pairAt(nPairs, 5);
  date.nField3 = nLastPair;
  date.bYearFirst = true;
  return isDateSeparator(cYearSeparator) && digitsAt(nWord, 0x00FFFF00FFFFFFFFull) &&
         byteOf(nWord, 7) == cYearSeparator;
}

// Sets the readings and days of a date just read, as judgeStamp finds them.
void judgeDate(DateWords& date) {
  if (date.bYearFirst) {
    const bool bRead = momentOf(date.nField1, date.nField2, date.nField3, 0, date.nMonthFirstDay);
    date.nReadings = bRead ? kReadMonthFirst | kReadDayFirst : 0;
    date.nDayFirstDay = date.nMonthFirstDay;
    return;
  }
  date.nReadings = dayMonthReadings(date.nField3, date.nField1, date.nField2);
  momentOf(date.nField3, date.nField1, date.nField2, 0, date.nMonthFirstDay);
  momentOf(date.nField3, date.nField2, date.nField1, 0, date.nDayFirstDay);
}

// The common date at the start of a line of which 11 bytes may be read:
// the one read last when its bytes are the same. Returns nullptr when the
// line starts with no such date.
const DateWords* readDateWords(const char* szLine, DateWords& date) {
  const std::uint64_t nHead = loadWord(szLine);
  const std::uint64_t nTail = loadWord(szLine + 3);
  if (date.bSet && nHead == date.nHead && nTail == date.nTail) return &date;
  date.bSet = readDateWord(szLine, nHead, date);
  if (!date.bSet) return nullptr;
  date.nHead = nHead;
  date.nTail = nTail;
  judgeDate(date);
  return &date;
}

// The common time at p, of which 8 bytes may be read. Returns the position
// of the blank after it, or nullptr.
const char* readClockWord(const char* p, Clock& clock) {
  const std::uint64_t nWord = loadWord(p);
  if (!digitsAt(nWord, 0x000000FFFF00FFFFull) || byteOf(nWord, 2) != ':') return nullptr;
  const std::uint64_t nPairs = pairValues(nWord);
  clock.nHour = pairAt(nPairs, 0);
  clock.nMinute = pairAt(nPairs, 3);
  const char cAfter = byteOf(nWord, 5);
  if (cAfter == ' ') return p + 5;
  if (cAfter != ':' || !digitsAt(nWord, 0xFFFF000000000000ull)) return nullptr;
  clock.nSecond = pairAt(nPairs, 6);
  return p[8] == ' ' ? p + 8 : nullptr;  // at most the NUL: the eight bytes before hold none
}

// The marker that may follow the time's blank at p: AM or PM in any letter
// case (a byte ORed with 0x20 is 'a' only for 'A' and 'a'), ending its
// field. Returns the position after it, or p.
const char* readMarkerBytes(const char* p, Clock& clock) {
  const char cFirst = static_cast<char>(p[1] | 0x20);
  if ((cFirst == 'a' || cFirst == 'p') && (p[2] | 0x20) == 'm' && isFieldEnd(p[3])) {
    clock.nMarker = cFirst == 'a' ? kAm : kPm;
    return p + 3;
  }
  return p;
}

// The common time after the common date of a line of which nLength bytes
// may be read, followed, unless a marker follows it, by what a log writes
// there (text that starts no marker) or a listing (a size or an entry
// type). Returns its second of the day, or -1 for any other text, and for a
// time that is no time of day.
int readTimeWords(const char* szLine, std::size_t nLength, bool bLog) {
  const char* p = skipSpaces(szLine + 10);
  if (static_cast<std::size_t>(p - szLine) + 8 > nLength) return -1;
  Clock clock;
  p = readClockWord(p, clock);
  if (p == nullptr) return -1;
  p = readMarkerBytes(p, clock);
  if (clock.nMarker == kNoMarker) {
    p = skipSpaces(p);
    if (bLog ? *p == '\t' || mayStartMarker(*p) : !startsSize(*p)) return -1;
  }
  return secondOfDay(clock);
}

// The stamp of a line of the common layout, of which nLength bytes may be
// read. Returns false for any other line.
bool readStampWords(const char* szLine, std::size_t nLength, bool bLog, LineStamp& stamp,
                    StampCache& cache) {
  if (nLength < 11) return false;
  const DateWords* pDate = readDateWords(szLine, cache);
  if (pDate == nullptr) return false;
  const int nSecond = readTimeWords(szLine, nLength, bLog);
  if (nSecond < 0) return false;
  setDate(stamp, pDate->nField1, pDate->nField2, pDate->nField3, pDate->bYearFirst, false);
  stamp.nSecondOfDay = nSecond;
  stamp.bHasTime = true;
  return true;
}

// judgeLineStamp for a line of the common layout: sets nOutcome and
// bDayMonth, or returns false for any other line.
bool judgeStampWords(const char* szLine, std::size_t nLength, bool bListing, std::int64_t nSince,
                     int& nOutcome, bool& bDayMonth, StampCache& cache) {
  if (nLength < 11) return false;
  const DateWords* pDate = readDateWords(szLine, cache);
  if (pDate == nullptr) return false;
  const int nSecond = readTimeWords(szLine, nLength, !bListing);
  if (nSecond < 0) return false;
  nOutcome = outcomeOf(pDate->nReadings, pDate->nMonthFirstDay | nSecond,
                       pDate->nDayFirstDay | nSecond, nSince);
  bDayMonth = !pDate->bYearFirst;
  return true;
}

}  // namespace

void setYearFirstStamp(LineStamp& stamp, int nYear, int nMonth, int nDay, int nSecondOfDay) {
  setDate(stamp, nYear, nMonth, nDay, true, false);
  stamp.bHasTime = true;
  stamp.nSecondOfDay = nSecondOfDay;
}

bool readLogStamp(const char* szLine, LineStamp& stamp) {
  stamp = LineStamp{};
  const char* p = parseDate(szLine, stamp);
  if (p == nullptr) p = dateLikeFieldEnd(szLine);
  // A time that opens the line stands alone; one after a date field may be
  // written with full stops, which alone would look like a date.
  const bool bAfterDate = p != nullptr;
  Clock clock;
  if (bAfterDate) {
    if (!isBlank(*p)) return false;
    p = readClock(skipBlanks(p), true, clock);
  } else {
    p = readClockField(szLine, false, clock);
  }
  if (p == nullptr) return false;
  readMarkerAfter(p, clock);
  return setTime(clock, stamp);
}

bool readLogStamp(const char* szLine, std::size_t nLength, LineStamp& stamp, StampCache& cache) {
  return readStampWords(szLine, nLength, true, stamp, cache) || readLogStamp(szLine, stamp);
}

bool readListingStamp(const char* szLine, std::size_t nLength, LineStamp& stamp,
                      StampCache& cache) {
  return readStampWords(szLine, nLength, false, stamp, cache) || readListingStamp(szLine, stamp);
}

bool readListingStamp(const char* szLine, LineStamp& stamp) {
  stamp = LineStamp{};
  const char* p = parseDate(skipTableMode(szLine), stamp);
  if (p == nullptr) return false;
  Clock clock;
  p = readClock(skipBlanks(p), true, clock);
  if (p == nullptr || !readListingMarkerAfter(p, clock)) return false;
  return setTime(clock, stamp);
}

const char* listingTimeEnd(const char* szLine) {
  LineStamp stamp;
  const char* p = parseDate(skipTableMode(szLine), stamp);
  if (p == nullptr) return nullptr;
  Clock clock;
  p = readClock(skipBlanks(p), true, clock);
  return p != nullptr && setTime(clock, stamp) ? p : nullptr;
}

bool computeMoment(const LineStamp& stamp, DateOrder order, std::int64_t& nMoment) {
  if (!stamp.bHasDate || !stamp.bHasTime) return false;
  const int nSecond = stamp.nSecondOfDay;
  if (stamp.bYearFirst) {
    return momentOf(stamp.nField1, stamp.nField2, stamp.nField3, nSecond, nMoment);
  }
  if (order == DateOrder::kYearFirst) {
    // The first field has one or two digits here.
    const int nYear = stamp.nField1 + (stamp.nField1 >= 80 ? 1900 : 2000);
    return momentOf(nYear, stamp.nField2, stamp.nField3, nSecond, nMoment);
  }
  const int nYear = lastFieldYear(stamp);
  if (order == DateOrder::kMonthFirst) {
    return momentOf(nYear, stamp.nField1, stamp.nField2, nSecond, nMoment);
  }
  return momentOf(nYear, stamp.nField2, stamp.nField1, nSecond, nMoment);
}

// The moments of a year-first stamp, or of one that is not read, judged
// as judgeStamp does.
int judgeOtherStamp(const LineStamp& stamp, std::int64_t nSince) {
  std::int64_t nMoment = 0;
  if (!computeMoment(stamp, DateOrder::kYearFirst, nMoment)) return 0;
  const int nSelected = nMoment >= nSince ? kSelectedMonthFirst | kSelectedDayFirst : 0;
  return kReadMonthFirst | kReadDayFirst | nSelected;
}

int judgeStamp(const LineStamp& stamp, std::int64_t nSince) {
  if (!stamp.bHasDate || !stamp.bHasTime || stamp.bYearFirst) return judgeOtherStamp(stamp, nSince);
  const int nYear = lastFieldYear(stamp);
  std::int64_t nMonthFirst;
  std::int64_t nDayFirst;
  momentOf(nYear, stamp.nField1, stamp.nField2, stamp.nSecondOfDay, nMonthFirst);
  momentOf(nYear, stamp.nField2, stamp.nField1, stamp.nSecondOfDay, nDayFirst);
  return outcomeOf(dayMonthReadings(nYear, stamp.nField1, stamp.nField2), nMonthFirst, nDayFirst,
                   nSince);
}

int judgeLineStamp(const char* szLine, std::size_t nLength, bool bListing, std::int64_t nSince,
                   bool& bDayMonth, StampCache& cache) {
  int nOutcome = 0;
  if (judgeStampWords(szLine, nLength, bListing, nSince, nOutcome, bDayMonth, cache)) {
    return nOutcome;
  }
  LineStamp stamp;
  if (bListing) {
    readListingStamp(szLine, stamp);
  } else {
    readLogStamp(szLine, stamp);
  }
  bDayMonth = stamp.bHasDate && !stamp.bYearFirst;
  return judgeStamp(stamp, nSince);
}
