// Base64 and quoted-printable: random bytes encoded here with random line
// lengths and decoded in random pieces, and the tolerated mistakes.
#include "decode/transfer_encoding.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "base64_encoder.h"

namespace mailsift {
namespace {

std::string randomBytes(std::mt19937& random, std::string_view alphabet = {}) {
  std::string bytes(random() % 300, '\0');
  for (char& byte : bytes) {
    byte = alphabet.empty() ? static_cast<char>(random()) : alphabet[random() % alphabet.size()];
  }
  return bytes;
}

// Breaks `text` after every `lineLength` bytes (never when 0) with `lineEnd`.
std::string wrapped(const std::string& text, std::size_t lineLength, std::string_view lineEnd) {
  if (lineLength == 0) return text;
  std::string out;
  for (std::size_t at = 0; at < text.size(); at += lineLength) out.append(text, at, lineLength).append(lineEnd);
  return out;
}

// Every byte but printable ASCII escaped, and a soft break ("=" and a line
// end) after about `lineLength` bytes, never inside an escape.
std::string quotedPrintable(std::string_view bytes, std::size_t lineLength, std::string_view lineEnd) {
  std::string out;
  std::size_t line = 0;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte > 32 && byte < 127 && byte != '=') {
      out += c;
      ++line;
    } else {
      static constexpr char kHex[] = "0123456789ABCDEF";
      out.append({'=', kHex[byte >> 4], kHex[byte & 15]});
      line += 3;
    }
    if (lineLength > 0 && line >= lineLength) {
      out.append("=").append(lineEnd);
      line = 0;
    }
  }
  return out;
}

template <typename Decoder>
std::string decodedInPieces(std::string_view encoded, std::mt19937& random) {
  Decoder decoder;
  std::string out;
  for (std::size_t at = 0; at < encoded.size();) {
    const std::size_t size = std::min<std::size_t>(random() % 9, encoded.size() - at);
    decoder.decode(encoded.substr(at, size), out);
    at += size;
  }
  decoder.finish(out);
  return out;
}

TEST(Base64Decoder, DecodesWhatWasEncodedWithAnyLinesAndPieces) {
  std::mt19937 random(11);
  for (int round = 0; round < 300; ++round) {
    const std::string bytes = randomBytes(random);
    std::string encoded = wrapped(test::base64(bytes), random() % 80, round % 2 ? "\r\n" : "\n");
    // Junk outside the alphabet is passed over.
    if (round % 3 == 0 && !encoded.empty()) encoded.insert(random() % encoded.size(), " *\t");
    EXPECT_EQ(decodedInPieces<Base64Decoder>(encoded, random), bytes) << encoded;
  }
}

TEST(QuotedPrintableDecoder, DecodesWhatWasEncodedWithAnyLinesAndPieces) {
  std::mt19937 random(13);
  for (int round = 0; round < 300; ++round) {
    const std::string bytes = randomBytes(random, round % 2 ? std::string_view("ab= \r\n\t.@\xFC") : "");
    const std::string encoded = quotedPrintable(bytes, random() % 80, round % 3 ? "\r\n" : "\n");
    EXPECT_EQ(decodedInPieces<QuotedPrintableDecoder>(encoded, random), bytes) << encoded;
  }
}

TEST(TransferDecoders, TolerateWhatMailProgramsGetWrong) {
  struct Case {
    bool isBase64;
    std::string_view encoded;
    std::string_view decoded;
  };
  const Case cases[] = {
      {true, "aGVsbG8gd29ybGQ", "hello world"},  // no padding
      {true, "aGVsbG8=aGVsbG8=", "hellohello"},  // two streams one after the other
      {true, "aGVs!!bG8*\n===\nd29y\nbGQ", "helloworld"},
      {true, "a", ""},                              // one letter makes no byte
      {false, "a=\r\nb=\nc= \t\r\nd", "abcd"},      // soft line breaks
      {false, "=4a=4A=3d", "JJ="},                  // either case
      {false, "=G1 100% =\x01", "=G1 100% =\x01"},  // not an escape
      {false, "x==41=", "x=A"},                     // "=" at the end: a soft break
      {false, "cut =4", "cut =4"},
      {false, "line\r\nnext\n", "line\r\nnext\n"},  // hard line breaks stay
  };
  for (const Case& c : cases) {
    std::string out;
    if (c.isBase64) {
      Base64Decoder decoder;
      decoder.decode(c.encoded, out);
      decoder.finish(out);
    } else {
      QuotedPrintableDecoder decoder;
      decoder.decode(c.encoded, out);
      decoder.finish(out);
    }
    EXPECT_EQ(out, c.decoded) << c.encoded;
  }
}

}  // namespace
}  // namespace mailsift
