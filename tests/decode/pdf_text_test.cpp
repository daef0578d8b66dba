// PDF page text from documents written here: plain and Flate-compressed
// content streams, text drawn in pieces and out of order, and documents
// that are damaged, cut short or locked by a password.
#include "decode/pdf_text.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "support/failures.h"
#include "support/temp_folder.h"

namespace mailsift {
namespace {

std::string flateCompressed(const std::string& bytes) {
  uLongf size = compressBound(static_cast<uLong>(bytes.size()));
  std::string out(size, '\0');
  EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(bytes.data()),
                      static_cast<uLong>(bytes.size()), 9),
            Z_OK);
  out.resize(size);
  return out;
}

// A PDF document with one page per content stream, in Helvetica. `locked`
// adds an Encrypt dictionary whose user password is not the empty one.
std::string pdfDocument(const std::vector<std::string>& pages, bool flate, bool locked = false) {
  std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R >>", "",
                                      "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"};
  std::string kids;
  for (const std::string& content : pages) {
    const std::size_t page = objects.size() + 1;
    kids += std::to_string(page) + " 0 R ";
    objects.push_back(
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 3 0 R >> >> "
        "/Contents " +
        std::to_string(page + 1) + " 0 R >>");
    const std::string stream = flate ? flateCompressed(content) : content;
    objects.push_back("<< /Length " + std::to_string(stream.size()) + (flate ? " /Filter /FlateDecode" : "") +
                      " >>\nstream\n" + stream + "\nendstream");
  }
  objects[1] = "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " >>";
  const std::string hex32(64, 'A');
  if (locked) objects.push_back("<< /Filter /Standard /V 1 /R 2 /P -4 /O <" + hex32 + "> /U <" + hex32 + "> >>");
  std::string document = "%PDF-1.4\n";
  std::string xref = "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (std::size_t i = 0; i < objects.size(); ++i) {
    const std::string offset = std::to_string(document.size());
    xref += std::string(10 - offset.size(), '0') + offset + " 00000 n \n";
    document += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const std::string startXref = std::to_string(document.size());
  document += xref + "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R";
  if (locked)
    document += " /Encrypt " + std::to_string(objects.size()) + " 0 R /ID [<0123456789ABCDEF> <0123456789ABCDEF>]";
  return document + " >>\nstartxref\n" + startXref + "\n%%EOF\n";
}

struct PdfRead {
  std::vector<std::string> pages;
  std::optional<platform::Failure> failure;
};

PdfRead readText(std::string_view document, std::size_t stopAfter = 0) {
  PdfRead read;
  read.failure = readPdfText(document, "doc.pdf", [&](std::string_view text) {
    read.pages.emplace_back(text);
    return read.pages.size() == stopAfter ? PageReply::Stop : PageReply::Continue;
  });
  return read;
}

TEST(ReadPdfText, KeepsAddressesWholeHoweverTheyAreDrawn) {
  struct Case {
    const char* what;
    bool flate;
    std::string content;
    std::vector<std::string> addresses;
  };
  const Case cases[] = {
      {"one string",
       false,
       "BT /F1 12 Tf 72 720 Td (Write to john.doe@example.com today) Tj ET",
       {"john.doe@example.com"}},
      {"kerned pieces",
       true,
       "BT /F1 12 Tf 72 720 Td [(john.d) -20 (oe@exam) 15 (ple.com)] TJ ET",
       {"john.doe@example.com"}},
      // "john.doe" is 46.03 points wide; its end is drawn first.
      {"out of order",
       true,
       "BT /F1 12 Tf 118.03 720 Td (@example.com) Tj ET BT /F1 12 Tf 72 720 Td (john.doe) Tj ET",
       {"john.doe@example.com"}},
      {"a table drawn by column",
       false,
       "BT /F1 12 Tf 72 720 Td (Name) Tj 0 -20 Td (John Doe) Tj 0 -20 Td (Ann Lee) Tj ET "
       "BT /F1 12 Tf 300 720 Td (Mail) Tj 0 -20 Td (john.doe@example.com) Tj 0 -20 Td (ann@example.org) Tj ET",
       {"john.doe@example.com", "ann@example.org"}},
  };
  for (const Case& c : cases) {
    const PdfRead read = readText(pdfDocument({c.content}, c.flate));
    EXPECT_FALSE(read.failure) << c.what;
    ASSERT_EQ(read.pages.size(), 1u) << c.what;
    for (const std::string& address : c.addresses) EXPECT_NE(read.pages[0].find(address), std::string::npos) << c.what;
  }
}

TEST(ReadPdfText, HandsOverPagesInOrderUntilTold) {
  std::vector<std::string> pages;
  for (const char* text : {"one", "two", "three"})
    pages.push_back(std::string("BT /F1 12 Tf 72 720 Td (page ") + text + ") Tj ET");
  const std::string document = pdfDocument(pages, true);
  const PdfRead all = readText(document);
  ASSERT_EQ(all.pages.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_NE(all.pages[i].find(std::string("page ") + std::vector<const char*>{"one", "two", "three"}[i]),
              std::string::npos);
  }
  EXPECT_EQ(readText(document, 2).pages.size(), 2u);
}

TEST(ReadPdfText, FailsCleanlyOnDamagedAndLockedDocuments) {
  const std::string document = pdfDocument({"BT /F1 12 Tf 72 720 Td (cut@example.com) Tj ET"}, true);
  const std::pair<std::string, std::optional<platform::FailureKind>> cases[] = {
      {"", platform::FailureKind::Damaged},
      {"not a PDF document at all, though long enough to look", platform::FailureKind::Damaged},
      {document.substr(0, 40), platform::FailureKind::Damaged},
      {document.substr(0, document.find("endstream")), platform::FailureKind::Damaged},
      {pdfDocument({"BT ET"}, false, true), platform::FailureKind::AccessDenied},
      // Cut before it says where its cross-reference table is, the document
      // is rebuilt from its trailer.
      {document.substr(0, document.find("startxref")), std::nullopt},
  };
  for (const auto& [bytes, kind] : cases) {
    const PdfRead read = readText(bytes);
    EXPECT_EQ(test::kindOf(read.failure), kind) << bytes.size();
    if (read.failure) {
      EXPECT_EQ(read.failure->target, "doc.pdf");
    } else {
      EXPECT_NE(read.pages.at(0).find("cut@example.com"), std::string::npos);
    }
  }
}

TEST(ReadPdfFileText, ReadsTheFileAndNamesOneItCannotOpen) {
  const test::TempFolder folder;
  const std::string path = folder.write("a.pdf", pdfDocument({"BT /F1 9 Tf 9 9 Td (file@example.com) Tj ET"}, true));
  std::string text;
  EXPECT_FALSE(readPdfFileText(path, [&](std::string_view page) {
    text += page;
    return PageReply::Continue;
  }));
  EXPECT_NE(text.find("file@example.com"), std::string::npos);
  const auto never = [](std::string_view) { return PageReply::Continue; };
  EXPECT_EQ(test::kindOf(readPdfFileText(folder.file("missing.pdf"), never)), platform::FailureKind::NotFound);
  EXPECT_EQ(test::kindOf(readPdfFileText(folder.path().string(), never)), platform::FailureKind::IsFolder);
  EXPECT_EQ(test::kindOf(readPdfFileText(folder.write("b.pdf", "%PDF-1.4 junk"), never)),
            platform::FailureKind::Damaged);
}

TEST(LooksLikePdf, FindsTheMarkerInTheFirstKilobyte) {
  EXPECT_TRUE(looksLikePdf("%PDF-1.7\n"));
  EXPECT_TRUE(looksLikePdf(std::string(1000, ' ') + "%PDF-1.4"));
  EXPECT_FALSE(looksLikePdf(std::string(1024, ' ') + "%PDF-1.4"));
  EXPECT_FALSE(looksLikePdf("%PDF"));
}

}  // namespace
}  // namespace mailsift
