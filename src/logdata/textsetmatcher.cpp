#include "textsetmatcher.h"

#include <algorithm>

#ifdef KESTRUNE_USE_HYPERSCAN
#include "hyperscanscratch.h"

#include <mutex>
#include <string>
#include <type_traits>

namespace {

// Where one scan of a text stands.
struct ScanState
{
    size_t remaining = 0; // needles not yet found, for all-of
    quint64 *seenIn = nullptr; // by needle, the last scan that found it, for all-of
    quint64 scan = 0;
    bool done = false;
};

int onAnyMatch(unsigned, unsigned long long, unsigned long long, unsigned, void *context)
{
    static_cast<ScanState *>(context)->done = true;
    return 1;
}

int onAllMatch(unsigned id, unsigned long long, unsigned long long, unsigned, void *context)
{
    auto &state = *static_cast<ScanState *>(context);
    if (state.seenIn[id] == state.scan)
        return 0;
    state.seenIn[id] = state.scan;
    state.done = --state.remaining == 0;
    return state.done ? 1 : 0;
}

// Where one scan of many texts laid end to end stands: a match counts for the text that holds
// its last byte if it starts in that text too.
struct BatchState
{
    const std::vector<size_t> *ends = nullptr; // end of each text's bytes, ascending
    const std::vector<size_t> *lengths = nullptr; // bytes of each needle, by id
    std::vector<char> *found = nullptr; // by text
    size_t budget = 0; // matches taken before the scan gives up
};

int onBatchMatch(unsigned id, unsigned long long, unsigned long long to, unsigned, void *context)
{
    auto &state = *static_cast<BatchState *>(context);
    const auto text = size_t(
        std::upper_bound(state.ends->cbegin(), state.ends->cend(), to - 1) - state.ends->cbegin());
    const size_t start = text == 0 ? 0 : (*state.ends)[text - 1];
    if (to - (*state.lengths)[id] >= start)
        (*state.found)[text] = 1;
    return --state.budget == 0 ? 1 : 0;
}

// A database reporting every match of each literal, with its index as id, or null when
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
    const std::vector<unsigned> flags(literals.size(), 0);
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

// The needles compiled by Hyperscan into one database, in UTF-8 as the store keeps its texts:
// a needle's UTF-8 bytes occur in a text's UTF-8 bytes exactly where the needle occurs in the
// text. Needles with an unpaired surrogate, which UTF-8 cannot carry, never come here.
class TextSetMatcher::Automaton
{
public:
    // Null where this processor cannot run Hyperscan.
    static std::unique_ptr<Automaton> build(const QStringList &distinctNeedles)
    {
        if (hs_valid_platform() != HS_SUCCESS)
            return nullptr;
        auto automaton = std::unique_ptr<Automaton>(new Automaton);
        for (qsizetype at = 0; at < distinctNeedles.size(); ++at) {
            const QString &needle = distinctNeedles[at];
            if (needle.size() > distinctNeedles[automaton->longestNeedle].size())
                automaton->longestNeedle = size_t(at);
            if (needle.isEmpty()) {
                automaton->hasEmpty = true;
                continue;
            }
            automaton->literals.push_back(needle.toStdString());
            automaton->lengths.push_back(automaton->literals.back().size());
        }
        automaton->needleCount = automaton->literals.size();
        return automaton;
    }

    // Whether Hyperscan compiled the needles. Compiles them on the first call, so that an
    // all-of whose longest needle occurs nowhere never waits for it.
    bool compiled() const
    {
        std::call_once(compileOnce, [this] {
            if (!literals.empty())
                database = compileLiterals(literals);
            literals = {};
        });
        return database;
    }

    // Index of the longest needle in the list given to build.
    size_t longestNeedle = 0;

    ~Automaton() { hs_free_database(database); }
    Automaton(const Automaton &) = delete;
    Automaton &operator=(const Automaton &) = delete;

    bool occurIn(std::string_view utf8Text, bool all) const { return scan(utf8Text, all); }

    // The owner answers single texts: those held as UTF-16, and all in a batch where matches
    // flood in.
    bool anyOccursIn(const SearchTextStore &store, size_t row, const TextSetMatcher &owner) const
    {
        thread_local RowBatch batch;
        if (batch.serial != serial || batch.store != &store || row < batch.first
            || row - batch.first >= batch.found.size())
            answerRowsFrom(store, row, batch, owner);
        return batch.found[row - batch.first];
    }

private:
    // Rows answered by one scan at most: enough that starting a scan costs little beside it.
    static constexpr size_t batchRows = 64;

    // The rows of one store that a thread had answered last, and room to answer the next.
    struct RowBatch
    {
        quint64 serial = 0;
        const SearchTextStore *store = nullptr;
        size_t first = 0;
        std::vector<char> found; // whether any needle occurs, by row from `first`
        std::vector<size_t> ends; // end of each UTF-8 row in the scanned bytes
        std::vector<size_t> utf8Rows; // each UTF-8 row, from `first`
        std::vector<char> utf8Found; // by UTF-8 row
    };

    Automaton() = default;

    // Answers any-of for rows from `first` on: the rows held as UTF-16 one by one, and the
    // UTF-8 rows whose bytes follow each other in the store, as they mostly do, in one scan.
    void answerRowsFrom(const SearchTextStore &store, size_t first, RowBatch &batch,
        const TextSetMatcher &owner) const
    {
        batch.serial = serial;
        batch.store = &store;
        batch.first = first;
        batch.found.assign(std::min(batchRows, store.size() - first), hasEmpty ? 1 : 0);
        if (hasEmpty || !database)
            return;
        batch.ends.clear();
        batch.utf8Rows.clear();
        const char *bytes = nullptr;
        const auto follows = [&](size_t at) {
            return store.visit(first + at, [&](auto text) {
                if constexpr (std::is_same_v<decltype(text), std::string_view>) {
                    if (text.empty())
                        return true;
                    if (!bytes)
                        bytes = text.data();
                    else if (text.data() != bytes + batch.ends.back())
                        return false;
                    batch.ends.push_back(size_t(text.data() + text.size() - bytes));
                    batch.utf8Rows.push_back(at);
                } else {
                    batch.found[at] = owner.anyOccursIn(text);
                }
                return true;
            });
        };
        size_t count = 0;
        while (count < batch.found.size() && follows(count))
            ++count;
        batch.found.resize(count);
        if (!batch.utf8Rows.empty())
            scanRows(bytes, batch, owner);
    }

    // Scans the batch's UTF-8 rows at once; where matches flood in, as short common needles
    // make them, each row is looked at on its own and stops at its first match.
    void scanRows(const char *bytes, RowBatch &batch, const TextSetMatcher &owner) const
    {
        batch.utf8Found.assign(batch.utf8Rows.size(), 0);
        BatchState state {&batch.ends, &lengths, &batch.utf8Found, 2 * batch.found.size() + 16};
        const bool flooded
            = hs_scan(database, bytes, unsigned(batch.ends.back()), 0,
                  HyperscanScratch::forThread(database, serial), onBatchMatch, &state)
            == HS_SCAN_TERMINATED;
        for (size_t text = 0; text < batch.utf8Rows.size(); ++text) {
            if (flooded && !batch.utf8Found[text]) {
                const size_t start = text == 0 ? 0 : batch.ends[text - 1];
                batch.utf8Found[text]
                    = owner.anyOccursIn(std::string_view(bytes + start, batch.ends[text] - start));
            }
            batch.found[batch.utf8Rows[text]] = batch.utf8Found[text];
        }
    }

    bool scan(std::string_view bytes, bool all) const
    {
        if (all ? needleCount == 0 : hasEmpty)
            return true;
        if (!database || bytes.empty())
            return false;
        ScanState state {needleCount};
        if (all) {
            // Scans count up, so that a needle seen by an earlier scan needs no clearing.
            thread_local std::vector<quint64> seenIn;
            thread_local quint64 scans = 0;
            seenIn.resize(std::max(seenIn.size(), needleCount));
            state.seenIn = seenIn.data();
            state.scan = ++scans;
        }
        hs_scan(database, bytes.data(), unsigned(bytes.size()), 0,
            HyperscanScratch::forThread(database, serial), all ? onAllMatch : onAnyMatch, &state);
        return state.done;
    }

    mutable std::once_flag compileOnce;
    mutable std::vector<std::string> literals; // the needles' bytes, until compiled
    mutable hs_database_t *database = nullptr; // null until compiled or where that failed
    size_t needleCount = 0; // distinct non-empty needles
    std::vector<size_t> lengths; // bytes of each needle, by id
    bool hasEmpty = false;
    // Tells this automaton from every other one, including one later built at its address.
    const quint64 serial = HyperscanScratch::newSerial();
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
    for (const QString &needle : std::as_const(distinct))
        oneByOne.emplace_back(needle);
#ifdef KESTRUNE_USE_HYPERSCAN
    const bool allInUtf8 = std::all_of(distinct.cbegin(), distinct.cend(),
        [](const QString &needle) { return needle.isValidUtf16(); });
    if (distinct.size() > 1 && allInUtf8)
        automaton = Automaton::build(distinct);
#endif
}

TextSetMatcher::~TextSetMatcher() = default;

// Where Hyperscan could not compile the needles, they are looked for one by one after all.
bool TextSetMatcher::anyOccursInRowsFrom(const SearchTextStore &store, size_t row) const
{
#ifdef KESTRUNE_USE_HYPERSCAN
    if (automaton->compiled())
        return automaton->anyOccursIn(store, row, *this);
#endif
    return store.visit(row, [this](auto text) { return anyOccursIn(text); });
}

bool TextSetMatcher::automatonOccursIn(std::string_view text, bool all) const
{
#ifdef KESTRUNE_USE_HYPERSCAN
    // Most texts lack a long needle, which one vector scan tells before the automaton runs.
    if (all && !oneByOne[automaton->longestNeedle].occursIn(text))
        return false;
    if (automaton->compiled())
        return automaton->occurIn(text, all);
#endif
    return oneByOneOccurIn(text, all);
}
