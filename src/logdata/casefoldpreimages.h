#pragma once

#include <string>
#include <vector>

// Which code points QString::toLower turns into a given lower-case text: the other side of
// lower-casing, for looking for a lower-cased text in bytes that are not lower-cased. Read from
// QString::toLower over every code point once, on first use; safe on several threads.
class CaseFoldPreimages
{
public:
    // A code point whose lower case is several code points, such as U+0130 (lower case "i"
    // and U+0307).
    struct Expansion
    {
        char32_t codePoint = 0;
        std::u32string lower;
    };

    [[nodiscard]] static const CaseFoldPreimages &instance();

    // The code points other than x whose lower case is x alone, ascending.
    [[nodiscard]] const std::vector<char32_t> &singleOf(char32_t x) const;
    // Every code point whose lower case is more than one code point.
    [[nodiscard]] const std::vector<Expansion> &expansions() const { return expanding; }

private:
    CaseFoldPreimages();

    // By lower case, the code points that lower to it alone; sorted by lower case.
    std::vector<std::pair<char32_t, std::vector<char32_t>>> single;
    std::vector<Expansion> expanding;
};
