// Throughput of the scanner over a generated 64 MiB corpus: ExtractAddresses
// as a whole, and each candidate-search kernel on its own to show how much
// of that time the raw search takes. ExtractAddresses/dense runs over the
// dense corpus kind, where "@" and " at " come often, so much of the time
// goes to building entries. The names ending in /extended scan the same
// corpora under extended rules.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "corpus.h"
#include "scanner/detail/candidate_finder.h"
#include "scanner/extract_addresses.h"

namespace {

constexpr std::size_t kCorpusBytes = std::size_t{64} << 20;
constexpr std::uint64_t kCorpusSeed = 20240517;

// Made once, on first use, outside every timed loop.
const std::string& corpus() {
  static const std::string text = mailsift::bench::generateCorpus(kCorpusBytes, kCorpusSeed);
  return text;
}

const std::string& denseCorpus() {
  static const std::string text =
      mailsift::bench::generateCorpus(kCorpusBytes, kCorpusSeed, mailsift::bench::CorpusKind::Dense);
  return text;
}

// Counts the entries and their bytes, so every entry is really looked at.
class CountingSink final : public mailsift::EntrySink {
 public:
  mailsift::SinkReply addEntry(mailsift::TargetList target, std::string_view entry) override {
    ++m_counts[target == mailsift::TargetList::List1 ? 0 : 1];
    m_bytes += entry.size();
    return mailsift::SinkReply::Continue;
  }
  std::size_t found() const noexcept { return m_counts[0]; }
  std::size_t unknown() const noexcept { return m_counts[1]; }
  std::size_t bytes() const noexcept { return m_bytes; }

 private:
  std::array<std::size_t, 2> m_counts{};
  std::size_t m_bytes = 0;
};

void setThroughput(benchmark::State& state, std::size_t bytesPerIteration) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytesPerIteration));
}

void extractAddresses(benchmark::State& state, const std::string& text,
                      mailsift::ScanRules rules = mailsift::ScanRules::Specified) {
  CountingSink last;
  for (auto _ : state) {
    CountingSink sink;
    mailsift::extractAddresses(text, sink, rules);
    std::size_t entryBytes = sink.bytes();
    benchmark::DoNotOptimize(entryBytes);
    last = sink;
  }
  setThroughput(state, text.size());
  state.counters["found"] = static_cast<double>(last.found());
  state.counters["unknown"] = static_cast<double>(last.unknown());
}

// The kernel alone, called the way the scanner calls it: one chunk of
// kCandidateChunk bytes at a time over the whole text.
void candidateFinder(benchmark::State& state, mailsift::detail::CandidateFinder find) {
  const std::string& text = corpus();
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  std::vector<std::uint16_t> offsets(mailsift::detail::kCandidateChunk);
  std::size_t candidates = 0;
  for (auto _ : state) {
    std::size_t total = 0;
    for (std::size_t begin = 0; begin < size; begin += mailsift::detail::kCandidateChunk) {
      const std::size_t end = std::min(size, begin + mailsift::detail::kCandidateChunk);
      total += find(bytes, size, begin, end, offsets.data());
    }
    benchmark::DoNotOptimize(total);
    benchmark::DoNotOptimize(offsets.data());
    benchmark::ClobberMemory();
    candidates = total;
  }
  setThroughput(state, size);
  state.counters["candidates"] = static_cast<double>(candidates);
}

bool hasFlag(const std::vector<char*>& args, std::string_view name) {
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (std::string_view(args[i]).starts_with(name)) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("ExtractAddresses", [](benchmark::State& state) { extractAddresses(state, corpus()); })
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("ExtractAddresses/dense",
                               [](benchmark::State& state) { extractAddresses(state, denseCorpus()); })
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
  constexpr mailsift::ScanRules kExtended = mailsift::ScanRules::Extended;
  benchmark::RegisterBenchmark("ExtractAddresses/extended",
                               [](benchmark::State& state) { extractAddresses(state, corpus(), kExtended); })
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("ExtractAddresses/dense/extended",
                               [](benchmark::State& state) { extractAddresses(state, denseCorpus(), kExtended); })
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
  for (const mailsift::ScanRules rules : {mailsift::ScanRules::Specified, kExtended}) {
    for (const mailsift::detail::NamedCandidateFinder& finder : mailsift::detail::availableCandidateFinders(rules)) {
      const std::string name = "CandidateFinder/" + std::string(finder.name) + (rules == kExtended ? "/extended" : "");
      const mailsift::detail::CandidateFinder find = finder.find;
      benchmark::RegisterBenchmark(name.c_str(), [find](benchmark::State& state) { candidateFinder(state, find); })
          ->UseRealTime()
          ->Unit(benchmark::kMillisecond);
    }
  }

  // Five repetitions and only their mean, median and spread, unless the
  // command line says otherwise: single runs on a shared machine are noisy.
  static char repetitions[] = "--benchmark_repetitions=5";
  static char aggregatesOnly[] = "--benchmark_report_aggregates_only=true";
  std::vector<char*> args(argv, argv + argc);
  if (!hasFlag(args, "--benchmark_repetitions")) args.push_back(repetitions);
  if (!hasFlag(args, "--benchmark_report_aggregates_only") && !hasFlag(args, "--benchmark_display_aggregates_only")) {
    args.push_back(aggregatesOnly);
  }
  int count = static_cast<int>(args.size());
  args.push_back(nullptr);

  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  std::fprintf(stderr, "corpus: %zu bytes, seed %llu\n", corpus().size(), static_cast<unsigned long long>(kCorpusSeed));
  // Made only when its benchmark runs: the size is the one asked for.
  std::fprintf(stderr, "dense corpus: %zu bytes, seed %llu\n", kCorpusBytes,
               static_cast<unsigned long long>(kCorpusSeed));
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
