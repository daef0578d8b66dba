// The decoders that need large libraries (libarchive, the PDF library) live
// in a module of their own, loaded at their first use, so that a run that
// never meets an archive or a PDF does not load those libraries at all.
// This is the table the module hands over.
#pragma once

#include "decode/container_reader.h"
#include "decode/pdf_text.h"

namespace mailsift::detail {

using ReadContainer = decltype(&readContainer);
using ReadPdfText = decltype(&readPdfText);
using ReadPdfFileText = decltype(&readPdfFileText);

struct DecoderModule {
  unsigned version;  // kDecoderModuleVersion of the build that made the module
  ReadContainer containerReader;
  ReadPdfText pdfTextReader;
  ReadPdfFileText pdfFileTextReader;
};

// Changes with the table or the signatures it holds.
constexpr unsigned kDecoderModuleVersion = 1;

// The name of the module's file and of the function that returns its table.
constexpr const char* kDecoderModuleFile = "mailsift-decoders.so";
constexpr const char* kDecoderModuleEntry = "mailsift_decoder_module";

}  // namespace mailsift::detail
