#include "app/mainwindow.h"
#include "app/startup.h"
#include "panel/sendordertoprinter_test.h"

#include "ownprogram.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QtTest>

using Entries = QList<QByteArray>;
Q_DECLARE_METATYPE(Entries)

class tst_startup : public QObject
{
    Q_OBJECT

private slots:
    void argumentVector_data();
    void argumentVector();
    void traceLines_data();
    void traceLines();
    void bootFlags_data();
    void bootFlags();
    void startPage_data();
    void startPage();
    void systemRoot_data();
    void systemRoot();
    void programRefusesBadStart_data();
    void programRefusesBadStart();
    void programHelpAndVersion_data();
    void programHelpAndVersion();
    void mainWindowOpensPanel();
    void applicationFont();

private:
    QTemporaryDir m_dir;
};

// What main() builds from `argv` as the C library hands it over.
static ToolkitArguments toolkitArguments(const QStringList &argv, bool swapped,
                                         const QByteArray &qpa)
{
    std::vector<QByteArray> storage;
    std::vector<const char *> pointers;
    for (const QString &argument : argv)
        storage.push_back(argument.toLatin1());
    for (const QByteArray &argument : storage)
        pointers.push_back(argument.constData());
    return buildToolkitArguments(int(pointers.size()), pointers.data(), swapped, qpa);
}

static Entries entriesOf(const ToolkitArguments &arguments)
{
    return Entries(arguments.entries.begin(), arguments.entries.end());
}

void tst_startup::argumentVector_data()
{
    QTest::addColumn<QStringList>("argv");
    QTest::addColumn<bool>("swapped");
    QTest::addColumn<QByteArray>("qpa");
    QTest::addColumn<Entries>("expected");
    QTest::addColumn<bool>("multi");

    const Entries tail = {"-font", "unifont", "-platform", "linuxfb:fb=/dev/fb0"};
    QTest::newRow("no arguments") << QStringList{"/usr/bin/panel"} << false << QByteArray()
                                  << Entries{"/usr/bin/panel"} + tail << false;
    QTest::newRow("Multi does not swap alone")
        << QStringList{"panel", "-Multi"} << false << QByteArray()
        << Entries{"panel", "-Multi"} + tail << true;
    QTest::newRow("lower-case multi") << QStringList{"panel", "multi"} << false << QByteArray()
                                      << Entries{"panel", "multi"} + tail << false;
    QTest::newRow("program path is not tested")
        << QStringList{"/opt/Multi/panel"} << false << QByteArray()
        << Entries{"/opt/Multi/panel"} + tail << false;
    QTest::newRow("caller's own display options first")
        << QStringList{"panel", "-display", ":1", "-platform", "xcb"} << false << QByteArray()
        << Entries{"panel", "-display", ":1", "-platform", "xcb"} + tail << false;
    QTest::newRow("QT_QPA_PLATFORM takes the framebuffer's place")
        << QStringList{"panel"} << false << QByteArray("offscreen")
        << Entries{"panel", "-font", "unifont", "-platform", "offscreen"} << false;
    QTest::newRow("QT_QPA_PLATFORM wins over a swapped display")
        << QStringList{"panel", "Multi"} << true << QByteArray("vnc:size=800x480")
        << Entries{"panel", "Multi", "-font", "unifont", "-platform", "vnc:size=800x480"} << true;
    QTest::newRow("swapped display")
        << QStringList{"panel"} << true << QByteArray()
        << Entries{"panel", "-font", "unifont", "-platform", "linuxfb:fb=/dev/fb2"} << false;
    QTest::newRow("swapped display with Multi")
        << QStringList{"panel", "Multi"} << true << QByteArray()
        << Entries{"panel", "Multi", "-font", "unifont", "-platform", "linuxfb:fb=/dev/fb2"}
        << true;
}

void tst_startup::argumentVector()
{
    QFETCH(QStringList, argv);
    QFETCH(bool, swapped);
    QFETCH(QByteArray, qpa);
    QFETCH(Entries, expected);
    QFETCH(bool, multi);

    const ToolkitArguments result = toolkitArguments(argv, swapped, qpa);
    QCOMPARE(entriesOf(result), expected);
    QCOMPARE(int(result.entries.size()), int(argv.size()) + 4);
    QCOMPARE(result.arguments, argv.mid(1));
    QCOMPARE(result.multi, multi);
}

void tst_startup::traceLines_data()
{
    QTest::addColumn<QStringList>("argv");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("no arguments") << QStringList{"/usr/bin/panel"}
                                  << QStringList{"new_argv= \"/usr/bin/panel\" ",
                                                 "new_argv= \"-font\" ", "new_argv= \"unifont\" ",
                                                 "new_argv= \"-platform\" "};
    QTest::newRow("two arguments") << QStringList{"panel", "a", "b"}
                                   << QStringList{"new_argv= \"panel\" ", "new_argv= \"a\" ",
                                                  "new_argv= \"b\" ", "new_argv= \"-font\" "};
    QTest::newRow("three arguments") << QStringList{"panel", "a", "b", "c", "d"}
                                     << QStringList{"new_argv= \"panel\" ", "new_argv= \"a\" ",
                                                    "new_argv= \"b\" ", "new_argv= \"c\" "};
}

void tst_startup::traceLines()
{
    QFETCH(QStringList, argv);
    QFETCH(QStringList, expected);
    const ToolkitArguments result = toolkitArguments(argv, false, QByteArray());
    QCOMPARE(toolkitTraceLines(result.entries), expected);
}

void tst_startup::bootFlags_data()
{
    QTest::addColumn<QByteArray>("cmdline");
    QTest::addColumn<bool>("swapped");
    QTest::addColumn<bool>("doubleTouch");

    QTest::newRow("plain") << QByteArray("console=ttyS0 root=/dev/mmcblk0p2\n") << false << false;
    QTest::newRow("swap") << QByteArray("quiet DISPLAY_SWAP rw\n") << true << false;
    QTest::newRow("double touch") << QByteArray("DOUBLE_TOUCHSCREEN\n") << false << true;
    QTest::newRow("both") << QByteArray("DOUBLE_TOUCHSCREEN=1 xDISPLAY_SWAPx") << true << true;
    QTest::newRow("lower case") << QByteArray("display_swap double_touchscreen") << false << false;
}

void tst_startup::bootFlags()
{
    QFETCH(QByteArray, cmdline);
    QFETCH(bool, swapped);
    QFETCH(bool, doubleTouch);

    const QString path = m_dir.filePath(QStringLiteral("cmdline"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(cmdline);
    file.close();

    isDisplaySwaped = !swapped;
    isDoubleTouchScreen = !doubleTouch;
    getUBootCmd(path);
    QCOMPARE(isDisplaySwaped, swapped);
    QCOMPARE(isDoubleTouchScreen, doubleTouch);

    // An unreadable file leaves both flags false.
    getUBootCmd(m_dir.filePath(QStringLiteral("missing")));
    QCOMPARE(isDisplaySwaped, false);
    QCOMPARE(isDoubleTouchScreen, false);
}

void tst_startup::startPage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("page");

    QTest::newRow("default") << QStringList() << true << "widget_backup";
    QTest::newRow("backup") << QStringList{"--page=backup"} << true << "widget_backup";
    QTest::newRow("printer") << QStringList{"--page=printer"} << true << "widget_printer";
    QTest::newRow("start") << QStringList{"--page=start"} << true << "widget_mainUI";
    QTest::newRow("among others") << QStringList{"-font", "x", "--page=printer"} << true
                                  << "widget_printer";
    QTest::newRow("unknown") << QStringList{"--page=settings"} << false << "";
    QTest::newRow("empty") << QStringList{"--page="} << false << "";
    QTest::newRow("capitals") << QStringList{"--page=Printer"} << false << "";
    QTest::newRow("value as the next argument")
        << QStringList{"--page", "printer"} << true << "widget_printer";
    QTest::newRow("the last counts")
        << QStringList{"--page=printer", "--page=start"} << true << "widget_mainUI";
    QTest::newRow("bad before good")
        << QStringList{"--page=settings", "--page=printer"} << false << "";
    QTest::newRow("value missing") << QStringList{"--page"} << false << "";
    QTest::newRow("Qt's options around it")
        << QStringList{"-platform", "offscreen",      "-stylesheet",      "x.qss",
                       "-reverse",  "--page=printer", "-qwindowgeometry", "800x480"}
        << true << "widget_printer";
    QTest::newRow("not the option")
        << QStringList{"--pages=printer", "page=printer"} << true << "widget_backup";
}

void tst_startup::startPage()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, ok);
    QFETCH(QString, page);

    const StartOptions options = parseStartOptions(arguments);
    QCOMPARE(options.ok, ok);
    if (!ok) {
        QVERIFY(options.error.contains(QLatin1String("backup, printer or start")));
        QVERIFY(!options.error.contains(QLatin1Char('\n')));
        return;
    }
    sendordertoprinter_test panel;
    panel.setCurrentPage(startPageIndex(options.page));
    auto *stack = panel.findChild<QStackedWidget *>(QStringLiteral("stackedWidget"));
    QVERIFY(stack);
    QCOMPARE(stack->currentWidget()->objectName(), page);
}

void tst_startup::systemRoot_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("isSet");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("root");

    const QString tmp = QDir(m_dir.path()).canonicalPath();
    QTest::newRow("unset") << QByteArray() << false << true << QString();
    QTest::newRow("existing folder") << tmp.toLocal8Bit() << true << true << tmp;
    QTest::newRow("trailing slash") << (tmp + "/").toLocal8Bit() << true << true << tmp;
    QTest::newRow("relative") << QByteArray("sysroot") << true << false << QString();
    QTest::newRow("empty") << QByteArray() << true << false << QString();
    QTest::newRow("missing") << (tmp + "/nothing-here").toLocal8Bit() << true << false << QString();
    QTest::newRow("a blank") << QByteArray("/tmp/a b") << true << false << QString();
    QTest::newRow("shell characters") << QByteArray("/tmp;rm -rf x") << true << false << QString();
    QTest::newRow("a quote") << QByteArray("/tmp/\"x") << true << false << QString();

    // Matched whole and made canonical: nothing may lead the root back to "/".
    QDir(tmp).mkpath(QStringLiteral("sub"));
    QFile::link(QStringLiteral("/"), tmp + "/to-root");
    QFile::link(tmp + "/sub", tmp + "/to-sub");
    QTest::newRow("trailing newline") << (tmp + "\n").toLocal8Bit() << true << false << QString();
    QTest::newRow("newline, then more")
        << (tmp + "\n/etc").toLocal8Bit() << true << false << QString();
    QTest::newRow("the root folder") << QByteArray("/") << true << false << QString();
    QTest::newRow("doubled slash") << QByteArray("//") << true << false << QString();
    QTest::newRow("up to the root")
        << (tmp + "/../../../../../../../../../..").toLocal8Bit() << true << false << QString();
    QTest::newRow("link to the root")
        << (tmp + "/to-root").toLocal8Bit() << true << false << QString();
    QTest::newRow("link to a folder")
        << (tmp + "/to-sub").toLocal8Bit() << true << true << tmp + "/sub";
    QTest::newRow("dot dot inside") << (tmp + "/sub/..").toLocal8Bit() << true << true << tmp;
}

void tst_startup::systemRoot()
{
    QFETCH(QByteArray, value);
    QFETCH(bool, isSet);
    QFETCH(bool, ok);
    QFETCH(QString, root);

    const SystemRootCheck check = checkSystemRoot(value, isSet);
    QCOMPARE(check.ok, ok);
    if (ok)
        QCOMPARE(check.root, root);
    else
        QVERIFY(!check.error.isEmpty());
}

void tst_startup::programRefusesBadStart_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("sysroot");
    QTest::addColumn<QString>("message");

    QTest::newRow("bad page") << QStringList{"--page=settings"} << QByteArray()
                              << "backup, printer or start";
    QTest::newRow("relative sysroot")
        << QStringList() << QByteArray("relative/root") << "PANEL_SYSROOT";
    QTest::newRow("sysroot resolves to /")
        << QStringList() << QByteArray("/tmp/..") << "PANEL_SYSROOT resolves";
    QTest::newRow("sysroot with a trailing newline")
        << QStringList() << QByteArray("/tmp\n") << "PANEL_SYSROOT";
}

void tst_startup::programRefusesBadStart()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, sysroot);
    QFETCH(QString, message);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (!sysroot.isEmpty())
        environment.insert(QStringLiteral("PANEL_SYSROOT"), QString::fromLocal8Bit(sysroot));
    OwnProgram program;
    QVERIFY(program.start(QStringLiteral(SERVICEPANEL_EXE), arguments, environment));
    QVERIFY(program.waitForFinished(30000));
    QVERIFY(program.exitedNormally());
    QCOMPARE(program.exitCode(), 2);
    const QString errors = QString::fromLocal8Bit(program.readAllStandardError());
    QCOMPARE(errors.count(QLatin1Char('\n')), 1);
    QVERIFY2(errors.contains(message), qPrintable(errors));
    // It stops before the toolkit starts: no trace lines, no window.
    QVERIFY(!errors.contains(QLatin1String("new_argv=")));
}

void tst_startup::programHelpAndVersion_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("printed");

    const QStringList help{"--page", "--lang", "backup", "zh_CN", "--version", "runs as root"};
    QTest::newRow("--help") << QStringList{"--help"} << help;
    QTest::newRow("-h") << QStringList{"-h"} << help;
    QTest::newRow("--help among others")
        << QStringList{"-platform", "offscreen", "--page=printer", "--help"} << help;
    QTest::newRow("--help before a bad page") << QStringList{"--help", "--page=settings"} << help;
    QTest::newRow("--help-all") << QStringList{"--help-all"} << QStringList{"--page", "-platform"};
    QTest::newRow("--version") << QStringList{"--version"} << QStringList{"servicepanel 1.0"};
    QTest::newRow("-v") << QStringList{"-v"} << QStringList{"servicepanel 1.0"};
}

// Printed on standard output, status 0, without a display or a panel.
void tst_startup::programHelpAndVersion()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, printed);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // A platform that cannot start: the help must not need one.
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("no-such-platform"));
    OwnProgram program;
    QVERIFY(program.start(QStringLiteral(SERVICEPANEL_EXE), arguments, environment));
    QVERIFY(program.waitForFinished(30000));
    QVERIFY(program.exitedNormally());
    const QString output = QString::fromLocal8Bit(program.readAllStandardOutput());
    const QString errors = QString::fromLocal8Bit(program.readAllStandardError());
    QVERIFY2(program.exitCode() == 0, qPrintable(errors));
    for (const QString &text : printed)
        QVERIFY2(output.contains(text), qPrintable(output));
    QVERIFY2(!errors.contains(QLatin1String("new_argv=")), qPrintable(errors));
}

void tst_startup::mainWindowOpensPanel()
{
    MainWindow window;
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    QCOMPARE(window.minimumSize(), screen);
    QCOMPARE(window.maximumSize(), screen);
    QVERIFY(!window.isVisible());
    QCOMPARE(window.windowTitle(), QStringLiteral("MainWindow"));

    sendordertoprinter_test *panel = window.panel();
    QVERIFY(panel);
    QVERIFY(!panel->parent());
    QVERIFY(panel->isVisible());
    QCOMPARE(panel->geometry(), QRect(QPoint(0, 0), screen));
    QCOMPARE(panel->windowFlags() & Qt::FramelessWindowHint, Qt::FramelessWindowHint);

    // A second call forgets the first panel without closing it.
    window.openTestUi();
    QVERIFY(window.panel() != panel);
    QVERIFY(panel->isVisible());
    delete window.panel();
    delete panel;
}

void tst_startup::applicationFont()
{
    installApplicationFont();
    QCOMPARE(QApplication::font().family(), QStringLiteral("DejaVu Sans"));
    QCOMPARE(QApplication::font().pointSize(), 15);
    QVERIFY(!QApplication::font().bold());
    QVERIFY(!QApplication::font().italic());
    QPushButton button;
    QCOMPARE(button.font().family(), QStringLiteral("DejaVu Sans"));
}

QTEST_MAIN(tst_startup)
#include "tst_startup.moc"
