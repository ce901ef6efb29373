#include "cli/dry_run_file_system.h"

#include <optional>
#include <string_view>

#include "cli/disk_lookup.h"
#include "repair/repair_error.h"

namespace plindor::cli {

namespace {

using repair::RepairError;

class CapturedReader final : public repair::TextStream {
 public:
  CapturedReader(std::string text, std::string path)
      : text_(std::move(text)), path_(std::move(path)) {}
  std::string ReadAll() override { return std::exchange(text_, {}); }
  void Write(std::string_view) override {
    throw RepairError("cannot write \"" + path_ + "\": the file is open for reading");
  }
  void Close() override {}

 private:
  std::string text_;
  std::string path_;
};

class CapturedWriter final : public repair::TextStream {
 public:
  CapturedWriter(std::string& target, std::string path) : target_(target), path_(std::move(path)) {}
  std::string ReadAll() override {
    throw RepairError("cannot read \"" + path_ + "\": the file is open for writing");
  }
  void Write(std::string_view text) override { target_.append(text); }
  void Close() override {}

 private:
  std::string& target_;
  std::string path_;
};

}  // namespace

std::size_t DryRunFileSystem::Capture(const std::string& path) {
  const std::optional<FileId> id = IdentifyFile(path);
  if (id) {
    if (const auto found = by_id_.find(*id); found != by_id_.end()) return found->second;
  }

  // The disk service refuses what it can't read and gives the message a real run would.
  const auto stream = disk_.OpenTextFile(path, repair::IoMode::kForReading);
  std::string text = stream->ReadAll();
  stream->Close();

  CapturedFile& file = files_.emplace_back();
  file.path = path;
  file.location = LocateFile(path);
  file.repaired = text;
  file.original = std::move(text);
  if (id) by_id_.emplace(*id, files_.size() - 1);
  return files_.size() - 1;
}

std::unique_ptr<repair::TextStream> DryRunFileSystem::OpenTextFile(const std::string& path,
                                                                   repair::IoMode mode) {
  if (mode == repair::IoMode::kForWriting) CheckWritable(path);
  const std::size_t index = Capture(path);
  CapturedFile& file = files_[index];
  if (mode == repair::IoMode::kForReading) {
    return std::make_unique<CapturedReader>(file.repaired, path);
  }
  writes_.push_back({index, file.repaired});
  file.repaired.clear();
  return std::make_unique<CapturedWriter>(file.repaired, path);
}

}  // namespace plindor::cli
