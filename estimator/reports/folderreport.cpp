#include "reports/folderreport.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <numeric>
#include <string>
#include <vector>

#include "reports/output.h"

namespace {

// One line of the table: its numbers as text, then the folder's name.
const int kNumberColumns = 4;
struct TableLine {
  std::string asCell[kNumberColumns];
  std::string sName;
};

// Whole seconds of a row, to the nearest, staying at 2^64 - 1.
std::uint64_t wholeSeconds(double dSeconds) {
  if (dSeconds >= kFolderMaxSeconds) return UINT64_MAX;
  return dSeconds > 0 ? static_cast<std::uint64_t>(std::round(dSeconds)) : 0;
}

TableLine tableLine(const FolderRow& row, std::string sName, bool bHuman) {
  char szBuf[4][48];
  std::snprintf(szBuf[0], sizeof szBuf[0], "%" PRIu64, row.nFiles);
  std::snprintf(szBuf[1], sizeof szBuf[1], "%" PRIu64, row.nBytes);
  if (bHuman) {
    formatHumanSize(static_cast<double>(row.nBytes), szBuf[1]);
    formatHumanDuration(wholeSeconds(row.dSeconds), szBuf[2]);
  } else if (row.dSeconds >= kFolderMaxSeconds) {
    std::snprintf(szBuf[2], sizeof szBuf[2], "%" PRIu64 ".0", UINT64_MAX);  // not 2^64
  } else {
    std::snprintf(szBuf[2], sizeof szBuf[2], "%.1f", row.dSeconds);
  }
  std::snprintf(szBuf[3], sizeof szBuf[3], "%.1f", row.dShare);
  return TableLine{{szBuf[0], szBuf[1], szBuf[2], szBuf[3]}, std::move(sName)};
}

// A count and its noun: "1 level", "2 levels".
std::string countedText(std::size_t n, const char* szWhat) {
  char szBuf[48];
  std::snprintf(szBuf, sizeof szBuf, "%" PRIu64 " ", static_cast<std::uint64_t>(n));
  std::string sText = szBuf;
  sText += szWhat;
  if (n != 1) sText += 's';
  return sText;
}

// Each number column is as wide as the report's columns, or wider when a
// number needs it, so that at least one blank always follows it. The names
// come last, where no length can push a column out of line.
void columnWidths(const std::vector<TableLine>& lines, const TableLine& total,
                  int anWidth[kNumberColumns]) {
  const int kMinWidth[kNumberColumns] = {10, 15, 15, 10};
  for (int i = 0; i < kNumberColumns; i++) {
    std::size_t nWidth = total.asCell[i].size() + 1;
    for (const TableLine& line : lines) nWidth = std::max(nWidth, line.asCell[i].size() + 1);
    anWidth[i] = std::max(kMinWidth[i], static_cast<int>(nWidth));
  }
}

void printLine(const TableLine& line, const int anWidth[kNumberColumns]) {
  std::string sLine;
  for (int i = 0; i < kNumberColumns; i++) {
    sLine += line.asCell[i];
    sLine.append(static_cast<std::size_t>(anWidth[i]) - line.asCell[i].size(), ' ');
  }
  if (line.sName.empty()) {
    while (!sLine.empty() && sLine.back() == ' ') sLine.pop_back();  // a heading without one
  }
  sLine += line.sName;
  sLine += '\n';
  outWrite(sLine.data(), sLine.size());
}
}  // namespace

void printFolders(const FolderRanking& ranking, bool bHuman) {
  if (!ranking.bFound) {
    outText("\nNo folders found: the listing names no directory for its files.\n");
    return;
  }
  std::vector<TableLine> lines;
  lines.reserve(ranking.rows.size() + 3);
  std::transform(
      ranking.rows.begin(), ranking.rows.end(), std::back_inserter(lines),
      [bHuman](const FolderRow& row) {
        // Names come from the listing: none may drive the terminal.
        return tableLine(
            row, row.sName.empty() ? "(files in the root)" : printable(row.sName.c_str()), bHuman);
      });
  if (ranking.nRestFolders > 0) {
    lines.push_back(tableLine(
        ranking.rest, "(" + countedText(ranking.nRestFolders, "other folder") + ")", bHuman));
  }
  if (ranking.unplaced.nFiles > 0)
    lines.push_back(tableLine(ranking.unplaced, "(no directory)", bHuman));
  TableLine total = tableLine(ranking.total, "(all files)", bHuman);
  int anWidth[kNumberColumns];
  columnWidths(lines, total, anWidth);

  outFormat("\nRoot: %s\n", ranking.sRoot.empty() ? "(none: the files share no directory)"
                                                  : printable(ranking.sRoot.c_str()).c_str());
  std::string sLevels = countedText(static_cast<std::size_t>(ranking.nDepth), "level");
  std::uint64_t nFolders = ranking.nFolders;
  if (ranking.nRestFolders > 0) {
    outFormat("Folders %s below the root: the %" PRIu64 " of %" PRIu64
              " that take the longest, then the rest:\n",
              sLevels.c_str(), static_cast<std::uint64_t>(ranking.rows.size()), nFolders);
  } else {
    outFormat("Folders %s below the root: all %" PRIu64 ", the longest first:\n", sLevels.c_str(),
              nFolders);
  }
  int nRule = std::accumulate(anWidth, anWidth + kNumberColumns, 6);  // and "Folder"
  std::string sRule(static_cast<std::size_t>(std::max(nRule, 61)), '=');
  sRule += '\n';
  outText(sRule.c_str());
  const TableLine kHeads[] = {{{"#", "#", "Time", "Share"}, "Folder"},
                              {{"Files", "Bytes", bHuman ? "" : "(sec)", "(%)"}, ""}};
  for (const TableLine& head : kHeads) printLine(head, anWidth);
  outText(sRule.c_str());
  outText("\n");
  for (const TableLine& line : lines) printLine(line, anWidth);
  outText("\n");
  printLine(total, anWidth);
}
