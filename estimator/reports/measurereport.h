// What a measurement of a backup target shows (--measure): the progress line
// while the sets are copied, the report of the four sets with the fitted
// model and the rates last, and the warnings about sets measured too little.
#ifndef PLOMET_ESTIMATOR_REPORTS_MEASUREREPORT_H_
#define PLOMET_ESTIMATOR_REPORTS_MEASUREREPORT_H_

#include <cstdint>

#include "reports/progress.h"
#include "sources/measure.h"
#include "tallies/calibrate.h"

/// A set that copied fewer files than this is warned of: its rate rests on
/// too few files to be steady.
const std::uint64_t kFewMeasuredFiles = 10;

/// Shows what set nSet (0 to 3) has measured so far on the progress line,
/// which startProgress enabled on a terminal, a few times a second; out of
/// dSecondsPerSet seconds. endProgress erases it.
void showMeasureProgress(Progress& progress, int nSet, const MeasuredClass& soFar,
                         double dSecondsPerSet);

/// Prints the report through output.h: the target and the source folder
/// (result.sFrom), a row for each set, the totals, the fitted model, and as
/// the last line "rates: A B C D", as --calibrate's report ends.
void printMeasurement(const MeasureSettings& settings, const MeasureResult& measured,
                      const CalibrationResult& result);

/// Writes the warnings through warnings.h: each set that copied fewer than
/// kFewMeasuredFiles files.
void warnMeasurement(const MeasureResult& measured);

#endif  // PLOMET_ESTIMATOR_REPORTS_MEASUREREPORT_H_
