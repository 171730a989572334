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

#include <cstddef>
#include <cstdint>

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
/// every line has is read a word at a time.
bool readLogStamp(const char* szLine, std::size_t nLength, LineStamp& stamp);
bool readListingStamp(const char* szLine, std::size_t nLength, LineStamp& stamp);

/// Returns the position just after the time of day (and a marker attached to
/// it) when a listing line starts with a date, blanks and a valid time of day,
/// such as 10/04/2004  20.59, else nullptr. Meant for lines without a colon,
/// whose time is written with a full stop.
const char* listingTimeEnd(const char* szLine);

/// How a date's three fields are ordered.
enum class DateOrder { kMonthFirst, kDayFirst, kYearFirst };

/// Sets nMoment to the stamp's date and time as one number that sorts as the
/// moments do (not a count of seconds), the fields read in the given order
/// (a year-first stamp is read year first under every order). Two-digit
/// years 80-99 are 19xx, 00-79 are 20xx. Returns false when the stamp lacks
/// its date or time, or when the fields are no date of the years 1 to 9999
/// in that order.
bool computeMoment(const LineStamp& stamp, DateOrder order, std::int64_t& nMoment);

/// Returns the moment (as computeMoment or parseSince makes it, of a valid
/// date) as a count of seconds from a fixed day: the difference of two is
/// the seconds between them, across days, months and years.
std::int64_t momentSeconds(std::int64_t nMoment);

/// Reads a --since value into nMoment, a number as computeMoment makes it:
/// YYYY-MM-DD, then optionally T (or t, or one blank) and hh:mm or hh:mm:ss,
/// every field with all its digits. Returns false for anything else,
/// including time zones (listings write local times), fractions of a
/// second, 24:00, and dates that do not exist.
bool parseSince(const char* szValue, std::int64_t& nMoment);

/// Characters formatMoment writes, its NUL included.
const std::size_t kMomentTextSize = 20;

/// Writes the moment as YYYY-MM-DD hh:mm:ss into szText, which has room for
/// kMomentTextSize characters. The moment is one computeMoment or parseSince
/// gave.
void formatMoment(std::int64_t nMoment, char* szText);

/// Reads a --date-order value, mdy, dmy or ymd in any letter case. Returns
/// false, leaving order alone, for anything else.
bool parseDateOrder(const char* szValue, DateOrder& order);

/// What a listing's dates show about their order, gathered line by line in
/// constant memory while every file is selected under both readings.
struct OrderEvidence {
  std::uint64_t nMonthFirstProofs = 0;  // dates that are dates only month first
  std::uint64_t nDayFirstProofs = 0;    // dates that are dates only day first
  std::uint64_t nSelectedMonthFirst = 0;
  std::uint64_t nSelectedDayFirst = 0;
  std::uint64_t nUnreadableMonthFirst = 0;  // file lines with no moment month first
  std::uint64_t nUnreadableDayFirst = 0;
  std::uint64_t nDisagreeing = 0;  // file lines selected under one reading only
};

/// Whether a file line is selected under each reading of its date.
struct Selection {
  bool bMonthFirst = false;
  bool bDayFirst = false;
};

/// Notes what a dated line that is no file (a directory's, say) shows about
/// the order. Stamps that were not read, or read year first, show nothing.
void weighStamp(OrderEvidence& evidence, const LineStamp& stamp);

/// For a file line: weighs its stamp, and says whether its moment is at
/// nSince or later, read month first and read day first (a year-first stamp
/// reads alike under both). Pass the stamp also when the reader returned
/// false: the line then counts as unreadable under both readings.
Selection selectStamp(OrderEvidence& evidence, const LineStamp& stamp, std::int64_t nSince);

/// The outcome of judging a file line, as selectStamp does without weighing
/// it: the sum of the flags below that hold. Lines are counted by outcome,
/// a cheaper count than the evidence's, which addOutcomes makes of it.
const int kReadMonthFirst = 1;      // its date is a date month first
const int kReadDayFirst = 2;        // and day first
const int kSelectedMonthFirst = 4;  // month first, its moment is at nSince or later
const int kSelectedDayFirst = 8;
const int kOutcomes = 16;

/// Returns the outcome of the file line's stamp (see selectStamp).
int judgeStamp(const LineStamp& stamp, std::int64_t nSince);

/// Returns the outcome of the stamp at the start of a line of nLength bytes
/// and a NUL (see readListingStamp and readLogStamp: bListing says
/// which reads it), and sets bDayMonth when the stamp's date was read and is
/// not written year first. The same as reading the stamp and judging it;
/// the layout nearly every line has is read and judged in one pass.
int judgeLineStamp(const char* szLine, std::size_t nLength, bool bListing, std::int64_t nSince,
                   bool& bDayMonth);

/// Returns the selection of an outcome.
Selection selectionOf(int nOutcome);

/// Adds to the evidence what nLines file lines of the outcome show.
void addOutcomes(OrderEvidence& evidence, int nOutcome, std::uint64_t nLines);

/// What the listing proved about its order.
enum class OrderVerdict {
  kUndecided,    // no date was a date under one reading only
  kMonthFirst,   // some dates were dates only month first, none only day first
  kDayFirst,     // the reverse
  kContradicted  // both: the dates of two machines, or fields that are no dates
};

/// Returns what the evidence proved.
OrderVerdict judgeOrder(const OrderEvidence& evidence);

/// Returns the order to report with: the proved one; month first when none
/// was proved; when the dates contradict each other, the order more dates
/// proved (month first on a tie).
DateOrder chooseOrder(const OrderEvidence& evidence);

/// Returns true when the two readings select different files, or find
/// different numbers of unreadable dates: when the choice changes the result.
bool orderMatters(const OrderEvidence& evidence);

#endif  // PLOMET_ESTIMATOR_DATES_H_
