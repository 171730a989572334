// The rates read back from a JSON report of --measure or --calibrate
// (--rates-from=FILE), so that a target measured once, or a log learnt once,
// serves every later estimate.
//
// Such a report is one JSON object of "format" 1 whose member "model" holds
// "cost_ms_per_object", "bandwidth_kb_per_s" (null when unbounded),
// "objects", "rates" (the four rates in whole KB/s) and "target" (the folder
// a measurement copied to) or "log" (the log a calibration learnt from).
// Every other member is passed over, as a reader of the format should. The
// report is read as a stream, in blocks, whatever its length.
#ifndef PLOMET_ESTIMATOR_SOURCES_RATESREPORT_H_
#define PLOMET_ESTIMATOR_SOURCES_RATESREPORT_H_

#include <cstdint>
#include <cstdio>
#include <string>

/// The largest rate a report may give, in KB/s: the estimate multiplies a
/// rate by 1024 in 64 bits, and a calibration never learns more.
const std::uint64_t kMaxReportRate = 1000000000000;

/// What a report's model says.
struct RatesReport {
  std::uint64_t anRates[4] = {};  // KB/s, 1 to kMaxReportRate, smallest class first
  double dCostMs = 0;             // milliseconds per object, 0 or more
  bool bUnbounded = false;        // the bandwidth was null: bytes took no time
  double dBandwidthKBps = 0;      // more than 0, unless unbounded
  std::uint64_t nObjects = 0;     // the objects the model rests on
  bool bMeasured = false;         // the model names a "target": a measurement
  std::string sOrigin;            // the target or the log as the report names it, or ""
  std::string sError;             // why the report was refused
};

/// Returns true when the first byte of the stream that is not white space
/// (past a UTF-8 byte-order mark) is '{': a JSON report, not a log. That
/// byte is put back into the stream (ungetc); the white space and a mark
/// before it are not.
bool startsWithJsonObject(std::FILE* stream);

/// Reads the report from the stream to its end. Returns true with report
/// filled, or false with report.sError saying what is wrong in a few words
/// ("it has no member \"model\"; ..."), for a message that names the file.
bool readRatesReport(std::FILE* stream, RatesReport& report);

#endif  // PLOMET_ESTIMATOR_SOURCES_RATESREPORT_H_
