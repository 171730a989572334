#include "sources/calendar.h"

namespace {

bool isDigit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

// Every file line's date is checked twice, in whichever order: the checks
// are made without branches that the fields' values would decide.
bool isLeapYear(unsigned nYear) {
  return ((nYear % 4 == 0) & (nYear % 100 != 0)) | (nYear % 400 == 0);
}

bool isDate(int nYear, int nMonth, int nDay) {
  static const unsigned kDays[16] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const unsigned nYearIndex = static_cast<unsigned>(nYear) - 1;
  const unsigned nMonthIndex = static_cast<unsigned>(nMonth) - 1;
  const unsigned nDayIndex = static_cast<unsigned>(nDay) - 1;
  const bool bMonth = nMonthIndex < 12;
  const unsigned nDays = kDays[nMonthIndex % 16];  // any month: bMonth rejects those past 12
  // A 29 February is rare: the year is looked at only then.
  const bool bLeapDay = nMonthIndex == 1 && nDayIndex == 28 && isLeapYear(nYearIndex + 1);
  return (nYearIndex < 9999) & bMonth & ((nDayIndex < nDays) | bLeapDay);
}

// The days of each month of a year that is not a leap year.
constexpr int kDaysInMonth[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

constexpr bool isMonthAndDay(int nMonth, int nDay) {
  return nMonth >= 1 && nMonth <= 12 && nDay >= 1 && nDay <= kDaysInMonth[nMonth];
}

// A file line's two day-and-month fields under both readings:
// kReadMonthFirst and kReadDayFirst where they are a date in a year that is
// not a leap year, and kAskTheYear where one reading is a 29 February. A
// look-up instead of two checks for every file line. Neither reading reads
// a field beyond 31.
const int kAskTheYear = 16;
const unsigned kFieldsInTable = 32;
struct DayMonthTable {
  unsigned char anReadings[kFieldsInTable][kFieldsInTable] = {};
  constexpr DayMonthTable() : anReadings() {
    for (int a = 0; a < static_cast<int>(kFieldsInTable); a++) {
      for (int b = 0; b < static_cast<int>(kFieldsInTable); b++) {
        const bool bLeapDay = (a == 2 && b == 29) || (a == 29 && b == 2);
        anReadings[a][b] = static_cast<unsigned char>((isMonthAndDay(a, b) ? kReadMonthFirst : 0) |
                                                      (isMonthAndDay(b, a) ? kReadDayFirst : 0) |
                                                      (bLeapDay ? kAskTheYear : 0));
      }
    }
  }
};
constexpr DayMonthTable kDayMonth;

// A moment is the date's fields packed above the second of the day: a number
// that sorts as the moments do, made with a few shifts rather than a count
// of days (86400 seconds fit in 17 bits, a day in 5, a month in 4).
const int kSecondBits = 17;
const int kDayBits = 5;
const int kMonthBits = 4;

// Reads exactly nDigits digits; returns the position after them or nullptr.
const char* readDigits(const char* p, int nDigits, int& nValue) {
  nValue = 0;
  for (int i = 0; i < nDigits; i++, p++) {
    if (!isDigit(*p)) return nullptr;
    nValue = nValue * 10 + (*p - '0');
  }
  return p;
}

// Reads "hh:mm" or "hh:mm:ss" up to the end of the text into nSecondOfDay.
bool parseSinceTime(const char* p, int& nSecondOfDay) {
  int nHour;
  int nMinute;
  int nSecond = 0;
  p = readDigits(p, 2, nHour);
  if (p == nullptr || *p != ':') return false;
  p = readDigits(p + 1, 2, nMinute);
  if (p == nullptr) return false;
  if (*p == ':') {
    p = readDigits(p + 1, 2, nSecond);
    if (p == nullptr) return false;
  }
  if (*p != '\0' || nHour > 23 || nMinute > 59 || nSecond > 59) return false;
  nSecondOfDay = (nHour * 60 + nMinute) * 60 + nSecond;
  return true;
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Letter case is folded for A to Z only; szLower is in lower case.
bool equalsIgnoringCase(const char* sz, const char* szLower) {
  for (; *szLower != '\0'; sz++, szLower++) {
    if (lowerAscii(*sz) != *szLower) return false;
  }
  return *sz == '\0';
}

// Writes nValue with nDigits digits, leading zeros included, and returns the end.
char* writeDigits(char* p, int nValue, int nDigits) {
  for (int i = nDigits - 1; i >= 0; i--, nValue /= 10) p[i] = static_cast<char>('0' + nValue % 10);
  return p + nDigits;
}

}  // namespace

// Sets nMoment from a date and second of the day, and returns whether the
// date is valid (nMoment is set either way: the caller branches once).
bool momentOf(int nYear, int nMonth, int nDay, int nSecondOfDay, std::int64_t& nMoment) {
  const std::uint64_t nDate =
      (((static_cast<std::uint64_t>(nYear) << kMonthBits) | static_cast<std::uint64_t>(nMonth))
       << kDayBits) |
      static_cast<std::uint64_t>(nDay);
  nMoment = static_cast<std::int64_t>((nDate << kSecondBits) | static_cast<unsigned>(nSecondOfDay));
  return isDate(nYear, nMonth, nDay);
}

// The readings under which two fields and a year written last are a date
// (kReadMonthFirst, kReadDayFirst).
int dayMonthReadings(int nYear, int nField1, int nField2) {
  const auto nFirst = static_cast<unsigned>(nField1);
  const auto nSecond = static_cast<unsigned>(nField2);
  int nReadings = nFirst < kFieldsInTable && nSecond < kFieldsInTable
                      ? kDayMonth.anReadings[nFirst][nSecond]
                      : 0;
  if ((nReadings & kAskTheYear) != 0) {
    std::int64_t nMoment;
    nReadings = (momentOf(nYear, nField1, nField2, 0, nMoment) ? kReadMonthFirst : 0) |
                (momentOf(nYear, nField2, nField1, 0, nMoment) ? kReadDayFirst : 0);
  }
  return nYear >= 1 ? nReadings : 0;  // not the year 0000
}

// The outcome of a line of the readings given, whose moments under them are
// nMonthFirst and nDayFirst: a reading selects only what it reads, so its
// selection's flag is its reading's, shifted.
int outcomeOf(int nReadings, std::int64_t nMonthFirst, std::int64_t nDayFirst,
              std::int64_t nSince) {
  const int nSelected = (nMonthFirst >= nSince ? kSelectedMonthFirst : 0) |
                        (nDayFirst >= nSince ? kSelectedDayFirst : 0);
  return nReadings | (nSelected & (nReadings << 2));
}

bool parseSince(const char* szValue, std::int64_t& nMoment) {
  int nYear;
  int nMonth;
  int nDay;
  const char* p = readDigits(szValue, 4, nYear);
  if (p == nullptr || *p != '-') return false;
  p = readDigits(p + 1, 2, nMonth);
  if (p == nullptr || *p != '-') return false;
  p = readDigits(p + 1, 2, nDay);
  if (p == nullptr) return false;
  int nSecondOfDay = 0;
  if (*p != '\0') {
    if (*p != 'T' && *p != 't' && *p != ' ') return false;
    if (!parseSinceTime(p + 1, nSecondOfDay)) return false;
  }
  return momentOf(nYear, nMonth, nDay, nSecondOfDay, nMoment);
}

void formatMoment(std::int64_t nMoment, char* szText) {
  const int nSecondOfDay = static_cast<int>(nMoment & ((1 << kSecondBits) - 1));
  const int nDate = static_cast<int>(nMoment >> kSecondBits);
  const int nDay = nDate & ((1 << kDayBits) - 1);
  const int nMonth = (nDate >> kDayBits) & ((1 << kMonthBits) - 1);
  const int nYear = nDate >> (kDayBits + kMonthBits);
  char* p = writeDigits(szText, nYear, 4);
  *p++ = '-';
  p = writeDigits(p, nMonth, 2);
  *p++ = '-';
  p = writeDigits(p, nDay, 2);
  *p++ = ' ';
  p = writeDigits(p, nSecondOfDay / 3600, 2);
  *p++ = ':';
  p = writeDigits(p, nSecondOfDay / 60 % 60, 2);
  *p++ = ':';
  p = writeDigits(p, nSecondOfDay % 60, 2);
  *p = '\0';
}

std::int64_t momentSeconds(std::int64_t nMoment) {
  const std::int64_t nSecondOfDay = nMoment & ((1 << kSecondBits) - 1);
  const std::int64_t nDate = nMoment >> kSecondBits;
  const std::int64_t nDay = nDate & ((1 << kDayBits) - 1);
  const std::int64_t nMonth = (nDate >> kDayBits) & ((1 << kMonthBits) - 1);
  // Days before the month, counted from March so that the leap day comes last.
  const std::int64_t nYear = (nDate >> (kDayBits + kMonthBits)) - (nMonth <= 2 ? 1 : 0);
  const std::int64_t nMarchMonth = nMonth <= 2 ? nMonth + 9 : nMonth - 3;
  const std::int64_t nDays =
      nYear * 365 + nYear / 4 - nYear / 100 + nYear / 400 + (153 * nMarchMonth + 2) / 5 + nDay - 1;
  return nDays * 86400 + nSecondOfDay;
}

bool parseDateOrder(const char* szValue, DateOrder& order) {
  if (equalsIgnoringCase(szValue, "mdy")) {
    order = DateOrder::kMonthFirst;
  } else if (equalsIgnoringCase(szValue, "dmy")) {
    order = DateOrder::kDayFirst;
  } else if (equalsIgnoringCase(szValue, "ymd")) {
    order = DateOrder::kYearFirst;
  } else {
    return false;
  }
  return true;
}
