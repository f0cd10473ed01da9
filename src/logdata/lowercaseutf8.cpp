#include "lowercaseutf8.h"

#include <QByteArray>
#include <QString>

#include <algorithm>

char *LowerCaseUtf8::write(QStringView text, char *out)
{
    const qsizetype size = text.size();
    for (qsizetype at = 0; at < size; ++at) {
        const char16_t unit = text[at].unicode();
        if (unit < 0x80) {
            *out++ = char(unit + (char16_t(unit - u'A') < 26 ? 0x20 : 0));
            continue;
        }
        char32_t codePoint = unit;
        qsizetype units = 1;
        if (QChar::isSurrogate(unit)) {
            if (!QChar::isHighSurrogate(unit) || at + 1 == size
                || !QChar::isLowSurrogate(text[at + 1].unicode()))
                return nullptr;
            codePoint = QChar::surrogateToUcs4(unit, text[++at].unicode());
            units = 2;
        }
        const Entry &entry = entryFor(codePoint);
        if (entry.size < 0 || entry.size > units * maxBytesPerUnit)
            return nullptr;
        out = std::copy_n(entry.bytes.data(), entry.size, out);
    }
    return out;
}

const LowerCaseUtf8::Entry &LowerCaseUtf8::entryFor(char32_t codePoint)
{
    Entry &entry = entries[codePoint % entries.size()];
    if (entry.codePoint != codePoint) {
        const QByteArray lower = QString::fromUcs4(&codePoint, 1).toLower().toUtf8();
        const bool fits = lower.size() <= qsizetype(entry.bytes.size());
        entry.size = fits ? lower.size() : -1;
        std::copy_n(lower.constData(), fits ? lower.size() : 0, entry.bytes.data());
        entry.codePoint = codePoint;
    }
    return entry;
}
