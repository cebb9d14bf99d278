// The package of a setup that carries it compressed, or as a delta from the
// installed file: decoded on the way into the staging file, and put in place
// only when the decoded bytes are the stamped ones.
#include <windows.h>

#include <optional>

#include "base/number_text.h"
#include "base/scoped_handle_win.h"
#include "install/package_encoding.h"
#include "install/package_writer_win.h"
#include "install/mapped_staging_file_win.h"
#include "install/product_files_win.h"
#include "setup/package_step_win.h"
#include "setup/run_log.h"
#include "setup/setup_context.h"
#include "ui/progress_window.h"
#include "ui/progress_window_win.h"

namespace vespodar {

namespace {

bool ReadHeader(OwnFilePackage& package, PackageHeader* header) {
  std::uint8_t bytes[kPackageHeaderSize];
  return package.ReadStart(sizeof(bytes), bytes) && ParsePackageHeader(bytes, header);
}

// The installed file, mapped read-only through the handle the write opened
// it by: file-backed pages, not the process's own memory. Let go of before
// the write renames over it.
class MappedInstalledFile : public PackageBase {
 public:
  MappedInstalledFile(PackageWriter& writer, const std::string& directory,
                      const std::string& fileName, ProductFiles& files)
      : file_(files) {
    if (!writer.OpenInstalled(directory, fileName, &file_)) return;
    const HANDLE handle = reinterpret_cast<HANDLE>(file_.get());
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle, &size) || size.QuadPart <= 0 ||
        static_cast<std::uint64_t>(size.QuadPart) > static_cast<SIZE_T>(-1))
      return;
    mapping_ = ScopedHandle(CreateFileMappingW(handle, nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (mapping_.valid())
      view_ = static_cast<const std::uint8_t*>(MapViewOfFile(mapping_.handle, FILE_MAP_READ, 0, 0, 0));
    if (view_) size_ = static_cast<std::size_t>(size.QuadPart);
    // No room in the address space for it, as a rule: the log says so.
    else error_ = GetLastError();
  }
  // Why the file could not be mapped, when it was opened.
  std::uint32_t error() const { return error_; }
  ~MappedInstalledFile() override { Release(); }
  bool mapped() const { return view_ != nullptr; }
  const std::uint8_t* data() override { return view_; }
  std::size_t size() override { return size_; }
  void Release() override {
    if (view_) UnmapViewOfFile(view_);
    view_ = nullptr;
    mapping_.Close();
    file_.Reset();
  }

 private:
  HeldFile file_;
  ScopedHandle mapping_;
  const std::uint8_t* view_ = nullptr;
  std::size_t size_ = 0;
  std::uint32_t error_ = kErrorInvalidData;
};

// The decoded bytes on their way to the write, and the progress window once
// the write has taken longer than a second, its bar at the share written.
// Only where somebody looks: never in a modest or unattended run.
class ProgressingSource : public PackageSource {
 public:
  ProgressingSource(DecodedPackage& inner, bool shown, const SetupContext& context)
      : inner_(inner), mayShow_(shown), context_(context) {}
  ~ProgressingSource() override {
    // Before the launch question, which must not stand behind it.
    if (shown_) HideProgressWindow();
  }
  bool ForEachPiece(const TakeBytes& take, std::uint32_t* windowsError) override {
    Start();
    return inner_.ForEachPiece(
        [&](const std::uint8_t* data, std::size_t count) {
          return take(data, count) && Advance(count);
        },
        windowsError);
  }
  const Digest* CheckedDigest() const override { return inner_.CheckedDigest(); }
  bool FillsFile() const override { return inner_.DecodesIntoView(); }
  bool FillFile(ProductFiles&, FileId file, std::uint32_t* windowsError) override {
    Start();
    MappedStagingFile staging(file, inner_.decodedSize(), windowsError);
    return staging.valid() &&
           inner_.DecodeInto(staging.view(), static_cast<std::size_t>(inner_.decodedSize()),
                             [&](const std::uint8_t*, std::size_t count) { return Advance(count); },
                             windowsError) &&
           staging.Flush(windowsError);
  }

 private:
  void Start() {
    start_ = GetTickCount();
    written_ = 0;
  }
  bool Advance(std::size_t count) {
    written_ += count;
    if (mayShow_ && !shown_ && GetTickCount() - start_ > kWriteProgressDelayMs) {
      ShowProgressWindow(context_.russianUi ? context_.productCaptionRu : context_.productCaptionEn,
                         context_.packageDisplayName);
      shown_ = true;
    }
    if (shown_) SetProgressPosition(ProgressPercent(written_, inner_.decodedSize()));
    return true;
  }

  DecodedPackage& inner_;
  bool mayShow_;
  const SetupContext& context_;
  bool shown_ = false;
  DWORD start_ = 0;
  std::uint64_t written_ = 0;
};

}  // namespace

PackageWrite WriteCarriedPackage(const SetupContext& context, PackageWriter& writer,
                                 OwnFilePackage& package, const std::string& fileName,
                                 const std::string& type, bool guardVersions, Reporter& reporter) {
  PackageHeader header;
  PackageWrite failed;
  failed.windowsError = kErrorInvalidData;
  if (!ReadHeader(package, &header)) return failed;
  std::optional<MappedInstalledFile> base;
  if (header.kind == PackageKind::kDelta) {
    base.emplace(writer, context.folders.installDir, fileName, writer.files());
    if (!base->mapped()) {
      failed.windowsError = base->error();
      return failed;
    }
  }
  DecodedPackage decoded(package, header, base ? &*base : nullptr);
  ProgressingSource progressing(decoded, reporter.MayAsk(), context);
  return WritePackageStep(context, writer, progressing, fileName, type, guardVersions, reporter);
}

bool CarriedPackageBaseInstalled(const SetupContext& context, PackageWriter& writer,
                                 std::string* found) {
  OwnFilePackage package;
  std::uint32_t ignored = 0;
  PackageHeader header;
  // A package that cannot be found is the write's failure to report.
  if (!package.Load(context.packageName, context.packageType, &ignored)) return true;
  const std::string fileName = context.packageName + "." + context.packageType;
  if (!ReadHeader(package, &header)) {
    *found = "the package's header cannot be read";
    return false;
  }
  if (header.kind != PackageKind::kDelta) return true;
  HeldFile installed(writer.files());
  Digest digest;
  std::uint64_t size = 0;
  if (!writer.OpenInstalled(context.folders.installDir, fileName, &installed)) {
    *found = "none that can be read (missing, a link, or held by another program)";
    return false;
  }
  if (!DigestOfFile(writer.files(), installed.get(), &digest, &size)) {
    *found = "unreadable";
    return false;
  }
  *found = DecimalText(static_cast<std::int64_t>(size)) + " bytes, SHA-256 " + DigestText(digest);
  return size == header.baseSize && digest == header.baseSha256;
}

}  // namespace vespodar
