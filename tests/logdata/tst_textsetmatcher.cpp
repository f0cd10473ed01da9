#include "searchtextstore.h"
#include "textsetmatcher.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <string>

class TestTextSetMatcher : public QObject
{
    Q_OBJECT

private slots:
    void agreesWithQStringContains_data();
    void agreesWithQStringContains();
    void storeRowsAgreeWithQStringContains();
};

namespace {

bool anyContained(const QString &text, const QStringList &needles)
{
    return std::any_of(needles.cbegin(), needles.cend(),
        [&text](const QString &needle) { return text.contains(needle); });
}

bool allContained(const QString &text, const QStringList &needles)
{
    return std::all_of(needles.cbegin(), needles.cend(),
        [&text](const QString &needle) { return text.contains(needle); });
}

// Ids as users paste them, of the kinds in `ids` text below and from the same range.
QStringList randomIds(int count)
{
    QRandomGenerator random(5);
    QStringList ids;
    for (int i = 0; i < count; ++i) {
        ids.append((i % 2 ? QStringLiteral("segment ") : QStringLiteral("channel "))
            + QString::number(random.bounded(3000)));
    }
    return ids;
}

// The needles with five more, every one occurring in the text (prefixes of it), or none: so
// that few needles are also matched the way many are, all-of still hanging on the needles
// given with the first and any-of with the second.
QStringList withPrefixes(QStringList needles, const QString &text)
{
    for (qsizetype length = 1; length <= 5; ++length)
        needles.append(text.left(length));
    return needles;
}

QStringList withAbsentTexts(QStringList needles)
{
    for (int i = 0; i < 5; ++i)
        needles.append(QStringLiteral("\u0001absent") + QString::number(i));
    return needles;
}

} // namespace

void TestTextSetMatcher::agreesWithQStringContains_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("needles");
    const QString ids = QStringLiteral("failed to write segment 1234: channel 77 and segment 2999");
    const QString smile = QStringLiteral("log \U0001F600 end \U0001F601");
    QTest::newRow("ascii") << ids << QStringList {"segment 1234", "disk", "channel 7"};
    QTest::newRow("none") << ids << QStringList();
    QTest::newRow("overlapping") << "abababc" << QStringList {"abab", "babc", "bab", "cab"};
    QTest::newRow("prefixes of each other")
        << "segment 123" << QStringList {"segment 1", "segment 12", "segment 1234"};
    QTest::newRow("empty needle") << "abc" << QStringList {"", "zz"};
    QTest::newRow("empty text") << "" << QStringList {"", "a"};
    QTest::newRow("duplicates") << "queue full" << QStringList {"queue", "queue", "full", "full"};
    QTest::newRow("longer than the text") << "abc" << QStringList {"abcd", "abc"};
    QTest::newRow("needle is the text") << ids << QStringList {ids};
    QTest::newRow("other characters") << QStringLiteral("größe über 5 中文")
                                      << QStringList {"über", "grö", "ö", "中文", "5 中", "x"};
    QTest::newRow("other characters in needles only")
        << "ubergroesse" << QStringList {QStringLiteral("über"), "uber"};
    QTest::newRow("surrogate pairs")
        << smile
        << QStringList {QStringLiteral("\U0001F600"), QString(QChar(0xd83d)),
               QString(QChar(0xde01)), QString(QChar(0xde00)) + " end"};
    QTest::newRow("lone surrogate absent")
        << smile << QStringList {QString(QChar(0xdc00)), QStringLiteral("\U0001F602")};
    // In UTF-16 bytes this needle lies across two of the text's units.
    QTest::newRow("across units") << QStringLiteral("\u6162\u6364\u6566\u6768\u6970")
                                  << QStringList {QStringLiteral("\u6461")};
    QTest::newRow("2000 ids, some in the text") << ids << randomIds(2000);
    QTest::newRow("2000 ids, all in the text") << randomIds(2000).join('|') << randomIds(2000);
    QTest::newRow("2000 ids, one not in the text")
        << randomIds(2000).mid(1).join('|') << randomIds(2000);
    QTest::newRow("2000 ids in other text")
        << smile + randomIds(2000).join(QStringLiteral("ü")) << randomIds(2000) + QStringList {"ü"};
}

// Each needle list as given, and with more needles that keep all-of or any-of open, against
// the text as UTF-16 and, where UTF-8 can hold it, as UTF-8 (the needles are still compared
// with its UTF-16: half of a surrogate pair is found in the pair).
void TestTextSetMatcher::agreesWithQStringContains()
{
    QFETCH(QString, text);
    QFETCH(QStringList, needles);
    const std::string bytes = text.toStdString();
    for (const QStringList &list :
        {needles, withPrefixes(needles, text), withAbsentTexts(needles)}) {
        const TextSetMatcher matcher(list);
        const bool any = anyContained(text, list);
        const bool all = allContained(text, list);
        QCOMPARE(matcher.anyOccursIn(QStringView(text)), any);
        QCOMPARE(matcher.allOccurIn(QStringView(text)), all);
        if (text.isValidUtf16()) {
            QCOMPARE(matcher.anyOccursIn(std::string_view(bytes)), any);
            QCOMPARE(matcher.allOccurIn(std::string_view(bytes)), all);
        }
    }
}

// More rows than one block of the store, a few of them with other characters or empty
// messages, against needles that are rare, that lie across two rows' texts or that occur
// nearly everywhere, few or more; rows asked for in order and out of order.
void TestTextSetMatcher::storeRowsAgreeWithQStringContains()
{
    std::vector<QarnLogParser::QarnLog> records;
    for (int i = 0; i < 65'700; ++i) {
        QString message = i % 37 == 0 ? QStringLiteral("größe %1").arg(i % 100)
            : i % 53 == 0             ? QString()
                                      : QStringLiteral("segment %1").arg(i % 1000);
        // A date with an unpaired surrogate keeps its row in UTF-16.
        const QString date = i % 4001 == 7 ? "2023/" + QString(QChar(0xd800)) : "2023/02/28";
        records.push_back({date, "Info", "7", "Net", "a.cpp", "1", message, i});
    }
    const SearchTextStore store = SearchTextStore::build(records);
    const QString across = store.text(100).right(4) + store.text(101).left(4);
    const QStringList rare {"segment 17", "segment 999", QStringLiteral("größe 74"), across,
        "no such text", "segment 5", "3/" + QString(QChar(0xd800)) + "zzz"};
    const QStringList common {"e", "1", "zz", "a", QStringLiteral("ö"), "net"};
    for (const QStringList &needles : {rare, common, rare.mid(2, 2), common.mid(0, 2)}) {
        const TextSetMatcher matcher(needles);
        for (size_t row = 0; row < store.size(); ++row)
            QCOMPARE(matcher.anyOccursIn(store, row), anyContained(store.text(row), needles));
        for (size_t back = 1; back <= store.size(); back += 97) {
            const size_t row = store.size() - back;
            QCOMPARE(matcher.anyOccursIn(store, row), anyContained(store.text(row), needles));
        }
    }
}

QTEST_GUILESS_MAIN(TestTextSetMatcher)
#include "tst_textsetmatcher.moc"
