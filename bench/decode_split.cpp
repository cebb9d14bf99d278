// Where an encoded package's install time goes: each step of the setup's
// work on it timed alone inside one Windows process (QueryPerformanceCounter),
// with the setup's own decoder and SHA-256 (linked from the build tree, built
// with the setup's flags).
//
//   decode_split.exe ENCODED DECODED TARGET OUTFILE [BASE]
//     ENCODED  the package as the setup carries it (header, zstd frame)
//     DECODED  the content file it decodes to
//     TARGET   a file to write (made anew, removed at the end)
//     BASE     a delta's installed file, mapped as the setup maps it
// appends "step seconds" lines to OUTFILE:
//   read     ENCODED read a MiB at a time (what the setup reads of its own file)
//   decode   ENCODED decoded, the bytes dropped (zstd alone; of a delta of
//            differences, its first frame: the alignment and the base's
//            bytes added in are the decode+hash's)
//   decode-again  the same into the same pages again (no first touches)
//   decode+hash   the setup's DecodedPackage: decoded, hashed, checked; a
//            package decoded into a view goes into the setup's view of a
//            staging file (TARGET), its room set aside first, as the setup does
//   hash     DECODED read and hashed (SHA-256 alone, read included)
//   write    DECODED read and written to TARGET in the decoder's pieces,
//            flushed (FlushFileBuffers), as the setup's write does
// Both decodings go as the setup's does: a delta, and a compressed package
// whose window spans the file, into one buffer of the whole decoded size
// (fresh pages for zstd alone; the setup's view of a staging file for the
// decode+hash), any other a piece at a time.
// Inputs come from the page cache: the caller has read them just before.
#include <windows.h>

// The stable output buffer is among the parameters zstd marks experimental.
#define ZSTD_STATIC_LINKING_ONLY
#include <zstd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "base/sha256.h"
#include "install/mapped_staging_file_win.h"
#include "install/package_encoding.h"

using namespace vespodar;

namespace {

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// A file read a piece at a time, each piece handed to take.
template <typename Take>
bool ReadPieces(const char* path, std::size_t pieceSize, Take take) {
  const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::vector<std::uint8_t> piece(pieceSize);
  bool ok = true;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, piece.data(), static_cast<DWORD>(piece.size()), &got, nullptr)) {
      ok = false;
      break;
    }
    if (got == 0) break;
    if (!take(piece.data(), static_cast<std::size_t>(got))) {
      ok = false;
      break;
    }
  }
  CloseHandle(file);
  return ok;
}

class FileSource : public PackageSource {
 public:
  explicit FileSource(const char* path) : path_(path) {}
  bool ForEachPiece(const TakeBytes& take, std::uint32_t* windowsError) override {
    *windowsError = 0;
    return ReadPieces(path_, 1 << 20,
                      [&](const std::uint8_t* data, std::size_t count) { return take(data, count); });
  }

 private:
  const char* path_;
};

class MappedBase : public PackageBase {
 public:
  explicit MappedBase(const char* path) {
    file_ = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file_ == INVALID_HANDLE_VALUE) return;
    LARGE_INTEGER size;
    GetFileSizeEx(file_, &size);
    mapping_ = CreateFileMappingA(file_, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping_) view_ = static_cast<const std::uint8_t*>(MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0));
    if (view_) size_ = static_cast<std::size_t>(size.QuadPart);
  }
  ~MappedBase() override { Release(); }
  const std::uint8_t* data() override { return view_; }
  std::size_t size() override { return size_; }
  void Release() override {
    if (view_) UnmapViewOfFile(view_);
    if (mapping_) CloseHandle(mapping_);
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    view_ = nullptr;
    mapping_ = nullptr;
    file_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE file_ = INVALID_HANDLE_VALUE;
  HANDLE mapping_ = nullptr;
  const std::uint8_t* view_ = nullptr;
  std::size_t size_ = 0;
};

// Fresh committed pages of the decoded size, for a decoding into a view.
class FreshPages {
 public:
  explicit FreshPages(std::size_t size)
      : size_(size), pages_(static_cast<std::uint8_t*>(
                         size ? VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)
                              : nullptr)) {}
  ~FreshPages() {
    if (pages_) VirtualFree(pages_, 0, MEM_RELEASE);
  }
  std::uint8_t* data() const { return pages_; }
  std::size_t size() const { return size_; }

 private:
  std::size_t size_;
  std::uint8_t* pages_;
};

// zstd alone: the frame after the header decoded into the decoder's piece
// and dropped, or into VIEW. The decoded size, or 0 on a failure.
std::uint64_t DecodeOnly(const char* encoded, PackageBase* base, FreshPages* view) {
  ZSTD_DStream* stream = ZSTD_createDStream();
  ZSTD_DCtx_setParameter(stream, ZSTD_d_windowLogMax,
                         base ? (sizeof(void*) == 4 ? 30 : 31) : view ? 29 : 23);
  if (view) ZSTD_DCtx_setParameter(stream, ZSTD_d_stableOutBuffer, 1);
  if (base && ZSTD_isError(ZSTD_DCtx_refPrefix(stream, base->data(), base->size()))) return 0;
  std::vector<std::uint8_t> out(view ? 0 : ZSTD_DStreamOutSize());
  ZSTD_outBuffer whole = {view ? view->data() : nullptr, view ? view->size() : 0, 0};
  const auto next = [&] { return view ? whole : ZSTD_outBuffer{out.data(), out.size(), 0}; };
  std::uint64_t decoded = 0;
  std::size_t skip = kPackageHeaderSize;
  bool failed = false;
  bool ended = false;  // the first frame: any other is the alignment's
  ReadPieces(encoded, 1 << 20, [&](const std::uint8_t* data, std::size_t count) {
    const std::size_t drop = count < skip ? count : skip;
    skip -= drop;
    ZSTD_inBuffer in = {data + drop, count - drop, 0};
    while (in.pos < in.size) {
      ZSTD_outBuffer output = next();
      const std::size_t before = output.pos;
      const std::size_t left = ZSTD_decompressStream(stream, &output, &in);
      if (ZSTD_isError(left)) return !(failed = true);
      decoded += output.pos - before;
      if (view) whole = output;
      if (left == 0) return !(ended = true);
    }
    return true;
  });
  while (!ended) {  // what the decoder still holds
    ZSTD_inBuffer in = {nullptr, 0, 0};
    ZSTD_outBuffer output = next();
    const std::size_t before = output.pos;
    const std::size_t left = ZSTD_decompressStream(stream, &output, &in);
    if (ZSTD_isError(left)) failed = true;
    decoded += output.pos - before;
    if (view) whole = output;
    if (failed || left == 0 || output.pos == before) break;
  }
  ZSTD_freeDStream(stream);
  return failed ? 0 : decoded;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5 && argc != 6) {
    std::fprintf(stderr, "usage: %s ENCODED DECODED TARGET OUTFILE [BASE]\n", argv[0]);
    return 2;
  }
  const char *encoded = argv[1], *decodedPath = argv[2], *target = argv[3];
  std::FILE* out = std::fopen(argv[4], "a");
  if (!out) return 2;
  const char* basePath = argc == 6 ? argv[5] : nullptr;
  int status = 0;

  double start = Now();
  std::uint64_t bytes = 0;
  ReadPieces(encoded, 1 << 20, [&](const std::uint8_t*, std::size_t count) { return (bytes += count), true; });
  std::fprintf(out, "read %.6f\n", Now() - start);

  std::uint8_t head[kPackageHeaderSize];
  PackageHeader header;
  bool haveHeader = false;
  ReadPieces(encoded, sizeof(head), [&](const std::uint8_t* data, std::size_t count) {
    haveHeader = count == sizeof(head) && (std::copy(data, data + count, head), true);
    return false;  // the first piece is enough
  });
  if (!haveHeader || !ParsePackageHeader(head, &header)) return 2;
  const bool intoView = DecodedPackage::DecodesIntoView(header);
  const std::size_t size = static_cast<std::size_t>(header.decodedSize);

  {
    MappedBase base(basePath ? basePath : "");
    // Differences are decoded against nothing; the base is added in after.
    PackageBase* prefix =
        basePath && !CarriesDifferences(header.filter) ? &base : nullptr;
    FreshPages view(intoView ? size : 0);
    start = Now();
    const std::uint64_t decoded =
        DecodeOnly(encoded, prefix, intoView ? &view : nullptr);
    std::fprintf(out, "decode %.6f\n", Now() - start);
    if (decoded != header.decodedSize) status = 1;
    // Once more into the same pages, now in memory: zstd's own speed, without
    // what the system charges for a page's first touch.
    start = Now();
    if (DecodeOnly(encoded, prefix, intoView ? &view : nullptr) != header.decodedSize)
      status = 1;
    std::fprintf(out, "decode-again %.6f\n", Now() - start);
  }

  {
    MappedBase base(basePath ? basePath : "");
    FileSource source(encoded);
    DecodedPackage decoded(source, header, basePath ? &base : nullptr);
    std::uint32_t error = 0;
    const auto drop = [](const std::uint8_t*, std::size_t) { return true; };
    bool ok = false;
    if (intoView) {
      // Into the setup's own view of a staging file: its room set aside
      // (written with zeros under Wine), its pages faulted in ahead.
      const HANDLE staging = CreateFileA(target, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                         CREATE_ALWAYS, 0, nullptr);
      if (staging == INVALID_HANDLE_VALUE) return 2;
      start = Now();
      {
        MappedStagingFile view(reinterpret_cast<FileId>(staging), size, &error);
        ok = view.valid() && decoded.DecodeInto(view.view(), size, drop, &error);
      }
      std::fprintf(out, "decode+hash %.6f\n", Now() - start);
      CloseHandle(staging);
      DeleteFileA(target);
    } else {
      start = Now();
      ok = decoded.ForEachPiece(drop, &error);
      std::fprintf(out, "decode+hash %.6f\n", Now() - start);
    }
    if (!ok) status = 1;
  }

  Sha256State state;
  Sha256Init(&state);
  start = Now();
  ReadPieces(decodedPath, 1 << 20, [&](const std::uint8_t* data, std::size_t count) {
    Sha256Update(&state, data, count);
    return true;
  });
  Sha256Final(&state);
  std::fprintf(out, "hash %.6f\n", Now() - start);

  const HANDLE file = CreateFileA(target, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  start = Now();
  const std::size_t piece = ZSTD_DStreamOutSize();
  ReadPieces(decodedPath, piece, [&](const std::uint8_t* data, std::size_t count) {
    DWORD written = 0;
    return WriteFile(file, data, static_cast<DWORD>(count), &written, nullptr) && written == count;
  });
  FlushFileBuffers(file);
  std::fprintf(out, "write %.6f\n", Now() - start);
  CloseHandle(file);
  DeleteFileA(target);
  std::fclose(out);
  return status;
}
