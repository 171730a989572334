#include "reports/htmlparts.h"

#include <sys/stat.h>

#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "reports/json.h"
#include "reports/output.h"

const char kPageStyle[] =
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
    "details{margin:.4em 0}summary{cursor:pointer;color:#444}"
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

std::string durationText(std::uint64_t nSeconds) { return humanDuration(nSeconds); }

std::string roundedDurationText(double dSeconds) {
  if (dSeconds >= 18446744073709551615.0) return durationText(UINT64_MAX);
  return durationText(dSeconds > 0 ? static_cast<std::uint64_t>(std::round(dSeconds)) : 0);
}

std::string bytesText(double dBytes) { return humanSize(dBytes); }

std::string rateText(std::int64_t nBytesPerSec) {
  if (nBytesPerSec <= 0) return "not positive";
  return humanSize(static_cast<double>(nBytesPerSec)) + "/s";
}

// The lower bound of size bucket b, as a short label.
std::string bucketLabel(int b) {
  if (b == 0) return "0 B";
  const char* const aszUnits[] = {"B", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  int nPower = b - 1;
  return uintText(std::uint64_t{1} << (nPower % 10)) + " " + aszUnits[nPower / 10];
}

double percentOf(double dPart, double dWhole) { return dWhole > 0 ? 100.0 * dPart / dWhole : 0; }

void appendCell(std::string& out, const std::string& text, const char* szTag) {
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

std::string svgNumber(double d) { return fixedText(d, 1); }

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
  out += "<rect x=\"" + svgNumber(x) + "\" y=\"" + svgNumber(y) + "\" width=\"" + svgNumber(w) +
         "\" height=\"" + svgNumber(h) + "\" fill=\"" + szFill + "\"/>";
}

void appendSvgText(std::string& out, double x, double y, const std::string& text,
                   const char* szAnchor) {
  out += "<text x=\"" + svgNumber(x) + "\" y=\"" + svgNumber(y) + "\" text-anchor=\"" + szAnchor +
         "\">";
  appendEscapedText(out, text);
  out += "</text>";
}

void appendLine(std::string& out, double x1, double y1, double x2, double y2, const char* szStyle) {
  out += "<line x1=\"" + svgNumber(x1) + "\" y1=\"" + svgNumber(y1) + "\" x2=\"" + svgNumber(x2) +
         "\" y2=\"" + svgNumber(y2) + "\" " + szStyle + "/>";
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

// ---- escaping and files -------------------------------------------------

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
