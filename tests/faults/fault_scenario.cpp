#include "fault_scenario.h"

#include <gtest/gtest.h>

#include <string_view>
#include <utility>
#include <vector>

#include "memory_file_system.h"
#include "repair/repair_error.h"
#include "repair/repairer.h"
#include "repair/rules.h"
#include "temp_dir.h"

namespace plindor::testing {

std::string OldForm(std::size_t size) {
  static constexpr std::string_view kLines[] = {"x ComctlLib.Tab 12\r\n", "y Comctl2.Spin 12\r\n",
                                                "z MSChartLib.Chart\r\n"};
  std::string form;
  for (std::size_t n = 0; form.size() < size; ++n) form += kLines[n % 3];
  form.resize(size);
  return form;
}

std::string Repaired(std::string_view form) {
  return repair::ApplyRules(form, repair::kComponentRules);
}

ProjectScenario::ProjectScenario(std::filesystem::path folder, std::size_t b_size)
    : folder_(std::move(folder)),
      project_("Type=Exe\r\nForm=A.frm\r\nForm=B.frm\r\nForm=C.frm\r\n"),
      a_(OldForm(100)),
      b_(OldForm(b_size)),
      c_(OldForm(100)) {
  WriteFile(folder_ / "Project.vbp", project_);
  WriteFile(folder_ / "A.frm", a_);
  WriteFile(folder_ / "B.frm", b_);
  WriteFile(folder_ / "C.frm", c_);
}

namespace {

// A disk file and the path the repair named it by.
class HookedFile final : public repair::RepairFile {
 public:
  HookedFile(std::unique_ptr<repair::RepairFile> file, std::string path)
      : file_(std::move(file)), path_(std::move(path)) {}
  const std::string& Recovery() const override { return file_->Recovery(); }
  const std::string& Location() const override { return file_->Location(); }
  std::uint64_t Size() const override { return file_->Size(); }
  const std::string& Read() override { return file_->Read(); }
  void Prepare(std::string_view text) override { file_->Prepare(text); }

  repair::RepairFile* disk() const { return file_.get(); }
  const std::string& path() const { return path_; }

 private:
  std::unique_ptr<repair::RepairFile> file_;
  std::string path_;
};

}  // namespace

std::unique_ptr<repair::RepairFile> HookedFileSystem::OpenForRepair(const std::string& base,
                                                                    const std::string& path,
                                                                    Wait wait) {
  std::unique_ptr<repair::RepairFile> file = disk_.OpenForRepair(base, path, wait);
  if (!file) return nullptr;
  return std::make_unique<HookedFile>(std::move(file), path);
}

repair::CommitResult HookedFileSystem::Commit(std::span<repair::RepairFile* const> files) {
  std::vector<repair::RepairFile*> disk_files;
  for (repair::RepairFile* file : files) {
    const auto& hooked = static_cast<const HookedFile&>(*file);
    before_commit_(hooked.path());
    disk_files.push_back(hooked.disk());
  }
  return disk_.Commit(disk_files);
}

std::string ProjectScenario::Run(repair::FileSystem& files) {
  StringLog log;
  repair::Repairer repairer(files, log, folder_.string());
  std::string message;
  try {
    repairer.FixProjectFile((folder_ / "Project.vbp").string());
  } catch (const repair::RepairError& e) {
    message = e.what();
  }
  log_ = log.text;
  return message;
}

void ProjectScenario::Expect(Outcome b, bool failed) const {
  EXPECT_EQ(ReadFile(folder_ / "Project.vbp"), project_);
  EXPECT_EQ(ReadFile(folder_ / "A.frm"), Repaired(a_));
  switch (b) {
    case Outcome::kOriginal:
      EXPECT_EQ(ReadFile(b_path()), b_) << "B changed";
      break;
    case Outcome::kRepaired:
      EXPECT_EQ(ReadFile(b_path()), Repaired(b_)) << "B is not repaired";
      break;
    case Outcome::kAbsent:
      EXPECT_FALSE(std::filesystem::is_regular_file(b_path())) << "B was created again";
      break;
    case Outcome::kAnything:
      break;
  }
  const std::string head =
      "Fixing " + (folder_ / "Project.vbp").string() + "\r\n   fixing A.frm\r\n   fixing B.frm\r\n";
  if (failed) {
    EXPECT_EQ(ReadFile(folder_ / "C.frm"), c_) << "the repair went on after B";
    EXPECT_EQ(log_, head);
  } else {
    EXPECT_EQ(ReadFile(folder_ / "C.frm"), Repaired(c_));
    EXPECT_EQ(log_, head + "   fixing C.frm\r\n");
  }
}

}  // namespace plindor::testing
