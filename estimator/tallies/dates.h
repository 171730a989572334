// The order of a listing's dates, decided over the whole listing.
//
// Month-first and day-first dates look alike (03/04/2024). Every dated line
// is judged under both readings, and what the dates show (a 13th day is
// read only one way) is gathered in constant memory, so that the order is
// chosen once the listing has been read, also from a pipe.
#ifndef PLOMET_ESTIMATOR_TALLIES_DATES_H_
#define PLOMET_ESTIMATOR_TALLIES_DATES_H_

#include <cstdint>

#include "sources/stamps.h"

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

#endif  // PLOMET_ESTIMATOR_TALLIES_DATES_H_
