// Dates and times of day at the start of listing lines.
//
// A schedule log's line and a directory listing's file line begin with a date
// and a time of day, in the order, separators and clock of the machine that
// wrote them. The readers here take them as written; what the date's fields
// mean (month or day first) is decided later, for the whole listing.
//
// Everything here runs once per input line: no allocation, no locale, no
// library scanning, only a walk over the first few dozen bytes of the line.
#ifndef PLOMET_ESTIMATOR_SOURCES_STAMPS_H_
#define PLOMET_ESTIMATOR_SOURCES_STAMPS_H_

#include <cstddef>
#include <cstdint>

#include "sources/calendar.h"

/// The date and time written at the start of a line, as the line writes them.
struct LineStamp {
  int nField1 = 0;  // the date's three numbers, in the order written
  int nField2 = 0;
  int nField3 = 0;
  bool bYearFirst = false;     // the first field has four digits: year, month, day
  bool bTwoDigitYear = false;  // not year first, and the last field has two digits
  bool bHasDate = false;       // the fields above were read
  bool bHasTime = false;       // nSecondOfDay was read
  int nSecondOfDay = 0;        // 0..86399, 12-hour times already turned to 24-hour
};

/// The date read last by the readers below that take a line's length, with
/// what judging a file line needs of it: the readings under which it is a
/// date (kReadMonthFirst, kReadDayFirst) and the moment of its day under
/// each. A log's lines mostly repeat the date of the line before, which is
/// then found by comparing two words. Each reader of lines keeps its own.
struct StampCache {
  std::uint64_t nHead = 0;  // the date's bytes 0 to 7
  std::uint64_t nTail = 0;  // and 3 to 10
  bool bSet = false;
  int nField1 = 0;
  int nField2 = 0;
  int nField3 = 0;
  bool bYearFirst = false;
  int nReadings = 0;
  std::int64_t nMonthFirstDay = 0;
  std::int64_t nDayFirstDay = 0;
};

/// Fills a stamp with a date written year first and a time of day: a
/// source that knows the order of its dates writes them so, and both
/// readings of the date agree.
void setYearFirstStamp(LineStamp& stamp, int nYear, int nMonth, int nDay, int nSecondOfDay);

/// Reads the date and time of day at the start of a schedule-log line.
/// Returns true when the line starts with a date, blanks and a time of day, or
/// with a time of day alone; a first field made of digits and date separators
/// that is no readable date still lets the time count (bHasDate is false
/// then). Returns false when the line carries no time of day there, or a
/// malformed one (25:00:00, 12:60:00, 1:2:3, 13:00 PM); bHasDate may still be
/// true then.
///
/// Dates are three numbers joined by one separator, '/', '-' or '.', used
/// twice: year first with a four-digit first field, else the year last, with
/// two or four digits. Times are H:MM or H:MM:SS (one or two hour digits),
/// optionally with a fraction of a second (",123" or ".123"); after a date
/// the separator may be a full stop throughout (22.01.07). A 12-hour marker
/// may follow the time, attached or after a blank, or stand between the date
/// and the time: a or p then m in any letter case, with optional full stops
/// and a blank after the first (AM, pm, p.m., p. m.), the Chinese, Japanese
/// and Korean markers in UTF-8 or their code pages, and, attached to the
/// time only, a bare a or p (10:01p).
bool readLogStamp(const char* szLine, LineStamp& stamp);

/// Reads the date and time of day of a directory listing's file line: a date
/// as readLogStamp reads it (the newer shell's table puts the mode field
/// before it), blanks, and a time of day written H:MM or H.MM (seconds
/// allowed), with a 12-hour marker attached to it, before it or in one or two
/// fields after it (03:15 PM, 10:37 a. m., 03:15 下午, 오후 03:15, 11:02p).
/// Returns false when the line does not start so, when the time is no time
/// of day, or when a word that is no known marker stands between the time and
/// the size: the hour could not be read then.
bool readListingStamp(const char* szLine, LineStamp& stamp);

/// readLogStamp and readListingStamp for a line of nLength bytes followed
/// by a NUL, as the reader gives it: its text ends at the first NUL, which
/// may come before those bytes end. The same results; the layout nearly
/// every line has is read a word at a time, and the date read last is kept
/// in cache.
bool readLogStamp(const char* szLine, std::size_t nLength, LineStamp& stamp, StampCache& cache);
bool readListingStamp(const char* szLine, std::size_t nLength, LineStamp& stamp, StampCache& cache);

/// Returns the position just after the time of day (and a marker attached to
/// it) when a listing line starts with a date, blanks and a valid time of day,
/// such as 10/04/2004  20.59, else nullptr. Meant for lines without a colon,
/// whose time is written with a full stop.
const char* listingTimeEnd(const char* szLine);

/// Sets nMoment to the stamp's date and time as one number that sorts as the
/// moments do (not a count of seconds), the fields read in the given order
/// (a year-first stamp is read year first under every order). Two-digit
/// years 80-99 are 19xx, 00-79 are 20xx. Returns false when the stamp lacks
/// its date or time, or when the fields are no date of the years 1 to 9999
/// in that order.
bool computeMoment(const LineStamp& stamp, DateOrder order, std::int64_t& nMoment);

/// Returns the outcome of the file line's stamp against nSince: under each
/// reading, whether it is a date and whether its moment is at nSince or later.
int judgeStamp(const LineStamp& stamp, std::int64_t nSince);

/// Returns the outcome of the stamp at the start of a line of nLength bytes
/// and a NUL (see readListingStamp and readLogStamp: bListing says
/// which reads it), and sets bDayMonth when the stamp's date was read and is
/// not written year first. The same as reading the stamp and judging it;
/// the layout nearly every line has is read and judged in one pass.
int judgeLineStamp(const char* szLine, std::size_t nLength, bool bListing, std::int64_t nSince,
                   bool& bDayMonth, StampCache& cache);

#endif  // PLOMET_ESTIMATOR_SOURCES_STAMPS_H_
