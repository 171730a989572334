#include "measurerun.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

#include "reports/jsonreport.h"
#include "reports/measurereport.h"
#include "reports/output.h"
#include "sources/measure.h"
#include "sources/ratesreport.h"
#include "sources/reader.h"
#include "tallies/calibrate.h"

namespace {

// What the engine's progress calls reach: the display and the set's seconds.
struct MeasureDisplay {
  Progress* pProgress;
  double dSecondsPerSet;
};

void showSoFar(void* pContext, int nSet, const MeasuredClass& soFar) {
  MeasureDisplay& display = *static_cast<MeasureDisplay*>(pContext);
  showMeasureProgress(*display.pProgress, nSet, soFar, display.dSecondsPerSet);
}

// --measure is a form of the command of its own: no option such as -d, no
// listing, no rates. Returns -1, or the exit status after refusing them.
int takeNoArguments(int argc, char** argv, const Run& run) {
  if (argc >= 2 && parseOption(argv[1])) {
    return rejectCommandLine(
        run,
        "error: --measure copies files to a target and takes no option such as '%s' and no "
        "rates\n",
        argv[1]);
  }
  if (argc != 1) {
    return rejectCommandLine(
        run, "error: expected no argument with --measure (the target is its value), got %s\n",
        std::to_string(argc - 1));
  }
  return -1;
}

}  // namespace

int measure(int argc, char** argv, Run& run) {
  int nStatus = takeNoArguments(argc, argv, run);
  if (nStatus >= 0) return nStatus;
  const LongOptions& options = run.options;
  MeasureSettings settings;
  settings.sTarget = options.szMeasure;
  if (options.szFrom != nullptr) settings.sFrom = options.szFrom;
  settings.dSecondsPerClass = options.dMeasureSeconds;
  MeasureDisplay display = {&run.progress, settings.dSecondsPerClass};
  MeasureProgress progress;
  progress.pShow = showSoFar;
  progress.pContext = &display;
  MeasureResult measured;
  startProgress(run.progress, 0);
  bool bMeasured = measureTarget(settings, measured, &progress);
  endProgress(run.progress);
  if (!bMeasured) {
    outFlush();
    std::fprintf(stderr, "error: %s%s\n", printable(measured.sWhy.c_str()).c_str(),
                 measured.failure == MeasureFailure::kOverlap ? " (--from=FOLDER)" : "");
    return kExitFailure;
  }
  CalibrationResult result;
  calibrateMeasurement(measured.aClasses, result);
  if (options.bJson) {
    warnMeasurement(measured);
    writeJsonMeasurement(settings, measured, result);
    return kExitOk;
  }
  printMeasurement(settings, measured, result);
  outFlush();  // the warnings follow the report they explain
  warnMeasurement(measured);
  return kExitOk;
}

bool isRatesReport(const char* szName) {
  std::FILE* stream = openListingFile(szName);
  if (stream == nullptr) return false;
  bool bJson = startsWithJsonObject(stream);
  if (stream != stdin) std::fclose(stream);
  return bJson;
}

bool readRatesReportOf(Run& run) {
  const char* szName = run.options.szRatesFrom;
  std::string name = printable(szName);
  outFlush();  // an error comes after whatever was written
  std::FILE* stream = openListingFile(szName);
  if (stream == nullptr) {
    std::fprintf(stderr, "error: cannot open '%s': %s\n", name.c_str(), std::strerror(errno));
    return false;
  }
  RatesReport& report = run.ratesReport;
  bool bRead = readRatesReport(stream, report);
  if (stream != stdin) std::fclose(stream);
  if (!bRead) {
    std::fprintf(stderr, "error: cannot take the rates from '%s': %s\n", name.c_str(),
                 printable(report.sError.c_str()).c_str());
    return false;
  }
  CalibrationResult& model = run.model;
  model = CalibrationResult{};
  model.dCostSeconds = report.dCostMs / 1000.0;
  model.dSecondsPerByte = report.bUnbounded ? 0 : 1.0 / (report.dBandwidthKBps * 1024.0);
  model.dBandwidthKBps =
      report.bUnbounded ? std::numeric_limits<double>::infinity() : report.dBandwidthKBps;
  model.nLogObjects = report.nObjects;
  for (int k = 0; k < kClasses; k++) model.aClasses[k].nRateKBps = report.anRates[k];
  run.bModelFromReport = true;
  return true;
}
