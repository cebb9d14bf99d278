#include "install/package_writer.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

namespace vespodar {

namespace {

const std::string kDirectory = "C:\\Games\\Vespodar\\";
const std::string kPackage = "new package bytes";

// One product directory in memory. Every call is recorded; a call that names
// anything but a bare name relative to the open directory, or any path once
// the directory is open (the restart replacement aside), is a violation.
class RecordingFiles : public ProductFiles {
 public:
  std::map<std::string, std::string> entries;  // name -> content
  std::set<std::string> directories, links, readOnly;
  DirectoryOpen directoryOpen = DirectoryOpen::kOpened;
  int busyRenames = 0;             // renames refused as held, then allowed
  std::size_t diskLeft = 1 << 20;  // bytes the disk takes
  int plantBeforeCreate = 0;  // creates that find something planted first
  std::vector<std::string> calls;
  std::vector<std::string> violations;
  std::vector<std::string> scheduled;

  DirectoryOpen OpenDirectory(const std::string& path, FileId* directory,
                              std::uint32_t* windowsError) override {
    Record("open directory " + path);
    if (directoryOpened_) violations.push_back("directory opened twice");
    directoryOpened_ = true;
    if (directoryOpen != DirectoryOpen::kOpened) {
      *windowsError = 5;
      return directoryOpen;
    }
    *directory = kDirectoryId;
    return DirectoryOpen::kOpened;
  }
  EntryKind Inspect(FileId directory, const std::string& name, std::uint32_t*) override {
    Relative("inspect", directory, name);
    if (directories.count(name)) return EntryKind::kDirectory;
    if (links.count(name)) return EntryKind::kLink;
    if (!entries.count(name)) return EntryKind::kMissing;
    return readOnly.count(name) ? EntryKind::kReadOnlyFile : EntryKind::kFile;
  }
  bool CreateNew(FileId directory, const std::string& name, FileId* file,
                 std::uint32_t* windowsError) override {
    Relative("create", directory, name);
    if (plantBeforeCreate > 0) {
      --plantBeforeCreate;
      entries[name] = "planted";
    }
    if (entries.count(name) || links.count(name)) {
      *windowsError = 80;
      return false;
    }
    entries[name];
    *file = Opened(name);
    return true;
  }
  bool OpenForReading(FileId directory, const std::string& name, FileId* file) override {
    Relative("open", directory, name);
    if (!entries.count(name)) return false;
    *file = Opened(name);
    return true;
  }
  bool OpenForDeleting(FileId directory, const std::string& name, FileId* file,
                       std::uint32_t*) override {
    Relative("open to delete", directory, name);
    if (!entries.count(name)) return false;
    *file = Opened(name);
    return true;
  }
  bool Write(FileId file, const std::uint8_t* data, std::size_t count,
             std::uint32_t* windowsError) override {
    Record("write " + NameOf(file));
    if (count > diskLeft) {
      *windowsError = 112;
      return false;
    }
    diskLeft -= count;
    entries[NameOf(file)].append(reinterpret_cast<const char*>(data), count);
    return true;
  }
  bool Read(FileId file, std::uint64_t offset, std::size_t count, std::uint8_t* out,
            std::size_t* got) override {
    const std::string& content = entries[NameOf(file)];
    *got = offset >= content.size() ? 0 : std::min(count, content.size() - offset);
    content.copy(reinterpret_cast<char*>(out), *got, offset);
    return true;
  }
  bool Size(FileId file, std::uint64_t* size) override {
    *size = entries[NameOf(file)].size();
    return true;
  }
  bool Flush(FileId file, std::uint32_t*) override {
    Record("flush " + NameOf(file));
    return true;
  }
  bool RenameOver(FileId file, FileId directory, const std::string& name,
                  std::uint32_t* windowsError) override {
    Relative("rename " + NameOf(file) + " to", directory, name);
    if (busyRenames != 0) {
      if (busyRenames > 0) --busyRenames;
      *windowsError = 32;
      return false;
    }
    entries[name] = entries[NameOf(file)];
    entries.erase(NameOf(file));
    open_[file] = name;
    return true;
  }
  bool Delete(FileId file, std::uint32_t*) override {
    Record("delete " + NameOf(file));
    deleteOnClose_.insert(file);
    return true;
  }
  bool ScheduleReplaceAtRestart(const std::string& stagingPath, const std::string& targetPath,
                                std::uint32_t*) override {
    Record("schedule " + stagingPath + " over " + targetPath);
    scheduled.push_back(stagingPath);
    return true;
  }
  void Close(FileId file) override {
    if (file == kDirectoryId) {
      Record("close directory");
      return;
    }
    Record("close " + NameOf(file));
    if (deleteOnClose_.erase(file)) entries.erase(NameOf(file));
    open_.erase(file);
  }
  void Pause(unsigned milliseconds) override { paused += milliseconds; }
  unsigned paused = 0;

  std::size_t OpenFiles() const { return open_.size(); }
  std::string StagingName() const {
    for (const auto& entry : entries)
      if (entry.first[0] == '~' && entry.second != "planted") return entry.first;
    return std::string();
  }

 private:
  static constexpr FileId kDirectoryId = 1;

  void Record(const std::string& call) { calls.push_back(call); }
  void Relative(const std::string& what, FileId directory, const std::string& name) {
    Record(what + " " + name);
    if (directory != kDirectoryId) violations.push_back(what + " not relative to the directory");
    if (name.find_first_of("\\/:") != std::string::npos)
      violations.push_back(what + " by path: " + name);
  }
  FileId Opened(const std::string& name) {
    open_[++lastId_] = name;
    return lastId_;
  }
  std::string NameOf(FileId file) const {
    auto found = open_.find(file);
    return found == open_.end() ? "(closed)" : found->second;
  }

  bool directoryOpened_ = false;
  FileId lastId_ = kDirectoryId;
  std::map<FileId, std::string> open_;
  std::set<FileId> deleteOnClose_;
};

class StringSource : public PackageSource {
 public:
  bool ForEachPiece(const TakeBytes& take, std::uint32_t*) override {
    // Two pieces, as the own file gives them.
    const auto* data = reinterpret_cast<const std::uint8_t*>(kPackage.data());
    return take(data, 4) && take(data + 4, kPackage.size() - 4);
  }
  const Digest* CheckedDigest() const override { return checked ? &digest : nullptr; }
  bool checked = false;  // as a decoded package, which checks its own digest
  Digest digest = {};
};

class ScriptedJudge : public StagedPackageJudge {
 public:
  StagedVerdict verdict = StagedVerdict::kCommit;
  std::string staged;
  bool committed = false;
  StagedVerdict Judge(const StagedPackage& package) override {
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(package.files, package.staged, 1000, &bytes));
    staged = bytes;
    EXPECT_EQ(kDirectory + "vdq2.cok", package.targetPath);
    return verdict;
  }
  void Committed() override { committed = true; }
  std::string InstalledVersion() const override { return "7"; }
};

TEST(StagingNameTest, BesideTheTargetWithItsNameAndTag) {
  EXPECT_EQ("~vdq2.cok.abcdefgh.tmp", StagingName("vdq2.cok", "abcdefgh"));
  EXPECT_EQ("C:\\P\\Vespodar\\~vdq2.cok.abcdefgh.tmp",
            StagingPath("C:\\P\\Vespodar\\vdq2.cok", "abcdefgh"));
  EXPECT_EQ("~vdq2.cok.t.tmp", StagingPath("vdq2.cok", "t"));
  // Only the backslash separates: the file stays in the target's directory.
  EXPECT_EQ("C:\\a/b\\~c.t.tmp", StagingPath("C:\\a/b\\c", "t"));
}

// Every way a write can go, on one directory. Whatever happens, nothing is
// named by path once the directory is open (the restart replacement aside),
// and nothing is left open but a staging file kept for the caller.
TEST(PackageWriterTest, EveryOutcomeActsThroughTheDirectoryHandle) {
  struct Case {
    const char* name;
    void (*setUp)(RecordingFiles&);
    InstallOutcome outcome;
    std::string target;  // the target's content afterwards ("" when none)
    unsigned paused;
    std::uint32_t windowsError;
  };
  const Case cases[] = {
      {"new file", [](RecordingFiles&) {}, InstallOutcome::kInstalled, kPackage, 0, 0},
      {"old file replaced", [](RecordingFiles& f) { f.entries["vdq2.cok"] = "old"; },
       InstallOutcome::kInstalled, kPackage, 0, 0},
      {"link replaced, not followed", [](RecordingFiles& f) { f.links.insert("vdq2.cok"); },
       InstallOutcome::kInstalled, kPackage, 0, 0},
      {"held, then let go",
       [](RecordingFiles& f) {
         f.entries["vdq2.cok"] = "old";
         f.busyRenames = 3;
       },
       InstallOutcome::kInstalled, kPackage, 300, 0},
      {"held throughout",
       [](RecordingFiles& f) {
         f.entries["vdq2.cok"] = "old";
         f.busyRenames = -1;
       },
       InstallOutcome::kInUse, "old", kReplaceRetryMs, 32},
      {"read-only and refusing",
       [](RecordingFiles& f) {
         f.entries["vdq2.cok"] = "old";
         f.readOnly.insert("vdq2.cok");
         f.busyRenames = -1;
       },
       InstallOutcome::kFailed, "old", kReplaceRetryMs, 32},
      {"disk full",
       [](RecordingFiles& f) {
         f.entries["vdq2.cok"] = "old";
         f.diskLeft = 6;
       },
       InstallOutcome::kFailed, "old", 0, 112},
      {"directory at the target", [](RecordingFiles& f) { f.directories.insert("vdq2.cok"); },
       InstallOutcome::kFailed, "", 0, kErrorDirectoryNotSupported},
      {"product directory is a link",
       [](RecordingFiles& f) { f.directoryOpen = DirectoryOpen::kIsLink; },
       InstallOutcome::kFailed, "", 0, kErrorReparsePointEncountered},
      {"product directory not opened",
       [](RecordingFiles& f) { f.directoryOpen = DirectoryOpen::kNotOpened; },
       InstallOutcome::kFailed, "", 0, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingFiles files;
    c.setUp(files);
    StringSource source;
    {
      PackageWriter writer(files);
      const PackageWrite write = writer.Write(kDirectory, "vdq2.cok", source, nullptr);
      EXPECT_EQ(c.outcome, write.outcome);
      EXPECT_EQ(c.windowsError, write.windowsError);
      EXPECT_EQ(c.paused, files.paused);
      EXPECT_EQ(c.target, files.entries.count("vdq2.cok") ? files.entries["vdq2.cok"] : "");
      if (c.outcome == InstallOutcome::kInUse) {
        // Kept whole and held for the caller, under the name it logs.
        EXPECT_EQ(kPackage, files.entries[files.StagingName()]);
        EXPECT_EQ(kDirectory + files.StagingName(), write.staging);
        EXPECT_EQ(1u, files.OpenFiles());
      } else {
        EXPECT_EQ("", files.StagingName());
        EXPECT_EQ(0u, files.OpenFiles());
      }
      EXPECT_EQ(c.outcome == InstallOutcome::kFailed && c.target.empty() &&
                    c.windowsError != kErrorDirectoryNotSupported,
                !write.refusal.empty());
    }
    // The writer let go of everything, and a staging file nobody took up
    // went with it, through its own handle.
    EXPECT_EQ("", files.StagingName());
    EXPECT_EQ(0u, files.OpenFiles());
    EXPECT_EQ(std::vector<std::string>(), files.violations);
  }
}

TEST(PackageWriterTest, FlushedBeforeTheRenameThatReplaces) {
  RecordingFiles files;
  StringSource source;
  PackageWriter writer(files);
  ASSERT_EQ(InstallOutcome::kInstalled,
            writer.Write(kDirectory, "vdq2.cok", source, nullptr).outcome);
  std::vector<std::string> order;
  for (const std::string& call : files.calls)
    if (call.compare(0, 5, "flush") == 0 || call.compare(0, 6, "rename") == 0)
      order.push_back(call.substr(0, call.find(' ')));
  EXPECT_EQ((std::vector<std::string>{"flush", "rename"}), order);
}

TEST(PackageWriterTest, HeldTargetIsScheduledByNameOrRemovedByHandle) {
  for (const bool schedule : {true, false}) {
    SCOPED_TRACE(schedule);
    RecordingFiles files;
    files.entries["vdq2.cok"] = "old";
    files.busyRenames = -1;
    StringSource source;
    std::string staging;
    {
      PackageWriter writer(files);
      const PackageWrite write = writer.Write(kDirectory, "vdq2.cok", source, nullptr);
      ASSERT_EQ(InstallOutcome::kInUse, write.outcome);
      staging = write.staging;
      std::uint32_t error = 0;
      if (schedule)
        EXPECT_TRUE(writer.ReplaceAtRestart(&error));
      else
        writer.RemoveStaging();
    }
    EXPECT_EQ(schedule ? std::vector<std::string>{staging} : std::vector<std::string>(),
              files.scheduled);
    if (schedule) {
      // Let go of first (Windows may open it to schedule it), then named.
      const std::string name = staging.substr(kDirectory.size());
      EXPECT_EQ((std::vector<std::string>{"close " + name,
                                          "schedule " + staging + " over " + kDirectory +
                                              "vdq2.cok",
                                          "close directory"}),
                std::vector<std::string>(files.calls.end() - 3, files.calls.end()));
      // Scheduled, it stays for the restart.
      EXPECT_EQ(kPackage, files.entries[files.StagingName()]);
    } else {
      EXPECT_EQ("", files.StagingName());
    }
    EXPECT_EQ("old", files.entries["vdq2.cok"]);
    EXPECT_EQ(std::vector<std::string>(), files.violations);
  }
}

// A name somebody got to first (a file or a link planted at a drawn name) is
// left as it is, and another name drawn; after eight the write gives up.
TEST(PackageWriterTest, TakenStagingNamesAreLeftAlone) {
  for (const int planted : {2, 8}) {
    SCOPED_TRACE(planted);
    RecordingFiles files;
    files.plantBeforeCreate = planted;
    StringSource source;
    PackageWriter writer(files);
    const PackageWrite write = writer.Write(kDirectory, "vdq2.cok", source, nullptr);
    EXPECT_EQ(planted < 8 ? InstallOutcome::kInstalled : InstallOutcome::kFailed, write.outcome);
    int left = 0;
    for (const auto& entry : files.entries) left += entry.second == "planted";
    EXPECT_EQ(planted, left);
    EXPECT_EQ(planted < 8 ? kPackage : "", files.entries["vdq2.cok"]);
  }
}

Digest DigestOf(const std::string& bytes) {
  Sha256State state;
  Sha256Init(&state);
  Sha256Update(&state, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  return Sha256Final(&state);
}

TEST(PackageWriterTest, JudgeDecidesOverAnExistingFileOnly) {
  const struct {
    StagedVerdict verdict;
    InstallOutcome outcome;
    const char* target;
  } cases[] = {
      {StagedVerdict::kCommit, InstallOutcome::kInstalled, "new package bytes"},
      {StagedVerdict::kKeepInstalled, InstallOutcome::kKeptInstalled, "newer"},
      {StagedVerdict::kFailed, InstallOutcome::kFailed, "newer"},
  };
  for (const auto& c : cases) {
    RecordingFiles files;
    files.entries["vdq2.cok"] = "newer";
    StringSource source;
    ScriptedJudge judge;
    judge.verdict = c.verdict;
    PackageWriter writer(files);
    const PackageWrite write = writer.Write(kDirectory, "vdq2.cok", source, &judge);
    EXPECT_EQ(c.outcome, write.outcome);
    // What is in place afterwards is what the write describes: the package,
    // or the kept file with the version the judge read.
    if (c.outcome != InstallOutcome::kFailed) {
      EXPECT_TRUE(write.described);
      EXPECT_EQ(DigestOf(c.target), write.sha256);
    }
    EXPECT_EQ(c.outcome == InstallOutcome::kKeptInstalled ? "7" : "", write.keptVersion);
    // The judge reads the staged package, not the loaded image.
    EXPECT_EQ(kPackage, judge.staged);
    EXPECT_EQ(c.verdict == StagedVerdict::kCommit, judge.committed);
    EXPECT_EQ(c.target, files.entries["vdq2.cok"]);
    EXPECT_EQ("", files.StagingName());
    EXPECT_EQ(std::vector<std::string>(), files.violations);
  }
  // A source that checks its digest itself is not hashed again: its digest
  // is the one described.
  {
    RecordingFiles files;
    StringSource source;
    source.checked = true;
    source.digest.fill(0x3C);
    PackageWriter writer(files);
    const PackageWrite write = writer.Write(kDirectory, "vdq2.cok", source, nullptr);
    EXPECT_EQ(InstallOutcome::kInstalled, write.outcome);
    EXPECT_EQ(source.digest, write.sha256);
  }
  // Nothing installed: nothing to judge.
  RecordingFiles files;
  StringSource source;
  ScriptedJudge judge;
  judge.verdict = StagedVerdict::kKeepInstalled;
  PackageWriter writer(files);
  EXPECT_EQ(InstallOutcome::kInstalled,
            writer.Write(kDirectory, "vdq2.cok", source, &judge).outcome);
  EXPECT_EQ("", judge.staged);
}

}  // namespace

}  // namespace vespodar
