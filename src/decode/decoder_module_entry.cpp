// The module's one exported function: the table of its decoders.
#include "decode/detail/decoder_module.h"

extern "C" __attribute__((visibility("default"))) const mailsift::detail::DecoderModule* mailsift_decoder_module() {
  static const mailsift::detail::DecoderModule module{mailsift::detail::kDecoderModuleVersion, &mailsift::readContainer,
                                                      &mailsift::readPdfText, &mailsift::readPdfFileText};
  return &module;
}
