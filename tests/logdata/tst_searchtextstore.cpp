#include "lowercaseutf8.h"
#include "searchtextstore.h"
#include "textmatcher.h"

#include <QRandomGenerator>
#include <QTest>

#include <string>

class TestSearchTextStore : public QObject
{
    Q_OBJECT

private slots:
    void lowerCaseAgreesWithQString();
    void matcherAgreesWithQString();
    void matcherFindsEveryPositionAroundVectorWidths();
    void storeKeepsEveryTextAcrossBlocks();
    void storeMatchesLikeQString();
};

namespace {

using Record = QarnLogParser::QarnLog;

QString randomText(QRandomGenerator &random, const QString &alphabet, int length)
{
    QString text;
    for (int i = 0; i < length; ++i)
        text.append(alphabet.at(int(random.bounded(alphabet.size()))));
    return text;
}

std::string bytesOf(const QString &ascii)
{
    return ascii.toLatin1().toStdString();
}

// Mostly ASCII records, with a record holding other characters at each block edge and in
// every field, and dates that are kept as they are.
std::vector<Record> mixedRecords(size_t count)
{
    std::vector<Record> records;
    records.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        Record record {"2023/FEB/28 10:00:00.000", "Info", "T" + QString::number(i % 7), "Net",
            "Main.CPP", "1", "Message " + QString::number(i), int(i)};
        switch (i % 65536) {
        case 0:
            record.message = "Größe " + QString::number(i);
            break;
        case 65535:
            record.threadID = "İd";
            break;
        case 17:
            record.dateTime = "2023/Mär/28";
            break;
        case 33:
            // Lower-casing turns an unpaired surrogate into U+FFFD; the date keeps it.
            record.dateTime = "2023/02/28 " + QString(QChar(0xd800)) + "x";
            break;
        case 34:
            record.message = "📷 Camera 磁盘";
            break;
        default:
            break;
        }
        records.push_back(record);
    }
    return records;
}

} // namespace

void TestSearchTextStore::lowerCaseAgreesWithQString()
{
    LowerCaseUtf8 lowerCase;
    const auto written = [&](const QString &text) {
        QByteArray out(text.size() * LowerCaseUtf8::maxBytesPerUnit, '\0');
        const char *end = lowerCase.write(text, out.data());
        return end ? out.left(end - out.constData()) : QByteArray("(none)");
    };
    const auto writtenFromUtf8 = [&](const QByteArray &utf8) {
        QByteArray out(utf8.size() * qsizetype(LowerCaseUtf8::maxGrowth), '\0');
        const char *end
            = lowerCase.write(std::string_view(utf8.constData(), size_t(utf8.size())), out.data());
        return end ? out.left(end - out.constData()) : QByteArray("(none)");
    };
    // Every code point, each twice: once when first met, once from what was remembered
    // (a byte-order mark too, which QString::fromUcs4 would drop).
    for (char32_t codePoint = 0; codePoint <= 0x10ffff; ++codePoint) {
        if (QChar::isSurrogate(codePoint))
            continue;
        const QString text = QStringView(QChar::fromUcs4(codePoint)).toString().repeated(2);
        const QByteArray lower = text.toLower().toUtf8();
        if (written(text) != lower || writtenFromUtf8(text.toUtf8()) != lower)
            QFAIL(qPrintable(QString::number(codePoint, 16)));
    }
    // Bytes that are not UTF-8: stray, overlong, surrogate, past U+10FFFF, cut short.
    for (const char *bytes : {"a\x80", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82"})
        QCOMPARE(writtenFromUtf8(bytes), "(none)");
    QRandomGenerator random(5);
    const QStringList alphabet = {
        "a", "Z", " ", "İ", "I", "Σ", "σ", "ς", "Ä", "磁", "📷", QStringLiteral("\U0001E900"), "ß"};
    for (int round = 0; round < 2000; ++round) {
        QString text;
        for (int length = int(random.bounded(30)); length > 0; --length)
            text += alphabet.at(int(random.bounded(alphabet.size())));
        QCOMPARE(written(text), text.toLower().toUtf8());
    }
    for (const QString &unpaired : {QString(QChar(0xd800)) + "A", "A" + QString(QChar(0xdc00))})
        QCOMPARE(written(unpaired), "(none)");
}

void TestSearchTextStore::matcherAgreesWithQString()
{
    QRandomGenerator random(11);
    const QString wideAlphabet = QStringLiteral("ab\u00e9\u4e2d");
    const QString asciiAlphabet = QStringLiteral("abz");
    for (int round = 0; round < 4000; ++round) {
        const QString needle = randomText(random, wideAlphabet, int(random.bounded(6)));
        const QString text = randomText(random, wideAlphabet, int(random.bounded(40)));
        QCOMPARE(TextMatcher(needle).occursIn(QStringView(text)), text.contains(needle));

        // Longer texts of common and rare characters, and needles cut from them or nearly.
        const QString words = randomText(random, QStringLiteral("e t1q.\u00e9"), 100);
        QString cut = words.mid(random.bounded(100), random.bounded(1, 20));
        const std::string wordBytes = bytesOf(QString(words).replace(u'\u00e9', u'x'));
        QVERIFY(TextMatcher(cut).occursIn(QStringView(words)));
        QCOMPARE(TextMatcher(QString(cut).replace(u'\u00e9', u'x')).occursIn(wordBytes), true);
        cut[random.bounded(cut.size())] = QLatin1Char('e');
        QCOMPARE(TextMatcher(cut).occursIn(QStringView(words)), words.contains(cut));

        // The byte form of an ASCII text answers as the text itself does.
        const QString ascii = randomText(random, asciiAlphabet, int(random.bounded(60)));
        QCOMPARE(
            TextMatcher(needle).occursIn(std::string_view(bytesOf(ascii))), ascii.contains(needle));
        const QString asciiNeedle = randomText(random, asciiAlphabet, int(random.bounded(5)));
        QCOMPARE(TextMatcher(asciiNeedle).occursIn(std::string_view(bytesOf(ascii))),
            ascii.contains(asciiNeedle));
    }
}

void TestSearchTextStore::matcherFindsEveryPositionAroundVectorWidths()
{
    for (int length = 1; length < 36; ++length) {
        const QString needle = QString(length, QLatin1Char('b')).replace(0, 1, "a");
        for (int position = 0; position + length <= 70; ++position) {
            QString text(70, QLatin1Char('b'));
            text.replace(position, length, needle);
            const std::string bytes = bytesOf(text);
            QVERIFY(TextMatcher(needle).occursIn(QStringView(text)));
            QVERIFY(TextMatcher(needle).occursIn(std::string_view(bytes)));
            // Only the end of the text is missing, so a read past it would be caught.
            QCOMPARE(TextMatcher(needle).occursIn(std::string_view(bytes).substr(0, 69)),
                position + length <= 69);
            QVERIFY(!TextMatcher(needle + "c").occursIn(QStringView(text)));
            QVERIFY(!TextMatcher(needle + "c").occursIn(std::string_view(bytes)));
        }
    }
}

void TestSearchTextStore::storeKeepsEveryTextAcrossBlocks()
{
    const std::vector<Record> records = mixedRecords(2 * 65536 + 3);
    const SearchTextStore store = SearchTextStore::build(records);
    QCOMPARE(store.size(), records.size());
    for (size_t row = 0; row < records.size(); ++row) {
        const QString expected = SearchTextStore::searchTextOf(records[row]);
        if (store.text(row) != expected)
            QFAIL(qPrintable(
                QString("row %1: %2 instead of %3").arg(row).arg(store.text(row), expected)));
    }
    QCOMPARE(store.text(0), "2023/FEB/28 10:00:00.000zzzinfozzzt0zzznetzzzmain.cppzzzgröße 0");
    QCOMPARE(store.text(17).left(14), "2023/Mär/28zzz");
    QCOMPARE(store.text(65535).mid(31, 9), QString("zzz" + QString("İd").toLower() + "zzz"));
    QCOMPARE(
        store.text(65536), "2023/FEB/28 10:00:00.000zzzinfozzzt2zzznetzzzmain.cppzzzgröße 65536");
    QCOMPARE(SearchTextStore::build({}).size(), size_t(0));
}

void TestSearchTextStore::storeMatchesLikeQString()
{
    const std::vector<Record> records = mixedRecords(65536 + 40);
    const SearchTextStore store = SearchTextStore::build(records);
    const QStringList needles = {"", "message 1", "größe", "t3zzznet", "Mär", "FEB", "feb", "i̇d",
        "zzzzz", "📷 camera", QString(QChar(0xd800)), QString(QChar(0xd800)) + "x", "磁"};
    for (const QString &needle : needles) {
        const TextMatcher matcher(needle);
        int hits = 0;
        for (size_t row = 0; row < records.size(); ++row) {
            const bool expected = store.text(row).contains(needle);
            hits += expected ? 1 : 0;
            if (matcher.occursIn(store, row) != expected)
                QFAIL(qPrintable(QString("row %1, needle %2").arg(row).arg(needle)));
        }
        QVERIFY2((needle == "zzzzz" || needle == "feb") == (hits == 0), qPrintable(needle));
    }
}

QTEST_GUILESS_MAIN(TestSearchTextStore)
#include "tst_searchtextstore.moc"
