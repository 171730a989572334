// Dates and times of day at the start of listing lines.
//
// A schedule log's line and a directory listing's file line begin with a date
// and a time of day, in the order, separators and clock of the machine that
// wrote them. The readers here take them as written; what the date's fields
// mean (month or day first) is decided later, for the whole listing.
//
// Everything here runs once per input line: no allocation, no locale, no
// library scanning, only a walk over the first few dozen bytes of the line.
#ifndef PLOMET_ESTIMATOR_DATES_H_
#define PLOMET_ESTIMATOR_DATES_H_

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
/// may follow the time, attached or after a blank (PM, pm, p.m., p. m., P, a,
/// AM, the CJK markers), or stand between the date and the time.
bool readLogStamp(const char* szLine, LineStamp& stamp);

#endif  // PLOMET_ESTIMATOR_DATES_H_
