#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "form_text.h"
#include "repair/rules.h"

namespace plindor::bench {
namespace {

using TextMaker = std::string (*)(std::size_t);

void ApplyComponentRules(benchmark::State& state, TextMaker make) {
  const std::string text = make(static_cast<std::size_t>(state.range(0)));
  // The repair keeps the text it read and builds the repaired one beside it, as here.
  for (auto _ : state) {
    std::string work = repair::ApplyRules(text, repair::kComponentRules);
    benchmark::DoNotOptimize(work.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

constexpr std::int64_t kKiB = 1024;
constexpr std::int64_t kMiB = 1024 * kKiB;

BENCHMARK_CAPTURE(ApplyComponentRules, FormLike, &FormLikeText)
    ->Arg(64 * kKiB)
    ->Arg(1 * kMiB)
    ->Arg(64 * kMiB)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(ApplyComponentRules, NoMatch, &RepairedFormText)
    ->Arg(1 * kMiB)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(ApplyComponentRules, Dense, &DenseText)
    ->Arg(1 * kMiB)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace plindor::bench
