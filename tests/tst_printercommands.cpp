#include "printer/printercommands.h"

#include <QtTest>

Q_DECLARE_METATYPE(FieldLayout)

class tst_printercommands : public QObject
{
    Q_OBJECT

private slots:
    void enteredValue_data();
    void enteredValue();
    void valueToFields_data();
    void valueToFields();
    void parameterCommand_data();
    void parameterCommand();
    void isNoAnswer_data();
    void isNoAnswer();
};

void tst_printercommands::enteredValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");

    QTest::newRow("300") << "300" << true << 300;
    QTest::newRow("0") << "0" << true << 0;
    QTest::newRow("leading zeros") << "03" << true << 3;
    QTest::newRow("negative") << "-1" << true << -1;
    QTest::newRow("plus sign") << "+300" << true << 300;
    QTest::newRow("blanks around") << " \t300 " << true << 300;
    QTest::newRow("ideographic space around")
        << QString::fromUtf8("\u3000300\u3000") << true << 300;
    QTest::newRow("largest int") << "2147483647" << true << 2147483647;
    QTest::newRow("smallest int") << "-2147483648" << true << int(-2147483647 - 1);
    QTest::newRow("many leading zeros") << "0000000000000000000000042" << true << 42;
    QTest::newRow("letters") << "abc" << false << 0;
    QTest::newRow("one letter") << "x" << false << 0;
    QTest::newRow("trailing letters") << "300abc" << false << 0;
    QTest::newRow("hex prefix") << "0x12c" << false << 0;
    QTest::newRow("exponent") << "1e2" << false << 0;
    QTest::newRow("decimal point") << "3.0" << false << 0;
    QTest::newRow("beyond int") << "99999999999" << false << 0;
    QTest::newRow("just beyond int") << "2147483648" << false << 0;
    QTest::newRow("just below int") << "-2147483649" << false << 0;
    QTest::newRow("full-width digits") << QString::fromUtf8("３００") << false << 0;
    QTest::newRow("Arabic-Indic digits") << QString::fromUtf8("٣٠٠") << false << 0;
    QTest::newRow("blank inside") << "3 00" << false << 0;
    QTest::newRow("blanks only") << "   " << false << 0;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("sign alone") << "-" << false << 0;
    QTest::newRow("two signs") << "--1" << false << 0;
    QTest::newRow("sign after blank") << "- 1" << false << 0;
}

void tst_printercommands::enteredValue()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(int, value);

    const std::optional<int> entered = ::enteredValue(text);
    QCOMPARE(entered.has_value(), ok);
    if (ok)
        QCOMPARE(*entered, value);
}

void tst_printercommands::valueToFields_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<FieldLayout>("layout");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("p1");
    QTest::addColumn<QString>("p2");

    struct Row
    {
        qint64 value;
        bool ok;
        const char *first[2];  // value-first layout
        const char *second[2]; // value-second layout
    };
    const Row rows[] = {
        {0, true, {"0", "0"}, {"0", "0"}},         {15, true, {"f", "0"}, {"0", "f"}},
        {255, true, {"ff", "0"}, {"0", "ff"}},     {256, true, {"1", "00"}, {"1", "00"}},
        {300, true, {"1", "2c"}, {"1", "2c"}},     {4095, true, {"f", "ff"}, {"f", "ff"}},
        {15000, true, {"3a", "98"}, {"3a", "98"}}, {65535, true, {"ff", "ff"}, {"ff", "ff"}},
        {65536, false, {"", ""}, {"", ""}},        {-1, false, {"", ""}, {"", ""}},
        {-5, false, {"", ""}, {"", ""}},
    };
    for (const Row &row : rows) {
        const QByteArray value = QByteArray::number(row.value);
        QTest::newRow(value + " value-first") << row.value << FieldLayout::ValueFirst << row.ok
                                              << QString(row.first[0]) << QString(row.first[1]);
        QTest::newRow(value + " value-second") << row.value << FieldLayout::ValueSecond << row.ok
                                               << QString(row.second[0]) << QString(row.second[1]);
    }
}

void tst_printercommands::valueToFields()
{
    QFETCH(qint64, value);
    QFETCH(FieldLayout, layout);
    QFETCH(bool, ok);
    QFETCH(QString, p1);
    QFETCH(QString, p2);

    const ParameterFields fields = ::valueToFields(value, layout);
    QCOMPARE(fields.ok, ok);
    if (ok) {
        QCOMPARE(fields.p1, p1);
        QCOMPARE(fields.p2, p2);
    }
}

void tst_printercommands::parameterCommand_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<qint64>("value");
    QTest::addColumn<FieldLayout>("layout");
    QTest::addColumn<QString>("command");

    QTest::newRow("start position 300")
        << "f3" << qint64(300) << FieldLayout::ValueSecond << "aa,f3,1,2c";
    QTest::newRow("start position 255")
        << "f3" << qint64(255) << FieldLayout::ValueSecond << "aa,f3,0,ff";
    QTest::newRow("heating 2") << "fa" << qint64(2) << FieldLayout::ValueFirst << "aa,fa,2,0";
    QTest::newRow("threshold 15000")
        << "f5" << qint64(15000) << FieldLayout::ValueSecond << "aa,f5,3a,98";
    QTest::newRow("threshold 256")
        << "f5" << qint64(256) << FieldLayout::ValueSecond << "aa,f5,1,00";
    QTest::newRow("threshold 65536") << "f5" << qint64(65536) << FieldLayout::ValueSecond << "";
    QTest::newRow("pull back -1") << "f8" << qint64(-1) << FieldLayout::ValueFirst << "";
}

void tst_printercommands::parameterCommand()
{
    QFETCH(QString, code);
    QFETCH(qint64, value);
    QFETCH(FieldLayout, layout);
    QFETCH(QString, command);
    QCOMPARE(::parameterCommand(code, value, layout), command);
}

void tst_printercommands::isNoAnswer_data()
{
    QTest::addColumn<QStringList>("reply");
    QTest::addColumn<bool>("noAnswer");

    QTest::newRow("one empty field") << QStringList{QString()} << true;
    QTest::newRow("no fields") << QStringList() << true;
    QTest::newRow("two empty fields") << QStringList{QString(), QString()} << false;
    QTest::newRow("a zero") << QStringList{"0"} << false;
    QTest::newRow("yes") << QStringList{"c2"} << false;
    QTest::newRow("empty first field") << QStringList{QString(), "c2"} << false;
}

void tst_printercommands::isNoAnswer()
{
    QFETCH(QStringList, reply);
    QFETCH(bool, noAnswer);
    QCOMPARE(::isNoAnswer(reply), noAnswer);
}

QTEST_GUILESS_MAIN(tst_printercommands)
#include "tst_printercommands.moc"
