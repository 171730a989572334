#include "reports/htmlreport.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "reports/htmlparts.h"
#include "reports/json.h"
#include "reports/output.h"
#include "reports/warnings.h"

namespace {

// ---- sections ------------------------------------------------------------

void appendHead(std::string& out, const PageInput& input) {
  const ReportFigures& f = *input.pFigures;
  out += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
  out += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
  out += input.bEstimate ? "Backup estimate: " : "Rates learnt: ";
  appendEscapedText(out, f.listing);
  out += "</title>\n<style>";
  out += kPageStyle;
  out += "</style>\n</head>\n<body>\n<header>\n<h1>";
  out += input.bEstimate ? "Backup estimate" : "Rates learnt from a schedule log";
  out += "</h1>\n<table class=\"facts\" id=\"read\">\n";
  std::string read = f.listing;
  for (std::size_t i = 1; i < f.paths.size(); i++) read += ", " + f.paths[i];
  appendFact(out, "Read", read);
  appendFact(out, "Kind", f.szKind);
  appendFact(out, "Encoding", f.szEncoding);
  if (!input.modifiedAt.empty()) appendFact(out, "Last changed", input.modifiedAt);
  appendFact(out, "Read at", input.readAt);
  if (f.szReadError != nullptr) appendFact(out, "Read error", f.szReadError);
  out += "</table>\n</header>\n";
}

void appendWindow(std::string& out, const WindowVerdict& w, const char* szId, const char* szWhat) {
  out += w.bFits ? "<p class=\"fits\" id=\"" : "<p class=\"over\" id=\"";
  out += szId;
  out += "\">";
  std::string text = "Backup window " + durationText(w.nWindowSeconds);
  if (szWhat != nullptr) text = text + " " + szWhat;
  text += ": ";
  if (w.bFits) {
    text += "fits, " + durationText(w.nSpareSeconds) + " to spare";
  } else {
    char szFactor[48];
    std::snprintf(szFactor, sizeof szFactor, "%" PRIu64 ".%02u", w.nFactorWhole,
                  w.nFactorHundredths);
    text += "does not fit; " + durationText(w.nOverSeconds) + " over, rates would have to be " +
            szFactor + " times as high";
  }
  appendEscapedText(out, text);
  out += "</p>\n";
}

// One large figure of the top block, under its label.
void appendBig(std::string& out, const std::string& label, const char* szId,
               const std::string& value) {
  out += "<div class=\"big\">";
  appendEscapedText(out, label);
  out += "<strong id=\"";
  out += szId;
  out += "\">";
  appendEscapedText(out, value);
  out += "</strong></div>\n";
}

// Where the four rates came from, and what they are.
std::string ratesText(const ReportFigures& f) {
  std::string text = "Rates per class (KiB/s): ";
  for (int k = 0; k < kClasses; k++)
    text += (k > 0 ? " " : "") + rateNumberText(f.aClasses[k].szRate);
  if (f.pModel == nullptr) return text + ", as given on the command line";
  return text + ", learnt from the schedule log " + f.szModelLog + " (cost " +
         fixedText(f.pModel->dCostSeconds * 1000.0, 3) + " ms per object, bandwidth " +
         (f.pModel->dSecondsPerByte > 0 ? fixedText(f.pModel->dBandwidthKBps, 1) + " KiB/s)"
                                        : std::string("unbounded)"));
}

// The top block: what was estimated (with --since, the files changed), with
// which rates, and every estimate the run made, beside the window's verdicts.
void appendEstimates(std::string& out, const ReportFigures& f) {
  out += "<section id=\"estimates\">\n";
  if (f.pSince != nullptr) {
    char szSince[kMomentTextSize];
    formatMoment(f.pSince->nSince, szSince);
    out += "<p id=\"selection\">";
    appendEscapedText(out, std::string("Files changed since ") + szSince + ": " +
                               uintText(f.nFiles) + " of " + uintText(f.pSince->nLines));
    out += "</p>\n";
  }
  out += "<p id=\"rates\">";
  appendEscapedText(out, ratesText(f));
  out += "</p>\n";
  appendBig(out, "Estimated time, by the four classes", "estimate",
            durationText(f.nEstimateSeconds));
  appendBig(out, "Based on average file size", "estimate-by-average",
            durationText(f.nAverageEstimateSeconds));
  if (f.pModel != nullptr) {
    appendBig(out, "By cost and bandwidth", "estimate-by-model", durationText(f.nModelSeconds));
    if (f.spread.nSessions >= 2) {
      appendBig(out,
                "Over the " + uintText(static_cast<unsigned>(f.spread.nSessions)) +
                    " sessions in the log",
                "sessions-range",
                durationText(f.spread.nFastest) + " to " + durationText(f.spread.nSlowest));
    }
  }
  appendBig(out, "Files", "files", uintText(f.nFiles));
  appendBig(out, "Bytes", "bytes", bytesText(static_cast<double>(f.nBytes)));
  if (f.pWindow != nullptr) appendWindow(out, *f.pWindow, "window", nullptr);
  if (f.pModelWindow != nullptr) {
    appendWindow(out, *f.pModelWindow, "window-by-model", "by cost and bandwidth");
  }
  out += "</section>\n";
}

// The warnings, where they cannot be missed; nothing when there are none.
void appendWarnings(std::string& out) {
  std::size_t n = warningCount();
  if (n == 0) return;
  out += "<section class=\"warnings\" id=\"warnings\" role=\"alert\">\n<h2>&#9888; " + uintText(n) +
         (n == 1 ? " warning" : " warnings") + "</h2>\n<ul>\n";
  for (std::size_t i = 0; i < n; i++) {
    out += "<li>";
    const std::string& text = warningText(i);
    appendEscaped(out, text.data(), text.size(), 4 * kMaxNameBytes);
    out += "</li>\n";
  }
  out += "</ul>\n</section>\n";
}

// Per class: the share of the time beside the shares of files and bytes.
void appendClassChart(std::string& out, const ReportFigures& f) {
  double dTotalSeconds = f.aClasses[0].dSeconds + f.aClasses[1].dSeconds + f.aClasses[2].dSeconds +
                         f.aClasses[3].dSeconds;
  const int nGroup = 58;
  beginSvg(out, "class-chart", 30 + nGroup * kClasses,
           "Share of the estimated time, of the files and of the bytes, per size class");
  appendLegend(out, 16, {{kTimeColour, "time"}, {kFilesColour, "files"}, {kBytesColour, "bytes"}});
  const double x0 = 130;
  const double dWidth = 480;
  for (int k = 0; k < kClasses; k++) {
    const ClassFigures& c = f.aClasses[k];
    double y = 30 + k * nGroup;
    appendSvgText(out, 4, y + 28, kClassBoundLabels[k]);
    const double adShare[3] = {
        percentOf(c.dSeconds, dTotalSeconds),
        percentOf(static_cast<double>(c.nFiles), static_cast<double>(f.nFiles)),
        percentOf(static_cast<double>(c.nBytes), static_cast<double>(f.nBytes))};
    const char* const aszColour[3] = {kTimeColour, kFilesColour, kBytesColour};
    const char* const aszWhat[3] = {" of the time", " of the files", " of the bytes"};
    for (int i = 0; i < 3; i++) {
      double yBar = y + 4 + i * 16;
      double w = dWidth * adShare[i] / 100.0;
      appendRect(out, x0, yBar, w, 13, aszColour[i]);
      appendSvgText(out, x0 + w + 4, yBar + 11, fixedText(adShare[i], 1) + "%" + aszWhat[i]);
    }
    out += '\n';
  }
  appendLine(out, x0, 24, x0, 30 + nGroup * kClasses, "stroke=\"#333\"");
  out += "</svg>\n";
}

void appendClasses(std::string& out, const ReportFigures& f) {
  out += "<section id=\"classes\">\n<h2>Size classes</h2>\n<table id=\"class-table\">\n";
  appendHeadRow(out, {"Class", "Files", "Bytes", "Rate", "Time"});
  for (int k = 0; k < kClasses; k++) {
    const ClassFigures& c = f.aClasses[k];
    appendRow(out,
              {kClassBoundLabels[k], uintText(c.nFiles), bytesText(static_cast<double>(c.nBytes)),
               rateText(c.nRate), durationText(c.nSeconds)});
  }
  appendRow(out, {"Total", uintText(f.nFiles), bytesText(static_cast<double>(f.nBytes)), "",
                  durationText(f.nEstimateSeconds)});
  out += "</table>\n<p>Average file size: <span id=\"average\">" +
         bytesText(static_cast<double>(f.nAverage)) + "</span>, in class ";
  appendEscapedText(out, kClassBoundLabels[f.nAverageClass]);
  out += ".</p>\n";
  appendClassChart(out, f);
  out += "</section>\n";
}

// The buckets a histogram shows: from the first that holds files to the
// last, and always those around the class bounds.
void bucketRange(const SizeHistogram& h, int& bFrom, int& bTo) {
  bFrom = sizeBucket(kClassBounds[0]);
  bTo = sizeBucket(kClassBounds[kClasses - 2]) + 1;
  for (int b = 0; b < kSizeBuckets; b++) {
    if (h.anFiles[b] == 0) continue;
    if (b < bFrom) bFrom = b;
    if (b > bTo) bTo = b;
  }
}

// One histogram: bars per bucket of h's files or bytes (bBytes), at their
// own scale, and the class bounds as dashed lines.
void appendHistogram(std::string& out, const char* szId, const SizeHistogram& h, bool bBytes,
                     int bFrom, int bTo) {
  const std::uint64_t* pn = bBytes ? h.anBytes : h.anFiles;
  double dMax = 1;
  for (int b = bFrom; b <= bTo; b++) dMax = std::fmax(dMax, static_cast<double>(pn[b]));
  const double x0 = 60, y0 = 24, dHeight = 150, dWidth = kChartWidth - 80;
  const double dSlot = dWidth / (bTo - bFrom + 1);
  std::string title =
      bBytes ? "Bytes per file size, powers of two" : "Files per file size, powers of two";
  beginSvg(out, szId, 220, title);
  appendSvgText(out, 4, 14,
                bBytes ? "bytes (max " + bytesText(dMax) + ")"
                       : "files (max " + uintText(static_cast<std::uint64_t>(dMax)) + ")");
  for (int b = bFrom; b <= bTo; b++) {
    double x = x0 + (b - bFrom) * dSlot;
    if (pn[b] > 0) {
      double hBar = dHeight * static_cast<double>(pn[b]) / dMax;
      appendRect(out, x + 1, y0 + dHeight - hBar, dSlot - 2, hBar,
                 bBytes ? kBytesColour : kFilesColour);
    }
    if (b == 0 || (b > 1 && (b - 1) % 5 == 0)) {  // 1 B would crowd 0 B
      appendLine(out, x, y0 + dHeight, x, y0 + dHeight + 5, "stroke=\"#333\"");
      appendSvgText(out, x, y0 + dHeight + 17, bucketLabel(b), "middle");
    }
  }
  out += '\n';
  appendLine(out, x0, y0 + dHeight, x0 + dWidth, y0 + dHeight, "stroke=\"#333\"");
  for (int k = 0; k < kClasses - 1; k++) {
    // Within its bucket a bound sits where its logarithm puts it.
    double x = x0 + (std::log2(static_cast<double>(kClassBounds[k])) + 1 - bFrom) * dSlot;
    appendLine(out, x, y0 - 4, x, y0 + dHeight, "stroke=\"#000\" stroke-dasharray=\"4 3\"");
    // A white halo keeps the bound's label legible over the bars.
    out += "<text class=\"bound\" x=\"" + svgNumber(x + 3) + "\" y=\"" + svgNumber(y0 + 6) + "\">" +
           uintText(kClassBounds[k] / 1024) + " KiB</text>";
  }
  appendSvgText(out, x0 + dWidth / 2, 212, "file size (each bar: up to twice its left edge)",
                "middle");
  out += "</svg>\n";
}

void appendSizes(std::string& out, const SizeHistogram& h, const SizeHistogram* pAll,
                 const char* szWhat) {
  int bFrom = 0, bTo = 0;
  bucketRange(pAll != nullptr ? *pAll : h, bFrom, bTo);
  out += "<section id=\"sizes\">\n<h2>";
  out += szWhat;
  out +=
      " by size</h2>\n<p class=\"note\">Each bar holds the sizes from a power of two up to the "
      "next; the dashed lines are the class bounds.";
  if (pAll != nullptr) {
    out +=
        " The charts show the files changed, at their own scale; the table below holds every "
        "file the listing holds as well.";
  }
  out += "</p>\n";
  appendHistogram(out, "size-files", h, false, bFrom, bTo);
  appendHistogram(out, "size-bytes", h, true, bFrom, bTo);
  out +=
      "<details><summary>The numbers by size, in exact bytes</summary>\n<table "
      "id=\"size-table\">\n";
  if (pAll != nullptr) {
    appendHeadRow(out, {"From (bytes)", "Files", "Bytes", "All files", "All bytes"});
  } else {
    appendHeadRow(out, {"From (bytes)", "Files", "Bytes"});
  }
  for (int b = bFrom; b <= bTo; b++) {
    std::string from = b == 0 ? "0" : uintText(std::uint64_t{1} << (b - 1));
    if (pAll != nullptr) {
      if (pAll->anFiles[b] == 0) continue;
      appendRow(out, {from, uintText(h.anFiles[b]), uintText(h.anBytes[b]),
                      uintText(pAll->anFiles[b]), uintText(pAll->anBytes[b])});
    } else if (h.anFiles[b] > 0) {
      appendRow(out, {from, uintText(h.anFiles[b]), uintText(h.anBytes[b])});
    }
  }
  out += "</table>\n</details>\n</section>\n";
}

void appendFolderRow(std::string& out, const std::string& name, const FolderRow& row) {
  out += "<tr><td class=\"name\">";
  appendEscapedText(out, name);
  out += "</td>";
  appendCell(out, uintText(row.nFiles));
  appendCell(out, bytesText(static_cast<double>(row.nBytes)));
  appendCell(out, roundedDurationText(row.dSeconds));
  appendCell(out, fixedText(row.dShare, 1));
  out += "</tr>\n";
}

const std::string& folderName(const FolderRow& row) {
  static const std::string kRootFiles = "(the root's own files)";
  return row.sName.empty() ? kRootFiles : row.sName;
}

// A folder's bar and its label in the chart.
void appendFolderBar(std::string& out, double y, const std::string& name, const FolderRow& row,
                     double dMax) {
  std::string label;
  appendEscaped(label, name.data(), name.size(), 40);  // the chart's labels are short
  out += "<text x=\"4\" y=\"" + svgNumber(y + 11) + "\">" + label + "</text>";
  double w = 230 * row.dSeconds / dMax;
  appendRect(out, 270, y + 1, w, 13, kTimeColour);
  appendSvgText(out, 274 + w, y + 11,
                roundedDurationText(row.dSeconds) + ", " + uintText(row.nFiles) + " files, " +
                    bytesText(static_cast<double>(row.nBytes)));
  out += '\n';
}

void appendFolders(std::string& out, const FolderRanking& r) {
  out += "<section id=\"folders\">\n<h2>Folders that take the longest</h2>\n";
  if (!r.bFound) {
    out += "<p>No file could be placed in a folder.</p>\n</section>\n";
    return;
  }
  out += "<p>Below ";
  appendEscapedText(out, r.sRoot);
  out += ", " + uintText(r.nDepth) + (r.nDepth == 1 ? " level" : " levels") + " down; " +
         uintText(r.nFolders) + " folders found.</p>\n";
  std::size_t nShown = std::min(r.rows.size(), kMaxFolderRows);
  // Rows past those shown join the rest.
  FolderRow rest = r.rest;
  std::size_t nRest = r.nRestFolders + (r.rows.size() - nShown);
  for (std::size_t i = nShown; i < r.rows.size(); i++) {
    rest.nFiles += r.rows[i].nFiles;
    rest.nBytes = addSaturating(rest.nBytes, r.rows[i].nBytes);
    rest.dSeconds += r.rows[i].dSeconds;
    rest.dShare += r.rows[i].dShare;
  }
  double dMax = 1e-9;
  for (std::size_t i = 0; i < nShown; i++) dMax = std::fmax(dMax, r.rows[i].dSeconds);
  dMax = std::fmax(dMax, std::fmax(rest.dSeconds, r.unplaced.dSeconds));
  std::size_t nBars = nShown + (nRest > 0 ? 1 : 0) + (r.unplaced.nFiles > 0 ? 1 : 0);
  beginSvg(out, "folder-chart", static_cast<int>(8 + 16 * nBars), "Estimated time per folder");
  double y = 4;
  for (std::size_t i = 0; i < nShown; i++) {
    appendFolderBar(out, y, folderName(r.rows[i]), r.rows[i], dMax);
    y += 16;
  }
  std::string restName =
      "(" + uintText(nRest) + (nRest == 1 ? " other folder)" : " other folders)");
  if (nRest > 0) {
    appendFolderBar(out, y, restName, rest, dMax);
    y += 16;
  }
  if (r.unplaced.nFiles > 0) appendFolderBar(out, y, "(no folder)", r.unplaced, dMax);
  out += "</svg>\n<table id=\"folder-table\">\n";
  appendHeadRow(out, {"Folder", "Files", "Bytes", "Time", "Share (%)"});
  for (std::size_t i = 0; i < nShown; i++) appendFolderRow(out, folderName(r.rows[i]), r.rows[i]);
  if (nRest > 0) appendFolderRow(out, restName, rest);
  if (r.unplaced.nFiles > 0) appendFolderRow(out, "(no folder)", r.unplaced);
  appendFolderRow(out, "All", r.total);
  out += "</table>\n</section>\n";
}

// Per class: what changed, as part of all that the listing holds.
void appendSince(std::string& out, const ReportFigures& f, const PageTallies& t) {
  const SinceFilter& s = *f.pSince;
  char szSince[kMomentTextSize];
  formatMoment(s.nSince, szSince);
  out += "<section id=\"since\">\n<h2>Changed since ";
  appendEscapedText(out, szSince);
  out += "</h2>\n<p>" + uintText(f.nFiles) + " of " + uintText(s.nLines) + " files, dates read ";
  appendEscapedText(out, chosenOrderName(s));
  out += ".</p>\n";
  beginSvg(out, "since-chart", 30 + 40 * kClasses,
           "Files and bytes changed, of all the listing holds, per size class");
  appendLegend(
      out, 16,
      {{kFilesColour, "files changed"}, {kBytesColour, "bytes changed"}, {kAllColour, "all"}});
  for (int k = 0; k < kClasses; k++) {
    double y = 30 + 40 * k;
    appendSvgText(out, 4, y + 22, kClassBoundLabels[k]);
    const double adShare[2] = {
        percentOf(static_cast<double>(f.aClasses[k].nFiles), static_cast<double>(t.anAllFiles[k])),
        percentOf(static_cast<double>(f.aClasses[k].nBytes), static_cast<double>(t.anAllBytes[k]))};
    for (int i = 0; i < 2; i++) {
      double yBar = y + 4 + 17 * i;
      appendRect(out, 130, yBar, 400, 14, kAllColour);
      appendRect(out, 130, yBar, 4 * adShare[i], 14, i == 0 ? kFilesColour : kBytesColour);
      appendSvgText(out, 536, yBar + 11,
                    fixedText(adShare[i], 1) + (i == 0 ? "% of files" : "% of bytes"));
    }
    out += '\n';
  }
  out += "</svg>\n<table id=\"since-table\">\n";
  appendHeadRow(out, {"Class", "Files changed", "All files", "Bytes changed", "All bytes"});
  for (int k = 0; k < kClasses; k++) {
    appendRow(out, {kClassBoundLabels[k], uintText(f.aClasses[k].nFiles), uintText(t.anAllFiles[k]),
                    bytesText(static_cast<double>(f.aClasses[k].nBytes)),
                    bytesText(static_cast<double>(t.anAllBytes[k]))});
  }
  appendRow(out,
            {"Total", uintText(f.nFiles), uintText(s.nLines),
             bytesText(static_cast<double>(f.nBytes)), bytesText(static_cast<double>(s.nBytes))});
  out += "</table>\n</section>\n";
}

void appendCalibration(std::string& out, const CalibrationResult& r) {
  out += "<section id=\"calibration\">\n<h2>Rates learnt</h2>\n<table id=\"calibration-table\">\n";
  appendHeadRow(out, {"Class", "Objects", "Bytes", "Busy", "Measured (KiB/s)", "Rate (KiB/s)"});
  for (int k = 0; k < kClasses; k++) {
    const CalibrationClassResult& c = r.aClasses[k];
    appendRow(out,
              {kClassBoundLabels[k], uintText(c.nObjects), bytesText(static_cast<double>(c.nBytes)),
               durationText(c.nSeconds), c.nSeconds > 0 ? fixedText(c.dMeasuredKBps, 1) : "-",
               uintText(c.nRateKBps) + (c.bFilled ? " *" : "")});
  }
  out += "</table>\n<p class=\"note\">* from the model: fewer than " +
         uintText(kWellMeasuredObjects) + " objects or " + durationText(kWellMeasuredSeconds) +
         " measured in the class.</p>\n";
  out += "<table class=\"facts\" id=\"session\">\n";
  appendFact(out, "Rates (KiB/s)",
             uintText(r.aClasses[0].nRateKBps) + " " + uintText(r.aClasses[1].nRateKBps) + " " +
                 uintText(r.aClasses[2].nRateKBps) + " " + uintText(r.aClasses[3].nRateKBps));
  appendFact(out, "Cost per object", fixedText(r.dCostSeconds * 1000.0, 3) + " ms");
  appendFact(
      out, "Bandwidth",
      r.dSecondsPerByte > 0 ? fixedText(r.dBandwidthKBps, 1) + " KiB/s" : std::string("unbounded"));
  appendFact(out, "Session", durationText(r.nSpanSeconds));
  appendFact(out, "Busy", durationText(r.nBusySeconds));
  appendFact(out, "Idle gaps",
             uintText(r.nGaps) + ", " + durationText(r.nGapTotal) + " (steps over " +
                 durationText(r.nGapSeconds) + ")");
  out += "</table>\n</section>\n";
}

// The clock time of an offset into a session, "HH:MM".
std::string clockText(const TimelineSession& session, std::uint64_t nOffset) {
  std::uint64_t n = (static_cast<std::uint64_t>(session.nStartSecond) + nOffset) % 86400;
  char sz[16];
  std::snprintf(sz, sizeof sz, "%02u:%02u", static_cast<unsigned>(n / 3600),
                static_cast<unsigned>(n % 3600 / 60));
  return sz;
}

double binRate(const TimelineSession& session, int i, bool bKilobytes) {
  const TimelineBin& bin = session.aBins[i];
  double d =
      bKilobytes ? static_cast<double>(bin.nBytes) / 1024 : static_cast<double>(bin.nObjects);
  return d * 60.0 / static_cast<double>(session.nBinSeconds);
}

// One panel of a session's chart at y0: a rate per minute as bars, the idle
// bins shaded behind them.
void appendTimelinePanel(std::string& out, const TimelineSession& session, int nBins, double y0,
                         bool bKilobytes) {
  const double x0 = 60, dHeight = 90, dWidth = kChartWidth - 80;
  double dSlot = dWidth / nBins;
  double dMax = 1e-9;
  for (int i = 0; i < nBins; i++) dMax = std::fmax(dMax, binRate(session, i, bKilobytes));
  appendSvgText(out, 4, y0 - 4,
                (bKilobytes ? "KiB per minute (max " : "objects per minute (max ") +
                    fixedText(dMax, dMax < 10 ? 1 : 0) + ")");
  for (int i = 0; i < nBins;) {  // consecutive idle bins make one shaded block
    if (session.aBins[i].nIdleSeconds * 2 < session.nBinSeconds) {
      i++;
      continue;
    }
    int j = i;
    while (j < nBins && session.aBins[j].nIdleSeconds * 2 >= session.nBinSeconds) j++;
    appendRect(out, x0 + i * dSlot, y0, (j - i) * dSlot, dHeight, kIdleColour);
    i = j;
  }
  for (int i = 0; i < nBins; i++) {
    double d = binRate(session, i, bKilobytes);
    if (d <= 0) continue;
    double h = dHeight * d / dMax;
    appendRect(out, x0 + i * dSlot, y0 + dHeight - h, dSlot > 2 ? dSlot - 0.5 : dSlot, h,
               bKilobytes ? kBytesColour : kFilesColour);
  }
  appendLine(out, x0, y0 + dHeight, x0 + dWidth, y0 + dHeight, "stroke=\"#333\"");
  // About six ticks, at a round number of minutes.
  const std::uint64_t anStep[] = {1, 2, 5, 10, 15, 30, 60, 120, 180, 360, 720, 1440, 2880, 10080};
  std::uint64_t nSpan = static_cast<std::uint64_t>(nBins) * session.nBinSeconds;
  std::uint64_t nStep = 60;
  for (std::uint64_t n : anStep) {
    nStep = n * 60;
    if (nSpan / nStep <= 6) break;
  }
  for (std::uint64_t n = 0; n <= nSpan; n += nStep) {
    double x = x0 + dWidth * static_cast<double>(n) / static_cast<double>(nSpan);
    appendLine(out, x, y0 + dHeight, x, y0 + dHeight + 5, "stroke=\"#333\"");
    appendSvgText(out, x, y0 + dHeight + 17, clockText(session, n), "middle");
  }
  out += '\n';
}

void appendTimeline(std::string& out, const LogTimeline& t) {
  if (!t.bStarted) return;
  out +=
      "<section id=\"timeline\">\n<h2>The log over time</h2>\n<p class=\"note\">Objects and "
      "KiB per minute, each session of its own (a pause of over " +
      durationText(std::max(t.nGapSeconds, t.nSessionGapSeconds)) +
      " starts a new one). Grey: idle, steps of over " + durationText(t.nGapSeconds) +
      " between lines.</p>\n";
  for (int s = 0; s < t.nSessions; s++) {
    const TimelineSession& session = t.aSessions[s];
    int nBins = sessionBinsUsed(t, s);
    std::string id = "timeline-" + uintText(static_cast<unsigned>(s + 1));
    std::string title = "Session " + uintText(static_cast<unsigned>(s + 1)) + " from " +
                        clockText(session, 0) + ", " + durationText(session.nElapsed) +
                        "; each bar " + durationText(session.nBinSeconds);
    out += "<h3>";
    appendEscapedText(out, title);
    out += "</h3>\n";
    beginSvg(out, id.c_str(), 260, "Objects and KiB per minute across " + title);
    appendTimelinePanel(out, session, nBins, 20, false);
    appendTimelinePanel(out, session, nBins, 150, true);
    out += "</svg>\n";
  }
  out += "</section>\n";
}

// Seconds per object against bytes per object, both on logarithmic axes,
// per size bucket, with the fitted cost plus bytes over bandwidth.
void appendFit(std::string& out, const LogTimeline& t, const CalibrationResult& r) {
  double dXMin = 1e300, dXMax = 0, dYMin = 1e300, dYMax = 0;
  int nPoints = 0;
  for (const FitBin& bin : t.aFit) {
    if (bin.nObjects == 0 || bin.nSeconds == 0) continue;
    double x = std::fmax(1.0, static_cast<double>(bin.nBytes) / static_cast<double>(bin.nObjects));
    double y = static_cast<double>(bin.nSeconds) / static_cast<double>(bin.nObjects);
    dXMin = std::fmin(dXMin, x), dXMax = std::fmax(dXMax, x);
    dYMin = std::fmin(dYMin, y), dYMax = std::fmax(dYMax, y);
    nPoints++;
  }
  out += "<section id=\"fit\">\n<h2>The fit: cost per object and bandwidth</h2>\n";
  if (nPoints == 0) {
    out += "<p>No size of object took a measurable second.</p>\n</section>\n";
    return;
  }
  // Bytes on powers of two, as the page's sizes are; seconds on powers of ten.
  double lx0 = std::floor(std::log2(dXMin)), lx1 = std::ceil(std::log2(dXMax));
  double ly0 = std::floor(std::log10(dYMin)), ly1 = std::ceil(std::log10(dYMax));
  if (lx1 <= lx0) lx1 = lx0 + 1;
  if (ly1 <= ly0) ly1 = ly0 + 1;
  const double x0 = 70, y0 = 20, dWidth = kChartWidth - 100, dHeight = 220;
  auto xOf = [&](double x) { return x0 + dWidth * (std::log2(x) - lx0) / (lx1 - lx0); };
  auto yOf = [&](double y) { return y0 + dHeight * (ly1 - std::log10(y)) / (ly1 - ly0); };
  beginSvg(out, "fit-chart", 290,
           "Seconds per object against bytes per object, per size of object, and the fitted line");
  appendLegend(out, 14,
               {{kFilesColour, "measured, per size"}, {kTimeColour, "cost + bytes / bandwidth"}});
  // A tick at every power of two over a short span, else at every fifth.
  const int nStep = lx1 - lx0 <= 8 ? 1 : 5;
  for (int e = static_cast<int>(lx0); e <= static_cast<int>(lx1); e++) {
    if (e % nStep != 0) continue;
    double x = xOf(std::pow(2.0, e));
    appendLine(out, x, y0, x, y0 + dHeight, "stroke=\"#ddd\"");
    appendSvgText(out, x, y0 + dHeight + 16, bucketLabel(e + 1), "middle");
  }
  for (int n = 0; n <= static_cast<int>(ly1 - ly0); n++) {
    double e = ly0 + n;
    double y = yOf(std::pow(10.0, e));
    appendLine(out, x0, y, x0 + dWidth, y, "stroke=\"#ddd\"");
    appendSvgText(out, x0 - 4, y + 4,
                  fixedText(std::pow(10.0, e), e < 0 ? static_cast<int>(-e) : 0) + " s", "end");
  }
  // The fitted line, cut to the chart.
  std::string points;
  for (int i = 0; i <= 60; i++) {
    double x = std::pow(2.0, lx0 + (lx1 - lx0) * i / 60.0);
    double y = r.dCostSeconds + x * r.dSecondsPerByte;
    if (!(y > 0)) continue;
    double yy = std::fmin(std::fmax(yOf(y), y0), y0 + dHeight);
    points += svgNumber(xOf(x)) + "," + svgNumber(yy) + " ";
  }
  out += "<polyline fill=\"none\" stroke=\"" + std::string(kTimeColour) +
         "\" stroke-width=\"2\" points=\"" + points + "\"/>\n";
  for (const FitBin& bin : t.aFit) {
    if (bin.nObjects == 0 || bin.nSeconds == 0) continue;
    double x = std::fmax(1.0, static_cast<double>(bin.nBytes) / static_cast<double>(bin.nObjects));
    double y = static_cast<double>(bin.nSeconds) / static_cast<double>(bin.nObjects);
    out += "<circle cx=\"" + svgNumber(xOf(x)) + "\" cy=\"" + svgNumber(yOf(y)) +
           "\" r=\"4.5\" fill=\"" + kFilesColour + "\"/>";
  }
  appendSvgText(out, x0 + dWidth / 2, 282, "bytes per object", "middle");
  out += "\n</svg>\n<details><summary>The numbers by size, in exact bytes and seconds</summary>\n";
  out += "<table id=\"fit-table\">\n";
  appendHeadRow(
      out, {"Sizes from (bytes)", "Objects", "Bytes per object", "Seconds", "Seconds per object"});
  for (int b = 0; b < kSizeBuckets; b++) {
    const FitBin& bin = t.aFit[b];
    if (bin.nObjects == 0) continue;
    double dObjects = static_cast<double>(bin.nObjects);
    appendRow(out,
              {b == 0 ? "0" : uintText(std::uint64_t{1} << (b - 1)), uintText(bin.nObjects),
               fixedText(static_cast<double>(bin.nBytes) / dObjects, 0), uintText(bin.nSeconds),
               fixedText(static_cast<double>(bin.nSeconds) / dObjects, 4)});
  }
  out += "</table>\n</details>\n</section>\n";
}

}  // namespace

std::string htmlPage(const PageInput& input) {
  std::string out;
  out.reserve(std::size_t{64} * 1024);
  appendHead(out, input);
  const ReportFigures& f = *input.pFigures;
  if (input.bEstimate) appendEstimates(out, f);
  appendWarnings(out);
  if (input.bEstimate) appendClasses(out, f);
  if (input.pCalibration != nullptr) appendCalibration(out, *input.pCalibration);
  if (input.pTimeline != nullptr) {
    appendTimeline(out, *input.pTimeline);
    if (input.pCalibration != nullptr) appendFit(out, *input.pTimeline, *input.pCalibration);
  }
  bool bSince = f.pSince != nullptr && input.pTallies != nullptr && input.bEstimate;
  if (input.pCounted != nullptr) {
    appendSizes(out, *input.pCounted, bSince ? &input.pTallies->all : nullptr, "Files");
  } else if (input.pTimeline != nullptr) {
    appendSizes(out, input.pTimeline->objects, nullptr, "Objects in the log");
  }
  if (input.bEstimate && f.pFolders != nullptr) appendFolders(out, *f.pFolders);
  if (bSince) appendSince(out, f, *input.pTallies);
  out += "<footer class=\"note\"><p>Written by plomet.</p></footer>\n</body>\n</html>\n";
  return out;
}
