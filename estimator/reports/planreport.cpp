#include "reports/planreport.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numeric>

#include "reports/htmlparts.h"
#include "reports/json.h"
#include "reports/output.h"
#include "reports/warnings.h"

namespace {

const char* const kRule =
    "========================================================================================"
    "============================================";

// The columns of the clients' table: each as wide as its heading's, or one
// more than its text, so that no two columns run together.
const int kClientWidth = 20;
const int kSessionWidth = 9;
const int kTimeWidth = 25;
const int kBytesWidth = 21;

int widthOf(const std::string& text, int nWidth) {
  int nNeeded = static_cast<int>(text.size()) + 1;
  return nNeeded > nWidth ? nNeeded : nWidth;
}

const PlanReportFacts& factsOf(const PlanFigures& f, const PlanClient& client) {
  return (*f.pFacts)[client.nTag];
}

const char* orderName(PlanOrder order) {
  return order == PlanOrder::kShortest ? "shortest" : "longest";
}

std::string rateText(double dBytesPerSecond) {
  char sz[64];
  std::snprintf(sz, sizeof sz, "%.15g", dBytesPerSecond);
  return sz;
}

// The text report keeps the report's style, "0 hours 31 mins 8 sec", unless
// --human is given; the page always writes "31 min 08 s".
std::string planTimeText(const PlanFigures& f, std::uint64_t nSeconds) {
  if (f.bHumanTimes) return durationText(nSeconds);
  char sz[kDurationTextSize];
  formatDuration(nSeconds, sz);
  return sz;
}

std::string clockOfDay(std::uint64_t nSecond) {
  char sz[24];
  std::snprintf(sz, sizeof sz, "%02u:%02u", static_cast<unsigned>(nSecond % 86400 / 3600),
                static_cast<unsigned>(nSecond % 3600 / 60));
  return sz;
}

// The clock time dSeconds after the window's start, "02:10:00".
std::string clockAfterStart(const PlanFigures& f, double dSeconds) {
  std::uint64_t n =
      (static_cast<std::uint64_t>(f.nWindowStartSecond) + wholePlanSeconds(dSeconds) % 86400) %
      86400;
  char sz[24];
  std::snprintf(sz, sizeof sz, "%02u:%02u:%02u", static_cast<unsigned>(n / 3600),
                static_cast<unsigned>(n % 3600 / 60), static_cast<unsigned>(n % 60));
  return sz;
}

std::string windowText(const PlanFigures& f) {
  std::string text = planTimeText(f, f.nWindowSeconds);
  if (f.bWindowClock) {
    text += " (" + clockOfDay(static_cast<std::uint64_t>(f.nWindowStartSecond)) + "-" +
            clockOfDay(static_cast<std::uint64_t>(f.nWindowStartSecond) + f.nWindowSeconds) + ")";
  }
  return text;
}

// "fits, 1 hours 0 mins 0 sec to spare" or "does not fit; 0 hours 5 mins 0 sec over".
std::string verdictText(const PlanFigures& f) {
  std::uint64_t nEnd = wholePlanSeconds(f.outcome.dEnd);
  if (f.fit.bFits) {
    return "fits, " + planTimeText(f, nEnd < f.nWindowSeconds ? f.nWindowSeconds - nEnd : 0) +
           " to spare";
  }
  std::uint64_t nOver = nEnd > f.nWindowSeconds ? nEnd - f.nWindowSeconds : 1;
  return "does not fit; " + planTimeText(f, nOver) + " over";
}

// The name of the client too long for the window, or "" when there is none.
const PlanClient* longClient(const PlanFigures& f) {
  if (f.fit.why != PlanMiss::kClientTooLong || f.fit.nLongClient >= f.pClients->size()) {
    return nullptr;
  }
  return &(*f.pClients)[f.fit.nLongClient];
}

double bytesOfTimedClients(const PlanFigures& f) {
  return std::accumulate(f.pClients->begin(), f.pClients->end(), 0.0,
                         [](double dSum, const PlanClient& c) {
                           return c.dSeconds > 0 ? dSum + static_cast<double>(c.nBytes) : dSum;
                         });
}

// The verdict on the number of sessions, after "Sessions needed to fit: ".
std::string sessionsNeededText(const PlanFigures& f) {
  const WindowFit& fit = f.fit;
  if (fit.why == PlanMiss::kNone) {
    std::string text = uintText(static_cast<std::uint64_t>(fit.nSessionsNeeded));
    if (!fit.bEveryTried) text += " (the search stopped at its limit: fewer might do)";
    return text;
  }
  if (const PlanClient* pLong = longClient(f)) {
    return "none; " + printable(pLong->sName.c_str()) + " alone takes " +
           planTimeText(f, wholePlanSeconds(aloneSeconds(*pLong, f.settings.dBandwidth))) +
           ", longer than the window";
  }
  if (fit.why == PlanMiss::kBytesOverBandwidth) {
    return "none; the bytes of all clients take " +
           planTimeText(f, wholePlanSeconds(bytesOfTimedClients(f) / f.settings.dBandwidth)) +
           " over the bandwidth, longer than the window";
  }
  std::string text =
      "none; the clients fit alone, but sharing the bandwidth slows them past the window with "
      "any number of sessions";
  if (!fit.bEveryTried) text += " (the search stopped at its limit: not every number was tried)";
  return text;
}

void printLongFolders(const PlanFigures& f) {
  const PlanClient* pLong = longClient(f);
  if (pLong == nullptr) return;
  const std::string report = printable(factsOf(f, *pLong).sReport.c_str());
  if (!f.bLongFolders || f.longFolders.empty()) {
    outFormat("Its report %s shows no folders: make it with --top=N to see how to split it.\n",
              report.c_str());
    return;
  }
  outFormat("Its folders that take the longest, from --top in %s, to split it by:\n",
            report.c_str());
  for (const ReportFolder& folder : f.longFolders) {
    std::string time = planTimeText(f, wholePlanSeconds(folder.dSeconds));
    outFormat("  %-*s%s\n", widthOf(time, kTimeWidth), time.c_str(),
              printable(folder.sName.c_str()).c_str());
  }
}

void printHeadline(const PlanFigures& f) {
  std::size_t nClients = f.pClients->size();
  std::uint64_t nSessions = static_cast<std::uint64_t>(f.settings.nSessions);
  outFormat("Plan of %" PRIu64 " %s on %" PRIu64 " %s, the %s estimate first, ",
            static_cast<std::uint64_t>(nClients), nClients == 1 ? "client" : "clients", nSessions,
            nSessions == 1 ? "session" : "sessions", orderName(f.settings.order));
  if (f.settings.dBandwidth > 0) {
    outFormat("bandwidth %s bytes per second\n", rateText(f.settings.dBandwidth).c_str());
  } else {
    outText("no bandwidth limit\n");
  }
}

void printClientRow(const std::string& client, const std::string& session, const std::string& start,
                    const std::string& end, const std::string& time, const std::string& bytes,
                    const char* szBy) {
  outFormat("%-*s%-*s%-*s%-*s%-*s%-*s%s\n", widthOf(client, kClientWidth), client.c_str(),
            widthOf(session, kSessionWidth), session.c_str(), widthOf(start, kTimeWidth),
            start.c_str(), widthOf(end, kTimeWidth), end.c_str(), widthOf(time, kTimeWidth),
            time.c_str(), widthOf(bytes, kBytesWidth), bytes.c_str(), szBy);
}

void printClientTable(const PlanFigures& f) {
  outFormat("\n%s\n", kRule);
  printClientRow("Client", "Session", "Start", "End", "Time", "Bytes", "By");
  outFormat("%s\n\n", kRule);
  for (const PlanClient& c : *f.pClients) {
    printClientRow(printable(c.sName.c_str()), uintText(static_cast<std::uint64_t>(c.nSession)),
                   planTimeText(f, wholePlanSeconds(c.dStart)), planTimeText(f, wholePlanSeconds(c.dEnd)),
                   planTimeText(f, factsOf(f, c).nSeconds), uintText(c.nBytes),
                   factsOf(f, c).bModel ? "model" : "classes");
  }
  outText("\n");
}

void printBusiest(const PlanFigures& f) {
  const PlanOutcome& o = f.outcome;
  if (!(o.dBusiestBytesPerSecond > 0)) {
    outText("Busiest stretch: none, no client moves bytes over time\n");
    return;
  }
  // Whole bytes per second, but for a trickle below a thousand.
  outFormat(o.dBusiestBytesPerSecond >= 1000 ? "Busiest stretch: %s to %s, %.0f bytes per second"
                                             : "Busiest stretch: %s to %s, %.3g bytes per second",
            planTimeText(f, wholePlanSeconds(o.dBusiestStart)).c_str(),
            planTimeText(f, wholePlanSeconds(o.dBusiestEnd)).c_str(), o.dBusiestBytesPerSecond);
  if (f.settings.dBandwidth > 0) {
    outFormat(", %.1f%% of the bandwidth",
              std::min(100.0, 100.0 * o.dBusiestBytesPerSecond / f.settings.dBandwidth));
  }
  outText("\n");
}

// ---- JSON ----------------------------------------------------------------

void writeMissing(JsonWriter& json, const PlanFigures& f) {
  writeJsonKey(json, "why_not");
  if (!f.bWindow || f.fit.why == PlanMiss::kNone) {
    writeJsonNull(json);
    return;
  }
  beginJsonObject(json);
  writeJsonKey(json, "reason");
  const PlanClient* pLong = longClient(f);
  if (pLong != nullptr) {
    writeJsonString(json, "client_longer_than_window");
    writeJsonKey(json, "client");
    writeJsonString(json, pLong->sName.data(), pLong->sName.size());
    writeJsonKey(json, "report");
    writeJsonString(json, factsOf(f, *pLong).sReport.c_str());
    writeJsonKey(json, "alone_seconds");
    writeJsonDouble(json, aloneSeconds(*pLong, f.settings.dBandwidth));
    writeJsonKey(json, "folders");
    beginJsonArray(json);
    for (const ReportFolder& folder : f.longFolders) {
      beginJsonObject(json);
      writeJsonKey(json, "folder");
      writeJsonString(json, folder.sName.data(), folder.sName.size());
      writeJsonKey(json, "seconds");
      writeJsonDouble(json, folder.dSeconds);
      endJsonObject(json);
    }
    endJsonArray(json);
  } else if (f.fit.why == PlanMiss::kBytesOverBandwidth) {
    writeJsonString(json, "bytes_over_bandwidth");
    writeJsonKey(json, "bytes_seconds");
    writeJsonDouble(json, bytesOfTimedClients(f) / f.settings.dBandwidth);
  } else {
    writeJsonString(json, "bandwidth_sharing");
  }
  endJsonObject(json);
}

void writeWindowMembers(JsonWriter& json, const PlanFigures& f) {
  writeJsonKey(json, "window_seconds");
  if (f.bWindow) {
    writeJsonUint(json, f.nWindowSeconds);
  } else {
    writeJsonNull(json);
  }
  writeJsonKey(json, "window_start");
  if (f.bWindowClock) {
    writeJsonString(json, clockOfDay(static_cast<std::uint64_t>(f.nWindowStartSecond)).c_str());
  } else {
    writeJsonNull(json);
  }
  writeJsonKey(json, "end_seconds");
  writeJsonDouble(json, f.outcome.dEnd);
  writeJsonKey(json, "fits");
  if (f.bWindow) {
    writeJsonBool(json, f.fit.bFits);
  } else {
    writeJsonNull(json);
  }
  writeJsonKey(json, "sessions_needed");
  if (f.bWindow && f.fit.nSessionsNeeded > 0) {
    writeJsonUint(json, static_cast<std::uint64_t>(f.fit.nSessionsNeeded));
  } else {
    writeJsonNull(json);
  }
  writeJsonKey(json, "sessions_needed_is_least");
  if (f.bWindow) {
    writeJsonBool(json, f.fit.bEveryTried);
  } else {
    writeJsonNull(json);
  }
  writeMissing(json, f);
}

void writeBusiest(JsonWriter& json, const PlanOutcome& o) {
  writeJsonKey(json, "busiest");
  beginJsonObject(json);
  writeJsonKey(json, "start_seconds");
  writeJsonDouble(json, o.dBusiestStart);
  writeJsonKey(json, "end_seconds");
  writeJsonDouble(json, o.dBusiestEnd);
  writeJsonKey(json, "bytes_per_s");
  writeJsonDouble(json, o.dBusiestBytesPerSecond);
  endJsonObject(json);
}

void writeClients(JsonWriter& json, const PlanFigures& f) {
  writeJsonKey(json, "clients");
  beginJsonArray(json);
  for (const PlanClient& c : *f.pClients) {
    const PlanReportFacts& facts = factsOf(f, c);
    beginJsonObject(json);
    writeJsonKey(json, "client");
    writeJsonString(json, c.sName.data(), c.sName.size());
    writeJsonKey(json, "report");
    writeJsonString(json, facts.sReport.c_str());
    writeJsonKey(json, "objects");
    writeJsonUint(json, facts.nObjects);
    writeJsonKey(json, "bytes");
    writeJsonUint(json, c.nBytes);
    writeJsonKey(json, "seconds");
    writeJsonUint(json, facts.nSeconds);
    writeJsonKey(json, "by");
    writeJsonString(json, facts.bModel ? "model" : "classes");
    writeJsonKey(json, "session");
    writeJsonUint(json, static_cast<std::uint64_t>(c.nSession));
    writeJsonKey(json, "start_seconds");
    writeJsonDouble(json, c.dStart);
    writeJsonKey(json, "end_seconds");
    writeJsonDouble(json, c.dEnd);
    endJsonObject(json);
  }
  endJsonArray(json);
}

// ---- the page ------------------------------------------------------------

void appendPlanHead(std::string& out, const PlanFigures& f, const std::string& readAt) {
  out += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
  out += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
  out += "<title>Backup plan of " + uintText(f.pClients->size()) + " clients</title>\n<style>";
  out += kPageStyle;
  out += "</style>\n</head>\n<body>\n<header>\n<h1>Backup plan</h1>\n";
  out += "<table class=\"facts\" id=\"read\">\n";
  appendFact(out, "Clients", uintText(f.pClients->size()));
  appendFact(out, "Sessions", uintText(static_cast<std::uint64_t>(f.settings.nSessions)));
  appendFact(out, "Order", std::string("the ") + orderName(f.settings.order) + " estimate first");
  appendFact(out, "Bandwidth",
             f.settings.dBandwidth > 0 ? rateText(f.settings.dBandwidth) + " bytes per second"
                                       : std::string("no limit"));
  if (f.bWindow) appendFact(out, "Window", windowText(f));
  appendFact(out, "Planned at", readAt);
  out += "</table>\n</header>\n";
}

void appendPlanNumbers(std::string& out, const PlanFigures& f) {
  out += "<section id=\"estimates\">\n<div class=\"big\">Plan ends after<strong id=\"plan-end\">";
  appendEscapedText(out, planTimeText(f, wholePlanSeconds(f.outcome.dEnd)));
  out += "</strong></div>\n";
  if (f.bWindow) {
    out += "<div class=\"big\">Sessions needed to fit<strong id=\"sessions-needed\">";
    appendEscapedText(out, f.fit.why == PlanMiss::kNone
                               ? uintText(static_cast<std::uint64_t>(f.fit.nSessionsNeeded))
                               : std::string("none"));
    out += "</strong></div>\n";
    out += f.fit.bFits ? "<p class=\"fits\" id=\"window\">" : "<p class=\"over\" id=\"window\">";
    appendEscapedText(out, "Backup window " + windowText(f) + ": " + verdictText(f));
    out += "</p>\n<p id=\"sessions-needed-why\">";
    appendEscapedText(out, "Sessions needed to fit: " + sessionsNeededText(f));
    out += "</p>\n";
  }
  out += "</section>\n";
}

void appendPlanWarnings(std::string& out) {
  std::size_t n = warningCount();
  if (n == 0) return;
  out += "<section class=\"warnings\" id=\"warnings\" role=\"alert\">\n<h2>&#9888; " + uintText(n) +
         (n == 1 ? " warning" : " warnings") + "</h2>\n<ul>\n";
  for (std::size_t i = 0; i < n; i++) {
    out += "<li>";
    appendEscaped(out, warningText(i).data(), warningText(i).size(), 4 * kMaxNameBytes);
    out += "</li>\n";
  }
  out += "</ul>\n</section>\n";
}

// The chart's scale: seconds from the plan's start to viewBox units.
struct NightScale {
  double x0 = 90;
  double dWidth = kChartWidth - 110;
  double dSpan = 1;  // seconds the width shows
};

double xOf(const NightScale& s, double dSeconds) {
  return s.x0 + s.dWidth * std::min(std::max(dSeconds, 0.0), s.dSpan) / s.dSpan;
}

// A run of bars too narrow to tell apart, drawn as one.
struct BarRun {
  bool bOpen = false;
  double x1 = 0;
  double x2 = 0;
  bool bOver = false;  // one of them ends past the window
};

void closeRun(std::string& out, BarRun& run, double y) {
  if (!run.bOpen) return;
  appendRect(out, run.x1, y, std::max(run.x2 - run.x1, 1.0), 14,
             run.bOver ? kTimeColour : kFilesColour);
  run.bOpen = false;
}

// One session's row: a bar per client from its start to its end.
void appendSessionRow(std::string& out, const PlanFigures& f, const NightScale& s, int nSession,
                      double y) {
  appendSvgText(out, 4, y + 11, "session " + uintText(static_cast<std::uint64_t>(nSession)));
  BarRun run;
  for (const PlanClient& c : *f.pClients) {
    if (c.nSession != nSession) continue;
    double x1 = xOf(s, c.dStart);
    double x2 = xOf(s, c.dEnd);
    bool bOver = !endsInWindow(f, c.dEnd);
    if (x2 - x1 < 3) {  // too narrow for a bar of its own
      if (!run.bOpen || x1 - run.x2 > 1) {
        closeRun(out, run, y);
        run.bOpen = true;
        run.x1 = x1;
        run.bOver = false;
      }
      run.x2 = x2;
      run.bOver = run.bOver || bOver;
      continue;
    }
    closeRun(out, run, y);
    appendRect(out, x1, y, x2 - x1 - 0.5, 14, bOver ? kTimeColour : kFilesColour);
    std::size_t nChars = static_cast<std::size_t>((x2 - x1 - 6) / 6.5);
    if (nChars >= 3) {
      std::string label;
      appendEscaped(label, c.sName.data(), c.sName.size(), nChars);
      out += "<text x=\"" + svgNumber(x1 + 3) + "\" y=\"" + svgNumber(y + 11) +
             "\" fill=\"#fff\">" + label + "</text>";
    }
  }
  closeRun(out, run, y);
  out += '\n';
}

// About six ticks at round durations, as clock times with a clock window.
void appendNightAxis(std::string& out, const PlanFigures& f, const NightScale& s, double y) {
  const double adStep[] = {60, 300, 600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400};
  double dStep = adStep[0];
  for (double d : adStep) {
    dStep = d;
    if (s.dSpan / d <= 6) break;
  }
  while (s.dSpan / dStep > 6) dStep *= 2;
  appendLine(out, s.x0, y, s.x0 + s.dWidth, y, "stroke=\"#333\"");
  int nTicks = static_cast<int>(s.dSpan / dStep);  // at most 6
  for (int i = 0; i <= nTicks; i++) {
    double d = i * dStep;
    double x = xOf(s, d);
    appendLine(out, x, y, x, y + 5, "stroke=\"#333\"");
    appendSvgText(out, x, y + 17, f.bWindowClock ? clockAfterStart(f, d).substr(0, 5) : roundedDurationText(d),
                  "middle");
  }
}

void appendNightChart(std::string& out, const PlanFigures& f) {
  int nRows = std::min({f.settings.nSessions, kPlanChartSessions,
                        static_cast<int>(std::max<std::size_t>(f.pClients->size(), 1))});
  NightScale s;
  s.dSpan = std::max(f.outcome.dEnd, f.bWindow ? static_cast<double>(f.nWindowSeconds) : 0.0);
  if (!(s.dSpan > 0)) s.dSpan = 1;
  const double yRows = 44;
  double yAxis = yRows + 20 * nRows + 4;
  out +=
      "<section id=\"night\">\n<h2>The night</h2>\n<p class=\"note\">One row per session, one "
      "bar per client from its start to its end";
  if (f.bWindow) out += "; the dashed line is the window's end";
  if (f.settings.nSessions > nRows) {
    out += "; the first " + uintText(static_cast<std::uint64_t>(nRows)) + " of " +
           uintText(static_cast<std::uint64_t>(f.settings.nSessions)) + " sessions are drawn";
  }
  out += ". Clients too short to tell apart share a bar.</p>\n";
  beginSvg(out, "plan-chart", static_cast<int>(yAxis + 30),
           "Each session's clients over the night, and the busiest stretch of bandwidth");
  appendLegend(out, 14,
               {{kFilesColour, "ends within the window"},
                {kTimeColour, "ends past the window"},
                {kBytesColour, "busiest stretch of bandwidth"}});
  const PlanOutcome& o = f.outcome;
  if (o.dBusiestBytesPerSecond > 0) {
    double x1 = xOf(s, o.dBusiestStart);
    appendRect(out, x1, 26, std::max(xOf(s, o.dBusiestEnd) - x1, 1.0), 10, kBytesColour);
  }
  for (int r = 0; r < nRows; r++) appendSessionRow(out, f, s, r + 1, yRows + 20 * r);
  if (f.bWindow) {
    double x = xOf(s, static_cast<double>(f.nWindowSeconds));
    appendLine(out, x, 22, x, yAxis, "stroke=\"#000\" stroke-dasharray=\"4 3\"");
  }
  appendNightAxis(out, f, s, yAxis);
  out += "</svg>\n";
}

void appendPlanTable(std::string& out, const PlanFigures& f) {
  out += "<table id=\"plan-table\">\n";
  appendHeadRow(out, {"Client", "Session", "Start", "End", "Time", "Bytes", "By", "In the window"});
  std::size_t nShown = std::min(f.pClients->size(), kPlanTableRows);
  for (std::size_t i = 0; i < nShown; i++) {
    const PlanClient& c = (*f.pClients)[i];
    const PlanReportFacts& facts = factsOf(f, c);
    out += "<tr><td class=\"name\">";
    appendEscapedText(out, c.sName);
    out += "</td>";
    appendCell(out, uintText(static_cast<std::uint64_t>(c.nSession)));
    appendCell(out, planTimeText(f, wholePlanSeconds(c.dStart)));
    appendCell(out, planTimeText(f, wholePlanSeconds(c.dEnd)));
    appendCell(out, planTimeText(f, facts.nSeconds));
    appendCell(out, uintText(c.nBytes));
    appendCell(out, facts.bModel ? "model" : "classes");
    appendCell(out, !f.bWindow ? "" : endsInWindow(f, c.dEnd) ? "yes" : "no");
    out += "</tr>\n";
  }
  if (nShown < f.pClients->size()) {
    appendRow(out, {"(" + uintText(f.pClients->size() - nShown) + " more clients)", "", "", "", "",
                    "", "", ""});
  }
  out += "</table>\n</section>\n";
}

}  // namespace

std::uint64_t wholePlanSeconds(double dSeconds) {
  if (!(dSeconds > 0)) return 0;
  double dWhole = std::round(dSeconds);
  if (std::fabs(dSeconds - dWhole) > 1e-9 * std::max(dSeconds, 1.0)) dWhole = std::ceil(dSeconds);
  return dWhole >= 18446744073709551615.0 ? UINT64_MAX : static_cast<std::uint64_t>(dWhole);
}

bool endsInWindow(const PlanFigures& f, double dEnd) {
  return !f.bWindow || dEnd <= static_cast<double>(f.nWindowSeconds) * (1 + 1e-9);
}

void printPlan(const PlanFigures& f) {
  printHeadline(f);
  printClientTable(f);
  std::string end = planTimeText(f, wholePlanSeconds(f.outcome.dEnd));
  if (f.bWindowClock) end += ", at " + clockAfterStart(f, f.outcome.dEnd);
  outFormat("Plan ends after %s\n", end.c_str());
  if (f.bWindow) {
    outFormat("Backup window %s: %s\n", windowText(f).c_str(), verdictText(f).c_str());
    outFormat("Sessions needed to fit: %s\n", sessionsNeededText(f).c_str());
    printLongFolders(f);
  }
  printBusiest(f);
}

void writeJsonPlan(const PlanFigures& f) {
  JsonWriter json;
  beginJsonObject(json);
  writeJsonKey(json, "format");
  writeJsonUint(json, 1);
  writeJsonKey(json, "plan");
  beginJsonObject(json);
  writeJsonKey(json, "sessions");
  writeJsonUint(json, static_cast<std::uint64_t>(f.settings.nSessions));
  writeJsonKey(json, "order");
  writeJsonString(json, orderName(f.settings.order));
  writeJsonKey(json, "bandwidth_bytes_per_s");
  if (f.settings.dBandwidth > 0) {
    writeJsonDouble(json, f.settings.dBandwidth);
  } else {
    writeJsonNull(json);
  }
  writeWindowMembers(json, f);
  writeBusiest(json, f.outcome);
  writeClients(json, f);
  endJsonObject(json);
  writeJsonKey(json, "warnings");
  beginJsonArray(json);
  for (std::size_t i = 0; i < warningCount(); i++) writeJsonString(json, warningText(i).c_str());
  endJsonArray(json);
  endJsonObject(json);
}

std::string planPage(const PlanFigures& figures, const std::string& readAt) {
  PlanFigures f = figures;
  f.bHumanTimes = true;
  std::string out;
  out.reserve(std::size_t{64} * 1024);
  appendPlanHead(out, f, readAt);
  appendPlanNumbers(out, f);
  appendPlanWarnings(out);
  appendNightChart(out, f);
  appendPlanTable(out, f);
  out += "<footer class=\"note\"><p>Written by plomet.</p></footer>\n</body>\n</html>\n";
  return out;
}
