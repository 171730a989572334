#include "sources/exclude.h"

namespace {

#ifdef _WIN32
const bool kWindows = true;
#else
const bool kWindows = false;
#endif

bool isSeparator(char c) { return c == '/' || (kWindows && c == '\\'); }

// Windows's names match in either case; a POSIX system's byte for byte.
unsigned char folded(char c) {
  auto u = static_cast<unsigned char>(c);
  return kWindows && u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

// The length of the UTF-8 character at p, not past pEnd: a lead byte and
// its continuation bytes, or 1 for any other byte.
std::size_t characterLength(const char* p, const char* pEnd) {
  std::size_t n = 1;
  if (static_cast<unsigned char>(*p) >= 0xC0) {
    while (n < 4 && p + n < pEnd && (static_cast<unsigned char>(p[n]) & 0xC0) == 0x80) n++;
  }
  return n;
}

// Matches byte c against the set that opens at p ('['), whose length goes to
// nSet; nSet is 0 when no ']' closes it, and the '[' is then a plain one.
bool matchSet(const char* p, const char* pEnd, char c, std::size_t& nSet) {
  const char* q = p + 1;
  bool bNegated = q < pEnd && (*q == '!' || *q == '^');
  if (bNegated) q++;
  bool bFound = false;
  for (const char* pFirst = q; q < pEnd; q++) {
    if (*q == ']' && q != pFirst) {  // a ']' first is one of the set
      nSet = static_cast<std::size_t>(q + 1 - p);
      return bFound != bNegated;
    }
    unsigned char nLow = folded(*q);
    unsigned char nHigh = nLow;
    if (q + 2 < pEnd && q[1] == '-' && q[2] != ']') {
      nHigh = folded(q[2]);
      q += 2;
    }
    bFound = bFound || (folded(c) >= nLow && folded(c) <= nHigh);
  }
  nSet = 0;
  return false;
}

// Matches one item of the glob at p, which is not '*', against the text at
// t: the lengths taken go to nGlob and nText.
bool matchItem(const char* p, const char* pEnd, const char* t, const char* tEnd, std::size_t& nGlob,
               std::size_t& nText) {
  if (t >= tEnd) return false;
  nGlob = 1;
  nText = 1;
  if (*p == '?') {
    nText = characterLength(t, tEnd);
    return true;
  }
  if (*p == '[') {
    std::size_t nSet = 0;
    bool bMatch = matchSet(p, pEnd, *t, nSet);
    if (nSet == 0) return *t == '[';
    nGlob = nSet;
    return bMatch;
  }
  if (!kWindows && *p == '\\' && p + 1 < pEnd) {
    nGlob = 2;
    return p[1] == *t;
  }
  if (isSeparator(*p)) return isSeparator(*t);
  return folded(*p) == folded(*t);
}

// The path pattern against the path, and unless it is anchored, against
// every end of it that follows a separator.
bool matchesPath(const ExcludePattern& pattern, const std::string& sPath) {
  const char* pGlob = pattern.sGlob.data();
  std::size_t nGlob = pattern.sGlob.size();
  if (globMatch(pGlob, nGlob, sPath.data(), sPath.size())) return true;
  if (pattern.bAnchored) return false;
  for (std::size_t i = 0; i < sPath.size(); i++) {
    if (isSeparator(sPath[i]) &&
        globMatch(pGlob, nGlob, sPath.data() + i + 1, sPath.size() - i - 1)) {
      return true;
    }
  }
  return false;
}

}  // namespace

void startExcludes(ExcludeRules& rules, const std::vector<std::string>& patterns) {
  rules = ExcludeRules();
  for (const std::string& sGiven : patterns) {
    ExcludePattern pattern;
    pattern.sGlob = sGiven;
    while (pattern.sGlob.size() > 1 && isSeparator(pattern.sGlob.back())) {
      pattern.sGlob.pop_back();
      pattern.bFoldersOnly = true;
    }
    const std::string& sGlob = pattern.sGlob;
    for (char c : sGlob) pattern.bPath = pattern.bPath || isSeparator(c);
    pattern.bAnchored = pattern.bPath && (isSeparator(sGlob[0]) ||
                                          (kWindows && sGlob.size() >= 2 && sGlob[1] == ':'));
    rules.bPaths = rules.bPaths || pattern.bPath;
    rules.patterns.push_back(pattern);
  }
}

bool globMatch(const char* pGlob, std::size_t nGlob, const char* pText, std::size_t nText) {
  const char* p = pGlob;
  const char* const pEnd = pGlob + nGlob;
  const char* t = pText;
  const char* const tEnd = pText + nText;
  // Where the last '*' was and what it stood for: on a mismatch it takes one
  // character more and the match goes on from there.
  const char* pStar = nullptr;
  const char* tStar = nullptr;
  while (t < tEnd || p < pEnd) {
    if (p < pEnd && *p == '*') {
      while (p < pEnd && *p == '*') p++;
      pStar = p;
      tStar = t;
      continue;
    }
    std::size_t nGlobTaken = 0;
    std::size_t nTextTaken = 0;
    if (p < pEnd && matchItem(p, pEnd, t, tEnd, nGlobTaken, nTextTaken)) {
      p += nGlobTaken;
      t += nTextTaken;
      continue;
    }
    if (pStar == nullptr || tStar >= tEnd) return false;
    tStar += characterLength(tStar, tEnd);
    p = pStar;
    t = tStar;
  }
  return true;
}

bool isExcluded(const ExcludeRules& rules, const std::string& sFolder, char cSeparator,
                const char* pName, std::size_t nName, bool bFolder, std::string& sScratch) {
  bool bPathMade = false;
  for (const ExcludePattern& pattern : rules.patterns) {
    if (pattern.bFoldersOnly && !bFolder) continue;
    if (!pattern.bPath) {
      if (globMatch(pattern.sGlob.data(), pattern.sGlob.size(), pName, nName)) return true;
      continue;
    }
    if (!bPathMade) {
      sScratch.assign(sFolder);
      if (sScratch.empty() || !isSeparator(sScratch.back())) sScratch += cSeparator;
      sScratch.append(pName, nName);
      bPathMade = true;
    }
    if (matchesPath(pattern, sScratch)) return true;
  }
  return false;
}
