#include "loggenerator.h"
#include "parallelfor.h"
#include "qarnlogparser.h"
#include "searchtextstore.h"
#include "textprefilter.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTest>

#include <array>
#include <string_view>

class TestTextPrefilter : public QObject
{
    Q_OBJECT

private slots:
    void keepsEveryRecordHoldingAText();
    void rulesOutMostRecordsWithoutTheText();
    void textsWithoutPieces_data();
    void textsWithoutPieces();
    void recordBoundsAndFoldingBeyondAscii();
    void wideEncodings();
};

namespace {

using Search = TextPrefilter::Search;

// Records laid end to end as a file holds them, with the search text of each.
struct Corpus
{
    QByteArray bytes;
    std::vector<size_t> ends;
    std::vector<QString> searchTexts;
};

// Spellings that lower-casing treats apart: accented Latin, Cyrillic, Greek with its final
// sigma, CJK, emoji, the Kelvin sign, "İ" (two code points in lower case), capital sharp s,
// 'z' and NUL, and bytes that are not UTF-8 (a stray continuation, a cut sequence).
const std::array<QByteArray, 28> spellings {"a", "B", "k", "K", "i", "I", "s", "S", "0", " ", ".",
    "\xC3\xA9", "\xC3\x89", "\xD0\x96", "\xD0\xB6", "\xCE\xA3", "\xCF\x83", "\xCF\x82",
    "\xE6\x97\xA5\xE6\x9C\xAC", "\xF0\x9F\x98\x80", "\xE2\x84\xAA", "\xC4\xB0", "\xE1\xBA\x9E",
    "\xC3\x9F", "Z", "z", QByteArray("\0", 1), "\xFF\xE2\x84"};

QByteArray randomValue(QRandomGenerator &random, int mostSpellings)
{
    QByteArray value;
    const int count = int(random.bounded(mostSpellings + 1));
    for (int i = 0; i < count; ++i)
        value.append(spellings[random.bounded(int(spellings.size()))]);
    // 'z' runs at a field's end or start meet the separator's.
    if (random.bounded(4) == 0)
        value.append(random.bounded(2) ? "zZ" : "Zz");
    if (random.bounded(6) == 0)
        value.prepend("zz");
    return value;
}

// Message lines with empty lines and carriage returns among them.
QByteArray randomMessage(QRandomGenerator &random)
{
    QByteArray message = randomValue(random, 12);
    const int moreLines = int(random.bounded(3));
    for (int line = 0; line < moreLines; ++line) {
        message.append(random.bounded(3) == 0 ? "\n\n" : "\n");
        message.append(randomValue(random, 8));
        if (random.bounded(4) == 0)
            message.append('\r');
    }
    return message;
}

// One record in the log format with the parts the parser leaves out: text before "<CONT>"
// and after "</CONT>", a stray line after the block, CR LF line ends; the last record's block
// is never closed.
QByteArray randomRecord(QRandomGenerator &random, int serial, bool last)
{
    LogRecordText text;
    text.dateTime = random.bounded(4) == 0 ? randomValue(random, 24)
                                           : LogGenerator::formatDateTime(serial * 1234);
    text.logType = randomValue(random, 4);
    text.threadID = randomValue(random, 4);
    text.moduleName = randomValue(random, 6);
    text.cppFileName = randomValue(random, 6);
    text.cppLine = randomValue(random, 3);
    text.message = randomMessage(random);
    QByteArray record = LogGenerator::formatRecord(text);
    if (random.bounded(3) == 0)
        record.replace("\n<CONT>",
            "\nb\xC3\xA9"
            "fore<CONT>");
    if (last)
        record.replace("</CONT>", "");
    else if (random.bounded(3) == 0)
        record.replace("</CONT>\n", "</CONT>afterZ\nstray line\n");
    if (random.bounded(2) == 0)
        record.replace("\n", "\r\n");
    return record;
}

QBuffer *openBuffer(const QByteArray &data)
{
    auto *buffer = new QBuffer;
    buffer->setData(data);
    buffer->open(QIODevice::ReadOnly);
    return buffer;
}

Corpus randomCorpus(quint32 seed, int count)
{
    QRandomGenerator random(seed);
    Corpus corpus;
    for (int serial = 0; serial < count; ++serial) {
        corpus.bytes.append(randomRecord(random, serial, serial + 1 == count));
        corpus.ends.push_back(size_t(corpus.bytes.size()));
    }
    for (const QarnLogParser::QarnLog &record : QarnLogParser::parse(openBuffer(corpus.bytes)))
        corpus.searchTexts.push_back(SearchTextStore::searchTextOf(record));
    return corpus;
}

std::vector<char> candidates(const TextPrefilter &prefilter, const Corpus &corpus,
    std::vector<TextPrefilter::Sighting> *sightings = nullptr)
{
    std::vector<char> marks(corpus.ends.size(), 2);
    if (sightings)
        sightings->assign(corpus.ends.size(), {});
    prefilter.markCandidates(
        std::string_view(corpus.bytes.constData(), size_t(corpus.bytes.size())), corpus.ends,
        marks.data(), sightings ? sightings->data() : nullptr);
    return marks;
}

// A sighting is of a candidate, within its bytes, and spells one of the texts in ASCII.
bool sightingsHoldTexts(const std::vector<TextPrefilter::Sighting> &sightings,
    const std::vector<char> &marks, const QStringList &texts, const Corpus &corpus)
{
    for (size_t record = 0; record < sightings.size(); ++record) {
        const TextPrefilter::Sighting seen = sightings[record];
        const size_t start = record == 0 ? 0 : corpus.ends[record - 1];
        if (seen.to != 0
            && (marks[record] != 1 || seen.from < start || seen.to > corpus.ends[record]
                || !texts.contains(QString::fromLatin1(
                    corpus.bytes.mid(qsizetype(seen.from), qsizetype(seen.to - seen.from)))
                                       .toLower())))
            return false;
    }
    return true;
}

// The candidates of a filter searched both ways, and in parts on several threads at once,
// which must all agree.
std::vector<char> agreedCandidates(const QStringList &texts, bool anyOf, const Corpus &corpus)
{
    const TextPrefilter prefilter(texts, anyOf);
    std::vector<TextPrefilter::Sighting> sightings;
    const std::vector<char> fastest = candidates(prefilter, corpus, &sightings);
    const std::vector<char> byPiece
        = candidates(TextPrefilter(texts, anyOf, TextEncoding::utf8, Search::pieceByPiece), corpus);
    std::vector<char> inParts(corpus.ends.size(), 2);
    parallelParts(corpus.ends.size(), 3, [&](size_t first, size_t last) {
        prefilter.markCandidates(
            std::string_view(corpus.bytes.constData(), size_t(corpus.bytes.size())), corpus.ends,
            first, last, inParts.data());
    });
    if (fastest != byPiece || fastest != inParts) {
        qWarning() << "the searches disagree on" << texts << anyOf;
        return {};
    }
    if (!sightingsHoldTexts(sightings, fastest, texts, corpus)) {
        qWarning() << "a sighting is wrong for" << texts << anyOf;
        return {};
    }
    return fastest;
}

QString randomSubstring(QRandomGenerator &random, const QString &text)
{
    const int from = int(random.bounded(text.size()));
    return text.mid(from, 1 + int(random.bounded(12))).toLower();
}

} // namespace

void TestTextPrefilter::keepsEveryRecordHoldingAText()
{
    const Corpus corpus = randomCorpus(23, 100);
    QCOMPARE(corpus.searchTexts.size(), corpus.ends.size());
    QRandomGenerator random(7);
    const QString absent = QStringLiteral("\u0001absent");
    int checked = 0;
    int ruledOut = 0;
    for (size_t record = 0; record < corpus.searchTexts.size(); ++record) {
        const QString &searchText = corpus.searchTexts[record];
        for (int i = 0; i < 4; ++i) {
            const QString text = randomSubstring(random, searchText);
            const QString other = randomSubstring(random, searchText);
            if (!searchText.contains(text) || !searchText.contains(other))
                continue;
            const std::vector<char> anyOf = agreedCandidates({absent, text}, true, corpus);
            const std::vector<char> allOf = agreedCandidates({text, other}, false, corpus);
            QVERIFY2(!anyOf.empty() && anyOf[record] == 1, qPrintable(text));
            QVERIFY2(!allOf.empty() && allOf[record] == 1, qPrintable(text + " " + other));
            ruledOut += int(std::count(anyOf.cbegin(), anyOf.cend(), 0));
            ++checked;
        }
    }
    QVERIFY(checked > 250);
    // Single characters and short texts are in many records, yet most records go.
    QVERIFY(ruledOut > checked * int(corpus.ends.size()) / 2);
}

void TestTextPrefilter::rulesOutMostRecordsWithoutTheText()
{
    const Corpus corpus = randomCorpus(5, 200);
    QRandomGenerator random(9);
    const QString alphabet = QStringLiteral("abcdefghijklmnopqrstuvwxy0123456789жéσ");
    QStringList texts;
    while (texts.size() < 50) {
        QString text;
        for (int i = 0; i < 5; ++i)
            text.append(alphabet.at(int(random.bounded(alphabet.size()))));
        const bool absent = std::none_of(corpus.searchTexts.cbegin(), corpus.searchTexts.cend(),
            [&text](const QString &searchText) { return searchText.contains(text); });
        if (absent)
            texts.append(text);
    }
    const std::vector<char> anyOf = agreedCandidates(texts, true, corpus);
    QVERIFY(!anyOf.empty());
    QVERIFY(std::count(anyOf.cbegin(), anyOf.cend(), 1) < qsizetype(corpus.ends.size() / 10));
}

void TestTextPrefilter::textsWithoutPieces_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("anyOf");
    QTest::addColumn<bool>("passesEverything");
    QTest::addColumn<bool>("keepsEverything");
    // Every search text holds "zzz"; a text made only of separators holds no piece.
    QTest::newRow("any of, with zzz") << QStringList {"absent", "zzz"} << true << true << true;
    QTest::newRow("any of, with empty") << QStringList {"absent", ""} << true << true << true;
    QTest::newRow("any of, with zzzz") << QStringList {"absent", "zzzz"} << true << false << true;
    QTest::newRow("any of, with line feed")
        << QStringList {"absent", "z\nz"} << true << false << true;
    QTest::newRow("any of, with U+FFFD")
        << QStringList {"absent", QString(QChar::ReplacementCharacter)} << true << false << true;
    QTest::newRow("any of, with pieces")
        << QStringList {"absent", "zsent"} << true << false << false;
    QTest::newRow("any of none") << QStringList {} << true << false << false;
    QTest::newRow("all of, with zz") << QStringList {"absent", "zz"} << false << false << false;
    QTest::newRow("all of zz and z") << QStringList {"zz", "z"} << false << true << true;
    QTest::newRow("all of zz and zzzz") << QStringList {"zz", "zzzz"} << false << false << true;
    QTest::newRow("all of none") << QStringList {} << false << true << true;
}

void TestTextPrefilter::textsWithoutPieces()
{
    QFETCH(QStringList, texts);
    QFETCH(bool, anyOf);
    QFETCH(bool, passesEverything);
    QFETCH(bool, keepsEverything);
    const Corpus corpus = randomCorpus(3, 20);
    for (const Search search : {Search::fastest, Search::pieceByPiece}) {
        const TextPrefilter prefilter(texts, anyOf, TextEncoding::utf8, search);
        QCOMPARE(prefilter.passesEverything(), passesEverything);
        QCOMPARE(prefilter.keepsEverything(), keepsEverything);
        const std::vector<char> marks = candidates(prefilter, corpus);
        const auto kept = std::count(marks.cbegin(), marks.cend(), 1);
        QCOMPARE(kept == qsizetype(marks.size()), keepsEverything);
        QCOMPARE(kept + std::count(marks.cbegin(), marks.cend(), 0), qsizetype(marks.size()));
    }
}

// Raw records given as byte strings, each checked for the texts it must keep and those it
// must rule out.
void TestTextPrefilter::recordBoundsAndFoldingBeyondAscii()
{
    Corpus corpus;
    for (const QByteArray &record : {QByteArray("size 12 \xE2\x84\xAA"
                                                "B ab"),
             QByteArray("cd \xC4\xB0stanbul STRA\xE1\xBA\x9E"
                        "E"),
             QByteArray(300, 'x'), QByteArray("x\xC4\xB0"),
             QByteArray("p1zp2zp3zp4zp5zp6zp7zp8zp9zp10")}) {
        corpus.bytes.append(record);
        corpus.ends.push_back(size_t(corpus.bytes.size()));
    }
    // A record too long for the parser to keep whole is always a candidate.
    corpus.bytes.append(QByteArray(TextPrefilter::alwaysCandidateBytes + 1, 'x'));
    corpus.ends.push_back(size_t(corpus.bytes.size()));
    const auto marks = [&corpus](const QString &text) {
        const std::vector<char> kept = agreedCandidates({text}, true, corpus);
        QByteArray marked;
        for (const char mark : kept)
            marked.append(char('0' + mark));
        return marked;
    };
    QCOMPARE(marks("12 kb"), QByteArray("100001"));
    // Only a text spelled in ASCII is told as seen, and only for an any-of filter.
    const auto sighted = [&corpus](const QString &text, bool anyOf) {
        std::vector<TextPrefilter::Sighting> sightings;
        candidates(TextPrefilter({text}, anyOf), corpus, &sightings);
        QByteArray seen;
        for (const TextPrefilter::Sighting sighting : sightings)
            seen.append(sighting.to != 0 ? '1' : '0');
        return seen;
    };
    QCOMPARE(sighted("12 kb", true), QByteArray("000000"));
    QCOMPARE(sighted("size 12", true), QByteArray("100000"));
    QCOMPARE(sighted("size 12", false), QByteArray("000000"));
    QCOMPARE(sighted(QStringLiteral("i̇stanbul"), true), QByteArray("000000"));
    QCOMPARE(marks(QStringLiteral("i̇stanbul")), QByteArray("010001"));
    QCOMPARE(marks(QStringLiteral("straße")), QByteArray("010001"));
    // "İ" lowers to two code points: a text may end within them or start within them.
    QCOMPARE(marks(QStringLiteral("cd i")), QByteArray("010001"));
    QCOMPARE(marks(QStringLiteral("\u0307stan")), QByteArray("010001"));
    QCOMPARE(marks(QStringLiteral("\u0307")), QByteArray("010101"));
    // Once a record is kept, the search goes on with the next.
    QCOMPARE(marks(QStringLiteral("x")), QByteArray("001101"));
    // A long text is looked for by its start.
    QCOMPARE(marks(QString(290, u'x')), QByteArray("001001"));
    // A text across two records is in neither.
    QCOMPARE(marks(QStringLiteral("abcd")), QByteArray("000001"));
    // A text of many pieces is looked for by some of them.
    QCOMPARE(marks(QStringLiteral("p1zp2zp3zp4zp5zp6zp7zp8zp9zp10")), QByteArray("000011"));
}

// UTF-16 and UTF-32 records are ruled out by their own bytes, in either byte order. A UTF-32
// file may hold a code point past U+FFFF as its two surrogates, which decode to it, and a unit
// past U+10FFFF, which decodes to a character that its bytes do not spell ("!" here).
void TestTextPrefilter::wideEncodings()
{
    const std::pair<TextEncoding, QStringConverter::Encoding> encodings[]
        = {{TextEncoding::utf16LE, QStringConverter::Utf16LE},
            {TextEncoding::utf16BE, QStringConverter::Utf16BE},
            {TextEncoding::utf32LE, QStringConverter::Utf32LE},
            {TextEncoding::utf32BE, QStringConverter::Utf32BE}};
    for (const auto &[encoding, converter] : encodings) {
        QStringEncoder encode(converter);
        Corpus corpus;
        for (const QString &record : {QStringLiteral("size 12 \u212AB"),
                 QStringLiteral("\U00010400x"), QStringLiteral("x")}) {
            corpus.bytes.append(QByteArray(encode(record)));
            corpus.ends.push_back(size_t(corpus.bytes.size()));
        }
        const bool utf32 = encoding == TextEncoding::utf32LE || encoding == TextEncoding::utf32BE;
        if (utf32) {
            for (const std::vector<char32_t> &record :
                {std::vector<char32_t> {0xD801, 0xDC00, u'x'}, {0xA18400}}) {
                for (const char32_t unit : record) {
                    const char bigEndian[] = {char(unit >> 24), char((unit >> 16) & 0xFF),
                        char((unit >> 8) & 0xFF), char(unit & 0xFF)};
                    QByteArray bytes(bigEndian, sizeof bigEndian);
                    if (encoding == TextEncoding::utf32LE)
                        std::reverse(bytes.begin(), bytes.end());
                    corpus.bytes.append(bytes);
                }
                corpus.ends.push_back(size_t(corpus.bytes.size()));
            }
        }
        for (const Search search : {Search::fastest, Search::pieceByPiece}) {
            const auto marks = [&](const QString &text) {
                QByteArray marked;
                for (const char mark :
                    candidates(TextPrefilter({text}, true, encoding, search), corpus))
                    marked.append(char('0' + mark));
                return marked;
            };
            QCOMPARE(marks(QStringLiteral("12 kb")), utf32 ? "10001" : "100");
            QCOMPARE(marks(QStringLiteral("\U00010428x")), utf32 ? "01011" : "010");
        }
        // Only UTF-16 in this machine's byte order makes sightings, of whole code units.
        std::vector<TextPrefilter::Sighting> sightings;
        candidates(TextPrefilter({QStringLiteral("size 12")}, true, encoding), corpus, &sightings);
        const bool native = encoding == nativeUtf16;
        QCOMPARE(sightings.front().from, size_t(0));
        QCOMPARE(sightings.front().to, native ? size_t(14) : size_t(0));
    }
    // Its bytes "c\0a\0" after the first byte of a unit are no sighting of "ca".
    const QString units = QStringLiteral("\u6320\u6100\u2000");
    Corpus shifted;
    shifted.bytes = QByteArray(reinterpret_cast<const char *>(units.utf16()), 2 * units.size());
    shifted.ends.push_back(size_t(shifted.bytes.size()));
    std::vector<TextPrefilter::Sighting> sightings;
    candidates(TextPrefilter({QStringLiteral("ca")}, true, nativeUtf16), shifted, &sightings);
    QCOMPARE(sightings.front().to, size_t(0));
}

QTEST_GUILESS_MAIN(TestTextPrefilter)
#include "tst_textprefilter.moc"
