// The --plan run's wiring: the clients' JSON reports read one at a time (a
// source), their estimates planned into one night of sessions that share a
// bandwidth (a tally), and the plan shown as text, JSON or a page (reports).
//
//   plomet --plan REPORTS... [--sessions=N] [--bandwidth=RATE]
//          [--order=longest|shortest] [--window=DURATION|HH:MM-HH:MM]
//          [--json] [--html=FILE] [--strict]
//
// The plan keeps a few numbers per client, never a report: 10,000 reports
// take a few megabytes.
#ifndef PLOMET_ESTIMATOR_PLAN_H_
#define PLOMET_ESTIMATOR_PLAN_H_

#include "run.h"

/// Plans the night of the reports that argv[1] to argv[argc - 1] name:
/// files, folders (every *.json directly inside) and "-" (standard input,
/// several reports one after another). Prints the plan, writes the page of
/// --html, and sets run.window.bFits for --strict. Returns the exit status:
/// 2 after rejecting the arguments, 1 after an input that cannot be read or
/// is no report (naming it and what is wrong; then no plan is printed).
int planNight(int argc, char** argv, Run& run);

#endif  // PLOMET_ESTIMATOR_PLAN_H_
