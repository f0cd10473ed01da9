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
    // A text in UTF-8, as the store keeps it; the needle is compared with the text's UTF-16.
    [[nodiscard]] bool occursIn(std::string_view utf8Text) const;
    [[nodiscard]] bool occursIn(const SearchTextStore &texts, size_t row) const
    {
        return texts.visit(row, [this](auto text) { return occursIn(text); });
    }

private:
    QString needle;
    // The needle's places compared first, in code units and in its UTF-8 bytes.
    qsizetype firstProbe = 0;
    qsizetype secondProbe = 0;
    qsizetype firstByteProbe = 0;
    qsizetype secondByteProbe = 0;
    // The needle in UTF-8, for texts held so, unless it has an unpaired surrogate.
    std::string utf8Needle;
    bool needleHasUtf8 = true;
};
