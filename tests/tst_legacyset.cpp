#include "maintenance/fs/sha256.h"
#include "maintenance/fs/uniquefd.h"
#include "maintenance/set/legacyset.h"
#include "maintenance/set/manifestreader.h"
#include "maintenance/set/manifestwriter.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_METATYPE(LegacySet::Verdict)

namespace {
const QList<QByteArray> dumps{"appdb.sql", "Misc.sql"};
const QByteArray wholeDump = "CREATE TABLE t (id INT);\n-- Dump completed on 2020-05-01 10:00:00\n";
} // namespace

// A set an older panel wrote, BackupData/opt and the two dumps without a manifest, in a
// folder that stands for the stick: checked whole before anything of it is used, and
// described in a manifest of what was checked.
class tst_legacyset : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void goodSetGetsAManifest();
    void refused_data();
    void refused();

private:
    QString stick(const QString &relative = QString()) const
    {
        return m_stick->path() + (relative.isEmpty() ? QString() : '/' + relative);
    }
    void write(const QString &relative, const QByteArray &content)
    {
        QDir().mkpath(QFileInfo(stick(relative)).path());
        QFile out(stick(relative));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(content);
    }
    void olderSet()
    {
        write("BackupData/opt/Brevin/config/scale.ini", "[scale]\nunit=kg\n");
        write("BackupData/opt/Brevin/.settings", "hidden");
        write("BackupData/opt/fonts/cache.txt", QByteArray(70000, 'f'));
        QVERIFY(QFile::link("config/scale.ini", stick("BackupData/opt/Brevin/link")));
        for (const QByteArray &dump : dumps)
            write("BackupData/" + QString::fromLatin1(dump), wholeDump);
    }

    std::unique_ptr<QTemporaryDir> m_stick;
    std::unique_ptr<QTemporaryDir> m_work;
};

void tst_legacyset::init()
{
    m_stick = std::make_unique<QTemporaryDir>();
    m_work = std::make_unique<QTemporaryDir>();
    QVERIFY(m_stick->isValid() && m_work->isValid());
}

void tst_legacyset::goodSetGetsAManifest()
{
    olderSet();
    QCOMPARE(
        ::chmod(QFile::encodeName(stick("BackupData/opt/Brevin/.settings")).constData(), 04755), 0);
    UniqueFd work(::open(QFile::encodeName(m_work->path()).constData(), O_RDONLY | O_DIRECTORY));
    LegacySet set(stick(), dumps);
    qint64 lastProgress = 0;
    set.progress = [&lastProgress](qint64 done) { lastProgress = done; };
    QCOMPARE(set.check(work.get()), LegacySet::Verdict::Good);
    QCOMPARE(set.treeFiles(), qint64(3));
    // Brevin, config, scale.ini, .settings, link, fonts, cache.txt
    QCOMPARE(set.treeEntries(), qint64(7));
    QCOMPARE(lastProgress, qint64(7));
    QCOMPARE(LegacySet::countEntries(stick()), qint64(7));
    QCOMPARE(set.dumpBytes(), qint64(2 * wholeDump.size()));
    QCOMPARE(set.bytes(), qint64(16 + 6 + 70000 + 2 * wholeDump.size()));
    QCOMPARE(set.dumpSha256("appdb.sql"),
             QCryptographicHash::hash(wholeDump, QCryptographicHash::Sha256).toHex());

    // The manifest describes exactly what was checked, with every file's digest.
    ManifestReader reader;
    QVERIFY(reader.open(work.get(), ManifestWriter::fileName()));
    QHash<QByteArray, ManifestEntry> entries;
    ManifestEntry entry;
    ManifestReader::Result result;
    while ((result = reader.next(&entry)) == ManifestReader::Result::Entry)
        entries.insert(entry.path, entry);
    QCOMPARE(result, ManifestReader::Result::End);
    QVERIFY(reader.complete());
    QCOMPARE(entries.size(), 1 + 7 + 2);
    QCOMPARE(entries.value("opt").type, ManifestEntry::Type::Folder);
    const ManifestEntry cache = entries.value("opt/fonts/cache.txt");
    QCOMPARE(cache.type, ManifestEntry::Type::File);
    QCOMPARE(cache.size, qint64(70000));
    QCOMPARE(cache.sha256,
             QCryptographicHash::hash(QByteArray(70000, 'f'), QCryptographicHash::Sha256).toHex());
    QCOMPARE(entries.value("opt/Brevin/link").type, ManifestEntry::Type::Link);
    QCOMPARE(entries.value("opt/Brevin/link").link, QByteArray("config/scale.ini"));
    QCOMPARE(entries.value("Misc.sql").size, qint64(wholeDump.size()));
    // An older panel's restore gave files their permission bits only.
    QCOMPARE(entries.value("opt/Brevin/.settings").mode, quint32(0755));
}

void tst_legacyset::refused_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<LegacySet::Verdict>("verdict");
    QTest::newRow("no BackupData") << "no set" << LegacySet::Verdict::NoSet;
    QTest::newRow("no opt") << "no opt" << LegacySet::Verdict::NoSet;
    QTest::newRow("a dump missing") << "no dump" << LegacySet::Verdict::NoSet;
    QTest::newRow("a dump cut short") << "cut dump" << LegacySet::Verdict::NoSet;
    QTest::newRow("a dump that is a link") << "dump link" << LegacySet::Verdict::NoSet;
    QTest::newRow("a dump that is a FIFO") << "dump fifo" << LegacySet::Verdict::NoSet;
    QTest::newRow("BackupData a link") << "set link" << LegacySet::Verdict::NotAFolder;
    QTest::newRow("opt a link") << "opt link" << LegacySet::Verdict::NotAFolder;
}

void tst_legacyset::refused()
{
    QFETCH(QString, damage);
    QFETCH(LegacySet::Verdict, verdict);
    olderSet();
    const QString set = stick("BackupData");
    if (damage == "no set") {
        QVERIFY(QDir(set).removeRecursively());
    } else if (damage == "no opt") {
        QVERIFY(QDir(set + "/opt").removeRecursively());
    } else if (damage == "no dump") {
        QVERIFY(QFile::remove(set + "/Misc.sql"));
    } else if (damage == "cut dump") {
        write("BackupData/appdb.sql", wholeDump.left(30));
    } else if (damage == "dump link" || damage == "dump fifo") {
        QVERIFY(QFile::remove(set + "/appdb.sql"));
        write("elsewhere.sql", wholeDump);
        if (damage == "dump link")
            QVERIFY(QFile::link(stick("elsewhere.sql"), set + "/appdb.sql"));
        else
            QCOMPARE(::mkfifo(QFile::encodeName(set + "/appdb.sql").constData(), 0600), 0);
    } else if (damage == "set link") {
        QVERIFY(QFile::rename(set, stick("real")));
        QVERIFY(QFile::link(stick("real"), set));
    } else if (damage == "opt link") {
        QVERIFY(QFile::rename(set + "/opt", stick("realopt")));
        QVERIFY(QFile::link(stick("realopt"), set + "/opt"));
    }
    UniqueFd work(::open(QFile::encodeName(m_work->path()).constData(), O_RDONLY | O_DIRECTORY));
    LegacySet legacy(stick(), dumps);
    QCOMPARE(legacy.check(work.get()), verdict);
}

QTEST_GUILESS_MAIN(tst_legacyset)
#include "tst_legacyset.moc"
