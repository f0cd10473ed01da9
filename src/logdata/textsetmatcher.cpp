#include "textsetmatcher.h"

#include <algorithm>

#ifdef KESTRUNE_USE_HYPERSCAN
#include <hs.h>

#include <atomic>
#include <string>

namespace {

// Up to this many needles are looked for one by one: a vector scan for one needle beats one
// automaton pass while the needles are this few.
constexpr qsizetype fewNeedles = 4;

bool isAscii(QStringView text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
}

// Appends the text's bytes as UTF-8 would, but every UTF-16 code unit on its own, surrogates
// too. ASCII stays as it is, and a needle occurs in a text exactly where its bytes occur in the
// text's bytes: no unit's bytes begin inside another's.
void appendUnitBytes(QStringView text, std::string &bytes)
{
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        if (unit < 0x80) {
            bytes.push_back(char(unit));
        } else if (unit < 0x800) {
            bytes.push_back(char(0xc0 | (unit >> 6)));
            bytes.push_back(char(0x80 | (unit & 0x3f)));
        } else {
            bytes.push_back(char(0xe0 | (unit >> 12)));
            bytes.push_back(char(0x80 | ((unit >> 6) & 0x3f)));
            bytes.push_back(char(0x80 | (unit & 0x3f)));
        }
    }
}

// Where one scan of a text stands: every needle is reported once at most.
struct ScanState
{
    size_t remaining = 0; // needles not yet found, for all-of
    bool done = false;
};

int onAnyMatch(unsigned, unsigned long long, unsigned long long, unsigned, void *context)
{
    static_cast<ScanState *>(context)->done = true;
    return 1;
}

int onAllMatch(unsigned, unsigned long long, unsigned long long, unsigned, void *context)
{
    auto &state = *static_cast<ScanState *>(context);
    state.done = --state.remaining == 0;
    return state.done ? 1 : 0;
}

// A database reporting each literal once per scan, with its index as id, or null when
// Hyperscan cannot compile them.
hs_database_t *compileLiterals(const std::vector<std::string> &literals)
{
    std::vector<const char *> data;
    std::vector<size_t> lengths;
    std::vector<unsigned> ids;
    for (const std::string &literal : literals) {
        data.push_back(literal.data());
        lengths.push_back(literal.size());
        ids.push_back(unsigned(ids.size()));
    }
    const std::vector<unsigned> flags(literals.size(), HS_FLAG_SINGLEMATCH);
    hs_database_t *database = nullptr;
    hs_compile_error_t *error = nullptr;
    if (hs_compile_lit_multi(data.data(), flags.data(), ids.data(), lengths.data(),
            unsigned(literals.size()), HS_MODE_BLOCK, nullptr, &database, &error)
        != HS_SUCCESS) {
        hs_free_compile_error(error);
        return nullptr;
    }
    return database;
}

} // namespace

// The needles compiled by Hyperscan into one database, as unit bytes (appendUnitBytes).
class TextSetMatcher::Automaton
{
public:
    // Null where this processor cannot run Hyperscan or it cannot compile the needles.
    static std::unique_ptr<Automaton> build(const QStringList &distinctNeedles)
    {
        if (hs_valid_platform() != HS_SUCCESS)
            return nullptr;
        auto automaton = std::unique_ptr<Automaton>(new Automaton);
        std::vector<std::string> literals;
        for (const QString &needle : distinctNeedles) {
            if (needle.isEmpty()) {
                automaton->hasEmpty = true;
                continue;
            }
            automaton->allAscii = automaton->allAscii && isAscii(needle);
            appendUnitBytes(needle, literals.emplace_back());
        }
        automaton->needleCount = literals.size();
        if (!literals.empty()) {
            automaton->database = compileLiterals(literals);
            if (!automaton->database)
                return nullptr;
        }
        return automaton;
    }

    ~Automaton() { hs_free_database(database); }
    Automaton(const Automaton &) = delete;
    Automaton &operator=(const Automaton &) = delete;

    bool occurIn(std::string_view text, bool all) const
    {
        return !(all && !allAscii) && scan(text, all);
    }

    // Few texts hold other characters than ASCII: each is turned into unit bytes on its own.
    bool occurIn(QStringView text, bool all) const
    {
        thread_local std::string bytes;
        bytes.clear();
        appendUnitBytes(text, bytes);
        return scan(bytes, all);
    }

private:
    Automaton() = default;

    bool scan(std::string_view bytes, bool all) const
    {
        if (all ? needleCount == 0 : hasEmpty)
            return true;
        if (!database || bytes.empty())
            return false;
        ScanState state {needleCount};
        hs_scan(database, bytes.data(), unsigned(bytes.size()), 0, threadScratch(),
            all ? onAllMatch : onAnyMatch, &state);
        return state.done;
    }

    // The calling thread's scratch space, grown to serve this automaton on the thread's first
    // scan with it; freed when the thread ends.
    hs_scratch_t *threadScratch() const
    {
        struct Scratch
        {
            hs_scratch_t *space = nullptr;
            quint64 servedSerial = 0;
            ~Scratch() { hs_free_scratch(space); }
        };
        thread_local Scratch scratch;
        if (scratch.servedSerial != serial) {
            if (hs_alloc_scratch(database, &scratch.space) != HS_SUCCESS)
                qBadAlloc();
            scratch.servedSerial = serial;
        }
        return scratch.space;
    }

    static inline std::atomic<quint64> nextSerial {1};

    hs_database_t *database = nullptr; // null when every needle is empty
    size_t needleCount = 0; // distinct non-empty needles
    bool hasEmpty = false;
    bool allAscii = true;
    // Tells this automaton from every other one, including one later built at its address.
    const quint64 serial = nextSerial++;
};
#else
// Without Hyperscan every needle is looked for on its own.
class TextSetMatcher::Automaton
{
};
#endif

TextSetMatcher::TextSetMatcher(const QStringList &needles)
{
    QStringList distinct = needles;
    distinct.removeDuplicates();
#ifdef KESTRUNE_USE_HYPERSCAN
    if (distinct.size() > fewNeedles)
        automaton = Automaton::build(distinct);
    if (automaton) {
        oneByOne.emplace_back(*std::max_element(distinct.cbegin(), distinct.cend(),
            [](const QString &a, const QString &b) { return a.size() < b.size(); }));
        return;
    }
#endif
    for (const QString &needle : std::as_const(distinct))
        oneByOne.emplace_back(needle);
}

TextSetMatcher::~TextSetMatcher() = default;

bool TextSetMatcher::anyOccursIn(std::string_view asciiText) const
{
    return occurIn(asciiText, false);
}

bool TextSetMatcher::anyOccursIn(QStringView text) const
{
    return occurIn(text, false);
}

bool TextSetMatcher::allOccurIn(std::string_view asciiText) const
{
    return occurIn(asciiText, true);
}

bool TextSetMatcher::allOccurIn(QStringView text) const
{
    return occurIn(text, true);
}

template<typename Text>
bool TextSetMatcher::occurIn(Text text, bool all) const
{
#ifdef KESTRUNE_USE_HYPERSCAN
    // Most texts lack a long needle, which one vector scan tells before the automaton runs.
    if (automaton)
        return (!all || oneByOne.front().occursIn(text)) && automaton->occurIn(text, all);
#endif
    const auto occurs = [text](const TextMatcher &needle) {
        return needle.occursIn(text);
    };
    return all ? std::all_of(oneByOne.cbegin(), oneByOne.cend(), occurs)
               : std::any_of(oneByOne.cbegin(), oneByOne.cend(), occurs);
}
