#include "sources/reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "sources/compressed.h"
#include "sources/utf16_testing.h"

namespace {

// One reader for every test, as a run has one: its block is too large for
// the stack, and each test starts it anew.
Reader& testReader() {
  static Reader* pReader = new Reader();
  return *pReader;
}

using namespace std::string_literals;
using Pieces = std::vector<std::string>;

const std::size_t kMiB = std::size_t{1} << 20;
const std::size_t kRawUnits = std::size_t{1} << 18;  // UTF-16 units in one raw block
const std::string kFffd = "\xEF\xBF\xBD";

// Reads lines until readPiece reports the end, each as its text plus the
// line feed it ended with, checking that the text is NUL-ended, that no text
// is longer than kMaxLine and that the final call leaves the piece alone.
Pieces readAll(std::FILE* stream) {
  startReading(testReader(), stream);
  Pieces pieces;
  const char* const kUnread = "unread";
  Piece piece{kUnread, 99, true, false};
  while (readPiece(testReader(), piece)) {
    EXPECT_EQ(piece.szText[piece.nLength], '\0');
    EXPECT_LE(piece.nLength, kMaxLine);
    if (pieces.size() > 8 * kMiB) {
      ADD_FAILURE() << "the input does not end";
      break;
    }
    pieces.push_back(std::string(piece.szText, piece.nLength) + (piece.bLineFeed ? "\n" : ""));
    piece = Piece{kUnread, 99, true, false};
  }
  EXPECT_EQ(piece.szText, kUnread);
  EXPECT_EQ(piece.nLength, 99u);
  return pieces;
}

std::FILE* fileWith(const std::string& bytes) {
  std::FILE* stream = std::tmpfile();
  EXPECT_NE(stream, nullptr);
  EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), stream), bytes.size());
  std::rewind(stream);
  return stream;
}

Pieces readBytes(const std::string& bytes) {
  std::FILE* stream = fileWith(bytes);
  Pieces pieces = readAll(stream);
  EXPECT_EQ(readError(testReader()), 0);
  std::fclose(stream);
  return pieces;
}

// The text-mode rules applied to a whole byte string at once, then the cut
// into lines, of which only the first kMaxLine characters are kept.
Pieces modelPieces(const std::string& bytes) {
  std::string text;
  for (std::size_t i = 0; i < bytes.size() && bytes[i] != 26; ++i) {
    if (bytes[i] != '\r' || i + 1 == bytes.size() || bytes[i + 1] != '\n') text += bytes[i];
  }
  Pieces pieces;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t nEnd = text.find('\n', start);
    bool bLineFeed = nEnd != std::string::npos;
    if (!bLineFeed) nEnd = text.size();
    if (nEnd - start > kMaxLine) {
      pieces.push_back(text.substr(start, kMaxLine));
    } else {
      pieces.push_back(text.substr(start, nEnd - start) + (bLineFeed ? "\n" : ""));
    }
    start = nEnd + 1;
  }
  return pieces;
}

// Describes where two long lists of pieces part, or returns "".
std::string firstDifference(const Pieces& actual, const Pieces& expected) {
  auto diff = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
  if (diff.first == actual.end() && diff.second == expected.end()) return "";
  std::size_t i = static_cast<std::size_t>(diff.first - actual.begin());
  std::string what = "piece " + std::to_string(i) + " of " + std::to_string(actual.size()) + ": ";
  what += diff.first == actual.end() ? "(none)" : testing::PrintToString(*diff.first);
  what += " instead of ";
  return what + (diff.second == expected.end() ? "(none)" : testing::PrintToString(*diff.second));
}

const std::string kBom = "\xEF\xBB\xBF";
const std::string kLe = "\xFF\xFE";
const std::string kBe = "\xFE\xFF";

std::string x(std::size_t n) { return std::string(n, 'x'); }

const std::size_t kMax = kMaxLine;

TEST(ReaderTest, AppliesTextModeRulesAndKeepsLinesWhole) {
  struct Case {
    std::string input;
    Pieces expected;
  };
  const Case kCases[] = {
      {"", {}},
      {"ab\ncd\n", {"ab\n", "cd\n"}},
      {"ab\r\ncd\r\n\r\n", {"ab\n", "cd\n", "\n"}},
      {"a\rb\n\r", {"a\rb\n", "\r"}},
      {"a\r\r\n", {"a\r\n"}},
      {"ab\ncd", {"ab\n", "cd"}},
      {"ab\ncd\032ef\n", {"ab\n", "cd"}},
      {"ab\r\x1a\n", {"ab\r"}},
      {"\032ab\n", {}},
      {"a\0b\nc\0\n\0"s, {"a\0b\n"s, "c\0\n"s, "\0"s}},
      {x(600) + "\n", {x(600) + "\n"}},
      {x(kMax) + "\n", {x(kMax) + "\n"}},
      {x(kMax) + "\r\n", {x(kMax) + "\n"}},
      {x(kMax - 1) + "\r\r\n", {x(kMax - 1) + "\r\n"}},
      {x(kMax) + "\r\r\nab\n", {x(kMax), "ab\n"}},
      {x(kMax + 1) + "\nab\n", {x(kMax), "ab\n"}},
      {x(kMax + 1) + "\r\nab\n", {x(kMax), "ab\n"}},
      {x(kMax - 1) + "\r", {x(kMax - 1) + "\r"}},
      {x(kMax) + "\r", {x(kMax)}},
      {x(kMax + 1), {x(kMax)}},
      {x(3 * kMax) + "\n\n", {x(kMax), "\n"}},
      {x(kMax + 1) + "\032\n", {x(kMax)}},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(readBytes(c.input), c.expected) << "input of " << c.input.size() << " bytes";
    EXPECT_EQ(modelPieces(c.input), c.expected) << "model, input of " << c.input.size();
  }
}

// Lines of every kind up to size bytes: short and long, ending in LF, CR LF,
// CR CR LF or nothing, with lone CRs and bytes above 127 inside.
std::string randomText(std::size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  const char* const kEnds[] = {"\n", "\r\n", "\r\r\n", "", "\r"};
  std::string text;
  while (text.size() < size) {
    std::size_t n = rng() % 64 == 0  ? 4000 + rng() % 200
                    : rng() % 4 == 0 ? 200 + rng() % 600
                                     : rng() % 80;
    for (std::size_t i = 0; i < n; ++i) {
      unsigned r = rng() % 64;
      text += r == 0 ? '\r' : r == 1 ? '\xE9' : static_cast<char>(' ' + r);
    }
    text += kEnds[rng() % 5];
  }
  text.resize(size);
  return text;
}

TEST(ReaderTest, MatchesModelAcrossBlockBoundaries) {
  auto expectLikeModel = [](const std::string& input, const std::string& what) {
    EXPECT_EQ(firstDifference(readBytes(input), modelPieces(input)), "") << what;
  };
  unsigned seed = 1;
  for (std::size_t size : {kMiB - 3, kMiB, kMiB + 5, 3 * kMiB}) {
    expectLikeModel(randomText(size, seed++), "random text of " + std::to_string(size));
  }
  // The lines whose cut depends on the characters after the first kMaxLine
  // end around the end of the first block, and so does the input.
  const std::string kLines[] = {x(kMax) + "\r\n", x(kMax + 1) + "\r\n", x(kMax - 1) + "\r\r\n",
                                x(3 * kMax) + "\r\n", "\r\032"};
  const std::string text = randomText(2 * kMiB, seed++);
  for (const std::string& line : kLines) {
    for (std::size_t nEnd = kMiB - 2; nEnd <= kMiB + 2; ++nEnd) {
      std::string input = text;
      input.replace(nEnd - line.size() - 1, line.size() + 1, "\n" + line);
      expectLikeModel(
          input, "line of " + std::to_string(line.size()) + " ending at " + std::to_string(nEnd));
    }
  }
  // A dropped mark moves the block ends against the text.
  EXPECT_EQ(firstDifference(readBytes(kBom + text), modelPieces(text)), "");
}

TEST(ReaderTest, DetectsEncodingFromTheFirstBytes) {
  const std::string kAlternating = utf16Bytes(u"abc\n", false);  // 8 bytes
  struct Case {
    std::string input;
    Pieces expected;
  };
  const Case kCases[] = {
      {kBom + "ab\n" + kBom + "\n", {"ab\n", kBom + "\n"}},
      {kBom.substr(0, 2) + "ab\n", {kBom.substr(0, 2) + "ab\n"}},
      {kLe, {}},
      {kLe + utf16Bytes(u"ab\r\ncd", false), {"ab\n", "cd"}},
      {kBe + utf16Bytes(u"ab\r\ncd", true), {"ab\n", "cd"}},
      {kAlternating, {"abc\n"}},
      {kAlternating + "d", {"abc\n", kFffd}},
      {kAlternating.substr(2), {"b\0c\0\n"s, "\0"s}},
      // Only the first 64 bytes decide: a break in them keeps the bytes as
      // they are, one after them does not.
      {utf16Bytes(std::u16string(31, 'a') + u"\u0100\n", false),
       {utf16Bytes(std::u16string(31, 'a'), false) + "\0\x01\n"s, "\0"s}},
      {utf16Bytes(std::u16string(32, 'a') + u"\u0100\n", false),
       {std::string(32, 'a') + "\xC4\x80\n"}},
      {kLe + "a", {kFffd}},
      {kLe + utf16Bytes(u"ab", false) + "c", {"ab" + kFffd}},
      {kBe + utf16Bytes(u"ab", true) + "c", {"ab" + kFffd}},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(readBytes(c.input), c.expected) << "input of " << c.input.size() << " bytes";
  }
}

TEST(ReaderTest, ConvertsUtf16BeforeTheTextModeRules) {
  const std::string kUtf8 = "\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E\n";
  const std::u16string kText = u"\u00e9\u20ac\U0001D11E\r\n";
  for (bool bBigEndian : {false, true}) {
    const std::string mark = bBigEndian ? kBe : kLe;
    EXPECT_EQ(readBytes(mark + utf16Bytes(kText, bBigEndian)), Pieces{kUtf8});
    // U+011A and U+0D0A hold the bytes 26, LF and CR, which are no line
    // ends or end of input before conversion.
    EXPECT_EQ(readBytes(mark + utf16Bytes(u"\u011a\u0d0a\u0a0d\n", bBigEndian)),
              Pieces{"\xC4\x9A\xE0\xB4\x8A\xE0\xA8\x8D\n"});
    std::u16string unpaired = u"a";
    unpaired += char16_t{0xD800};
    unpaired += u"b\r\r\nc\rd\n\032e\n";
    EXPECT_EQ(readBytes(mark + utf16Bytes(unpaired, bBigEndian)),
              (Pieces{"a" + kFffd + "b\r\n", "c\rd\n"}));
  }
}

// A few MiB of UTF-16 with a surrogate pair and a CR LF pair each across an
// end of a raw block, read with each kind of mark and without one.
TEST(ReaderTest, ConvertsLargeUtf16AcrossRawBlocks) {
  struct Token {
    std::u16string utf16;
    std::string utf8;
  };
  const Token kTokens[] = {{u"a", "a"},
                           {u"\n", "\n"},
                           {u"\r\n", "\r\n"},
                           {u"\r", "\r"},
                           {u"\u00e9", "\xC3\xA9"},
                           {u"\u20ac", "\xE2\x82\xAC"},
                           {u"\U0001D11E", "\xF0\x9D\x84\x9E"}};
  const Token kPair = kTokens[6];
  const Token kCrLf = kTokens[2];
  const std::map<std::size_t, Token> kPlaced = {{kRawUnits - 1, kPair},
                                                {2 * kRawUnits - 1, kCrLf},
                                                {3 * kRawUnits - 1, kPair},
                                                {4 * kRawUnits - 1, kCrLf}};
  std::mt19937 rng(7);
  std::u16string utf16(40, u'a');
  std::string utf8(40, 'a');
  while (utf16.size() < 5 * kRawUnits + 3) {
    auto placed = kPlaced.lower_bound(utf16.size());
    const std::size_t nRoom = placed == kPlaced.end() ? 2 : placed->first - utf16.size();
    const Token* token = rng() % 2 == 0 ? &kTokens[0] : &kTokens[rng() % 7];
    if (token->utf16.size() > nRoom) token = &kTokens[0];
    if (nRoom == 0) token = &placed->second;
    utf16 += token->utf16;
    utf8 += token->utf8;
  }
  ASSERT_EQ(utf16[kRawUnits], 0xDD1E);
  ASSERT_EQ(utf16[2 * kRawUnits], u'\n');
  const Pieces expected = modelPieces(utf8);
  EXPECT_EQ(firstDifference(readBytes(kLe + utf16Bytes(utf16, false)), expected), "");
  EXPECT_EQ(firstDifference(readBytes(kBe + utf16Bytes(utf16, true)), expected), "");
  EXPECT_EQ(firstDifference(readBytes(utf16Bytes(utf16, false)), expected), "");
}

// A new reading starts from scratch whatever the last one left behind.
TEST(ReaderTest, StartReadingForgetsThePreviousStream) {
  std::FILE* utf16 = fileWith(kLe + utf16Bytes(u"first\nsecond\n", false));
  startReading(testReader(), utf16);
  Piece piece;
  ASSERT_TRUE(readPiece(testReader(), piece));
  EXPECT_STREQ(piece.szText, "first");
  EXPECT_EQ(readBytes("plain\r\n"), Pieces{"plain\n"});

  std::rewind(utf16);
  startReading(testReader(), utf16);  // never read from
  EXPECT_EQ(readBytes("other\n"), Pieces{"other\n"});
  std::fclose(utf16);
}

// Reads the bytes to their end and returns the facts the reader found.
ReadFacts factsOf(const std::string& bytes) {
  std::FILE* stream = fileWith(bytes);
  readAll(stream);
  std::fclose(stream);
  return readFacts(testReader());
}

TEST(ReaderTest, TellsWhatTheListingHeldAsAWhole) {
  struct Case {
    std::string input;
    bool bEmpty, bStoppedEarly, bNoLineFeeds;
  };
  const Case kCases[] = {
      {"", true, false, false},
      {kBom, true, false, false},
      {kLe, true, false, false},
      {"\032", true, false, false},
      {"\032\032", false, true, false},
      {"a\n\032", false, false, false},
      {"a\n\032b", false, true, false},
      {x(kMiB) + "\032", false, false, false},  // the 26 opens the next block
      {x(kMiB) + "\032\n", false, true, false},
      {"a\rb\r", false, false, true},
      {x(kMiB) + "\r", false, false, true},  // the carriage return in the second block
      {"a\r\nb", false, false, false},
      {"a\nb" + x(kMiB) + "\r", false, false, false},
      {x(2 * kMax) + "\r\n", false, false, false},  // the line feed of a cut line
      {x(2 * kMax) + "\r", false, false, true},
      {kLe + utf16Bytes(u"a\r\032b", false), false, true, true},
  };
  for (const Case& c : kCases) {
    ReadFacts facts = factsOf(c.input);
    std::string what = "input of " + std::to_string(c.input.size()) + " bytes";
    EXPECT_EQ(facts.bEmpty, c.bEmpty) << what;
    EXPECT_EQ(facts.bStoppedEarly, c.bStoppedEarly) << what;
    EXPECT_EQ(facts.bNoLineFeeds, c.bNoLineFeeds) << what;
  }
}

TEST(ReaderTest, MarksALineThatWasCut) {
  std::FILE* stream = fileWith(x(kMax) + "\n" + x(kMax + 1) + "\n" + x(kMax + 1));
  startReading(testReader(), stream);
  Piece piece;
  bool abCut[3] = {};
  bool abLineFeed[3] = {};
  for (int i = 0; i < 3 && readPiece(testReader(), piece); i++) {
    abCut[i] = piece.bCut;
    abLineFeed[i] = piece.bLineFeed;
  }
  EXPECT_FALSE(readPiece(testReader(), piece));
  EXPECT_FALSE(abCut[0]);
  EXPECT_TRUE(abLineFeed[0]);
  EXPECT_TRUE(abCut[1] && abCut[2]);
  EXPECT_FALSE(abLineFeed[1] || abLineFeed[2]);
  std::fclose(stream);
}

TEST(ReaderTest, GivesTheRestOfACutLineWhenAskedAtOnce) {
  struct Line {
    std::string sText;  // without its line end
    const char* szEnd;
    bool bAsk;  // ask for the rest of the line, which is then whole
  };
  std::string sLong = x(kMax) + "\r" + x(3 * kMiB) + "y";  // spans blocks, holds a CR
  const Line kLines[] = {
      {"a" + x(kMax), "\r\n", true}, {x(kMax + 1), "\n", false}, {sLong, "\r\n", true},
      {x(kMax) + "\r", "\n", true},  {"short", "\n", true},      {x(kMax + 7), "\n", false},
      {"z" + x(kMax + 1), "", true},
  };
  std::string sInput;
  for (const Line& line : kLines) sInput += line.sText + line.szEnd;
  std::FILE* stream = fileWith(sInput);
  startReading(testReader(), stream);
  for (const Line& line : kLines) {
    Piece piece;
    ASSERT_TRUE(readPiece(testReader(), piece));
    std::string sGot(piece.szText, piece.nLength);
    if (line.bAsk) readRestOfLine(testReader(), sGot);
    std::string sWant = line.bAsk ? line.sText : line.sText.substr(0, kMax);
    if (line.sText.size() == kMax + 1 && line.sText.back() == '\r') sWant.pop_back();  // CR LF
    EXPECT_EQ(sGot.size(), sWant.size()) << line.sText.substr(0, 8);
    EXPECT_TRUE(sGot == sWant) << line.sText.substr(0, 8);
  }
  Piece piece;
  EXPECT_FALSE(readPiece(testReader(), piece));
  std::fclose(stream);
}

#ifdef __linux__
// Only a plain file, or zstd's text, is read light enough for the main
// thread to read blocks of it too: its first line read, as the blocks begin
// after it.
TEST(ReaderTest, TellsAPlainFileFromTextThatIsMadeFirst) {
  struct Case {
    std::FILE* stream;
    bool bPlain;
    bool bLight;
  };
  const char* szRead = compressionsRead();
  const bool bZstd = szRead != nullptr && std::strstr(szRead, "zstd") != nullptr;
  const bool bGzip = szRead != nullptr && std::strstr(szRead, "gzip") != nullptr;
  const Case cases[] = {
      {popen("printf 'a\\nb\\n'", "r"), false, false},
      {fileWith("a\nb\n"), true, true},
      {fileWith(kBom + "a\n"), true, true},
      {fileWith(kLe + "a\0\n\0"s), false, false},
      // "a\nb\n" compressed by gzip and by zstd
      {bGzip ? fileWith("\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\x4b\xe4\x4a\xe2\x02\x00\x97\x2a"
                        "\x57\x18\x04\x00\x00\x00"s)
             : fileWith("a\n"),
       false, false},
      {bZstd ? fileWith("\x28\xb5\x2f\xfd\x04\x58\x21\x00\x00\x61\x0a\x62\x0a\x25\x50\xb3\x23"s)
             : fileWith("a\n"),
       false, bZstd},
  };
  for (const Case& c : cases) {
    ASSERT_NE(c.stream, nullptr);
    startReading(testReader(), c.stream);
    Piece piece;
    ASSERT_TRUE(readPiece(testReader(), piece));
    EXPECT_EQ(piece.szText, "a"s);
    bool bPlainText = &c >= &cases[4] && !(&c == &cases[4] ? bGzip : bZstd);
    EXPECT_EQ(readsPlainFile(testReader()), c.bPlain || bPlainText) << (&c - cases);
    EXPECT_EQ(readsLightly(testReader()), c.bLight || bPlainText) << (&c - cases);
  }
  for (const Case& c : cases) (&c == &cases[0] ? pclose(c.stream) : std::fclose(c.stream));
}

TEST(ReaderTest, ReportsTheErrorOfAFailedRead) {
  std::FILE* dir = std::fopen(".", "rb");
  ASSERT_NE(dir, nullptr);
  EXPECT_EQ(readAll(dir), Pieces{});
  EXPECT_EQ(readError(testReader()), EISDIR);
  std::fclose(dir);
  EXPECT_EQ(readBytes("a\n"), Pieces{"a\n"});  // and the next reading clears it
}
#endif

}  // namespace
