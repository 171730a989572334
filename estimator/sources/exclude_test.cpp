#include "sources/exclude.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

bool matches(const std::string& sGlob, const std::string& sText) {
  return globMatch(sGlob.data(), sGlob.size(), sText.data(), sText.size());
}

TEST(GlobMatchTest, MatchesAsTheShellsGlobDoes) {
  struct Case {
    const char* szGlob;
    const char* szText;
    bool bMatch;
  };
  const Case kCases[] = {
      {"", "", true},
      {"", "a", false},
      {"*", "", true},
      {"*", "anything/at all", true},  // a star takes separators too, as tar's and du's do
      {"*.tmp", "x.tmp", true},
      {"*.tmp", ".tmp", true},
      {"*.tmp", "x.tmp.gz", false},
      {"*.tmp", "x.tm", false},
      {"a*b*c", "aXXbYYc", true},
      {"a*b*c", "aXXbYY", false},
      {"a*b", "abab", true},  // the star takes more on a mismatch
      {"**x", "yyx", true},
      {"?", "", false},
      {"?", "a", true},
      {"?", "ab", false},
      {"?", "\xC3\xA9", true},  // one character, two bytes
      {"??", "\xC3\xA9", false},
      {"?x",
       "\xE2\x82\xAC"
       "x",
       true},
      {"*?", "\xC3\xA9", true},
      {"[abc]", "b", true},
      {"[abc]", "d", false},
      {"[a-c]x", "cx", true},
      {"[!a-c]x", "cx", false},
      {"[^a-c]x", "dx", true},
      {"[]]", "]", true},
      {"[!]]", "a", true},
      {"[a-]", "-", true},
      {"[abc", "[abc", true},  // no ']': a plain '['
      {"[abc", "a", false},
      {"\\*", "*", true},
      {"\\*", "x", false},
      {"cache", "Cache", false},  // byte for byte on POSIX systems
      {"file 1*", "file 1.dat", true},
      {"file 1*", "file 2.dat", false},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(matches(c.szGlob, c.szText), c.bMatch) << c.szGlob << " ~ " << c.szText;
  }
}

TEST(IsExcludedTest, NamesPathsAnchorsAndFolders) {
  ExcludeRules rules;
  startExcludes(rules, {"*.tmp", "cache/", "photos/raw", "/srv/share/old", "[0-9]*.log"});
  ASSERT_EQ(rules.patterns.size(), 5u);
  EXPECT_TRUE(rules.patterns[1].bFoldersOnly && !rules.patterns[1].bPath);
  EXPECT_TRUE(rules.patterns[2].bPath && !rules.patterns[2].bAnchored);
  EXPECT_TRUE(rules.patterns[3].bPath && rules.patterns[3].bAnchored);
  EXPECT_TRUE(rules.bPaths);
  struct Case {
    const char* szFolder;
    const char* szName;
    bool bFolder;
    bool bExcluded;
  };
  const Case kCases[] = {
      {"/srv/share", "a.tmp", false, true},
      {"/srv/share", "a.tmp", true, true},  // a name pattern takes folders too
      {"/srv/share", "a.txt", false, false},
      {"/srv/share", "cache", true, true},
      {"/srv/share", "cache", false, false},  // "cache/": folders only
      {"/srv/share/a", "raw", true, false},
      {"/srv/share/photos", "raw", true, true},     // the path's end
      {"/photos", "raw", false, true},              // also right below the root
      {"/srv/share/myphotos", "raw", true, false},  // only after a separator
      {"/srv/share", "old", true, true},
      {"/x/srv/share", "old", true, false},  // anchored: the whole path only
      {"/", "srv", true, false},
      {"/srv/share", "2026.log", false, true},
      {"/srv/share", "x2026.log", false, false},
  };
  std::string sScratch;
  for (const Case& c : kCases) {
    std::string sName = c.szName;
    EXPECT_EQ(isExcluded(rules, c.szFolder, '/', sName.data(), sName.size(), c.bFolder, sScratch),
              c.bExcluded)
        << c.szFolder << " " << c.szName;
  }
  ExcludeRules none;
  startExcludes(none, {});
  EXPECT_FALSE(none.bPaths);
  EXPECT_FALSE(isExcluded(none, "/srv", '/', "a", 1, false, sScratch));
}

}  // namespace
