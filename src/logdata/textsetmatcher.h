#pragma once

#include "textmatcher.h"

#include <QStringList>
#include <QStringView>

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

    // Whether any needle occurs; false for no needles.
    [[nodiscard]] bool anyOccursIn(std::string_view asciiText) const;
    [[nodiscard]] bool anyOccursIn(QStringView text) const;
    // The same for a row of the store. Cheapest when each thread asks for rows in ascending
    // order: the rows after the one asked for are answered in the same pass and kept for the
    // thread, so the store must not change while this matcher is used with it.
    [[nodiscard]] bool anyOccursIn(const SearchTextStore &store, size_t row) const;
    // Whether every needle occurs; true for no needles.
    [[nodiscard]] bool allOccurIn(std::string_view asciiText) const;
    [[nodiscard]] bool allOccurIn(QStringView text) const;

private:
    class Automaton;

    template<typename Text>
    [[nodiscard]] bool occurIn(Text text, bool all) const;

    // Each distinct needle on its own: few needles are found faster one by one in a single
    // text, and all-of looks for the longest needle first.
    std::vector<TextMatcher> oneByOne;
    // All needles at once, for two needles or more where Hyperscan is built in.
    std::unique_ptr<Automaton> automaton;
};
