#include "sources/compressed.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sources/reader.h"

#ifdef PLOMET_HAVE_ZLIB
#include <zlib.h>
#endif
#ifdef PLOMET_HAVE_ZSTD
#include <zstd.h>
#endif

namespace {

std::FILE* fileWith(const std::string& bytes) {
  std::FILE* stream = std::tmpfile();
  EXPECT_NE(stream, nullptr);
  EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), stream), bytes.size());
  std::rewind(stream);
  return stream;
}

// Lines of every length around the reader's and the decompressor's buffers,
// with sizes in them, so that a byte lost or doubled shows.
std::string sampleText(std::size_t nLines) {
  std::string text;
  for (std::size_t i = 0; i < nLines; i++) {
    text += "03/14/2024  03:15 PM " + std::to_string(i * 7919 % 100003) + " file" +
            std::string(i % 97, 'x') + ".txt\r\n";
  }
  return text;
}

struct Decoded {
  std::string text;
  std::string sError;  // decompressError, or ""
  std::uint64_t nFileBytes = 0;
};

// Decompresses the bytes, nChunk bytes a read, from their first kMagicSize
// bytes on, as the reader starts it.
Decoded decode(const std::string& bytes, std::size_t nChunk) {
  std::FILE* stream = fileWith(bytes);
  unsigned char aHead[kMagicSize];
  std::size_t nHead = std::fread(aHead, 1, sizeof aHead, stream);
  DecompressorPtr d = startDecompressing(compressionOf(aHead, nHead), stream, aHead, nHead);
  Decoded out;
  std::vector<unsigned char> chunk(nChunk);
  for (;;) {
    std::size_t n = readDecompressed(*d, chunk.data(), nChunk);
    out.text.append(reinterpret_cast<const char*>(chunk.data()), n);
    if (n < nChunk) break;
  }
  EXPECT_EQ(readDecompressed(*d, chunk.data(), nChunk), 0u) << "nothing after the end";
  if (decompressError(*d) != nullptr) out.sError = decompressError(*d);
  out.nFileBytes = compressedBytesRead(*d);
  std::fclose(stream);
  return out;
}

// Reads the bytes as a listing: its lines, each with its line feed, and the
// reader's error text.
std::string readLines(const std::string& bytes, std::string& sError) {
  static Reader* pReader = new Reader();
  std::FILE* stream = fileWith(bytes);
  startReading(*pReader, stream);
  std::string lines;
  Piece piece;
  while (readPiece(*pReader, piece)) {
    lines.append(piece.szText, piece.nLength);
    if (piece.bLineFeed) lines += '\n';
  }
  sError = readErrorText(*pReader) != nullptr ? readErrorText(*pReader) : "";
  std::fclose(stream);
  return lines;
}

std::string crlfToLf(std::string text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); i++) {
    if (text[i] != '\r' || i + 1 == text.size() || text[i + 1] != '\n') out += text[i];
  }
  return out;
}

TEST(CompressionTest, IsKnownByItsMagicAlone) {
  struct Case {
    std::string bytes;
    Compression expected;
  } aCases[] = {
      {"\x1F\x8B\x08", Compression::kGzip},
      {"\x1F\x8B\x08\x00rest", Compression::kGzip},
      {"\x1F\x8B", Compression::kNone},          // cut before the method
      {"\x1F\x8B\x07\x00", Compression::kNone},  // a method gzip never wrote
      {"\x28\xB5\x2F\xFD", Compression::kZstd},
      {"\x28\xB5\x2F", Compression::kNone},
      {"\x28\xB5\x2F\xFC", Compression::kNone},
      {"\x50\x2A\x4D\x18", Compression::kZstd},  // skippable frames 0x184D2A50 ...
      {"\x5F\x2A\x4D\x18", Compression::kZstd},  // ... to 0x184D2A5F
      {"\x60\x2A\x4D\x18", Compression::kNone},
      {"\x4F\x2A\x4D\x18", Compression::kNone},
      {"\xEF\xBB\xBF\x1F", Compression::kNone},  // a byte-order mark: text
      {"\xFF\xFE\x1F\x00", Compression::kNone},
      {"03/14/2024", Compression::kNone},
      {"", Compression::kNone},
  };
  for (const Case& c : aCases) {
    const auto* p = reinterpret_cast<const unsigned char*>(c.bytes.data());
    EXPECT_EQ(compressionOf(p, c.bytes.size()), c.expected) << testing::PrintToString(c.bytes);
  }
}

#ifdef PLOMET_HAVE_ZLIB
std::string gzipOf(const std::string& text, int nLevel = 6) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, nLevel, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&z, text.size()) + 64, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(&out[0]);
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

TEST(GzipTest, ReadsWholeInEveryReadSize) {
  // Larger than the input buffer (64 KiB) compressed, and than the reader's
  // block (1 MiB) decompressed; level 0 keeps the compressed size large.
  const std::string text = sampleText(30000);
  ASSERT_GT(text.size(), std::size_t{1} << 20);
  for (int nLevel : {0, 6}) {
    std::string gz = gzipOf(text, nLevel);
    for (std::size_t nChunk : {std::size_t{1}, std::size_t{7}, std::size_t{4096},
                               std::size_t{1} << 16, std::size_t{1} << 20}) {
      if (nChunk < 4096 && nLevel == 0) continue;  // slow, and no different
      Decoded out = decode(gz, nChunk);
      EXPECT_EQ(out.sError, "") << nChunk;
      EXPECT_EQ(out.text.size(), text.size()) << nChunk;
      EXPECT_TRUE(out.text == text) << nChunk;
      EXPECT_EQ(out.nFileBytes, gz.size()) << "the progress counts the compressed bytes";
    }
  }
}

TEST(GzipTest, JoinedMembersAndPaddingReadAsOneText) {
  const std::string a = "first member\n";
  const std::string b = "second member\n";
  struct Case {
    std::string bytes;
    std::string text;
    std::string sError;
  } aCases[] = {
      {gzipOf(a) + gzipOf(b), a + b, ""},
      {gzipOf(a) + gzipOf("") + gzipOf(b), a + b, ""},  // an empty member between
      {gzipOf(""), "", ""},
      {gzipOf(a) + std::string(100, '\0'), a, ""},  // zero padding, as tapes leave
      {gzipOf(a) + "garbage", a,
       "the gzip stream is followed by bytes that are not gzip (the file is damaged)"},
      {gzipOf(a) + std::string(3, '\0') + gzipOf(b), a,
       "the gzip stream is followed by bytes that are not gzip (the file is damaged)"},
      {gzipOf(a) + "\x1F\x8B", a, "the gzip stream ends early (the file is cut off)"},
      {gzipOf(a) + "\x1Fxyz", a, "the gzip stream is corrupt (incorrect header check)"},
  };
  for (const Case& c : aCases) {
    for (std::size_t nChunk : {std::size_t{1}, std::size_t{5}, std::size_t{1} << 20}) {
      Decoded out = decode(c.bytes, nChunk);
      EXPECT_EQ(out.text, c.text) << c.text << " " << nChunk;
      EXPECT_EQ(out.sError, c.sError) << c.text << " " << nChunk;
    }
  }
}

TEST(GzipTest, EveryCutOrFlippedByteIsAnErrorAndTheTextBeforeItIsExact) {
  const std::string text = sampleText(200);
  const std::string gz = gzipOf(text);
  for (std::size_t nCut = kMagicSize; nCut < gz.size(); nCut++) {
    Decoded out = decode(gz.substr(0, nCut), 4096);
    EXPECT_EQ(out.sError, "the gzip stream ends early (the file is cut off)") << nCut;
    EXPECT_EQ(text.compare(0, out.text.size(), out.text), 0) << nCut;
  }
  // A byte changed in the data or the trailer fails a check (the header's
  // time and flags are not checked): never a text read whole.
  for (std::size_t nAt = 10; nAt < gz.size(); nAt += 7) {
    std::string bad = gz;
    bad[nAt] = static_cast<char>(bad[nAt] ^ 0x10);
    Decoded out = decode(bad, 4096);
    EXPECT_TRUE(out.sError.rfind("the gzip stream is corrupt (", 0) == 0 ||
                out.sError == "the gzip stream ends early (the file is cut off)")
        << nAt << " " << out.sError;
  }
}

TEST(GzipTest, TheReaderReadsItsLinesAsThePlainListingsAndSaysWhyItStopped) {
  const std::string text = sampleText(3000);
  std::string sError;
  EXPECT_EQ(readLines(gzipOf(text), sError), crlfToLf(text));
  EXPECT_EQ(sError, "");
  // UTF-16 inside gzip: decompressed first, then decoded.
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("10/01/2024  10:00 AM 5120 a.txt\r\n")) utf16 += {c, '\0'};
  EXPECT_EQ(readLines(gzipOf(utf16), sError), "10/01/2024  10:00 AM 5120 a.txt\n");
  // Cut off: the whole lines before the cut, then the error.
  std::string gz = gzipOf(text);
  std::string lines = readLines(gz.substr(0, gz.size() / 2), sError);
  EXPECT_EQ(sError, "the gzip stream ends early (the file is cut off)");
  EXPECT_FALSE(lines.empty());
  EXPECT_EQ(crlfToLf(text).compare(0, lines.size() - 1, lines, 0, lines.size() - 1), 0);
}
#endif

#ifdef PLOMET_HAVE_ZSTD
std::string zstdOf(const std::string& text, bool bContentSize = true) {
  ZSTD_CCtx* pCtx = ZSTD_createCCtx();
  ZSTD_CCtx_setParameter(pCtx, ZSTD_c_checksumFlag, 1);
  ZSTD_CCtx_setParameter(pCtx, ZSTD_c_contentSizeFlag, bContentSize ? 1 : 0);
  std::string out(ZSTD_compressBound(text.size()), '\0');
  std::size_t n = ZSTD_compress2(pCtx, &out[0], out.size(), text.data(), text.size());
  EXPECT_FALSE(ZSTD_isError(n));
  ZSTD_freeCCtx(pCtx);
  out.resize(n);
  return out;
}

TEST(ZstdTest, FramesSkippableFramesAndCutsReadAsZstdDoes) {
  const std::string a = sampleText(5000);
  const std::string b = "the last frame\n";
  const std::string skippable = std::string("\x50\x2A\x4D\x18\x03\x00\x00\x00xyz", 11);
  const char* szCut = "the zstd stream ends early (the file is cut off)";
  struct Case {
    std::string bytes;
    std::string text;
    std::string sError;
  } aCases[] = {
      {zstdOf(a), a, ""},
      {zstdOf(a, false), a, ""},
      {zstdOf(a) + zstdOf(b), a + b, ""},
      {skippable + zstdOf(b), b, ""},
      {zstdOf(b) + skippable, b, ""},
      {zstdOf(b).substr(0, 4), "", szCut},
      {zstdOf(b).substr(0, zstdOf(b).size() - 1), b, szCut},  // the checksum cut
      {zstdOf(b) + "junk", b, "the zstd stream is corrupt (Unknown frame descriptor)"},
  };
  for (const Case& c : aCases) {
    for (std::size_t nChunk : {std::size_t{1}, std::size_t{4096}, std::size_t{1} << 20}) {
      if (nChunk == 1 && c.text.size() > 1000) continue;
      Decoded out = decode(c.bytes, nChunk);
      EXPECT_TRUE(out.text == c.text) << c.bytes.size() << " " << nChunk;
      EXPECT_EQ(out.sError, c.sError) << c.bytes.size() << " " << nChunk;
    }
  }
  const std::string z = zstdOf(sampleText(300));
  for (std::size_t nCut = kMagicSize; nCut < z.size(); nCut += 3) {
    EXPECT_EQ(decode(z.substr(0, nCut), 4096).sError, szCut) << nCut;
  }
}

TEST(ZstdTest, TheReaderReadsItsLines) {
  const std::string text = sampleText(40000);
  std::string sError;
  EXPECT_TRUE(readLines(zstdOf(text), sError) == crlfToLf(text));
  EXPECT_EQ(sError, "");
}
#endif

}  // namespace
