#ifndef LANGUAGE_H
#define LANGUAGE_H

#include <QLocale>
#include <QString>
#include <QStringList>

// The languages the panel speaks: "en", its own texts, then one per translation compiled
// into the program (":/i18n/servicepanel_<language>.qm"), such as "zh_CN".
QStringList availableLanguages();

struct LanguageOption
{
    bool ok = true;
    QString language; // the language --lang= asked for; empty when the option is not given
    QString error;    // one line for standard error when ok is false
};

// Reads "--lang=<language>" (or "--lang <language>") from the caller's arguments (argv[1] on);
// the last one counts, the first wrong one is refused.
LanguageOption parseLanguageOption(const QStringList &arguments);

// The translation that matches a locale's language and script (zh_CN, zh_SG and zh for
// zh_CN; not zh_TW, which is written in traditional characters), else "en".
QString languageForLocale(const QLocale &locale);

// --lang= wins over the locale, which QLocale::system() reads from LC_ALL, LC_MESSAGES and
// LANG: a device started with LANG=C still gets Chinese with --lang=zh_CN.
QString chooseLanguage(const LanguageOption &option, const QLocale &systemLocale);

// Installs the panel's translation for a language and Qt's own (the message boxes' buttons)
// when Qt's translations are installed; "en" removes both. Returns false when the panel's
// translation could not be loaded, which leaves the panel in English.
bool installLanguage(const QString &language);

#endif
