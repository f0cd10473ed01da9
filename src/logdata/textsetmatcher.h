#pragma once

#include "textmatcher.h"

#include <QStringList>
#include <QStringView>

#include <algorithm>
#include <memory>
#include <string_view>
#include <vector>

// Many texts looked for at once in search texts, exactly code unit by code unit as
// QString::contains compares: whether any of them occurs, or whether all do. With Hyperscan
// built in, a search text is read about once however many texts there are. The empty text
// occurs in every text; a text given twice counts once. Safe to use from several threads.
class TextSetMatcher
{
public:
    explicit TextSetMatcher(const QStringList &needles);
    ~TextSetMatcher();
    TextSetMatcher(const TextSetMatcher &) = delete;
    TextSetMatcher &operator=(const TextSetMatcher &) = delete;

    // Whether any needle occurs in a text in UTF-8, or in UTF-16; false for no needles.
    [[nodiscard]] bool anyOccursIn(std::string_view utf8Text) const
    {
        return occurIn(utf8Text, false);
    }
    [[nodiscard]] bool anyOccursIn(QStringView text) const { return oneByOneOccurIn(text, false); }
    // The same for a row of the store. Cheapest when each thread asks for rows in ascending
    // order: the rows after the one asked for are answered in the same pass and kept for the
    // thread, so the store must not change while this matcher is used with it.
    [[nodiscard]] bool anyOccursIn(const SearchTextStore &store, size_t row) const
    {
        if (automaton)
            return anyOccursInRowsFrom(store, row);
        return store.visit(row, [this](auto text) { return anyOccursIn(text); });
    }
    // Whether every needle occurs; true for no needles. The store holds few texts in UTF-16
    // (those with an unpaired surrogate): they are searched needle by needle.
    [[nodiscard]] bool allOccurIn(std::string_view utf8Text) const
    {
        return occurIn(utf8Text, true);
    }
    [[nodiscard]] bool allOccurIn(QStringView text) const { return oneByOneOccurIn(text, true); }

private:
    class Automaton;

    // Up to this many needles are looked for one by one in a single text: a vector scan for
    // one needle beats starting the automaton while the needles are this few. Rows of a store
    // are scanned many at once, for which the automaton is faster from two needles on.
    static constexpr size_t fewNeedles = 4;

    // Inline, as is the store's row: with few needles a text costs a vector scan per needle,
    // and a call would add to it.
    [[nodiscard]] bool occurIn(std::string_view text, bool all) const
    {
        if (automaton && oneByOne.size() > fewNeedles)
            return automatonOccursIn(text, all);
        return oneByOneOccurIn(text, all);
    }

    template<typename Text>
    [[nodiscard]] bool oneByOneOccurIn(Text text, bool all) const
    {
        const auto occurs = [text](const TextMatcher &needle) {
            return needle.occursIn(text);
        };
        return all ? std::all_of(oneByOne.cbegin(), oneByOne.cend(), occurs)
                   : std::any_of(oneByOne.cbegin(), oneByOne.cend(), occurs);
    }

    [[nodiscard]] bool automatonOccursIn(std::string_view text, bool all) const;
    [[nodiscard]] bool anyOccursInRowsFrom(const SearchTextStore &store, size_t row) const;

    // Each distinct needle on its own: few needles are found faster one by one in a single
    // text, and all-of looks for the longest needle first.
    std::vector<TextMatcher> oneByOne;
    // All needles at once, for two needles or more where Hyperscan is built in.
    std::unique_ptr<Automaton> automaton;
};
