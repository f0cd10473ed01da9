#pragma once

#include "searchtextstore.h"

#include <QString>
#include <QStringView>

#include <string>
#include <string_view>

// One text to look for in many search texts, exactly code unit by code unit, as
// QString::contains compares. The empty text occurs in every text.
class TextMatcher
{
public:
    explicit TextMatcher(QString needle);

    [[nodiscard]] bool occursIn(QStringView text) const;
    // An ASCII text; a needle with any other character never occurs in one.
    [[nodiscard]] bool occursIn(std::string_view asciiText) const;
    [[nodiscard]] bool occursIn(const SearchTextStore &texts, size_t row) const
    {
        return texts.visit(row, [this](auto text) { return occursIn(text); });
    }

private:
    QString needle;
    // The needle's places compared first.
    qsizetype firstProbe = 0;
    qsizetype secondProbe = 0;
    // The needle as bytes; empty unless the needle is ASCII.
    std::string asciiNeedle;
    bool needleIsAscii = true;
};
