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
  std::string fileName;     // the attachment's name, when given, in UTF-8
  bool isText = false;      // text/*: the body is handed over in UTF-8
};

enum class MailReply : unsigned char { Continue, Stop };

// What readMail hands over, in the order of the source's bytes. A callback
// that answers Stop ends the reading at once.
struct MailCallbacks {
  // Every byte read from the source, in order, in pieces: the message as
  // stored, so a caller can scan it as it is in the same pass. Optional.
  std::function<MailReply(std::string_view raw)> onRaw;
  // The value of each header field that holds RFC 2047 encoded words
  // ("=?utf-8?b?...?=" in From:, To:, Subject: or a file name), with the
  // words decoded, in UTF-8: "=?utf-8?q?J=C3=BCrgen?= <j@example.com>"
  // gives "Jürgen <j@example.com>". Optional.
  std::function<MailReply(std::string_view utf8)> onHeaderText;
  // Each part encoded as base64 or quoted-printable, with a reader of its
  // decoded body: text parts converted from their charset (see charset.h;
  // UTF-8 when none is named) to UTF-8, other parts as the decoded bytes (an
  // attached archive or PDF). Parts sent as they are (7bit, 8bit, binary)
  // come only through onRaw. The reader pulls the part from the source as it
  // is read; it is valid only during the call, and reading it is optional:
  // what is left unread is passed over. Optional.
  std::function<MailReply(const MailPart&, ByteReader&)> onPart;
};

// Reads the message or mailbox in `source` as it streams (every message of
// an mbox, nested multiparts and message/rfc822 parts included) and hands
// over what `callbacks` asks for. Damaged structure (a missing boundary, bad
// base64) is read as far as it makes sense, never a failure; a failure only
// when reading `source` fails (a part's reader then gives it too). Bounded
// memory: a 64 KiB buffer, header blocks up to 256 KiB (the rest of a longer
// one is passed over), bodies decoded as they stream. Never throws except
// std::bad_alloc and what a callback throws. Several threads may read
// different messages at once.
[[nodiscard]] std::optional<platform::Failure> readMail(ByteReader& source, const MailCallbacks& callbacks);

}  // namespace mailsift
