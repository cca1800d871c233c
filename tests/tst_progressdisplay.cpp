#include "app/language.h"
#include "dialogs/myprogressdialog.h"
#include "panel/jobprogressdisplay.h"
#include "panel/maintenancetext.h"
#include "panel/sendordertoprinter_test.h"

#include "touchshots.h"

#include <QLabel>
#include <QProgressBar>
#include <QtTest>

#include <memory>

// The progress dialog as a maintenance job drives it: the step in words, the bar by bytes of
// the whole job, the time left once it can be told. The clock is the test's own.

Q_DECLARE_METATYPE(JobProgress::Step)

namespace {

const qint64 MB = qint64(1) << 20;

JobProgress at(JobProgress::Step step, const QString &name, qint64 done, qint64 total)
{
    JobProgress progress;
    progress.step = step;
    progress.name = name;
    progress.done = done;
    progress.total = total;
    return progress;
}

} // namespace

class tst_progressdisplay : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void stepInWords_data();
    void stepInWords();
    void timeLeftInWords_data();
    void timeLeftInWords();
    void linesHiddenUntilSet();
    void barByBytes_data();
    void barByBytes();
    void drawnAtMostEvery50ms();
    void barNeverGoesBack();
    void timeLeftOnceItCanBeTold();
    void timeLeftGoneWhileSyncing();
    void pictures_data();
    void pictures();

private:
    QProgressBar *bar() const { return m_dialog->findChild<QProgressBar *>("progressBar"); }

    qint64 m_now = 0;
    std::unique_ptr<MyProgressDialog> m_dialog;
    std::unique_ptr<JobProgressDisplay> m_display;
};

void tst_progressdisplay::init()
{
    m_now = 0;
    m_dialog = std::make_unique<MyProgressDialog>(QStringLiteral("Backup..."));
    m_display = std::make_unique<JobProgressDisplay>(*m_dialog, [this] { return m_now; });
}

void tst_progressdisplay::cleanup()
{
    m_display.reset();
    m_dialog.reset();
}

void tst_progressdisplay::stepInWords_data()
{
    QTest::addColumn<JobProgress::Step>("step");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("words");
    using Step = JobProgress::Step;
    QTest::newRow("checking") << Step::CheckingBackup << QString() << "Checking the backup";
    QTest::newRow("restoring") << Step::RestoringTree << "/opt"
                               << "Restoring /opt";
    QTest::newRow("loading") << Step::LoadingDatabase << "appdb"
                             << "Loading appdb";
    QTest::newRow("copying") << Step::CopyingTree << "/opt"
                             << "Copying /opt";
    QTest::newRow("dump") << Step::WritingDump << "Misc"
                          << "Writing the dump of Misc";
    QTest::newRow("deleting a database") << Step::Deleting << "appdb"
                                         << "Deleting appdb";
    QTest::newRow("deleting a folder") << Step::Deleting << "/opt/Brevin"
                                       << "Deleting /opt/Brevin";
    QTest::newRow("deleting") << Step::Deleting << QString() << "Deleting";
    QTest::newRow("syncing") << Step::Syncing << QString() << "Writing to disk";
}

void tst_progressdisplay::stepInWords()
{
    QFETCH(JobProgress::Step, step);
    QFETCH(QString, name);
    QFETCH(QString, words);
    QCOMPARE(MaintenanceText::step(at(step, name, 0, 0)), words);
    m_display->update(at(step, name, 0, 0));
    QCOMPARE(m_dialog->step(), words);
}

void tst_progressdisplay::timeLeftInWords_data()
{
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QString>("words");
    QTest::newRow("a moment") << qint64(0) << "About 5 s left";
    QTest::newRow("7 s, up to 10") << qint64(7) << "About 10 s left";
    QTest::newRow("40 s") << qint64(40) << "About 40 s left";
    QTest::newRow("89 s") << qint64(89) << "About 90 s left";
    QTest::newRow("90 s, in minutes") << qint64(90) << "About 2 min left";
    QTest::newRow("an hour") << qint64(3600) << "About 60 min left";
}

void tst_progressdisplay::timeLeftInWords()
{
    QFETCH(qint64, seconds);
    QFETCH(QString, words);
    QCOMPARE(MaintenanceText::timeLeft(seconds), words);
}

// A dialog that is given no step looks as it always did: caption and bar.
void tst_progressdisplay::linesHiddenUntilSet()
{
    QWidget panel;
    panel.resize(800, 480);
    MyProgressDialog dialog(QStringLiteral("Restore..."), &panel);
    panel.show();
    dialog.show();
    auto *step = dialog.findChild<QLabel *>("label_step");
    auto *time = dialog.findChild<QLabel *>("label_time");
    QVERIFY(step && time);
    QVERIFY(!step->isVisible());
    QVERIFY(!time->isVisible());
    dialog.setStep(QStringLiteral("Copying /opt"));
    dialog.setTimeLeft(QStringLiteral("About 5 s left"));
    QVERIFY(step->isVisible());
    QVERIFY(time->isVisible());
    QCOMPARE(dialog.step(), QStringLiteral("Copying /opt"));
    QCOMPARE(dialog.timeLeft(), QStringLiteral("About 5 s left"));
    // Above the bar and below it, inside the white frame.
    auto *bar = dialog.findChild<QProgressBar *>("progressBar");
    QVERIFY(step->geometry().bottom() < bar->geometry().top());
    QVERIFY(time->geometry().top() > bar->geometry().bottom());
    dialog.setTimeLeft(QString());
    QVERIFY(!time->isVisible());
}

void tst_progressdisplay::barByBytes_data()
{
    QTest::addColumn<qint64>("done");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<int>("value");
    QTest::newRow("not known yet") << qint64(0) << qint64(0) << 0;
    QTest::newRow("a quarter") << 25 * MB << 100 * MB << 250;
    QTest::newRow("beyond 2 GiB") << (qint64(3) << 30) << (qint64(6) << 30) << 500;
    QTest::newRow("all") << 7 * MB << 7 * MB << 1000;
    QTest::newRow("more than foreseen") << 9 * MB << 7 * MB << 1000;
}

void tst_progressdisplay::barByBytes()
{
    QFETCH(qint64, done);
    QFETCH(qint64, total);
    QFETCH(int, value);
    QCOMPARE(bar()->maximum(), JobProgressDisplay::barMaximum);
    m_display->update(at(JobProgress::Step::CopyingTree, "/opt", done, total));
    QCOMPARE(bar()->value(), value);
}

// Ten thousand small files must not mean ten thousand drawings; a new step shows at once.
void tst_progressdisplay::drawnAtMostEvery50ms()
{
    m_display->update(at(JobProgress::Step::CopyingTree, "/opt", 10, 1000));
    QCOMPARE(bar()->value(), 10);
    m_now = 49;
    m_display->update(at(JobProgress::Step::CopyingTree, "/opt", 20, 1000));
    QCOMPARE(bar()->value(), 10);
    m_display->update(at(JobProgress::Step::WritingDump, "appdb", 30, 1000));
    QCOMPARE(m_dialog->step(), QStringLiteral("Writing the dump of appdb"));
    QCOMPARE(bar()->value(), 30);
    m_now = 99;
    m_display->update(at(JobProgress::Step::WritingDump, "appdb", 40, 1000));
    QCOMPARE(bar()->value(), 40);
    // The end is drawn however soon it comes: the next step may not move the bar.
    m_now = 100;
    m_display->update(at(JobProgress::Step::WritingDump, "appdb", 1000, 1000));
    QCOMPARE(bar()->value(), 1000);
}

// A dump larger than foreseen grows the total: the bar waits instead of going back.
void tst_progressdisplay::barNeverGoesBack()
{
    m_display->update(at(JobProgress::Step::WritingDump, "appdb", 80, 100));
    QCOMPARE(bar()->value(), 800);
    m_now = 100;
    m_display->update(at(JobProgress::Step::WritingDump, "appdb", 90, 200));
    QCOMPARE(bar()->value(), 800);
    m_now = 200;
    m_display->update(at(JobProgress::Step::WritingDump, "appdb", 190, 200));
    QCOMPARE(bar()->value(), 950);
}

void tst_progressdisplay::timeLeftOnceItCanBeTold()
{
    const auto copying = [this](qint64 done) {
        m_display->update(at(JobProgress::Step::CopyingTree, "/opt", done, 100 * MB));
    };
    copying(0);
    QCOMPARE(m_dialog->timeLeft(), QString());
    m_now = 2000;
    copying(10 * MB);
    // Too soon to tell.
    QCOMPARE(m_dialog->timeLeft(), QString());
    m_now = 10000;
    copying(25 * MB);
    // 25 MB in 10 s: 75 MB take 30 s more.
    QCOMPARE(m_dialog->timeLeft(), QStringLiteral("About 30 s left"));
    // The line changes at most once a second.
    m_now = 10500;
    copying(50 * MB);
    QCOMPARE(m_dialog->timeLeft(), QStringLiteral("About 30 s left"));
    m_now = 20000;
    copying(50 * MB);
    QCOMPARE(m_dialog->timeLeft(), QStringLiteral("About 20 s left"));
    // Nothing moved since the start: no estimate at all.
    m_display = std::make_unique<JobProgressDisplay>(*m_dialog, [this] { return m_now; });
    copying(50 * MB);
    m_now = 40000;
    copying(50 * MB);
    QCOMPARE(m_dialog->timeLeft(), QString());
}

void tst_progressdisplay::timeLeftGoneWhileSyncing()
{
    m_display->update(at(JobProgress::Step::WritingDump, "Misc", 0, 100 * MB));
    m_now = 60000;
    m_display->update(at(JobProgress::Step::WritingDump, "Misc", 50 * MB, 100 * MB));
    QCOMPARE(m_dialog->timeLeft(), QStringLiteral("About 60 s left"));
    m_now = 60010;
    m_display->update(at(JobProgress::Step::Syncing, QString(), 100 * MB, 100 * MB));
    QCOMPARE(m_dialog->step(), QStringLiteral("Writing to disk"));
    QCOMPARE(m_dialog->timeLeft(), QString());
    QCOMPARE(bar()->value(), 1000);
}

void tst_progressdisplay::pictures_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("English") << "en" << QString();
    QTest::newRow("Chinese") << "zh_CN"
                             << "-zh_CN";
}

// The dialog over the backup page at 800 x 480, as the device shows it during a Backup's
// dump and during Clear Data; every line drawn whole.
void tst_progressdisplay::pictures()
{
    QFETCH(QString, language);
    QFETCH(QString, suffix);
    QVERIFY(installLanguage(language));
    struct English
    {
        ~English() { installLanguage(QStringLiteral("en")); }
    } english;
    QTest::ignoreMessage(QtDebugMsg, "sendordertoprinter_test::~sendordertoprinter_test()");
    sendordertoprinter_test panel;
    panel.resize(800, 480);
    panel.setCurrentPage(2);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    const auto panelTr = [](const char *text) {
        return QCoreApplication::translate("sendordertoprinter_test", text);
    };
    struct Shot
    {
        const char *caption;
        JobProgress::Step step;
        const char *name;
        qint64 done;
        const char *picture;
    };
    const Shot shots[] = {
        {"Backup...", JobProgress::Step::WritingDump, "Misc", 70 * MB, "progress-backup"},
        {"Clear Data...", JobProgress::Step::Deleting, "/opt/Brevin", 40 * MB,
         "progress-clear-data"},
    };
    for (const Shot &shot : shots) {
        MyProgressDialog dialog(panelTr(shot.caption), &panel);
        dialog.setWindowFlags(Qt::WindowStaysOnTopHint);
        dialog.show();
        qint64 now = 0;
        JobProgressDisplay display(dialog, [&now] { return now; });
        display.update(at(shot.step, QString::fromLatin1(shot.name), 0, 100 * MB));
        now = 20000;
        display.update(at(shot.step, QString::fromLatin1(shot.name), shot.done, 100 * MB));
        QVERIFY(!dialog.timeLeft().isEmpty());
        for (const char *name : {"label", "label_step", "label_time"}) {
            auto *line = dialog.findChild<QLabel *>(name);
            QVERIFY(line->isVisible());
            QVERIFY2(line->fontMetrics()
                             .boundingRect(line->contentsRect(),
                                           line->alignment() | Qt::TextWordWrap, line->text())
                             .height() <= line->contentsRect().height(),
                     qPrintable(line->text()));
        }
        saveShot(&panel, QLatin1String(shot.picture) + suffix);
    }
}

QTEST_MAIN(tst_progressdisplay)
#include "tst_progressdisplay.moc"
