// The report as one JSON object, for scripts and monitoring (--json).
//
// The estimate gathers its numbers into ReportFigures instead of printing
// them; after the warnings have been written, the whole object is written at
// once. Every integer is exact up to 2^64 - 1.
#ifndef PLOMET_ESTIMATOR_JSONREPORT_H_
#define PLOMET_ESTIMATOR_JSONREPORT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "sources/measure.h"
#include "tallies/calibrate.h"
#include "tallies/classes.h"
#include "tallies/folders.h"
#include "tallies/since.h"
#include "tallies/window.h"

/// The numbers of one size class.
struct ClassFigures {
  std::uint64_t nFiles = 0;
  std::uint64_t nBytes = 0;
  bool bExact = true;          // the byte total did not pass 2^64 - 1
  const char* szRate = "0";    // the rate in KB/s as given on the command line
  std::int64_t nRate = 0;      // bytes per second
  double dSeconds = 0;         // bytes over rate, with fractions; 0 for a rate <= 0
  std::uint64_t nSeconds = 0;  // as in the table: rounded down
};

/// What the listing was and what the estimate found in it.
struct ReportFigures {
  const char* szKind = "";            // "directory listing" or "schedule log"
  std::string listing;                // its name as given, "-" for standard input
  std::vector<std::string> paths;     // the scan's paths, when it was given more than one
  const char* szEncoding = "";        // as readEncoding names it
  const char* szReadError = nullptr;  // why the reading stopped early (a read that failed, a
                                      // corrupt compressed stream), or null
  ClassFigures aClasses[kClasses];
  std::uint64_t nFiles = 0;
  std::uint64_t nBytes = 0;
  bool bExact = true;
  std::uint64_t nAverage = 0;
  int nAverageClass = 0;
  std::uint64_t nEstimateSeconds = 0;         // the class times added up
  std::uint64_t nAverageEstimateSeconds = 0;  // all bytes at the average's class rate
  bool bOwnTotals = false;                    // the listing stated its own totals
  std::uint64_t nOwnFiles = 0;
  std::uint64_t nOwnBytes = 0;
  const WindowVerdict* pWindow = nullptr;   // when --window was given
  const SinceFilter* pSince = nullptr;      // when --since was given
  const FolderRanking* pFolders = nullptr;  // when --top was given
  // With --rates-from: what the log taught, and the estimates by cost and bandwidth.
  const CalibrationResult* pModel = nullptr;
  const char* szModelLog = "";
  std::uint64_t nModelSeconds = 0;
  SessionSpread spread{};
  const WindowVerdict* pModelWindow = nullptr;  // when --window was given too
  // With --client: the client's name, for --plan.
  const char* szClient = nullptr;
};

/// Writes the estimate's report, with the warnings written so far.
void writeJsonReport(const ReportFigures& figures);

/// Writes the calibration's report: the input of figures, and the result.
void writeJsonCalibration(const ReportFigures& figures, const CalibrationResult& result);

/// Writes the measurement's report (--measure): the target and the source
/// folder, each set's counts and rates, and the model member that
/// --rates-from reads back, as writeJsonCalibration writes it.
void writeJsonMeasurement(const MeasureSettings& settings, const MeasureResult& measured,
                          const CalibrationResult& result);

/// Returns a rate as the command line gives it (see parseRateText) as a JSON number with the same
/// digits: no blanks, no plus sign, no leading zeros, a digit on both sides of
/// the decimal point (" +.50 " gives "0.50").
std::string rateNumberText(const char* szText);

#endif  // PLOMET_ESTIMATOR_JSONREPORT_H_
