#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include <stdlib.h>

#include "form_text.h"
#include "repair/disk_file_system.h"
#include "repair/progress_log.h"
#include "repair/repairer.h"

namespace plindor::bench {
namespace {

class NullLog final : public repair::ProgressLog {
 public:
  void Append(std::string_view) override {}
};

// A project folder of its own, removed afterwards.
class ScratchFolder final {
 public:
  ScratchFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "plindor-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The whole repair of a project of `range(0)` forms of 20 KiB on disk: read, repair and write
// back the project and every form. The forms get their old references back between iterations.
void RepairProject(benchmark::State& state) {
  const auto forms = static_cast<std::size_t>(state.range(0));
  constexpr std::size_t kFormSize = 20 * 1024;
  const ScratchFolder folder;
  std::size_t bytes = 0;
  repair::DiskFileSystem files;
  NullLog log;
  repair::Repairer repairer(files, log, folder.path().string());
  const std::string project = (folder.path() / "Project.vbp").string();
  for (auto _ : state) {
    state.PauseTiming();
    bytes = WriteProject(folder.path(), forms, kFormSize);
    state.ResumeTiming();
    repairer.FixProjectFile(project);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
  state.counters["forms"] = static_cast<double>(forms);
}

BENCHMARK(RepairProject)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace plindor::bench
