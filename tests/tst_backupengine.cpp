#include "maintenance/set/backupset.h"
#include "maintenance/set/manifestwriter.h"
#include "maintenance/restore/treerestorer.h"
#include "maintenance/set/setverifier.h"
#include "maintenance/backup/treecopier.h"
#include "maintenance/fs/treeremover.h"

#include "awkwardtree.h"
#include "enginerun.h"
#include "systemroot.h"
#include "teststick.h"
#include "openfiles.h"
#include "treesnapshot.h"
#include "withoutreadoverride.h"

#include <QProcess>
#include <QtTest>

#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

Q_DECLARE_METATYPE(TestStick::Kind)
Q_DECLARE_METATYPE(SetVerifier::Verdict)

namespace {

// Lowers the soft open-file limit for as long as it lives.
class FileLimit
{
public:
    explicit FileLimit(rlim_t files)
    {
        ::getrlimit(RLIMIT_NOFILE, &m_saved);
        struct rlimit lowered = m_saved;
        lowered.rlim_cur = files;
        m_ok = ::setrlimit(RLIMIT_NOFILE, &lowered) == 0;
    }
    ~FileLimit() { ::setrlimit(RLIMIT_NOFILE, &m_saved); }
    bool ok() const { return m_ok; }

private:
    struct rlimit m_saved;
    bool m_ok = false;
};

} // namespace

class tst_backupengine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void roundTrip_data();
    void roundTrip();
    void unreadableFolder();
    void hostileStick_data();
    void hostileStick();
    void leftovers_data();
    void leftovers();
    void secondSetDropsDeletedFiles();
    void verifierFindsDamage_data();
    void verifierFindsDamage();
    void fifoOnStickNeverOpened();
    void sparseBeyondFourGiB();

private:
    QString stickPath() const { return m_root->file("mnt/usb"); }
    QByteArray optPath() const { return bytes(m_root->file("opt")); }
    void simpleSet();

    std::unique_ptr<TestSystemRoot> m_root;
    std::unique_ptr<TestStick> m_stick;
    bool m_root_user = false;
};

void tst_backupengine::initTestCase()
{
    raiseOpenFileLimit();
    const QString problem = TestSystemRoot::namespaceProblem();
    if (!problem.isEmpty())
        QSKIP(qPrintable("no private mount namespace for the stick (" + problem + ")"));
    m_root_user = isMachineRoot();
}

void tst_backupengine::init()
{
    m_root = std::make_unique<TestSystemRoot>();
    QVERIFY(m_root->isValid());
}

void tst_backupengine::cleanup()
{
    m_stick.reset();
    // Paths past PATH_MAX and 0500 folders are more than QDir can remove.
    UniqueFd root(::open(bytes(m_root->path()).constData(), O_RDONLY | O_DIRECTORY));
    for (const char *name : {"opt", "restored"}) {
        TreeRemover remover;
        QVERIFY(remover.remove(root.get(), name));
    }
    m_root.reset();
}

void tst_backupengine::roundTrip_data()
{
    QTest::addColumn<TestStick::Kind>("kind");
    QTest::addColumn<bool>("fewFiles");
    QTest::newRow("tmpfs") << TestStick::Kind::Tmpfs << false;
    QTest::newRow("tmpfs, open-file limit below the depth") << TestStick::Kind::Tmpfs << true;
    QTest::newRow("FAT (fusefat)") << TestStick::Kind::Fat << false;
    QTest::newRow("exFAT (exfat-fuse on a loop device)") << TestStick::Kind::Exfat << false;
}

// Device -> stick -> device: the restored tree is the source, entry for entry, except the
// socket, which the backup and the restore both name as not copied.
void tst_backupengine::roundTrip()
{
    QFETCH(TestStick::Kind, kind);
    QFETCH(bool, fewFiles);
    const QString missing = TestStick::missingTool(kind);
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
    if (kind != TestStick::Kind::Tmpfs && !m_root_user)
        QSKIP("a loop device or a fusefat daemon needs the machine's root here");
    QTemporaryDir work;
    m_stick = std::make_unique<TestStick>(kind, stickPath(), work.path(), 512);
    QVERIFY(m_stick->mount());
    AwkwardTree tree;
    // fusefat resolves every path from the stick's root and dies past PATH_MAX: on FAT the
    // tree stays within what it can walk in reasonable time.
    tree.beyondPathMax = kind != TestStick::Kind::Fat;
    if (kind == TestStick::Kind::Fat)
        tree.depth = 200;
    QVERIFY2(tree.build(optPath(), m_root_user), tree.error.constData());
    TreeSnapshot::Options options;
    options.owners = m_root_user;
    TreeSnapshot source(optPath(), options);
    QVERIFY2(source.isValid(), source.error().constData());
    source.remove(tree.socketPath);

    EngineRun run;
    run.stick = stickPath();
    run.source = optPath();
    std::unique_ptr<FileLimit> limit;
    if (fewFiles) {
        limit = std::make_unique<FileLimit>(rlim_t(openFiles() + 40));
        QVERIFY(limit->ok());
    }
    QVERIFY2(run.run(), qPrintable(run.problems()));
    QCOMPARE(run.result.notCopied.count(), 1);
    QCOMPARE(run.result.notCopied.first().first().path, tree.socketPath);
    QCOMPARE(run.result.notCopied.first().first().typeName, QByteArray("socket"));

    const QList<QByteArray> dumps{"appdb.sql", "Misc.sql"};
    SetVerifier verifier(stickPath(), dumps);
    QCOMPARE(verifier.verify(), SetVerifier::Verdict::Good);
    QCOMPARE(verifier.summary().entries, qint64(source.entries().size() + 1 + dumps.size()));

    const QString target = m_root->file("restored");
    QVERIFY(QDir().mkpath(target));
    UniqueFd targetFd(::open(bytes(target).constData(), O_RDONLY | O_DIRECTORY));
    TreeRestorer restorer(stickPath(), targetFd.get());
    const bool restored = restorer.restore();
    QStringList problems;
    for (const CopyProblem &problem : restorer.problems().first())
        problems << posixfs::displayPath(problem.path) + " " + posixfs::errorText(problem.error);
    QVERIFY2(restored, qPrintable(problems.join('\n') + restorer.manifestError()));
    QCOMPARE(restorer.notRestored().count(), 1);
    limit.reset();

    const TreeSnapshot back(bytes(target), options);
    QVERIFY2(back.isValid(), back.error().constData());
    const QStringList differences = TreeSnapshot::differences(source, back);
    QVERIFY2(differences.isEmpty(), qPrintable(differences.join('\n')));

    // The stick's own copy is faithful where the stick can hold it; a sha256sum list checks
    // it on any stick.
    const QString set = stickPath() + "/BackupData";
    if (kind == TestStick::Kind::Tmpfs) {
        const TreeSnapshot onStick(bytes(set + "/opt"), options);
        QVERIFY(TreeSnapshot::differences(source, onStick).isEmpty());
    } else {
        QVERIFY(!run.caps.symlinks);
        QVERIFY(!QFileInfo::exists(set + "/opt/a:b*c?d\"e<f>g|h\\i"));
    }
    QProcess sums;
    sums.setWorkingDirectory(set);
    sums.start("sha256sum", {"--quiet", "--strict", "-c", ManifestWriter::sumsFileName()});
    QVERIFY(sums.waitForFinished(120000));
    QVERIFY2(sums.exitCode() == 0, sums.readAll().constData());
    // libarchive reads the manifest as the mtree file it is.
    QProcess bsdtar;
    bsdtar.start("bsdtar", {"-tf", set + "/" + ManifestWriter::fileName()});
    if (bsdtar.waitForStarted()) {
        QVERIFY(bsdtar.waitForFinished(120000));
        const QByteArray errors = bsdtar.readAllStandardError();
        QVERIFY2(bsdtar.exitCode() == 0 && errors.isEmpty(), errors.left(2000).constData());
    }
}

void tst_backupengine::unreadableFolder()
{
    QTemporaryDir work;
    m_stick = std::make_unique<TestStick>(TestStick::Kind::Tmpfs, stickPath(), work.path(), 64);
    QVERIFY(m_stick->mount());
    m_root->writeFile("opt/Brevin/readable.txt", "fine");
    m_root->writeFile("opt/Brevin/closed/inside.txt", "cannot be read");
    simpleSet();
    const TreeSnapshot before(bytes(stickPath() + "/BackupData"));
    QVERIFY(QFile::setPermissions(m_root->file("opt/Brevin/closed"), QFileDevice::Permissions()));

    EngineRun run;
    run.stick = stickPath();
    run.source = optPath();
    {
        WithoutReadOverride unprivileged;
        QVERIFY(unprivileged.ok());
        QVERIFY(!run.run());
    }
    QFile::setPermissions(m_root->file("opt/Brevin/closed"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(run.result.failures.count(), 1);
    QCOMPARE(run.result.failures.first().first().path, QByteArray("Brevin/closed"));
    QCOMPARE(run.result.failures.first().first().error, EACCES);
    QVERIFY(!run.committed);
    // The set the stick had is untouched, and nothing half-made is left.
    QVERIFY(TreeSnapshot::differences(before, TreeSnapshot(bytes(stickPath() + "/BackupData")))
                .isEmpty());
    QCOMPARE(QDir(stickPath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{"BackupData"});
}

// A first good set on the stick, for the tests that need a previous one.
void tst_backupengine::simpleSet()
{
    EngineRun first;
    first.stick = stickPath();
    first.source = optPath();
    QVERIFY2(first.run(), qPrintable(first.problems()));
}

void tst_backupengine::hostileStick_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QByteArray>("refused");
    QTest::newRow("BackupData -> /") << "BackupData -> /" << QByteArray("BackupData");
    QTest::newRow("BackupData -> the device's opt")
        << "BackupData -> ../../opt" << QByteArray("BackupData");
    QTest::newRow("BackupData/opt -> ../../../opt")
        << "BackupData/opt -> ../../../opt" << QByteArray("BackupData/opt");
    QTest::newRow("BackupData/opt -> /etc")
        << "BackupData/opt -> /etc" << QByteArray("BackupData/opt");
    QTest::newRow("BackupData.new -> /etc")
        << "BackupData.new -> /etc" << QByteArray("BackupData.new");
    QTest::newRow("BackupData.old -> the device's opt")
        << "BackupData.old -> ../../opt" << QByteArray("BackupData.old");
    QTest::newRow("BackupData a file") << "BackupData file" << QByteArray("BackupData");
    QTest::newRow("BackupData another mount") << "BackupData mount" << QByteArray("BackupData");
    QTest::newRow("BackupData/opt another mount")
        << "BackupData/opt mount" << QByteArray("BackupData/opt");
}

// Each hostile layout is refused before anything is written or removed, on the stick or off.
void tst_backupengine::hostileStick()
{
    QFETCH(QString, layout);
    QFETCH(QByteArray, refused);
    QTemporaryDir work;
    m_stick = std::make_unique<TestStick>(TestStick::Kind::Tmpfs, stickPath(), work.path(), 64);
    QVERIFY(m_stick->mount());
    m_root->writeFile("opt/Brevin/app.conf", "device data");
    m_root->writeFile("etc/passwd", "root:x:0:0");
    const QString stick = stickPath();
    QVERIFY(QDir().mkpath(stick + "/BackupData"));
    const QStringList parts = layout.split(' ');
    const QString where = stick + '/' + parts.first();
    QVERIFY(QDir(where).removeRecursively() || !QFileInfo::exists(where));
    QProcess mounter;
    if (parts.value(1) == "->") {
        QString target = parts.value(2);
        if (target.startsWith('/'))
            target = m_root->file(target.mid(1)); // inside the temporary root
        QVERIFY(QFile::link(target, where));
    } else if (parts.value(1) == "file") {
        QFile file(where);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else {
        QVERIFY(QDir().mkpath(where));
        QCOMPARE(QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=1m", "other", where}), 0);
    }
    const TreeSnapshot opt(optPath());
    const TreeSnapshot etc(bytes(m_root->file("etc")));
    const TreeSnapshot onStick(bytes(stick));

    EngineRun run;
    run.stick = stick;
    run.source = optPath();
    QVERIFY(!run.run());
    QVERIFY(!run.checked);
    QCOMPARE(run.refusedName, refused);
    QVERIFY(run.refusal == BackupSet::Refusal::NotAFolder ||
            run.refusal == BackupSet::Refusal::OtherMount);
    QVERIFY(TreeSnapshot::differences(opt, TreeSnapshot(optPath())).isEmpty());
    QVERIFY(TreeSnapshot::differences(etc, TreeSnapshot(bytes(m_root->file("etc")))).isEmpty());
    QVERIFY(TreeSnapshot::differences(onStick, TreeSnapshot(bytes(stick))).isEmpty());
    if (parts.value(1) == "mount")
        QProcess::execute("umount", {where});
    // The restore side refuses the same layouts.
    SetVerifier verifier(stick, {"appdb.sql", "Misc.sql"});
    QVERIFY(verifier.verify() != SetVerifier::Verdict::Good);
}

void tst_backupengine::leftovers_data()
{
    QTest::addColumn<QString>("state");
    QTest::newRow("half-written new set from a pulled stick") << "new";
    QTest::newRow("swap stopped between its renames") << "swapped";
    QTest::newRow("old set half removed") << "old";
}

// What a pulled stick leaves is never taken for the set: a half-written new set goes, an
// old set put aside by a swap comes back, a half-removed old set goes.
void tst_backupengine::leftovers()
{
    QFETCH(QString, state);
    QTemporaryDir work;
    m_stick = std::make_unique<TestStick>(TestStick::Kind::Tmpfs, stickPath(), work.path(), 64);
    QVERIFY(m_stick->mount());
    m_root->writeFile("opt/Brevin/app.conf", "first");
    simpleSet();
    const QString stick = stickPath();
    if (state == "new") {
        QVERIFY(QDir().mkpath(stick + "/BackupData.new/opt/Brevin"));
        QFile half(stick + "/BackupData.new/opt/Brevin/app.conf");
        QVERIFY(half.open(QIODevice::WriteOnly));
    } else if (state == "swapped") {
        QVERIFY(QDir().rename(stick + "/BackupData", stick + "/BackupData.old"));
    } else {
        QVERIFY(QDir().mkpath(stick + "/BackupData.old/opt/x"));
    }
    SetVerifier verifier(stick, {"appdb.sql", "Misc.sql"});
    if (state == "swapped")
        QCOMPARE(verifier.verify(), SetVerifier::Verdict::NoSet);

    BackupSet set(stick);
    QVERIFY(set.check());
    QVERIFY(set.recover());
    QVERIFY(!QFileInfo::exists(stick + "/BackupData.new"));
    QVERIFY(!QFileInfo::exists(stick + "/BackupData.old"));
    QCOMPARE(verifier.verify(), SetVerifier::Verdict::Good);
}

void tst_backupengine::secondSetDropsDeletedFiles()
{
    QTemporaryDir work;
    m_stick = std::make_unique<TestStick>(TestStick::Kind::Tmpfs, stickPath(), work.path(), 64);
    QVERIFY(m_stick->mount());
    m_root->writeFile("opt/Brevin/kept.txt", "kept");
    m_root->writeFile("opt/Brevin/gone.txt", "deleted on the device");
    m_root->writeFile("opt/Brevin/old/inside.txt", "deleted folder");
    simpleSet();
    QVERIFY(QFile::exists(stickPath() + "/BackupData/opt/Brevin/gone.txt"));
    QVERIFY(QFile::remove(m_root->file("opt/Brevin/gone.txt")));
    QVERIFY(QDir(m_root->file("opt/Brevin/old")).removeRecursively());
    simpleSet();
    const TreeSnapshot source(optPath());
    const TreeSnapshot onStick(bytes(stickPath() + "/BackupData/opt"));
    QVERIFY(TreeSnapshot::differences(source, onStick).isEmpty());
    QStringList names = QDir(stickPath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    QCOMPARE(names, QStringList{"BackupData"});
}

void tst_backupengine::verifierFindsDamage_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<SetVerifier::Verdict>("verdict");
    QTest::newRow("intact") << "" << SetVerifier::Verdict::Good;
    QTest::newRow("file changed") << "change" << SetVerifier::Verdict::Damaged;
    QTest::newRow("file missing") << "remove" << SetVerifier::Verdict::Damaged;
    QTest::newRow("dump changed") << "dump" << SetVerifier::Verdict::Damaged;
    QTest::newRow("manifest cut short") << "cut" << SetVerifier::Verdict::BadManifest;
    QTest::newRow("no manifest (an older panel's set)")
        << "nomanifest" << SetVerifier::Verdict::NoManifest;
    QTest::newRow("entry leading outside") << "outside" << SetVerifier::Verdict::Damaged;
    QTest::newRow("file replaced by a link to the device")
        << "link" << SetVerifier::Verdict::Damaged;
}

void tst_backupengine::verifierFindsDamage()
{
    QFETCH(QString, damage);
    QFETCH(SetVerifier::Verdict, verdict);
    QTemporaryDir work;
    m_stick = std::make_unique<TestStick>(TestStick::Kind::Tmpfs, stickPath(), work.path(), 64);
    QVERIFY(m_stick->mount());
    m_root->writeFile("opt/Brevin/app.conf", "settings");
    m_root->writeFile("opt/Brevin/data/sales.db", QByteArray(10000, 's'));
    simpleSet();
    const QString set = stickPath() + "/BackupData/";
    const QString manifest = set + ManifestWriter::fileName();
    QFile file;
    if (damage == "change") {
        file.setFileName(set + "opt/Brevin/app.conf");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("settingz");
    } else if (damage == "remove") {
        QVERIFY(QFile::remove(set + "opt/Brevin/data/sales.db"));
    } else if (damage == "dump") {
        file.setFileName(set + "Misc.sql");
        QVERIFY(file.open(QIODevice::Append));
        file.write("DROP TABLE s;\n");
    } else if (damage == "cut") {
        file.setFileName(manifest);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.resize(file.size() - 20));
    } else if (damage == "nomanifest") {
        QVERIFY(QFile::remove(manifest));
    } else if (damage == "outside") {
        file.setFileName(manifest);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QByteArray text = file.readAll();
        text.replace("./opt/Brevin/app.conf ", "./opt/../../etc/passwd ");
        file.resize(0);
        file.write(text);
    } else if (damage == "link") {
        QVERIFY(QFile::remove(set + "opt/Brevin/app.conf"));
        QVERIFY(QFile::link(m_root->file("opt/Brevin/app.conf"), set + "opt/Brevin/app.conf"));
    }
    file.close();
    SetVerifier verifier(stickPath(), {"appdb.sql", "Misc.sql"});
    QCOMPARE(verifier.verify(), verdict);
    if (verdict == SetVerifier::Verdict::Damaged)
        QVERIFY(!verifier.problems().isEmpty());
}

// A FIFO where the manifest says a file is: the check sees its type and never opens it
// (opening it would wait for a writer for ever).
void tst_backupengine::fifoOnStickNeverOpened()
{
    QTemporaryDir work;
    m_stick = std::make_unique<TestStick>(TestStick::Kind::Tmpfs, stickPath(), work.path(), 64);
    QVERIFY(m_stick->mount());
    m_root->writeFile("opt/Brevin/app.conf", "settings");
    simpleSet();
    const QString set = stickPath() + "/BackupData/";
    QVERIFY(QFile::remove(set + "appdb.sql"));
    QCOMPARE(::mkfifo(bytes(set + "appdb.sql").constData(), 0644), 0);
    QVERIFY(QFile::remove(set + "opt/Brevin/app.conf"));
    QCOMPARE(::mkfifo(bytes(set + "opt/Brevin/app.conf").constData(), 0644), 0);
    QElapsedTimer timer;
    timer.start();
    SetVerifier verifier(stickPath(), {"appdb.sql", "Misc.sql"});
    QCOMPARE(verifier.verify(), SetVerifier::Verdict::Damaged);
    QCOMPARE(verifier.problems().count(), 2);
    QVERIFY(timer.elapsed() < 60000);
}

QTEST_MAIN(tst_backupengine)
// A sparse file larger than 4 GiB (past what a 32-bit off_t or a 32-bit size field holds)
// goes to the stick and back with its data where it was and its holes still holes.
void tst_backupengine::sparseBeyondFourGiB()
{
    const off_t size = (off_t(4) << 30) + (off_t(1) << 20);
    const QList<QPair<off_t, QByteArray>> pieces{{0, "first bytes"},
                                                 {(off_t(2) << 30) + 5, "past 2 GiB"},
                                                 {(off_t(4) << 30) + 7, "past 4 GiB"},
                                                 {size - 8, "the end!"}};
    QTemporaryDir work;
    // The room the panel asks for is the file's whole size, as a stick without holes would
    // need: a tmpfs's size is only its limit.
    m_stick = std::make_unique<TestStick>(TestStick::Kind::Tmpfs, stickPath(), work.path(), 6144);
    QVERIFY(m_stick->mount());
    QVERIFY(QDir().mkpath(m_root->file("opt/Brevin")));
    const QByteArray source = optPath() + "/Brevin/disk.img";
    {
        UniqueFd fd(::open(source.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0640));
        QVERIFY(fd.isValid());
        QCOMPARE(::ftruncate(fd.get(), size), 0);
        for (const auto &piece : pieces)
            QVERIFY(posixfs::pwriteAll(fd.get(), piece.second.constData(),
                                       size_t(piece.second.size()), piece.first));
    }
    struct stat status;
    QCOMPARE(::stat(source.constData(), &status), 0);
    if (qint64(status.st_blocks) * 512 > (qint64(64) << 20))
        QSKIP("the temporary folder's file system keeps no holes");

    EngineRun run;
    run.stick = stickPath();
    run.source = optPath();
    QVERIFY2(run.run(), qPrintable(run.problems()));
    QVERIFY(run.caps.holes);
    SetVerifier verifier(stickPath(), {"appdb.sql", "Misc.sql"});
    QCOMPARE(verifier.verify(), SetVerifier::Verdict::Good);
    QCOMPARE(verifier.summary().bytes,
             qint64(size) + run.dumps[0].second.size() + run.dumps[1].second.size());

    const QString target = m_root->file("restored");
    QVERIFY(QDir().mkpath(target));
    UniqueFd targetFd(::open(bytes(target).constData(), O_RDONLY | O_DIRECTORY));
    TreeRestorer restorer(stickPath(), targetFd.get());
    QVERIFY2(restorer.restore(), qPrintable(restorer.manifestError()));

    const QByteArray onStick = bytes(stickPath()) + "/BackupData/opt/Brevin/disk.img";
    const QByteArray restored = bytes(target) + "/Brevin/disk.img";
    for (const QByteArray &copy : {onStick, restored}) {
        UniqueFd fd(::open(copy.constData(), O_RDONLY | O_CLOEXEC));
        QVERIFY2(fd.isValid(), copy.constData());
        QCOMPARE(::fstat(fd.get(), &status), 0);
        QCOMPARE(qint64(status.st_size), qint64(size));
        QVERIFY2(qint64(status.st_blocks) * 512 < (qint64(64) << 20),
                 qPrintable(QString::number(qint64(status.st_blocks) * 512)));
        QCOMPARE(status.st_mode & 07777, mode_t(0640));
        for (const auto &piece : pieces) {
            QByteArray read(piece.second.size(), '\0');
            QCOMPARE(
                posixfs::preadRetrying(fd.get(), read.data(), size_t(read.size()), piece.first),
                ssize_t(read.size()));
            QCOMPARE(read, piece.second);
        }
        // A byte in a hole far from any data reads as zero.
        char zero = 1;
        QCOMPARE(posixfs::preadRetrying(fd.get(), &zero, 1, off_t(3) << 30), ssize_t(1));
        QCOMPARE(zero, '\0');
    }
}

#include "tst_backupengine.moc"
