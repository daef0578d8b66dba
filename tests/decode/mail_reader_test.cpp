// The mail reader: header words and parameters from tables, and whole
// messages and mailboxes, each read again with the source delivering a few
// bytes at a time, which must give the same parts.
#include "decode/mail_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "base64_encoder.h"
#include "decode/mail_header.h"

namespace mailsift {
namespace {

// Delivers its bytes in pieces of 1 to `largest` bytes, then, if asked, fails.
class ChunkedReader final : public ByteReader {
 public:
  ChunkedReader(std::string_view bytes, std::size_t largest, bool failAtEnd = false)
      : m_bytes(bytes), m_largest(largest), m_failAtEnd(failAtEnd) {}
  ReadOutcome read(char* buffer, std::size_t capacity) override {
    if (m_bytes.empty() && m_failAtEnd) return {0, platform::failureOf(platform::FailureKind::ReadFailed, "mail")};
    const std::size_t size = std::min({capacity, m_bytes.size(), 1 + m_random() % m_largest});
    std::copy_n(m_bytes.data(), size, buffer);
    m_bytes.remove_prefix(size);
    return {size, std::nullopt};
  }

 private:
  std::string_view m_bytes;
  std::size_t m_largest;
  bool m_failAtEnd;
  std::mt19937 m_random{5};
};

struct GivenPart {
  std::string type;
  std::string fileName;
  bool isText;
  std::string body;
  bool operator==(const GivenPart&) const = default;
};

struct Read {
  std::vector<GivenPart> parts;
  std::vector<std::string> headerTexts;
  std::string raw;
  int failedBodies = 0;
  std::optional<platform::Failure> failure;
};

Read readAllOf(ByteReader& source, std::size_t stopAfterParts = 0) {
  Read read;
  MailCallbacks callbacks;
  callbacks.onRaw = [&](std::string_view raw) {
    read.raw += raw;
    return MailReply::Continue;
  };
  callbacks.onHeaderText = [&](std::string_view text) {
    read.headerTexts.emplace_back(text);
    return MailReply::Continue;
  };
  callbacks.onPart = [&](const MailPart& part, ByteReader& body) {
    std::string bytes;
    bool truncated = false;
    if (readAll(body, 1 << 20, bytes, truncated)) ++read.failedBodies;
    read.parts.push_back({part.contentType, part.fileName, part.isText, bytes});
    return read.parts.size() == stopAfterParts ? MailReply::Stop : MailReply::Continue;
  };
  read.failure = readMail(source, callbacks);
  return read;
}

// Reads `mail` whole and in pieces of every size up to 7 and 300 bytes;
// all must agree. Returns the whole read.
Read readMailText(const std::string& mail) {
  MemoryReader whole(mail);
  Read read = readAllOf(whole);
  EXPECT_EQ(read.raw, mail);
  EXPECT_FALSE(read.failure);
  EXPECT_EQ(read.failedBodies, 0);
  for (const std::size_t largest : {1u, 2u, 7u, 300u}) {
    ChunkedReader chunked(mail, largest);
    const Read again = readAllOf(chunked);
    EXPECT_EQ(again.parts, read.parts) << largest;
    EXPECT_EQ(again.headerTexts, read.headerTexts) << largest;
    EXPECT_EQ(again.raw, mail);
  }
  return read;
}

std::string withCrLf(std::string text) {
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2)) text.insert(at, "\r");
  return text;
}

TEST(EncodedWords, DecodeToUtf8) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"=?utf-8?q?J=C3=BCrgen?= <j@example.com>", "Jürgen <j@example.com>"},
      {"=?ISO-8859-1?Q?Andr=E9?= Pirard <pirard@example.be>", "André Pirard <pirard@example.be>"},
      {"=?UTF-8?B?am9obkBleGFtcGxlLmNvbQ==?=", "john@example.com"},
      {"=?utf-8?q?a?= \r\n =?utf-8?q?b?=", "ab"},     // blanks between words go
      {"=?utf-8?q?a?=\t=?iso-8859-1?q?=E9?=", "aé"},  // a charset per word
      {"=?utf-8?q?a?= b =?utf-8?q?c?=", "a b c"},
      {"=?utf-8?q?=C3?= =?utf-8?q?=BC?=", "ü"},  // a character split between words
      {"=?utf-8*en?q?Hi_there?=", "Hi there"},   // with a language
      {"=?utf-16be?b?AGEAQA==?=", "a@"},
      {"x=?utf-8?q?y?=z", "xyz"},
      {"=?bogus", "=?bogus"},
      {"=?utf-8?x?abc?=", "=?utf-8?x?abc?="},
      {"=?utf-8?q?a b?=", "=?utf-8?q?a b?="},
  };
  for (const auto& [text, decoded] : cases) EXPECT_EQ(detail::decodeEncodedWords(text), decoded) << text;
}

TEST(StructuredValue, ReadsTypesAndParameters) {
  struct Case {
    std::string_view text;
    std::string_view value;
    std::string_view name;
    std::string_view parameter;
  };
  const Case cases[] = {
      {"Multipart/Mixed; boundary=\"a;b \\\"c\\\"\"", "multipart/mixed", "boundary", "a;b \"c\""},
      {"text/plain (plain text); CHARSET = iso-8859-1", "text/plain", "charset", "iso-8859-1"},
      {"attachment; filename*=UTF-8''%C3%BCber.pdf", "attachment", "filename", "über.pdf"},
      {"attachment; filename*0*=iso-8859-1''%FC; filename*1=ber.zip", "attachment", "filename", "über.zip"},
      {"attachment; filename=plain.txt; filename*=utf-8''better.txt", "attachment", "filename", "better.txt"},
      {"inline; filename=my file.pdf", "inline", "filename", "my file.pdf"},
  };
  for (const Case& c : cases) {
    const detail::StructuredValue parsed = detail::parseStructuredValue(c.text);
    EXPECT_EQ(parsed.value, c.value) << c.text;
    EXPECT_EQ(parsed.parameter(c.name), c.parameter) << c.text;
  }
}

const std::string kMultipartMail = R"(From: =?utf-8?q?J=C3=BCrgen?= <juergen@example.com>
To: sales@example.org
Subject: =?iso-8859-1?q?Gr=FC=DFe?=
MIME-Version: 1.0
Content-Type: multipart/mixed; boundary="outer"

This is a multi-part message in MIME format.
--outer
Content-Type: multipart/alternative;
 boundary=inner

--inner
Content-Type: text/plain; charset=ISO-8859-1
Content-Transfer-Encoding: quoted-printable

Write to info@m=FCller.example or to=20a very long line that is soft=
-broken@example.com
Thanks
--inner
Content-Type: text/html; charset="utf-8"
Content-Transfer-Encoding: base64

PHA+TWFpbCA8YSBocmVmPSJtYWlsdG86aHRtbEBleGFtcGxlLm5ldCI+dXM8L2E+PC9wPg==
--inner--
--outer
Content-Type: application/zip; name="data.zip"
Content-Disposition: attachment; filename="=?utf-8?q?d=C3=A4ta.zip?="
Content-Transfer-Encoding: base64

UEsDBBQAAAAIAAAAIQBtYWlsQGV4YW1wbGUuY29tAAEC/w==
--outer--
epilogue
)";

TEST(ReadMail, GivesThePartsOfANestedMultipart) {
  for (const bool crlf : {false, true}) {
    const std::string mail = crlf ? withCrLf(kMultipartMail) : kMultipartMail;
    const std::string lineEnd = crlf ? "\r\n" : "\n";
    const Read read = readMailText(mail);
    const std::vector<GivenPart> expected = {
        {"text/plain", "", true,
         "Write to info@müller.example or to a very long line that is soft-broken@example.com" + lineEnd + "Thanks"},
        {"text/html", "", true, R"(<p>Mail <a href="mailto:html@example.net">us</a></p>)"},
        {"application/zip", "däta.zip", false,
         std::string("PK\3\4\24\0\0\0\10\0\0\0!\0mail@example.com\0\1\2\xFF", 34)},
    };
    EXPECT_EQ(read.parts, expected);
    const std::vector<std::string> headerTexts = {"Jürgen <juergen@example.com>", "Grüße",
                                                  "attachment; filename=\"däta.zip\""};
    EXPECT_EQ(read.headerTexts, headerTexts);
  }
}

TEST(ReadMail, ReadsAForwardedMessageInside) {
  const std::string mail = R"(Content-Type: multipart/mixed; boundary=out

--out
Content-Type: message/rfc822

Subject: =?utf-8?b?SW5uZXI=?=
Content-Type: multipart/alternative; boundary=in

--in
Content-Transfer-Encoding: quoted-printable

inner=40example.com
--in--
--out--
)";
  const Read read = readMailText(mail);
  EXPECT_EQ(read.parts, (std::vector<GivenPart>{{"text/plain", "", true, "inner@example.com"}}));
  EXPECT_EQ(read.headerTexts, std::vector<std::string>{"Inner"});
}

TEST(ReadMail, SplitsAnMboxAtItsFromLines) {
  const std::string mbox = R"(From alice@example.com Mon Jan  1 00:00:00 2024
From: alice@example.com
Subject: one

plain body
>From here on, quoted

From bob@example.com Tue Jan  2 00:00:00 2024
From: bob@example.com
Content-Type: text/plain; charset=utf-8
Content-Transfer-Encoding: quoted-printable

>From the start=3D
bob=40example.com
From inside a paragraph, not after a blank line

From carol@example.com Wed Jan  3 00:00:00 2024
Content-Type: text/plain
Content-Transfer-Encoding: base64

Y2Fyb2xAZXhhbXBsZS5jb20=
)";
  const std::vector<GivenPart> expected = {
      {"text/plain", "", true, "From the start=\nbob@example.com\nFrom inside a paragraph, not after a blank line\n"},
      {"text/plain", "", true, "carol@example.com"},
  };
  EXPECT_EQ(readMailText(mbox).parts, expected);
}

TEST(ReadMail, ReadsDamagedStructureAsFarAsItGoes) {
  // An inner multipart that never closes ends at the outer boundary; the
  // outer one ends with the stream. Bad base64 and escapes are read through.
  const std::string mail = R"(Content-Type: multipart/mixed; boundary=b

--b
Content-Type: multipart/related; boundary=never-closed

--never-closed
Content-Type: text/plain
Content-Transfer-Encoding: base64

aGVs!!bG8*
===
d29y
--b
Content-Type: text/plain
Content-Transfer-Encoding: quoted-printable

bad =ZZ escape=4
--b
Content-Transfer-Encoding: base64

AAEC)";
  const std::vector<GivenPart> expected = {
      {"text/plain", "", true, "hellowor"},
      {"text/plain", "", true, "bad =ZZ escape=4"},
      {"text/plain", "", true, std::string("\0\1\2", 3)},
  };
  EXPECT_EQ(readMailText(mail).parts, expected);
}

TEST(ReadMail, ReadsLinesLongerThanItsBufferAndCapsTheHeader) {
  std::mt19937 random(3);
  std::string bytes(200000, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random());
  std::string mail = "Content-Type: application/pdf\nContent-Transfer-Encoding: base64\n";
  for (int field = 0; field < 5000; ++field) mail += "X-Filler: " + std::string(50, 'x') + "\n";
  // Past the header's 256 KiB, and so not read.
  mail += "Content-Type: text/plain\n\n" + test::base64(bytes) + "\n";
  const std::vector<GivenPart> expected = {{"application/pdf", "", false, bytes}};
  EXPECT_EQ(readMailText(mail).parts, expected);
}

TEST(ReadMail, StopsWhenToldAndReportsAFailingSource) {
  MemoryReader whole(kMultipartMail);
  EXPECT_EQ(readAllOf(whole, 1).parts.size(), 1u);

  const std::string cut = kMultipartMail.substr(0, kMultipartMail.find("--inner--"));
  ChunkedReader failing(cut, 50, true);
  const Read read = readAllOf(failing);
  ASSERT_EQ(read.parts.size(), 2u);
  EXPECT_EQ(read.parts[1].body, R"(<p>Mail <a href="mailto:html@example.net">us</a></p>)");
  EXPECT_EQ(read.failedBodies, 1);
  ASSERT_TRUE(read.failure);
  EXPECT_EQ(read.failure->kind, platform::FailureKind::ReadFailed);
}

TEST(LooksLikeMail, KnowsMailFromOtherText) {
  const std::pair<std::string_view, bool> cases[] = {
      {kMultipartMail, true},
      {"From alice@example.com Mon Jan  1 00:00:00 2024\nReceived: from x\n\tby y\nDate: today\n", true},
      // A part's header alone starts a piece of a message, not a message.
      {"Content-Type: text/plain\r\nContent-Transfer-Encoding: base64\r\n\r\nAAAA", false},
      {"Return-Path: <a@b.c>\nDelivered-To: a@b.c\nX-Spam: a very long line cut sho", true},
      {"Package: mailsift\nVersion: 1.0\nDepends: libc6\n", false},
      {"From the beginning the world was\nwithout mail\n", false},
      {"From: a@b.c\nthis is no header\nTo: d@e.f\n", false},
      {"Subject: only one field\n\nbody", false},
      {" To: indented\nFrom: a\n", false},
  };
  for (const auto& [head, isMail] : cases) EXPECT_EQ(looksLikeMail(head), isMail) << head;
}

}  // namespace
}  // namespace mailsift
