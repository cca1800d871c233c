#include "maintenance/system/mountpoints.h"

#include <QtTest>

// The mount table as the kernel writes it: a blank, a tab, a newline and a backslash in a
// path come as a backslash and three octal digits, and nothing else is an escape.
class tst_mountpoints : public QObject
{
    Q_OBJECT

private slots:
    void unescape_data();
    void unescape();
    void pointsOfATable();
    void ownTableListsTheRoot();
};

void tst_mountpoints::unescape_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("plain") << QByteArray("/mnt/usb") << QByteArray("/mnt/usb");
    QTest::newRow("the kernel's four")
        << QByteArray("/a\\040b\\011c\\012d\\134e") << QByteArray("/a b\tc\nd\\e");
    QTest::newRow("at the end") << QByteArray("/usb\\040") << QByteArray("/usb ");
    QTest::newRow("too short at the end") << QByteArray("/usb\\04") << QByteArray("/usb\\04");
    QTest::newRow("a lone backslash") << QByteArray("/a\\b") << QByteArray("/a\\b");
    // Found by fuzz_mountinfo: these were read as numbers.
    QTest::newRow("a sign is no octal digit") << QByteArray("/a\\-12b") << QByteArray("/a\\-12b");
    QTest::newRow("a plus is no octal digit") << QByteArray("/a\\+12b") << QByteArray("/a\\+12b");
    QTest::newRow("a blank is no octal digit") << QByteArray("/a\\ 12") << QByteArray("/a\\ 12");
    QTest::newRow("beyond one byte") << QByteArray("/a\\777") << QByteArray("/a\\777");
    QTest::newRow("eight is no octal digit") << QByteArray("/a\\048") << QByteArray("/a\\048");
    QTest::newRow("the highest byte") << QByteArray("/a\\377") << QByteArray("/a\xff");
}

void tst_mountpoints::unescape()
{
    QFETCH(QByteArray, field);
    QFETCH(QByteArray, bytes);
    QCOMPARE(unescapeMountField(field), bytes);
}

void tst_mountpoints::pointsOfATable()
{
    const QByteArray table =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "36 22 0:5 / /mnt/usb\\040stick rw,noatime master:1 - vfat /dev/sdb1 rw\n"
        "37 22 0:6 /x /opt/Brevin/data\\134raw rw - tmpfs tmpfs rw\n"
        "short line\n"
        "\n";
    const QList<QByteArray> expected{"/", "/mnt/usb stick", "/opt/Brevin/data\\raw"};
    QCOMPARE(mountPointPaths(table), expected);
}

void tst_mountpoints::ownTableListsTheRoot()
{
    QVERIFY(mountPointPaths().contains("/"));
}

QTEST_GUILESS_MAIN(tst_mountpoints)
#include "tst_mountpoints.moc"
