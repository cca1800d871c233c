#include "maintenance/database/dumpvetting.h"

#include <QCoreApplication>
#include <QHash>
#include <QList>
#include <QRegularExpression>

#include <algorithm>

namespace {

// Texts for the panel's boxes, translated in the panel's context.
struct PanelText
{
    Q_DECLARE_TR_FUNCTIONS(sendordertoprinter_test)
};

// What newer mysqldump writes first: "\-" switches a client that knows it to sandbox mode.
const QByteArray sandboxLine = "/*M!999999\\- enable the sandbox mode */";

// The mysql client's own commands, which it takes from the start of a line.
const QList<QByteArray> clientCommands = {
    "?",
    "charset",
    "clear",
    "connect",
    "delimiter",
    "edit",
    "ego",
    "exit",
    "go",
    "help",
    "nopager",
    "notee",
    "nowarning",
    "pager",
    "print",
    "prompt",
    "quit",
    "rehash",
    "source",
    "status",
    "system",
    "tee",
    "use",
    "warnings",
    "sandbox",
    "query_attributes",
    "resetconnection",
    "ssl_session_data_print",
};

// Those that run programs, touch files, switch the connection or split statements: refused
// at the start of any line, in case a client reads its commands there too (-G).
const QList<QByteArray> dangerousAnywhere = {"system",  "source",  "tee",       "pager", "edit",
                                             "connect", "charset", "delimiter", "go",    "ego"};

// Never in a dump of one database's tables, views, routines and events.
const QSet<QByteArray> forbiddenWords = {
    "GRANT",   "REVOKE",    "LOAD",    "LOAD_FILE",  "OUTFILE",  "DUMPFILE",
    "SONAME",  "PREPARE",   "EXECUTE", "DEALLOCATE", "SHUTDOWN", "KILL",
    "INSTALL", "UNINSTALL", "BINLOG",  "PURGE",      "FLUSH",    "IDENTIFIED",
};

// Objects that CREATE, DROP, ALTER or RENAME must not name.
const QSet<QByteArray> forbiddenObjects = {"DATABASE", "SCHEMA",     "USER",   "ROLE",
                                           "SERVER",   "TABLESPACE", "LOGFILE"};

// Storage engines that keep their data in the server's own files.
const QSet<QByteArray> allowedEngines = {"INNODB",   "MYISAM",     "ARIA",    "MEMORY",
                                         "HEAP",     "CSV",        "ARCHIVE", "BLACKHOLE",
                                         "SEQUENCE", "MRG_MYISAM", "MERGE"};

// Session settings that mysqldump saves, sets and restores.
const QSet<QByteArray> allowedVariables = {
    "CHARACTER_SET_CLIENT",
    "CHARACTER_SET_RESULTS",
    "COLLATION_CONNECTION",
    "TIME_ZONE",
    "UNIQUE_CHECKS",
    "FOREIGN_KEY_CHECKS",
    "SQL_MODE",
    "SQL_NOTES",
    "NOTE_VERBOSITY",
    "AUTOCOMMIT",
    "CHECK_CONSTRAINT_CHECKS",
};

// Character sets in which a quote or a backslash byte is always that character: with
// others (gbk, sjis, big5...) the server would read the quotes differently from us.
const QSet<QByteArray> safeCharsets = {"UTF8",  "UTF8MB3", "UTF8MB4", "LATIN1",
                                       "ASCII", "BINARY",  "DEFAULT"};

// SQL modes that leave quotes and backslashes as we read them (not NO_BACKSLASH_ESCAPES,
// ANSI_QUOTES, nor ANSI, DB2, MAXDB, MSSQL, ORACLE or POSTGRESQL, which include it).
const QSet<QByteArray> allowedModes = {"REAL_AS_FLOAT",
                                       "PIPES_AS_CONCAT",
                                       "IGNORE_SPACE",
                                       "IGNORE_BAD_TABLE_OPTIONS",
                                       "ONLY_FULL_GROUP_BY",
                                       "NO_UNSIGNED_SUBTRACTION",
                                       "NO_DIR_IN_CREATE",
                                       "NO_AUTO_VALUE_ON_ZERO",
                                       "NO_TABLE_OPTIONS",
                                       "NO_FIELD_OPTIONS",
                                       "NO_KEY_OPTIONS",
                                       "MYSQL323",
                                       "MYSQL40",
                                       "NO_AUTO_CREATE_USER",
                                       "HIGH_NOT_PRECEDENCE",
                                       "NO_ENGINE_SUBSTITUTION",
                                       "PAD_CHAR_TO_FULL_LENGTH",
                                       "EMPTY_STRING_IS_NULL",
                                       "SIMULTANEOUS_ASSIGNMENT",
                                       "TIME_ROUND_FRACTIONAL",
                                       "STRICT_TRANS_TABLES",
                                       "STRICT_ALL_TABLES",
                                       "NO_ZERO_IN_DATE",
                                       "NO_ZERO_DATE",
                                       "ALLOW_INVALID_DATES",
                                       "ERROR_FOR_DIVISION_BY_ZERO",
                                       "TRADITIONAL"};

// The user variables in which mysqldump saves a setting, and the setting each one keeps. A
// setting may be given back only from its own variable, and nothing else may set these.
const QHash<QByteArray, QByteArray> savedSettings = {
    {"OLD_CHARACTER_SET_CLIENT", "CHARACTER_SET_CLIENT"},
    {"OLD_CHARACTER_SET_RESULTS", "CHARACTER_SET_RESULTS"},
    {"OLD_COLLATION_CONNECTION", "COLLATION_CONNECTION"},
    {"OLD_TIME_ZONE", "TIME_ZONE"},
    {"OLD_UNIQUE_CHECKS", "UNIQUE_CHECKS"},
    {"OLD_FOREIGN_KEY_CHECKS", "FOREIGN_KEY_CHECKS"},
    {"OLD_SQL_MODE", "SQL_MODE"},
    {"OLD_SQL_NOTES", "SQL_NOTES"},
    {"OLD_NOTE_VERBOSITY", "NOTE_VERBOSITY"},
    {"OLD_AUTOCOMMIT", "AUTOCOMMIT"},
    {"SAVED_CS_CLIENT", "CHARACTER_SET_CLIENT"},
    {"SAVED_CS_RESULTS", "CHARACTER_SET_RESULTS"},
    {"SAVED_COL_CONNECTION", "COLLATION_CONNECTION"},
    {"SAVED_SQL_MODE", "SQL_MODE"},
    {"SAVED_TIME_ZONE", "TIME_ZONE"},
    {"SAVE_TIME_ZONE", "TIME_ZONE"},
};

// Settings that mysqldump sets to 0 or 1.
const QSet<QByteArray> switchSettings = {"UNIQUE_CHECKS", "FOREIGN_KEY_CHECKS",
                                         "SQL_NOTES",     "NOTE_VERBOSITY",
                                         "AUTOCOMMIT",    "CHECK_CONSTRAINT_CHECKS"};

// Where the client and the server agree that "--" starts a comment.
bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

bool isSpace(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

bool isWordByte(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' ||
           u == '$' || u >= 0x80;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

QByteArray upper(const QByteArray &text)
{
    return text.toUpper();
}

// A part of a statement without a copy: the statement outlives its words.
QByteArray rawView(const QByteArray &text, int from, int size)
{
    return QByteArray::fromRawData(text.constData() + from, size);
}

// For a box: printable, short.
QString shown(const QByteArray &text)
{
    QByteArray cut = text.left(40);
    for (char &c : cut) {
        if (isSpace(c))
            c = ' ';
    }
    QString result = QString::fromUtf8(cut);
    if (text.size() > 40)
        result += QStringLiteral("...");
    return result;
}

} // namespace

struct DumpVetter::Token
{
    enum class Kind { Word, Ident, String, DString, Number, Var, SysVar, Punct };
    Kind kind = Kind::Punct;
    QByteArray text;  // the name or content without its quotes
    QByteArray upper; // for words, numbers and variables
    int line = 0;
    int offset = 0; // where it starts and ends in the statement's text
    int end = 0;

    bool is(const char *word) const { return kind == Kind::Word && upper == word; }
    bool isPunct(char c) const { return kind == Kind::Punct && text.size() == 1 && text[0] == c; }
    bool isName() const
    {
        return kind == Kind::Word || kind == Kind::Ident || kind == Kind::DString ||
               kind == Kind::Number;
    }
};

DumpVetter::DumpVetter(const QString &database, const QStringList &foreignDatabases)
    : m_database(database.toUtf8())
{
    for (const QString &name : foreignDatabases)
        m_foreign.insert(upper(name.toUtf8()));
    m_foreign.remove(upper(m_database));
    // The server's own schemas are never part of an application's dump.
    for (const char *name : {"MYSQL", "INFORMATION_SCHEMA", "PERFORMANCE_SCHEMA", "SYS"})
        m_foreign.insert(name);
}

void DumpVetter::refuse(const QString &problem)
{
    if (m_problem.isEmpty())
        m_problem = problem;
}

void DumpVetter::refuseAt(int line, const QString &problem)
{
    refuse(PanelText::tr("line %1: %2").arg(line).arg(problem));
}

void DumpVetter::pass(const QByteArray &text, QByteArray *loadable)
{
    if (loadable)
        loadable->append(text);
}

bool DumpVetter::feed(const QByteArray &piece, QByteArray *loadable)
{
    if (isRefused() || m_finished)
        return !isRefused();
    if (piece.contains('\0')) {
        refuseAt(m_line + 1, PanelText::tr("a NUL byte, which mysqldump never writes"));
        return false;
    }
    const int searched = m_pending.size();
    m_pending.append(piece);
    int start = 0;
    for (;;) {
        const int end = m_pending.indexOf('\n', start == 0 ? searched : start);
        if (end < 0)
            break;
        processLine(rawView(m_pending, start, end - start), true, loadable);
        start = end + 1;
        if (isRefused())
            return false;
    }
    m_pending.remove(0, start);
    if (m_pending.size() > maxUnitBytes)
        refuseAt(m_line + 1, PanelText::tr("a line longer than %1 bytes").arg(maxUnitBytes));
    return !isRefused();
}

bool DumpVetter::finish(QByteArray *loadable)
{
    if (m_finished || isRefused())
        return !isRefused();
    if (!m_pending.isEmpty())
        processLine(m_pending, false, loadable);
    m_pending.clear();
    m_finished = true;
    if (isRefused())
        return false;
    if (!m_headerSeen)
        refuse(PanelText::tr("the dump is empty"));
    else if (m_quote != 0)
        refuse(PanelText::tr("the dump ends inside a quoted text"));
    else if (m_inComment)
        refuse(PanelText::tr("the dump ends inside a comment"));
    else if (m_hasContent)
        refuseAt(m_contentLine, PanelText::tr("the dump ends inside a statement"));
    else if (!m_lastLine.startsWith("-- Dump completed"))
        refuse(PanelText::tr("the dump is incomplete: it does not end with \"-- Dump completed\""));
    else if (m_statements == 0)
        refuse(PanelText::tr("the dump holds no statements"));
    if (isRefused())
        return false;
    pass(m_unit, loadable);
    m_unit.truncate(0);
    return true;
}

void DumpVetter::processLine(const QByteArray &line, bool hasNewline, QByteArray *loadable)
{
    ++m_line;
    const QByteArray end = hasNewline ? QByteArray("\n") : QByteArray();
    if (m_line == 1 && line.trimmed() == sandboxLine) {
        pass(line + end, loadable);
        m_unitLine = m_line + 1;
        return;
    }
    if (!m_headerSeen) {
        if (!line.startsWith("-- MariaDB dump") && !line.startsWith("-- MySQL dump")) {
            refuseAt(m_line,
                     PanelText::tr("not a dump written by mysqldump: its header is missing"));
            return;
        }
        m_headerSeen = true;
    }
    if (std::any_of(line.cbegin(), line.cend(), [](char c) { return !isSpace(c); }))
        m_lastLine = QByteArray(line.constData(), qMin(64, int(line.size()))); // a copy
    if (m_unit.isEmpty())
        m_unitLine = m_line;

    if (m_quote == 0 && !m_inComment && clientCommandAtLineStart(line, hasNewline, loadable))
        return;
    if (isRefused())
        return;

    const int n = line.size();
    int segment = 0;
    int i = 0;
    while (i < n) {
        const char c = line[i];
        const char next = i + 1 < n ? line[i + 1] : '\0';
        if (m_inComment) {
            if (c == '*' && next == '/') {
                m_inComment = false;
                i += 2;
            } else {
                ++i;
            }
            continue;
        }
        if (m_quote != 0) {
            // Most of a dump is text: straight to the next quote or backslash.
            if (c != m_quote && c != '\\') {
                const char quote = m_quote;
                const char *data = line.constData();
                int j = i + 1;
                while (j < n && data[j] != quote && data[j] != '\\')
                    ++j;
                i = j;
                continue;
            }
            if (c == '\\' && m_quote != '`') {
                // The client and the server would disagree on what the line end means.
                if (i + 1 >= n) {
                    refuseAt(m_line, PanelText::tr("a backslash at the end of a line in a text"));
                    return;
                }
                i += 2;
                continue;
            }
            if (c == m_quote)
                m_quote = 0;
            ++i;
            continue;
        }
        if (c == '\\') {
            refuseAt(m_line, PanelText::tr("the mysql client command \\%1")
                                 .arg(QString::fromLatin1(QByteArray(1, next))));
            return;
        }
        if (c == m_delimiter[0] &&
            (m_delimiter.size() == 1 || (i + 1 < n && line[i + 1] == m_delimiter[1]))) {
            m_unit.append(line.constData() + segment, i - segment);
            i += m_delimiter.size();
            segment = i;
            endStatement(loadable);
            if (isRefused())
                return;
            m_unitLine = m_line;
            continue;
        }
        if (c == '-' && next == '-') {
            // "--x" is no comment for the client, "--\x01" none for the client but one for
            // the server: mysqldump writes "-- " only.
            if (i + 2 < n && !isBlank(line[i + 2])) {
                refuseAt(m_line, PanelText::tr("a -- without a blank after it"));
                return;
            }
            break;
        }
        if (c == '#')
            break;
        if (static_cast<unsigned char>(c) < 0x20 && !isBlank(c)) {
            refuseAt(m_line, PanelText::tr("the control byte 0x%1 outside a text")
                                 .arg(int(static_cast<unsigned char>(c)), 2, 16, QLatin1Char('0')));
            return;
        }
        if (c == '/' && next == '*') {
            const char third = i + 2 < n ? line[i + 2] : '\0';
            const char fourth = i + 3 < n ? line[i + 3] : '\0';
            // "/*!" and "/*M!" are executed, so the client reads their inside as text.
            if (third != '!' && !(third == 'M' && fourth == '!')) {
                m_inComment = true;
                i += 2;
                continue;
            }
        }
        if (c == '\'' || c == '"' || c == '`')
            m_quote = c;
        if (!isSpace(c) && !m_hasContent) {
            m_hasContent = true;
            m_contentLine = m_line;
        }
        ++i;
    }
    m_unit.append(line.constData() + segment, n - segment);
    m_unit.append(end);
    if (m_unit.size() > maxUnitBytes)
        refuseAt(m_contentLine,
                 PanelText::tr("a statement longer than %1 bytes").arg(maxUnitBytes));
}

bool DumpVetter::clientCommandAtLineStart(const QByteArray &line, bool hasNewline,
                                          QByteArray *loadable)
{
    int i = 0;
    while (i < line.size() && isSpace(line[i]))
        ++i;
    int end = i;
    if (end < line.size() && line[end] == '?')
        ++end;
    else
        while (end < line.size() && (isWordByte(line[end]) && line[end] != '$'))
            ++end;
    const QByteArray word = line.mid(i, end - i).toLower();
    if (word.isEmpty() || !clientCommands.contains(word))
        return false;
    if (m_hasContent) {
        // Inside a statement a line that starts with "status" is SQL, not the client's.
        if (dangerousAnywhere.contains(word))
            refuseAt(m_line,
                     PanelText::tr("the mysql client command %1").arg(QString::fromUtf8(word)));
        return false;
    }
    if (word != "delimiter") {
        refuseAt(m_line, PanelText::tr("the mysql client command %1").arg(QString::fromUtf8(word)));
        return false;
    }
    const QByteArray delimiter = line.mid(end).trimmed();
    if (delimiter != ";" && delimiter != ";;") {
        refuseAt(
            m_line,
            PanelText::tr("a delimiter that mysqldump never writes: %1").arg(shown(delimiter)));
        return false;
    }
    m_delimiter = delimiter;
    pass(m_unit, loadable);
    pass(line + (hasNewline ? QByteArray("\n") : QByteArray()), loadable);
    m_unit.truncate(0);
    m_unitLine = m_line + 1;
    return true;
}

void DumpVetter::endStatement(QByteArray *loadable)
{
    // m_unit holds the statement without its delimiter; it keeps its room for the next.
    if (!m_hasContent) {
        pass(m_unit, loadable);
        pass(m_delimiter, loadable);
        m_unit.truncate(0);
        return;
    }
    QByteArray rewritten;
    checkStatement(m_unit, &rewritten);
    if (isRefused())
        return;
    ++m_statements;
    pass(rewritten.isNull() ? m_unit : rewritten, loadable);
    pass(m_delimiter, loadable);
    m_unit.truncate(0);
    m_hasContent = false;
}

void DumpVetter::checkStatement(const QByteArray &text, QByteArray *rewritten)
{
    QList<Token> tokens;
    bool conditional = false;
    int firstOffset = 0;
    bool streamed = false;
    if (!tokenize(text, tokens, &conditional, &firstOffset, &streamed) || tokens.isEmpty())
        return;
    if (streamed) {
        checkEverywhere(tokens, false);
        return;
    }
    QByteArray replacement;
    if (!checkTopLevel(tokens, conditional, &replacement))
        return;
    if (!replacement.isNull())
        *rewritten = text.left(firstOffset) + replacement;
    else if (tokens.first().is("SET"))
        *rewritten = strictRows(text, tokens);
    else
        *rewritten = definersAsLoader(text, tokens);
}

// mysqldump sets the mode of its rows with the previous one saved
// ("SET @OLD_SQL_MODE=@@SQL_MODE, SQL_MODE='NO_AUTO_VALUE_ON_ZERO'"), which drops the strict
// mode: bytes not valid in their character set would be changed to '?' instead of failing.
QByteArray DumpVetter::strictRows(const QByteArray &text, const QList<Token> &tokens)
{
    const int n = tokens.size();
    bool saves = false;
    int mode = -1;
    for (int i = 0; i + 2 < n; ++i) {
        if (tokens[i].kind == Token::Kind::Var && tokens[i].upper == "OLD_SQL_MODE")
            saves = true;
        if (tokens[i].kind == Token::Kind::Word && tokens[i].upper == "SQL_MODE" &&
            tokens[i + 1].isPunct('=') && tokens[i + 2].kind == Token::Kind::String)
            mode = i + 2;
    }
    if (!saves || mode < 0)
        return QByteArray();
    const QByteArray modes = upper(tokens[mode].text);
    if (modes.split(',').contains("STRICT_ALL_TABLES"))
        return QByteArray();
    const QByteArray strict = modes.isEmpty() ? "STRICT_ALL_TABLES" : ",STRICT_ALL_TABLES";
    return text.left(tokens[mode].end - 1) + strict + text.mid(tokens[mode].end - 1);
}

// Views, routines, triggers and events are made by the loading account and run with its
// rights: "DEFINER=`root`@`localhost`" would be refused by the server (and must be).
QByteArray DumpVetter::definersAsLoader(const QByteArray &text, const QList<Token> &tokens)
{
    const int n = tokens.size();
    QByteArray result;
    int copied = 0;
    for (int i = 0; i + 2 < n; ++i) {
        if (!tokens[i].is("DEFINER") || !tokens[i + 1].isPunct('='))
            continue;
        const Token &who = tokens[i + 2];
        if (who.is("CURRENT_USER") || who.is("CURRENT_ROLE"))
            continue;
        if (!(who.kind == Token::Kind::Ident || who.kind == Token::Kind::String ||
              who.kind == Token::Kind::DString || who.kind == Token::Kind::Word))
            continue;
        int last = i + 2;
        if (last + 1 < n && tokens[last + 1].kind == Token::Kind::Var)
            last += 1;
        else if (last + 2 < n && tokens[last + 1].isPunct('@') && tokens[last + 2].isName())
            last += 2;
        result += text.mid(copied, tokens[i].offset - copied) + "DEFINER=CURRENT_USER";
        copied = tokens[last].end;
        i = last;
    }
    if (copied == 0)
        return QByteArray();
    return result + text.mid(copied);
}

// Reads a statement the way the server's parser splits it into words.
bool DumpVetter::tokenize(const QByteArray &text, QList<Token> &tokens, bool *conditional,
                          int *firstOffset, bool *streamed)
{
    const int n = text.size();
    int line = m_unitLine;
    bool inConditional = false;
    int i = 0;
    int ended = 0;
    bool stopped = false;
    auto add = [&](Token::Kind kind, const QByteArray &value, int start) {
        if (tokens.isEmpty() && !*streamed)
            *firstOffset = start;
        Token token;
        token.kind = kind;
        token.text = value;
        if (kind == Token::Kind::Word || kind == Token::Kind::Var || kind == Token::Kind::SysVar)
            token.upper = upper(value);
        token.line = line;
        token.offset = start;
        tokens.append(std::move(token));
        if (tokens.size() == 1 && !*streamed &&
            (tokens.last().is("INSERT") || tokens.last().is("REPLACE"))) {
            *streamed = true;
            tokens.reserve(streamWindow + 1);
        }
        if (tokens.size() < streamWindow)
            return;
        if (!*streamed) {
            refuseAt(line, PanelText::tr("a statement of more than %1 words").arg(streamWindow));
            stopped = true;
            return;
        }
        // Rows are checked as they come, a window at a time, so that memory stays small
        // however long the INSERT. The last words stay for the checks that look around.
        if (!checkEverywhere(tokens, false))
            stopped = true;
        tokens.erase(tokens.begin(), tokens.end() - streamOverlap);
        ended = tokens.size() - 1;
    };
    auto noteEnd = [&]() {
        if (tokens.size() != ended) {
            tokens.last().end = i;
            ended = tokens.size();
        }
    };
    while (i < n) {
        noteEnd();
        if (stopped)
            return false;
        const char c = text[i];
        const char next = i + 1 < n ? text[i + 1] : '\0';
        if (c == '\n') {
            ++line;
            ++i;
            continue;
        }
        if (isSpace(c)) {
            ++i;
            continue;
        }
        if (c == '/' && next == '*') {
            const char third = i + 2 < n ? text[i + 2] : '\0';
            const char fourth = i + 3 < n ? text[i + 3] : '\0';
            if (third == '!' || (third == 'M' && fourth == '!')) {
                if (inConditional) {
                    refuseAt(line, PanelText::tr("an executable comment inside another"));
                    return false;
                }
                inConditional = true;
                *conditional = true;
                i += third == '!' ? 3 : 4;
                while (i < n && isDigit(text[i]))
                    ++i;
                continue;
            }
            if (inConditional) {
                refuseAt(line, PanelText::tr("a comment inside an executable comment"));
                return false;
            }
            const int close = text.indexOf("*/", i + 2);
            if (close < 0) {
                refuseAt(line, PanelText::tr("a comment that does not end"));
                return false;
            }
            line += text.mid(i, close - i).count('\n');
            i = close + 2;
            continue;
        }
        if (c == '*' && next == '/' && inConditional) {
            inConditional = false;
            i += 2;
            continue;
        }
        if (c == '#' || (c == '-' && next == '-' && (i + 2 >= n || isSpace(text[i + 2])))) {
            while (i < n && text[i] != '\n')
                ++i;
            continue;
        }
        const int start = i;
        if (c == '\'' || c == '"' || c == '`') {
            const char *data = text.constData();
            int j = i + 1;
            bool closed = false;
            bool doubled = false;
            while (j < n) {
                const char d = data[j];
                if (d == c) {
                    if (j + 1 < n && data[j + 1] == c) {
                        doubled = true;
                        j += 2;
                        continue;
                    }
                    closed = true;
                    break;
                }
                if (d == '\\' && c != '`' && j + 1 < n) {
                    if (data[j + 1] == '\n')
                        ++line;
                    j += 2;
                    continue;
                }
                if (d == '\n')
                    ++line;
                ++j;
            }
            if (!closed) {
                refuseAt(line, PanelText::tr("a quoted text that does not end"));
                return false;
            }
            // The text as it stands (escapes kept), a doubled quote as one.
            QByteArray value = rawView(text, i + 1, j - i - 1);
            if (doubled) {
                const QByteArray twice(2, c);
                value = value.left(4096).replace(twice, QByteArray(1, c));
            }
            ++j;
            add(c == '`' ? Token::Kind::Ident
                         : (c == '"' ? Token::Kind::DString : Token::Kind::String),
                value, start);
            i = j;
            continue;
        }
        if (c == '@') {
            const bool system = next == '@';
            int j = i + (system ? 2 : 1);
            QByteArray name;
            if (!system && j < n && (text[j] == '`' || text[j] == '\'' || text[j] == '"')) {
                const char quote = text[j];
                const int close = text.indexOf(quote, j + 1);
                if (close < 0) {
                    refuseAt(line, PanelText::tr("a quoted text that does not end"));
                    return false;
                }
                name = text.mid(j + 1, close - j - 1);
                j = close + 1;
            } else {
                while (j < n && (isWordByte(text[j]) || text[j] == '.'))
                    ++j;
                name = text.mid(i + (system ? 2 : 1), j - i - (system ? 2 : 1));
            }
            add(system ? Token::Kind::SysVar : Token::Kind::Var, name, start);
            i = j;
            continue;
        }
        // After a name a dot always separates: "Misc.5t" is the table 5t of Misc.
        const bool afterName = !tokens.isEmpty() && tokens.last().isName();
        if (isDigit(c) || (c == '.' && isDigit(next) && !afterName)) {
            int j = i;
            for (;;) {
                while (j < n && isWordByte(text[j]))
                    ++j;
                if (j + 1 < n && text[j] == '.' && isDigit(text[j + 1])) {
                    ++j;
                    continue;
                }
                break;
            }
            if (j == i)
                j = i + 1;
            add(Token::Kind::Number, rawView(text, i, j - i), start);
            i = j;
            continue;
        }
        if (isWordByte(c)) {
            int j = i;
            while (j < n && isWordByte(text[j]))
                ++j;
            add(Token::Kind::Word, rawView(text, i, j - i), start);
            i = j;
            continue;
        }
        add(Token::Kind::Punct, rawView(text, i, 1), start);
        ++i;
    }
    noteEnd();
    if (stopped)
        return false;
    if (inConditional) {
        refuseAt(line, PanelText::tr("an executable comment that does not end"));
        return false;
    }
    return true;
}

void DumpVetter::checkQualifier(const Token &token)
{
    const QByteArray name = upper(token.text);
    if (m_foreign.contains(name)) {
        refuseAt(token.line, PanelText::tr("a name in the database %1, which is not this dump's")
                                 .arg(QString::fromUtf8(token.text)));
        return;
    }
    if (name == upper(m_database))
        m_namesOwnDatabase = true;
}

bool DumpVetter::checkEverywhere(const QList<Token> &tokens, bool topLevelSet)
{
    const int n = tokens.size();
    auto word = [&](int index) -> QByteArray {
        return index < n && tokens[index].kind == Token::Kind::Word ? tokens[index].upper
                                                                    : QByteArray();
    };
    for (int i = 0; i < n; ++i) {
        const Token &token = tokens[i];
        if (token.kind == Token::Kind::SysVar && token.upper.startsWith("GLOBAL")) {
            refuseAt(token.line, PanelText::tr("a global server setting"));
            return false;
        }
        if (token.kind == Token::Kind::Var) {
            // A text kept in one of these would later become a setting (SET SQL_MODE=@x).
            if (!topLevelSet && savedSettings.contains(token.upper)) {
                refuseAt(token.line, PanelText::tr("the saved setting @%1 outside its SET")
                                         .arg(QString::fromUtf8(token.text)));
                return false;
            }
        }
        if (token.isName() && i + 2 < n && tokens[i + 1].isPunct('.') &&
            (tokens[i + 2].isName() || tokens[i + 2].isPunct('*')) &&
            !(i > 0 && tokens[i - 1].isPunct('.'))) {
            checkQualifier(token);
            if (isRefused())
                return false;
        }
        if (token.kind != Token::Kind::Word)
            continue;
        const QByteArray &u = token.upper;
        if (forbiddenWords.contains(u)) {
            refuseAt(token.line,
                     PanelText::tr("%1, which a dump never holds").arg(QString::fromUtf8(u)));
            return false;
        }
        if (u == "CREATE" || u == "DROP" || u == "ALTER" || u == "RENAME") {
            int j = i + 1;
            while (word(j) == "OR" || word(j) == "REPLACE" || word(j) == "TEMPORARY" ||
                   word(j) == "IF" || word(j) == "NOT" || word(j) == "EXISTS" ||
                   word(j) == "ONLINE" || word(j) == "IGNORE")
                ++j;
            if (forbiddenObjects.contains(word(j))) {
                refuseAt(token.line,
                         PanelText::tr("%1 %2, which a dump of one database never holds")
                             .arg(QString::fromUtf8(u), QString::fromUtf8(word(j))));
                return false;
            }
        }
        if (u == "SET") {
            const QByteArray what = word(i + 1);
            if (what == "GLOBAL" || what == "PERSIST" || what == "PERSIST_ONLY" ||
                what == "PASSWORD" || what == "ROLE" ||
                (what == "DEFAULT" && word(i + 2) == "ROLE")) {
                refuseAt(
                    token.line,
                    PanelText::tr("SET %1, which a dump never holds").arg(QString::fromUtf8(what)));
                return false;
            }
        }
        if ((u == "CHANGE" || u == "START" || u == "STOP" || u == "RESET") &&
            (word(i + 1) == "MASTER" || word(i + 1) == "SLAVE" || word(i + 1) == "REPLICA" ||
             word(i + 1) == "SLAVES" || word(i + 1) == "REPLICAS" || word(i + 1) == "ALL")) {
            refuseAt(token.line, PanelText::tr("replication commands"));
            return false;
        }
        if ((u == "DATA" || u == "INDEX") && word(i + 1) == "DIRECTORY") {
            refuseAt(token.line, PanelText::tr("%1 DIRECTORY, which puts files outside the server")
                                     .arg(QString::fromUtf8(u)));
            return false;
        }
        if (u == "ENGINE") {
            int j = i + 1;
            if (j < n && tokens[j].isPunct('='))
                ++j;
            // The engine may also be named as a text: ENGINE='CONNECT'.
            if (j < n &&
                (tokens[j].kind == Token::Kind::Word || tokens[j].kind == Token::Kind::Ident ||
                 tokens[j].kind == Token::Kind::String || tokens[j].kind == Token::Kind::DString)) {
                const QByteArray engine = upper(tokens[j].text);
                if (!allowedEngines.contains(engine)) {
                    refuseAt(token.line, PanelText::tr("the storage engine %1")
                                             .arg(QString::fromUtf8(tokens[j].text)));
                    return false;
                }
            }
        }
    }
    return true;
}

bool DumpVetter::checkTopLevel(const QList<Token> &tokens, bool conditional, QByteArray *rewritten)
{
    const Token &first = tokens.first();
    const int n = tokens.size();
    auto word = [&](int index) -> QByteArray {
        return index < n && tokens[index].kind == Token::Kind::Word ? tokens[index].upper
                                                                    : QByteArray();
    };
    auto notMysqldump = [&]() {
        QByteArray start;
        for (int i = 0; i < n && i < 3; ++i)
            start += (i ? " " : "") + tokens[i].text;
        refuseAt(first.line,
                 PanelText::tr("a statement that mysqldump does not write: %1").arg(shown(start)));
        return false;
    };
    if (first.kind != Token::Kind::Word)
        return notMysqldump();
    const QByteArray verb = first.upper;
    bool ok = false;
    if (verb == "SET") {
        ok = checkSet(tokens);
    } else if (verb == "DROP") {
        int j = 1;
        if (word(j) == "TEMPORARY")
            ++j;
        static const QSet<QByteArray> kinds = {"TABLE",    "TABLES", "VIEW",    "PROCEDURE",
                                               "FUNCTION", "EVENT",  "TRIGGER", "SEQUENCE"};
        ok = kinds.contains(word(j)) || notMysqldump();
    } else if (verb == "CREATE") {
        ok = checkCreate(tokens);
    } else if (verb == "INSERT" || verb == "REPLACE") {
        ok = true;
    } else if (verb == "LOCK" || verb == "UNLOCK") {
        ok = word(1) == "TABLES" || word(1) == "TABLE" || notMysqldump();
    } else if (verb == "ALTER") {
        if (word(1) == "DATABASE" || word(1) == "SCHEMA")
            return checkAlterDatabase(tokens, conditional, rewritten);
        ok = (word(1) == "TABLE" && n <= 7 && word(n - 1) == "KEYS" &&
              (word(n - 2) == "DISABLE" || word(n - 2) == "ENABLE")) ||
             notMysqldump();
    } else if (verb == "DO" || verb == "SELECT") {
        ok = (word(1) == "SETVAL" && n > 2 && tokens[2].isPunct('(')) || notMysqldump();
    } else if (verb == "COMMIT") {
        ok = n == 1 || notMysqldump();
    } else {
        ok = notMysqldump();
    }
    return ok && checkEverywhere(tokens, verb == "SET");
}

bool DumpVetter::checkValue(const QByteArray &variable, const QList<Token> &tokens, int *index)
{
    const int i = *index;
    if (i >= tokens.size()) {
        refuseAt(tokens.last().line, PanelText::tr("SET without a value"));
        return false;
    }
    const Token &value = tokens[i];
    *index = i + 1;
    const QString shownVariable = QString::fromUtf8(variable);
    auto refuseValue = [&]() {
        refuseAt(value.line, PanelText::tr("%1 set to %2, which mysqldump does not write")
                                 .arg(shownVariable, shown(value.text)));
        return false;
    };
    if (value.kind == Token::Kind::Var) {
        // Only what was saved from the same setting.
        if (savedSettings.value(value.upper) == variable)
            return true;
        return refuseValue();
    }
    if (value.kind == Token::Kind::Number) {
        // A number sets SQL modes and character sets by their codes, which we cannot read.
        if (variable == "SQL_MODE" || !switchSettings.contains(variable)) {
            refuseAt(value.line, PanelText::tr("%1 set by a number").arg(shownVariable));
            return false;
        }
        return value.text == "0" || value.text == "1" || refuseValue();
    }
    if (value.kind != Token::Kind::Word && value.kind != Token::Kind::String &&
        value.kind != Token::Kind::DString) {
        refuseAt(value.line, PanelText::tr("SET with an expression"));
        return false;
    }
    // The server reads "\S" as "S": the text must be the same read either way.
    if (value.text.contains('\\')) {
        refuseAt(value.line, PanelText::tr("a SET value with a backslash"));
        return false;
    }
    const QByteArray text = upper(value.text);
    static const QRegularExpression collation(
        QStringLiteral("^(UTF8|UTF8MB3|UTF8MB4|LATIN1|ASCII)_[A-Z0-9_]+$|^BINARY$"));
    static const QRegularExpression zone(
        QStringLiteral("^[+-][0-9]{1,2}:[0-9]{2}$|^[A-Z][A-Z0-9_+-]*(/[A-Z0-9_+-]+)*$"));
    if (variable == "SQL_MODE") {
        if (value.kind == Token::Kind::Word)
            return refuseValue();
        for (const QByteArray &mode : text.split(',')) {
            if (!mode.isEmpty() && !allowedModes.contains(mode)) {
                refuseAt(value.line, PanelText::tr("the SQL mode %1").arg(shown(mode)));
                return false;
            }
        }
        return true;
    }
    if (variable == "NAMES" || variable == "CHARACTER SET" || variable == "CHARACTER_SET_CLIENT" ||
        variable == "CHARACTER_SET_RESULTS") {
        if (safeCharsets.contains(text))
            return true;
        refuseAt(value.line, PanelText::tr("the character set %1").arg(shown(value.text)));
        return false;
    }
    if (variable == "COLLATION_CONNECTION")
        return collation.match(QString::fromLatin1(text)).hasMatch() || refuseValue();
    if (variable == "TIME_ZONE")
        return zone.match(QString::fromLatin1(text)).hasMatch() || refuseValue();
    if (switchSettings.contains(variable))
        return text == "ON" || text == "OFF" || refuseValue();
    return refuseValue();
}

bool DumpVetter::checkSet(const QList<Token> &tokens)
{
    const int n = tokens.size();
    int i = 1;
    if (i < n && (tokens[i].is("SESSION") || tokens[i].is("LOCAL")))
        ++i;
    static const QSet<QByteArray> never = {"GLOBAL", "PERSIST", "PERSIST_ONLY", "PASSWORD",
                                           "ROLE",   "DEFAULT", "STATEMENT",    "TRANSACTION"};
    if (i < n && tokens[i].kind == Token::Kind::Word && never.contains(tokens[i].upper)) {
        refuseAt(tokens[i].line, PanelText::tr("SET %1, which a dump never holds")
                                     .arg(QString::fromUtf8(tokens[i].upper)));
        return false;
    }
    auto refuseSet = [&](int index) {
        const Token &at = tokens[qMin(index, n - 1)];
        refuseAt(at.line,
                 PanelText::tr("SET of %1, which mysqldump does not write").arg(shown(at.text)));
        return false;
    };
    auto assignment = [&](int *index) {
        if (*index < n && tokens[*index].isPunct(':'))
            ++*index;
        if (*index < n && tokens[*index].isPunct('=')) {
            ++*index;
            return true;
        }
        return false;
    };
    while (i < n) {
        const Token &target = tokens[i];
        if (target.kind == Token::Kind::Var) {
            ++i;
            // A user variable only ever keeps the setting it is named after.
            if (!assignment(&i) || i >= n || tokens[i].kind != Token::Kind::SysVar)
                return refuseSet(i);
            QByteArray saved = tokens[i].upper;
            if (saved.startsWith("SESSION."))
                saved = saved.mid(8);
            if (!savedSettings.contains(target.upper) ||
                savedSettings.value(target.upper) != saved) {
                refuseAt(target.line, PanelText::tr("SET of @%1, which mysqldump does not write")
                                          .arg(shown(target.text)));
                return false;
            }
            ++i;
        } else if (target.kind == Token::Kind::SysVar || target.kind == Token::Kind::Word) {
            QByteArray name = target.upper;
            if (target.kind == Token::Kind::SysVar) {
                if (name.startsWith("SESSION."))
                    name = name.mid(8);
                else if (name.startsWith("LOCAL."))
                    name = name.mid(6);
            }
            ++i;
            if (target.kind == Token::Kind::Word && name == "NAMES") {
                if (!checkValue("NAMES", tokens, &i))
                    return false;
                if (i < n && tokens[i].is("COLLATE")) {
                    ++i;
                    if (!checkValue("COLLATION_CONNECTION", tokens, &i))
                        return false;
                }
            } else if (target.kind == Token::Kind::Word && name == "CHARACTER" && i < n &&
                       tokens[i].is("SET")) {
                ++i;
                if (!checkValue("CHARACTER SET", tokens, &i))
                    return false;
            } else if (allowedVariables.contains(name)) {
                if (!assignment(&i))
                    return refuseSet(i - 1);
                if (!checkValue(name, tokens, &i))
                    return false;
            } else {
                return refuseSet(i - 1);
            }
        } else {
            return refuseSet(i);
        }
        if (i < n && tokens[i].isPunct(',')) {
            ++i;
            continue;
        }
        if (i < n)
            return refuseSet(i);
    }
    return true;
}

bool DumpVetter::checkCreate(const QList<Token> &tokens)
{
    const int n = tokens.size();
    int i = 1;
    auto word = [&](int index) -> QByteArray {
        return index < n && tokens[index].kind == Token::Kind::Word ? tokens[index].upper
                                                                    : QByteArray();
    };
    if (word(i) == "OR" && word(i + 1) == "REPLACE")
        i += 2;
    for (;;) {
        const QByteArray w = word(i);
        if (w == "ALGORITHM") {
            i += 3;
        } else if (w == "SQL" && word(i + 1) == "SECURITY") {
            i += 3;
        } else if (w == "DEFINER") {
            i += 2; // DEFINER =
            if (word(i) == "CURRENT_USER") {
                ++i;
                if (i + 1 < n && tokens[i].isPunct('(') && tokens[i + 1].isPunct(')'))
                    i += 2;
            } else {
                ++i; // the user
                if (i < n && tokens[i].kind == Token::Kind::Var)
                    ++i; // @host
                else if (i + 1 < n && tokens[i].isPunct('@'))
                    i += 2;
            }
        } else if (w == "TEMPORARY" || w == "AGGREGATE") {
            ++i;
        } else {
            break;
        }
    }
    static const QSet<QByteArray> kinds = {"TABLE",    "VIEW",  "TRIGGER", "PROCEDURE",
                                           "FUNCTION", "EVENT", "SEQUENCE"};
    if (kinds.contains(word(i)))
        return true;
    const Token &at = tokens[qMin(i, n - 1)];
    refuseAt(at.line,
             PanelText::tr("CREATE %1, which mysqldump does not write").arg(shown(at.text)));
    return false;
}

bool DumpVetter::checkAlterDatabase(const QList<Token> &tokens, bool conditional,
                                    QByteArray *rewritten)
{
    const int n = tokens.size();
    const Token &first = tokens.first();
    // Without a name it is the database the client was started on; ours has one.
    const bool named = !(
        n > 2 && (tokens[2].is("CHARACTER") || tokens[2].is("COLLATE") || tokens[2].is("DEFAULT")));
    if (named &&
        (n < 3 || !(tokens[2].kind == Token::Kind::Ident || tokens[2].kind == Token::Kind::Word) ||
         tokens[2].text != m_database)) {
        const QString name = n >= 3 ? QString::fromUtf8(tokens[2].text) : QString();
        refuseAt(first.line,
                 PanelText::tr("ALTER DATABASE %1, which is not this dump's").arg(name));
        return false;
    }
    // mysqldump's form: ALTER DATABASE `name` CHARACTER SET cs COLLATE coll
    QByteArray charset;
    QByteArray collation;
    int i = named ? 3 : 2;
    auto name = [&](int index) {
        return index < n && tokens[index].kind == Token::Kind::Word &&
               !tokens[index].text.contains('$');
    };
    if (i + 2 < n && tokens[i].is("CHARACTER") && tokens[i + 1].is("SET") && name(i + 2)) {
        charset = tokens[i + 2].text;
        i += 3;
    }
    if (i + 1 < n && tokens[i].is("COLLATE") && name(i + 1)) {
        collation = tokens[i + 1].text;
        i += 2;
    }
    if (conditional || i != n || charset.isEmpty()) {
        refuseAt(first.line, PanelText::tr("an ALTER DATABASE that mysqldump does not write"));
        return false;
    }
    // Without a name it changes the database the client was started on, whichever it is.
    *rewritten = "ALTER DATABASE CHARACTER SET " + charset;
    if (!collation.isEmpty())
        *rewritten += " COLLATE " + collation;
    *rewritten += ' ';
    return true;
}

DumpVetter::Verdict DumpVetter::vet(const QByteArray &dump, const QString &database,
                                    const QStringList &foreignDatabases)
{
    DumpVetter vetter(database, foreignDatabases);
    Verdict verdict;
    vetter.feed(dump, &verdict.loadable);
    verdict.accepted = vetter.finish(&verdict.loadable);
    verdict.problem = vetter.problem();
    verdict.statements = vetter.statementCount();
    verdict.namesOwnDatabase = vetter.namesOwnDatabase();
    if (!verdict.accepted)
        verdict.loadable.clear();
    return verdict;
}
