// Dates as moments: a date and a time of day packed into one number that
// sorts as the moments do, the checks that three fields are a date under
// each reading (month or day first), and the text forms of --since and
// --date-order.
#ifndef PLOMET_ESTIMATOR_SOURCES_CALENDAR_H_
#define PLOMET_ESTIMATOR_SOURCES_CALENDAR_H_

#include <cstddef>
#include <cstdint>

/// How a date's three fields are ordered.
enum class DateOrder { kMonthFirst, kDayFirst, kYearFirst };

/// Sets nMoment to the date and second of the day as computeMoment makes
/// moments, and returns whether the date is one of the years 1 to 9999
/// (nMoment is set either way).
bool momentOf(int nYear, int nMonth, int nDay, int nSecondOfDay, std::int64_t& nMoment);

/// The outcome of judging a file line (see judgeStamp in stamps.h): the sum of the flags below that
/// hold. Lines are counted by outcome, a cheaper count than the evidence's, which addOutcomes makes
/// of it.
const int kReadMonthFirst = 1;      // its date is a date month first
const int kReadDayFirst = 2;        // and day first
const int kSelectedMonthFirst = 4;  // month first, its moment is at nSince or later
const int kSelectedDayFirst = 8;
const int kOutcomes = 16;

/// Returns the readings (kReadMonthFirst, kReadDayFirst) under which two
/// day-and-month fields and a year written last are a date.
int dayMonthReadings(int nYear, int nField1, int nField2);

/// Returns the outcome of a line of the readings given, whose moments under
/// them are nMonthFirst and nDayFirst, against nSince.
int outcomeOf(int nReadings, std::int64_t nMonthFirst, std::int64_t nDayFirst, std::int64_t nSince);

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

#endif  // PLOMET_ESTIMATOR_SOURCES_CALENDAR_H_
