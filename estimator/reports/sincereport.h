// What --since shows beside the report: the line above it, and the warnings
// about the dates.
#ifndef PLOMET_ESTIMATOR_REPORTS_SINCEREPORT_H_
#define PLOMET_ESTIMATOR_REPORTS_SINCEREPORT_H_

#include <cstdint>

#include "tallies/since.h"

/// Prints the line above the report: "Files changed since 2026-12-06
/// 00:00:00: 1234 of 567890" (szWhat is "Files changed" or "Lines written").
void printSelection(const SinceFilter& filter, const char* szWhat, std::uint64_t nSelected);

/// Warns of the dates that could not be read, and of an order the listing
/// never decided (or contradicted) when it changes the result.
void warnSince(const SinceFilter& filter);

#endif  // PLOMET_ESTIMATOR_REPORTS_SINCEREPORT_H_
