#include "sources/scanlist.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace {

bool isControl(char c) { return (c >= 0 && c < 32) || c == 127; }

// Appends the name with control bytes, and the first byte of the words
// the listing's reader acts on, as '?'.
void appendName(std::string& sOut, const char* szName) {
  std::size_t nStart = sOut.size();
  for (const char* pC = szName; *pC != '\0'; pC++) sOut += isControl(*pC) ? '?' : *pC;
  for (const char* szWord : {"<DIR>", "File(s)"}) {
    for (std::size_t n = sOut.find(szWord, nStart); n != std::string::npos;
         n = sOut.find(szWord, n + 1)) {
      sOut[n] = '?';
    }
  }
}

}  // namespace

void printableFolder(const char* pFolder, std::size_t nFolder, std::string& sOut) {
  sOut.assign(pFolder, nFolder);
  std::replace_if(sOut.begin(), sOut.end(), isControl, '?');
}

void appendListingHeader(std::string& sOut, const std::string& sFolder, char cSeparator) {
  sOut += "\n Directory of ";
  sOut += sFolder;
  // The final separator keeps a folder whose name ends in blanks whole.
  if (sFolder.empty() || sFolder.back() != cSeparator) sOut += cSeparator;
  sOut += "\n\n";
}

void appendListingLine(std::string& sOut, const WalkObject& object, const char* szName) {
  char szLine[80];
  int nSecond = object.nSecondOfDay;
  int n =
      std::snprintf(szLine, sizeof szLine, "%04d-%02d-%02d  %02d:%02d:%02d ", object.nYear,
                    object.nMonth, object.nDay, nSecond / 3600, nSecond / 60 % 60, nSecond % 60);
  if (object.nType == kEntryLink) {
    n += std::snprintf(szLine + n, sizeof szLine - static_cast<std::size_t>(n), "%16s ",
                       "<SYMLINK>");
  } else {
    n += std::snprintf(szLine + n, sizeof szLine - static_cast<std::size_t>(n), "%16" PRIu64 " ",
                       object.nSize);
  }
  sOut.append(szLine, static_cast<std::size_t>(n));
  appendName(sOut, szName);
  sOut += '\n';
}

void appendListingTotals(std::string& sOut, std::uint64_t nObjects, std::uint64_t nBytes) {
  char szLines[160];
  int n = std::snprintf(szLines, sizeof szLines,
                        "\n     Total Files Listed:\n%16" PRIu64 " File(s) %16" PRIu64 " bytes\n",
                        nObjects, nBytes);
  sOut.append(szLines, static_cast<std::size_t>(n));
}
