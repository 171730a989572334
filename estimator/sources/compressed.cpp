// The decompression of compressed.h: zlib for gzip, libzstd for zstd, each
// fed from one fixed input buffer and writing straight into the reader's.
#include "sources/compressed.h"

#include <cerrno>
#include <cstring>

#ifdef PLOMET_HAVE_ZLIB
#include <zlib.h>
#endif
#ifdef PLOMET_HAVE_ZSTD
#include <zstd.h>
#endif

namespace {

// The compressed bytes read from the file at a time.
const std::size_t kInputSize = std::size_t{1} << 16;

}  // namespace

struct Decompressor {
  Compression format = Compression::kNone;
  std::FILE* pStream = nullptr;
  std::uint64_t nFileBytes = 0;  // taken from the file, the head included
  int nErrno = 0;
  const char* szError = nullptr;
  char szMessage[200] = {};  // an error with the library's words in it
  bool bFileEnded = false;
  bool bDone = false;  // the text ended: nothing more is handed out
  // gzip: the last member ended, and whatever follows must be another one
  // or zero bytes of padding.
  bool bBetweenMembers = false;
  bool bPadding = false;  // zero bytes followed the last member
#ifdef PLOMET_HAVE_ZLIB
  z_stream z{};
  bool bZlibStarted = false;
#endif
#ifdef PLOMET_HAVE_ZSTD
  ZSTD_DStream* pZstd = nullptr;
  std::size_t nZstdHint = 0;  // the last call's return: 0 when a frame ended whole
#endif
  std::size_t nInPos = 0;
  std::size_t nInEnd = 0;
  unsigned char aIn[kInputSize];
};

namespace {

// Ends the text, with the reason.
void fail(Decompressor& d, const char* szError) {
  d.szError = szError;
  d.bDone = true;
}

void failWith(Decompressor& d, const char* szFormat, const char* szDetail) {
  std::snprintf(d.szMessage, sizeof d.szMessage, szFormat, szDetail);
  fail(d, d.szMessage);
}

// Reads more of the file into the input buffer once it is used up.
void fillInput(Decompressor& d) {
  if (d.nInPos < d.nInEnd || d.bFileEnded) return;
  errno = 0;
  std::size_t nRead = std::fread(d.aIn, 1, kInputSize, d.pStream);
  d.nFileBytes += nRead;
  d.nInPos = 0;
  d.nInEnd = nRead;
  if (nRead < kInputSize) {
    d.bFileEnded = true;
    if (std::ferror(d.pStream)) d.nErrno = errno != 0 ? errno : EIO;
  }
}

#ifdef PLOMET_HAVE_ZLIB
// Between two gzip members: zero bytes of padding are passed over, as gzip
// does; anything else must begin the next member. Returns true when a member
// is to be read next.
bool startNextMember(Decompressor& d) {
  while (d.nInPos < d.nInEnd && d.aIn[d.nInPos] == 0) {
    d.bPadding = true;
    d.nInPos++;
  }
  if (d.nInPos == d.nInEnd) return false;
  if (d.bPadding || d.aIn[d.nInPos] != 0x1F) {
    fail(d, "the gzip stream is followed by bytes that are not gzip (the file is damaged)");
    return false;
  }
  inflateReset(&d.z);
  d.bBetweenMembers = false;
  return true;
}

std::size_t readGzip(Decompressor& d, unsigned char* p, std::size_t n) {
  std::size_t nOut = 0;
  while (nOut < n && !d.bDone) {
    fillInput(d);
    if (d.nInPos == d.nInEnd) {  // the file ended
      if (d.nErrno == 0 && !d.bBetweenMembers) {
        fail(d, "the gzip stream ends early (the file is cut off)");
      }
      d.bDone = true;
      break;
    }
    if (d.bBetweenMembers && !startNextMember(d)) continue;
    d.z.next_in = d.aIn + d.nInPos;
    d.z.avail_in = static_cast<uInt>(d.nInEnd - d.nInPos);
    d.z.next_out = p + nOut;
    d.z.avail_out = static_cast<uInt>(n - nOut);
    int nResult = inflate(&d.z, Z_NO_FLUSH);
    d.nInPos = d.nInEnd - d.z.avail_in;
    nOut = n - d.z.avail_out;
    if (nResult == Z_STREAM_END) {
      d.bBetweenMembers = true;
    } else if (nResult != Z_OK && nResult != Z_BUF_ERROR) {
      failWith(d, "the gzip stream is corrupt (%s)",
               d.z.msg != nullptr ? d.z.msg : "not a deflate stream");
    }
  }
  return nOut;
}
#endif

#ifdef PLOMET_HAVE_ZSTD
std::size_t readZstd(Decompressor& d, unsigned char* p, std::size_t n) {
  std::size_t nOut = 0;
  while (nOut < n && !d.bDone) {
    fillInput(d);
    bool bNoInput = d.nInPos == d.nInEnd;
    ZSTD_inBuffer in{d.aIn, d.nInEnd, d.nInPos};
    ZSTD_outBuffer out{p, n, nOut};
    std::size_t nResult = ZSTD_decompressStream(d.pZstd, &out, &in);
    if (ZSTD_isError(nResult)) {
      failWith(d, "the zstd stream is corrupt (%s)", ZSTD_getErrorName(nResult));
      break;
    }
    bool bProgress = out.pos != nOut || in.pos != d.nInPos;
    d.nInPos = in.pos;
    nOut = out.pos;
    // Called again after a frame ended, it asks for the next frame's header.
    if (bProgress) d.nZstdHint = nResult;
    if (bNoInput && !bProgress) {  // the file ended, and all it held is out
      if (d.nErrno == 0 && d.nZstdHint != 0) {
        fail(d, "the zstd stream ends early (the file is cut off)");
      }
      d.bDone = true;
    }
  }
  return nOut;
}
#endif

}  // namespace

Compression compressionOf(const unsigned char* p, std::size_t n) {
  if (n >= 3 && p[0] == 0x1F && p[1] == 0x8B && p[2] == 0x08) return Compression::kGzip;
  if (n >= 4 && p[1] == 0xB5 && p[2] == 0x2F && p[3] == 0xFD && p[0] == 0x28) {
    return Compression::kZstd;
  }
  if (n >= 4 && (p[0] & 0xF0) == 0x50 && p[1] == 0x2A && p[2] == 0x4D && p[3] == 0x18) {
    return Compression::kZstd;  // a skippable frame first
  }
  return Compression::kNone;
}

const char* compressionsRead() {
#if defined(PLOMET_HAVE_ZLIB) && defined(PLOMET_HAVE_ZSTD)
  return "gzip and zstd";
#elif defined(PLOMET_HAVE_ZLIB)
  return "gzip";
#elif defined(PLOMET_HAVE_ZSTD)
  return "zstd";
#else
  return nullptr;
#endif
}

void DecompressorDeleter::operator()(Decompressor* p) const {
#ifdef PLOMET_HAVE_ZLIB
  if (p->bZlibStarted) inflateEnd(&p->z);
#endif
#ifdef PLOMET_HAVE_ZSTD
  ZSTD_freeDStream(p->pZstd);
#endif
  delete p;
}

DecompressorPtr startDecompressing(Compression format, std::FILE* stream,
                                   const unsigned char* pHead, std::size_t nHead) {
  DecompressorPtr d(new Decompressor());
  d->format = format;
  d->pStream = stream;
  nHead = nHead < kInputSize ? nHead : kInputSize;
  std::memcpy(d->aIn, pHead, nHead);
  d->nInEnd = nHead;
  d->nFileBytes = nHead;
  const char* szTool = format == Compression::kGzip ? "gzip" : "zstd";
#ifdef PLOMET_HAVE_ZLIB
  if (format == Compression::kGzip) {
    d->bZlibStarted = inflateInit2(&d->z, 16 + MAX_WBITS) == Z_OK;  // gzip members only
    if (!d->bZlibStarted) fail(*d, "the gzip stream cannot be read (zlib did not start)");
    return d;
  }
#endif
#ifdef PLOMET_HAVE_ZSTD
  if (format == Compression::kZstd) {
    d->pZstd = ZSTD_createDStream();
    if (d->pZstd == nullptr) fail(*d, "the zstd stream cannot be read (zstd did not start)");
    return d;
  }
#endif
  failWith(*d,
           "the listing is compressed with %s, which this build of plomet does not read: "
           "decompress it first and read the text",
           szTool);
  return d;
}

std::size_t readDecompressed(Decompressor& d, unsigned char* p, std::size_t n) {
  if (d.bDone || n == 0) return 0;
#ifdef PLOMET_HAVE_ZLIB
  if (d.format == Compression::kGzip) return readGzip(d, p, n);
#endif
#ifdef PLOMET_HAVE_ZSTD
  if (d.format == Compression::kZstd) return readZstd(d, p, n);
#endif
  (void)p;
  return 0;
}

std::uint64_t compressedBytesRead(const Decompressor& d) { return d.nFileBytes; }

Compression decompressorFormat(const Decompressor& d) { return d.format; }

int decompressErrno(const Decompressor& d) { return d.nErrno; }

const char* decompressError(const Decompressor& d) { return d.szError; }
