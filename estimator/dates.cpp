#include "dates.h"

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// What may follow a field: a blank, or the end of the line's text.
bool isFieldEnd(char c) { return c == ' ' || c == '\t' || c == '\0' || c == '\r' || c == '\n'; }

const char* skipBlanks(const char* p) {
  while (isBlank(*p)) p++;
  return p;
}

bool isDateSeparator(char c) { return c == '/' || c == '-' || c == '.'; }

// Reads one to nMaxDigits digits into nValue and their count into nDigits.
// Returns the position after them, or nullptr when there are none or more.
const char* readNumber(const char* p, int nMaxDigits, int& nValue, int& nDigits) {
  nValue = 0;
  nDigits = 0;
  for (; isDigit(*p); p++) {
    if (++nDigits > nMaxDigits) return nullptr;
    nValue = nValue * 10 + (*p - '0');
  }
  return nDigits == 0 ? nullptr : p;
}

// Reads a date field followed by a blank: three numbers joined by the same
// separator twice, the year first (four digits) or last (two or four).
// Returns the position after it and sets the stamp's date, or nullptr.
const char* readDate(const char* p, LineStamp& stamp) {
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
  stamp.nField1 = nField1;
  stamp.nField2 = nField2;
  stamp.nField3 = nField3;
  stamp.bYearFirst = bYearFirst;
  stamp.bTwoDigitYear = !bYearFirst && nDigits3 == 2;
  stamp.bHasDate = true;
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
  nValue = (p[0] - '0') * 10 + (p[1] - '0');
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
  int n = markerLength(p, nMarker);
  if (n > 0) p = skipBlanks(p + n);
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

// Sets the stamp's second of the day from the clock. Returns false when the
// time is no time of day: 12-hour times run from 1 to 12 o'clock.
bool setTime(const Clock& clock, LineStamp& stamp) {
  int nHour = clock.nHour;
  if (clock.nMarker != kNoMarker) {
    if (nHour < 1 || nHour > 12) return false;
    nHour %= 12;  // 12 AM is midnight, 12 PM noon
    if (clock.nMarker == kPm) nHour += 12;
  }
  if (nHour > 23 || clock.nMinute > 59 || clock.nSecond > 59) return false;
  stamp.nSecondOfDay = (nHour * 60 + clock.nMinute) * 60 + clock.nSecond;
  stamp.bHasTime = true;
  return true;
}

}  // namespace

bool readLogStamp(const char* szLine, LineStamp& stamp) {
  stamp = LineStamp{};
  const char* p = readDate(szLine, stamp);
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
