// The mail reader on any bytes: the first byte picks how many bytes each
// read of the source gives and how much of each part is read; the rest is
// the mail. Every byte must come back through onRaw, in order.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "decode/mail_reader.h"

namespace {

class PieceReader final : public mailsift::ByteReader {
 public:
  PieceReader(std::string_view bytes, std::size_t piece) : m_bytes(bytes), m_piece(piece) {}
  mailsift::ReadOutcome read(char* buffer, std::size_t capacity) override {
    const std::size_t size = std::min({capacity, m_piece, m_bytes.size()});
    std::copy_n(m_bytes.data(), size, buffer);
    m_bytes.remove_prefix(size);
    return {size, std::nullopt};
  }

 private:
  std::string_view m_bytes;
  std::size_t m_piece;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view mail(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t piece = data[0] & 0x80 ? std::size_t{1} << 16 : 1 + (data[0] & 0x0F);
  const std::size_t partLimit = data[0] & 0x40 ? 100 : std::size_t{1} << 30;
  (void)mailsift::looksLikeMail(mail);

  std::string raw;
  mailsift::MailCallbacks callbacks;
  callbacks.onRaw = [&](std::string_view bytes) {
    raw += bytes;
    return mailsift::MailReply::Continue;
  };
  callbacks.onHeaderText = [](std::string_view) { return mailsift::MailReply::Continue; };
  callbacks.onPart = [&](const mailsift::MailPart&, mailsift::ByteReader& body) {
    char buffer[4096];
    for (std::size_t total = 0; total < partLimit;) {
      const mailsift::ReadOutcome got = body.read(buffer, sizeof buffer);
      if (got.bytes == 0) break;
      total += got.bytes;
    }
    return mailsift::MailReply::Continue;
  };
  PieceReader source(mail, piece);
  if (mailsift::readMail(source, callbacks) || raw != mail) __builtin_trap();
  return 0;
}
