#include "app/language.h"
#include "ownprogram.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcessEnvironment>
#include <QThread>
#include <QtTest>

// How the panel picks its language: the --lang= option, the locale, and the program itself
// started with both.
class tst_language : public QObject
{
    Q_OBJECT

private slots:
    void translationsCompiledIn();
    void option_data();
    void option();
    void locale_data();
    void locale();
    void optionWinsOverLocale_data();
    void optionWinsOverLocale();
    void programChooses_data();
    void programChooses();
    void programRefusesBadLanguage_data();
    void programRefusesBadLanguage();
    void installAndRemove();
};

static QProcessEnvironment cleanEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"LANG", "LANGUAGE", "LC_ALL", "LC_MESSAGES", "LC_CTYPE"})
        environment.remove(QLatin1String(name));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("default.debug=true"));
    return environment;
}

void tst_language::translationsCompiledIn()
{
    QCOMPARE(availableLanguages(), (QStringList{"en", "zh_CN"}));
}

void tst_language::option_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("language");

    QTest::newRow("none") << QStringList() << true << "";
    QTest::newRow("chinese") << QStringList{"--lang=zh_CN"} << true << "zh_CN";
    QTest::newRow("english") << QStringList{"--lang=en"} << true << "en";
    QTest::newRow("among others") << QStringList{"--page=printer", "--lang=zh_CN", "-font", "x"}
                                  << true << "zh_CN";
    QTest::newRow("the last counts") << QStringList{"--lang=zh_CN", "--lang=en"} << true << "en";
    QTest::newRow("empty") << QStringList{"--lang="} << false << "";
    QTest::newRow("unknown") << QStringList{"--lang=de"} << false << "";
    QTest::newRow("lower case region") << QStringList{"--lang=zh_cn"} << false << "";
    QTest::newRow("language alone") << QStringList{"--lang=zh"} << false << "";
    QTest::newRow("with encoding") << QStringList{"--lang=zh_CN.UTF-8"} << false << "";
    QTest::newRow("bad after good") << QStringList{"--lang=zh_CN", "--lang=xx"} << false << "";
    QTest::newRow("not the option") << QStringList{"--language=de", "lang=de"} << true << "";
}

void tst_language::option()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, ok);
    QFETCH(QString, language);

    const LanguageOption option = parseLanguageOption(arguments);
    QCOMPARE(option.ok, ok);
    QCOMPARE(option.language, language);
    if (ok) {
        QVERIFY(option.error.isEmpty());
    } else {
        QVERIFY2(option.error.contains(QLatin1String("--lang= takes en or zh_CN")),
                 qPrintable(option.error));
        QVERIFY(!option.error.contains(QLatin1Char('\n')));
    }
}

void tst_language::locale_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("language");

    QTest::newRow("C") << "C"
                       << "en";
    QTest::newRow("English") << "en_US"
                             << "en";
    QTest::newRow("German") << "de_DE"
                            << "en";
    QTest::newRow("mainland China") << "zh_CN"
                                    << "zh_CN";
    QTest::newRow("Singapore, simplified") << "zh_SG"
                                           << "zh_CN";
    QTest::newRow("Chinese alone") << "zh"
                                   << "zh_CN";
    QTest::newRow("script named") << "zh-Hans-CN"
                                  << "zh_CN";
    QTest::newRow("Taiwan, traditional") << "zh_TW"
                                         << "en";
    QTest::newRow("Japanese") << "ja_JP"
                              << "en";
}

void tst_language::locale()
{
    QFETCH(QString, locale);
    QFETCH(QString, language);
    QCOMPARE(languageForLocale(QLocale(locale)), language);
    QCOMPARE(chooseLanguage(LanguageOption(), QLocale(locale)), language);
}

void tst_language::optionWinsOverLocale_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("language");

    QTest::newRow("Chinese on a C device") << "zh_CN"
                                           << "C"
                                           << "zh_CN";
    QTest::newRow("English on a Chinese device") << "en"
                                                 << "zh_CN"
                                                 << "en";
}

void tst_language::optionWinsOverLocale()
{
    QFETCH(QString, option);
    QFETCH(QString, locale);
    QFETCH(QString, language);
    const LanguageOption parsed = parseLanguageOption({QLatin1String("--lang=") + option});
    QVERIFY(parsed.ok);
    QCOMPARE(chooseLanguage(parsed, QLocale(locale)), language);
}

// The program itself, started as a device starts it: QLocale::system() reads the
// environment, and the choice shows on the debug channel.
void tst_language::programChooses_data()
{
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("line");

    QTest::newRow("nothing set") << QStringList() << QStringList()
                                 << "language: en (from the locale C)";
    QTest::newRow("LANG=C") << QStringList{"LANG=C"} << QStringList()
                            << "language: en (from the locale C)";
    QTest::newRow("LANG Chinese") << QStringList{"LANG=zh_CN.UTF-8"} << QStringList()
                                  << "language: zh_CN (from the locale zh_CN)";
    QTest::newRow("LANG English") << QStringList{"LANG=en_US.UTF-8"} << QStringList()
                                  << "language: en (from the locale en_US)";
    QTest::newRow("LC_MESSAGES over LANG")
        << QStringList{"LANG=en_US.UTF-8", "LC_MESSAGES=zh_CN.UTF-8"} << QStringList()
        << "language: zh_CN (from the locale zh_CN)";
    QTest::newRow("LC_ALL over LANG") << QStringList{"LANG=zh_CN.UTF-8", "LC_ALL=C"}
                                      << QStringList() << "language: en (from the locale C)";
    QTest::newRow("LC_ALL over LC_MESSAGES")
        << QStringList{"LC_MESSAGES=C", "LC_ALL=zh_CN.UTF-8"} << QStringList()
        << "language: zh_CN (from the locale zh_CN)";
    // LANGUAGE, the list of languages to prefer, counts unless the locale is C, as in gettext.
    QTest::newRow("LANGUAGE") << QStringList{"LANG=en_US.UTF-8", "LANGUAGE=zh_CN:en"}
                              << QStringList() << "language: zh_CN (from the locale zh_CN)";
    QTest::newRow("LANGUAGE on a C device") << QStringList{"LANG=C", "LANGUAGE=zh_CN"}
                                            << QStringList() << "language: en (from the locale C)";
    QTest::newRow("traditional") << QStringList{"LANG=zh_TW.UTF-8"} << QStringList()
                                 << "language: en (from the locale zh_TW)";
    QTest::newRow("--lang on a C device")
        << QStringList{"LANG=C"} << QStringList{"--lang=zh_CN"} << "language: zh_CN (from --lang)";
    QTest::newRow("--lang=en on a Chinese device")
        << QStringList{"LANG=zh_CN.UTF-8"} << QStringList{"--lang=en"}
        << "language: en (from --lang)";
}

void tst_language::programChooses()
{
    QFETCH(QStringList, environment);
    QFETCH(QStringList, arguments);
    QFETCH(QString, line);

    QProcessEnvironment processEnvironment = cleanEnvironment();
    for (const QString &setting : environment)
        processEnvironment.insert(setting.section(QLatin1Char('='), 0, 0),
                                  setting.section(QLatin1Char('='), 1));
    OwnProgram program;
    QVERIFY(program.start(QStringLiteral(SERVICEPANEL_EXE), arguments, processEnvironment));

    // The panel runs until it is stopped: read until the line has come, then end it.
    QString errors;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const bool running = program.isRunning();
        errors = QString::fromLocal8Bit(program.readAllStandardError());
        if (errors.contains(QLatin1String("language: ")) || !running || waited.elapsed() > 30000)
            break;
        QThread::msleep(20);
    }
    program.kill();
    errors = QString::fromLocal8Bit(program.readAllStandardError());
    const QStringList lines = errors.split(QLatin1Char('\n'));
    QVERIFY2(lines.contains(line), qPrintable(errors));
}

void tst_language::programRefusesBadLanguage_data()
{
    QTest::addColumn<QStringList>("arguments");

    QTest::newRow("unknown") << QStringList{"--lang=fr"};
    QTest::newRow("empty") << QStringList{"--lang="};
    QTest::newRow("locale spelling") << QStringList{"--lang=zh_CN.UTF-8"};
}

void tst_language::programRefusesBadLanguage()
{
    QFETCH(QStringList, arguments);

    QProcessEnvironment environment = cleanEnvironment();
    environment.insert(QStringLiteral("LANG"), QStringLiteral("zh_CN.UTF-8"));
    OwnProgram program;
    QVERIFY(program.start(QStringLiteral(SERVICEPANEL_EXE), arguments, environment));
    QVERIFY(program.waitForFinished(30000));
    QVERIFY(program.exitedNormally());
    QCOMPARE(program.exitCode(), 2);
    const QString errors = QString::fromLocal8Bit(program.readAllStandardError());
    QCOMPARE(errors.count(QLatin1Char('\n')), 1);
    QVERIFY2(errors.contains(QLatin1String("--lang= takes en or zh_CN")), qPrintable(errors));
    // It stops before the toolkit starts: no trace lines, no window.
    QVERIFY(!errors.contains(QLatin1String("new_argv=")));
    QVERIFY(!errors.contains(QLatin1String("language: ")));
}

void tst_language::installAndRemove()
{
    const char *context = "sendordertoprinter_test";
    QVERIFY(installLanguage(QStringLiteral("zh_CN")));
    QCOMPARE(QCoreApplication::translate(context, "Backup"), QStringLiteral("备份"));
    // Installing again replaces, it does not stack.
    QVERIFY(installLanguage(QStringLiteral("zh_CN")));
    QVERIFY(installLanguage(QStringLiteral("en")));
    QCOMPARE(QCoreApplication::translate(context, "Backup"), QStringLiteral("Backup"));
    QVERIFY(!installLanguage(QStringLiteral("xx")));
    QCOMPARE(QCoreApplication::translate(context, "Backup"), QStringLiteral("Backup"));
}

QTEST_GUILESS_MAIN(tst_language)
#include "tst_language.moc"
