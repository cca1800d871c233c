#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

// The panel's own options: --page, --lang, --help and --version. The toolkit's options
// (-platform, -font, -display, ...) and anything else unknown are left to Qt, as they always
// were: they are neither refused nor read here.
class PanelCommandLine
{
public:
    // The caller's arguments, argv[1] on.
    explicit PanelCommandLine(const QStringList &arguments);

    bool helpRequested() const;
    bool helpAllRequested() const;
    bool versionRequested() const;
    // Every value given to --page and to --lang, in order; the last counts.
    QStringList pages() const;
    QStringList languages() const;
    // The option whose value is missing ("--page" as the last argument), or empty.
    QString missingValue() const { return m_missingValue; }

    // Prints the help (with Qt's options after --help-all) or the version on standard output
    // and ends the program with status 0. Needs the application object.
    [[noreturn]] void showHelpOrVersion();

private:
    QCommandLineParser m_parser;
    QString m_missingValue;
};

#endif
