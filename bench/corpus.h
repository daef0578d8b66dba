// A seeded generator of realistic mixed text for the benchmarks: English and
// German prose (Windows-1252), HTML, CSV, log lines and base64 blobs, with
// e-mail addresses in their plain, upper-case and spelled-out forms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace mailsift::bench {

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

// The seed of chunk `index` of a corpus made piece by piece from `seed`, so
// that a file larger than memory is reproducible too. Different indices give
// unrelated seeds.
std::uint64_t chunkSeed(std::uint64_t seed, std::uint64_t index) noexcept;

}  // namespace mailsift::bench
