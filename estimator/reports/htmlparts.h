// The parts every page is made of: the palette and the style sheet, numbers
// and sizes as text, escaped text, table rows and SVG shapes, and the
// writing of the file. Each part appends to the page being built.
#ifndef PLOMET_ESTIMATOR_REPORTS_HTMLPARTS_H_
#define PLOMET_ESTIMATOR_REPORTS_HTMLPARTS_H_

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <initializer_list>
#include <string>
#include <utility>

#include "tallies/classes.h"

// Okabe and Ito's palette: told apart with each common colour-vision
// deficiency, and each colour also carries a label.
const char* const kTimeColour = "#D55E00";   // vermillion
const char* const kFilesColour = "#0072B2";  // blue
const char* const kBytesColour = "#E69F00";  // orange
const char* const kAllColour = "#BBBBBB";    // what --since left out: grey
const char* const kIdleColour = "#E8E8E8";

const int kChartWidth = 720;  // viewBox units; the page is at most this wide, A4 holds it
const std::uint64_t kClassBounds[kClasses - 1] = {kOneKbLimit, kTenKbLimit, kHundredKbLimit};

/// The page's style sheet.
extern const char kPageStyle[];

/// Bytes of a name kept on the page; a longer one is cut, and marked so.
const std::size_t kMaxNameBytes = 240;

/// Appends n bytes of text to out as HTML text or attribute value: & < > "
/// and ' as references, control characters and bytes that are not valid
/// UTF-8 as U+FFFD each. Text past nMax bytes is left out and an ellipsis
/// stands in its place, never inside a character.
void appendEscaped(std::string& out, const char* p, std::size_t n, std::size_t nMax);

/// appendEscaped for a whole string, cut at kMaxNameBytes.
void appendEscapedText(std::string& out, const std::string& text);

/// Returns n in decimal digits.
std::string uintText(std::uint64_t n);

/// Returns d with nDecimals decimals, or "-" when it is not finite.
std::string fixedText(double d, int nDecimals);

/// Returns a duration in the page's one time style, "1 h 02 min 03 s" (as
/// --human writes it).
std::string durationText(std::uint64_t nSeconds);

/// Returns seconds with fractions as durationText writes them, to the
/// nearest second, staying at 2^64 - 1.
std::string roundedDurationText(double dSeconds);

/// Returns a size in the page's one unit style, the binary units, such as
/// "1.5 MiB"; "512 B" below a KiB (as --human writes it).
std::string bytesText(double dBytes);

/// Returns a rate in bytes per second as "35.0 KiB/s", or "not positive"
/// for a rate of 0 or less, which gives its class no time.
std::string rateText(std::int64_t nBytesPerSec);

/// Returns the lower bound of size bucket b (see htmltally.h) as a label.
std::string bucketLabel(int b);

/// Returns dPart as a percentage of dWhole, or 0 when dWhole is 0.
double percentOf(double dPart, double dWhole);

/// Appends one escaped table cell, a td or (szTag "th") a th.
void appendCell(std::string& out, const std::string& text, const char* szTag = "td");

/// Appends a table row of escaped cells.
void appendRow(std::string& out, std::initializer_list<std::string> cells);

/// Appends a table row of heading cells.
void appendHeadRow(std::string& out, std::initializer_list<const char*> cells);

/// Appends a row of the facts table: a heading and its escaped value.
void appendFact(std::string& out, const char* szWhat, const std::string& value);

/// Returns a coordinate as SVG takes it, to a tenth.
std::string svgNumber(double d);

/// Opens an SVG chart kChartWidth wide and nHeight high, with its title.
void beginSvg(std::string& out, const char* szId, int nHeight, const std::string& title);

/// Appends a filled rectangle.
void appendRect(std::string& out, double x, double y, double w, double h, const char* szFill);

/// Appends escaped text at (x, y), anchored "start", "middle" or "end".
void appendSvgText(std::string& out, double x, double y, const std::string& text,
                   const char* szAnchor = "start");

/// Appends a line with the attributes szStyle.
void appendLine(std::string& out, double x1, double y1, double x2, double y2, const char* szStyle);

/// Appends a legend of coloured squares and their labels, in one row at y.
void appendLegend(std::string& out, double y,
                  std::initializer_list<std::pair<const char*, const char*>> items);

/// Returns the moment as "2026-12-07 22:00:01 UTC".
std::string utcText(std::time_t nTime);

/// Returns when the file szPath last changed, as utcText writes it, or ""
/// when that cannot be told.
std::string modifiedText(const char* szPath);

/// Writes the page to the file szPath. Returns 0, or the error number of
/// the open or write that failed.
int writeHtmlFile(const char* szPath, const std::string& page);

#endif  // PLOMET_ESTIMATOR_REPORTS_HTMLPARTS_H_
