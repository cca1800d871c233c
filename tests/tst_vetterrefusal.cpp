#include "app/language.h"
#include "dialogs/outcomebox.h"
#include "maintenance/database/dumpvetting.h"
#include "panel/maintenancetext.h"

#include "testutil.h"
#include "vetterrefusals.h"

#include <QtTest>

// How the panel words the vetter's refusal of a dump: every reason as its box line, in English
// and in Chinese.

namespace {

const Reason lastReason = Reason::CharacterSet;

// Longer than a box shows, with a line end and a tab in it.
const QByteArray longValue = "NO_AUTO_VALUE_ON_ZERO,\nSTRICT_TRANS_TABLES,\tNO_ZERO_DATE";

} // namespace

class tst_vetterrefusal : public QObject
{
    Q_OBJECT

private slots:
    void english_data();
    void english();
    void chinese_data();
    void chinese();
    void everyReasonIsTranslated();
    void restoreBox_data();
    void restoreBox();
};

void tst_vetterrefusal::english_data()
{
    QTest::addColumn<DumpVetter::Refusal>("refusal");
    QTest::addColumn<QString>("text");
    const int limit = DumpVetter::maxUnitBytes;
    QTest::newRow("nothing wrong") << refusal(Reason::None, 0) << QString();
    QTest::newRow("empty") << refusal(Reason::Empty, 0) << "the dump is empty";
    QTest::newRow("ends in a text")
        << refusal(Reason::EndsInText, 0) << "the dump ends inside a quoted text";
    QTest::newRow("ends in a comment")
        << refusal(Reason::EndsInComment, 0) << "the dump ends inside a comment";
    QTest::newRow("incomplete")
        << refusal(Reason::Incomplete, 0)
        << "the dump is incomplete: it does not end with \"-- Dump completed\"";
    QTest::newRow("no statements")
        << refusal(Reason::NoStatements, 0) << "the dump holds no statements";
    QTest::newRow("no header") << refusal(Reason::NoHeader, 1)
                               << "line 1: not a dump written by mysqldump: its header is missing";
    QTest::newRow("NUL") << refusal(Reason::NulByte, 7)
                         << "line 7: a NUL byte, which mysqldump never writes";
    QTest::newRow("long line") << refusal(Reason::LineTooLong, 5, {}, {}, limit)
                               << "line 5: a line longer than 16777216 bytes";
    QTest::newRow("long statement") << refusal(Reason::StatementTooLong, 5, {}, {}, limit)
                                    << "line 5: a statement longer than 16777216 bytes";
    QTest::newRow("ends in a statement")
        << refusal(Reason::EndsInStatement, 6) << "line 6: the dump ends inside a statement";
    QTest::newRow("backslash at a line end")
        << refusal(Reason::BackslashAtLineEnd, 9)
        << "line 9: a backslash at the end of a line in a text";
    QTest::newRow("\\!") << refusal(Reason::BackslashCommand, 12, "!")
                         << "line 12: the mysql client command \\!";
    QTest::newRow("system") << refusal(Reason::ClientCommand, 5, "system")
                            << "line 5: the mysql client command system";
    QTest::newRow("delimiter") << refusal(Reason::Delimiter, 5, "//")
                               << "line 5: a delimiter that mysqldump never writes: //";
    QTest::newRow("delimiter, long") << refusal(Reason::Delimiter, 5, longValue)
                                     << "line 5: a delimiter that mysqldump never writes: "
                                        "NO_AUTO_VALUE_ON_ZERO, STRICT_TRANS_TABL...";
    QTest::newRow("--") << refusal(Reason::DashesWithoutBlank, 5)
                        << "line 5: a -- without a blank after it";
    QTest::newRow("control byte") << refusal(Reason::ControlByte, 5, {}, {}, 0x1b)
                                  << "line 5: the control byte 0x1b outside a text";
    QTest::newRow("control byte 1") << refusal(Reason::ControlByte, 5, {}, {}, 1)
                                    << "line 5: the control byte 0x01 outside a text";
    QTest::newRow("executable comment inside another")
        << refusal(Reason::ExecutableCommentInside, 8)
        << "line 8: an executable comment inside another";
    QTest::newRow("comment inside an executable comment")
        << refusal(Reason::CommentInsideExecutable, 8)
        << "line 8: a comment inside an executable comment";
    QTest::newRow("comment not ended")
        << refusal(Reason::CommentNotEnded, 8) << "line 8: a comment that does not end";
    QTest::newRow("text not ended")
        << refusal(Reason::TextNotEnded, 8) << "line 8: a quoted text that does not end";
    QTest::newRow("executable comment not ended")
        << refusal(Reason::ExecutableCommentNotEnded, 8)
        << "line 8: an executable comment that does not end";
    QTest::newRow("too many words")
        << refusal(Reason::TooManyWords, 5, {}, {}, DumpVetter::streamWindow)
        << "line 5: a statement of more than 65536 words";
    QTest::newRow("other database")
        << refusal(Reason::OtherDatabase, 5, "Misc")
        << "line 5: a name in the database Misc, which is not this dump's";
    QTest::newRow("global") << refusal(Reason::GlobalSetting, 5)
                            << "line 5: a global server setting";
    QTest::newRow("saved setting") << refusal(Reason::SavedSettingUsed, 5, "OLD_SQL_MODE")
                                   << "line 5: the saved setting @OLD_SQL_MODE outside its SET";
    QTest::newRow("forbidden word")
        << refusal(Reason::ForbiddenWord, 5, "GRANT") << "line 5: GRANT, which a dump never holds";
    QTest::newRow("forbidden object")
        << refusal(Reason::ForbiddenObject, 6, "CREATE", "SCHEMA")
        << "line 6: CREATE SCHEMA, which a dump of one database never holds";
    QTest::newRow("forbidden SET") << refusal(Reason::ForbiddenSet, 5, "GLOBAL")
                                   << "line 5: SET GLOBAL, which a dump never holds";
    QTest::newRow("replication") << refusal(Reason::Replication, 5)
                                 << "line 5: replication commands";
    QTest::newRow("directory") << refusal(Reason::FileDirectory, 5, "DATA")
                               << "line 5: DATA DIRECTORY, which puts files outside the server";
    QTest::newRow("engine") << refusal(Reason::StorageEngine, 5, "CONNECT")
                            << "line 5: the storage engine CONNECT";
    QTest::newRow("not mysqldump's")
        << refusal(Reason::NotMysqldump, 5, "SELECT SLEEP (")
        << "line 5: a statement that mysqldump does not write: SELECT SLEEP (";
    QTest::newRow("not mysqldump's, long") << refusal(Reason::NotMysqldump, 5, longValue)
                                           << "line 5: a statement that mysqldump does not write: "
                                              "NO_AUTO_VALUE_ON_ZERO, STRICT_TRANS_TABL...";
    QTest::newRow("CREATE") << refusal(Reason::CreateNotMysqldump, 5, "USER")
                            << "line 5: CREATE USER, which mysqldump does not write";
    QTest::newRow("ALTER DATABASE of another")
        << refusal(Reason::AlterOtherDatabase, 5, "Misc")
        << "line 5: ALTER DATABASE Misc, which is not this dump's";
    QTest::newRow("ALTER DATABASE without a name")
        << refusal(Reason::AlterOtherDatabase, 5)
        << "line 5: ALTER DATABASE , which is not this dump's";
    QTest::newRow("ALTER DATABASE form")
        << refusal(Reason::AlterDatabaseForm, 5)
        << "line 5: an ALTER DATABASE that mysqldump does not write";
    QTest::newRow("SET of")
        << refusal(Reason::SetOfUnknown, 5, "global.general_log_file")
        << "line 5: SET of global.general_log_file, which mysqldump does not write";
    QTest::newRow("SET of a user variable")
        << refusal(Reason::SetOfUserVariable, 5, "OLD_SQL_MODE")
        << "line 5: SET of @OLD_SQL_MODE, which mysqldump does not write";
    QTest::newRow("SET without a value")
        << refusal(Reason::SetWithoutValue, 5) << "line 5: SET without a value";
    QTest::newRow("SET expression")
        << refusal(Reason::SetExpression, 5) << "line 5: SET with an expression";
    QTest::newRow("SET by a number")
        << refusal(Reason::SetByNumber, 5, "SQL_MODE") << "line 5: SQL_MODE set by a number";
    QTest::newRow("SET value") << refusal(Reason::SetValue, 6, "SQL_MODE", "m")
                               << "line 6: SQL_MODE set to m, which mysqldump does not write";
    QTest::newRow("SET value, long")
        << refusal(Reason::SetValue, 6, "SQL_MODE", longValue)
        << "line 6: SQL_MODE set to NO_AUTO_VALUE_ON_ZERO, STRICT_TRANS_TABL..., which "
           "mysqldump does not write";
    QTest::newRow("SET value with a backslash")
        << refusal(Reason::SetValueBackslash, 5) << "line 5: a SET value with a backslash";
    QTest::newRow("SQL mode") << refusal(Reason::SqlMode, 5, "NO_BACKSLASH_ESCAPES")
                              << "line 5: the SQL mode NO_BACKSLASH_ESCAPES";
    QTest::newRow("character set")
        << refusal(Reason::CharacterSet, 5, "gbk") << "line 5: the character set gbk";
    // Bytes that are not UTF-8 show as such, and a "%1" in a name stays as it is.
    QTest::newRow("engine named in bad bytes")
        << refusal(Reason::StorageEngine, 5, "K\xe4se")
        << QStringLiteral("line 5: the storage engine K\ufffdse");
    QTest::newRow("engine named %1")
        << refusal(Reason::StorageEngine, 5, "%1%2") << "line 5: the storage engine %1%2";
}

void tst_vetterrefusal::english()
{
    QFETCH(DumpVetter::Refusal, refusal);
    QFETCH(QString, text);
    QCOMPARE(MaintenanceText::vetterRefusal(refusal), text);
}

void tst_vetterrefusal::chinese_data()
{
    QTest::addColumn<DumpVetter::Refusal>("refusal");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << refusal(Reason::Empty, 0) << QStringLiteral("转储文件为空");
    QTest::newRow("\\!") << refusal(Reason::BackslashCommand, 12, "!")
                         << QStringLiteral("第 12 行：mysql 客户端命令 \\!");
    QTest::newRow("system") << refusal(Reason::ClientCommand, 5, "system")
                            << QStringLiteral("第 5 行：mysql 客户端命令 system");
    QTest::newRow("long line") << refusal(Reason::LineTooLong, 5, {}, {}, DumpVetter::maxUnitBytes)
                               << QStringLiteral("第 5 行：有一行超过 16777216 字节");
}

void tst_vetterrefusal::chinese()
{
    QFETCH(DumpVetter::Refusal, refusal);
    QFETCH(QString, text);
    QVERIFY(installLanguage(QStringLiteral("zh_CN")));
    const QString shown = MaintenanceText::vetterRefusal(refusal);
    installLanguage(QStringLiteral("en"));
    QCOMPARE(shown, text);
}

// Each reason has a Chinese line of its own, with the line number and what it names in it.
void tst_vetterrefusal::everyReasonIsTranslated()
{
    QVERIFY(installLanguage(QStringLiteral("zh_CN")));
    QStringList chinese;
    for (int reason = int(Reason::None) + 1; reason <= int(lastReason); ++reason) {
        const DumpVetter::Refusal shown =
            refusal(Reason(reason), 77, "NAME", "VALUE", DumpVetter::streamWindow);
        chinese << MaintenanceText::vetterRefusal(shown);
    }
    installLanguage(QStringLiteral("en"));
    for (int reason = int(Reason::None) + 1; reason <= int(lastReason); ++reason) {
        const DumpVetter::Refusal shown =
            refusal(Reason(reason), 77, "NAME", "VALUE", DumpVetter::streamWindow);
        const QString english = MaintenanceText::vetterRefusal(shown);
        const QString text = chinese.at(reason - 1);
        QVERIFY2(text != english, qPrintable(english));
        QCOMPARE(text.contains(QLatin1String("77")), english.contains(QLatin1String("77")));
        QCOMPARE(text.contains(QLatin1String("NAME")), english.contains(QLatin1String("NAME")));
        QCOMPARE(text.contains(QLatin1String("VALUE")), english.contains(QLatin1String("VALUE")));
    }
    QCOMPARE(chinese.removeDuplicates(), 0);
}

void tst_vetterrefusal::restoreBox_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("English") << QStringLiteral("en");
    QTest::newRow("Chinese") << QStringLiteral("zh_CN");
}

// The Fail box of a Restore whose dump is refused, as the technician sees it on the device's
// 800 x 480 screen, with one of the longer lines a refusal makes.
void tst_vetterrefusal::restoreBox()
{
    QFETCH(QString, language);
    QVERIFY(installLanguage(language));
    const auto panelText = [](const char *text) {
        return QCoreApplication::translate("sendordertoprinter_test", text);
    };
    JobProblem refused;
    refused.kind = JobProblem::Kind::DumpRefused;
    refused.name = QStringLiteral("appdb.sql");
    refused.refusal =
        refusal(Reason::SetValue, 1204, "SQL_MODE", "NO_AUTO_VALUE_ON_ZERO,\nANSI_QUOTES");
    const QString text =
        MaintenanceText::line(refused) + QLatin1Char('\n') +
        QCoreApplication::translate(
            "MaintenanceText", "/opt and the databases appdb and Misc were left as they were.");
    OutcomeBox box(OutcomeBox::Kind::Failure, panelText("Fail"), panelText("Fail"), text);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    saveShot(&box, QLatin1String("restore-refused-dump-") + language);
    installLanguage(QStringLiteral("en"));
    QVERIFY(box.width() <= 800);
    QVERIFY(box.height() <= 480);
}

QTEST_MAIN(tst_vetterrefusal)
#include "tst_vetterrefusal.moc"
