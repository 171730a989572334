// The night's plan of --plan shown: as text (the clients in their start
// order, then the end, the window's verdict, the sessions needed and the
// busiest stretch), as one JSON object, and as a page with a chart of the
// night, one row per session.
//
// Times are the schedule's seconds from the plan's start. Text and the page
// show them whole, as "H hours M mins S sec" (rounded up, but a whole number
// that the sums' rounding moved by a billionth stays whole, so that a plan
// that fits its window by hand shows no second over it); JSON gives them
// with fractions.
#ifndef PLOMET_ESTIMATOR_REPORTS_PLANREPORT_H_
#define PLOMET_ESTIMATOR_REPORTS_PLANREPORT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sources/reportfile.h"
#include "tallies/schedule.h"

/// What the plan keeps of a client's report beside its schedule, found by
/// the client's nTag.
struct PlanReportFacts {
  std::string sReport;         // the file read, as given ("-" for standard input),
                               // with ":N" for the Nth report of a stream past the first
  std::uint64_t nObjects = 0;  // total.files
  std::uint64_t nSeconds = 0;  // T, the estimate used, in whole seconds
  bool bModel = false;         // T is the estimate by cost and bandwidth
};

/// The clients' chart on the page shows at most this many sessions, and its
/// table at most this many clients (the rest are counted in a row).
const int kPlanChartSessions = 40;
const std::size_t kPlanTableRows = 1000;

/// Everything the plan's reports show.
struct PlanFigures {
  const std::vector<PlanClient>* pClients = nullptr;     // in plan order, planned
  const std::vector<PlanReportFacts>* pFacts = nullptr;  // by nTag
  PlanSettings settings;
  bool bWindow = false;  // --window was given
  std::uint64_t nWindowSeconds = 0;
  bool bWindowClock = false;  // as HH:MM-HH:MM, starting at ...
  int nWindowStartSecond = 0;
  PlanOutcome outcome;
  WindowFit fit;  // with --window
  // With fit.why kClientTooLong: the folders of that client's report, and
  // whether they were kept (they are, unless another client's ties it).
  bool bLongFolders = false;
  std::vector<ReportFolder> longFolders;
  std::size_t nReports = 0;  // report files and streams read
  bool bHumanTimes = false;  // --human: times as "1 h 02 min 03 s"
};

/// Returns seconds as text and the page show them whole: rounded up, but a
/// whole number give or take the billionth that sums leave is that number;
/// 0 for NaN or below, 2^64 - 1 at most.
std::uint64_t wholePlanSeconds(double dSeconds);

/// Returns whether a client that ends at dEnd ends within the window.
bool endsInWindow(const PlanFigures& figures, double dEnd);

/// Prints the plan as text on standard output.
void printPlan(const PlanFigures& figures);

/// Writes the plan as one JSON object, with the warnings written so far.
void writeJsonPlan(const PlanFigures& figures);

/// Returns the plan's page: its facts, the warnings so far, the chart of the
/// night and the table. readAt says when the plan was made.
std::string planPage(const PlanFigures& figures, const std::string& readAt);

#endif  // PLOMET_ESTIMATOR_REPORTS_PLANREPORT_H_
