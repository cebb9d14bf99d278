#ifndef VESPODAR_UI_LANG_UNIT_FAKE_TEST_H_
#define VESPODAR_UI_LANG_UNIT_FAKE_TEST_H_

// Language support files in memory, for the tests of the reader: files by
// path, files that cannot be opened, reads that fail after a number of lines,
// and a log of what was opened in which language.

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ui/lang_unit.h"

namespace vespodar {

struct FakeLangFiles {
  std::map<std::string, std::string> contents;  // path -> bytes
  std::set<std::string> unopenable;
  // path -> number of lines that read before every further read fails
  std::map<std::string, std::size_t> failAfterLines;
  std::vector<std::string> opened;  // "path@language" in the order of opening
};

// Keeps the name of every file reported as unusable, in order.
class RecordingLangErrors : public LangFileErrors {
 public:
  std::vector<std::string> files;
  void ShowLangFileError(const std::string& fileName) override { files.push_back(fileName); }
};

class FakeLangFileReader : public LangFileReader {
 public:
  explicit FakeLangFileReader(FakeLangFiles& files) : files_(files) {}

  bool Open(const std::string& path, std::uint16_t languageId) override {
    Close();
    files_.opened.push_back(path + "@" + std::to_string(languageId));
    const auto found = files_.contents.find(path);
    if (found == files_.contents.end() || files_.unopenable.count(path)) return false;
    open_ = true;
    path_ = path;
    bytes_ = found->second;
    position_ = 0;
    linesRead_ = 0;
    return true;
  }
  void Close() override { open_ = false; }
  LineStatus ReadLine(std::string* line) override {
    if (!open_) return LineStatus::kError;
    const auto limit = files_.failAfterLines.find(path_);
    if (limit != files_.failAfterLines.end() && linesRead_ >= limit->second)
      return LineStatus::kError;
    if (!NextTextLine(bytes_, &position_, line)) return LineStatus::kEnd;
    ++linesRead_;
    return LineStatus::kLine;
  }
  bool IsOpen() const { return open_; }

 private:
  FakeLangFiles& files_;
  bool open_ = false;
  std::string path_;
  std::string bytes_;
  std::size_t position_ = 0;
  std::size_t linesRead_ = 0;
};

}  // namespace vespodar

#endif  // VESPODAR_UI_LANG_UNIT_FAKE_TEST_H_
