// A pull tokenizer for JSON read from a byte stream in blocks.
//
// Two readers build on it: the one of disk-usage exports (hundreds of
// megabytes of nested arrays of small objects) and the one of plomet's own
// reports (small documents one after another on standard input, or one a
// line). So memory stays the same whatever the document's size, the caller
// hands the stream in blocks of any size, and a stream may hold several
// top-level values one after another.
//
// The caller owns the blocks: feedJson hands one over, nextJsonToken hands
// back one token at a time, and says kNeedMore when the block is used up;
// the caller then feeds the next block, or calls endJsonInput when there is
// none. A token's text lives in the tokenizer, so a block may be reused as
// soon as kNeedMore came back.
//
// What is delivered:
//  - Strings and keys unescaped: \uXXXX escapes become UTF-8, a surrogate
//    pair one code point, and a lone or mismatched surrogate U+FFFD. Bytes of
//    the document that are not valid UTF-8 are passed through as they stand
//    and flagged, not rejected: exports keep file names' bytes as the disk
//    has them.
//  - A string longer than kMaxPiece bytes comes in pieces of at most
//    kMaxPiece bytes, each flagged bMore but the last; a piece never splits a
//    valid UTF-8 sequence. Nothing of a string is lost, whatever its length.
//  - Numbers as their text, and also as an exact integer when they are one.
//    A number longer than kMaxPiece characters is rejected.
//
// It is strict: anything RFC 8259 rejects (a trailing comma, a leading zero,
// a raw control character in a string, a single quote, ...) is an error with
// the byte offset where it shows and a reason, and the tokenizer stays in
// error. Top-level values follow one another separated by white space
// (containers and strings need none); a UTF-8 byte-order mark at the very
// start is passed over. A stream that ends inside a value ends "early": all
// tokens handed out so far were complete, and a number cut by the end (it
// might have had more digits) is not handed out.
//
// All state lives in the JsonPull the caller passes; none is program-wide.
#ifndef PLOMET_ESTIMATOR_SOURCES_JSONPULL_H_
#define PLOMET_ESTIMATOR_SOURCES_JSONPULL_H_

#include <cstddef>
#include <cstdint>
#include <cstring>

/// What nextJsonToken found.
enum class JsonKind : std::uint8_t {
  kNeedMore,     // the block is used up: feed the next one, or end the input
  kBeginObject,  // {
  kEndObject,    // }
  kBeginArray,   // [
  kEndArray,     // ]
  kKey,          // a member's name (or a piece of it)
  kString,       // a string value (or a piece of it)
  kNumber,
  kTrue,
  kFalse,
  kNull,
  kEnd,         // the input ended between top-level values (or held none)
  kEndedEarly,  // the input ended inside a value; szReason says where
  kError,       // malformed JSON at nOffset; szReason says why
};

/// One token. Its text stays valid until the next call on the same JsonPull.
struct JsonToken {
  JsonKind kind = JsonKind::kEnd;
  const char* pText = nullptr;     // kKey, kString: the unescaped bytes of this
                                   // piece; kNumber: its text; NUL-ended, though a
                                   // string may hold NULs (from \u0000) too
  std::size_t nLength = 0;         // bytes at pText
  bool bMore = false;              // kKey, kString: another piece of it follows
  bool bNotUtf8 = false;           // kKey, kString: this piece holds bytes of the
                                   // document that are not valid UTF-8
  bool bUint = false;              // kNumber: an integer from 0 to 2^64-1 ...
  std::uint64_t nUint = 0;         // ... whose exact value this is
  bool bInt = false;               // kNumber: an integer from -2^63 to 2^63-1 ...
  std::int64_t nInt = 0;           // ... whose exact value this is
  bool bEndsValue = false;         // this token completes a top-level value
  int nDepth = 0;                  // containers around the token (around the
                                   // container itself for kBegin* and kEnd*)
  std::uint64_t nOffset = 0;       // stream offset of the token's first byte (of
                                   // the opening quote for every piece); for
                                   // kError the offending byte, for kEnd and
                                   // kEndedEarly the stream's length
  std::uint64_t nEnd = 0;          // stream offset just past the bytes read for it
  const char* szReason = nullptr;  // kError, kEndedEarly: why, in a few words
};

/// The tokenizer's state. Start each stream from a default-made one (a
/// stream read one line at a time after an error may start afresh each line).
struct JsonPull {
  static constexpr int kMaxDepth = 256;           // deeper nesting is an error
  static constexpr std::size_t kMaxPiece = 4096;  // bytes of text per token

  // The block being read.
  const unsigned char* pBlock = nullptr;
  std::size_t nBlock = 0;
  std::size_t nPos = 0;
  std::uint64_t nBlockStart = 0;  // stream offset of the block's first byte
  bool bInputEnded = false;

  // Where the grammar stands.
  std::uint8_t nExpect = 0;  // what may come next (see jsonpull.cpp)
  int nDepth = 0;
  bool abObject[kMaxDepth] = {};  // each open container: object, or array
  bool bSeparatorDue = false;     // a top-level number or literal just ended

  // The token being read across blocks.
  std::uint8_t nLexeme = 0;          // none, string, number, literal (see jsonpull.cpp)
  std::uint8_t nStep = 0;            // the lexeme's inner state
  std::uint8_t nEscapeDigits = 0;    // \u digits read so far
  std::uint32_t nCodeUnit = 0;       // the \u escape's value so far
  std::uint32_t nHighSurrogate = 0;  // a \uD800-\uDBFF waiting for its pair
  std::uint8_t nUtf8Left = 0;        // continuation bytes a raw sequence still needs
  std::uint8_t nUtf8Low = 0x80;      // range of the next continuation byte
  std::uint8_t nUtf8High = 0xBF;
  bool bKey = false;                // the string is a member's name
  bool bNegative = false;           // the number has a minus sign
  bool bIntegral = true;            // no fraction or exponent so far
  bool bFits = true;                // its digits fit 64 bits so far
  std::uint64_t nMagnitude = 0;     // its digits' value so far
  const char* szLiteral = nullptr;  // the literal being matched
  JsonKind literalKind = JsonKind::kNull;
  std::uint64_t nTokenStart = 0;  // stream offset where the lexeme began

  // The text of the token: a string piece or a number.
  std::size_t nText = 0;
  bool bTextNotUtf8 = false;
  char aText[kMaxPiece + 1] = {};

  // A kError or kEndedEarly, given again on every later call.
  bool bFinished = false;
  JsonToken last;
};

/// Hands over the next n bytes of the stream: before the first token, and
/// then only after nextJsonToken returned kNeedMore (the block before is used
/// up). The bytes must stay valid and unchanged until the next kNeedMore; a
/// block may be empty.
void feedJson(JsonPull& json, const char* p, std::size_t n);

/// Tells that no block follows the last one fed.
void endJsonInput(JsonPull& json);

/// Starts a new stream, as a default-made JsonPull would, without clearing
/// its buffers: for a reader of many small documents (one a line), at the
/// cost of a few fields rather than the whole struct's.
void restartJson(JsonPull& json);

/// Reads the next token into token and returns its kind: kNeedMore when the
/// block fed last is used up and the input was not ended; kEnd, and
/// again on every later call, when the input ended between top-level values;
/// kEndedEarly when it ended inside one, and kError at malformed JSON, both
/// again on every later call.
JsonKind nextJsonToken(JsonPull& json, JsonToken& token);

/// A member of an object read at once by pullPlainObject: its key, and its
/// value as nextJsonToken gives it (kString, kNumber, kTrue, kFalse or
/// kNull) but for its offsets and depth, which are not set. The texts lie in
/// the block fed last and are not NUL-ended.
struct JsonMember {
  const char* pKey = nullptr;
  std::size_t nKey = 0;
  JsonToken value;
};

/// The most members pullPlainObject reads at once.
const int kMaxPlainMembers = 16;

/// Passes the fixed text szText at p, for an object read by its fixed keys:
/// returns the byte after it, or nullptr when it does not stand there before
/// pEnd or p is nullptr (a step before failed). A fixed text costs a word
/// compare or two, where members read one by one cost a key's search and
/// its lookup each.
template <std::size_t N>
inline const char* passJsonText(const char* p, const char* pEnd, const char (&szText)[N]) {
  constexpr std::size_t n = N - 1;
  bool bThere =
      p != nullptr && static_cast<std::size_t>(pEnd - p) >= n && std::memcmp(p, szText, n) == 0;
  return bThere ? p + n : nullptr;
}

/// Returns the closing quote of a plain string whose text starts at p (past
/// its opening quote): printable ASCII without a backslash, fewer than
/// kMaxPiece bytes, whole before pEnd. Returns nullptr for any other string.
const unsigned char* jsonPlainStringEnd(const unsigned char* p, const unsigned char* pEnd);

/// Reads an object at once where nextJsonToken would read it token by token
/// (after the comma that follows the element before, if that is next), when
/// it is an element of an array, lies whole in the block fed last, and
/// is plain: at most kMaxPlainMembers members, keys and string values of
/// printable ASCII without escapes and at most kMaxPiece bytes, the other
/// values integers of at most 20 digits (no fraction or exponent), true,
/// false or null. Returns the number of members put in aMembers, the
/// tokenizer standing as after the object's kEndObject; or -1, having read
/// nothing (the tokenizer then reads the object, and finds any fault in it).
int pullPlainObject(JsonPull& json, JsonMember* aMembers);

/// Where pullPlainObject would read an object: its '{' in the block fed
/// last, or nullptr when the tokenizer does not stand before an element
/// that is one. Nothing is read.
const char* plainObjectStart(const JsonPull& json);

/// Reads a plain object (as pullPlainObject says) that begins at pObject
/// ('{') and lies whole before pEnd, into aMembers and nMembers. Returns the
/// byte after it, or nullptr when it is not plain or not whole: the same for
/// the same bytes, wherever they are read.
const char* readPlainJsonObject(const char* pObject, const char* pEnd, JsonMember* aMembers,
                                int& nMembers);

/// Passes over the object at plainObjectStart that ends just before pAfter,
/// as pullPlainObject passes over an object it read.
void passPlainObject(JsonPull& json, const char* pAfter);

/// Returns the name of a kind, such as "kBeginObject", for messages.
const char* jsonKindName(JsonKind kind);

#endif  // PLOMET_ESTIMATOR_SOURCES_JSONPULL_H_
