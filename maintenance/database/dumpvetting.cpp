#include "maintenance/database/dumpvetting.h"

#include <QHash>
#include <QRegularExpression>
#include <QtAlgorithms>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>

// The words the checks look for. A word of a statement is looked up once, when it is read;
// any other word is Keyword::None.
#define VETTER_KEYWORDS(X)                                                                         \
    X(Aggregate, "AGGREGATE")                                                                      \
    X(Algorithm, "ALGORITHM")                                                                      \
    X(All, "ALL")                                                                                  \
    X(Alter, "ALTER")                                                                              \
    X(Binlog, "BINLOG")                                                                            \
    X(Change, "CHANGE")                                                                            \
    X(Character, "CHARACTER")                                                                      \
    X(Collate, "COLLATE")                                                                          \
    X(Commit, "COMMIT")                                                                            \
    X(Create, "CREATE")                                                                            \
    X(CurrentRole, "CURRENT_ROLE")                                                                 \
    X(CurrentUser, "CURRENT_USER")                                                                 \
    X(Data, "DATA")                                                                                \
    X(Database, "DATABASE")                                                                        \
    X(Deallocate, "DEALLOCATE")                                                                    \
    X(Default, "DEFAULT")                                                                          \
    X(Definer, "DEFINER")                                                                          \
    X(Directory, "DIRECTORY")                                                                      \
    X(Disable, "DISABLE")                                                                          \
    X(Do, "DO")                                                                                    \
    X(Drop, "DROP")                                                                                \
    X(Dumpfile, "DUMPFILE")                                                                        \
    X(Enable, "ENABLE")                                                                            \
    X(Engine, "ENGINE")                                                                            \
    X(Event, "EVENT")                                                                              \
    X(Execute, "EXECUTE")                                                                          \
    X(Exists, "EXISTS")                                                                            \
    X(Flush, "FLUSH")                                                                              \
    X(Function, "FUNCTION")                                                                        \
    X(Global, "GLOBAL")                                                                            \
    X(Grant, "GRANT")                                                                              \
    X(Identified, "IDENTIFIED")                                                                    \
    X(If, "IF")                                                                                    \
    X(Ignore, "IGNORE")                                                                            \
    X(Index, "INDEX")                                                                              \
    X(Insert, "INSERT")                                                                            \
    X(Install, "INSTALL")                                                                          \
    X(Keys, "KEYS")                                                                                \
    X(Kill, "KILL")                                                                                \
    X(Load, "LOAD")                                                                                \
    X(LoadFile, "LOAD_FILE")                                                                       \
    X(Local, "LOCAL")                                                                              \
    X(Lock, "LOCK")                                                                                \
    X(Logfile, "LOGFILE")                                                                          \
    X(Master, "MASTER")                                                                            \
    X(Names, "NAMES")                                                                              \
    X(Not, "NOT")                                                                                  \
    X(Online, "ONLINE")                                                                            \
    X(Or, "OR")                                                                                    \
    X(Outfile, "OUTFILE")                                                                          \
    X(Password, "PASSWORD")                                                                        \
    X(Persist, "PERSIST")                                                                          \
    X(PersistOnly, "PERSIST_ONLY")                                                                 \
    X(Prepare, "PREPARE")                                                                          \
    X(Procedure, "PROCEDURE")                                                                      \
    X(Purge, "PURGE")                                                                              \
    X(Rename, "RENAME")                                                                            \
    X(Replace, "REPLACE")                                                                          \
    X(Replica, "REPLICA")                                                                          \
    X(Replicas, "REPLICAS")                                                                        \
    X(Reset, "RESET")                                                                              \
    X(Revoke, "REVOKE")                                                                            \
    X(Role, "ROLE")                                                                                \
    X(Schema, "SCHEMA")                                                                            \
    X(Security, "SECURITY")                                                                        \
    X(Select, "SELECT")                                                                            \
    X(Sequence, "SEQUENCE")                                                                        \
    X(Server, "SERVER")                                                                            \
    X(Session, "SESSION")                                                                          \
    X(Set, "SET")                                                                                  \
    X(Setval, "SETVAL")                                                                            \
    X(Shutdown, "SHUTDOWN")                                                                        \
    X(Slave, "SLAVE")                                                                              \
    X(Slaves, "SLAVES")                                                                            \
    X(Soname, "SONAME")                                                                            \
    X(Sql, "SQL")                                                                                  \
    X(SqlMode, "SQL_MODE")                                                                         \
    X(Start, "START")                                                                              \
    X(Statement, "STATEMENT")                                                                      \
    X(Stop, "STOP")                                                                                \
    X(Table, "TABLE")                                                                              \
    X(Tables, "TABLES")                                                                            \
    X(Tablespace, "TABLESPACE")                                                                    \
    X(Temporary, "TEMPORARY")                                                                      \
    X(Transaction, "TRANSACTION")                                                                  \
    X(Trigger, "TRIGGER")                                                                          \
    X(Uninstall, "UNINSTALL")                                                                      \
    X(Unlock, "UNLOCK")                                                                            \
    X(User, "USER")                                                                                \
    X(View, "VIEW")

namespace {

enum class Keyword : std::uint8_t {
    None,
#define VETTER_ENUM(name, text) name,
    VETTER_KEYWORDS(VETTER_ENUM)
#undef VETTER_ENUM
};

Keyword keywordOf(const char *word, int size);
const char *keywordText(Keyword keyword);

} // namespace

// A word of a statement as the server reads it: where it stands in the statement's text.
struct DumpVetter::Token
{
    enum class Kind : std::uint8_t { Word, Ident, String, DString, Number, Var, SysVar, Punct };
    int offset = 0; // where it starts and ends in the statement's text
    int end = 0;
    Kind kind = Kind::Punct;
    Keyword keyword = Keyword::None; // for words
    char punct = 0;
    bool doubled = false; // a quoted text with a doubled quote inside

    bool is(Keyword word) const { return kind == Kind::Word && keyword == word; }
    bool isPunct(char c) const { return kind == Kind::Punct && punct == c; }
    bool isName() const
    {
        return kind == Kind::Word || kind == Kind::Ident || kind == Kind::DString ||
               kind == Kind::Number;
    }
    // The name or content without its quotes (escapes kept, a doubled quote as one), at most
    // `limit` bytes of it.
    QByteArray text(const QByteArray &statement, int limit = std::numeric_limits<int>::max()) const;
    QByteArray upper(const QByteArray &statement) const { return text(statement).toUpper(); }
};

namespace {

using Reason = DumpVetter::Refusal::Reason;

// What newer mysqldump writes first: "\-" switches a client that knows it to sandbox mode.
const QByteArray sandboxLine = "/*M!999999\\- enable the sandbox mode */";

// The mysql client's own commands, which it takes from the start of a line.
const char *const clientCommands[] = {
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
const int longestClientCommand = 22;

// Those that run programs, touch files, switch the connection or split statements: refused
// at the start of any line, in case a client reads its commands there too (-G).
const char *const dangerousAnywhere[] = {"system",  "source",  "tee",       "pager", "edit",
                                         "connect", "charset", "delimiter", "go",    "ego"};

// Never in a dump of one database's tables, views, routines and events.
bool isForbiddenWord(Keyword word)
{
    switch (word) {
    case Keyword::Grant:
    case Keyword::Revoke:
    case Keyword::Load:
    case Keyword::LoadFile:
    case Keyword::Outfile:
    case Keyword::Dumpfile:
    case Keyword::Soname:
    case Keyword::Prepare:
    case Keyword::Execute:
    case Keyword::Deallocate:
    case Keyword::Shutdown:
    case Keyword::Kill:
    case Keyword::Install:
    case Keyword::Uninstall:
    case Keyword::Binlog:
    case Keyword::Purge:
    case Keyword::Flush:
    case Keyword::Identified:
        return true;
    default:
        return false;
    }
}

// Objects that CREATE, DROP, ALTER or RENAME must not name.
bool isForbiddenObject(Keyword word)
{
    switch (word) {
    case Keyword::Database:
    case Keyword::Schema:
    case Keyword::User:
    case Keyword::Role:
    case Keyword::Server:
    case Keyword::Tablespace:
    case Keyword::Logfile:
        return true;
    default:
        return false;
    }
}

bool isOneOf(Keyword word, std::initializer_list<Keyword> words)
{
    return std::find(words.begin(), words.end(), word) != words.end();
}

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

// A table of the 256 byte values.
struct ByteSet
{
    bool has[256] = {};
    bool operator()(char c) const { return has[static_cast<unsigned char>(c)]; }
};

constexpr ByteSet makeWordBytes()
{
    ByteSet set;
    for (int c = 0; c < 256; ++c) {
        set.has[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                     c == '_' || c == '$' || c >= 0x80;
    }
    return set;
}

// Where the client and the server agree that "--" starts a comment.
bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// What the client must look at outside quotes and comments; it skips any other byte once
// the statement has begun.
constexpr ByteSet makeClientBytes()
{
    ByteSet set;
    for (int c = 0; c < 0x20; ++c)
        set.has[c] = !(c == '\t' || c == '\r' || c == '\v' || c == '\f');
    for (char c : {'\\', ';', '-', '#', '/', '\'', '"', '`'})
        set.has[static_cast<unsigned char>(c)] = true;
    return set;
}

constexpr ByteSet wordBytes = makeWordBytes();
constexpr ByteSet clientBytes = makeClientBytes();

// What a byte may start, as the server reads a statement; those that may start or end a
// comment come last.
enum class ServerByte : std::uint8_t {
    Space,
    Word,
    Digit,
    Quote,
    At,
    Dot,
    Other,
    Slash,
    Star,
    Hash,
    Dash
};

constexpr std::array<ServerByte, 256> makeServerBytes()
{
    std::array<ServerByte, 256> bytes{};
    for (int c = 0; c < 256; ++c) {
        ServerByte what = ServerByte::Other;
        if (c <= ' ')
            what = ServerByte::Space;
        else if (c >= '0' && c <= '9')
            what = ServerByte::Digit;
        else if (wordBytes.has[c])
            what = ServerByte::Word;
        else if (c == '\'' || c == '"' || c == '`')
            what = ServerByte::Quote;
        else if (c == '@')
            what = ServerByte::At;
        else if (c == '.')
            what = ServerByte::Dot;
        else if (c == '/')
            what = ServerByte::Slash;
        else if (c == '*')
            what = ServerByte::Star;
        else if (c == '#')
            what = ServerByte::Hash;
        else if (c == '-')
            what = ServerByte::Dash;
        bytes[size_t(c)] = what;
    }
    return bytes;
}

constexpr std::array<ServerByte, 256> serverBytes = makeServerBytes();

// The first letters of the client's commands: most lines are ruled out by their first byte.
const ByteSet clientCommandStarts = [] {
    ByteSet set;
    for (const char *command : clientCommands) {
        const char first = command[0];
        set.has[static_cast<unsigned char>(first)] = true;
        if (first >= 'a' && first <= 'z')
            set.has[static_cast<unsigned char>(first - 'a' + 'A')] = true;
    }
    return set;
}();

bool isSpace(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

bool isWordByte(char c)
{
    return wordBytes(c);
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Eight bytes at a time: a word's bytes that match are flagged by their highest bit.
constexpr quint64 ones = 0x0101010101010101ULL;
constexpr quint64 highs = 0x8080808080808080ULL;

// Eight copies of a byte, to compare a word with.
constexpr quint64 eight(char c)
{
    return ones * static_cast<unsigned char>(c);
}

inline quint64 bytesEqual(quint64 word, quint64 copies)
{
    const quint64 x = word ^ copies;
    return (x - ones) & ~x & highs;
}

// Bytes below `limit` (at most 0x80).
inline quint64 bytesBelow(quint64 word, unsigned char limit)
{
    return (word - ones * limit) & ~word & highs;
}

// The first byte from `from` on that `flagged` flags in its word of eight, or the last bytes
// before `end` (fewer than eight), which are left to the caller. A flag above a flagged byte
// may be wrong (a borrow or a carry), the lowest never is.
template <typename Flags>
inline const char *firstFlagged(const char *from, const char *end, Flags flagged)
{
    while (end - from >= 8) {
        const quint64 hits = flagged(qFromLittleEndian<quint64>(from));
        if (hits)
            return from + qCountTrailingZeroBits(hits) / 8;
        from += 8;
    }
    return from;
}

// The first `a` or `b` from `from` on, or `end`: most of a dump is quoted text.
inline const char *findEither(const char *from, const char *end, char a, char b)
{
    const quint64 as = eight(a);
    const quint64 bs = eight(b);
    from = firstFlagged(
        from, end, [as, bs](quint64 word) { return bytesEqual(word, as) | bytesEqual(word, bs); });
    while (from < end && *from != a && *from != b)
        ++from;
    return from;
}

// The first byte from `from` on that the client must look at outside a quoted text, or the
// last bytes before `end`: bytes below '0' (punctuation, blanks, control bytes), ';', '\\' and
// '`' stop it, so that most of a row's numbers and hexadecimal blobs go eight at a time.
inline const char *findClientByte(const char *from, const char *end)
{
    return firstFlagged(from, end, [](quint64 word) {
        return bytesBelow(word, '0') | bytesEqual(word, eight(';')) |
               bytesEqual(word, eight('\\')) | bytesEqual(word, eight('`'));
    });
}

// The first byte from `from` on that is no ASCII letter or digit, or the last bytes before
// `end`: a long number (a hexadecimal blob) in a few steps.
inline const char *skipAlphanumerics(const char *from, const char *end)
{
    return firstFlagged(from, end, [](quint64 word) {
        // Capitals as small letters; digits stay. Below 0x80 no byte carries into the next.
        const quint64 folded = word | (ones * 0x20);
        const quint64 pastDigits = folded + ones * (0x80 - ('9' + 1));
        const quint64 letters = folded + ones * (0x80 - 'a');
        const quint64 aboveLetters = folded + ones * (0x80 - ('z' + 1));
        return (word | bytesBelow(word, 0x20) | bytesBelow(folded, '0') | aboveLetters |
                (pastDigits & ~letters)) &
               highs;
    });
}

bool isQuote(char c)
{
    return c == '\'' || c == '"' || c == '`';
}

QByteArray upper(const QByteArray &text)
{
    return text.toUpper();
}

bool startsWith(const char *text, int size, const char *start)
{
    const int length = int(std::strlen(start));
    return size >= length && std::memcmp(text, start, size_t(length)) == 0;
}

bool listed(const char *const *list, size_t count, const char *word)
{
    return std::any_of(list, list + count,
                       [word](const char *entry) { return std::strcmp(entry, word) == 0; });
}

// Keywords by their length and first letter.
struct KeywordTable
{
    static constexpr int longest = 16;
    struct Entry
    {
        const char *text;
        int size;
        Keyword keyword;
    };
    std::array<std::vector<Entry>, 26 * (longest + 1)> buckets;

    KeywordTable()
    {
#define VETTER_ENTRY(name, text) add(text, Keyword::name);
        VETTER_KEYWORDS(VETTER_ENTRY)
#undef VETTER_ENTRY
    }
    void add(const char *text, Keyword keyword)
    {
        const int size = int(std::strlen(text));
        buckets[size_t(bucket(text[0], size))].push_back({text, size, keyword});
    }
    static int bucket(char first, int size)
    {
        return (first - 'A') * (longest + 1) + size;
    }

    Keyword find(const char *word, int size) const
    {
        if (size > longest || size == 0)
            return Keyword::None;
        const char first = word[0] >= 'a' && word[0] <= 'z' ? char(word[0] - 'a' + 'A') : word[0];
        if (first < 'A' || first > 'Z' || buckets[size_t(bucket(first, size))].empty())
            return Keyword::None;
        char up[longest];
        for (int i = 0; i < size; ++i) {
            const char c = word[i];
            up[i] = c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
        }
        for (const Entry &entry : buckets[size_t(bucket(up[0], size))]) {
            if (std::memcmp(entry.text, up, size_t(size)) == 0)
                return entry.keyword;
        }
        return Keyword::None;
    }
};

Keyword keywordOf(const char *word, int size)
{
    static const KeywordTable table;
    return table.find(word, size);
}

const char *keywordText(Keyword keyword)
{
    switch (keyword) {
#define VETTER_TEXT(name, text)                                                                    \
    case Keyword::name:                                                                            \
        return text;
        VETTER_KEYWORDS(VETTER_TEXT)
#undef VETTER_TEXT
    case Keyword::None:
        break;
    }
    return "";
}

} // namespace

QByteArray DumpVetter::Token::text(const QByteArray &statement, int limit) const
{
    const char *data = statement.constData();
    int from = offset;
    int to = end;
    switch (kind) {
    case Kind::String:
    case Kind::DString:
    case Kind::Ident:
        ++from;
        --to;
        break;
    case Kind::Var:
        ++from;
        if (from < to && isQuote(data[from])) {
            ++from;
            --to;
        }
        break;
    case Kind::SysVar:
        from += 2;
        break;
    default:
        break;
    }
    if (doubled) {
        const QByteArray twice(2, data[offset]);
        const QByteArray value = QByteArray(data + from, std::min(to - from, 4096));
        return QByteArray(value).replace(twice, QByteArray(1, data[offset])).left(limit);
    }
    return QByteArray(data + from, std::min(to - from, limit));
}

bool DumpVetter::Refusal::operator==(const Refusal &other) const
{
    return reason == other.reason && line == other.line && name == other.name &&
           value == other.value && number == other.number;
}

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

DumpVetter::~DumpVetter() = default;

void DumpVetter::refuse(Reason reason, int line, const QByteArray &name, const QByteArray &value,
                        int number)
{
    if (isRefused())
        return;
    m_refusal.reason = reason;
    m_refusal.line = line;
    m_refusal.name = name.left(nameLimit);
    m_refusal.value = value.left(nameLimit);
    m_refusal.number = number;
}

// The line of a place in the statement being checked: counted only when it is refused.
int DumpVetter::lineAt(const QByteArray &text, int offset) const
{
    return m_unitLine + int(std::count(text.constData(), text.constData() + offset, '\n'));
}

void DumpVetter::pass(const char *text, int size, QByteArray *loadable)
{
    if (loadable)
        loadable->append(text, size);
}

bool DumpVetter::feed(const QByteArray &piece, QByteArray *loadable)
{
    if (isRefused() || m_finished)
        return !isRefused();
    if (std::memchr(piece.constData(), '\0', size_t(piece.size()))) {
        refuse(Reason::NulByte, m_line + 1);
        return false;
    }
    // The buffer grows once to what a statement may take, rather than by doubling: a copy
    // at each step would hold the old bytes and the new at once.
    const int needed = m_buffer.size() + piece.size();
    if (needed > m_buffer.capacity() && needed > 256 * 1024)
        m_buffer.reserve(std::max(needed + needed / 2, maxUnitBytes + 256 * 1024));
    int searched = m_buffer.size(); // the line being read has no end before this
    m_buffer.append(piece);
    for (;;) {
        const char *data = m_buffer.constData();
        const int from = std::max(m_lineStart, searched);
        const auto *newline = static_cast<const char *>(
            std::memchr(data + from, '\n', size_t(m_buffer.size() - from)));
        if (!newline)
            break;
        processLine(int(newline - data), true, loadable);
        if (isRefused())
            return false;
        searched = 0;
    }
    if (m_buffer.size() - m_lineStart > maxUnitBytes) {
        refuse(Reason::LineTooLong, m_line + 1, QByteArray(), QByteArray(), maxUnitBytes);
        return false;
    }
    // What was read goes, unless what stays (the unit gathered on) is larger: each byte is
    // moved a bounded number of times, and a long statement starts the buffer.
    const int kept = m_buffer.size() - m_unitStart;
    if (m_unitStart > 0 && (kept <= m_unitStart || kept <= 1024 * 1024)) {
        std::memmove(m_buffer.data(), m_buffer.constData() + m_unitStart, size_t(kept));
        m_buffer.resize(kept);
        m_lineStart -= m_unitStart;
        m_unitStart = 0;
    }
    return true;
}

bool DumpVetter::finish(QByteArray *loadable)
{
    if (m_finished || isRefused())
        return !isRefused();
    if (m_lineStart < m_buffer.size())
        processLine(m_buffer.size(), false, loadable);
    m_finished = true;
    if (isRefused())
        return false;
    if (!m_headerSeen)
        refuse(Reason::Empty);
    else if (m_quote != 0)
        refuse(Reason::EndsInText);
    else if (m_inComment)
        refuse(Reason::EndsInComment);
    else if (m_hasContent)
        refuse(Reason::EndsInStatement, m_contentLine);
    else if (!m_endSeen)
        refuse(Reason::Incomplete);
    else if (m_statements == 0)
        refuse(Reason::NoStatements);
    if (isRefused())
        return false;
    pass(m_buffer.constData() + m_unitStart, m_buffer.size() - m_unitStart, loadable);
    m_buffer.clear();
    m_unitStart = 0;
    m_lineStart = 0;
    return true;
}

// Reads the line from m_lineStart to `lineEnd` in the buffer the way the client does, and
// moves m_lineStart past it.
void DumpVetter::processLine(int lineEnd, bool hasNewline, QByteArray *loadable)
{
    ++m_line;
    const int lineStart = m_lineStart;
    const int nextLine = lineEnd + (hasNewline ? 1 : 0);
    {
        const char *line = m_buffer.constData() + lineStart;
        const int n = lineEnd - lineStart;
        if (m_line == 1 && QByteArray::fromRawData(line, n).trimmed() == sandboxLine) {
            pass(line, nextLine - lineStart, loadable);
            m_unitStart = nextLine;
            m_lineStart = nextLine;
            m_unitLine = m_line + 1;
            return;
        }
        if (!m_headerSeen) {
            if (!startsWith(line, n, "-- MariaDB dump") && !startsWith(line, n, "-- MySQL dump")) {
                refuse(Reason::NoHeader, m_line);
                return;
            }
            m_headerSeen = true;
        }
        if (std::any_of(line, line + n, [](char c) { return !isSpace(c); }))
            m_endSeen = startsWith(line, n, "-- Dump completed");
        if (m_unitStart == lineStart)
            m_unitLine = m_line;
        if (m_quote == 0 && !m_inComment && clientCommandAtLineStart(n, hasNewline, loadable))
            return;
        if (isRefused())
            return;
    }

    // The buffer may be handed over with a statement (endStatement): indexes, not pointers.
    const char *data = m_buffer.constData();
    int i = lineStart;
    int end = lineEnd;
    while (i < end) {
        if (m_inComment) {
            // To the end of the comment, or of the line.
            int j = i;
            for (;;) {
                const auto *star =
                    static_cast<const char *>(std::memchr(data + j, '*', size_t(end - j)));
                if (!star) {
                    j = end;
                    break;
                }
                j = int(star - data) + 1;
                if (j < end && data[j] == '/') {
                    m_inComment = false;
                    ++j;
                    break;
                }
            }
            i = j;
            continue;
        }
        if (m_quote != 0) {
            // Most of a dump is text: straight to the next quote or backslash.
            const char quote = m_quote;
            const int j = int(findEither(data + i, data + end, quote, '\\') - data);
            if (j == end) {
                i = end;
                continue;
            }
            if (data[j] == '\\' && quote != '`') {
                // The client and the server would disagree on what the line end means.
                if (j + 1 >= end) {
                    refuse(Reason::BackslashAtLineEnd, m_line);
                    return;
                }
                i = j + 2;
                continue;
            }
            if (data[j] == quote)
                m_quote = 0;
            i = j + 1;
            continue;
        }
        const char c = data[i];
        if (!clientBytes(c)) {
            if (m_hasContent) {
                ++i;
                i = int(findClientByte(data + i, data + end) - data);
                while (i < end && !clientBytes(data[i]))
                    ++i;
                continue;
            }
            if (!isSpace(c)) {
                m_hasContent = true;
                m_contentLine = m_line;
            }
            ++i;
            continue;
        }
        const char next = i + 1 < end ? data[i + 1] : '\0';
        if (c == '\\') {
            refuse(Reason::BackslashCommand, m_line, QByteArray(1, next));
            return;
        }
        if (c == m_delimiter[0] &&
            (m_delimiter.size() == 1 || (i + 1 < end && data[i + 1] == m_delimiter[1]))) {
            const int dropped = endStatement(i, i + m_delimiter.size(), loadable);
            if (isRefused())
                return;
            data = m_buffer.constData();
            i += m_delimiter.size() - dropped;
            end -= dropped;
            m_lineStart -= dropped;
            m_unitLine = m_line;
            continue;
        }
        if (c == '-' && next == '-') {
            // "--x" is no comment for the client, "--\x01" none for the client but one for
            // the server: mysqldump writes "-- " only.
            if (i + 2 < end && !isBlank(data[i + 2])) {
                refuse(Reason::DashesWithoutBlank, m_line);
                return;
            }
            break;
        }
        if (c == '#')
            break;
        if (static_cast<unsigned char>(c) < 0x20 && !isBlank(c)) {
            refuse(Reason::ControlByte, m_line, QByteArray(), QByteArray(),
                   static_cast<unsigned char>(c));
            return;
        }
        if (c == '/' && next == '*') {
            const char third = i + 2 < end ? data[i + 2] : '\0';
            const char fourth = i + 3 < end ? data[i + 3] : '\0';
            // "/*!" and "/*M!" are executed, so the client reads their inside as text.
            if (third != '!' && !(third == 'M' && fourth == '!')) {
                m_inComment = true;
                i += 2;
                continue;
            }
        }
        if (isQuote(c))
            m_quote = c;
        if (!isSpace(c) && !m_hasContent) {
            m_hasContent = true;
            m_contentLine = m_line;
        }
        ++i;
    }
    m_lineStart = end + (hasNewline ? 1 : 0);
    if (m_lineStart - m_unitStart > maxUnitBytes)
        refuse(Reason::StatementTooLong, m_contentLine, QByteArray(), QByteArray(), maxUnitBytes);
}

bool DumpVetter::clientCommandAtLineStart(int n, bool hasNewline, QByteArray *loadable)
{
    const char *line = m_buffer.constData() + m_lineStart;
    int i = 0;
    while (i < n && isSpace(line[i]))
        ++i;
    int end = i;
    if (end < n && line[end] == '?')
        ++end;
    else
        while (end < n && (isWordByte(line[end]) && line[end] != '$'))
            ++end;
    if (end == i || end - i > longestClientCommand || !clientCommandStarts(line[i]))
        return false;
    char word[longestClientCommand + 1];
    for (int k = i; k < end; ++k) {
        const char c = line[k];
        word[k - i] = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    }
    word[end - i] = '\0';
    if (!listed(clientCommands, std::size(clientCommands), word))
        return false;
    if (m_hasContent) {
        // Inside a statement a line that starts with "status" is SQL, not the client's.
        if (listed(dangerousAnywhere, std::size(dangerousAnywhere), word))
            refuse(Reason::ClientCommand, m_line, word);
        return false;
    }
    if (std::strcmp(word, "delimiter") != 0) {
        refuse(Reason::ClientCommand, m_line, word);
        return false;
    }
    const QByteArray delimiter = QByteArray(line + end, n - end).trimmed();
    if (delimiter != ";" && delimiter != ";;") {
        refuse(Reason::Delimiter, m_line, delimiter);
        return false;
    }
    m_delimiter = delimiter;
    const int nextLine = m_lineStart + n + (hasNewline ? 1 : 0);
    pass(m_buffer.constData() + m_unitStart, nextLine - m_unitStart, loadable);
    m_unitStart = nextLine;
    m_lineStart = nextLine;
    m_unitLine = m_line + 1;
    return true;
}

// The unit from m_unitStart to `end` ends with the delimiter; the next starts at `next`.
// Returns how many bytes left the front of the buffer (with a statement handed over whole).
int DumpVetter::endStatement(int end, int next, QByteArray *loadable)
{
    const QByteArray unit =
        QByteArray::fromRawData(m_buffer.constData() + m_unitStart, end - m_unitStart);
    if (!m_hasContent) {
        pass(unit.constData(), unit.size(), loadable);
        pass(m_delimiter.constData(), m_delimiter.size(), loadable);
        m_unitStart = next;
        return 0;
    }
    QByteArray rewritten;
    checkStatement(unit, &rewritten);
    if (isRefused())
        return 0;
    ++m_statements;
    m_hasContent = false;
    if (!rewritten.isNull()) {
        pass(rewritten.constData(), rewritten.size(), loadable);
        pass(m_delimiter.constData(), m_delimiter.size(), loadable);
        m_unitStart = next;
        return 0;
    }
    const int rest = m_buffer.size() - next;
    if (loadable && loadable->isEmpty() && m_unitStart == 0 && end >= 4 * 1024 * 1024 &&
        end >= 4 * rest) {
        // A long statement leaves in the buffer it was gathered in: no copy of it.
        QByteArray after(m_buffer.constData() + next, rest);
        loadable->swap(m_buffer);
        loadable->truncate(end);
        loadable->append(m_delimiter);
        m_buffer.swap(after);
        m_unitStart = 0;
        return next;
    }
    pass(unit.constData(), unit.size(), loadable);
    pass(m_delimiter.constData(), m_delimiter.size(), loadable);
    m_unitStart = next;
    return 0;
}

void DumpVetter::checkStatement(const QByteArray &text, QByteArray *rewritten)
{
    bool conditional = false;
    int firstOffset = 0;
    bool streamed = false;
    if (!tokenize(text, &conditional, &firstOffset, &streamed) || m_tokens.empty())
        return;
    if (streamed) {
        checkEverywhere(text, m_tokens.data(), int(m_tokens.size()), false);
        return;
    }
    QByteArray replacement;
    if (!checkTopLevel(text, conditional, &replacement))
        return;
    if (!replacement.isNull())
        *rewritten = text.left(firstOffset) + replacement;
    else if (m_tokens.front().is(Keyword::Set))
        *rewritten = strictRows(text);
    else
        *rewritten = definersAsLoader(text);
}

// mysqldump sets the mode of its rows with the previous one saved
// ("SET @OLD_SQL_MODE=@@SQL_MODE, SQL_MODE='NO_AUTO_VALUE_ON_ZERO'"), which drops the strict
// mode: bytes not valid in their character set would be changed to '?' instead of failing.
QByteArray DumpVetter::strictRows(const QByteArray &text) const
{
    const std::vector<Token> &tokens = m_tokens;
    const int n = int(tokens.size());
    bool saves = false;
    int mode = -1;
    for (int i = 0; i + 2 < n; ++i) {
        if (tokens[i].kind == Token::Kind::Var && tokens[i].upper(text) == "OLD_SQL_MODE")
            saves = true;
        if (tokens[i].is(Keyword::SqlMode) && tokens[i + 1].isPunct('=') &&
            tokens[i + 2].kind == Token::Kind::String)
            mode = i + 2;
    }
    if (!saves || mode < 0)
        return QByteArray();
    const QByteArray modes = tokens[mode].upper(text);
    if (modes.split(',').contains("STRICT_ALL_TABLES"))
        return QByteArray();
    const QByteArray strict = modes.isEmpty() ? "STRICT_ALL_TABLES" : ",STRICT_ALL_TABLES";
    return text.left(tokens[mode].end - 1) + strict + text.mid(tokens[mode].end - 1);
}

namespace {

// Whether a byte right after a name would make one word with it.
bool runsOn(char byte)
{
    const unsigned char c = static_cast<unsigned char>(byte);
    return std::isalnum(c) || c == '_' || c == '$' || c == '`' || c == '\'' || c == '"' ||
           c == '@' || c >= 0x80;
}

} // namespace

// Views, routines, triggers and events are made by the loading account and run with its
// rights: "DEFINER=`root`@`localhost`" would be refused by the server (and must be).
QByteArray DumpVetter::definersAsLoader(const QByteArray &text) const
{
    const std::vector<Token> &tokens = m_tokens;
    const int n = int(tokens.size());
    QByteArray result;
    int copied = 0;
    for (int i = 0; i + 2 < n; ++i) {
        if (!tokens[i].is(Keyword::Definer) || !tokens[i + 1].isPunct('='))
            continue;
        const Token &who = tokens[i + 2];
        if (who.is(Keyword::CurrentUser) || who.is(Keyword::CurrentRole))
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
        // What followed the old name without a blank must not run on into the new one:
        // "CURRENT_USERroot`@`host`" would be another account.
        if (copied < text.size() && runsOn(text.at(copied)))
            result += ' ';
        i = last;
    }
    if (copied == 0)
        return QByteArray();
    return result + text.mid(copied);
}

// Reads a statement the way the server's parser splits it into words.
bool DumpVetter::tokenize(const QByteArray &text, bool *conditional, int *firstOffset,
                          bool *streamed)
{
    std::vector<Token> &tokens = m_tokens;
    tokens.clear();
    const char *data = text.constData();
    const int n = text.size();
    bool inConditional = false;
    int i = 0;
    while (i < n) {
        const char c = data[i];
        const ServerByte what = serverBytes[static_cast<unsigned char>(c)];
        if (what == ServerByte::Space) {
            ++i;
            continue;
        }
        const char next = i + 1 < n ? data[i + 1] : '\0';
        if (what >= ServerByte::Slash) {
            if (what == ServerByte::Slash && next == '*') {
                const char third = i + 2 < n ? data[i + 2] : '\0';
                const char fourth = i + 3 < n ? data[i + 3] : '\0';
                if (third == '!' || (third == 'M' && fourth == '!')) {
                    if (inConditional) {
                        refuse(Reason::ExecutableCommentInside, lineAt(text, i));
                        return false;
                    }
                    inConditional = true;
                    *conditional = true;
                    i += third == '!' ? 3 : 4;
                    while (i < n && isDigit(data[i]))
                        ++i;
                    continue;
                }
                if (inConditional) {
                    refuse(Reason::CommentInsideExecutable, lineAt(text, i));
                    return false;
                }
                const int close = text.indexOf("*/", i + 2);
                if (close < 0) {
                    refuse(Reason::CommentNotEnded, lineAt(text, i));
                    return false;
                }
                i = close + 2;
                continue;
            }
            if (what == ServerByte::Star && next == '/' && inConditional) {
                inConditional = false;
                i += 2;
                continue;
            }
            if (what == ServerByte::Hash ||
                (what == ServerByte::Dash && next == '-' && (i + 2 >= n || isSpace(data[i + 2])))) {
                const auto *newline =
                    static_cast<const char *>(std::memchr(data + i, '\n', size_t(n - i)));
                i = newline ? int(newline - data) : n;
                continue;
            }
        }
        // After a name a dot always separates: "Misc.5t" is the table 5t of Misc.
        const bool number =
            what == ServerByte::Digit || (what == ServerByte::Dot && isDigit(next) &&
                                          !(!tokens.empty() && tokens.back().isName()));
        // Made where it stays: a copy assembled on the stack reads back slowly.
        Token &token = tokens.emplace_back();
        token.offset = i;
        if (number) {
            int j = i;
            for (;;) {
                j = int(skipAlphanumerics(data + j, data + n) - data);
                while (j < n && isWordByte(data[j]))
                    ++j;
                if (j + 1 < n && data[j] == '.' && isDigit(data[j + 1])) {
                    ++j;
                    continue;
                }
                break;
            }
            token.kind = Token::Kind::Number;
            token.end = j == i ? i + 1 : j;
        } else if (what == ServerByte::Quote) {
            int j = i + 1;
            bool closed = false;
            while (j < n) {
                j = int(findEither(data + j, data + n, c, '\\') - data);
                if (j == n)
                    break;
                if (data[j] == c) {
                    if (j + 1 < n && data[j + 1] == c) {
                        token.doubled = true;
                        j += 2;
                        continue;
                    }
                    closed = true;
                    break;
                }
                // A backslash: it escapes the next byte, except in a name.
                j += c != '`' && j + 1 < n ? 2 : 1;
            }
            if (!closed) {
                refuse(Reason::TextNotEnded, lineAt(text, n));
                return false;
            }
            token.kind = c == '`' ? Token::Kind::Ident
                                  : (c == '"' ? Token::Kind::DString : Token::Kind::String);
            token.end = j + 1;
        } else if (what == ServerByte::Word) {
            int j = i + 1;
            while (j < n && isWordByte(data[j]))
                ++j;
            token.kind = Token::Kind::Word;
            token.end = j;
            token.keyword = keywordOf(data + i, j - i);
        } else if (what == ServerByte::At) {
            const bool system = next == '@';
            int j = i + (system ? 2 : 1);
            if (!system && j < n && isQuote(data[j])) {
                const int close = text.indexOf(data[j], j + 1);
                if (close < 0) {
                    refuse(Reason::TextNotEnded, lineAt(text, i));
                    return false;
                }
                j = close + 1;
            } else {
                while (j < n && (isWordByte(data[j]) || data[j] == '.'))
                    ++j;
            }
            token.kind = system ? Token::Kind::SysVar : Token::Kind::Var;
            token.end = j;
        } else {
            token.kind = Token::Kind::Punct;
            token.end = i + 1;
            token.punct = c;
        }
        i = token.end;
        if (tokens.size() == 1 && !*streamed) {
            *firstOffset = token.offset;
            *streamed = token.is(Keyword::Insert) || token.is(Keyword::Replace);
        } else if (tokens.size() >= size_t(streamWindow) && !checkWindow(text, *streamed)) {
            return false;
        }
    }
    if (inConditional) {
        refuse(Reason::ExecutableCommentNotEnded, lineAt(text, n));
        return false;
    }
    return true;
}

// A window's worth of words: rows are checked as they come, so that memory stays small
// however long the INSERT; any other statement is too long.
bool DumpVetter::checkWindow(const QByteArray &text, bool streamed)
{
    std::vector<Token> &tokens = m_tokens;
    if (!streamed) {
        refuse(Reason::TooManyWords, lineAt(text, tokens.back().end), QByteArray(), QByteArray(),
               streamWindow);
        return false;
    }
    // The last words stay for the checks that look around.
    const bool ok = checkEverywhere(text, tokens.data(), int(tokens.size()), false);
    tokens.erase(tokens.begin(), tokens.end() - streamOverlap);
    return ok;
}

void DumpVetter::checkQualifier(const QByteArray &text, const Token &token)
{
    const QByteArray name = token.text(text);
    const QByteArray upperName = upper(name);
    if (m_foreign.contains(upperName)) {
        refuse(Reason::OtherDatabase, lineAt(text, token.end), name);
        return;
    }
    if (upperName == upper(m_database))
        m_namesOwnDatabase = true;
}

bool DumpVetter::checkEverywhere(const QByteArray &text, const Token *tokens, int n,
                                 bool topLevelSet)
{
    auto word = [&](int index) {
        return index < n && tokens[index].kind == Token::Kind::Word ? tokens[index].keyword
                                                                    : Keyword::None;
    };
    auto name = [](Keyword keyword) { return QByteArray(keywordText(keyword)); };
    for (int i = 0; i < n; ++i) {
        const Token &token = tokens[i];
        // Texts and punctuation, most of a row, say nothing by themselves.
        if (token.kind == Token::Kind::String || token.kind == Token::Kind::Punct)
            continue;
        if (token.kind == Token::Kind::SysVar && token.upper(text).startsWith("GLOBAL")) {
            refuse(Reason::GlobalSetting, lineAt(text, token.end));
            return false;
        }
        if (token.kind == Token::Kind::Var) {
            // A text kept in one of these would later become a setting (SET SQL_MODE=@x).
            if (!topLevelSet && savedSettings.contains(token.upper(text))) {
                refuse(Reason::SavedSettingUsed, lineAt(text, token.end), token.text(text));
                return false;
            }
        }
        if (token.isName() && i + 2 < n && tokens[i + 1].isPunct('.') &&
            (tokens[i + 2].isName() || tokens[i + 2].isPunct('*')) &&
            !(i > 0 && tokens[i - 1].isPunct('.'))) {
            checkQualifier(text, token);
            if (isRefused())
                return false;
        }
        if (token.kind != Token::Kind::Word || token.keyword == Keyword::None)
            continue;
        const Keyword u = token.keyword;
        if (isForbiddenWord(u)) {
            refuse(Reason::ForbiddenWord, lineAt(text, token.end), name(u));
            return false;
        }
        if (isOneOf(u, {Keyword::Create, Keyword::Drop, Keyword::Alter, Keyword::Rename})) {
            int j = i + 1;
            while (
                isOneOf(word(j), {Keyword::Or, Keyword::Replace, Keyword::Temporary, Keyword::If,
                                  Keyword::Not, Keyword::Exists, Keyword::Online, Keyword::Ignore}))
                ++j;
            if (isForbiddenObject(word(j))) {
                refuse(Reason::ForbiddenObject, lineAt(text, token.end), name(u), name(word(j)));
                return false;
            }
        }
        // "SET @x = 1, GLOBAL max_connections = 77": a global setting further down the list.
        if (isOneOf(u, {Keyword::Global, Keyword::Persist, Keyword::PersistOnly}) && i > 0 &&
            tokens[i - 1].isPunct(',')) {
            refuse(Reason::ForbiddenSet, lineAt(text, token.end), name(u));
            return false;
        }
        if (u == Keyword::Set) {
            const Keyword what = word(i + 1);
            if (isOneOf(what, {Keyword::Global, Keyword::Persist, Keyword::PersistOnly,
                               Keyword::Password, Keyword::Role}) ||
                (what == Keyword::Default && word(i + 2) == Keyword::Role)) {
                refuse(Reason::ForbiddenSet, lineAt(text, token.end), name(what));
                return false;
            }
        }
        if (isOneOf(u, {Keyword::Change, Keyword::Start, Keyword::Stop, Keyword::Reset}) &&
            isOneOf(word(i + 1), {Keyword::Master, Keyword::Slave, Keyword::Replica,
                                  Keyword::Slaves, Keyword::Replicas, Keyword::All})) {
            refuse(Reason::Replication, lineAt(text, token.end));
            return false;
        }
        if ((u == Keyword::Data || u == Keyword::Index) && word(i + 1) == Keyword::Directory) {
            refuse(Reason::FileDirectory, lineAt(text, token.end), name(u));
            return false;
        }
        if (u == Keyword::Engine) {
            int j = i + 1;
            if (j < n && tokens[j].isPunct('='))
                ++j;
            // The engine may also be named as a text: ENGINE='CONNECT'.
            if (j < n &&
                (tokens[j].kind == Token::Kind::Word || tokens[j].kind == Token::Kind::Ident ||
                 tokens[j].kind == Token::Kind::String || tokens[j].kind == Token::Kind::DString)) {
                if (!allowedEngines.contains(tokens[j].upper(text))) {
                    refuse(Reason::StorageEngine, lineAt(text, token.end),
                           tokens[j].text(text, nameLimit));
                    return false;
                }
            }
        }
    }
    return true;
}

bool DumpVetter::checkTopLevel(const QByteArray &text, bool conditional, QByteArray *rewritten)
{
    const std::vector<Token> &tokens = m_tokens;
    const Token &first = tokens.front();
    const int n = int(tokens.size());
    auto word = [&](int index) {
        return index < n && tokens[index].kind == Token::Kind::Word ? tokens[index].keyword
                                                                    : Keyword::None;
    };
    auto notMysqldump = [&]() {
        QByteArray start;
        for (int i = 0; i < n && i < 3; ++i)
            start += (i ? " " : "") + tokens[i].text(text, nameLimit);
        refuse(Reason::NotMysqldump, lineAt(text, first.end), start);
        return false;
    };
    if (first.kind != Token::Kind::Word)
        return notMysqldump();
    const Keyword verb = first.keyword;
    bool ok = false;
    switch (verb) {
    case Keyword::Set:
        ok = checkSet(text);
        break;
    case Keyword::Drop: {
        int j = 1;
        if (word(j) == Keyword::Temporary)
            ++j;
        ok = isOneOf(word(j),
                     {Keyword::Table, Keyword::Tables, Keyword::View, Keyword::Procedure,
                      Keyword::Function, Keyword::Event, Keyword::Trigger, Keyword::Sequence}) ||
             notMysqldump();
        break;
    }
    case Keyword::Create:
        ok = checkCreate(text);
        break;
    case Keyword::Insert:
    case Keyword::Replace:
        ok = true;
        break;
    case Keyword::Lock:
    case Keyword::Unlock:
        ok = word(1) == Keyword::Tables || word(1) == Keyword::Table || notMysqldump();
        break;
    case Keyword::Alter:
        if (word(1) == Keyword::Database || word(1) == Keyword::Schema)
            return checkAlterDatabase(text, conditional, rewritten);
        ok = (word(1) == Keyword::Table && n <= 7 && word(n - 1) == Keyword::Keys &&
              (word(n - 2) == Keyword::Disable || word(n - 2) == Keyword::Enable)) ||
             notMysqldump();
        break;
    case Keyword::Do:
    case Keyword::Select:
        ok = (word(1) == Keyword::Setval && n > 2 && tokens[2].isPunct('(')) || notMysqldump();
        break;
    case Keyword::Commit:
        ok = n == 1 || notMysqldump();
        break;
    default:
        ok = notMysqldump();
    }
    return ok && checkEverywhere(text, tokens.data(), n, verb == Keyword::Set);
}

bool DumpVetter::checkValue(const QByteArray &text, const QByteArray &variable, int *index)
{
    const std::vector<Token> &tokens = m_tokens;
    const int i = *index;
    if (i >= int(tokens.size())) {
        refuse(Reason::SetWithoutValue, lineAt(text, tokens.back().end));
        return false;
    }
    const Token &value = tokens[size_t(i)];
    *index = i + 1;
    const int line = lineAt(text, value.end);
    const QByteArray valueText = value.text(text);
    auto refuseValue = [&]() {
        refuse(Reason::SetValue, line, variable, valueText);
        return false;
    };
    if (value.kind == Token::Kind::Var) {
        // Only what was saved from the same setting.
        if (savedSettings.value(upper(valueText)) == variable)
            return true;
        return refuseValue();
    }
    if (value.kind == Token::Kind::Number) {
        // A number sets SQL modes and character sets by their codes, which we cannot read.
        if (variable == "SQL_MODE" || !switchSettings.contains(variable)) {
            refuse(Reason::SetByNumber, line, variable);
            return false;
        }
        return valueText == "0" || valueText == "1" || refuseValue();
    }
    if (value.kind != Token::Kind::Word && value.kind != Token::Kind::String &&
        value.kind != Token::Kind::DString) {
        refuse(Reason::SetExpression, line);
        return false;
    }
    // The server reads "\S" as "S": the text must be the same read either way.
    if (valueText.contains('\\')) {
        refuse(Reason::SetValueBackslash, line);
        return false;
    }
    const QByteArray upperText = upper(valueText);
    static const QRegularExpression collation(
        QStringLiteral("^(UTF8|UTF8MB3|UTF8MB4|LATIN1|ASCII)_[A-Z0-9_]+$|^BINARY$"));
    static const QRegularExpression zone(
        QStringLiteral("^[+-][0-9]{1,2}:[0-9]{2}$|^[A-Z][A-Z0-9_+-]*(/[A-Z0-9_+-]+)*$"));
    if (variable == "SQL_MODE") {
        if (value.kind == Token::Kind::Word)
            return refuseValue();
        for (const QByteArray &mode : upperText.split(',')) {
            if (!mode.isEmpty() && !allowedModes.contains(mode)) {
                refuse(Reason::SqlMode, line, mode);
                return false;
            }
        }
        return true;
    }
    if (variable == "NAMES" || variable == "CHARACTER SET" || variable == "CHARACTER_SET_CLIENT" ||
        variable == "CHARACTER_SET_RESULTS") {
        if (safeCharsets.contains(upperText))
            return true;
        refuse(Reason::CharacterSet, line, valueText);
        return false;
    }
    if (variable == "COLLATION_CONNECTION")
        return collation.match(QString::fromLatin1(upperText)).hasMatch() || refuseValue();
    if (variable == "TIME_ZONE")
        return zone.match(QString::fromLatin1(upperText)).hasMatch() || refuseValue();
    if (switchSettings.contains(variable))
        return upperText == "ON" || upperText == "OFF" || refuseValue();
    return refuseValue();
}

bool DumpVetter::checkSet(const QByteArray &text)
{
    const std::vector<Token> &tokens = m_tokens;
    const int n = int(tokens.size());
    int i = 1;
    if (i < n && (tokens[i].is(Keyword::Session) || tokens[i].is(Keyword::Local)))
        ++i;
    if (i < n && tokens[i].kind == Token::Kind::Word &&
        isOneOf(tokens[i].keyword,
                {Keyword::Global, Keyword::Persist, Keyword::PersistOnly, Keyword::Password,
                 Keyword::Role, Keyword::Default, Keyword::Statement, Keyword::Transaction})) {
        refuse(Reason::ForbiddenSet, lineAt(text, tokens[i].end), keywordText(tokens[i].keyword));
        return false;
    }
    auto refuseSet = [&](int index) {
        const Token &at = tokens[size_t(std::min(index, n - 1))];
        refuse(Reason::SetOfUnknown, lineAt(text, at.end), at.text(text, nameLimit));
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
            QByteArray saved = tokens[i].upper(text);
            if (saved.startsWith("SESSION."))
                saved = saved.mid(8);
            const QByteArray variable = target.upper(text);
            if (!savedSettings.contains(variable) || savedSettings.value(variable) != saved) {
                refuse(Reason::SetOfUserVariable, lineAt(text, target.end),
                       target.text(text, nameLimit));
                return false;
            }
            ++i;
        } else if (target.kind == Token::Kind::SysVar || target.kind == Token::Kind::Word) {
            QByteArray name = target.upper(text);
            if (target.kind == Token::Kind::SysVar) {
                if (name.startsWith("SESSION."))
                    name = name.mid(8);
                else if (name.startsWith("LOCAL."))
                    name = name.mid(6);
            }
            ++i;
            if (target.is(Keyword::Names)) {
                if (!checkValue(text, "NAMES", &i))
                    return false;
                if (i < n && tokens[i].is(Keyword::Collate)) {
                    ++i;
                    if (!checkValue(text, "COLLATION_CONNECTION", &i))
                        return false;
                }
            } else if (target.is(Keyword::Character) && i < n && tokens[i].is(Keyword::Set)) {
                ++i;
                if (!checkValue(text, "CHARACTER SET", &i))
                    return false;
            } else if (allowedVariables.contains(name)) {
                if (!assignment(&i))
                    return refuseSet(i - 1);
                if (!checkValue(text, name, &i))
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

bool DumpVetter::checkCreate(const QByteArray &text)
{
    const std::vector<Token> &tokens = m_tokens;
    const int n = int(tokens.size());
    int i = 1;
    auto word = [&](int index) {
        return index < n && tokens[index].kind == Token::Kind::Word ? tokens[index].keyword
                                                                    : Keyword::None;
    };
    if (word(i) == Keyword::Or && word(i + 1) == Keyword::Replace)
        i += 2;
    for (;;) {
        const Keyword w = word(i);
        if (w == Keyword::Algorithm) {
            i += 3;
        } else if (w == Keyword::Sql && word(i + 1) == Keyword::Security) {
            i += 3;
        } else if (w == Keyword::Definer) {
            i += 2; // DEFINER =
            if (word(i) == Keyword::CurrentUser) {
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
        } else if (w == Keyword::Temporary || w == Keyword::Aggregate) {
            ++i;
        } else {
            break;
        }
    }
    if (isOneOf(word(i), {Keyword::Table, Keyword::View, Keyword::Trigger, Keyword::Procedure,
                          Keyword::Function, Keyword::Event, Keyword::Sequence}))
        return true;
    const Token &at = tokens[size_t(std::min(i, n - 1))];
    refuse(Reason::CreateNotMysqldump, lineAt(text, at.end), at.text(text, nameLimit));
    return false;
}

bool DumpVetter::checkAlterDatabase(const QByteArray &text, bool conditional, QByteArray *rewritten)
{
    const std::vector<Token> &tokens = m_tokens;
    const int n = int(tokens.size());
    const Token &first = tokens.front();
    // Without a name it is the database the client was started on; ours has one.
    const bool named =
        !(n > 2 && (tokens[2].is(Keyword::Character) || tokens[2].is(Keyword::Collate) ||
                    tokens[2].is(Keyword::Default)));
    if (named &&
        (n < 3 || !(tokens[2].kind == Token::Kind::Ident || tokens[2].kind == Token::Kind::Word) ||
         tokens[2].text(text) != m_database)) {
        const QByteArray name = n >= 3 ? tokens[2].text(text, nameLimit) : QByteArray();
        refuse(Reason::AlterOtherDatabase, lineAt(text, first.end), name);
        return false;
    }
    // mysqldump's form: ALTER DATABASE `name` CHARACTER SET cs COLLATE coll
    QByteArray charset;
    QByteArray collation;
    int i = named ? 3 : 2;
    auto name = [&](int index) {
        return index < n && tokens[index].kind == Token::Kind::Word &&
               !tokens[index].text(text).contains('$');
    };
    if (i + 2 < n && tokens[i].is(Keyword::Character) && tokens[i + 1].is(Keyword::Set) &&
        name(i + 2)) {
        charset = tokens[i + 2].text(text);
        i += 3;
    }
    if (i + 1 < n && tokens[i].is(Keyword::Collate) && name(i + 1)) {
        collation = tokens[i + 1].text(text);
        i += 2;
    }
    if (conditional || i != n || charset.isEmpty()) {
        refuse(Reason::AlterDatabaseForm, lineAt(text, first.end));
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
    verdict.refusal = vetter.refusal();
    verdict.statements = vetter.statementCount();
    verdict.namesOwnDatabase = vetter.namesOwnDatabase();
    if (!verdict.accepted)
        verdict.loadable.clear();
    return verdict;
}
