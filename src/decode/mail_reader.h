// Mail messages (.eml) and mailboxes (mbox): the parts a plain look at the
// bytes cannot read, decoded.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "decode/byte_reader.h"
#include "platform/failure.h"

namespace mailsift {

// True when `head`, the first bytes of a stream, shows a mail message or a
// mailbox: an mbox "From " line, or a header block whose first lines are
// RFC 5322 fields (From:, To:, Received:, Return-Path:, MIME-Version:,
// Message-ID:, Subject:, Date:, Delivered-To: ...).
bool looksLikeMail(std::string_view head) noexcept;

// One part whose body was encoded (base64 or quoted-printable), as handed
// over decoded.
struct MailPart {
  std::string contentType;  // lower case, e.g. "text/plain", "application/zip"
  std::string fileName;     // the attachment's name, when given
  bool isText = false;      // text/*: the body is handed over in UTF-8
};

enum class MailReply : unsigned char { Continue, Stop };

// What readMail hands over, in the order of the source's bytes.
struct MailCallbacks {
  // Every byte read from the source, in order, in pieces: the message as
  // stored, so a caller can scan it as it is in the same pass. Optional.
  std::function<MailReply(std::string_view raw)> onRaw;
  // The decoded text of the RFC 2047 encoded words of a header field, in
  // UTF-8 (e.g. "=?utf-8?b?...?=" in From: or To:). Optional.
  std::function<MailReply(std::string_view utf8)> onHeaderText;
  // Each part encoded as base64 or quoted-printable, with a reader of its
  // decoded body: text parts converted from their charset (UTF-8, US-ASCII,
  // ISO-8859-1, ISO-8859-15, Windows-1252, UTF-16; others read as
  // Windows-1252) to UTF-8, other parts as the decoded bytes (an attached
  // archive or PDF). The reader is valid only during the call; reading it is
  // optional. Optional.
  std::function<MailReply(const MailPart&, ByteReader&)> onPart;
};

// Reads the message or mailbox in `source` as it streams (every message of
// an mbox, nested multiparts and message/rfc822 parts included) and hands
// over what `callbacks` asks for. Damaged structure (a missing boundary, bad
// base64) is read as far as it makes sense, never a failure; a failure only
// when reading `source` fails. Bounded memory: bodies are decoded as they
// stream. Never throws except std::bad_alloc and what a callback throws.
[[nodiscard]] std::optional<platform::Failure> readMail(ByteReader& source, const MailCallbacks& callbacks);

}  // namespace mailsift
