#include "reports/json.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "reports/output.h"

namespace {

using namespace std::string_literals;

const std::string kFffd = "\xEF\xBF\xBD";

// Returns what write puts on standard output through a fresh writer, and
// checks that the writer then calls the document complete, or not.
std::string jsonOf(const std::function<void(JsonWriter&)>& write, bool bComplete = true) {
  JsonWriter json;
  testing::internal::CaptureStdout();
  write(json);
  outFlush();
  std::string text = testing::internal::GetCapturedStdout();
  EXPECT_EQ(jsonComplete(json), bComplete) << text;
  return text;
}

// The lines of text, without their line feeds.
std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

// Writes the values as one array and returns each element's text.
template <typename T>
std::vector<std::string> elementsOf(const std::vector<T>& values, void (*write)(JsonWriter&, T)) {
  std::string text = jsonOf([&](JsonWriter& json) {
    beginJsonArray(json);
    for (T value : values) write(json, value);
    endJsonArray(json);
  });
  std::vector<std::string> lines = linesOf(text);
  std::vector<std::string> elements;
  for (std::size_t i = 1; i + 1 < lines.size(); i++) {
    std::string element = lines[i].substr(2);      // the indentation
    if (i + 2 < lines.size()) element.pop_back();  // the comma
    elements.push_back(element);
  }
  EXPECT_EQ(elements.size(), values.size()) << text;
  return elements;
}

TEST(JsonWriterTest, WritesIntegersExactlyAtTheirBoundaries) {
  const std::uint64_t k32 = std::uint64_t{1} << 32;
  const std::vector<std::uint64_t> kUnsigned = {
      0, 1, 9, 10, k32 - 1, k32, INT64_MAX, std::uint64_t{1} << 63, UINT64_MAX - 1, UINT64_MAX};
  std::vector<std::string> texts = elementsOf(kUnsigned, writeJsonUint);
  for (std::size_t i = 0; i < texts.size(); i++) EXPECT_EQ(texts[i], std::to_string(kUnsigned[i]));

  const std::vector<std::int64_t> kSigned = {
      INT64_MIN, INT64_MIN + 1, -(std::int64_t{1} << 32), -1, 0, 1, INT32_MAX, INT64_MAX};
  texts = elementsOf(kSigned, writeJsonInt);
  for (std::size_t i = 0; i < texts.size(); i++) EXPECT_EQ(texts[i], std::to_string(kSigned[i]));

  EXPECT_EQ(jsonOf([](JsonWriter& json) { writeJsonHundredths(json, UINT64_MAX, 5); }),
            "18446744073709551615.05\n");
  EXPECT_EQ(jsonOf([](JsonWriter& json) { writeJsonHundredths(json, 0, 0); }), "0.00\n");
  EXPECT_EQ(jsonOf([](JsonWriter& json) { writeJsonHundredths(json, 1, 39); }), "1.39\n");
}

TEST(JsonWriterTest, WritesDoublesInTheirShortestExactForm) {
  const double kInfinity = std::numeric_limits<double>::infinity();
  struct Case {
    double d;
    const char* szText;
  };
  const Case kCases[] = {
      {0.0, "0.0"},
      {-0.0, "-0.0"},
      {1.0, "1.0"},
      {-2.5, "-2.5"},
      {0.1, "0.1"},
      {0.1 + 0.2, "0.30000000000000004"},
      {1.0 / 3, "0.3333333333333333"},
      {100.0, "100.0"},
      {1867.3712, "1867.3712"},
      {4.35, "4.35"},
      {1e15, "1000000000000000.0"},  // the largest power of ten in fixed notation
      {9007199254740993.0, "9007199254740992.0"},
      {1e16, "1e+16"},
      {1e23, "1e+23"},
      {123456789012345680.0, "1.2345678901234568e+17"},
      {1e-4, "0.0001"},  // the smallest power of ten in fixed notation
      {1.5e-4, "0.00015"},
      {1e-5, "1e-05"},
      {-1.2345e-7, "-1.2345e-07"},
      {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
      {std::numeric_limits<double>::min(), "2.2250738585072014e-308"},
      {std::numeric_limits<double>::denorm_min(), "5e-324"},
      {kInfinity, "null"},
      {-kInfinity, "null"},
      {std::numeric_limits<double>::quiet_NaN(), "null"},
  };
  std::vector<double> values;
  for (const Case& c : kCases) values.push_back(c.d);
  std::vector<std::string> texts = elementsOf(values, writeJsonDouble);
  for (std::size_t i = 0; i < texts.size(); i++) EXPECT_EQ(texts[i], kCases[i].szText);
}

// The significant digits of a number's text: those before the exponent,
// without the sign, the point and leading zeros.
int significantDigits(const std::string& text) {
  std::string digits;
  for (char c : text.substr(0, text.find('e'))) {
    if (c >= '0' && c <= '9' && !(digits.empty() && c == '0')) digits += c;
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  return static_cast<int>(digits.size());
}

TEST(JsonWriterTest, DoublesReadBackExactlyWithNoDigitToSpare) {
  std::mt19937_64 random(20261208);
  std::vector<double> values;
  for (int i = 0; i < 20000; i++) {
    std::uint64_t nBits = random();
    if (i % 2 == 0) nBits = (nBits & 0x800FFFFFFFFFFFFFull) | (nBits % 80 + 990) << 52;  // near 1
    double d;
    std::memcpy(&d, &nBits, sizeof d);
    if (std::isfinite(d)) values.push_back(d);
  }
  std::vector<std::string> texts = elementsOf(values, writeJsonDouble);
  int nFailures = 0;
  for (std::size_t i = 0; i < texts.size() && nFailures < 10; i++) {
    const std::string& text = texts[i];
    double dBack = std::strtod(text.c_str(), nullptr);
    bool bExact = std::memcmp(&dBack, &values[i], sizeof dBack) == 0;
    // One digit fewer, correctly rounded, must not read back as the same.
    int nDigits = significantDigits(text);
    char szFewer[40];
    std::snprintf(szFewer, sizeof szFewer, "%.*e", nDigits - 2, values[i]);
    bool bShortest = nDigits == 1 || std::strtod(szFewer, nullptr) != values[i];
    bool bFloating = text.find_first_of(".e") != std::string::npos;
    if (!bExact || !bShortest || !bFloating) {
      nFailures++;
      ADD_FAILURE() << text << " for " << szFewer;
    }
  }
}

// The escaped form that every JSON reader reads back as the character c.
std::string escapeOf(unsigned c) {
  static const std::map<unsigned, std::string> kShort = {
      {'"', "\\\""}, {'\\', "\\\\"}, {'\b', "\\b"}, {'\f', "\\f"},
      {'\n', "\\n"}, {'\r', "\\r"},  {'\t', "\\t"}};
  if (kShort.count(c) != 0) return kShort.at(c);
  char szEscape[16];
  std::snprintf(szEscape, sizeof szEscape, "\\u%04x", c);
  return szEscape;
}

std::string stringOf(const std::string& bytes) {
  std::string text =
      jsonOf([&](JsonWriter& json) { writeJsonString(json, bytes.data(), bytes.size()); });
  return text.substr(1, text.size() - 3);  // without the quotation marks and the line feed
}

TEST(JsonStringTest, EscapesQuotesBackslashesAndControlCharacters) {
  struct Case {
    std::string bytes;
    std::string text;
  };
  const Case kCases[] = {
      {"plain C:\\Users/alice", "plain C:\\\\Users/alice"},
      {"say \"hi\"", "say \\\"hi\\\""},
      {"a\tb\nc\rd\be\ff", "a\\tb\\nc\\rd\\be\\ff"},
      {"\x01\x1f\x20\x7e\x7f"s, "\\u0001\\u001f ~\\u007f"},
      {"nul\0inside"s, "nul\\u0000inside"},
      {"\xC2\x80\xC2\x9F\xC2\xA0"s,
       "\\u0080\\u009f\xC2\xA0"},  // C1 controls, then a no-break space
      {"", ""},
  };
  for (const Case& c : kCases) EXPECT_EQ(stringOf(c.bytes), c.text) << c.text;
  EXPECT_EQ(jsonOf([](JsonWriter& json) { writeJsonString(json, "a\"b"); }), "\"a\\\"b\"\n");
}

TEST(JsonStringTest, PassesValidUtf8AndReplacesEachInvalidByte) {
  struct Case {
    std::string bytes;
    std::string text;
  };
  const std::string k2 = kFffd + kFffd;
  const Case kCases[] = {
      // The first and last code point of each length, and around the surrogates.
      {"\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF",
       "\\u0080\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF"},
      {"\xF0\x90\x80\x80 \xF4\x8F\xBF\xBF", "\xF0\x90\x80\x80 \xF4\x8F\xBF\xBF"},
      {"C:\\Gr\xFC\xDF.txt", "C:\\\\Gr" + k2 + ".txt"},  // a console code page
      // Overlong forms of /, U+07FF and U+FFFF; surrogates; past U+10FFFF.
      {"\xC0\xAF\xE0\x9F\xBF\xF0\x8F\xBF\xBF", k2 + kFffd + k2 + k2 + k2},
      {"\xED\xA0\x80\xED\xBF\xBF\xF4\x90\x80\x80", k2 + k2 + k2 + k2 + k2},
      // Bytes that never start a sequence; sequences cut short by the end or another character.
      {"a\x80\xBF\xF5\xFF", "a" + k2 + k2},
      {"\xE2\x82x\xE2\x82\xAC\xF0\x9F\x98", k2 + "x\xE2\x82\xAC" + k2 + kFffd},
      {"\xC3\"", kFffd + "\\\""},
  };
  for (const Case& c : kCases) EXPECT_EQ(stringOf(c.bytes), c.text) << c.text;
}

// The JSON text of a string, decoded the other way round from the writer:
// the lead byte gives the length, the continuation bytes the code point, and
// the code point's value decides whether the sequence was valid. An invalid
// one is replaced for its first byte alone, and decoding goes on after it.
std::string referenceStringText(const std::string& bytes) {
  static const unsigned kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
  std::string text;
  for (std::size_t i = 0; i < bytes.size();) {
    unsigned char b = static_cast<unsigned char>(bytes[i]);
    std::size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    unsigned cp = n == 1 ? b : b & (0x7F >> n);
    bool bValid = n != 0 && i + n <= bytes.size();
    for (std::size_t k = 1; bValid && k < n; k++) {
      unsigned char c = static_cast<unsigned char>(bytes[i + k]);
      bValid = (c & 0xC0) == 0x80;
      cp = cp << 6 | (c & 0x3F);
    }
    bValid = bValid && cp >= kMinimum[n] && !(cp >= 0xD800 && cp <= 0xDFFF) && cp <= 0x10FFFF;
    if (!bValid) {
      text += kFffd;
      i++;
    } else {
      bool bEscaped = cp < 0x20 || cp == '"' || cp == '\\' || (cp >= 0x7F && cp <= 0x9F);
      text += bEscaped ? escapeOf(cp) : bytes.substr(i, n);
      i += n;
    }
  }
  return text;
}

TEST(JsonStringTest, AgreesWithAReferenceDecoderOnEveryShortStringOfTellingBytes) {
  const unsigned char kBytes[] = {0x00, 0x1F, 0x22, 0x41, 0x5C, 0x7F, 0x80, 0x8F, 0x90,
                                  0x9F, 0xA0, 0xBF, 0xC0, 0xC1, 0xC2, 0xDF, 0xE0, 0xE1,
                                  0xED, 0xEF, 0xF0, 0xF3, 0xF4, 0xF5, 0xFF};
  const std::size_t nBytes = sizeof kBytes;
  std::vector<std::string> strings;
  for (std::size_t nLength = 1; nLength <= 4; nLength++) {
    std::size_t nCount = 1;
    for (std::size_t i = 0; i < nLength; i++) nCount *= nBytes;
    for (std::size_t nIndex = 0; nIndex < nCount; nIndex++) {
      std::string bytes;
      for (std::size_t n = nIndex, i = 0; i < nLength; i++, n /= nBytes) {
        bytes += static_cast<char>(kBytes[n % nBytes]);
      }
      strings.push_back(bytes);
    }
  }
  std::string text = jsonOf([&](JsonWriter& json) {
    beginJsonArray(json);
    for (const std::string& bytes : strings) writeJsonString(json, bytes.data(), bytes.size());
    endJsonArray(json);
  });
  std::vector<std::string> lines = linesOf(text);
  ASSERT_EQ(lines.size(), strings.size() + 2);
  int nFailures = 0;
  for (std::size_t i = 0; i < strings.size() && nFailures < 10; i++) {
    std::string expected = "  \"" + referenceStringText(strings[i]) + "\"";
    if (i + 1 < strings.size()) expected += ",";
    if (lines[i + 1] != expected) {
      nFailures++;
      ADD_FAILURE() << "string " << i << ": " << lines[i + 1] << " instead of " << expected;
    }
  }
}

TEST(JsonWriterTest, LaysOutNestedContainersOneMemberALine) {
  // The layout that JSON tools write with an indentation of two blanks.
  std::string text = jsonOf([](JsonWriter& json) {
    beginJsonObject(json);
    writeJsonKey(json, "format");
    writeJsonUint(json, 1);
    writeJsonKey(json, "classes");
    beginJsonArray(json);
    for (int i = 0; i < 2; i++) {
      beginJsonObject(json);
      writeJsonKey(json, "label");
      writeJsonString(json, i == 0 ? "0..< 1KB" : "100KB and up");
      writeJsonKey(json, "seconds");
      writeJsonDouble(json, i * 1.5);
      endJsonObject(json);
    }
    endJsonArray(json);
    writeJsonKey(json, "warnings");
    beginJsonArray(json);
    endJsonArray(json);
    writeJsonKey(json, "window");
    beginJsonObject(json);
    endJsonObject(json);
    writeJsonKey(json, "nested");
    beginJsonArray(json);
    beginJsonArray(json);
    writeJsonNull(json);
    writeJsonBool(json, true);
    endJsonArray(json);
    writeJsonBool(json, false);
    endJsonArray(json);
    writeJsonKey(json, "quo\"te");
    writeJsonInt(json, -1);
    endJsonObject(json);
  });
  EXPECT_EQ(text,
            "{\n"
            "  \"format\": 1,\n"
            "  \"classes\": [\n"
            "    {\n"
            "      \"label\": \"0..< 1KB\",\n"
            "      \"seconds\": 0.0\n"
            "    },\n"
            "    {\n"
            "      \"label\": \"100KB and up\",\n"
            "      \"seconds\": 1.5\n"
            "    }\n"
            "  ],\n"
            "  \"warnings\": [],\n"
            "  \"window\": {},\n"
            "  \"nested\": [\n"
            "    [\n"
            "      null,\n"
            "      true\n"
            "    ],\n"
            "    false\n"
            "  ],\n"
            "  \"quo\\\"te\": -1\n"
            "}\n");
}

// Makes the calls that a script names: { } [ ] open and close, k writes the
// key "k", 1 the number 1, n null.
void runScript(JsonWriter& json, const std::string& script) {
  for (char c : script) {
    if (c == '{') beginJsonObject(json);
    if (c == '}') endJsonObject(json);
    if (c == '[') beginJsonArray(json);
    if (c == ']') endJsonArray(json);
    if (c == 'k') writeJsonKey(json, "k");
    if (c == '1') writeJsonUint(json, 1);
    if (c == 'n') writeJsonNull(json);
  }
}

TEST(JsonWriterTest, NestsToItsFullDepthAndRefusesCallsOutOfOrder) {
  const int nDepth = JsonWriter::kMaxDepth;
  std::string opened = "[";  // the text of nDepth arrays opened
  for (int i = 1; i < nDepth; i++) opened += "\n" + std::string(2 * i, ' ') + "[";
  std::string deepest = jsonOf([&](JsonWriter& json) {
    runScript(json, std::string(nDepth, '[') + "1" + std::string(nDepth, ']'));
  });
  EXPECT_EQ(deepest.substr(0, opened.size()), opened);
  EXPECT_EQ(linesOf(deepest).at(nDepth), std::string(2 * nDepth, ' ') + "1");

  struct Case {
    std::string script;
    std::string text;  // what was written before the call out of order, which writes nothing
  };
  const Case kCases[] = {
      {"{1", "{"},                             // a value without its key
      {"[k", "["},                             // a key in an array
      {"k", ""},                               // a key outside any container
      {"{kk", "{\n  \"k\": "},                 // two keys in a row
      {"{k}", "{\n  \"k\": "},                 // an object closed with its key waiting
      {"[}", "["},                             // an array closed as an object
      {"]", ""},                               // an end with nothing open
      {"nn", "null\n"},                        // a second top-level value
      {"[k1]", "["},                           // anything after a misuse
      {"{", "{"},                              // an open container is not complete
      {std::string(nDepth + 1, '['), opened},  // a container too deep
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(jsonOf([&](JsonWriter& json) { runScript(json, c.script); }, false), c.text)
        << c.script;
  }
}

}  // namespace
