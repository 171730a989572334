#include "sources/jsonpull.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

// One token as the tests compare it; a string's pieces joined into one.
struct Seen {
  std::string sText;   // see render
  std::uint64_t nEnd;  // stream offset past it
  bool bNumber;
  int nPieces;
};

// What a stream gave: its tokens, and how it ended.
struct Stream {
  std::vector<Seen> tokens;
  std::string sFinal;  // END@n, EARLY@n reason, ERR@n reason
  std::string dump() const {
    std::string s;
    for (const Seen& seen : tokens) s += seen.sText + " ";
    return s + sFinal;
  }
};

// { } [ ] for containers, k"..." for keys, s"..." for strings (then ! when
// not UTF-8), n... for numbers, true false null; | after a top-level value.
std::string render(const JsonToken& token, const std::string& sText) {
  std::string s;
  switch (token.kind) {
    case JsonKind::kBeginObject:
      s = "{";
      break;
    case JsonKind::kEndObject:
      s = "}";
      break;
    case JsonKind::kBeginArray:
      s = "[";
      break;
    case JsonKind::kEndArray:
      s = "]";
      break;
    case JsonKind::kKey:
      s = "k\"" + sText + "\"";
      break;
    case JsonKind::kString:
      s = "s\"" + sText + "\"";
      break;
    case JsonKind::kNumber:
      s = "n" + sText;
      break;
    case JsonKind::kTrue:
      s = "true";
      break;
    case JsonKind::kFalse:
      s = "false";
      break;
    default:
      s = "null";
      break;
  }
  return s + (token.bEndsValue ? "|" : "");
}

// Reads doc handed over in blocks that end at the offsets in cuts (then one
// last block), and checks that a piece is at most kMaxPiece bytes and splits
// no UTF-8 sequence.
Stream runBlocks(const std::string& doc, const std::vector<std::size_t>& cuts) {
  JsonPull json;
  JsonToken token;
  Stream run;
  std::size_t nFed = 0, nCut = 0;
  std::string sPieces;
  bool bNotUtf8 = false;
  int nPieces = 0;
  for (;;) {
    JsonKind kind = nextJsonToken(json, token);
    if (kind == JsonKind::kNeedMore) {
      if (nFed == doc.size() && nCut > cuts.size()) {
        endJsonInput(json);
        continue;
      }
      std::size_t nTo = nCut < cuts.size() ? cuts[nCut] : doc.size();
      nCut++;
      feedJson(json, doc.data() + nFed, nTo - nFed);
      nFed = nTo;
      continue;
    }
    if (kind == JsonKind::kEnd || kind == JsonKind::kEndedEarly || kind == JsonKind::kError) {
      const char* szWhat = kind == JsonKind::kEnd     ? "END@"
                           : kind == JsonKind::kError ? "ERR@"
                                                      : "EARLY@";
      run.sFinal =
          szWhat + std::to_string(token.nOffset) + (token.szReason ? " "s + token.szReason : "");
      return run;
    }
    EXPECT_LE(token.nLength, JsonPull::kMaxPiece);
    // A piece after the first of valid text begins a sequence, not inside one.
    bool bSplit =
        nPieces > 0 && !token.bNotUtf8 && token.nLength > 0 && (token.pText[0] & 0xC0) == 0x80;
    EXPECT_FALSE(bSplit) << "piece " << nPieces;
    sPieces.append(token.pText ? token.pText : "", token.nLength);
    bNotUtf8 = bNotUtf8 || token.bNotUtf8;
    nPieces++;
    if (token.bMore) continue;
    run.tokens.push_back(Seen{render(token, sPieces) + (bNotUtf8 ? "!" : ""), token.nEnd,
                              kind == JsonKind::kNumber, nPieces});
    sPieces.clear();
    bNotUtf8 = false;
    nPieces = 0;
  }
}

std::string dumpOf(const std::string& doc) { return runBlocks(doc, {}).dump(); }

// Every block of nSize bytes.
std::vector<std::size_t> cutsEvery(std::size_t nSize, std::size_t nLength) {
  std::vector<std::size_t> cuts;
  for (std::size_t n = nSize; n < nLength; n += nSize) cuts.push_back(n);
  return cuts;
}

// The first token that is not a piece, with its text.
JsonToken firstToken(JsonPull& json, const std::string& doc) {
  feedJson(json, doc.data(), doc.size());
  endJsonInput(json);
  JsonToken token;
  nextJsonToken(json, token);
  return token;
}

// A disk-usage export in small: the shapes, escapes and numbers the readers meet.
const std::string kSample =
    "\xEF\xBB\xBF[1,2,{\"progname\":\"ncdu\",\"progver\":\"1.18\",\"timestamp\":1796801068},\n"
    "[{\"name\":\"/srv/share\",\"asize\":4096,\"dev\":65024},\n"
    "{\"name\":\"tab\\there \\\"q\\\" \\\\ "
    "\\u00e9\\ud83d\\ude00\",\"asize\":18446744073709551615},\n"
    "{\"name\":\"bad\xFF\",\"notreg\":true,\"hlnkc\":false,\"x\":null,\"d\":-1.5e-3},\n"
    "[{\"name\":\"empty\",\"excluded\":\"othfs\"}],{\"name\":\"\"}]]\n";

TEST(JsonPullTest, TokenizesValidDocuments) {
  struct Case {
    std::string sDoc, sDump;
  } aCases[] = {
      {"", "END@0"},
      {" \r\n\t", "END@4"},
      {"{}", "{ }| END@2"},
      {"[]", "[ ]| END@2"},
      {"[[],{}]", "[ [ ] { } ]| END@7"},
      {"{\"a\":[1,\"b\",true,false,null]}", "{ k\"a\" [ n1 s\"b\" true false null ] }| END@29"},
      {"  \"top\"  ", "s\"top\"| END@9"},
      {"0", "n0| END@1"},
      {"-0.0e+0", "n-0.0e+0| END@7"},
      {"\xEF\xBB\xBFtrue", "true| END@7"},
      // several top-level values: containers and strings need no white space
      {"{}{}\"a\"[]", "{ }| { }| s\"a\"| [ ]| END@9"},
      {"1 2\n3\r\n", "n1| n2| n3| END@7"},
      {"{\"a\":1}\n{\"a\":2}\n", "{ k\"a\" n1 }| { k\"a\" n2 }| END@16"},
      {"{\"\":\"\"}", "{ k\"\" s\"\" }| END@7"},
      {"[\"\x7F\"]", "[ s\"\x7F\" ]| END@5"},
  };
  for (const Case& c : aCases) EXPECT_EQ(dumpOf(c.sDoc), c.sDump) << c.sDoc;
}

TEST(JsonPullTest, RejectsMalformedDocumentsAtTheOffendingByte) {
  struct Case {
    std::string sDoc, sFinal;
  } aCases[] = {
      {"[1,]", "ERR@3 expected a value"},
      {"{\"a\":1,}", "ERR@7 expected a member's name in quotes"},
      {"{\"a\" 1}", "ERR@5 expected ':' after a member's name"},
      {"{1:2}", "ERR@1 expected a member's name in quotes or '}'"},
      {"[1 2]", "ERR@3 expected ',' or ']' after an element"},
      {"{\"a\":1]", "ERR@6 expected ',' or '}' after a member"},
      {"[}", "ERR@1 expected a value"},
      {"]", "ERR@0 expected a value"},
      {"['a']", "ERR@1 expected a value"},
      {"[tru]", "ERR@4 expected true, false or null"},
      {"[nul", "EARLY@4 inside true, false or null"},
      {"truefalse", "ERR@4 expected white space after a top-level value"},
      {"1{}", "ERR@1 expected white space after a top-level value"},
      {"[01]", "ERR@2 a number begins with 0 and another digit"},
      {"[-]", "ERR@2 expected a digit in a number"},
      {"[1.]", "ERR@3 expected a digit in a number"},
      {"[.5]", "ERR@1 expected a value"},
      {"[+1]", "ERR@1 expected a value"},
      {"[1e]", "ERR@3 expected a digit in a number"},
      {"[1e+]", "ERR@4 expected a digit in a number"},
      {"[\"a\nb\"]", "ERR@3 control character in a string"},
      {"[\"\\x\"]", "ERR@3 unknown escape after a backslash"},
      {"[\"\\u12g4\"]", "ERR@6 expected four hex digits after \\u"},
      {"\xEF\xBB"
       "x",
       "ERR@2 a byte-order mark cut short"},
      {" \xEF\xBB\xBF{}", "ERR@1 expected a value"},  // a mark only at the very start
      {"[" + std::string(4097, '1') + "]", "ERR@4097 number longer than 4096 characters"},
  };
  for (const Case& c : aCases) EXPECT_EQ(runBlocks(c.sDoc, {}).sFinal, c.sFinal) << c.sDoc;
}

TEST(JsonPullTest, GivesTheSameTokensWhereverTheBlocksEnd) {
  const std::string sStream = kSample + "  {\"a\":[0.25,-7]}7 \"s\"";
  std::string sWhole = runBlocks(sStream, {}).dump();
  ASSERT_NE(sWhole.find("END@"), std::string::npos) << sWhole;
  for (std::size_t n = 0; n <= sStream.size(); n++) {
    EXPECT_EQ(runBlocks(sStream, {n}).dump(), sWhole) << "split at " << n;
    // two empty blocks where the split is
    EXPECT_EQ(runBlocks(sStream, {n, n, n}).dump(), sWhole) << "empty blocks at " << n;
  }
  for (std::size_t nSize : {1, 2, 3, 7}) {
    EXPECT_EQ(runBlocks(sStream, cutsEvery(nSize, sStream.size())).dump(), sWhole) << nSize;
  }
}

TEST(JsonPullTest, HandsOutEveryCompleteTokenOfADocumentCutAnywhere) {
  Stream whole = runBlocks(kSample, {});
  ASSERT_EQ(whole.sFinal, "END@" + std::to_string(kSample.size()));
  const std::size_t nMark = 3, nLastByte = kSample.size() - 1;  // the final line feed
  for (std::size_t n = 0; n < kSample.size(); n++) {
    Stream cut = runBlocks(kSample.substr(0, n), {n / 2});
    // A number ends at the byte after it: only then is it known whole.
    std::size_t nComplete = 0;
    for (const Seen& seen : whole.tokens) nComplete += seen.nEnd + (seen.bNumber ? 1 : 0) <= n;
    ASSERT_EQ(cut.tokens.size(), nComplete) << "cut at " << n << ": " << cut.dump();
    for (std::size_t i = 0; i < nComplete; i++)
      EXPECT_EQ(cut.tokens[i].sText, whole.tokens[i].sText);
    std::string sFinal = n == 0 || n == nMark || n == nLastByte ? "END@" : "EARLY@";
    EXPECT_EQ(cut.sFinal.substr(0, sFinal.size()), sFinal) << "cut at " << n;
    EXPECT_NE(cut.sFinal.find("@" + std::to_string(n)), std::string::npos) << cut.sFinal;
  }
  EXPECT_EQ(runBlocks("{\"a\":[\"x", {}).sFinal, "EARLY@8 inside a string");
  EXPECT_EQ(runBlocks("{\"a", {}).sFinal, "EARLY@3 inside a member's name");
  EXPECT_EQ(runBlocks("{\"a\"", {}).sFinal, "EARLY@4 after a member's name");
  EXPECT_EQ(runBlocks("{\"a\":", {}).sFinal, "EARLY@5 inside an object");
  EXPECT_EQ(runBlocks("[1,", {}).sFinal, "EARLY@3 inside an array");
  EXPECT_EQ(runBlocks("[12", {}).dump(), "[ EARLY@3 inside a number");
  EXPECT_EQ(runBlocks("12", {}).dump(), "n12| END@2");  // a top-level number ends with the input
  EXPECT_EQ(runBlocks("-", {}).dump(), "EARLY@1 inside a number");
}

TEST(JsonPullTest, NestsToItsBoundAndNoFurther) {
  const int nMax = JsonPull::kMaxDepth;
  std::string sArrays = std::string(nMax, '[') + std::string(nMax, ']');
  EXPECT_EQ(runBlocks(sArrays, {}).sFinal, "END@" + std::to_string(2 * nMax));
  std::string sDeeper = std::string(nMax + 1, '[') + std::string(nMax + 1, ']');
  EXPECT_EQ(runBlocks(sDeeper, {}).sFinal, "ERR@256 nested deeper than 256 levels");
  std::string sObjects;
  for (int n = 0; n < nMax; n++) sObjects += "{\"a\":";
  EXPECT_EQ(runBlocks(sObjects + "1" + std::string(nMax, '}'), {}).sFinal,
            "END@" + std::to_string(sObjects.size() + 1 + nMax));
  EXPECT_EQ(runBlocks(sObjects + "{}" + std::string(nMax, '}'), {}).sFinal,
            "ERR@" + std::to_string(sObjects.size()) + " nested deeper than 256 levels");
  // A depth that goes down again may go up again.
  EXPECT_EQ(runBlocks(sArrays + sArrays, {}).sFinal, "END@" + std::to_string(4 * nMax));
}

TEST(JsonPullTest, ParsesIntegersExactlyAtTheirBounds) {
  struct Case {
    const char* szNumber;
    bool bUint;
    std::uint64_t nUint;
    bool bInt;
    std::int64_t nInt;
  } aCases[] = {
      {"0", true, 0, true, 0},
      {"1", true, 1, true, 1},
      {"-0", false, 0, true, 0},
      {"-1", false, 0, true, -1},
      {"4294967295", true, 4294967295u, true, 4294967295},
      {"4294967296", true, 4294967296u, true, 4294967296},
      {"9223372036854775807", true, 9223372036854775807u, true, INT64_MAX},
      {"9223372036854775808", true, 9223372036854775808u, false, 0},
      {"-9223372036854775808", false, 0, true, INT64_MIN},
      {"-9223372036854775809", false, 0, false, 0},
      {"18446744073709551615", true, UINT64_MAX, false, 0},
      {"18446744073709551616", false, 0, false, 0},
      {"18446744073709551620", false, 0, false, 0},
      {"99999999999999999999", false, 0, false, 0},
      {"1.0", false, 0, false, 0},
      {"1e3", false, 0, false, 0},
      {"10E0", false, 0, false, 0},
  };
  for (const Case& c : aCases) {
    JsonPull json;
    JsonToken token = firstToken(json, c.szNumber);
    ASSERT_EQ(token.kind, JsonKind::kNumber) << c.szNumber;
    EXPECT_EQ(std::string(token.pText, token.nLength), c.szNumber);
    EXPECT_EQ(token.bUint, c.bUint) << c.szNumber;
    EXPECT_EQ(token.bInt, c.bInt) << c.szNumber;
    EXPECT_EQ(token.nUint, c.bUint ? c.nUint : token.nUint) << c.szNumber;
    EXPECT_EQ(token.nInt, c.bInt ? c.nInt : token.nInt) << c.szNumber;
  }
}

TEST(JsonPullTest, UnescapesStringsIntoUtf8AndFlagsBytesThatAreNot) {
  const std::string kFffd = "\xEF\xBF\xBD";
  struct Case {
    std::string sJson, sBytes;
    bool bNotUtf8;
  } aCases[] = {
      {"\"\\\"\\\\\\/\\b\\f\\n\\r\\t\"", "\"\\/\b\f\n\r\t", false},
      {"\"\\u0041\\u00e9\\u20AC\"", "A\xC3\xA9\xE2\x82\xAC", false},
      {"\"\\u0000\"", "\0"s, false},
      {"\"\\ud83d\\ude00\"", "\xF0\x9F\x98\x80", false},  // a pair: one code point
      {"\"\\udbff\\udfff\"", "\xF4\x8F\xBF\xBF", false},  // the last code point
      {"\"\\ud800x\"", kFffd + "x", false},               // a high one alone
      {"\"\\ud800\"", kFffd, false},                      // ... at the string's end
      {"\"\\udc00\\ud800\"", kFffd + kFffd, false},       // a pair the wrong way round
      {"\"\\ud800\\ud800\\udc00\"", kFffd + "\xF0\x90\x80\x80", false},
      {"\"\\ud800\\n\"", kFffd + "\n", false},
      {"\"\\ud800\xC3\xA9\"", kFffd + "\xC3\xA9", false},
      {"\"na\xC3\xAFve \xE6\x97\xA5 \xF0\x9F\x98\x80\"",
       "na\xC3\xAFve \xE6\x97\xA5 \xF0\x9F\x98\x80", false},
      {"\"bad\xFF"
       "byte\"",
       "bad\xFF"
       "byte",
       true},                      // raw bytes pass through
      {"\"\xC3\"", "\xC3", true},  // cut short by the quote
      {"\"\xC3x\"", "\xC3x", true},
      {"\"\xC0\xAF\"", "\xC0\xAF", true},                  // overlong
      {"\"\xED\xA0\x80\"", "\xED\xA0\x80", true},          // an encoded surrogate
      {"\"\xF4\x90\x80\x80\"", "\xF4\x90\x80\x80", true},  // past U+10FFFF
      {"\"\xE0\x9F\xBF\"", "\xE0\x9F\xBF", true},          // overlong of three
      {"\"\x80\"", "\x80", true},
  };
  for (const Case& c : aCases) {
    for (std::size_t nSize : {std::size_t{1}, c.sJson.size()}) {
      Stream run = runBlocks(c.sJson, cutsEvery(nSize, c.sJson.size()));
      ASSERT_EQ(run.tokens.size(), 1u) << c.sJson << " " << run.dump();
      std::string sWant = "s\"" + c.sBytes + "\"|" + (c.bNotUtf8 ? "!" : "");
      EXPECT_EQ(run.tokens[0].sText, sWant) << c.sJson;
    }
  }
}

TEST(JsonPullTest, DeliversLongStringsInPiecesThatSplitNoSequence) {
  const std::size_t nMax = JsonPull::kMaxPiece;
  struct Case {
    std::string sBody;  // as written between the quotes
    std::string sBytes;
    int nPieces;
  } aCases[] = {
      {std::string(nMax, 'a'), std::string(nMax, 'a'), 1},
      {std::string(nMax + 1, 'a'), std::string(nMax + 1, 'a'), 2},
      {std::string(3 * nMax, 'a'), std::string(3 * nMax, 'a'), 3},
      // a sequence astride the bound moves whole into the next piece
      {std::string(nMax - 1, 'a') + "\xC3\xA9", std::string(nMax - 1, 'a') + "\xC3\xA9", 2},
      {std::string(nMax - 2, 'a') + "\xC3\xA9", std::string(nMax - 2, 'a') + "\xC3\xA9", 1},
      {std::string(nMax - 2, 'a') + "\\u00e9", std::string(nMax - 2, 'a') + "\xC3\xA9", 2},
      {std::string(nMax - 1, 'a') + "\\ud83d\\ude00",
       std::string(nMax - 1, 'a') + "\xF0\x9F\x98\x80", 2},
  };
  for (const Case& c : aCases) {
    std::string sJson = "[\"" + c.sBody + "\"]";
    for (std::size_t nSize : {std::size_t{5}, sJson.size()}) {
      Stream run = runBlocks(sJson, cutsEvery(nSize, sJson.size()));
      ASSERT_EQ(run.tokens.size(), 3u) << run.sFinal;
      EXPECT_EQ(run.tokens[1].sText, "s\"" + c.sBytes + "\"");
      EXPECT_EQ(run.tokens[1].nPieces, c.nPieces) << c.sBody.size();
    }
  }
}

TEST(JsonPullTest, TellsWhereEachTopLevelValueEnds) {
  Stream run = runBlocks("{\"a\":1}\n[2]\r\n\"s\" 3 null {}", {9});
  std::vector<std::uint64_t> ends;
  for (const Seen& seen : run.tokens) {
    if (seen.sText.back() == '|') ends.push_back(seen.nEnd);
  }
  EXPECT_EQ(ends, (std::vector<std::uint64_t>{7, 11, 16, 18, 23, 26}));
  EXPECT_EQ(run.sFinal, "END@26");
  // An error is given again on every later call.
  JsonPull json;
  const std::string sBad = "[1,,2]";
  JsonToken token = firstToken(json, sBad);
  EXPECT_EQ(token.kind, JsonKind::kBeginArray);
  EXPECT_EQ(nextJsonToken(json, token), JsonKind::kNumber);
  EXPECT_EQ(nextJsonToken(json, token), JsonKind::kError);
  EXPECT_EQ(nextJsonToken(json, token), JsonKind::kError);
  EXPECT_EQ(token.nOffset, 3u);
}

}  // namespace

namespace {

// A token with all a reader of values looks at: its kind, text and, for a
// number, the exact values it reads as.
std::string exactly(const JsonToken& token, const std::string& sText) {
  std::string s = render(token, sText);
  if (token.kind != JsonKind::kNumber) return s;
  s += token.bUint ? " u" + std::to_string(token.nUint) : " -";
  s += token.bInt ? " i" + std::to_string(token.nInt) : " -";
  return s;
}

// Reads the array doc token by token, or, with bPlain, each element that
// pullPlainObject takes at once; renders every token and member.
std::string readArray(const std::string& doc, bool bPlain, int& nPlain) {
  JsonPull json;
  JsonMember aMembers[kMaxPlainMembers];
  feedJson(json, doc.data(), doc.size());
  endJsonInput(json);
  std::string s;
  nPlain = 0;
  for (;;) {
    int nMembers = bPlain ? pullPlainObject(json, aMembers) : -1;
    if (nMembers >= 0) {
      nPlain++;
      s += "{ ";
      for (int i = 0; i < nMembers; i++) {
        const JsonMember& m = aMembers[i];
        s += "k\"" + std::string(m.pKey, m.nKey) + "\" " +
             exactly(m.value,
                     std::string(m.value.pText == nullptr ? "" : m.value.pText, m.value.nLength)) +
             " ";
      }
      s += "} ";
      continue;
    }
    JsonToken token;
    JsonKind kind = nextJsonToken(json, token);
    if (kind == JsonKind::kEnd || kind == JsonKind::kError || kind == JsonKind::kEndedEarly) {
      return s + jsonKindName(kind) + "@" + std::to_string(token.nOffset);
    }
    if (kind != JsonKind::kNeedMore)
      s += exactly(token, std::string(token.pText == nullptr ? "" : token.pText, token.nLength)) +
           " ";
  }
}

// The objects read at once give what the tokenizer gives, to the bounds of
// what they take (twenty digits, kMaxPiece bytes, kMaxPlainMembers
// members); what they leave to the tokenizer is read, or rejected, by it.
TEST(JsonPullTest, ReadsPlainObjectsAtOnceAsTheTokenizerDoes) {
  const std::string sLong(JsonPull::kMaxPiece - 1, 'x');
  std::string sMany = "{";
  for (int i = 0; i <= kMaxPlainMembers; i++)
    sMany += (i ? "," : "") + "\"m"s + std::to_string(i) + "\":" + std::to_string(i);
  sMany += "}";
  struct Case {
    std::string sElement;
    bool bAtOnce;
  } aCases[] = {
      {R"({"name":"a.dat","asize":0,"dsize":1,"mtime":4294967295})", true},
      {R"({})", true},
      {R"( { "a" : true , "b":false,"c" :null } )", true},
      {R"({"n":9223372036854775807,"m":9223372036854775808})", true},
      {R"({"n":18446744073709551615})", true},
      {R"({"n":18446744073709551616})", true},
      {R"({"n":99999999999999999999})", true},
      {R"({"n":100000000000000000000})", false},
      {R"({"n":-0,"m":-1,"o":-9223372036854775808})", true},
      {R"({"n":-9223372036854775809})", true},
      {R"({"n":-18446744073709551615})", false},
      {R"({"n":1.5})", false},
      {R"({"n":1e3})", false},
      {R"({"n":01})", false},
      {R"({"n":-})", false},
      {R"({"s":"tab\there"})", false},
      {"{\"s\":\"caf\xc3\xa9\"}", false},
      {"{\"s\":\"" + sLong + "\"}", true},
      {"{\"s\":\"" + sLong + "x\"}", false},
      {sMany, false},
      {R"({"nested":{"a":1}})", false},
      {R"({"a":[1]})", false},
      {R"({"a":1,})", false},
      {R"({"a":truex})", false},
  };
  for (const Case& c : aCases) {
    const std::string doc = "[" + c.sElement + ",\n" + c.sElement + "]";
    int nPlain = 0;
    int nNone = 0;
    std::string sAtOnce = readArray(doc, true, nPlain);
    EXPECT_EQ(sAtOnce, readArray(doc, false, nNone)) << c.sElement;
    EXPECT_EQ(nPlain, c.bAtOnce ? 2 : 0) << c.sElement;
  }
}

// The string scan takes sixteen and eight bytes at a time: a byte that
// ends the plain text (a backslash, a control, a byte above 127), or the
// closing quote, at every place in and around those words.
TEST(JsonPullTest, FindsTheFirstByteThatIsNoPlainTextWhereverItStands) {
  for (std::size_t nLength = 0; nLength <= 40; nLength++) {
    std::string sPlain(nLength, 'a');
    std::string doc = "[{\"k\":\"" + sPlain + "\"},{\"k\":\"" + sPlain + "\"}]";
    int nPlain = 0;
    int nNone = 0;
    EXPECT_EQ(readArray(doc, true, nPlain), readArray(doc, false, nNone)) << nLength;
    EXPECT_EQ(nPlain, 2) << nLength;
    for (std::size_t nAt = 0; nAt < nLength; nAt++) {
      for (const char* szBad : {"\\n", "\t", "\xc3\xa9", "\x7f"}) {
        std::string sText = sPlain;
        sText.replace(nAt, 1, szBad);
        doc = "[{\"k\":\"" + sText + "\"},{\"k\":\"" + sText + "\"}]";
        EXPECT_EQ(readArray(doc, true, nPlain), readArray(doc, false, nNone))
            << nLength << " at " << nAt;
        // DEL is plain text in JSON; the others are not read at once.
        EXPECT_EQ(nPlain, std::strcmp(szBad, "\x7f") == 0 ? 2 : 0) << nLength << " at " << nAt;
      }
    }
  }
}

}  // namespace
