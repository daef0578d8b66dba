// Writing test containers with libarchive into a string.
#include "archive_writer.h"

#include <archive.h>
#include <archive_entry.h>

#include <memory>
#include <random>
#include <stdexcept>

namespace mailsift::test {
namespace {

struct WriterFree {
  void operator()(archive* handle) const noexcept { archive_write_free(handle); }
};

la_ssize_t appendTo(archive*, void* data, const void* bytes, std::size_t size) {
  static_cast<std::string*>(data)->append(static_cast<const char*>(bytes), size);
  return static_cast<la_ssize_t>(size);
}

void check(archive* handle, int status) {
  if (status < ARCHIVE_WARN) throw std::runtime_error(archive_error_string(handle));
}

void writeEntry(archive* handle, std::string_view name, unsigned type, std::string_view content,
                const char* linkTarget = nullptr) {
  std::unique_ptr<archive_entry, decltype(&archive_entry_free)> entry(archive_entry_new(), archive_entry_free);
  archive_entry_copy_pathname(entry.get(), std::string(name).c_str());
  archive_entry_set_filetype(entry.get(), type);
  archive_entry_set_perm(entry.get(), 0644);
  archive_entry_set_mtime(entry.get(), 1700000000, 0);
  if (linkTarget != nullptr) archive_entry_copy_symlink(entry.get(), linkTarget);
  if (type == AE_IFREG) archive_entry_set_size(entry.get(), static_cast<la_int64_t>(content.size()));
  check(handle, archive_write_header(handle, entry.get()));
  if (!content.empty()) {
    const la_ssize_t written = archive_write_data(handle, content.data(), content.size());
    if (written != static_cast<la_ssize_t>(content.size())) throw std::runtime_error(archive_error_string(handle));
  }
}

}  // namespace

const std::vector<Layout>& allLayouts() {
  static const std::vector<Layout> layouts = {
      {"gzip", "gzip", "raw", nullptr, ContainerKind::Gzip},
      {"bzip2", "bzip2", "raw", nullptr, ContainerKind::Bzip2},
      {"xz", "xz", "raw", nullptr, ContainerKind::Xz},
      {"zstd", "zstd", "raw", nullptr, ContainerKind::Zstd},
      {"zip", "", "zip", nullptr, ContainerKind::Zip},
      {"zip-stored", "", "zip", "zip:compression=store", ContainerKind::Zip},
      {"ustar", "", "ustar", nullptr, ContainerKind::Tar},
      {"pax", "", "pax", nullptr, ContainerKind::Tar},
      {"gnutar", "", "gnutar", nullptr, ContainerKind::Tar},
      {"v7tar", "", "v7tar", nullptr, ContainerKind::Tar},
      {"tar.gz", "gzip", "pax", nullptr, ContainerKind::Gzip},
      {"tar.bz2", "bzip2", "ustar", nullptr, ContainerKind::Bzip2},
      {"tar.xz", "xz", "gnutar", nullptr, ContainerKind::Xz},
      {"tar.zst", "zstd", "pax", nullptr, ContainerKind::Zstd},
  };
  return layouts;
}

std::string writeContainer(const Layout& layout, const std::vector<StoredMember>& members, const char* passphrase) {
  std::unique_ptr<archive, WriterFree> writer(archive_write_new());
  archive* handle = writer.get();
  if (*layout.filter != '\0') check(handle, archive_write_add_filter_by_name(handle, layout.filter));
  check(handle, archive_write_set_format_by_name(handle, layout.format));
  if (layout.options != nullptr) check(handle, archive_write_set_options(handle, layout.options));
  if (passphrase != nullptr) {
    check(handle, archive_write_set_options(handle, "zip:encryption=traditional"));
    check(handle, archive_write_set_passphrase(handle, passphrase));
  }
  check(handle, archive_write_set_bytes_in_last_block(handle, 1));
  std::string out;
  check(handle, archive_write_open(handle, &out, nullptr, appendTo, nullptr));
  if (!layout.isRaw()) writeEntry(handle, "folder/", AE_IFDIR, {});
  for (const StoredMember& member : members) writeEntry(handle, member.name, AE_IFREG, member.content);
  // A zip read as it streams cannot tell a link from a file (only the
  // central directory says which it is), so zips get none.
  if (!layout.isRaw() && std::string_view(layout.format) != "zip") writeEntry(handle, "link", AE_IFLNK, {}, "folder");
  check(handle, archive_write_close(handle));
  return out;
}

std::string randomBytes(std::size_t size, unsigned seed) {
  std::mt19937 generator(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(generator() & 0xFF);
  return bytes;
}

}  // namespace mailsift::test
