// Adding one million entries, about a third of them duplicates, to each
// result list and removing the duplicates; and the same entries arriving
// as many small files, with the closing steps after each file.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/scan_file.h"
#include "results/result_lists.h"

namespace {

constexpr std::size_t kEntries = 1'000'000;

// Deterministic addresses: every third entry repeats an earlier one.
const std::vector<std::string>& entries() {
  static const std::vector<std::string> all = [] {
    std::vector<std::string> made;
    made.reserve(kEntries);
    std::uint64_t state = 0x9E3779B97F4A7C15u;
    for (std::size_t i = 0; i < kEntries; ++i) {
      state ^= state << 13;
      state ^= state >> 7;
      state ^= state << 17;
      if (i % 3 == 2) {
        made.push_back(made[state % made.size()]);
      } else {
        made.push_back("user" + std::to_string(state % 100'000'000) + "@host" + std::to_string(i % 5000) +
                       ".example.com");
      }
    }
    return made;
  }();
  return all;
}

void addAndDeduplicate(benchmark::State& state, mailsift::ListId list) {
  const std::vector<std::string>& all = entries();
  for (auto _ : state) {
    mailsift::ResultLists lists;
    for (const std::string& entry : all) lists.add(list, entry);
    const std::size_t removed = lists.removeDuplicates(list);
    benchmark::DoNotOptimize(removed);
    benchmark::DoNotOptimize(lists.at(list, lists.count(list) / 2));
    state.counters["removed"] = static_cast<double>(removed);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(all.size()));
}

void BM_List1AddAndDeduplicate(benchmark::State& state) { addAndDeduplicate(state, mailsift::ListId::List1); }
void BM_List2AddAndDeduplicate(benchmark::State& state) { addAndDeduplicate(state, mailsift::ListId::List2); }

// The folder-scan pattern: 100,000 files of ten entries, closing steps after each.
void BM_ClosingStepsAfterEachFile(benchmark::State& state) {
  const std::vector<std::string>& all = entries();
  for (auto _ : state) {
    mailsift::ResultLists lists;
    std::size_t removed = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
      lists.add(i % 4 == 0 ? mailsift::ListId::List2 : mailsift::ListId::List1, all[i]);
      if (i % 10 == 9) removed += mailsift::closeFileScan(lists).removedFromList1;
    }
    benchmark::DoNotOptimize(removed);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(all.size()));
}

BENCHMARK(BM_List1AddAndDeduplicate)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_List2AddAndDeduplicate)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_ClosingStepsAfterEachFile)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
