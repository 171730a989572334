// The report as a page for people (--html): one self-contained HTML file of
// tables and inline SVG charts, written beside the usual report.
//
// Nothing on the page is fetched: no fonts, scripts, styles or images from
// elsewhere, and no link leaves it. Every chart draws a bounded number of
// marks (at most kSizeBuckets bars per histogram, kTimelineBins per
// timeline, kMaxFolderRows folders), so the page stays small whatever the
// listing. Text from the listing or the command line is escaped and cut to a
// bounded length: no name can become markup. Colours are from a palette that
// stays apart for readers with the common colour-vision deficiencies, and
// every chart's numbers are also in a table.
#ifndef PLOMET_ESTIMATOR_HTMLREPORT_H_
#define PLOMET_ESTIMATOR_HTMLREPORT_H_

#include <cstddef>
#include <ctime>
#include <string>

#include "reports/htmlparts.h"
#include "reports/jsonreport.h"
#include "tallies/calibrate.h"
#include "tallies/htmltally.h"

/// Folders beyond this many in the ranking are shown as one row.
const std::size_t kMaxFolderRows = 50;

/// What the page shows. Pointers left null leave their section out.
struct PageInput {
  const ReportFigures* pFigures = nullptr;  // what was read, and the estimate's numbers
  bool bEstimate = true;                    // false: the page of a calibration alone
  const SizeHistogram* pCounted = nullptr;  // the files the estimate counts
  const PageTallies* pTallies = nullptr;    // with --since: every file read as well
  const CalibrationResult* pCalibration = nullptr;
  const LogTimeline* pTimeline = nullptr;
  std::string readAt;      // when the listing was read, as text
  std::string modifiedAt;  // when it last changed, or "" when not known
};

/// Returns the whole page; the warnings are those written so far.
std::string htmlPage(const PageInput& input);

#endif  // PLOMET_ESTIMATOR_HTMLREPORT_H_
