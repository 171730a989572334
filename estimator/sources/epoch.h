// Times written as a count of seconds or as RFC 3339 text, turned into the
// local date and time of day that the other listings write and --since
// compares with.
//
// The disk-usage exports give a modification time in Unix seconds, rclone's
// JSON an RFC 3339 text with its offset from UTC. Both name one moment; the
// stamp an entry carries is that moment in the local time of the machine
// that reads the listing, as the scan's stamps are.
#ifndef PLOMET_ESTIMATOR_SOURCES_EPOCH_H_
#define PLOMET_ESTIMATOR_SOURCES_EPOCH_H_

#include <cstddef>
#include <cstdint>

#include "sources/stamps.h"

/// The local time's offset from UTC, kept for the quarter of an hour asked
/// last: the moments of one listing mostly fall in few of them, and the
/// system's time-zone conversion is dear. Offsets change only at a quarter
/// of an hour.
struct LocalOffsetCache {
  std::int64_t nQuarter = INT64_MIN;  // the quarter (seconds / 900) of the offset kept
  std::int64_t nOffset = 0;           // local minus UTC, in seconds
  bool bKnown = false;                // the system gave the offset of that quarter
};

/// Returns the days from 1970-01-01 to the date (proleptic Gregorian; before
/// it negative), for any year the int holds.
std::int64_t daysFromCivil(int nYear, int nMonth, int nDay);

/// Sets stamp to the local date and time of day of nSeconds after
/// 1970-01-01 00:00:00 UTC (negative: before it). Returns false, leaving the
/// stamp without a date, when the system cannot convert that moment or its
/// year is not one of 1 to 9999.
bool setEpochStamp(LineStamp& stamp, std::int64_t nSeconds, LocalOffsetCache& cache);

/// Reads an RFC 3339 date and time that fills [pC, pC + n) exactly:
/// YYYY-MM-DDThh:mm:ss (T or t or a blank), an optional fraction of a second
/// of any length, and Z (or z) or an offset +hh:mm / -hh:mm, into the whole
/// seconds after 1970-01-01 00:00:00 UTC (the fraction dropped). Returns
/// false for anything else, or a date or time that does not exist (a leap
/// second's :60 is read as :59).
bool readRfc3339(const char* pC, std::size_t n, std::int64_t& nSeconds);

#endif  // PLOMET_ESTIMATOR_SOURCES_EPOCH_H_
