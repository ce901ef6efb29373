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

// A disk file that tells its file system when it is prepared.
class HookedFile final : public repair::RepairFile {
 public:
  HookedFile(std::unique_ptr<repair::RepairFile> file, std::string path,
             std::vector<std::string>& prepared)
      : file_(std::move(file)), path_(std::move(path)), prepared_(prepared) {}
  const std::string& Recovery() const override { return file_->Recovery(); }
  const std::string& Location() const override { return file_->Location(); }
  const std::string& Read() override { return file_->Read(); }
  void Prepare(std::string_view text) override {
    file_->Prepare(text);
    prepared_.push_back(path_);
  }

 private:
  std::unique_ptr<repair::RepairFile> file_;
  std::string path_;
  std::vector<std::string>& prepared_;
};

}  // namespace

std::unique_ptr<repair::RepairFile> HookedFileSystem::OpenForRepair(const std::string& base,
                                                                    const std::string& path,
                                                                    Wait wait) {
  std::unique_ptr<repair::RepairFile> file = disk_.OpenForRepair(base, path, wait);
  if (!file) return nullptr;
  return std::make_unique<HookedFile>(std::move(file), path, prepared_);
}

void HookedFileSystem::Commit(const repair::CommitReport& report) {
  for (const std::string& path : std::exchange(prepared_, {})) before_commit_(path);
  disk_.Commit(report);
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
