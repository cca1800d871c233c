#include "app/commandline.h"

#include <QCoreApplication>

namespace {

const QString page = QStringLiteral("page");
const QString lang = QStringLiteral("lang");

} // namespace

PanelCommandLine::PanelCommandLine(const QStringList &arguments)
{
    QCoreApplication::setApplicationName(QStringLiteral("servicepanel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PANEL_VERSION));
    // Qt's own options are single words after one dash ("-platform"): never letters to split.
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.setApplicationDescription(QStringLiteral(
        "The service panel of the weighing and labelling terminal: back up, restore and clear "
        "the application's data (/opt and the databases appdb and Misc) on a USB stick at "
        "/mnt/usb, power the device off, and test and set up the built-in printer. It runs as "
        "root. Qt's own options (-platform, -font, ...) are passed on to Qt."));
    m_parser.addHelpOption();
    m_parser.addVersionOption();
    m_parser.addOption(QCommandLineOption(
        page, QStringLiteral("The first page: backup (the default), printer or start."),
        QStringLiteral("page")));
    m_parser.addOption(QCommandLineOption(
        lang,
        QStringLiteral("The language: en or zh_CN; without it the locale chooses "
                       "(LC_ALL, LC_MESSAGES, LANG)."),
        QStringLiteral("language")));

    // Unknown options are Qt's: parse() reports them, and they are let be.
    m_parser.parse(QStringList{QStringLiteral("servicepanel")} + arguments);
    if (!arguments.isEmpty()) {
        const QString last = arguments.last();
        for (const QString &name : {page, lang}) {
            if (last == QLatin1String("--") + name || last == QLatin1Char('-') + name)
                m_missingValue = name;
        }
    }
}

bool PanelCommandLine::helpRequested() const
{
    return m_parser.isSet(QStringLiteral("help")) || helpAllRequested();
}

bool PanelCommandLine::helpAllRequested() const
{
    return m_parser.isSet(QStringLiteral("help-all"));
}

bool PanelCommandLine::versionRequested() const
{
    return m_parser.isSet(QStringLiteral("version"));
}

QStringList PanelCommandLine::pages() const
{
    return m_parser.values(page);
}

QStringList PanelCommandLine::languages() const
{
    return m_parser.values(lang);
}

void PanelCommandLine::showHelpOrVersion()
{
    // Told apart from whatever else the command line holds, which process() would refuse.
    const QString asked = helpAllRequested() ? QStringLiteral("--help-all")
                          : helpRequested()  ? QStringLiteral("--help")
                                             : QStringLiteral("--version");
    m_parser.process(QStringList{QStringLiteral("servicepanel"), asked});
    // process() ends the program on each of these.
    ::exit(0);
}
