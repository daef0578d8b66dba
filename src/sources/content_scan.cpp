// The decoded views of a file. One FileDecoder per file: it reads the first
// bytes of each stream (the file, a member, a mail part), chooses the view,
// and feeds the view's text to an address stream, nesting where a member is
// itself a container. Every decoded byte is counted against the file's
// limits.
#include "sources/content_scan.h"

#include <algorithm>
#include <memory>
#include <string>
#include <unordered_set>
#include <utility>

#include "decode/byte_reader.h"
#include "decode/container_reader.h"
#include "decode/mail_reader.h"
#include "decode/pdf_text.h"
#include "decode/single_byte_text.h"
#include "scanner/address_stream.h"
#include "sources/escape_view.h"

namespace mailsift {
namespace {

// What a character Windows-1252 lacks becomes: a byte no entry and no
// spelled-out form contains, so it ends an entry as a blank would not.
constexpr char kUnmappable = '\x1A';
// The first bytes that choose a stream's view.
constexpr std::size_t kHeadBytes = std::size_t{64} << 10;
// Separates the pages of a PDF, the header texts and parts of a mail.
constexpr std::string_view kSeparator = "\n";

using Clock = std::chrono::steady_clock;

// The names of views, joined outermost first into an entry's origin. A
// member's name may hold anything, "/" and "," too, so the names are joined
// with ", " and a member's name always comes last in its part.
constexpr std::string_view kViewSeparator = ", ";

std::string joinViews(std::string_view outer, std::string_view inner) {
  if (outer.empty()) return std::string(inner);
  std::string joined(outer);
  joined.append(kViewSeparator).append(inner);
  return joined;
}

std::string_view encodingViewName(TextEncoding encoding) noexcept {
  switch (encoding) {
    case TextEncoding::Utf8:
      return "utf-8";
    case TextEncoding::Utf16LE:
      return "utf-16le";
    case TextEncoding::Utf16BE:
      return "utf-16be";
    case TextEncoding::Windows1252:
      break;
  }
  return {};
}

// The text of `encoding` inside the view `outer`: text in Windows-1252 is
// the view itself.
std::string textViewOf(std::string_view outer, TextEncoding encoding) {
  const std::string_view name = encodingViewName(encoding);
  return name.empty() ? std::string(outer) : joinViews(outer, name);
}

// A member of a container: "zip member NAME", "gzip" for the one stream of
// a compressed file, "gzip, tar member NAME" for one of a compressed tar.
std::string memberViewOf(std::string_view outer, ContainerKind kind, const std::string& memberName) {
  std::string view(containerKindName(kind));
  if (!memberName.empty()) {
    if (kind != ContainerKind::Zip && kind != ContainerKind::Tar) view.append(kViewSeparator).append("tar");
    view.append(" member ").append(memberName);
  }
  return joinViews(outer, view);
}

// Names the view of every entry that passes, for a sink that wants origins.
class ViewSink final : public EntrySink {
 public:
  ViewSink(EntrySink& sink, std::string view) noexcept : m_sink(sink), m_view(std::move(view)) {}
  SinkReply addEntry(TargetList target, std::string_view entry) override {
    return m_sink.addEntryFrom(target, entry, EntryOrigin{0, m_view});
  }
  bool wantsOrigins() const noexcept override { return true; }
  SinkReply addEntryFrom(TargetList target, std::string_view entry, const EntryOrigin& origin) override {
    return m_sink.addEntryFrom(target, entry, EntryOrigin{origin.offset, m_view});
  }

 private:
  EntrySink& m_sink;
  std::string m_view;
};

// `sink` itself, or, when it wants origins, a ViewSink in front of it made
// in `holder`.
EntrySink& namingView(std::unique_ptr<ViewSink>& holder, EntrySink& sink, std::string view) {
  if (!sink.wantsOrigins()) return sink;
  holder = std::make_unique<ViewSink>(sink, std::move(view));
  return *holder;
}

// The entries of views beside the stored text: held until the file ends,
// then handed over unless the stored text gave them too.
class BesideEntries final : public EntrySink {
 public:
  explicit BesideEntries(bool origins) noexcept : m_origins(origins) {}
  SinkReply addEntry(TargetList target, std::string_view entry) override {
    return addEntryFrom(target, entry, EntryOrigin{});
  }
  bool wantsOrigins() const noexcept override { return m_origins; }
  SinkReply addEntryFrom(TargetList target, std::string_view entry, const EntryOrigin& origin) override {
    m_entries.push_back(Kept{target, std::string(entry), origin.offset, std::string(origin.view)});
    return SinkReply::Continue;
  }

  struct Kept {
    TargetList target;
    std::string entry;
    std::uint64_t offset;
    std::string view;
  };
  const std::vector<Kept>& entries() const noexcept { return m_entries; }

 private:
  bool m_origins;
  std::vector<Kept> m_entries;
};

// Passes entries on to the caller's sink and, once a view beside the stored
// text may come, remembers their texts.
class PrimaryEntries final : public EntrySink {
 public:
  explicit PrimaryEntries(EntrySink& sink) noexcept : m_sink(sink), m_origins(sink.wantsOrigins()) {}
  SinkReply addEntry(TargetList target, std::string_view entry) override {
    if (m_remember) m_seen.emplace(entry);
    return m_sink.addEntry(target, entry);
  }
  bool wantsOrigins() const noexcept override { return m_origins; }
  SinkReply addEntryFrom(TargetList target, std::string_view entry, const EntryOrigin& origin) override {
    if (m_remember) m_seen.emplace(entry);
    return m_sink.addEntryFrom(target, entry, origin);
  }
  void remember() noexcept { m_remember = true; }
  bool seen(const std::string& entry) const { return m_seen.contains(entry); }

 private:
  EntrySink& m_sink;
  bool m_origins;
  bool m_remember = false;
  std::unordered_set<std::string> m_seen;
};

// The first bytes of a stream, read for a look into the buffer of the
// stream's depth, which holds them until they have been scanned.
struct LookedAt {
  std::string_view head;
  bool ended = false;  // the stream held no more than the head
};

// A text view: bytes in the stream's encoding turned into the scanner's
// Windows-1252 and scanned, and, when asked, scanned again beside with
// escapes undone. `view` names the text as scanned, for origins.
class TextView {
 public:
  TextView(EntrySink& sink, TextEncoding encoding, EntrySink* beside, ScanRules rules, const std::string& view)
      : m_transcoder(encoding, kUnmappable), m_stream(namingView(m_named, sink, view), rules), m_encoding(encoding) {
    if (beside != nullptr) {
      m_escapes = std::make_unique<EscapeDecoder>(kUnmappable);
      m_besideStream =
          std::make_unique<AddressStream>(namingView(m_besideNamed, *beside, joinViews(view, "escapes")), rules);
    }
  }

  SinkReply feed(std::string_view bytes) {
    std::string_view text = bytes;
    if (m_encoding != TextEncoding::Windows1252) {
      m_text.clear();
      m_transcoder.transcode(bytes, m_text);
      text = m_text;
    }
    return scan(text);
  }

  SinkReply finish() {
    m_text.clear();
    m_transcoder.finish(m_text);
    const SinkReply reply = scan(m_text);
    if (m_escapes) {
      m_unescaped.clear();
      m_escapes->finish(m_unescaped);
      m_besideStream->feed(m_unescaped);
      m_besideStream->finish();
    }
    return m_stream.finish() == SinkReply::Stop ? SinkReply::Stop : reply;
  }

 private:
  SinkReply scan(std::string_view text) {
    if (m_escapes) {
      m_unescaped.clear();
      m_escapes->decode(text, m_unescaped);
      m_besideStream->feed(m_unescaped);
    }
    return m_stream.feed(text);
  }

  SingleByteTranscoder m_transcoder;
  std::unique_ptr<ViewSink> m_named;  // before m_stream, which it serves
  std::unique_ptr<ViewSink> m_besideNamed;
  AddressStream m_stream;
  TextEncoding m_encoding;
  std::unique_ptr<EscapeDecoder> m_escapes;
  std::unique_ptr<AddressStream> m_besideStream;
  std::string m_text;
  std::string m_unescaped;
};

// Counts the stored bytes read and reports them.
class CountingReader final : public ByteReader {
 public:
  CountingReader(platform::InputFile& input, const std::function<void(std::uint64_t)>& onProgress) noexcept
      : m_input(input), m_onProgress(onProgress) {}
  ReadOutcome read(char* buffer, std::size_t capacity) override {
    if (m_input.isRegular() && m_bytes >= m_input.size()) return {};  // the size when opened, as scanInput
    if (m_input.isRegular())
      capacity = static_cast<std::size_t>(std::min<std::uint64_t>(capacity, m_input.size() - m_bytes));
    ReadOutcome got = m_input.read(buffer, capacity);
    m_bytes += got.bytes;
    if (got.bytes > 0 && m_onProgress) m_onProgress(m_bytes);
    return got;
  }
  std::uint64_t bytes() const noexcept { return m_bytes; }

 private:
  platform::InputFile& m_input;
  const std::function<void(std::uint64_t)>& m_onProgress;
  std::uint64_t m_bytes = 0;
};

class FileDecoder;

// A decoded stream counted against the file's limits: past them it fails.
class LimitedReader final : public ByteReader {
 public:
  LimitedReader(ByteReader& source, FileDecoder& decoder, std::string name) noexcept
      : m_source(source), m_decoder(decoder), m_name(std::move(name)) {}
  ReadOutcome read(char* buffer, std::size_t capacity) override;

 private:
  ByteReader& m_source;
  FileDecoder& m_decoder;
  std::string m_name;
};

class FileDecoder {
 public:
  FileDecoder(EntrySink& sink, ReadBuffer& buffer, const DecodeOptions& options, std::uint64_t storedSize,
              ScanRules rules)
      : m_primary(sink),
        m_rules(rules),
        m_beside(sink.wantsOrigins()),
        m_buffer(buffer),
        m_limits(options.limits),
        m_byteLimit(std::max(options.limits.bytes, storedSize * options.limits.ratio)),
        m_deadline(Clock::now() + options.limits.time) {}

  ContentScanResult run(platform::InputFile& input, const std::function<void(std::uint64_t)>& onProgress) {
    CountingReader stored(input, onProgress);
    ContentScanResult result;
    if (input.isRegular()) m_file = &input;
    scanStream(stored, input.name(), {}, 0, m_primary);
    result.bytes = std::max(stored.bytes(), m_readByLibrary);
    result.failure = std::move(m_readFailure);
    handBesideEntriesOver();
    result.notes = std::move(m_notes);
    result.stopped = m_stopped;
    return result;
  }

  // Takes `bytes` decoded bytes of the stream `name`; the failure once a
  // limit is reached.
  std::optional<platform::Failure> charge(std::uint64_t bytes, const std::string& name) {
    m_decoded += bytes;
    if (m_decoded > m_byteLimit) return limitFailure(name, "more decoded bytes than the limit allows");
    if (Clock::now() > m_deadline) return limitFailure(name, "decoding took longer than the limit allows");
    return std::nullopt;
  }

 private:
  platform::Failure limitFailure(const std::string& name, const char* why) {
    m_limitReached = true;
    return platform::Failure{platform::FailureKind::LimitReached, 0, name, why};
  }

  // A member's failure comes twice, from its reader and from its
  // container: it is noted once.
  void note(platform::Failure failure) {
    const bool known = std::any_of(m_notes.begin(), m_notes.end(), [&](const platform::Failure& noted) {
      return noted.kind == failure.kind && noted.message == failure.message;
    });
    if (!known && m_notes.size() < 100) m_notes.push_back(std::move(failure));
  }

  ReadBuffer& bufferAt(unsigned depth) {
    if (depth == 0) return m_buffer;
    while (m_nested.size() < depth) m_nested.push_back(std::make_unique<ReadBuffer>());
    return *m_nested[depth - 1];
  }

  // Reads the first bytes of `reader` into `buffer` for a look; false when
  // reading failed.
  bool lookAt(ByteReader& reader, ReadBuffer& buffer, LookedAt& look, const std::string& name, bool stored) {
    const std::size_t wanted = std::min(kHeadBytes, buffer.size());
    std::size_t size = 0;
    bool read = true;
    while (size < wanted) {
      ReadOutcome got = reader.read(buffer.data() + size, wanted - size);
      if (got.failure) {
        failed(std::move(*got.failure), name, stored);
        read = false;
        look.ended = true;
        break;
      }
      if (got.bytes == 0) {
        look.ended = true;
        break;
      }
      size += got.bytes;
    }
    look.head = std::string_view(buffer.data(), size);
    return read;
  }

  // A failure to read the stored file is the file's failure; one of a
  // decoded stream is a note.
  void failed(platform::Failure failure, const std::string& name, bool stored) {
    if (stored) {
      if (!m_readFailure) m_readFailure = std::move(failure);
    } else {
      if (failure.target.empty()) failure.target = name;
      note(std::move(failure));
    }
  }

  // `view` names the stream (empty for the file as stored), for origins.
  void scanStream(ByteReader& reader, const std::string& name, const std::string& view, unsigned depth,
                  EntrySink& sink) {
    LookedAt look;
    const bool read = lookAt(reader, bufferAt(depth), look, name, depth == 0);
    const std::optional<ContainerKind> container = recogniseContainer(look.head);
    const bool pdf = !container && looksLikePdf(look.head);
    if (container && canReadContainer(*container)) {
      if (depth == 0) m_primary.remember();
      PrefixedReader whole(look.head, reader);
      scanContainer(whole, *container, name, view, depth, sink);
    } else if (pdf && canReadPdf()) {
      scanPdf(look, reader, name, view, sink, depth == 0 ? m_file : nullptr);
    } else if (depth == 0 && !container && !pdf && looksLikeMail(look.head)) {
      m_primary.remember();
      scanMail(look, reader, name, view, sink);
    } else {
      // Content whose decoder this build lacks is read as stored, with a
      // note that says it was not decoded.
      if (container) notDecoded(containerKindName(*container), name);
      if (pdf) notDecoded("PDF", name);
      scanText(look, read ? &reader : nullptr, name, view, depth, sink);
    }
  }

  void notDecoded(std::string_view kind, const std::string& name) {
    note(platform::Failure{platform::FailureKind::ReadFailed, 0, name,
                           "read as stored: this build cannot decode " + std::string(kind)});
  }

  void scanText(const LookedAt& look, ByteReader* rest, const std::string& name, const std::string& view,
                unsigned depth, EntrySink& sink) {
    const bool escapes = holdsEscapes(look.head);
    if (escapes && depth == 0) m_primary.remember();
    const TextEncoding encoding = recogniseEncoding(look.head);
    TextView text(sink, encoding, escapes ? &m_beside : nullptr, m_rules, textViewOf(view, encoding));
    feedAll(text, look, rest, bufferAt(depth), name, depth == 0);
  }

  // Scans the head, then the rest of the stream through `buffer`.
  void feedAll(TextView& view, const LookedAt& look, ByteReader* rest, ReadBuffer& buffer, const std::string& name,
               bool stored) {
    SinkReply reply = view.feed(look.head);
    while (reply == SinkReply::Continue && !look.ended && rest != nullptr) {
      ReadOutcome got = rest->read(buffer.data(), buffer.size());
      if (got.failure) {
        failed(std::move(*got.failure), name, stored);
        break;
      }
      if (got.bytes == 0) break;
      reply = view.feed(std::string_view(buffer.data(), got.bytes));
    }
    if (view.finish() == SinkReply::Stop) m_stopped = true;
  }

  // Markup members are read as their text; every other member as a stream
  // of its own.
  void scanMember(ByteReader& member, const std::string& name, const std::string& view, unsigned depth,
                  EntrySink& sink) {
    LimitedReader limited(member, *this, name);
    LookedAt look;
    ReadBuffer& buffer = bufferAt(depth);
    // A member that fails after its first bytes still gives what they hold
    // (a gzip stream whose checksum is wrong has been read whole by then).
    MemoryReader nothingMore{std::string_view()};
    ByteReader& rest = lookAt(limited, buffer, look, name, false) ? static_cast<ByteReader&>(limited) : nothingMore;
    if (look.head.empty()) return;
    if (!isMarkupMember(name, look.head)) {
      PrefixedReader whole(look.head, rest);
      scanStream(whole, name, view, depth, sink);
      return;
    }
    // The member's head stays in its buffer while the text is read out of
    // it, so the text goes through a buffer of its own.
    PrefixedReader whole(look.head, rest);
    MarkupTextReader text(whole);
    TextView markup(sink, TextEncoding::Utf8, nullptr, m_rules, joinViews(view, "markup text"));
    if (!m_markupBuffer) m_markupBuffer = std::make_unique<ReadBuffer>();
    feedAll(markup, LookedAt{}, &text, *m_markupBuffer, name, false);
  }

  // `whole` reads the container from its first byte.
  void scanContainer(ByteReader& whole, ContainerKind kind, const std::string& name, const std::string& view,
                     unsigned depth, EntrySink& sink) {
    if (depth >= m_limits.depth) {
      note(platform::Failure{platform::FailureKind::LimitReached, 0, name, "nested deeper than the limit allows"});
      return;
    }
    const std::optional<platform::Failure> failure =
        readContainer(whole, kind, name, [&](const ContainerMember& member, ByteReader& data) {
          const std::string memberName = member.name.empty() ? name : name + "//" + member.name;
          scanMember(data, memberName, memberViewOf(view, kind, member.name), depth + 1, sink);
          return m_stopped || m_limitReached ? MemberReply::Stop : MemberReply::Continue;
        });
    if (failure) failed(*failure, name, false);
  }

  void scanPdf(const LookedAt& look, ByteReader& rest, const std::string& name, const std::string& outer,
               EntrySink& sink, platform::InputFile* file) {
    TextView view(sink, TextEncoding::Utf8, nullptr, m_rules, joinViews(outer, "pdf text"));
    const auto onPage = [&](std::string_view text) {
      if (const std::optional<platform::Failure> limit = charge(text.size(), name)) {
        note(*limit);
        return PageReply::Stop;
      }
      const bool stop = view.feed(text) == SinkReply::Stop || view.feed(kSeparator) == SinkReply::Stop;
      return stop ? PageReply::Stop : PageReply::Continue;
    };
    std::optional<platform::Failure> failure;
    if (file != nullptr) {
      // The library reads the file itself, as it needs: nothing here holds it.
      failure = readPdfFileText(file->name(), onPage);
      m_readByLibrary = file->size();
    } else {
      PrefixedReader whole(look.head, rest);
      std::string document;
      bool truncated = false;
      failure = readAll(whole, m_byteLimit, document, truncated);
      if (!failure && truncated) {
        failure = platform::Failure{platform::FailureKind::LimitReached, 0, name, "a document larger than the limit"};
      }
      if (!failure) failure = readPdfText(document, name, onPage);
    }
    if (failure) failed(*failure, name, false);
    if (view.finish() == SinkReply::Stop) m_stopped = true;
  }

  void scanMail(const LookedAt& look, ByteReader& rest, const std::string& name, const std::string& view,
                EntrySink& sink) {
    PrefixedReader whole(look.head, rest);
    const TextEncoding encoding = recogniseEncoding(look.head);
    TextView stored(sink, encoding, nullptr, m_rules, textViewOf(view, encoding));
    TextView decoded(m_beside, TextEncoding::Utf8, nullptr, m_rules, joinViews(view, "mail text"));
    MailCallbacks callbacks;
    callbacks.onRaw = [&](std::string_view raw) {
      if (stored.feed(raw) == SinkReply::Stop) m_stopped = true;
      return m_stopped ? MailReply::Stop : MailReply::Continue;
    };
    callbacks.onHeaderText = [&](std::string_view text) {
      decoded.feed(text);
      decoded.feed(kSeparator);
      return MailReply::Continue;
    };
    callbacks.onPart = [&](const MailPart& part, ByteReader& body) {
      LimitedReader limited(body, *this, name);
      if (part.isText) {
        feedAll(decoded, LookedAt{}, &limited, bufferAt(1), name, false);
      } else {
        const std::string attachment = part.fileName.empty() ? "mail attachment" : "mail attachment " + part.fileName;
        scanStream(limited, part.fileName.empty() ? name : name + "//" + part.fileName, joinViews(view, attachment), 1,
                   m_beside);
      }
      decoded.feed(kSeparator);
      return m_stopped || m_limitReached ? MailReply::Stop : MailReply::Continue;
    };
    const std::optional<platform::Failure> failure = readMail(whole, callbacks);
    if (failure) failed(*failure, name, true);
    if (stored.finish() == SinkReply::Stop) m_stopped = true;
    decoded.finish();
  }

  void handBesideEntriesOver() {
    const bool origins = m_primary.wantsOrigins();
    for (const BesideEntries::Kept& kept : m_beside.entries()) {
      if (m_stopped) return;
      if (m_primary.seen(kept.entry)) continue;
      const SinkReply reply = origins ? m_primary.addEntryFrom(kept.target, kept.entry, {kept.offset, kept.view})
                                      : m_primary.addEntry(kept.target, kept.entry);
      if (reply == SinkReply::Stop) m_stopped = true;
    }
  }

  PrimaryEntries m_primary;
  ScanRules m_rules;
  BesideEntries m_beside;
  ReadBuffer& m_buffer;
  std::vector<std::unique_ptr<ReadBuffer>> m_nested;  // one per depth below the stored file
  std::unique_ptr<ReadBuffer> m_markupBuffer;
  platform::InputFile* m_file = nullptr;  // the stored file, when it is a regular file
  std::uint64_t m_readByLibrary = 0;      // bytes of it a library read by itself
  const DecodeLimits& m_limits;
  std::uint64_t m_byteLimit;
  Clock::time_point m_deadline;
  std::uint64_t m_decoded = 0;
  bool m_limitReached = false;
  bool m_stopped = false;
  std::optional<platform::Failure> m_readFailure;
  std::vector<platform::Failure> m_notes;
};

ReadOutcome LimitedReader::read(char* buffer, std::size_t capacity) {
  ReadOutcome got = m_source.read(buffer, capacity);
  if (got.failure || got.bytes == 0) return got;
  if (std::optional<platform::Failure> limit = m_decoder.charge(got.bytes, m_name)) return {0, std::move(limit)};
  return got;
}

}  // namespace

bool needsDecoding(std::string_view head, const DecodeOptions& options) noexcept {
  if (options.mode == DecodeMode::None) return false;
  return recogniseContainer(head) || looksLikePdf(head) || looksLikeMail(head) ||
         recogniseEncoding(head) != TextEncoding::Windows1252 || holdsEscapes(head);
}

bool needsDecoding(const platform::InputFile& input, ReadBuffer& buffer, const DecodeOptions& options) {
  if (options.mode == DecodeMode::None) return false;
  const ReadOutcome head = input.readAt(0, buffer.data(), std::min(kHeadBytes, buffer.size()));
  return head.failure || needsDecoding(std::string_view(buffer.data(), head.bytes), options);
}

ContentScanResult scanContent(platform::InputFile& input, EntrySink& sink, ReadBuffer& buffer,
                              const DecodeOptions& options, const std::function<void(std::uint64_t)>& onProgress,
                              ScanRules rules) {
  if (options.mode == DecodeMode::None) {
    StreamScanResult plain = scanInput(input, sink, buffer, onProgress, rules);
    ContentScanResult result;
    result.bytes = plain.bytes;
    result.failure = std::move(plain.failure);
    result.stopped = plain.stopped;
    return result;
  }
  return FileDecoder(sink, buffer, options, input.isRegular() ? input.size() : 0, rules).run(input, onProgress);
}

}  // namespace mailsift
