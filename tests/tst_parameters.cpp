#include "printerpagetest.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

class tst_parameters : public PrinterPageTest
{
    Q_OBJECT

private slots:
    void selectorShowsDescription_data();
    void selectorShowsDescription();
    void selectorSameItemDoesNotRun();
    void selectorWithoutItemEmptiesDescription();

    void sendWithEmptyEntry_data();
    void sendWithEmptyEntry();
    void sendReachesBuilder_data();
    void sendReachesBuilder();
    void sendTwiceSendsTwice();

    void basicParameter_data();
    void basicParameter();
    void heatSection_data();
    void heatSection();
    void sensorThreshold_data();
    void sensorThreshold();
    void sensorThresholdConfirmedBeforeSending();
    void sensorThresholdWithoutEntry();
    void notANumberRefused_data();
    void notANumberRefused();

private:
    void sendRow();
};

static const QString heatNote = QString::fromUtf8(
    "\nValues:【0-3】.\nExplanation：Extra heating interation for this section.\nDefault：0\n"
    "Note：\n1:Only use this function when the printer quality is very bad.2：It is very "
    "unlikely to use any value above 1.");

void tst_parameters::selectorShowsDescription_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("description");

    QTest::newRow("start position")
        << 0
        << "Paramter Name: Start Position\nRange: [0-400], 100 = 6mm\nExplanation: Start position "
           "to the top of the label.\nDefault: 0\nCaution: Please input a reasonable value for "
           "small labels.";
    QTest::newRow("heating") << 1
                             << "Parameter Name: Heating Level\nRange: [1-8]\nExplanation: "
                                "Printer's heating level. Increase as level increase.\nDefault: 2";
    QTest::newRow("speed level") << 2
                                 << "Parameter Name: Printing Speed\nRange: [1-8]\nExplanation: "
                                    "Printing speed. Increase as level increases.\nDefault: 2";
    QTest::newRow("roll back distance")
        << 3
        << "Parameter Name: Pull Back Distance\nRange: [1-40] 100 = 6mm\nExplanation: Paper will "
           "be pulled back a certain distance before printing.It will automatically feed extra "
           "distance of 60.\nDefault: 0";
    QTest::newRow("extra feed") << 4
                                << "Parameter Name: Extra Feed Distance\nRange: [0-255] "
                                   "100=6mm\nExplanation: Extra feed length after "
                                   "printing.\nDefault: 0";
    QTest::newRow("right section") << 5 << "Name: Right printing section setting" + heatNote;
    QTest::newRow("middle section") << 6 << "Name: Center printing section setting" + heatNote;
    QTest::newRow("left section") << 7 << "Name: Left printing section setting" + heatNote;
    QTest::newRow("opto compare value")
        << 8
        << QString::fromUtf8("Name: Internal Sensor Threshold.\nDefault  ：15000.\nExplanation: "
                             "The threshold between the index change of between paper and "
                             "gap.\nNote: The value may have great effect in printing.");
}

void tst_parameters::selectorShowsDescription()
{
    QFETCH(int, index);
    QFETCH(QString, description);

    m_page->choose((index + 1) % 9);
    m_page->click("combox_send"); // empty entry: leaves "No Input Found" in the result box
    m_page->choose(index);

    QCOMPARE(m_page->description(), description);
    QCOMPARE(m_page->result(), QStringLiteral("No Input Found"));
    QVERIFY(m_link->commands().isEmpty());
}

void tst_parameters::selectorSameItemDoesNotRun()
{
    m_page->choose(3);
    m_link->setReply({"f2", "0"});
    m_page->click("label_paper");
    const QString labelDescription = m_page->description();
    QVERIFY(labelDescription.startsWith(QLatin1String("Parameter Name: Label Settings")));

    QSignalSpy changed(m_page->selector(), QOverload<int>::of(&QComboBox::currentIndexChanged));
    m_page->choose(3);

    QCOMPARE(changed.count(), 0);
    QCOMPARE(m_page->description(), labelDescription);
}

void tst_parameters::selectorWithoutItemEmptiesDescription()
{
    m_page->choose(4);
    QVERIFY(!m_page->description().isEmpty());

    m_page->choose(-1);

    QCOMPARE(m_page->description(), QString());
    QCOMPARE(m_page->selector()->count(), 9);
}

void tst_parameters::sendWithEmptyEntry_data()
{
    QTest::addColumn<int>("index");
    for (int index : {0, 1, 5, 8})
        QTest::addRow("item %d", index) << index;
}

void tst_parameters::sendWithEmptyEntry()
{
    QFETCH(int, index);
    m_page->choose(index);
    const QString description = m_page->description();

    m_page->click("combox_send");

    QCOMPARE(m_page->result(), QStringLiteral("No Input Found"));
    QVERIFY(m_link->commands().isEmpty());
    QCOMPARE(m_page->description(), description);
}

void tst_parameters::sendReachesBuilder_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("command");

    QTest::newRow("start position") << 0 << "aa,f3,0,2";
    QTest::newRow("heating") << 1 << "aa,fa,2,0";
    QTest::newRow("speed level") << 2 << "aa,f7,2,0";
    QTest::newRow("roll back distance") << 3 << "aa,f8,2,0";
    QTest::newRow("extra feed") << 4 << "aa,f9,2,0";
    QTest::newRow("right section") << 5 << "aa,fe,1,2,0";
    QTest::newRow("middle section") << 6 << "aa,fe,2,2,0";
    QTest::newRow("left section") << 7 << "aa,fe,3,2,0";
    QTest::newRow("opto compare value") << 8 << "aa,f5,0,2";
}

void tst_parameters::sendReachesBuilder()
{
    QFETCH(int, index);
    QFETCH(QString, command);

    m_page->send(index, QStringLiteral("2"));

    QCOMPARE(m_link->commands(), QStringList{command});
    QCOMPARE(m_page->entry()->text(), QStringLiteral("2"));
}

void tst_parameters::sendTwiceSendsTwice()
{
    m_link->setReply({"f7", "3", "0"});
    m_page->send(2, QStringLiteral("3"));
    m_page->click("combox_send");

    QCOMPARE(m_link->commands(), QStringList({"aa,f7,3,0", "aa,f7,3,0"}));
    QCOMPARE(m_page->result(), QStringLiteral("Speed Level: 3"));
}

void tst_parameters::basicParameter_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("reply");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QString>("result");

    const QStringList nothing;
    QTest::newRow("start position 300") << 0 << "300" << QStringList{"f3", "1", "2c"}
                                        << QStringList{"aa,f3,1,2c"} << "Start Position: 300";
    QTest::newRow("start position 255") << 0 << "255" << QStringList{"f3", "0", "ff"}
                                        << QStringList{"aa,f3,0,ff"} << "Start Position: 255";
    QTest::newRow("start position 0") << 0 << "0" << QStringList{"f3", "0", "0"}
                                      << QStringList{"aa,f3,0,0"} << "Start Position: 0";
    QTest::newRow("start position 400") << 0 << "400" << QStringList{"f3", "1", "90"}
                                        << QStringList{"aa,f3,1,90"} << "Start Position: 400";
    QTest::newRow("start position 500 refused")
        << 0 << "500" << QStringList{"f3", "1", "f4"} << nothing << "Incorrect Parameter Value";
    QTest::newRow("start position answer joined as texts")
        << 0 << "21" << QStringList{"f3", "1", "5"} << QStringList{"aa,f3,0,15"}
        << "Start Position: 21";
    QTest::newRow("start position with blanks around")
        << 0 << " 300 " << QStringList{"f3", "1", "2c"} << QStringList{"aa,f3,1,2c"}
        << "Start Position: 300";
    QTest::newRow("heating 2") << 1 << "2" << QStringList{"fa", "2", "0"}
                               << QStringList{"aa,fa,2,0"} << "Heating Level: 2";
    QTest::newRow("heating 10") << 1 << "10" << QStringList{"fa", "a", "0"}
                                << QStringList{"aa,fa,a,0"} << "Heating Level: 10";
    QTest::newRow("heating 11 refused")
        << 1 << "11" << QStringList{"fa", "b", "0"} << nothing << "Incorrect Parameter Value";
    QTest::newRow("heating 0 refused")
        << 1 << "0" << QStringList{"fa", "0", "0"} << nothing << "Incorrect Parameter Value";
    QTest::newRow("speed 3") << 2 << "3" << QStringList{"f7", "3", "0"} << QStringList{"aa,f7,3,0"}
                             << "Speed Level: 3";
    QTest::newRow("speed 0 refused")
        << 2 << "0" << QStringList{"f7", "0", "0"} << nothing << "Incorrect Parameter Value";
    QTest::newRow("speed 8 refused")
        << 2 << "8" << QStringList{"f7", "8", "0"} << nothing << "Incorrect Parameter Value";
    QTest::newRow("roll back 255") << 3 << "255" << QStringList{"f8", "ff", "0"}
                                   << QStringList{"aa,f8,ff,0"} << "Roll Back Distance: 255";
    QTest::newRow("roll back 256 refused")
        << 3 << "256" << QStringList{"f8", "1", "0"} << nothing << "Incorrect Parameter Value";
    QTest::newRow("roll back -1 refused")
        << 3 << "-1" << QStringList{"f8", "0", "0"} << nothing << "Incorrect Parameter Value";
    QTest::newRow("extra feed 65536 refused")
        << 4 << "65536" << QStringList{"f9", "0", "0"} << nothing << "Incorrect Parameter Value";
    QTest::newRow("printer answers failure") << 1 << "2" << QStringList{"fa", "ff", "ff"}
                                             << QStringList{"aa,fa,2,0"} << "Settings Failed";
    QTest::newRow("failure in capitals is a value")
        << 1 << "2" << QStringList{"fa", "FF", "ff"} << QStringList{"aa,fa,2,0"}
        << "Heating Level: 255";
    QTest::newRow("failure pattern of another code")
        << 4 << "9" << QStringList{"fa", "ff", "ff"} << QStringList{"aa,f9,9,0"}
        << "Extra Feed: 255";
    QTest::newRow("short answer") << 3 << "7" << QStringList{"f8"} << QStringList{"aa,f8,7,0"}
                                  << "Roll Back Distance: 0";
    QTest::newRow("no answer") << 0 << "300" << QStringList{QString()} << QStringList{"aa,f3,1,2c"}
                               << "No answer from printer";
    QTest::newRow("empty reply list")
        << 2 << "1" << QStringList() << QStringList{"aa,f7,1,0"} << "No answer from printer";
}

// The row's parameter chosen, its value typed and Send pressed against a printer that
// answers with the row's reply: the row's commands go out, its result shows, and the
// description stays the chosen parameter's.
void tst_parameters::sendRow()
{
    QFETCH(int, index);
    QFETCH(QString, value);
    QFETCH(QStringList, reply);
    QFETCH(QStringList, sent);
    QFETCH(QString, result);

    m_link->setReply(reply);
    m_page->choose(index);
    const QString description = m_page->description();
    m_page->type(value);
    m_page->click("combox_send");

    QCOMPARE(m_link->commands(), sent);
    QCOMPARE(m_page->result(), result);
    QCOMPARE(m_page->description(), description);
}

void tst_parameters::basicParameter()
{
    sendRow();
    if (QTest::currentTestFailed())
        return;
    QFETCH(QString, value);
    QCOMPARE(m_page->entry()->text(), value);
}

void tst_parameters::heatSection_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("reply");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QString>("result");

    const QString done =
        QStringLiteral("Reset to default heating\n\nPlease check Current Settings");
    const QString refused = QStringLiteral("Setting Failed! Incorrect Parameter Value");
    const QStringList echo{"fe"};
    QTest::newRow("right 2") << 5 << "2" << echo << QStringList{"aa,fe,1,2,0"} << done;
    QTest::newRow("middle 0") << 6 << "0" << echo << QStringList{"aa,fe,2,0,0"} << done;
    QTest::newRow("left 3") << 7 << "3" << echo << QStringList{"aa,fe,3,3,0"} << done;
    QTest::newRow("typed 03 goes out as 3")
        << 7 << "03" << echo << QStringList{"aa,fe,3,3,0"} << done;
    QTest::newRow("4 refused") << 5 << "4" << echo << QStringList() << refused;
    QTest::newRow("-1 refused") << 6 << "-1" << echo << QStringList() << refused;
    QTest::newRow("another code") << 6 << "1" << QStringList{"fa", "1"}
                                  << QStringList{"aa,fe,2,1,0"}
                                  << "Setting Failed! Please check command";
    QTest::newRow("code in capitals") << 6 << "1" << QStringList{"FE"} << QStringList{"aa,fe,2,1,0"}
                                      << "Setting Failed! Please check command";
    QTest::newRow("no answer") << 7 << "1" << QStringList{QString()} << QStringList{"aa,fe,3,1,0"}
                               << "No answer from printer";
}

void tst_parameters::heatSection()
{
    // An earlier confirmation on screen must never stand for this command's outcome.
    m_link->setReply({"fe"});
    m_page->send(5, QStringLiteral("1"));
    QCOMPARE(m_page->result(),
             QStringLiteral("Reset to default heating\n\nPlease check Current Settings"));
    m_link->clearCommands();

    sendRow();
}

void tst_parameters::sensorThreshold_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("reply");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QString>("result");

    const QString done = QStringLiteral("Internel Sensor Threshold has been set.");
    const QStringList echo{"f5", "3a", "98"};
    QTest::newRow("15000") << "15000" << echo << QStringList{"aa,f5,3a,98"} << done;
    QTest::newRow("65535") << "65535" << echo << QStringList{"aa,f5,ff,ff"} << done;
    QTest::newRow("255") << "255" << echo << QStringList{"aa,f5,0,ff"} << done;
    QTest::newRow("256") << "256" << echo << QStringList{"aa,f5,1,00"} << done;
    QTest::newRow("0") << "0" << echo << QStringList{"aa,f5,0,0"} << done;
    QTest::newRow("failure answer is not judged")
        << "15000" << QStringList{"f5", "ff", "ff"} << QStringList{"aa,f5,3a,98"} << done;
    QTest::newRow("-1 refused") << "-1" << echo << QStringList()
                                << "Invalid Input. Must not be negative.";
    QTest::newRow("65536 refused")
        << "65536" << echo << QStringList() << "Incorrect Parameter Value";
    QTest::newRow("no answer") << "15000" << QStringList{QString()} << QStringList{"aa,f5,3a,98"}
                               << "No answer from printer";
}

void tst_parameters::sensorThreshold()
{
    QFETCH(QString, value);
    QFETCH(QStringList, reply);
    QFETCH(QStringList, sent);
    QFETCH(QString, result);

    m_link->setReply(reply);
    m_page->send(8, value);

    QCOMPARE(m_link->commands(), sent);
    QCOMPARE(m_page->result(), result);
    QVERIFY(m_page->description().startsWith(QLatin1String("Name: Internal Sensor Threshold.")));
}

void tst_parameters::sensorThresholdConfirmedBeforeSending()
{
    QString resultWhileSending;
    m_link->onExchange = [this, &resultWhileSending](const QString &) {
        resultWhileSending = m_page->result();
    };
    m_link->setReply({"f5", "3a", "98"});
    m_page->send(8, QStringLiteral("15000"));

    QCOMPARE(resultWhileSending, QStringLiteral("Internel Sensor Threshold has been set."));
}

void tst_parameters::sensorThresholdWithoutEntry()
{
    m_link->setReply({"f5", "0", "0"});
    m_page->choose(8);
    m_page->panel()->sendInsideOptoValue(QStringLiteral("f5"));

    QCOMPARE(m_page->result(), QStringLiteral("No Input Found"));
    QVERIFY(m_link->commands().isEmpty());
}

void tst_parameters::notANumberRefused_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("result");

    const QString refused = QStringLiteral("Incorrect Parameter Value");
    const QString heatRefused = QStringLiteral("Setting Failed! Incorrect Parameter Value");
    const QString texts[] = {"abc", "300abc", "0x12c", "1e2", "99999999999", "３００",
                             "x",   "   ",    "3 00",  "-",   "3.5",         "-99999999999"};
    const struct
    {
        int index;
        const char *name;
    } items[] = {{0, "start position"}, {1, "heating"},      {2, "speed level"},
                 {3, "roll back"},      {4, "extra feed"},   {5, "right section"},
                 {6, "middle section"}, {7, "left section"}, {8, "threshold"}};
    for (const auto &item : items) {
        for (const QString &text : texts) {
            QTest::addRow("%s \"%s\"", item.name, qPrintable(text))
                << item.index << text
                << (item.index >= 5 && item.index <= 7 ? heatRefused : refused);
        }
    }
}

// A typing slip is refused like a value out of range and never reaches the printer.
void tst_parameters::notANumberRefused()
{
    QFETCH(int, index);
    QFETCH(QString, value);
    QFETCH(QString, result);

    m_link->setReply({"f3", "0", "0"});
    m_page->send(index, value);

    QCOMPARE(m_link->commands(), QStringList());
    QCOMPARE(m_page->result(), result);
    QCOMPARE(m_page->entry()->text(), value);
}

QTEST_MAIN(tst_parameters)
#include "tst_parameters.moc"
