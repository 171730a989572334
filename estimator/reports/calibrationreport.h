// What the calibration shows: the report of --calibrate, its warnings, and
// the line above an estimate whose rates were learnt from a log or read from
// a JSON report.
#ifndef PLOMET_ESTIMATOR_REPORTS_CALIBRATIONREPORT_H_
#define PLOMET_ESTIMATOR_REPORTS_CALIBRATIONREPORT_H_

#include "tallies/calibrate.h"

/// Prints the report through output.h. Its last line is "rates: A B C D", the
/// four rates in the order the estimate takes them.
void printCalibration(const CalibrationResult& result);

/// Writes the warnings of the calibration through warnings.h: steps that went
/// back in time, object lines left out for their sizes.
void warnCalibration(const CalibrationResult& result);

/// Warns that the rates learnt cannot be trusted, when the log measured
/// fewer than kTrustedLogObjects objects in all, or else fewer than
/// kWellMeasuredObjects in a class whose rate the estimate takes (abUsed).
void warnFewObjects(const CalibrationResult& result, const bool abUsed[kClasses]);

/// Warns as warnFewObjects does for rates from a JSON report, which keeps
/// the objects its model rests on (result.nLogObjects) but not each class's.
void warnFewReportObjects(const CalibrationResult& result);

/// Prints the line above an estimate whose rates were learnt from szLog:
/// where they came from and what was learnt.
void printRatesSource(const char* szLog, const CalibrationResult& result);

/// Prints the line above an estimate whose rates were read from szReport, a
/// JSON report of --measure (bMeasured; szOrigin is the target it measured)
/// or of --calibrate (szOrigin is the log it learnt from; "" when not named).
void printRatesReport(const char* szReport, bool bMeasured, const char* szOrigin,
                      const CalibrationResult& result);

/// Prints the fitted model: the cost per object, the bandwidth ("unbounded"
/// when bytes took no time) and the classes it was fitted to, a line each.
void printFittedModel(const CalibrationResult& result);

#endif  // PLOMET_ESTIMATOR_REPORTS_CALIBRATIONREPORT_H_
