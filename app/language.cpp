#include "app/language.h"

#include "app/commandline.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

namespace {

const QLatin1String english("en");
const QLatin1String translationFolder(":/i18n");
const QLatin1String translationPrefix("servicepanel_");

QString qtTranslationsPath()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
#else
    return QLibraryInfo::location(QLibraryInfo::TranslationsPath);
#endif
}

} // namespace

QStringList availableLanguages()
{
    QStringList languages{english};
    const QStringList files =
        QDir(translationFolder)
            .entryList({translationPrefix + QLatin1String("*.qm")}, QDir::Files, QDir::Name);
    for (const QString &file : files)
        languages << file.mid(translationPrefix.size()).chopped(3);
    return languages;
}

LanguageOption parseLanguageOption(const QStringList &arguments)
{
    LanguageOption option;
    const QStringList languages = availableLanguages();
    const PanelCommandLine line(arguments);
    QStringList values = line.languages();
    if (line.missingValue() == QLatin1String("lang"))
        values << QString();
    for (const QString &value : values) {
        if (!languages.contains(value)) {
            QString choices = languages.last();
            if (languages.size() > 1)
                choices = languages.mid(0, languages.size() - 1).join(QLatin1String(", ")) +
                          QLatin1String(" or ") + choices;
            option.ok = false;
            option.language.clear();
            option.error = QStringLiteral("servicepanel: unknown language \"%1\"; --lang= takes %2")
                               .arg(value, choices);
            return option;
        }
        option.language = value;
    }
    return option;
}

QString languageForLocale(const QLocale &locale)
{
    for (const QString &language : availableLanguages()) {
        const QLocale translation(language);
        if (language != english && translation.language() == locale.language() &&
            translation.script() == locale.script())
            return language;
    }
    return english;
}

QString chooseLanguage(const LanguageOption &option, const QLocale &systemLocale)
{
    if (!option.language.isEmpty())
        return option.language;
    return languageForLocale(systemLocale);
}

bool installLanguage(const QString &language)
{
    // Children of the application, so that they go with it.
    static QPointer<QTranslator> panel;
    static QPointer<QTranslator> qt;
    for (QPointer<QTranslator> *translator : {&panel, &qt}) {
        if (*translator) {
            QCoreApplication::removeTranslator(*translator);
            delete translator->data();
        }
    }
    if (language == english)
        return true;

    panel = new QTranslator(QCoreApplication::instance());
    if (!panel->load(translationPrefix + language, translationFolder)) {
        delete panel.data();
        return false;
    }
    QCoreApplication::installTranslator(panel);

    // Qt's own texts, such as the OK of a message box, come from Qt's translations when the
    // device has them; without them those few words stay English.
    qt = new QTranslator(QCoreApplication::instance());
    if (qt->load(QLatin1String("qtbase_") + language, qtTranslationsPath()))
        QCoreApplication::installTranslator(qt);
    else
        delete qt.data();
    return true;
}
