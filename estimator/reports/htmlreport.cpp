#include "reports/htmlreport.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "reports/json.h"
#include "reports/output.h"
#include "reports/warnings.h"

namespace {

// Okabe and Ito's palette: told apart with each common colour-vision
// deficiency, and each colour also carries a label.
const char* const kTimeColour = "#D55E00";   // vermillion
const char* const kFilesColour = "#0072B2";  // blue
const char* const kBytesColour = "#E69F00";  // orange
const char* const kAllColour = "#BBBBBB";    // what --since left out: grey
const char* const kIdleColour = "#E8E8E8";

const int kChartWidth = 720;  // viewBox units; the page is at most this wide, A4 holds it
const std::uint64_t kClassBounds[kClasses - 1] = {kOneKbLimit, kTenKbLimit, kHundredKbLimit};

const char kStyle[] =
    "body{font:14px/1.4 system-ui,sans-serif;color:#111;max-width:760px;margin:1em auto;"
    "padding:0 1em}"
    "h1{font-size:1.5em;margin:.2em 0}h2{font-size:1.15em;margin:1.2em 0 .4em;"
    "border-bottom:1px solid #999}"
    "table{border-collapse:collapse;margin:.4em 0}td,th{padding:2px 8px;text-align:right;"
    "border-bottom:1px solid #ddd}th{background:#f2f2f2}td:first-child,th:first-child{"
    "text-align:left}.facts td,.facts th{text-align:left;border:0}"
    ".big{display:inline-block;margin:.3em 1.5em .3em 0}.big strong{display:block;"
    "font-size:1.4em}.fits{border-left:6px solid #009E73;padding:.3em .6em;background:#eef8f4}"
    ".over{border-left:6px solid #D55E00;padding:.3em .6em;background:#fdf0e8}"
    ".warnings{border:3px solid #D55E00;background:#fff4e5;padding:.4em 1em;margin:1em 0}"
    ".warnings h2{border:0;margin:.2em 0;color:#a33a00}"
    "svg{display:block;width:100%;height:auto;font:11px system-ui,sans-serif}"
    "text.bound{paint-order:stroke;stroke:#fff;stroke-width:3px}"
    ".note{color:#444;font-size:.9em}.name{text-align:left;word-break:break-all}"
    "section{break-inside:avoid}"
    "@page{size:A4;margin:14mm}@media print{body{margin:0;max-width:none}}";

// ---- text --------------------------------------------------------------

void appendEscapedText(std::string& out, const std::string& text) {
  appendEscaped(out, text.data(), text.size(), kMaxNameBytes);
}

std::string uintText(std::uint64_t n) {
  char sz[24];
  std::snprintf(sz, sizeof sz, "%" PRIu64, n);
  return sz;
}

std::string fixedText(double d, int nDecimals) {
  char sz[64];
  if (!std::isfinite(d)) return "-";
  std::snprintf(sz, sizeof sz, "%.*f", nDecimals, d);
  return sz;
}

std::string durationText(std::uint64_t nSeconds) {
  char sz[kDurationTextSize];
  formatDuration(nSeconds, sz);
  return sz;
}

// A power of ten of bytes, "100 B", "1 kB", "10 MB".
std::string decadeText(double dExponent) {
  const char* const aszUnits[] = {"B", "kB", "MB", "GB", "TB", "PB", "EB"};
  int n = static_cast<int>(dExponent);
  if (n < 0) n = 0;
  if (n > 20) n = 20;
  int nUnit = n / 3 > 6 ? 6 : n / 3;
  return uintText(static_cast<std::uint64_t>(std::pow(10.0, n - 3 * nUnit))) + " " +
         aszUnits[nUnit];
}

// A duration in a chart's label, "2:05:09" or "0:00:03".
std::string clockDuration(double dSeconds) {
  std::uint64_t n = dSeconds > 0 ? static_cast<std::uint64_t>(std::llround(dSeconds)) : 0;
  char sz[48];
  std::snprintf(sz, sizeof sz, "%" PRIu64 ":%02u:%02u", n / 3600,
                static_cast<unsigned>(n % 3600 / 60), static_cast<unsigned>(n % 60));
  return sz;
}

// A size in the binary units, such as "1.5 MiB"; "512 B" below a KiB.
std::string bytesText(double dBytes) {
  const char* const aszUnits[] = {"B", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  int nUnit = 0;
  while (dBytes >= 1024 && nUnit < 6) {
    dBytes /= 1024;
    nUnit++;
  }
  return fixedText(dBytes, nUnit == 0 || dBytes >= 100 ? 0 : 1) + " " + aszUnits[nUnit];
}

// The lower bound of size bucket b, as a short label.
std::string bucketLabel(int b) {
  if (b == 0) return "0 B";
  const char* const aszUnits[] = {"B", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  int nPower = b - 1;
  return uintText(std::uint64_t{1} << (nPower % 10)) + " " + aszUnits[nPower / 10];
}

double percentOf(double dPart, double dWhole) { return dWhole > 0 ? 100.0 * dPart / dWhole : 0; }

void appendCell(std::string& out, const std::string& text, const char* szTag = "td") {
  out += '<';
  out += szTag;
  out += '>';
  appendEscapedText(out, text);
  out += "</";
  out += szTag;
  out += '>';
}

void appendRow(std::string& out, std::initializer_list<std::string> cells) {
  out += "<tr>";
  for (const std::string& cell : cells) appendCell(out, cell);
  out += "</tr>\n";
}

void appendHeadRow(std::string& out, std::initializer_list<const char*> cells) {
  out += "<tr>";
  for (const char* szCell : cells) appendCell(out, szCell, "th");
  out += "</tr>\n";
}

void appendFact(std::string& out, const char* szWhat, const std::string& value) {
  out += "<tr><th>";
  out += szWhat;
  out += "</th>";
  appendCell(out, value);
  out += "</tr>\n";
}

// ---- SVG ---------------------------------------------------------------

std::string num(double d) { return fixedText(d, 1); }

void beginSvg(std::string& out, const char* szId, int nHeight, const std::string& title) {
  out += "<svg id=\"";
  out += szId;
  out += "\" viewBox=\"0 0 " + uintText(kChartWidth) + " " +
         uintText(static_cast<unsigned>(nHeight)) + "\" role=\"img\" aria-labelledby=\"";
  out += szId;
  out += "-title\"><title id=\"";
  out += szId;
  out += "-title\">";
  appendEscapedText(out, title);
  out += "</title>\n";
}

void appendRect(std::string& out, double x, double y, double w, double h, const char* szFill) {
  out += "<rect x=\"" + num(x) + "\" y=\"" + num(y) + "\" width=\"" + num(w) + "\" height=\"" +
         num(h) + "\" fill=\"" + szFill + "\"/>";
}

void appendSvgText(std::string& out, double x, double y, const std::string& text,
                   const char* szAnchor = "start") {
  out += "<text x=\"" + num(x) + "\" y=\"" + num(y) + "\" text-anchor=\"" + szAnchor + "\">";
  appendEscapedText(out, text);
  out += "</text>";
}

void appendLine(std::string& out, double x1, double y1, double x2, double y2, const char* szStyle) {
  out += "<line x1=\"" + num(x1) + "\" y1=\"" + num(y1) + "\" x2=\"" + num(x2) + "\" y2=\"" +
         num(y2) + "\" " + szStyle + "/>";
}

// A legend of coloured squares and their labels, in one row at y.
void appendLegend(std::string& out, double y,
                  std::initializer_list<std::pair<const char*, const char*>> items) {
  double x = 10;
  for (const auto& item : items) {
    appendRect(out, x, y - 10, 12, 12, item.first);
    appendSvgText(out, x + 16, y, item.second);
    x += 30 + 7.0 * static_cast<double>(std::strlen(item.second));
  }
  out += '\n';
}

// ---- sections ------------------------------------------------------------

void appendHead(std::string& out, const PageInput& input) {
  const ReportFigures& f = *input.pFigures;
  out += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
  out += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
  out += input.bEstimate ? "Backup estimate: " : "Rates learnt: ";
  appendEscapedText(out, f.listing);
  out += "</title>\n<style>";
  out += kStyle;
  out += "</style>\n</head>\n<body>\n<header>\n<h1>";
  out += input.bEstimate ? "Backup estimate" : "Rates learnt from a schedule log";
  out += "</h1>\n<table class=\"facts\" id=\"read\">\n";
  appendFact(out, "Read", f.listing);
  appendFact(out, "Kind", f.szKind);
  appendFact(out, "Encoding", f.szEncoding);
  if (!input.modifiedAt.empty()) appendFact(out, "Last changed", input.modifiedAt);
  appendFact(out, "Read at", input.readAt);
  if (f.nReadError != 0) appendFact(out, "Read error", std::strerror(f.nReadError));
  out += "</table>\n</header>\n";
}

void appendWindow(std::string& out, const WindowVerdict& w) {
  out += w.bFits ? "<p class=\"fits\" id=\"window\">" : "<p class=\"over\" id=\"window\">";
  std::string text = "Backup window " + durationText(w.nWindowSeconds) + ": ";
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

void appendEstimates(std::string& out, const ReportFigures& f) {
  out += "<section id=\"estimates\">\n<div class=\"big\">Estimated time<strong id=\"estimate\">";
  appendEscapedText(out, durationText(f.nEstimateSeconds));
  out +=
      "</strong></div>\n<div class=\"big\">Based on average file size<strong "
      "id=\"estimate-by-average\">";
  appendEscapedText(out, durationText(f.nAverageEstimateSeconds));
  out += "</strong></div>\n<div class=\"big\">Files<strong id=\"files\">" + uintText(f.nFiles) +
         "</strong></div>\n<div class=\"big\">Bytes<strong id=\"bytes\">" + uintText(f.nBytes) +
         "</strong></div>\n";
  if (f.pWindow != nullptr) appendWindow(out, *f.pWindow);
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
    appendSvgText(out, 4, y + 28, kClassLabels[k]);
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
  appendHeadRow(out, {"Range (bytes)", "Files", "Bytes", "Bytes per sec", "Time (sec)"});
  for (int k = 0; k < kClasses; k++) {
    const ClassFigures& c = f.aClasses[k];
    appendRow(out, {kClassLabels[k], uintText(c.nFiles), uintText(c.nBytes),
                    std::to_string(c.nRate), uintText(c.nSeconds)});
  }
  appendRow(out,
            {"Total", uintText(f.nFiles), uintText(f.nBytes), "", uintText(f.nEstimateSeconds)});
  out += "</table>\n<p>Average file size: <span id=\"average\">" + uintText(f.nAverage) +
         "</span> bytes, in class ";
  appendEscapedText(out, kClassLabels[f.nAverageClass]);
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

// One histogram: bars per bucket of h's files or bytes (bBytes), behind
// them pAll's in grey, and the class bounds as dashed lines.
void appendHistogram(std::string& out, const char* szId, const SizeHistogram& h,
                     const SizeHistogram* pAll, bool bBytes, int bFrom, int bTo) {
  const std::uint64_t* pn = bBytes ? h.anBytes : h.anFiles;
  const std::uint64_t* pnAll = pAll == nullptr ? nullptr : bBytes ? pAll->anBytes : pAll->anFiles;
  double dMax = 1;
  for (int b = bFrom; b <= bTo; b++) {
    double d = static_cast<double>(pnAll != nullptr ? pnAll[b] : pn[b]);
    if (d > dMax) dMax = d;
  }
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
    if (pnAll != nullptr && pnAll[b] > 0) {
      double hAll = dHeight * static_cast<double>(pnAll[b]) / dMax;
      appendRect(out, x + 1, y0 + dHeight - hAll, dSlot - 2, hAll, kAllColour);
    }
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
    out += "<text class=\"bound\" x=\"" + num(x + 3) + "\" y=\"" + num(y0 + 6) + "\">" +
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
  if (pAll != nullptr) out += " Grey: every file the listing holds; in colour: those changed.";
  out += "</p>\n";
  appendHistogram(out, "size-files", h, pAll, false, bFrom, bTo);
  appendHistogram(out, "size-bytes", h, pAll, true, bFrom, bTo);
  out += "<table id=\"size-table\">\n";
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
  out += "</table>\n</section>\n";
}

void appendFolderRow(std::string& out, const std::string& name, const FolderRow& row) {
  out += "<tr><td class=\"name\">";
  appendEscapedText(out, name);
  out += "</td>";
  appendCell(out, uintText(row.nFiles));
  appendCell(out, uintText(row.nBytes));
  appendCell(out, fixedText(row.dSeconds, 1));
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
  out += "<text x=\"4\" y=\"" + num(y + 11) + "\">" + label + "</text>";
  double w = 230 * row.dSeconds / dMax;
  appendRect(out, 270, y + 1, w, 13, kTimeColour);
  appendSvgText(out, 274 + w, y + 11,
                clockDuration(row.dSeconds) + ", " + uintText(row.nFiles) + " files, " +
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
  std::string restName = "(" + uintText(nRest) + " other folders)";
  if (nRest > 0) {
    appendFolderBar(out, y, restName, rest, dMax);
    y += 16;
  }
  if (r.unplaced.nFiles > 0) appendFolderBar(out, y, "(no folder)", r.unplaced, dMax);
  out += "</svg>\n<table id=\"folder-table\">\n";
  appendHeadRow(out, {"Folder", "Files", "Bytes", "Time (sec)", "Share (%)"});
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
    appendSvgText(out, 4, y + 22, kClassLabels[k]);
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
  appendHeadRow(out, {"Range (bytes)", "Files changed", "All files", "Bytes changed", "All bytes"});
  for (int k = 0; k < kClasses; k++) {
    appendRow(out, {kClassLabels[k], uintText(f.aClasses[k].nFiles), uintText(t.anAllFiles[k]),
                    uintText(f.aClasses[k].nBytes), uintText(t.anAllBytes[k])});
  }
  appendRow(out, {"Total", uintText(f.nFiles), uintText(s.nLines), uintText(f.nBytes),
                  uintText(s.nBytes)});
  out += "</table>\n</section>\n";
}

void appendCalibration(std::string& out, const CalibrationResult& r) {
  out += "<section id=\"calibration\">\n<h2>Rates learnt</h2>\n<table id=\"calibration-table\">\n";
  appendHeadRow(
      out, {"Range (bytes)", "Objects", "Bytes", "Busy (sec)", "Measured (KB/s)", "Rate (KB/s)"});
  for (int k = 0; k < kClasses; k++) {
    const CalibrationClassResult& c = r.aClasses[k];
    appendRow(out, {kClassLabels[k], uintText(c.nObjects), uintText(c.nBytes), uintText(c.nSeconds),
                    c.nSeconds > 0 ? fixedText(c.dMeasuredKBps, 1) : "-",
                    uintText(c.nRateKBps) + (c.bFilled ? " *" : "")});
  }
  out += "</table>\n<p class=\"note\">* from the model: fewer than " +
         uintText(kWellMeasuredObjects) + " objects or " + uintText(kWellMeasuredSeconds) +
         " sec measured in the class.</p>\n";
  out += "<table class=\"facts\" id=\"session\">\n";
  appendFact(out, "Rates",
             uintText(r.aClasses[0].nRateKBps) + " " + uintText(r.aClasses[1].nRateKBps) + " " +
                 uintText(r.aClasses[2].nRateKBps) + " " + uintText(r.aClasses[3].nRateKBps));
  appendFact(out, "Cost per object", fixedText(r.dCostSeconds * 1000.0, 3) + " ms");
  appendFact(
      out, "Bandwidth",
      r.dSecondsPerByte > 0 ? fixedText(r.dBandwidthKBps, 1) + " KB/s" : std::string("unbounded"));
  appendFact(out, "Session", durationText(r.nSpanSeconds));
  appendFact(out, "Busy", durationText(r.nBusySeconds));
  appendFact(out, "Idle gaps",
             uintText(r.nGaps) + ", " + durationText(r.nGapTotal) + " (steps over " +
                 uintText(r.nGapSeconds) + " sec)");
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
                (bKilobytes ? "KB per minute (max " : "objects per minute (max ") +
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
      "kilobytes per minute, each session of its own (a pause of over " +
      durationText(std::max(t.nGapSeconds, t.nSessionGapSeconds)) +
      " starts a new one). Grey: idle, steps of over " + uintText(t.nGapSeconds) +
      " sec between lines.</p>\n";
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
    beginSvg(out, id.c_str(), 260, "Objects and kilobytes per minute across " + title);
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
  double lx0 = std::floor(std::log10(dXMin)), lx1 = std::ceil(std::log10(dXMax));
  double ly0 = std::floor(std::log10(dYMin)), ly1 = std::ceil(std::log10(dYMax));
  if (lx1 <= lx0) lx1 = lx0 + 1;
  if (ly1 <= ly0) ly1 = ly0 + 1;
  const double x0 = 70, y0 = 20, dWidth = kChartWidth - 100, dHeight = 220;
  auto xOf = [&](double x) { return x0 + dWidth * (std::log10(x) - lx0) / (lx1 - lx0); };
  auto yOf = [&](double y) { return y0 + dHeight * (ly1 - std::log10(y)) / (ly1 - ly0); };
  beginSvg(out, "fit-chart", 290,
           "Seconds per object against bytes per object, per size of object, and the fitted line");
  appendLegend(out, 14,
               {{kFilesColour, "measured, per size"}, {kTimeColour, "cost + bytes / bandwidth"}});
  for (int n = 0; n <= static_cast<int>(lx1 - lx0); n++) {
    double e = lx0 + n;
    double x = xOf(std::pow(10.0, e));
    appendLine(out, x, y0, x, y0 + dHeight, "stroke=\"#ddd\"");
    appendSvgText(out, x, y0 + dHeight + 16, decadeText(e), "middle");
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
    double x = std::pow(10.0, lx0 + (lx1 - lx0) * i / 60.0);
    double y = r.dCostSeconds + x * r.dSecondsPerByte;
    if (!(y > 0)) continue;
    double yy = std::fmin(std::fmax(yOf(y), y0), y0 + dHeight);
    points += num(xOf(x)) + "," + num(yy) + " ";
  }
  out += "<polyline fill=\"none\" stroke=\"" + std::string(kTimeColour) +
         "\" stroke-width=\"2\" points=\"" + points + "\"/>\n";
  for (const FitBin& bin : t.aFit) {
    if (bin.nObjects == 0 || bin.nSeconds == 0) continue;
    double x = std::fmax(1.0, static_cast<double>(bin.nBytes) / static_cast<double>(bin.nObjects));
    double y = static_cast<double>(bin.nSeconds) / static_cast<double>(bin.nObjects);
    out += "<circle cx=\"" + num(xOf(x)) + "\" cy=\"" + num(yOf(y)) + "\" r=\"4.5\" fill=\"" +
           kFilesColour + "\"/>";
  }
  appendSvgText(out, x0 + dWidth / 2, 282, "bytes per object", "middle");
  out += "\n</svg>\n<table id=\"fit-table\">\n";
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
  out += "</table>\n</section>\n";
}

}  // namespace

void appendEscaped(std::string& out, const char* p, std::size_t n, std::size_t nMax) {
  const unsigned char* pC = reinterpret_cast<const unsigned char*>(p);
  std::size_t i = 0;
  while (i < n) {
    if (i >= nMax) {
      out += "&#8230;";
      return;
    }
    unsigned char c = pC[i];
    std::size_t nSequence = c >= 0x80 ? utf8SequenceLength(pC + i, n - i) : 1;
    if (nSequence > 1) {
      out.append(p + i, nSequence);
      i += nSequence;
      continue;
    }
    i++;
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          out += "\xEF\xBF\xBD";  // U+FFFD: a control character, or a byte that is not UTF-8
        } else {
          out += static_cast<char>(c);
        }
    }
  }
}

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

std::string utcText(std::time_t nTime) {
  std::tm parts{};
#ifdef _WIN32
  if (gmtime_s(&parts, &nTime) != 0) return "";
#else
  if (gmtime_r(&nTime, &parts) == nullptr) return "";
#endif
  char sz[64];
  std::strftime(sz, sizeof sz, "%Y-%m-%d %H:%M:%S UTC", &parts);
  return sz;
}

std::string modifiedText(const char* szPath) {
  struct stat info {};
  if (stat(szPath, &info) != 0) return "";
  return utcText(info.st_mtime);
}

int writeHtmlFile(const char* szPath, const std::string& page) {
  std::FILE* file = std::fopen(szPath, "wb");
  if (file == nullptr) return errno != 0 ? errno : EIO;
  bool bWritten = std::fwrite(page.data(), 1, page.size(), file) == page.size();
  int nErrno = bWritten ? 0 : (errno != 0 ? errno : EIO);
  if (std::fclose(file) != 0 && nErrno == 0) nErrno = errno != 0 ? errno : EIO;
  return nErrno;
}
