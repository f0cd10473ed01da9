// The allocator settings a restart adds to the ones the process was started with.
#include "hugepagerestart.h"

#include <QTest>

class TestHugePageRestart : public QObject
{
    Q_OBJECT

private slots:
    void settingsForTheRestart_data();
    void settingsForTheRestart();
};

void TestHugePageRestart::settingsForTheRestart_data()
{
    QTest::addColumn<QByteArray>("current");
    QTest::addColumn<bool>("unset");
    QTest::addColumn<QByteArray>("restartWith");

    const QByteArray both = "glibc.malloc.hugetlb=1";
    QTest::newRow("unset") << QByteArray() << true << both;
    QTest::newRow("empty") << QByteArray("") << false << both;
    QTest::newRow("other setting kept first")
        << QByteArray("glibc.malloc.check=3") << false << "glibc.malloc.check=3:" + both;
    // The user's own choices stand; a choice about huge pages also ends the restarts.
    QTest::newRow("user's arenas") << QByteArray("glibc.malloc.arena_max=4") << false
                                   << QByteArray("glibc.malloc.arena_max=4:glibc.malloc.hugetlb=1");
    QTest::newRow("huge pages off")
        << QByteArray("glibc.malloc.hugetlb=0") << false << QByteArray();
    QTest::newRow("after a restart") << both << false << QByteArray();
    QTest::newRow("huge pages later in the list")
        << QByteArray("glibc.malloc.check=3:glibc.malloc.hugetlb=2") << false << QByteArray();
    QTest::newRow("a longer name is another setting")
        << QByteArray("glibc.malloc.hugetlb_x=1") << false << "glibc.malloc.hugetlb_x=1:" + both;
}

void TestHugePageRestart::settingsForTheRestart()
{
    QFETCH(QByteArray, current);
    QFETCH(bool, unset);
    QFETCH(QByteArray, restartWith);
    const std::string tunables
        = HugePageRestart::tunablesFor(unset ? nullptr : current.constData());
    QCOMPARE(QByteArray::fromStdString(tunables), restartWith);
}

QTEST_APPLESS_MAIN(TestHugePageRestart)
#include "tst_hugepagerestart.moc"
