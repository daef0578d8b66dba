// `mailsift-tree DIR FILES SEED [MEAN_BYTES]`: writes a generated folder tree
// for the folder-scan benchmarks, FILES files of corpus text spread over
// folders three and four levels deep, some of them hidden.
#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "bench_support.h"
#include "corpus.h"

namespace {

using mailsift::bench::parseNumber;
using mailsift::bench::parseSize;
using mailsift::bench::SplitMix64;

namespace fs = std::filesystem;

// The text of all files is one corpus, made 64 MiB at a time with a seed
// derived per chunk and cut into consecutive slices: every file holds
// different text and memory stays bounded however large the tree is.
constexpr std::size_t kChunkBytes = std::size_t{64} << 20;
constexpr std::uint64_t kDefaultMeanBytes = 8192;
constexpr std::uint64_t kMaxFiles = 100'000'000;
constexpr unsigned kFanOut = 10;

constexpr std::string_view kUsage =
    "Usage: mailsift-tree DIR FILES SEED [MEAN_BYTES]\n"
    "\n"
    "Writes FILES files of generated text (Windows-1252) into a new or empty\n"
    "folder DIR: 10 x 10 x 10 folders with most files at the leaves, some one\n"
    "level deeper and some in the inner folders; about one folder in ten and\n"
    "one file in twenty-five is hidden (its name starts with a dot). File sizes\n"
    "vary evenly from a quarter to seven quarters of MEAN_BYTES (default 8K;\n"
    "K and M suffixes are powers of 1024). The same arguments give the same\n"
    "tree on every machine.\n";

// splitmix64 for the layout (sizes, folders, names), kept apart from the
// corpus's own generator so the text does not depend on the layout.
class LayoutRng : public SplitMix64 {
 public:
  explicit LayoutRng(std::uint64_t seed) noexcept : SplitMix64(seed ^ 0x6D61696C74726565u) {}
};

// The folders of the tree, each a path relative to DIR ending in '/', root
// first. Level k (1 to 3) names its ten children after a letter and a digit,
// the last of them hidden (".a9"); every tenth leaf has a fourth level, a
// third of those hidden too.
struct Layout {
  std::vector<std::string> inner;   // the root and levels 1 and 2: 111 folders
  std::vector<std::string> leaves;  // level 3: 1000 folders
  std::vector<std::string> deeper;  // level 4: 100 folders
};

std::string childName(char letter, unsigned index) {
  std::string name;
  if (index == kFanOut - 1) name += '.';
  name += letter;
  name += static_cast<char>('0' + index);
  return name;
}

Layout makeLayout() {
  Layout layout;
  layout.inner.emplace_back();
  for (unsigned a = 0; a < kFanOut; ++a) {
    const std::string levelOne = childName('a', a) + '/';
    layout.inner.push_back(levelOne);
    for (unsigned b = 0; b < kFanOut; ++b) {
      const std::string levelTwo = levelOne + childName('b', b) + '/';
      layout.inner.push_back(levelTwo);
      for (unsigned c = 0; c < kFanOut; ++c) {
        const std::string leaf = levelTwo + childName('c', c) + '/';
        layout.leaves.push_back(leaf);
        const std::size_t leafIndex = layout.leaves.size() - 1;
        if (leafIndex % 10 == 3) layout.deeper.push_back(leaf + (leafIndex % 30 == 3 ? ".more/" : "more/"));
      }
    }
  }
  return layout;
}

// The folder of the next file: 80 % at a leaf, 8 % one level deeper and
// 12 % in the root or an inner folder.
const std::string& pickFolder(const Layout& layout, LayoutRng& rng) {
  const std::uint64_t roll = rng.below(100);
  if (roll < 80) return layout.leaves[rng.below(static_cast<std::uint32_t>(layout.leaves.size()))];
  if (roll < 88) return layout.deeper[rng.below(static_cast<std::uint32_t>(layout.deeper.size()))];
  return layout.inner[rng.below(static_cast<std::uint32_t>(layout.inner.size()))];
}

constexpr std::array<std::string_view, 6> kExtensions = {".txt", ".html", ".csv", ".log", ".eml", ".md"};

std::string fileName(std::uint64_t index, LayoutRng& rng) {
  char digits[24];
  std::snprintf(digits, sizeof digits, "%07llu", static_cast<unsigned long long>(index));
  std::string name = rng.below(25) == 0 ? ".file-" : "file-";
  name += digits;
  name += kExtensions[rng.below(static_cast<std::uint32_t>(kExtensions.size()))];
  return name;
}

// Hands out consecutive slices of the corpus, making the next chunk when the
// current one runs out.
class CorpusStream {
 public:
  explicit CorpusStream(std::uint64_t seed) : m_seed(seed) {}

  // Writes the next `bytes` bytes of the corpus to `out`; false when writing failed.
  bool writeTo(std::FILE* out, std::size_t bytes) {
    while (bytes > 0) {
      if (m_offset == m_chunk.size()) {
        mailsift::bench::generateCorpus(kChunkBytes, mailsift::bench::chunkSeed(m_seed, m_nextChunk++), m_chunk);
        m_offset = 0;
      }
      const std::size_t piece = std::min(bytes, m_chunk.size() - m_offset);
      if (std::fwrite(m_chunk.data() + m_offset, 1, piece, out) != piece) return false;
      m_offset += piece;
      bytes -= piece;
    }
    return true;
  }

 private:
  std::uint64_t m_seed;
  std::uint64_t m_nextChunk = 0;
  std::string m_chunk;
  std::size_t m_offset = 0;
};

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t files = 0;
  std::uint64_t seed = 0;
  std::uint64_t meanBytes = kDefaultMeanBytes;
  if (argc < 4 || argc > 5 || !parseNumber(argv[2], files) || !parseNumber(argv[3], seed) ||
      (argc == 5 && !parseSize(argv[4], meanBytes)) || files == 0 || files > kMaxFiles || meanBytes == 0 ||
      meanBytes > (std::uint64_t{1} << 30)) {
    std::fputs(kUsage.data(), stderr);
    return 2;
  }
  const fs::path root = argv[1];
  std::error_code error;
  fs::create_directories(root, error);
  if (error || !fs::is_empty(root, error) || error) {
    std::fprintf(stderr, "mailsift-tree: %s is not a new or empty folder%s%s\n", root.c_str(), error ? ": " : "",
                 error ? error.message().c_str() : "");
    return 1;
  }

  const auto start = std::chrono::steady_clock::now();
  const Layout layout = makeLayout();
  std::string base = root.string();
  if (!base.ends_with('/')) base += '/';
  for (const auto* level : {&layout.inner, &layout.leaves, &layout.deeper}) {
    for (const std::string& folder : *level) {
      if (folder.empty()) continue;
      if (!fs::create_directory(base + folder, error) || error) {
        std::fprintf(stderr, "mailsift-tree: cannot create %s%s: %s\n", base.c_str(), folder.c_str(),
                     error ? error.message().c_str() : "it exists");
        return 1;
      }
    }
  }

  LayoutRng rng(seed);
  CorpusStream corpus(seed);
  const std::uint64_t smallest = meanBytes / 4;
  const auto spread = static_cast<std::uint32_t>(meanBytes * 7 / 4 - smallest + 1);  // at most 1.5 GiB + 1
  std::uint64_t written = 0;
  std::string path;
  for (std::uint64_t index = 0; index < files; ++index) {
    const std::size_t size = static_cast<std::size_t>(smallest + rng.below(spread));
    const std::string& folder = pickFolder(layout, rng);
    path.assign(base).append(folder).append(fileName(index, rng));
    std::FILE* out = std::fopen(path.c_str(), "wbx");
    bool ok = out != nullptr && corpus.writeTo(out, size);
    if (out != nullptr && std::fclose(out) != 0) ok = false;
    if (!ok) {
      std::perror(path.c_str());
      return 1;
    }
    written += size;
  }

  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::fprintf(stderr, "mailsift-tree: wrote %llu files (%llu bytes) in %zu folders under %s in %.2f s\n",
               static_cast<unsigned long long>(files), static_cast<unsigned long long>(written),
               layout.inner.size() + layout.leaves.size() + layout.deeper.size(), root.c_str(), seconds);
  return 0;
}
