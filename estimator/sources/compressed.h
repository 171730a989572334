// Listings compressed with gzip or zstd, read as the text they hold.
//
// A listing is known to be compressed by its first bytes (the format's
// magic), never by its name, so a compressed listing on standard input or
// from a pipe reads as one from a file. The bytes are decompressed as they
// are read, through a fixed input buffer: memory stays the same whatever the
// listing's size. Several gzip members one after another (files joined with
// cat) and several zstd frames, skippable frames among them, read as one
// text, as gzip -dc and zstd -dc give it.
//
// The libraries are optional at build time (PLOMET_HAVE_ZLIB,
// PLOMET_HAVE_ZSTD): a listing in a format this build does not read is an
// error that says how to decompress it first.
#ifndef PLOMET_ESTIMATOR_SOURCES_COMPRESSED_H_
#define PLOMET_ESTIMATOR_SOURCES_COMPRESSED_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

/// What the first bytes of a file show.
enum class Compression : std::uint8_t { kNone, kGzip, kZstd };

/// The bytes needed to tell a compressed listing by its magic.
const std::size_t kMagicSize = 4;

/// Returns the compression that the first n bytes at p show: gzip (1F 8B
/// and the deflate method 08), zstd (a frame's magic 28 B5 2F FD, or a
/// skippable frame's 5? 2A 4D 18), or kNone.
Compression compressionOf(const unsigned char* p, std::size_t n);

/// Returns "gzip and zstd", "gzip", "zstd", or nullptr: the compressed
/// listings this build reads, for --version.
const char* compressionsRead();

/// One compressed stream being read: its library's state and its input
/// buffer, allocated once a listing is known to be compressed.
struct Decompressor;

struct DecompressorDeleter {
  void operator()(Decompressor* p) const;
};
using DecompressorPtr = std::unique_ptr<Decompressor, DecompressorDeleter>;

/// Starts decompressing the stream, in the given format, whose first nHead
/// bytes were already read (at pHead, copied). Never null: a format this
/// build does not read gives a decompressor whose reads fail and say so.
DecompressorPtr startDecompressing(Compression format, std::FILE* stream,
                                   const unsigned char* pHead, std::size_t nHead);

/// Reads up to n bytes of the text into p. Returns fewer only at the end of
/// the text: the stream's end, a read error (decompressErrno) or a stream
/// that is corrupt or cut off (decompressError); 0 from then on.
std::size_t readDecompressed(Decompressor& d, unsigned char* p, std::size_t n);

/// Returns the bytes taken from the file so far, the first ones included.
std::uint64_t compressedBytesRead(const Decompressor& d);

/// Returns the format d decompresses.
Compression decompressorFormat(const Decompressor& d);

/// Returns 0, or the error number of the file's read that failed.
int decompressErrno(const Decompressor& d);

/// Returns nullptr, or why the text ended before the stream's proper end:
/// "the gzip stream ends early (the file is cut off)", "the zstd stream is
/// corrupt (...)", ... Static text, or text kept in d.
const char* decompressError(const Decompressor& d);

#endif  // PLOMET_ESTIMATOR_SOURCES_COMPRESSED_H_
