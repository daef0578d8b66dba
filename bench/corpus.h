// A seeded generator of realistic text for the benchmarks. The mixed kind:
// English and German prose (Windows-1252), HTML, CSV, log lines and base64
// blobs, with e-mail addresses in their plain, upper-case and spelled-out
// forms. The dense kind: source code, prose and mail headers where "@" and
// words starting with "at" come many times more often.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mailsift::bench {

enum class CorpusKind {
  // About one address every 3 KB among text where "@" is rare.
  Mixed,
  // About one "@" every 600 bytes: Python decorators and matrix products
  // (`a @ b`), Java annotations and Javadoc tags, prose where one word in
  // four starts with "at" (most often "at" itself), prices and mentions with
  // "@", and mail headers (Received, From, To, Cc, Message-ID, DKIM lines);
  // real addresses among them, most of all in the headers.
  Dense,
};

// The kind named "mixed" or "dense", or nothing for any other name.
std::optional<CorpusKind> corpusKindOf(std::string_view name) noexcept;

// Returns exactly `bytes` bytes of corpus text, one character per byte in
// Windows-1252. The text depends on nothing but `bytes` and `seed`: every
// machine and build makes the same bytes, and a shorter corpus is a prefix of
// a longer one with the same seed. Sections follow each other at random,
// with about one address every 3 KB (some of them inside an HTML link, which
// shows the address twice). Safe to call from several threads at once.
// Throws std::bad_alloc when the text does not fit in memory.
std::string generateCorpus(std::size_t bytes, std::uint64_t seed);

// The same text, written into `out` (its old content is dropped). Reusing one
// string for many calls saves allocating and touching fresh memory each time.
void generateCorpus(std::size_t bytes, std::uint64_t seed, std::string& out);

// The same for either kind; the mixed kind gives the very bytes of the
// functions above. Each kind has the same guarantees: exactly `bytes` bytes,
// a function of `bytes`, `seed` and `kind` alone, shorter corpora prefixes
// of longer ones. The two kinds with the same seed are unrelated texts.
std::string generateCorpus(std::size_t bytes, std::uint64_t seed, CorpusKind kind);
void generateCorpus(std::size_t bytes, std::uint64_t seed, CorpusKind kind, std::string& out);

// The seed of chunk `index` of a corpus made piece by piece from `seed`, so
// that a file larger than memory is reproducible too. Different indices give
// unrelated seeds.
std::uint64_t chunkSeed(std::uint64_t seed, std::uint64_t index) noexcept;

}  // namespace mailsift::bench
