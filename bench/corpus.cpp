// The corpus generator behind the benchmarks. It writes sections of several
// kinds one after the other and drops an e-mail address into whichever
// section is being written each time the next address is due, so the address
// density stays the same whatever the mix of sections. The dense kind does
// the same with "@" signs of every sort.
#include "corpus.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string>
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
      "the",       "of",        "and",        "to",         "a",          "in",           "is",       "it",
      "you",       "that",      "was",        "for",        "on",         "are",          "with",     "as",
      "they",      "be",        "this",       "have",       "from",       "or",           "one",      "had",
      "by",        "but",       "not",        "what",       "all",        "were",         "we",       "when",
      "your",      "can",       "said",       "there",      "use",        "an",           "each",     "which",
      "she",       "do",        "how",        "their",      "if",         "will",         "up",       "other",
      "about",     "out",       "many",       "then",       "them",       "these",        "so",       "some",
      "her",       "would",     "make",       "like",       "him",        "into",         "time",     "has",
      "two",       "more",      "go",         "see",        "no",         "way",          "could",    "people",
      "than",      "first",     "been",       "call",       "who",        "its",          "now",      "find",
      "long",      "down",      "day",        "did",        "get",        "come",         "made",     "may",
      "part",      "report",    "meeting",    "project",    "customer",   "order",        "invoice",  "delivery",
      "attached",  "attention", "attempt",    "attend",     "attitude",   "atmosphere",   "atlas",    "atom",
      "quarterly", "results",   "team",       "office",     "schedule",   "update",       "please",   "should",
      "review",    "document",  "version",    "release",    "server",     "network",      "budget",   "approval",
      "contract",  "question",  "answer",     "week",       "month",      "year",         "today",    "tomorrow",
      "yesterday", "colleague", "manager",    "department", "company",    "service",      "support",  "request",
      "feedback",  "issue",     "problem",    "solution",   "price",      "product",      "shipment", "warehouse",
      "account",   "password",  "login",      "website",    "newsletter", "subscription", "agenda",   "minutes",
      "draft",     "final",     "figures",    "sales",      "growth",     "target",       "deadline", "launch",
      "campaign",  "survey",    "conference", "travel",     "hotel",      "flight",       "train",    "weather",
      "lunch",     "coffee",    "kitchen",    "printer",    "holiday",    "vacation",     "birthday", "weekend",
      "morning",   "evening",   "important",  "urgent",     "quickly",    "carefully",    "probably", "certainly",
      "however",   "therefore", "meanwhile",  "although",   "because",
  });
  // Natural English phrases with " at " in them, which the scanner reads as
  // a spelled-out "@".
  WordList englishAt = wordList({
      "look at the",
      "at least",
      "at the end of the",
      "at home",
      "at the meeting",
      "at noon",
      "at 10 am",
      "arrive at the office",
      "at all",
      "at once",
      "at the moment",
      "at first",
      "good at",
      "at the same time",
      "at your earliest convenience",
      "at 3 pm",
      "at our booth",
      "at the station",
      "at a glance",
  });
  WordList german = wordList({
      "der",
      "die",
      "das",
      "und",
      "ist",
      "nicht",
      "mit",
      "für",
      "über",
      "auf",
      "sich",
      "dem",
      "den",
      "ein",
      "eine",
      "zu",
      "von",
      "wir",
      "Sie",
      "Ihre",
      "bitte",
      "noch",
      "auch",
      "nach",
      "bei",
      "aus",
      "wie",
      "wenn",
      "aber",
      "oder",
      "schon",
      "dass",
      "wird",
      "werden",
      "können",
      "müssen",
      "würde",
      "hätte",
      "wäre",
      "gibt",
      "heute",
      "morgen",
      "gestern",
      "Woche",
      "Monat",
      "Jahr",
      "Bestellung",
      "Rechnung",
      "Lieferung",
      "Grüße",
      "Größe",
      "Straße",
      "Müller",
      "schön",
      "möglich",
      "Prüfung",
      "Änderung",
      "Übersicht",
      "Öffnungszeiten",
      "Bürger",
      "Gebühr",
      "zurück",
      "während",
      "natürlich",
      "außerdem",
      "heißt",
      "Maßnahme",
      "Bäcker",
      "fröhlich",
      "Büro",
      "Tür",
      "Schlüssel",
      "Fußball",
      "Gemüse",
      "Käse",
      "Brötchen",
      "Frühstück",
      "Mitarbeiter",
      "Kunde",
      "Kunden",
      "Angebot",
      "Anfrage",
      "Termin",
      "Besprechung",
      "Unterlagen",
      "Vertrag",
      "Abteilung",
      "Geschäftsführer",
      "Mitteilung",
      "Zahlung",
      "Überweisung",
      "Konto",
      "Bank",
      "Firma",
      "Stadt",
      "Gemeinde",
      "Verwaltung",
      "Antrag",
      "Formular",
      "Auskunft",
      "Beratung",
      "Qualität",
      "Preis",
      "Artikel",
      "Lager",
      "Versand",
      "Paket",
      "Lieferschein",
      "Rückfrage",
      "Verspätung",
      "Entschuldigung",
      "Dank",
      "freundlich",
      "wichtig",
      "dringend",
      "leider",
      "gerne",
      "jedoch",
      "deshalb",
      "außer",
      "ungefähr",
      "täglich",
      "wöchentlich",
      "Atem",
      "Atlas",
      "Attest",
      "Atelier",
  });
  WordList englishContact = wordList({
      "Please write to",
      "For questions, e-mail",
      "Contact:",
      "Send your application to",
      "You can reach me at",
      "Our support team answers at",
      "Questions go to",
      "Reply to",
      "E-mail:",
      "Forwarded from",
  });
  WordList englishContactEnd = wordList({
      ".",
      ".",
      ".",
      "",
      " if anything is unclear.",
      " by Friday.",
      " and we will answer within two days.",
      " for details.",
      "!",
  });
  WordList germanContact = wordList({
      "Bitte schreiben Sie an",
      "Für Rückfragen:",
      "E-Mail:",
      "Kontakt:",
      "Ihre Bewerbung senden Sie an",
      "Erreichbar unter",
      "Anfragen bitte an",
      "Mail an",
  });
  WordList germanContactEnd = wordList({
      ".",
      ".",
      "",
      " (Mo–Fr 9–17 Uhr).",
      " oder telefonisch.",
      ", vielen Dank.",
      " – wir melden uns.",
  });
  WordList firstNames = wordList({
      "anna",   "max",  "peter",  "julia",  "thomas",  "sarah",  "michael", "laura",  "david", "emma", "lukas",
      "sophie", "john", "mary",   "james",  "linda",   "robert", "susan",   "daniel", "karen", "paul", "lisa",
      "mark",   "nina", "stefan", "katrin", "andreas", "sabine", "jürgen",  "björn",  "sören", "jörg",
  });
  WordList lastNames = wordList({
      "schmidt", "mustermann", "meyer",   "weber",  "wagner",  "becker", "hoffmann", "koch",  "richter",
      "klein",   "smith",      "johnson", "brown",  "taylor",  "miller", "wilson",   "moore", "clark",
      "walker",  "young",      "hall",    "müller", "schäfer", "köhler", "krüger",   "böhm",
  });
  WordList roles = wordList({
      "info",      "kontakt",    "contact",    "sales",      "support",     "office",  "service",
      "webmaster", "noreply",    "bewerbung",  "team",       "hello",       "billing", "presse",
      "jobs",      "newsletter", "postmaster", "verwaltung", "buchhaltung",
  });
  WordList hosts = wordList({
      "example",       "beispiel",        "muster-gmbh",     "acme",           "kanzlei-weber",
      "northwind",     "stadtwerke-nord", "web-shop",        "firma",          "mail",
      "uni-nordstadt", "praxis-klein",    "autohaus-becker", "hotel-seeblick", "software-haus",
      "verein-sued",   "lists",           "bigcorp",         "startup-labs",   "freiberufler",
  });
  WordList subdomains = wordList({"mail", "lists", "kunden", "cs", "dept", "intern", "shop", "news"});
  WordList otherTlds = wordList({
      "at",
      "ch",
      "eu",
      "info",
      "fr",
      "nl",
      "it",
      "es",
      "co.uk",
      "io",
      "edu",
      "gov",
      "biz",
      "us",
      "pl",
      "se",
  });
  WordList unknownTlds = wordList({"test", "local", "xyz", "test", "local", "xyz", "internal", "lan", "invalid"});
  WordList umlautLocals = wordList({"müller", "jürgen", "info", "kontakt", "bäcker", "schön", "böhm"});
  WordList umlautHosts = wordList({
      "büro",
      "bäckerei-müller",
      "möbel-köhler",
      "schöne-aussicht",
      "käserei",
      "übersetzungsbüro",
      "grün",
  });
  WordList umlautTlds = wordList({"de", "de", "at", "ch"});
  WordList paths = wordList({
      "/",
      "/index.html",
      "/shop/cart",
      "/api/v1/items",
      "/api/v1/orders",
      "/login",
      "/logout",
      "/impressum",
      "/kontakt",
      "/produkte/uebersicht",
      "/static/css/site.css",
      "/static/js/app.js",
      "/images/logo.png",
      "/favicon.ico",
      "/search",
      "/blog/2024/05/release-notes",
      "/robots.txt",
      "/sitemap.xml",
  });
  WordList userAgents = wordList({
      "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/124.0 Safari/537.36",
      "Mozilla/5.0 (X11; Linux x86_64; rv:125.0) Gecko/20100101 Firefox/125.0",
      "Mozilla/5.0 (iPhone; CPU iPhone OS 17_4 like Mac OS X) AppleWebKit/605.1.15 Mobile/15E148",
      "curl/8.5.0",
      "Googlebot/2.1",
      "python-requests/2.31.0",
  });
  WordList logMessages = wordList({
      "cache miss for key",
      "order processed in",
      "request completed in",
      "session expired for user",
      "connection pool exhausted, waiting",
      "retrying request, attempt",
      "scheduled job finished, rows",
      "slow query detected, ms",
      "configuration reloaded, entries",
      "health check ok, latency",
  });
  WordList components = wordList({
      "OrderService",
      "PaymentGateway",
      "UserRepository",
      "CacheManager",
      "Scheduler",
      "HttpServer",
      "MailDispatcher",
      "ReportJob",
      "AuthFilter",
      "Indexer",
  });
  WordList fileNames = wordList({
      "rechnung_2024_0517",
      "invoice-4711",
      "scan0001",
      "angebot",
      "lebenslauf",
      "photo",
      "report-q1",
      "vertrag_entwurf",
      "präsentation",
      "übersicht",
  });
  WordList cssClasses = wordList({"content", "footer", "header", "teaser", "sidebar", "card", "nav", "notice"});
  WordList months = wordList({"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"});

  // For the dense corpus. Words starting with "at", which the candidate
  // search meets after a blank and has to turn down; "at" itself most often.
  WordList atWords = wordList({
      "at",      "at",       "at",       "at",         "attention",  "attach",  "attached", "attachment",
      "atom",    "atoms",    "atomic",   "attribute",  "attributes", "attempt", "attend",   "attendees",
      "attic",   "attorney", "attract",  "attractive", "attain",     "attack",  "atlas",    "atmosphere",
      "athlete", "atrium",   "attitude", "attest",     "atop",       "atoll",
  });
  WordList pythonDecorators = wordList({
      "@property",
      "@staticmethod",
      "@classmethod",
      "@dataclass",
      "@dataclass(frozen=True)",
      "@abstractmethod",
      "@functools.lru_cache(maxsize=128)",
      "@cached_property",
      "@contextmanager",
      "@pytest.fixture",
      "@pytest.mark.parametrize(\"size\", [1, 8, 64])",
      "@app.route(\"/api/v1/orders\", methods=[\"POST\"])",
      "@login_required",
      "@torch.no_grad()",
      "@unittest.skip(\"flaky on CI\")",
      "@override",
  });
  WordList javaAnnotations = wordList({
      "@Override",
      "@Deprecated",
      "@SuppressWarnings(\"unchecked\")",
      "@Test",
      "@Autowired",
      "@Inject",
      "@Transactional",
      "@GetMapping(\"/orders/{id}\")",
      "@PostMapping(\"/orders\")",
      "@BeforeEach",
      "@ParameterizedTest",
      "@ValueSource(ints = {1, 2, 3})",
      "@FunctionalInterface",
      "@Nullable",
  });
  WordList javadocTags = wordList({"@param", "@return", "@throws", "@see", "@since"});
  WordList matrices = wordList({
      "x",
      "w",
      "a",
      "b",
      "q",
      "k",
      "v",
      "weights",
      "hidden",
      "basis",
      "rotation",
      "points",
      "cov",
      "proj",
  });
  WordList javaTypes = wordList({
      "String",
      "long",
      "int",
      "boolean",
      "Order",
      "Customer",
      "List<Order>",
      "Optional<Customer>",
      "Invoice",
  });
  WordList weekdays = wordList({"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"});
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
    case Spelling::Parens:
      return {"(at)", "(dot)"};
    case Spelling::Brackets:
      return {"[at]", "[dot]"};
    case Spelling::SpacedBrackets:
      return {" [at] ", " [dot] "};
    case Spelling::SpacedAt:
      return {" at ", "."};
    case Spelling::Punkt:
      return {"(at)", "(punkt)"};
    case Spelling::SpacedParens:
      return {" (at) ", " (dot) "};
    case Spelling::Plain:
      break;
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

  // Appends whole dense sections until `bytes` are there, then cuts to `bytes`.
  void writeDense(std::size_t bytes) {
    scheduleAt();
    while (m_out.size() < bytes) {
      const std::uint32_t kind = m_rng.below(100);
      if (kind < 25) {
        python();
      } else if (kind < 40) {
        java();
      } else if (kind < 70) {
        atProse();
      } else {
        mail();
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

  const std::string& pick(const WordList& list) { return list[m_rng.below(static_cast<std::uint32_t>(list.size()))]; }

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
      m_domain.append(tld < 35   ? std::string_view("com")
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
    const std::uint32_t atPosition = language == Language::English && m_rng.percent(8) ? m_rng.below(length) : length;
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
    text(language == Language::English ? "Best regards,\n"
                                       : "Mit freundlichen Gr\xFC\xDF"
                                         "en\n");
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

  // --- the dense corpus --------------------------------------------------------
  //
  // Text where "@" and " at" come often: source code with decorators,
  // annotations and matrix products, prose full of words starting with "at",
  // and mail headers. Most of each section is filler; wherever an "@" may
  // stand, one is written when the next is due, so the density stays about
  // the same whatever the mix. Mail headers carry theirs regardless.

  bool isAtDue() const noexcept { return m_out.size() >= m_nextAt; }

  // The next "@" comes 450 to 1450 bytes after the current one, 950 on
  // average; with the mail headers' own the mean gap is about 600.
  void scheduleAt() { m_nextAt = m_out.size() + m_rng.between(450, 1450); }

  void indent(std::size_t columns) { m_out.append(columns, ' '); }

  // A snake_case name of one or two English words.
  void snakeName() {
    text(pick(m_words.english));
    if (m_rng.percent(60)) {
      text("_");
      text(pick(m_words.english));
    }
  }

  // A camelCase name of one or two English words.
  void camelName() {
    text(pick(m_words.english));
    if (m_rng.percent(60)) capitalised(pick(m_words.english));
  }

  // "Anna Schmidt <anna.schmidt@example.com>" with a fresh address.
  void nameAndAddress() {
    buildAddress(false, false);
    capitalised(pick(m_words.firstNames));
    text(" ");
    capitalised(pick(m_words.lastNames));
    text(" <");
    text(m_address);
    text(">");
  }

  // A short comment or docstring sentence, without its full stop.
  void shortSentence() {
    capitalised(pick(m_words.english));
    const std::uint32_t length = m_rng.between(3, 9);
    for (std::uint32_t i = 0; i < length; ++i) {
      text(" ");
      text(m_rng.percent(20) ? pick(m_words.atWords) : pick(m_words.english));
    }
  }

  void python() {
    const std::size_t end = m_out.size() + m_rng.between(1024, 6144);
    text("\"\"\"");
    shortSentence();
    text(".\"\"\"\n");
    if (isAtDue() && m_rng.percent(50)) {
      text("__author__ = \"");
      nameAndAddress();
      text("\"\n");
      scheduleAt();
    }
    text("import functools\nimport math\n\nimport numpy as np\n");
    while (m_out.size() < end) {
      if (m_rng.percent(30)) {
        text("\n\nclass ");
        capitalised(pick(m_words.english));
        capitalised(pick(m_words.english));
        text(":\n    \"\"\"");
        shortSentence();
        text(".\"\"\"\n");
        const std::uint32_t methods = m_rng.between(1, 4);
        for (std::uint32_t i = 0; i < methods; ++i) pythonFunction(4);
      } else {
        text("\n");
        pythonFunction(0);
      }
    }
  }

  void pythonFunction(std::size_t depth) {
    text("\n");
    if (isAtDue()) {
      indent(depth);
      text(pick(m_words.pythonDecorators));
      text("\n");
      scheduleAt();
    }
    indent(depth);
    text("def ");
    snakeName();
    text(depth > 0 ? "(self, " : "(");
    text(pick(m_words.matrices));
    text(", ");
    snakeName();
    text("=None):\n");
    indent(depth + 4);
    text("\"\"\"");
    shortSentence();
    text(".\"\"\"\n");
    const std::uint32_t lines = m_rng.between(2, 8);
    for (std::uint32_t i = 0; i < lines; ++i) {
      indent(depth + 4);
      if (isAtDue()) {
        pythonAtLine();
        scheduleAt();
      } else {
        pythonLine();
      }
      text("\n");
    }
  }

  void pythonLine() {
    const std::uint32_t kind = m_rng.below(7);
    if (kind == 0) {
      text("logger.debug(\"");
      text(pick(m_words.english));
      text(" ");
      text(pick(m_words.atWords));
      text(" %s\", ");
      snakeName();
      text(")");
      return;
    }
    if (kind == 1) {
      // Matrix products written without "@".
      text(pick(m_words.matrices));
      text(" = np.dot(");
      text(pick(m_words.matrices));
      text(", ");
      text(pick(m_words.matrices));
      text(")");
      return;
    }
    if (kind == 2) {
      text("return ");
      snakeName();
      return;
    }
    if (kind == 3) {
      text("if ");
      snakeName();
      text(" is None: ");
      snakeName();
      text(" = ");
      number(m_rng.below(1000));
      return;
    }
    snakeName();
    text(" = ");
    snakeName();
    text(".");
    snakeName();
    text("(");
    text(pick(m_words.matrices));
    text(", ");
    number(m_rng.below(100));
    text(")");
  }

  // A line with "@" in it: mostly a matrix product, now and then an address.
  void pythonAtLine() {
    const std::uint32_t kind = m_rng.below(100);
    const std::string& a = pick(m_words.matrices);
    const std::string& b = pick(m_words.matrices);
    if (kind < 10) {
      buildAddress(false, false);
      text("notify(\"");
      text(m_address);
      text("\", ");
      snakeName();
      text(")");
    } else if (kind < 35) {
      text(a);
      text(" = ");
      text(b);
      text(" @ ");
      text(pick(m_words.matrices));
    } else if (kind < 55) {
      snakeName();
      text(" = ");
      text(a);
      text(" @ ");
      text(b);
      text(".T");
    } else if (kind < 70) {
      text("return np.linalg.inv(");
      text(a);
      text(") @ ");
      text(b);
    } else if (kind < 85) {
      text(a);
      text(" @= ");
      text(b);
    } else {
      text("scores = q @ k.transpose(-2, -1) / math.sqrt(");
      text(pick(m_words.matrices));
      text(".shape[-1])");
    }
  }

  void java() {
    const std::size_t end = m_out.size() + m_rng.between(1024, 6144);
    text("package com.");
    text(pick(m_words.english));
    text(".");
    text(pick(m_words.english));
    text(";\n\nimport java.util.List;\nimport java.util.Optional;\n\n/**\n * ");
    shortSentence();
    text(".\n");
    if (isAtDue()) {
      text(" *\n * @author ");
      nameAndAddress();
      text("\n");
      scheduleAt();
    }
    text(" */\npublic class ");
    capitalised(pick(m_words.english));
    capitalised(pick(m_words.english));
    text(" {\n");
    while (m_out.size() < end) javaMethod();
    text("}\n");
  }

  void javaMethod() {
    text("\n    /**\n     * ");
    shortSentence();
    text(".\n");
    if (isAtDue()) {
      text("     * ");
      text(pick(m_words.javadocTags));
      text(" ");
      camelName();
      text("\n");
      scheduleAt();
    }
    text("     */\n");
    if (isAtDue()) {
      text("    ");
      text(pick(m_words.javaAnnotations));
      text("\n");
      scheduleAt();
    }
    text("    public ");
    text(pick(m_words.javaTypes));
    text(" ");
    camelName();
    text("(");
    text(pick(m_words.javaTypes));
    text(" ");
    camelName();
    text(") {\n");
    const std::uint32_t lines = m_rng.between(2, 7);
    for (std::uint32_t i = 0; i < lines; ++i) {
      text("        ");
      if (isAtDue() && m_rng.percent(30)) {
        buildAddress(false, false);
        text("mailer.send(\"");
        text(m_address);
        text("\", ");
        camelName();
        text(");\n");
        scheduleAt();
        continue;
      }
      const std::uint32_t kind = m_rng.below(4);
      if (kind == 0) {
        text("log.debug(\"");
        text(pick(m_words.english));
        text(" ");
        text(pick(m_words.atWords));
        text(" {}\", ");
        camelName();
        text(");\n");
      } else if (kind == 1) {
        text("if (");
        camelName();
        text(" == null) {\n            return ");
        camelName();
        text(";\n        }\n");
      } else {
        text(pick(m_words.javaTypes));
        text(" ");
        camelName();
        text(" = ");
        camelName();
        text(".");
        camelName();
        text("(");
        camelName();
        text(");\n");
      }
    }
    text("        return ");
    camelName();
    text(";\n    }\n");
  }

  // Prose where about one word in four starts with "at", wrapped or not.
  void atProse() {
    const std::size_t end = m_out.size() + m_rng.between(1024, 6144);
    m_wrapAt = m_rng.percent(70) ? kWrapColumn : kNoWrap;
    m_column = 0;
    while (m_out.size() < end) atParagraph();
  }

  void atParagraph() {
    const std::uint32_t sentences = m_rng.between(2, 6);
    for (std::uint32_t i = 0; i < sentences; ++i) atSentence();
    newline();
    newline();
  }

  void atSentence() {
    if (isAtDue()) {
      atSentenceWithAt();
      scheduleAt();
      return;
    }
    const std::uint32_t length = m_rng.between(6, 18);
    for (std::uint32_t i = 0; i < length; ++i) {
      const std::uint32_t kind = m_rng.below(100);
      if (kind < 25) {
        word(pick(m_words.atWords), i == 0);
      } else if (kind < 30) {
        word(pick(m_words.englishAt), i == 0);
      } else {
        word(pick(m_words.english), i == 0);
      }
    }
    punctuation(m_rng.percent(85) ? "." : "?");
  }

  // A sentence with an "@": an address, a price, a mention or a place.
  void atSentenceWithAt() {
    const std::uint32_t kind = m_rng.below(100);
    if (kind < 35) {
      buildAddress(false);
      word(pick(m_words.englishContact), true);
      word(m_address);
      punctuation(pick(m_words.englishContactEnd));
    } else if (kind < 60) {
      word("We", true);
      word(pick(m_words.atWords));
      word(std::to_string(m_rng.between(2, 20)));
      word("licences");
      word("@");
      word(std::to_string(m_rng.between(5, 500)) + ".99");
      word("EUR");
      word("each.");
    } else if (kind < 80) {
      word("Thanks", true);
      word("@" + pick(m_words.firstNames));
      word("for");
      word("the");
      word(pick(m_words.atWords));
      punctuation(".");
    } else {
      word("Meet", true);
      word("@");
      word("the");
      word(pick(m_words.english));
      word("at");
      word(std::to_string(m_rng.between(1, 12)) + ".");
    }
  }

  // An RFC 5322 date such as "Tue, 14 May 2024 10:21:58 +0200".
  void mailDate() {
    text(m_words.weekdays[m_weekday]);
    text(", ");
    number(m_day);
    text(" ");
    text(m_words.months[m_month - 1]);
    text(" 2024 ");
    clockTime();
    text(" +0200");
  }

  void base64Run(std::size_t characters) {
    for (std::size_t i = 0; i < characters; ++i) m_out.push_back(kBase64Alphabet[m_rng.below(64)]);
  }

  // The headers of one message and a short body: every address field,
  // Received lines, a DKIM signature and a message id.
  void mail() {
    m_weekday = m_rng.below(static_cast<std::uint32_t>(m_words.weekdays.size()));
    m_month = m_rng.between(1, 12);
    m_day = m_rng.between(1, 28);
    m_millisecondOfDay = m_rng.below(kMillisecondsPerDay);
    const std::string& relay = pick(m_words.hosts);
    const std::string& origin = pick(m_words.hosts);

    buildAddress(false, false);
    const std::string recipient = m_address;
    const std::uint32_t hops = m_rng.between(1, 3);
    for (std::uint32_t i = 0; i < hops; ++i) {
      text("Received: from mail.");
      text(origin);
      text(".com (mail.");
      text(origin);
      text(".com [");
      ipAddress();
      text("])\n\tby mx");
      number(i + 1);
      text(".");
      text(relay);
      text(".de (Postfix) with ESMTPS id ");
      queueId(m_rng.next());
      text("\n\tfor <");
      text(recipient);
      text(">; ");
      mailDate();
      text("\n");
      advanceClock();
    }
    text("Authentication-Results: mx1.");
    text(relay);
    text(".de; dkim=pass header.d=");
    text(origin);
    text(".com header.i=@");
    text(origin);
    text(".com; spf=pass smtp.mailfrom=bounces@");
    text(origin);
    text(".com\n");
    text("DKIM-Signature: v=1; a=rsa-sha256; c=relaxed/relaxed; d=");
    text(origin);
    text(".com;\n\ts=selector");
    number(m_rng.between(1, 2));
    text("; t=17");
    number(m_rng.below(100000000), 8);
    text("; h=from:to:cc:subject:date:message-id;\n\tbh=");
    base64Run(43);
    text("=;\n\tb=");
    const std::uint32_t lines = m_rng.between(3, 5);
    for (std::uint32_t i = 0; i < lines; ++i) {
      if (i > 0) text("\n\t ");
      base64Run(64);
    }
    text("\nFrom: ");
    nameAndAddress();
    const std::string sender = m_address;
    text("\nTo: ");
    capitalised(pick(m_words.firstNames));
    text(" ");
    capitalised(pick(m_words.lastNames));
    text(" <");
    text(recipient);
    text(">\n");
    if (m_rng.percent(60)) {
      text("Cc: ");
      nameAndAddress();
      if (m_rng.percent(50)) {
        text(", ");
        buildAddress(false, false);
        text(m_address);
      }
      text("\n");
    }
    text("Subject: ");
    text(m_rng.percent(40) ? "Re: " : "");
    text(pick(m_words.atWords));
    text(" ");
    text(pick(m_words.english));
    text(" ");
    text(pick(m_words.english));
    text("\nDate: ");
    mailDate();
    text("\nMessage-ID: <2024");
    number(m_month, 2);
    number(m_day, 2);
    number(m_rng.below(1000000), 6);
    text(".");
    queueId(m_rng.next());
    text("@mail.");
    text(origin);
    text(".com>\nMIME-Version: 1.0\nContent-Type: text/plain; charset=windows-1252\n\n");
    m_wrapAt = kWrapColumn;
    m_column = 0;
    const std::uint32_t paragraphs = m_rng.between(1, 3);
    for (std::uint32_t i = 0; i < paragraphs; ++i) atParagraph();
    if (m_rng.percent(50)) {
      // The quote line of a reply, with a blank "at" and the sender's address.
      text("On ");
      text(m_words.weekdays[m_weekday]);
      text(", ");
      number(m_day);
      text(" ");
      text(m_words.months[m_month - 1]);
      text(" 2024 at ");
      clockTime();
      text(", <");
      text(sender);
      text("> wrote:\n> ");
      shortSentence();
      text(".\n");
    }
    scheduleAt();
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
  std::size_t m_nextAt = 0;
  std::uint32_t m_weekday = 0;
};

constexpr std::uint64_t kDenseSeedSalt = 0x64656E7365u;  // "dense"

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
  generateCorpus(bytes, seed, CorpusKind::Mixed, out);
}

std::string generateCorpus(std::size_t bytes, std::uint64_t seed, CorpusKind kind) {
  std::string out;
  generateCorpus(bytes, seed, kind, out);
  return out;
}

void generateCorpus(std::size_t bytes, std::uint64_t seed, CorpusKind kind, std::string& out) {
  static const Lexicon lexicon;
  out.clear();
  // A section overshoots the target by at most a few KB before the cut.
  out.reserve(bytes + 64 * 1024);
  if (kind == CorpusKind::Dense) {
    // Another seed than the mixed kind's, so the two kinds share no draws.
    CorpusWriter(lexicon, mix(seed ^ kDenseSeedSalt), out).writeDense(bytes);
  } else {
    CorpusWriter(lexicon, mix(seed), out).write(bytes);
  }
}

std::optional<CorpusKind> corpusKindOf(std::string_view name) noexcept {
  if (name == "mixed") return CorpusKind::Mixed;
  if (name == "dense") return CorpusKind::Dense;
  return std::nullopt;
}

std::uint64_t chunkSeed(std::uint64_t seed, std::uint64_t index) noexcept {
  return mix(mix(seed) ^ (index * 0xD1B54A32D192ED03u + 1));
}

}  // namespace mailsift::bench
