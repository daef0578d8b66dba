// The decoders of the module, reached through its table: the module is
// looked for in the folder MAILSIFT_MODULE_DIR names, next to the program,
// where it is installed beside the program (../lib/mailsift, or
// ../lib/<triplet>/mailsift on Debian), and in the build tree it was made in
// unless the build leaves that out.
#include <mutex>
#include <string>
#include <vector>

#include "decode/detail/decoder_module.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/shared_library.h"

#ifndef MAILSIFT_MODULE_INSTALL_DIR
#error "MAILSIFT_MODULE_INSTALL_DIR must be defined by the build"
#endif

namespace mailsift {
namespace {

std::vector<std::string> moduleFolders() {
  std::vector<std::string> folders;
  if (std::string named = platform::environmentVariable("MAILSIFT_MODULE_DIR"); !named.empty()) {
    folders.push_back(std::move(named));
  }
  if (const std::string program = platform::executableFolder(); !program.empty()) {
    folders.push_back(program);
    folders.push_back(platform::joinPath(program, MAILSIFT_MODULE_INSTALL_DIR));
  }
#ifdef MAILSIFT_MODULE_BUILD_DIR
  folders.emplace_back(MAILSIFT_MODULE_BUILD_DIR);
#endif
  return folders;
}

// The module's table, loaded once; nullptr, with the reason, when it could
// not be loaded.
const detail::DecoderModule* decoderModule(std::string& failure) {
  static std::once_flag once;
  static const detail::DecoderModule* module = nullptr;
  static std::string loadFailure;
  std::call_once(once, [] {
    std::string reasons;
    for (const std::string& folder : moduleFolders()) {
      std::string error;
      const std::optional<platform::SharedLibrary> library =
          platform::SharedLibrary::load(platform::joinPath(folder, detail::kDecoderModuleFile), error);
      if (!library) {
        reasons += (reasons.empty() ? "" : "; ") + error;
        continue;
      }
      using Entry = const detail::DecoderModule* (*)();
      const auto entry = reinterpret_cast<Entry>(library->symbol(detail::kDecoderModuleEntry));
      const detail::DecoderModule* found = entry != nullptr ? entry() : nullptr;
      if (found != nullptr && found->version == detail::kDecoderModuleVersion) {
        module = found;
        return;
      }
      reasons += (reasons.empty() ? "" : "; ") + folder + ": a module of another version";
    }
    loadFailure = std::string("cannot load the decoders (") + detail::kDecoderModuleFile + "): " + reasons;
  });
  failure = loadFailure;
  return module;
}

platform::Failure unavailable(const std::string& target, std::string reason) {
  return platform::Failure{platform::FailureKind::ReadFailed, 0, target, std::move(reason)};
}

}  // namespace

std::optional<platform::Failure> readContainer(
    ByteReader& source, ContainerKind kind, const std::string& name,
    const std::function<MemberReply(const ContainerMember&, ByteReader&)>& onMember) {
  std::string failure;
  const detail::DecoderModule* module = decoderModule(failure);
  if (module == nullptr) return unavailable(name, failure);
  return module->containerReader(source, kind, name, onMember);
}

std::optional<platform::Failure> readPdfText(std::string_view document, const std::string& name,
                                             const std::function<PageReply(std::string_view utf8)>& onPage) {
  std::string failure;
  const detail::DecoderModule* module = decoderModule(failure);
  if (module == nullptr) return unavailable(name, failure);
  return module->pdfTextReader(document, name, onPage);
}

std::optional<platform::Failure> readPdfFileText(const std::string& path,
                                                 const std::function<PageReply(std::string_view utf8)>& onPage) {
  std::string failure;
  const detail::DecoderModule* module = decoderModule(failure);
  if (module == nullptr) return unavailable(path, failure);
  return module->pdfFileTextReader(path, onPage);
}

}  // namespace mailsift
