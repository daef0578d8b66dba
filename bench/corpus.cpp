// The corpus generator behind the benchmarks. It writes sections of several
// kinds one after the other and drops an e-mail address into whichever
// section is being written each time the next address is due, so the address
// density stays the same whatever the mix of sections.
#include "corpus.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "bench_support.h"

namespace mailsift::bench {
namespace {

// The corpus's generator, with a percentage helper.
class Rng : public SplitMix64 {
 public:
  using SplitMix64::SplitMix64;

  bool percent(std::uint32_t chance) noexcept { return below(100) < chance; }
};

// Windows-1252 bytes for the few non-Latin-1 characters the word lists use.
struct HighCharacter {
  char32_t codePoint;
  unsigned char byte;
};
constexpr std::array<HighCharacter, 6> kHighCharacters = {{
    {0x20AC, 0x80},  // €
    {0x201E, 0x84},  // „
    {0x201C, 0x93},  // “
    {0x2013, 0x96},  // –
    {0x2014, 0x97},  // —
    {0x2022, 0x95},  // •
}};

// The word lists are written in UTF-8 so they stay readable; the corpus is
// Windows-1252, so each entry is converted once.
std::string toCp1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  const auto byteAt = [&](std::size_t k) { return static_cast<char32_t>(static_cast<unsigned char>(utf8[k])); };
  while (i < utf8.size()) {
    const char32_t lead = byteAt(i);
    char32_t codePoint = '?';
    if (lead < 0x80) {
      codePoint = lead;
      i += 1;
    } else if ((lead & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
      codePoint = ((lead & 0x1F) << 6) | (byteAt(i + 1) & 0x3F);
      i += 2;
    } else if ((lead & 0xF0) == 0xE0 && i + 2 < utf8.size()) {
      codePoint = ((lead & 0x0F) << 12) | ((byteAt(i + 1) & 0x3F) << 6) | (byteAt(i + 2) & 0x3F);
      i += 3;
    } else {
      i += 1;
    }
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
      out.push_back(static_cast<char>(static_cast<unsigned char>(codePoint)));
      continue;
    }
    unsigned char byte = '?';
    for (const HighCharacter& high : kHighCharacters) {
      if (high.codePoint == codePoint) byte = high.byte;
    }
    out.push_back(static_cast<char>(byte));
  }
  return out;
}

using WordList = std::vector<std::string>;

WordList wordList(std::initializer_list<std::string_view> utf8) {
  WordList list;
  list.reserve(utf8.size());
  for (const std::string_view entry : utf8) list.push_back(toCp1252(entry));
  return list;
}

// Upper case in Windows-1252: a-z and the Latin-1 small letters à..þ (but
// not ÷); ß and ÿ stay as they are.
constexpr std::array<char, 256> kUpperOf = [] {
  std::array<char, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned upper = i;
    if ((i >= 'a' && i <= 'z') || (i >= 0xE0 && i <= 0xFE && i != 0xF7)) upper = i - 0x20;
    table[i] = static_cast<char>(static_cast<unsigned char>(upper));
  }
  return table;
}();

inline char upperOf(char c) { return kUpperOf[static_cast<unsigned char>(c)]; }

// Every fixed text the generator draws from, converted once.
struct Lexicon {
  // English words, among them some starting with "at", which the candidate
  // search has to look at and turn down.
  WordList english = wordList({
      "the", "of", "and", "to", "a", "in", "is", "it", "you", "that", "was", "for", "on", "are", "with", "as",
      "they", "be", "this", "have", "from", "or", "one", "had", "by", "but", "not", "what", "all", "were", "we",
      "when", "your", "can", "said", "there", "use", "an", "each", "which", "she", "do", "how", "their", "if",
      "will", "up", "other", "about", "out", "many", "then", "them", "these", "so", "some", "her", "would",
      "make", "like", "him", "into", "time", "has", "two", "more", "go", "see", "no", "way", "could", "people",
      "than", "first", "been", "call", "who", "its", "now", "find", "long", "down", "day", "did", "get", "come",
      "made", "may", "part", "report", "meeting", "project", "customer", "order", "invoice", "delivery",
      "attached", "attention", "attempt", "attend", "attitude", "atmosphere", "atlas", "atom", "quarterly",
      "results", "team", "office", "schedule", "update", "please", "should", "review", "document", "version",
      "release", "server", "network", "budget", "approval", "contract", "question", "answer", "week", "month",
      "year", "today", "tomorrow", "yesterday", "colleague", "manager", "department", "company", "service",
      "support", "request", "feedback", "issue", "problem", "solution", "price", "product", "shipment",
      "warehouse", "account", "password", "login", "website", "newsletter", "subscription", "agenda", "minutes",
      "draft", "final", "figures", "sales", "growth", "target", "deadline", "launch", "campaign", "survey",
      "conference", "travel", "hotel", "flight", "train", "weather", "lunch", "coffee", "kitchen", "printer",
      "holiday", "vacation", "birthday", "weekend", "morning", "evening", "important", "urgent", "quickly",
      "carefully", "probably", "certainly", "however", "therefore", "meanwhile", "although", "because",
  });
  // Natural English phrases with " at " in them, which the scanner reads as
  // a spelled-out "@".
  WordList englishAt = wordList({
      "look at the", "at least", "at the end of the", "at home", "at the meeting", "at noon", "at 10 am",
      "arrive at the office", "at all", "at once", "at the moment", "at first", "good at", "at the same time",
      "at your earliest convenience", "at 3 pm", "at our booth", "at the station", "at a glance",
  });
  WordList german = wordList({
      "der", "die", "das", "und", "ist", "nicht", "mit", "für", "über", "auf", "sich", "dem", "den", "ein",
      "eine", "zu", "von", "wir", "Sie", "Ihre", "bitte", "noch", "auch", "nach", "bei", "aus", "wie", "wenn",
      "aber", "oder", "schon", "dass", "wird", "werden", "können", "müssen", "würde", "hätte", "wäre", "gibt",
      "heute", "morgen", "gestern", "Woche", "Monat", "Jahr", "Bestellung", "Rechnung", "Lieferung", "Grüße",
      "Größe", "Straße", "Müller", "schön", "möglich", "Prüfung", "Änderung", "Übersicht", "Öffnungszeiten",
      "Bürger", "Gebühr", "zurück", "während", "natürlich", "außerdem", "heißt", "Maßnahme", "Bäcker",
      "fröhlich", "Büro", "Tür", "Schlüssel", "Fußball", "Gemüse", "Käse", "Brötchen", "Frühstück", "Mitarbeiter",
      "Kunde", "Kunden", "Angebot", "Anfrage", "Termin", "Besprechung", "Unterlagen", "Vertrag", "Abteilung",
      "Geschäftsführer", "Mitteilung", "Zahlung", "Überweisung", "Konto", "Bank", "Firma", "Stadt", "Gemeinde",
      "Verwaltung", "Antrag", "Formular", "Auskunft", "Beratung", "Qualität", "Preis", "Artikel", "Lager",
      "Versand", "Paket", "Lieferschein", "Rückfrage", "Verspätung", "Entschuldigung", "Dank", "freundlich",
      "wichtig", "dringend", "leider", "gerne", "jedoch", "deshalb", "außer", "ungefähr", "täglich", "wöchentlich",
      "Atem", "Atlas", "Attest", "Atelier",
  });
  WordList englishContact = wordList({
      "Please write to", "For questions, e-mail", "Contact:", "Send your application to", "You can reach me at",
      "Our support team answers at", "Questions go to", "Reply to", "E-mail:", "Forwarded from",
  });
  WordList englishContactEnd = wordList({
      ".", ".", ".", "", " if anything is unclear.", " by Friday.", " and we will answer within two days.",
      " for details.", "!",
  });
  WordList germanContact = wordList({
      "Bitte schreiben Sie an", "Für Rückfragen:", "E-Mail:", "Kontakt:", "Ihre Bewerbung senden Sie an",
      "Erreichbar unter", "Anfragen bitte an", "Mail an",
  });
  WordList germanContactEnd = wordList({
      ".", ".", "", " (Mo–Fr 9–17 Uhr).", " oder telefonisch.", ", vielen Dank.", " – wir melden uns.",
  });
  WordList firstNames = wordList({
      "anna", "max", "peter", "julia", "thomas", "sarah", "michael", "laura", "david", "emma", "lukas", "sophie",
      "john", "mary", "james", "linda", "robert", "susan", "daniel", "karen", "paul", "lisa", "mark", "nina",
      "stefan", "katrin", "andreas", "sabine", "jürgen", "björn", "sören", "jörg",
  });
  WordList lastNames = wordList({
      "schmidt", "mustermann", "meyer", "weber", "wagner", "becker", "hoffmann", "koch", "richter", "klein",
      "smith", "johnson", "brown", "taylor", "miller", "wilson", "moore", "clark", "walker", "young", "hall",
      "müller", "schäfer", "köhler", "krüger", "böhm",
  });
  WordList roles = wordList({
      "info", "kontakt", "contact", "sales", "support", "office", "service", "webmaster", "noreply", "bewerbung",
      "team", "hello", "billing", "presse", "jobs", "newsletter", "postmaster", "verwaltung", "buchhaltung",
  });
  WordList hosts = wordList({
      "example", "beispiel", "muster-gmbh", "acme", "kanzlei-weber", "northwind", "stadtwerke-nord",
      "web-shop", "firma", "mail", "uni-nordstadt", "praxis-klein", "autohaus-becker", "hotel-seeblick",
      "software-haus", "verein-sued", "lists", "bigcorp", "startup-labs", "freiberufler",
  });
  WordList subdomains = wordList({"mail", "lists", "kunden", "cs", "dept", "intern", "shop", "news"});
  WordList otherTlds = wordList({
      "at", "ch", "eu", "info", "fr", "nl", "it", "es", "co.uk", "io", "edu", "gov", "biz", "us", "pl", "se",
  });
  WordList unknownTlds = wordList({"test", "local", "xyz", "test", "local", "xyz", "internal", "lan", "invalid"});
  WordList umlautLocals = wordList({"müller", "jürgen", "info", "kontakt", "bäcker", "schön", "böhm"});
  WordList umlautHosts = wordList({
      "büro", "bäckerei-müller", "möbel-köhler", "schöne-aussicht", "käserei", "übersetzungsbüro", "grün",
  });
  WordList umlautTlds = wordList({"de", "de", "at", "ch"});
  WordList paths = wordList({
      "/", "/index.html", "/shop/cart", "/api/v1/items", "/api/v1/orders", "/login", "/logout", "/impressum",
      "/kontakt", "/produkte/uebersicht", "/static/css/site.css", "/static/js/app.js", "/images/logo.png",
      "/favicon.ico", "/search", "/blog/2024/05/release-notes", "/robots.txt", "/sitemap.xml",
  });
  WordList userAgents = wordList({
      "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/124.0 Safari/537.36",
      "Mozilla/5.0 (X11; Linux x86_64; rv:125.0) Gecko/20100101 Firefox/125.0",
      "Mozilla/5.0 (iPhone; CPU iPhone OS 17_4 like Mac OS X) AppleWebKit/605.1.15 Mobile/15E148",
      "curl/8.5.0", "Googlebot/2.1", "python-requests/2.31.0",
  });
  WordList logMessages = wordList({
      "cache miss for key", "order processed in", "request completed in", "session expired for user",
      "connection pool exhausted, waiting", "retrying request, attempt", "scheduled job finished, rows",
      "slow query detected, ms", "configuration reloaded, entries", "health check ok, latency",
  });
  WordList components = wordList({
      "OrderService", "PaymentGateway", "UserRepository", "CacheManager", "Scheduler", "HttpServer",
      "MailDispatcher", "ReportJob", "AuthFilter", "Indexer",
  });
  WordList fileNames = wordList({
      "rechnung_2024_0517", "invoice-4711", "scan0001", "angebot", "lebenslauf", "photo", "report-q1",
      "vertrag_entwurf", "präsentation", "übersicht",
  });
  WordList cssClasses = wordList({"content", "footer", "header", "teaser", "sidebar", "card", "nav", "notice"});
  WordList months = wordList({"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"});
};

enum class Language { English, German };

// How the "@" and the dots of an address are written.
enum class Spelling { Plain, Parens, Brackets, SpacedBrackets, SpacedAt, Punkt, SpacedParens };

struct Separators {
  std::string_view at;
  std::string_view dot;
};

constexpr Separators separatorsOf(Spelling spelling) {
  switch (spelling) {
    case Spelling::Parens: return {"(at)", "(dot)"};
    case Spelling::Brackets: return {"[at]", "[dot]"};
    case Spelling::SpacedBrackets: return {" [at] ", " [dot] "};
    case Spelling::SpacedAt: return {" at ", "."};
    case Spelling::Punkt: return {"(at)", "(punkt)"};
    case Spelling::SpacedParens: return {" (at) ", " (dot) "};
    case Spelling::Plain: break;
  }
  return {"@", "."};
}

enum class Casing { Lower, Upper, Title };

constexpr std::size_t kWrapColumn = 76;
constexpr std::size_t kNoWrap = static_cast<std::size_t>(-1);
constexpr std::size_t kBase64Line = 76;
constexpr std::uint32_t kMillisecondsPerDay = 86400000;
constexpr std::string_view kBase64Alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

class CorpusWriter {
 public:
  CorpusWriter(const Lexicon& lexicon, std::uint64_t seed, std::string& out)
      : m_words(lexicon), m_rng(seed), m_out(out) {}

  // Appends whole sections until `bytes` are there, then cuts to `bytes`.
  void write(std::size_t bytes) {
    scheduleAddress();
    while (m_out.size() < bytes) {
      const std::uint32_t kind = m_rng.below(100);
      if (kind < 26) {
        prose(Language::English);
      } else if (kind < 44) {
        prose(Language::German);
      } else if (kind < 60) {
        html();
      } else if (kind < 70) {
        csv();
      } else if (kind < 88) {
        logs();
      } else {
        base64();
      }
      m_out.push_back('\n');
    }
    m_out.resize(bytes);
  }

 private:
  // --- addresses -----------------------------------------------------------

  bool isAddressDue() const noexcept { return m_out.size() >= m_nextAddress; }

  // The next address comes 1 to 5 KB after the current one, 3 KB on average.
  void scheduleAddress() { m_nextAddress = m_out.size() + m_rng.between(1024, 5120); }

  const std::string& pick(const WordList& list) {
    return list[m_rng.below(static_cast<std::uint32_t>(list.size()))];
  }

  void buildLocalPart(std::string& local) {
    local.clear();
    const std::string& first = pick(m_words.firstNames);
    const std::string& last = pick(m_words.lastNames);
    const std::uint32_t shape = m_rng.below(100);
    if (shape < 25) {
      local.append(first).append(".").append(last);
    } else if (shape < 35) {
      local.append(1, first[0]).append(".").append(last);
    } else if (shape < 55) {
      local.append(pick(m_words.roles));
    } else if (shape < 65) {
      local.append(first);
    } else if (shape < 72) {
      local.append(first).append("_").append(last);
    } else if (shape < 80) {
      local.append(last);
      appendNumberTo(local, m_rng.below(100), 2);
    } else if (shape < 87) {
      local.append(first).append("-").append(last);
    } else if (shape < 93) {
      local.append(first).append(".").append(last);
      appendNumberTo(local, m_rng.between(1950, 2005), 4);
    } else {
      local.append(first).append(1, last[0]);
    }
  }

  // Builds a fresh address into m_address. Spelled-out forms only where the
  // context allows them (not inside a mailto link, say).
  void buildAddress(bool allowSpelled, bool allowCasing = true) {
    m_domain.clear();
    const std::uint32_t kind = m_rng.below(100);
    if (kind < 8) {
      buildLocalPart(m_local);
      m_domain.append(pick(m_words.hosts)).append(".").append(pick(m_words.unknownTlds));
    } else if (kind < 14) {
      if (m_rng.percent(50)) {
        m_local = pick(m_words.umlautLocals);
      } else {
        buildLocalPart(m_local);
      }
      m_domain.append(pick(m_words.umlautHosts)).append(".").append(pick(m_words.umlautTlds));
    } else {
      buildLocalPart(m_local);
      if (m_rng.percent(15)) m_domain.append(pick(m_words.subdomains)).append(".");
      m_domain.append(pick(m_words.hosts)).append(".");
      const std::uint32_t tld = m_rng.below(100);
      m_domain.append(tld < 35 ? std::string_view("com")
                      : tld < 65 ? std::string_view("de")
                      : tld < 75 ? std::string_view("org")
                      : tld < 82 ? std::string_view("net")
                                 : std::string_view(pick(m_words.otherTlds)));
    }

    Spelling spelling = Spelling::Plain;
    if (allowSpelled) {
      const std::uint32_t form = m_rng.below(100);
      spelling = form < 66   ? Spelling::Plain
                 : form < 73 ? Spelling::Parens
                 : form < 77 ? Spelling::Brackets
                 : form < 80 ? Spelling::SpacedBrackets
                 : form < 86 ? Spelling::SpacedAt
                 : form < 90 ? Spelling::Punkt
                 : form < 92 ? Spelling::SpacedParens
                             : Spelling::Plain;
    }
    Casing casing = Casing::Lower;
    if (allowCasing) {
      const std::uint32_t c = m_rng.below(100);
      casing = c < 7 ? Casing::Upper : c < 15 ? Casing::Title : Casing::Lower;
    }
    renderAddress(spelling, casing);
  }

  void renderAddress(Spelling spelling, Casing casing) {
    const Separators separators = separatorsOf(spelling);
    // Now and then the dots of the name are spelled out as well.
    const bool spellLocalDots = spelling != Spelling::SpacedAt && m_rng.percent(20);
    m_address.clear();
    bool startOfWord = true;
    for (const char c : m_local) {
      if (c == '.') {
        m_address.append(spellLocalDots ? separators.dot : std::string_view("."));
        startOfWord = true;
        continue;
      }
      m_address.push_back(casing == Casing::Title && startOfWord ? upperOf(c) : c);
      startOfWord = false;
    }
    m_address.append(separators.at);
    startOfWord = true;
    for (const char c : m_domain) {
      if (c == '.') {
        m_address.append(separators.dot);
        startOfWord = false;  // only the first label gets a capital
        continue;
      }
      m_address.push_back(casing == Casing::Title && startOfWord ? upperOf(c) : c);
      startOfWord = false;
    }
    if (casing == Casing::Upper) {
      for (char& c : m_address) c = upperOf(c);
    }
  }

  // --- text helpers ----------------------------------------------------------

  static void appendNumberTo(std::string& out, std::uint64_t value, std::size_t width) {
    char digits[24];
    std::size_t n = 0;
    do {
      digits[n++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0);
    while (n < width && n < sizeof digits) digits[n++] = '0';
    while (n > 0) out.push_back(digits[--n]);
  }

  void number(std::uint64_t value, std::size_t width = 0) { appendNumberTo(m_out, value, width); }

  void text(std::string_view s) { m_out.append(s); }

  void capitalised(std::string_view s) {
    const std::size_t start = m_out.size();
    m_out.append(s);
    if (!s.empty()) m_out[start] = upperOf(m_out[start]);
  }

  // A word of running text: a blank (or a line break at the wrap column)
  // before it unless it starts a line.
  void word(std::string_view w, bool capital = false) {
    if (m_column > 0) {
      if (m_wrapAt != kNoWrap && m_column + 1 + w.size() > m_wrapAt) {
        m_out.push_back('\n');
        m_column = 0;
      } else {
        m_out.push_back(' ');
        ++m_column;
      }
    }
    const std::size_t start = m_out.size();
    m_out.append(w);
    if (capital) m_out[start] = upperOf(m_out[start]);
    m_column += w.size();
  }

  void punctuation(std::string_view p) {
    m_out.append(p);
    m_column += p.size();
  }

  void newline() {
    m_out.push_back('\n');
    m_column = 0;
  }

  void capitalisedName() {
    word(pick(m_words.firstNames), true);
    word(pick(m_words.lastNames), true);
  }

  void sentence(Language language) {
    if (isAddressDue() && m_rng.percent(70)) {
      contactSentence(language);
      return;
    }
    const WordList& words = language == Language::English ? m_words.english : m_words.german;
    const std::uint32_t length = m_rng.between(5, 16);
    const std::uint32_t atPosition =
        language == Language::English && m_rng.percent(8) ? m_rng.below(length) : length;
    for (std::uint32_t i = 0; i < length; ++i) {
      if (i == atPosition) word(pick(m_words.englishAt), i == 0);
      word(pick(words), i == 0 && i != atPosition);
      if (i + 2 < length && m_rng.percent(4)) punctuation(",");
    }
    const std::uint32_t end = m_rng.below(100);
    punctuation(end < 85 ? "." : end < 93 ? "?" : end < 97 ? "!" : ":");
  }

  void contactSentence(Language language) {
    const bool english = language == Language::English;
    buildAddress(true);
    word(pick(english ? m_words.englishContact : m_words.germanContact));
    // Angle brackets or parentheses around an address are common in mail text.
    const std::uint32_t wrap = m_rng.below(100);
    if (wrap < 8) {
      word("<" + m_address + ">");
    } else if (wrap < 12) {
      word("(" + m_address + ")");
    } else {
      word(m_address);
    }
    punctuation(pick(english ? m_words.englishContactEnd : m_words.germanContactEnd));
    scheduleAddress();
  }

  void signature(Language language) {
    text(language == Language::English ? "Best regards,\n" : "Mit freundlichen Gr\xFC\xDF" "en\n");
    m_column = 0;
    capitalisedName();
    newline();
    text(language == Language::English ? "Phone: +1 555 " : "Tel.: +49 40 ");
    number(m_rng.below(10000000), 7);
    newline();
    if (isAddressDue()) {
      buildAddress(true);
      text(language == Language::English ? "E-mail: " : "E-Mail: ");
      text(m_address);
      newline();
      scheduleAddress();
    }
    text("www.");
    text(pick(m_words.hosts));
    text(language == Language::English ? ".com\n" : ".de\n");
  }

  // --- sections --------------------------------------------------------------

  void prose(Language language) {
    const std::size_t end = m_out.size() + m_rng.between(1024, 6144);
    m_wrapAt = m_rng.percent(70) ? kWrapColumn : kNoWrap;
    m_column = 0;
    while (m_out.size() < end) {
      const std::uint32_t sentences = m_rng.between(2, 6);
      for (std::uint32_t i = 0; i < sentences; ++i) sentence(language);
      newline();
      newline();
    }
    if (m_rng.percent(25)) signature(language);
  }

  void html() {
    const std::size_t end = m_out.size() + m_rng.between(1024, 6144);
    const bool page = m_rng.percent(50);
    m_wrapAt = kNoWrap;
    if (page) {
      text("<!DOCTYPE html>\n<html lang=\"de\">\n<head>\n<meta charset=\"windows-1252\">\n<title>");
      text(pick(m_words.german));
      text(" ");
      text(pick(m_words.german));
      text("</title>\n<link rel=\"stylesheet\" href=\"/static/css/site.css\">\n</head>\n<body>\n");
    }
    while (m_out.size() < end) {
      if (isAddressDue()) {
        htmlAddress();
        continue;
      }
      const std::uint32_t element = m_rng.below(100);
      if (element < 40) {
        text("<p>");
        m_column = 0;
        const Language language = m_rng.percent(50) ? Language::English : Language::German;
        const std::uint32_t sentences = m_rng.between(1, 4);
        for (std::uint32_t i = 0; i < sentences; ++i) sentence(language);
        text("</p>\n");
      } else if (element < 60) {
        text("<ul class=\"");
        text(pick(m_words.cssClasses));
        text("\">\n");
        const std::uint32_t items = m_rng.between(2, 6);
        for (std::uint32_t i = 0; i < items; ++i) {
          text("  <li><a href=\"");
          text(pick(m_words.paths));
          text("\">");
          text(pick(m_words.german));
          text(" ");
          text(pick(m_words.german));
          text("</a></li>\n");
        }
        text("</ul>\n");
      } else if (element < 75) {
        text("<div class=\"");
        text(pick(m_words.cssClasses));
        text("\"><span>");
        text(pick(m_words.english));
        text(" ");
        text(pick(m_words.english));
        text("</span> &middot; \xA9 2024</div>\n");
      } else if (element < 85) {
        text("<img src=\"/images/");
        text(pick(m_words.fileNames));
        text(".jpg\" alt=\"");
        text(pick(m_words.german));
        text("\" width=\"");
        number(m_rng.between(120, 1920));
        text("\" height=\"");
        number(m_rng.between(80, 1080));
        text("\">\n");
      } else {
        text("<tr><td>");
        text(pick(m_words.german));
        text("</td><td class=\"num\">");
        number(m_rng.below(10000));
        text(",");
        number(m_rng.below(100), 2);
        text(" \x80</td></tr>\n");
      }
    }
    if (page) text("</body>\n</html>\n");
  }

  void htmlAddress() {
    const std::uint32_t shape = m_rng.below(100);
    if (shape < 45) {
      // The same address in the link and as its text.
      buildAddress(false, false);
      text("<p>Kontakt: <a href=\"mailto:");
      text(m_address);
      text("\">");
      text(m_address);
      text("</a></p>\n");
    } else if (shape < 70) {
      buildAddress(false, false);
      text("<a href=\"mailto:");
      text(m_address);
      text(m_rng.percent(50) ? "?subject=Anfrage\">" : "\">");
      m_column = 0;
      capitalisedName();
      text("</a><br>\n");
    } else if (shape < 85) {
      // Spelled out, the way pages hide addresses from harvesters.
      buildAddress(true);
      text("<p class=\"contact\">E-Mail: ");
      text(m_address);
      text("</p>\n");
    } else {
      buildAddress(false);
      text("<li>");
      m_column = 0;
      capitalisedName();
      text(" &lt;");
      text(m_address);
      text("&gt;</li>\n");
    }
    scheduleAddress();
  }

  void csv() {
    const std::size_t end = m_out.size() + m_rng.between(1024, 8192);
    const bool german = m_rng.percent(50);
    const char separator = german ? ';' : ',';
    text(german ? "Bestellnr;Datum;Kunde;Artikel;Menge;Preis;W\xE4hrung;E-Mail\n"
                : "order_id,date,customer,sku,qty,price,currency,contact\n");
    std::uint64_t order = 10000 + m_rng.below(900000);
    while (m_out.size() < end) {
      number(order++);
      m_out.push_back(separator);
      number(2020 + m_rng.below(5));
      text("-");
      number(m_rng.between(1, 12), 2);
      text("-");
      number(m_rng.between(1, 28), 2);
      m_out.push_back(separator);
      if (german) {
        capitalised(pick(m_words.lastNames));
        text(" ");
        capitalised(pick(m_words.firstNames));
      } else {
        text("\"");
        capitalised(pick(m_words.lastNames));
        text(", ");
        capitalised(pick(m_words.firstNames));
        text("\"");
      }
      m_out.push_back(separator);
      text("ART-");
      number(m_rng.below(100000), 5);
      m_out.push_back(separator);
      number(m_rng.between(1, 20));
      m_out.push_back(separator);
      number(m_rng.below(1000));
      text(german ? "," : ".");
      number(m_rng.below(100), 2);
      m_out.push_back(separator);
      text(german ? "\x80" : "EUR");
      m_out.push_back(separator);
      if (isAddressDue()) {
        buildAddress(false);
        text(m_address);
        scheduleAddress();
      }
      text(german ? "\r\n" : "\n");
    }
  }

  // A log clock that moves on a little with every line.
  void advanceClock() { m_millisecondOfDay = (m_millisecondOfDay + m_rng.below(4000)) % kMillisecondsPerDay; }

  void clockTime() {
    const std::uint32_t second = m_millisecondOfDay / 1000;
    number(second / 3600, 2);
    text(":");
    number(second / 60 % 60, 2);
    text(":");
    number(second % 60, 2);
  }

  void isoTimestamp() {
    text("2024-");
    number(m_month, 2);
    text("-");
    number(m_day, 2);
    text("T");
    clockTime();
    text(".");
    number(m_millisecondOfDay % 1000, 3);
    text("Z");
  }

  void ipAddress() {
    text("203.0.113.");
    number(m_rng.between(1, 254));
  }

  void logs() {
    const std::size_t end = m_out.size() + m_rng.between(1024, 8192);
    const std::uint32_t style = m_rng.below(3);
    m_month = m_rng.between(1, 12);
    m_day = m_rng.between(1, 28);
    m_millisecondOfDay = m_rng.below(kMillisecondsPerDay);
    while (m_out.size() < end) {
      advanceClock();
      if (style == 0) {
        applicationLogLine();
      } else if (style == 1) {
        accessLogLine();
      } else {
        mailLogLine();
      }
    }
  }

  void applicationLogLine() {
    isoTimestamp();
    const std::uint32_t level = m_rng.below(100);
    text(level < 70 ? " INFO  [" : level < 90 ? " WARN  [" : " ERROR [");
    text("worker-");
    number(m_rng.below(16));
    text("] ");
    text(pick(m_words.components));
    text(" - ");
    if (isAddressDue()) {
      buildAddress(false);
      text("sending confirmation to ");
      text(m_address);
      scheduleAddress();
    } else if (level >= 70 && level < 73) {
      text("retry ");
      number(m_rng.between(1, 5));
      text(" of 5, next attempt at ");
      clockTime();
    } else {
      text(pick(m_words.logMessages));
      text(" ");
      number(m_rng.below(100000));
    }
    text("\n");
  }

  void accessLogLine() {
    ipAddress();
    text(" - - [");
    number(m_day, 2);
    text("/");
    text(m_words.months[m_month - 1]);
    text("/2024:");
    clockTime();
    text(" +0200] \"");
    text(m_rng.percent(85) ? "GET " : "POST ");
    if (isAddressDue()) {
      buildAddress(false, false);
      text("/newsletter/subscribe?email=");
      text(m_address);
      scheduleAddress();
    } else {
      text(pick(m_words.paths));
      if (m_rng.percent(20)) {
        text("?id=");
        number(m_rng.below(100000));
      }
    }
    text(" HTTP/1.1\" ");
    const std::uint32_t status = m_rng.below(100);
    text(status < 85 ? "200 " : status < 92 ? "304 " : status < 98 ? "404 " : "500 ");
    number(m_rng.below(200000));
    text(" \"-\" \"");
    text(pick(m_words.userAgents));
    text("\"\n");
  }

  void mailLogLine() {
    text(m_words.months[m_month - 1]);
    text(" ");
    number(m_day, 2);
    text(" ");
    clockTime();
    text(" mx1 ");
    if (isAddressDue()) {
      // A delivery: a message id (which looks like an address too) and
      // the recipient.
      buildAddress(false, false);
      const std::uint64_t queue = m_rng.next();
      text("postfix/cleanup[");
      number(m_rng.between(1000, 99999));
      text("]: ");
      queueId(queue);
      text(": message-id=<");
      number(m_rng.next() % 100000000000000u);
      text(".");
      queueId(queue);
      text("@mail.");
      text(pick(m_words.hosts));
      text(".com>\n");
      text(m_words.months[m_month - 1]);
      text(" ");
      number(m_day, 2);
      text(" ");
      clockTime();
      text(" mx1 postfix/smtp[");
      number(m_rng.between(1000, 99999));
      text("]: ");
      queueId(queue);
      text(": to=<");
      text(m_address);
      text(">, relay=mx.");
      text(pick(m_words.hosts));
      text(".com[");
      ipAddress();
      text("]:25, delay=");
      number(m_rng.below(10));
      text(".");
      number(m_rng.below(10));
      text(", status=sent (250 2.0.0 Ok)\n");
      scheduleAddress();
      return;
    }
    const std::uint32_t kind = m_rng.below(3);
    text(kind == 0 ? "postfix/smtpd[" : kind == 1 ? "postfix/qmgr[" : "postfix/anvil[");
    number(m_rng.between(1000, 99999));
    text(kind == 0   ? "]: connect from unknown["
         : kind == 1 ? "]: removed queue entry, client=["
                     : "]: statistics: max connection rate 1/60s for (smtp:");
    ipAddress();
    text(kind == 2 ? ") at " : "]");
    if (kind == 2) clockTime();
    text("\n");
  }

  // Ten hex digits from `bits`, like a mail server's queue id.
  void queueId(std::uint64_t bits) {
    for (int i = 0; i < 10; ++i) {
      m_out.push_back("0123456789ABCDEF"[bits & 15]);
      bits >>= 4;
    }
  }

  void base64() {
    const std::string& name = pick(m_words.fileNames);
    text("Content-Type: application/pdf; name=\"");
    text(name);
    text(".pdf\"\nContent-Transfer-Encoding: base64\nContent-Disposition: attachment; filename=\"");
    text(name);
    text(".pdf\"\n\n");
    // The encoding of `payload` bytes: 4 characters per 3 bytes, padded.
    const std::size_t payload = m_rng.between(1024, 9216);
    const std::size_t characters = (payload + 2) / 3 * 4;
    const std::size_t padding = (3 - payload % 3) % 3;
    char line[kBase64Line + 1];
    std::size_t written = 0;
    while (written < characters) {
      const std::size_t length = std::min(kBase64Line, characters - written);
      for (std::size_t i = 0; i < length;) {
        // Ten characters from each random number.
        std::uint64_t bits = m_rng.next();
        for (int k = 0; k < 10 && i < length; ++k, ++i) {
          line[i] = kBase64Alphabet[bits & 63];
          bits >>= 6;
        }
      }
      written += length;
      if (written == characters) {
        for (std::size_t i = 0; i < padding; ++i) line[length - 1 - i] = '=';
      }
      line[length] = '\n';
      m_out.append(line, length + 1);
    }
  }

  const Lexicon& m_words;
  Rng m_rng;
  std::string& m_out;
  std::size_t m_nextAddress = 0;
  std::size_t m_column = 0;
  std::size_t m_wrapAt = kWrapColumn;
  std::uint32_t m_month = 1;
  std::uint32_t m_day = 1;
  std::uint32_t m_millisecondOfDay = 0;
  std::string m_local;
  std::string m_domain;
  std::string m_address;
};

// splitmix64's finaliser on its own: spreads a seed over all 64 bits.
std::uint64_t mix(std::uint64_t z) noexcept {
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  return z ^ (z >> 31);
}

}  // namespace

std::string generateCorpus(std::size_t bytes, std::uint64_t seed) {
  std::string out;
  generateCorpus(bytes, seed, out);
  return out;
}

void generateCorpus(std::size_t bytes, std::uint64_t seed, std::string& out) {
  static const Lexicon lexicon;
  out.clear();
  // A section overshoots the target by at most a few KB before the cut.
  out.reserve(bytes + 64 * 1024);
  CorpusWriter(lexicon, mix(seed), out).write(bytes);
}

std::uint64_t chunkSeed(std::uint64_t seed, std::uint64_t index) noexcept {
  return mix(mix(seed) ^ (index * 0xD1B54A32D192ED03u + 1));
}

}  // namespace mailsift::bench
