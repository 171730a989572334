// A streaming JSON writer over standard output (output.h).
//
// The report for scripts is one JSON document written front to back, so the
// writer keeps only where it is: which containers are open and whether each
// already holds a member. It places the commas, the line feeds and the
// indentation (two blanks a level, one member per line, a final line feed),
// in the layout that most JSON tools use for indented output; an empty
// container is written as {} or [].
//
// Strings are always written as valid UTF-8: listings in a console code page
// hold bytes that are not UTF-8, and each such byte becomes U+FFFD.
//
// A call out of order (a value where a key is due, a key in an array, an end
// that does not match, nesting deeper than kMaxDepth, a second top-level
// value) writes nothing and marks the writer; jsonComplete tells.
#ifndef PLOMET_ESTIMATOR_JSON_H_
#define PLOMET_ESTIMATOR_JSON_H_

#include <cstddef>
#include <cstdint>

/// Where a JSON document stands. Start from a default-made one per document.
struct JsonWriter {
  static constexpr int kMaxDepth = 16;
  int nDepth = 0;                    // containers open
  bool abObject[kMaxDepth] = {};     // each open container: an object, or an array
  bool abHasMember[kMaxDepth] = {};  // each open container holds a member already
  bool bKeyWritten = false;          // a key waits for its value
  bool bDone = false;                // the top-level value is complete
  bool bMisused = false;             // a call was out of order and wrote nothing
};

/// Opens an object as the next value.
void beginJsonObject(JsonWriter& json);

/// Closes the innermost container, which must be an object with no key waiting.
void endJsonObject(JsonWriter& json);

/// Opens an array as the next value.
void beginJsonArray(JsonWriter& json);

/// Closes the innermost container, which must be an array.
void endJsonArray(JsonWriter& json);

/// Writes the key of the next member of the innermost container, an object.
/// The key's text is written as writeJsonString writes it.
void writeJsonKey(JsonWriter& json, const char* szKey);

/// Writes n bytes of text as a JSON string. Valid UTF-8 passes through; a
/// quotation mark, a backslash and the control characters (U+0000 to U+001F,
/// U+007F to U+009F) are escaped; every byte that is not part of a valid
/// UTF-8 sequence is written as U+FFFD. Overlong forms, surrogates (U+D800 to
/// U+DFFF) and code points past U+10FFFF are not valid UTF-8.
void writeJsonString(JsonWriter& json, const char* p, std::size_t n);

/// Writes the NUL-ended text sz as writeJsonString(json, sz, strlen(sz)).
void writeJsonString(JsonWriter& json, const char* sz);

/// Writes n as a JSON number, exactly, in decimal digits.
void writeJsonUint(JsonWriter& json, std::uint64_t n);

/// Writes n as a JSON number, exactly, with a minus sign when negative.
void writeJsonInt(JsonWriter& json, std::int64_t n);

/// Writes d as a JSON number that reads back as exactly d, with as few
/// significant digits as do so, and always with a fraction or an exponent
/// (1.0, 0.25, 1e+16, 5e-324) so that readers take it as a floating-point
/// number. Fixed notation for 1e-4 <= |d| < 1e16, an exponent otherwise.
/// A NaN or an infinity, which JSON cannot express, is written as null.
void writeJsonDouble(JsonWriter& json, double d);

/// Writes nWhole + nHundredths / 100 exactly as a JSON number with two
/// decimals, such as 1.39; nHundredths above 99 is taken as 99.
void writeJsonHundredths(JsonWriter& json, std::uint64_t nWhole, unsigned nHundredths);

/// Writes szNumber, which must be a JSON number (as rateNumberText makes),
/// as it is: a decimal given on the command line keeps all its digits.
void writeJsonNumberText(JsonWriter& json, const char* szNumber);

/// Writes true or false.
void writeJsonBool(JsonWriter& json, bool b);

/// Writes null.
void writeJsonNull(JsonWriter& json);

/// Returns the length of the valid UTF-8 sequence of 2 to 4 bytes that starts
/// at p, with nLeft (>= 1) bytes left, or 0 when none does: the rule by which
/// writeJsonString keeps or replaces bytes, for other writers of text.
std::size_t utf8SequenceLength(const unsigned char* p, std::size_t nLeft);

/// Returns true when one whole top-level value has been written and no call
/// was out of order, or false while a container is open or after a misuse.
bool jsonComplete(const JsonWriter& json);

#endif  // PLOMET_ESTIMATOR_JSON_H_
