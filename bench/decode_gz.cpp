// Decompresses many small gzip files held in memory three ways and prints
// the time per file: through readContainer (zlib inside, with the tar check
// and the member callback around it), through libarchive called directly (a
// raw-format reading, as readContainer first made), and with zlib's inflate
// alone, the least any reader can cost. The difference is the per-file
// overhead of each layer.
//
// Usage: decode_gz [ROUNDS] < LIST   (LIST: one path per line)
#include <archive.h>
#include <archive_entry.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "decode/container_reader.h"

namespace {

constexpr std::size_t kBuffer = std::size_t{64} << 10;

std::size_t throughReadContainer(const std::string& file, std::vector<char>& buffer) {
  mailsift::MemoryReader source(file);
  std::size_t total = 0;
  const auto failure = mailsift::readContainer(source, mailsift::ContainerKind::Gzip, "bench",
                                               [&](const mailsift::ContainerMember&, mailsift::ByteReader& reader) {
                                                 for (;;) {
                                                   const mailsift::ReadOutcome got =
                                                       reader.read(buffer.data(), buffer.size());
                                                   total += got.bytes;
                                                   if (got.bytes == 0) return mailsift::MemberReply::Continue;
                                                 }
                                               });
  return failure ? 0 : total;
}

std::size_t throughLibarchive(const std::string& file, std::vector<char>& buffer) {
  archive* handle = archive_read_new();
  archive_read_support_filter_gzip(handle);
  archive_read_support_format_raw(handle);
  std::size_t total = 0;
  archive_entry* entry = nullptr;
  if (archive_read_open_memory(handle, file.data(), file.size()) == ARCHIVE_OK &&
      archive_read_next_header(handle, &entry) == ARCHIVE_OK) {
    la_ssize_t got = 0;
    while ((got = archive_read_data(handle, buffer.data(), buffer.size())) > 0) total += static_cast<std::size_t>(got);
  }
  archive_read_free(handle);
  return total;
}

std::size_t throughZlib(const std::string& file, std::vector<char>& buffer) {
  z_stream stream{};
  if (inflateInit2(&stream, 15 + 32) != Z_OK) return 0;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(file.data()));
  stream.avail_in = static_cast<uInt>(file.size());
  std::size_t total = 0;
  int status = Z_OK;
  while (status == Z_OK) {
    stream.next_out = reinterpret_cast<Bytef*>(buffer.data());
    stream.avail_out = static_cast<uInt>(buffer.size());
    status = inflate(&stream, Z_NO_FLUSH);
    total += buffer.size() - stream.avail_out;
    // A file of several gzip members goes on with the next one.
    if (status == Z_STREAM_END && stream.avail_in > 0) status = inflateReset(&stream);
  }
  inflateEnd(&stream);
  return total;
}

struct Timing {
  double wall = 0;  // seconds
  double cpu = 0;   // seconds of processor time, which a busy machine disturbs less
};

template <class Decode>
Timing medianTiming(const std::vector<std::string>& files, int rounds, Decode decode, std::size_t& bytes) {
  std::vector<char> buffer(kBuffer);
  std::vector<double> wall;
  std::vector<double> cpu;
  for (int round = 0; round < rounds; ++round) {
    bytes = 0;
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    for (const std::string& file : files) bytes += decode(file, buffer);
    cpu.push_back(static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC);
    wall.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(wall.begin(), wall.end());
  std::sort(cpu.begin(), cpu.end());
  return {wall[wall.size() / 2], cpu[cpu.size() / 2]};
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  std::vector<std::string> files;
  std::size_t compressed = 0;
  for (std::string path; std::getline(std::cin, path);) {
    std::ifstream in(path, std::ios::binary);
    files.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    compressed += files.back().size();
  }
  if (files.empty()) {
    std::fprintf(stderr, "usage: decode_gz [ROUNDS] < LIST\n");
    return 2;
  }
  std::printf("%zu files, %.1f MB compressed, median of %d rounds\n", files.size(),
              static_cast<double>(compressed) / 1e6, rounds);
  std::printf("%-14s %9s %9s %12s %12s %10s %9s\n", "reader", "wall s", "cpu s", "wall us/file", "cpu us/file",
              "MB/s out", "MB out");
  const auto report = [&](const char* label, auto decode) {
    std::size_t bytes = 0;
    const Timing timing = medianTiming(files, rounds, decode, bytes);
    const auto count = static_cast<double>(files.size());
    std::printf("%-14s %9.4f %9.4f %12.2f %12.2f %10.1f %9.1f\n", label, timing.wall, timing.cpu,
                timing.wall * 1e6 / count, timing.cpu * 1e6 / count, static_cast<double>(bytes) / 1e6 / timing.wall,
                static_cast<double>(bytes) / 1e6);
  };
  report("readContainer", throughReadContainer);
  report("libarchive", throughLibarchive);
  report("zlib", throughZlib);
  return 0;
}
