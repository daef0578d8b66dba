// Adding one million entries, about a third of them duplicates, to each
// result list and removing the duplicates; the same entries arriving as
// many small files, with the closing steps after each file; and one million
// distinct addresses as one file, as many files with snapshots taken as the
// window takes them, read in order, and snapshots of a large list.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/scan_file.h"
#include "bench_support.h"
#include "results/list_snapshot.h"
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

// One million distinct addresses shaped like those of bench/scan_vs_sort.sh:
// random letters and digits, the address's number (so that all differ),
// "@", random letters, a common top-level domain.
const std::vector<std::string>& distinctEntries() {
  static const std::vector<std::string> all = [] {
    static const char* kTlds[] = {"com", "net", "org", "de", "info", "at", "ch", "edu"};
    mailsift::bench::SplitMix64 random(42);
    const auto drawn = [&](std::string_view alphabet, std::uint32_t least, std::uint32_t most) {
      std::string text(random.between(least, most), ' ');
      for (char& c : text) c = alphabet[random.below(static_cast<std::uint32_t>(alphabet.size()))];
      return text;
    };
    std::vector<std::string> made;
    made.reserve(kEntries);
    for (std::size_t i = 0; i < kEntries; ++i) {
      made.push_back(drawn("abcdefghijklmnopqrstuvwxyz0123456789", 2, 8) + std::to_string(i) + "@" +
                     drawn("abcdefghijklmnopqrstuvwxyz", 4, 9) + "." + kTlds[random.below(8)]);
    }
    return made;
  }();
  return all;
}

// A file of one million distinct addresses: all added, then the closing steps.
void BM_OneFileOfDistinctAddresses(benchmark::State& state) {
  const std::vector<std::string>& all = distinctEntries();
  for (auto _ : state) {
    mailsift::ResultLists lists;
    for (const std::string& entry : all) lists.add(mailsift::ListId::List1, entry);
    benchmark::DoNotOptimize(mailsift::closeFileScan(lists));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(all.size()));
}

// The folder-scan pattern with one million distinct addresses: 100,000 files
// of ten entries (every fourth to List2), the closing steps after each, and
// a snapshot of both lists after every 500th file, as the window publishes
// them while the lists grow.
void BM_FolderScanWithSnapshots(benchmark::State& state) {
  const std::vector<std::string>& all = distinctEntries();
  for (auto _ : state) {
    mailsift::ResultLists lists;
    for (std::size_t i = 0; i < all.size(); ++i) {
      lists.add(i % 4 == 0 ? mailsift::ListId::List2 : mailsift::ListId::List1, all[i]);
      if (i % 10 != 9) continue;
      mailsift::closeFileScan(lists);
      if (i % 5000 == 4999) {
        const mailsift::ListSnapshot list1(lists, mailsift::ListId::List1);
        const mailsift::ListSnapshot list2(lists, mailsift::ListId::List2);
        benchmark::DoNotOptimize(list1.size() + list2.size());
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(all.size()));
}

// List1 of one million addresses read entry by entry, as printing and the
// export read it.
void BM_ReadList1InOrder(benchmark::State& state) {
  mailsift::ResultLists lists;
  for (const std::string& entry : distinctEntries()) lists.add(mailsift::ListId::List1, entry);
  mailsift::closeFileScan(lists);
  const std::size_t count = lists.count(mailsift::ListId::List1);
  for (auto _ : state) {
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < count; ++i) bytes += lists.at(mailsift::ListId::List1, i).size();
    benchmark::DoNotOptimize(bytes);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(count));
}

// A snapshot of List1 of one million addresses: when nothing changed since
// the last one, and when one file of ten new entries came in between (its
// closing steps included).
void BM_SnapshotOfALargeList(benchmark::State& state) {
  const bool fileBetween = state.range(0) != 0;
  const std::vector<std::string>& all = distinctEntries();
  mailsift::ResultLists lists;
  for (std::size_t i = 0; i + 100'000 < all.size(); ++i) lists.add(mailsift::ListId::List1, all[i]);
  mailsift::closeFileScan(lists);
  mailsift::ListSnapshot shown(lists, mailsift::ListId::List1);
  std::size_t next = all.size() - 100'000;
  for (auto _ : state) {
    if (fileBetween) {
      for (int k = 0; k < 10; ++k) lists.add(mailsift::ListId::List1, all[next++ % all.size()]);
      mailsift::closeFileScan(lists);
    }
    shown = mailsift::ListSnapshot(lists, mailsift::ListId::List1);
    benchmark::DoNotOptimize(shown.size());
  }
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
BENCHMARK(BM_OneFileOfDistinctAddresses)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_FolderScanWithSnapshots)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_ReadList1InOrder)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_SnapshotOfALargeList)
    ->ArgName("fileBetween")
    ->Arg(0)
    ->Arg(1)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
