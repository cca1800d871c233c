#ifndef DUMPVETTING_H
#define DUMPVETTING_H

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

#include <vector>

// Decides whether an SQL dump from a stick may be handed to the mysql client: it must be
// mysqldump's output for one database, complete, and hold nothing that the client or the
// server would take as an order to run a program, touch a file or reach another database.
//
// The dump is read the way the mysql client reads it (lines, quotes, comments, the
// delimiter, its own commands), and each statement the client would send is then read the
// way the server reads it. Only the vocabulary mysqldump writes is accepted: SET of session
// settings, DROP/CREATE of tables, views, triggers, routines, events and sequences,
// INSERT, LOCK/UNLOCK TABLES, ALTER TABLE ... DISABLE/ENABLE KEYS, ALTER DATABASE (of its own
// database, character set only), DO SETVAL and COMMIT. Anywhere, also inside routine, trigger
// and event bodies, it refuses: client commands, names qualified by another database,
// GRANT/REVOKE, users and roles, CREATE/DROP/ALTER DATABASE, file access (LOAD, LOAD_FILE,
// INTO OUTFILE/DUMPFILE, DATA/INDEX DIRECTORY, storage engines that reach files or other
// servers), plugins, dynamic SQL (PREPARE/EXECUTE) and server administration.
//
// Feed it in pieces of any size; what it accepted comes out as the text to load, which is the
// dump itself except that ALTER DATABASE names no database, so that the same text loads into a
// scratch database without touching the live one, and that every DEFINER is the loading
// account (DEFINER=CURRENT_USER): views and stored programs get no more rights than the load,
// and that the rows load in strict mode (STRICT_ALL_TABLES is added to the SQL mode that
// mysqldump sets for them): bad bytes fail the load instead of being changed. A statement
// comes out only once all of it has been read and accepted.
//
// Memory: the statement being gathered, the line being read, and a window of its words.
class DumpVetter
{
public:
    // Why a dump is refused, as data: the panel words it (MaintenanceText::vetterRefusal).
    struct Refusal
    {
        // What each reason names besides the line: `name`, `value` (bytes as the dump holds
        // them, at most nameLimit of each) or `number`.
        enum class Reason {
            None,
            // The dump as a whole (line 0).
            Empty,
            EndsInText,
            EndsInComment,
            Incomplete, // no "-- Dump completed" at its end
            NoStatements,
            // Its lines, as the mysql client reads them.
            NoHeader,
            NulByte,
            LineTooLong,      // number: the limit in bytes
            StatementTooLong, // number: the limit in bytes
            EndsInStatement,
            BackslashAtLineEnd, // inside a quoted text
            BackslashCommand,   // name: the byte after the backslash
            ClientCommand,      // name: the command, in small letters
            Delimiter,          // name: the delimiter asked for
            DashesWithoutBlank,
            ControlByte, // number: the byte
            // Its statements, as the server reads them.
            ExecutableCommentInside,
            CommentInsideExecutable,
            CommentNotEnded,
            TextNotEnded,
            ExecutableCommentNotEnded,
            TooManyWords,       // number: the limit
            OtherDatabase,      // name: the database
            GlobalSetting,      //
            SavedSettingUsed,   // name: the user variable, without its @
            ForbiddenWord,      // name: the word, in capitals
            ForbiddenObject,    // name: CREATE, DROP, ALTER or RENAME; value: the object
            ForbiddenSet,       // name: what follows SET (GLOBAL, PASSWORD...)
            Replication,        //
            FileDirectory,      // name: DATA or INDEX
            StorageEngine,      // name: the engine
            NotMysqldump,       // name: the statement's first words
            CreateNotMysqldump, // name: what follows CREATE
            AlterOtherDatabase, // name: the database named (empty when none)
            AlterDatabaseForm,
            SetOfUnknown,      // name: what is set
            SetOfUserVariable, // name: the user variable, without its @
            SetWithoutValue,
            SetExpression,
            SetByNumber, // name: the setting
            SetValue,    // name: the setting; value: its value
            SetValueBackslash,
            SqlMode,      // name: the mode
            CharacterSet, // name: the character set
        };

        Reason reason = Reason::None;
        int line = 0; // 0: the dump as a whole
        QByteArray name;
        QByteArray value;
        int number = 0;

        bool operator==(const Refusal &other) const;
        bool operator!=(const Refusal &other) const { return !(*this == other); }
    };

    // `database` is the one the dump is for; `foreignDatabases` are names no statement may
    // qualify a name with (compared ignoring case). The own database may appear qualified.
    DumpVetter(const QString &database, const QStringList &foreignDatabases);
    ~DumpVetter();
    DumpVetter(const DumpVetter &) = delete;
    DumpVetter &operator=(const DumpVetter &) = delete;

    // Returns false once the dump is refused. Accepted text is appended to *loadable.
    bool feed(const QByteArray &piece, QByteArray *loadable = nullptr);
    // The end of the dump: false when it is refused or not complete.
    bool finish(QByteArray *loadable = nullptr);

    bool isRefused() const { return m_refusal.reason != Refusal::Reason::None; }
    // Reason None while nothing is wrong.
    Refusal refusal() const { return m_refusal; }
    int statementCount() const { return m_statements; }
    // A statement qualifies a name with the dump's own database (say appdb.sales): loading
    // it into a scratch database may then reach the live one.
    bool namesOwnDatabase() const { return m_namesOwnDatabase; }

    struct Verdict
    {
        bool accepted = false;
        Refusal refusal;
        QByteArray loadable;
        int statements = 0;
        bool namesOwnDatabase = false;
    };
    // The whole dump at once.
    static Verdict vet(const QByteArray &dump, const QString &database,
                       const QStringList &foreignDatabases);

    // Lines and statements longer than this are refused: the mysql client sends none (its
    // max_allowed_packet), mysqldump writes none, and the device's memory is small.
    static constexpr int maxUnitBytes = 16 * 1024 * 1024;
    // Statements other than INSERT and REPLACE have at most this many words; rows are
    // checked a window of this many words at a time.
    static constexpr int streamWindow = 65536;
    static constexpr int streamOverlap = 16;
    // A refusal keeps at most this much of each name or value it holds.
    static constexpr int nameLimit = 256;

private:
    struct Token;

    void processLine(int lineEnd, bool hasNewline, QByteArray *loadable);
    bool clientCommandAtLineStart(int n, bool hasNewline, QByteArray *loadable);
    int endStatement(int end, int next, QByteArray *loadable);
    void checkStatement(const QByteArray &text, QByteArray *rewritten);
    QByteArray definersAsLoader(const QByteArray &text) const;
    QByteArray strictRows(const QByteArray &text) const;
    void checkQualifier(const QByteArray &text, const Token &token);
    bool tokenize(const QByteArray &text, bool *conditional, int *firstOffset, bool *streamed);
    bool checkWindow(const QByteArray &text, bool streamed);
    bool checkEverywhere(const QByteArray &text, const Token *tokens, int n, bool topLevelSet);
    bool checkTopLevel(const QByteArray &text, bool conditional, QByteArray *rewritten);
    bool checkSet(const QByteArray &text);
    bool checkCreate(const QByteArray &text);
    bool checkAlterDatabase(const QByteArray &text, bool conditional, QByteArray *rewritten);
    bool checkValue(const QByteArray &text, const QByteArray &variable, int *index);
    void refuse(Refusal::Reason reason, int line = 0, const QByteArray &name = QByteArray(),
                const QByteArray &value = QByteArray(), int number = 0);
    int lineAt(const QByteArray &text, int offset) const;
    void pass(const char *text, int size, QByteArray *loadable);

    QByteArray m_database;
    QSet<QByteArray> m_foreign; // upper case
    Refusal m_refusal;

    // The dump's bytes from the unit the client is gathering (all since the last statement
    // ended: a statement is always a slice of the dump) to what has come.
    QByteArray m_buffer;
    int m_unitStart = 0; // in m_buffer
    int m_lineStart = 0; // in m_buffer: the line not yet read
    QByteArray m_delimiter = ";";
    char m_quote = 0; // the quote of the string the client is in, or 0
    bool m_inComment = false;
    bool m_hasContent = false; // the unit holds more than blanks and comments
    int m_line = 0;
    int m_unitLine = 1;    // the line the unit starts on
    int m_contentLine = 1; // the line its statement starts on
    bool m_headerSeen = false;
    bool m_finished = false;
    bool m_endSeen = false; // the last line that was not blank is "-- Dump completed..."
    int m_statements = 0;
    bool m_namesOwnDatabase = false;
    std::vector<Token> m_tokens; // the words of the statement being checked, or of a window
};

#endif
