// `mailsift-corpus [--kind=KIND] BYTES SEED OUTFILE`: writes a generated
// benchmark corpus to a file, 64 MiB at a time with a seed derived per chunk,
// so memory stays bounded however large the file is.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "bench_support.h"
#include "corpus.h"

namespace {

using mailsift::bench::CorpusKind;
using mailsift::bench::corpusKindOf;
using mailsift::bench::parseNumber;
using mailsift::bench::parseSize;
using mailsift::bench::SplitMix64;

constexpr std::size_t kChunkBytes = std::size_t{64} << 20;

constexpr std::string_view kUsage =
    "Usage: mailsift-corpus [--kind=KIND] BYTES SEED OUTFILE\n"
    "\n"
    "Writes BYTES bytes of generated text (Windows-1252) to OUTFILE. BYTES may\n"
    "end in K, M or G (powers of 1024). The same KIND, BYTES and SEED give the\n"
    "same file on every machine.\n"
    "\n"
    "KIND is one of\n"
    "  mixed  prose, HTML, CSV, logs and base64, about one address per 3 KB\n"
    "         (the default)\n"
    "  dense  source code, prose and mail headers, about one \"@\" per 600\n"
    "         bytes and many words starting with \"at\"\n";

}  // namespace

int main(int argc, char** argv) {
  CorpusKind kind = CorpusKind::Mixed;
  int first = 1;
  constexpr std::string_view kKindOption = "--kind=";
  if (argc > 1 && std::string_view(argv[1]).starts_with(kKindOption)) {
    const std::optional<CorpusKind> named = corpusKindOf(std::string_view(argv[1]).substr(kKindOption.size()));
    if (!named) {
      std::fputs(kUsage.data(), stderr);
      return 2;
    }
    kind = *named;
    first = 2;
  }
  std::uint64_t bytes = 0;
  std::uint64_t seed = 0;
  if (argc - first != 3 || !parseSize(argv[first], bytes) || !parseNumber(argv[first + 1], seed)) {
    std::fputs(kUsage.data(), stderr);
    return 2;
  }
  const std::string path = argv[first + 2];
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) {
    std::perror(path.c_str());
    return 1;
  }

  const auto start = std::chrono::steady_clock::now();
  bool ok = true;
  std::uint64_t written = 0;
  std::string chunk;
  for (std::uint64_t index = 0; written < bytes && ok; ++index) {
    const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(kChunkBytes, bytes - written));
    mailsift::bench::generateCorpus(size, mailsift::bench::chunkSeed(seed, index), kind, chunk);
    ok = std::fwrite(chunk.data(), 1, chunk.size(), out) == chunk.size();
    written += size;
  }
  if (std::fclose(out) != 0) ok = false;
  if (!ok) {
    std::perror(path.c_str());
    std::remove(path.c_str());
    return 1;
  }

  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::fprintf(stderr, "mailsift-corpus: wrote %llu bytes to %s in %.2f s (%.0f MB/s)\n",
               static_cast<unsigned long long>(bytes), path.c_str(), seconds,
               seconds > 0 ? static_cast<double>(bytes) / seconds / 1e6 : 0.0);
  return 0;
}
