#include "casefoldpreimages.h"

#include <QList>
#include <QString>

#include <algorithm>

namespace {

constexpr char32_t lastCodePoint = 0x10FFFF;

bool isSurrogate(char32_t codePoint)
{
    return codePoint >= 0xD800 && codePoint <= 0xDFFF;
}

} // namespace

const CaseFoldPreimages &CaseFoldPreimages::instance()
{
    static const CaseFoldPreimages preimages;
    return preimages;
}

CaseFoldPreimages::CaseFoldPreimages()
{
    std::vector<std::pair<char32_t, char32_t>> pairs; // lower case, code point
    for (char32_t codePoint = 0; codePoint <= lastCodePoint; ++codePoint) {
        // Only a code point with a case mapping of its own, or an upper or title case one,
        // can change: a table look-up rules out the million others before a string is made.
        if (isSurrogate(codePoint)
            || (QChar::toLower(codePoint) == codePoint && !QChar::isUpper(codePoint)
                && !QChar::isTitleCase(codePoint)))
            continue;
        const QString text = QString::fromUcs4(&codePoint, 1);
        const QString lower = text.toLower();
        if (lower == text)
            continue;
        const QList<uint> lowerCodePoints = lower.toUcs4();
        if (lowerCodePoints.size() == 1)
            pairs.emplace_back(char32_t(lowerCodePoints.front()), codePoint);
        else
            expanding.push_back({codePoint, {lowerCodePoints.cbegin(), lowerCodePoints.cend()}});
    }
    std::sort(pairs.begin(), pairs.end());
    for (const auto &[lower, codePoint] : pairs) {
        if (single.empty() || single.back().first != lower)
            single.emplace_back(lower, std::vector<char32_t>());
        single.back().second.push_back(codePoint);
    }
}

const std::vector<char32_t> &CaseFoldPreimages::singleOf(char32_t x) const
{
    static const std::vector<char32_t> none;
    const auto found = std::lower_bound(single.cbegin(), single.cend(), x,
        [](const auto &entry, char32_t lower) { return entry.first < lower; });
    return found != single.cend() && found->first == x ? found->second : none;
}
