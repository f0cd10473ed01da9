// The shared field values the parser hands to its records.
#include "fieldpool.h"

#include <QTest>

#include <string>
#include <vector>

namespace {

int referencesOf(QString &string)
{
    return string.data_ptr().d_ptr()->ref_.loadRelaxed();
}

// The same values as the characters of either kind of line.
template<typename Ch>
std::basic_string<Ch> unitsOf(const QString &ascii)
{
    std::basic_string<Ch> units;
    for (const QChar c : ascii)
        units.push_back(Ch(c.unicode()));
    return units;
}

// Asks the pool for each value in turn: every answer holds its value, and two answers share
// their characters exactly when their values are equal.
template<typename Ch>
QString sharingDiffers(const QStringList &values)
{
    // Declared first: the answers may go only after the pool has given them their references.
    QList<QString> answers;
    FieldPool<Ch> pool;
    for (const QString &value : values) {
        const std::basic_string<Ch> units = unitsOf<Ch>(value);
        answers.append(pool.get(units));
        if (answers.last() != value || answers.last().isNull() != value.isEmpty())
            return QStringLiteral("%1 gave %2").arg(value, answers.last());
    }
    for (qsizetype i = 0; i < values.size(); ++i) {
        for (qsizetype j = 0; j < i; ++j) {
            if (values[i].isEmpty())
                continue;
            const bool shared = answers[i].constData() == answers[j].constData();
            if (shared != (values[i] == values[j]))
                return QStringLiteral("%1 and %2 shared: %3").arg(values[i], values[j]).arg(shared);
        }
    }
    return {};
}

} // namespace

class TestFieldPool : public QObject
{
    Q_OBJECT

private slots:
    void equalValuesShareOneString_data();
    void equalValuesShareOneString();
    void valuesPastTheLimitAreKeptUnshared();
    void handedOutStringsOutliveThePool();
    void madeStringsAreSizedToTheirText();
};

void TestFieldPool::equalValuesShareOneString_data()
{
    QTest::addColumn<QStringList>("values");
    QTest::newRow("repeated") << QStringList {"Info", "Error", "Info", "Info", "Error"};
    QTest::newRow("empty") << QStringList {"", "x", ""};
    // Short values are told apart by their word alone: every byte must count.
    QTest::newRow("one to three") << QStringList {"a", "ab", "a0b", "a1b", "b0a", "aab", "a0b"};
    QTest::newRow("four to eight")
        << QStringList {"abcd", "abce", "abcdXefg", "abcdYefg", "bbcdXefg", "abcdXefh", "abcdXefg"};
    QTest::newRow("longer than eight")
        << QStringList {"recorder.cpp", "recorder.cxx", "recorder.cpp2", "Recorder.cpp",
               "a long module name that spans many words", "recorder.cpp"};
    QTest::newRow("same start") << QStringList {"Info", "Info2", "Inf", "Info", "Info2"};
}

void TestFieldPool::equalValuesShareOneString()
{
    QFETCH(QStringList, values);
    QCOMPARE(sharingDiffers<char>(values), QString());
    QCOMPARE(sharingDiffers<char16_t>(values), QString());
}

void TestFieldPool::valuesPastTheLimitAreKeptUnshared()
{
    // Declared first: the answers may go only after the pool has given them their references.
    std::vector<QString> answers;
    FieldPool<char> pool;
    const size_t count = FieldPool<char>::maxSlots;
    answers.reserve(count + 2);
    for (size_t i = 0; i < count; ++i) {
        const std::string value = std::to_string(i);
        answers.push_back(pool.get(value));
        QCOMPARE(answers.back(), QString::fromStdString(value));
    }
    answers.push_back(pool.get("0"));
    QCOMPARE(answers.back().constData(), answers.front().constData());
    // The table is full: a new value is a string of its own each time.
    answers.push_back(pool.get(std::to_string(count - 1)));
    QCOMPARE(answers.back(), answers[count - 1]);
    QVERIFY(answers.back().constData() != answers[count - 1].constData());
}

void TestFieldPool::handedOutStringsOutliveThePool()
{
    QString a;
    QString b;
    QString other;
    {
        FieldPool<char16_t> pool;
        a = pool.get(unitsOf<char16_t>("Recorder"));
        b = pool.get(unitsOf<char16_t>("Recorder"));
        other = pool.get(unitsOf<char16_t>("Web"));
    }
    QCOMPARE(referencesOf(a), 2);
    QCOMPARE(referencesOf(other), 1);
    b = QString();
    QCOMPARE(referencesOf(a), 1);
    QCOMPARE(a, QString("Recorder"));
    QCOMPARE(other, QString("Web"));
}

void TestFieldPool::madeStringsAreSizedToTheirText()
{
    QVERIFY(FieldPool<char>::makeString("").isNull());
    QVERIFY(FieldPool<char16_t>::makeString(u"").isNull());
    const QString ascii = FieldPool<char>::makeString("queue full");
    QCOMPARE(ascii, QString("queue full"));
    QCOMPARE(ascii.capacity(), ascii.size());
    const QString text = FieldPool<char16_t>::makeString(u"Größe \U0001F600");
    QCOMPARE(text, QString::fromUtf8("Größe \U0001F600"));
    QCOMPARE(text.capacity(), text.size());
    QString joined = text;
    FieldPool<char>::append(joined, " and");
    FieldPool<char16_t>::append(joined, u" 中");
    QCOMPARE(joined, QString::fromUtf8("Größe \U0001F600 and 中"));
}

QTEST_GUILESS_MAIN(TestFieldPool)
#include "tst_fieldpool.moc"
