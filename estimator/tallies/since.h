// Counting only what changed since a moment (--since).
//
// A file is selected when the date and time on its line are at the moment or
// later. Month-first and day-first dates look alike (03/04/2024), and the
// listing may show its order only late, or never, while it is read once and
// perhaps from a pipe. So unless the order is given, every file is judged
// under both readings: the files both select are counted at once, and those
// that only one selects are set aside in a tally of that reading's, which
// joins the count once the whole listing has shown its order.
#ifndef PLOMET_ESTIMATOR_SINCE_H_
#define PLOMET_ESTIMATOR_SINCE_H_

#include <cstddef>
#include <cstdint>

#include "tallies/classes.h"
#include "tallies/dates.h"

/// Files of one reading of the dates that the other reading leaves out.
struct AsideTally {
  std::uint64_t anFiles[kClasses] = {};
  std::uint64_t anBytes[kClasses] = {};  // stays at 2^64 - 1 rather than wrap
  bool abPassedMax[kClasses] = {};
};

struct SinceFilter {
  std::int64_t nSince = 0;  // a moment as parseSince makes it
  bool bOrderGiven = false;
  DateOrder order = DateOrder::kMonthFirst;  // the order given
  OrderEvidence evidence;                    // what the dates show when none was given:
  std::uint64_t anOutcomes[kOutcomes] = {};  // the files judged, by outcome, add to it
  std::uint64_t nUnreadableGiven = 0;        // with an order given: dates not read
  std::uint64_t nSelectedGiven = 0;          // with an order given: lines selected
  std::uint64_t nLines = 0;                  // files (or log lines) judged
  std::uint64_t nBytes = 0;                  // their bytes, staying at 2^64 - 1
  bool bDayMonthDates = false;               // a date not written year first was read
  AsideTally monthFirstOnly;
  AsideTally dayFirstOnly;
  StampCache stamps;  // the date read last
};

/// Starts a filter for files at nSince or later, with the order of the dates
/// given (bOrderGiven) or to be learnt from the listing.
void startSince(SinceFilter& filter, std::int64_t nSince, bool bOrderGiven, DateOrder order);

/// Judges one line by its stamp (pass it also when the reader returned
/// false: the line is then selected under neither reading) and counts its
/// nSize bytes among those judged. With an order given, both readings are it.
Selection judgeLine(SinceFilter& filter, const LineStamp& stamp, std::uint64_t nSize);

/// judgeLine for the stamp at the start of a line of nLength bytes and a
/// NUL, read by readListingStamp or readLogStamp (bListing says which): the
/// stamp is read and judged in one pass where it can be.
Selection judgeLineText(SinceFilter& filter, const char* szLine, std::size_t nLength, bool bListing,
                        std::uint64_t nSize);

/// Returns the number of lines the count ends with selected.
std::uint64_t selectedLines(const SinceFilter& filter);

/// Sets a file that one reading alone selects aside for that reading.
void setAside(SinceFilter& filter, const Selection& selection, std::uint64_t nSize);

/// Returns true when the count, once read, is the day-first reading's.
bool dayFirstChosen(const SinceFilter& filter);

/// Returns the files set aside for the reading the count ends with.
const AsideTally& chosenAside(const SinceFilter& filter);

/// Returns what the dates showed of their order: the lines weighed and the
/// files judged together.
OrderEvidence sinceEvidence(const SinceFilter& filter);

/// Returns the number of files whose dates could not be read under the
/// reading the count ends with (or the order given).
std::uint64_t unreadableDates(const SinceFilter& filter);

/// Returns the name of the order the count ends with: "month first", "day
/// first", "year first", and how it was decided: "option", "listing" or
/// "assumed".
const char* chosenOrderName(const SinceFilter& filter);
const char* orderDecidedBy(const SinceFilter& filter);

#endif  // PLOMET_ESTIMATOR_SINCE_H_
