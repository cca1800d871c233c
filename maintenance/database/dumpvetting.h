#ifndef DUMPVETTING_H
#define DUMPVETTING_H

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

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
// mysqldump sets for them): bad bytes fail the load instead of being changed.
class DumpVetter
{
public:
    // `database` is the one the dump is for; `foreignDatabases` are names no statement may
    // qualify a name with (compared ignoring case). The own database may appear qualified.
    DumpVetter(const QString &database, const QStringList &foreignDatabases);

    // Returns false once the dump is refused. Accepted text is appended to *loadable.
    bool feed(const QByteArray &piece, QByteArray *loadable = nullptr);
    // The end of the dump: false when it is refused or not complete.
    bool finish(QByteArray *loadable = nullptr);

    bool isRefused() const { return !m_problem.isEmpty(); }
    // "line 12: ..." for the box; empty while nothing is wrong.
    QString problem() const { return m_problem; }
    int statementCount() const { return m_statements; }
    // A statement qualifies a name with the dump's own database (say appdb.sales): loading
    // it into a scratch database may then reach the live one.
    bool namesOwnDatabase() const { return m_namesOwnDatabase; }

    struct Verdict
    {
        bool accepted = false;
        QString problem;
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

private:
    struct Token;

    void processLine(const QByteArray &line, bool hasNewline, QByteArray *loadable);
    bool clientCommandAtLineStart(const QByteArray &line, bool hasNewline, QByteArray *loadable);
    void endStatement(QByteArray *loadable);
    void checkStatement(const QByteArray &text, QByteArray *rewritten);
    static QByteArray definersAsLoader(const QByteArray &text, const QList<Token> &tokens);
    static QByteArray strictRows(const QByteArray &text, const QList<Token> &tokens);
    void checkQualifier(const Token &token);
    bool tokenize(const QByteArray &text, QList<Token> &tokens, bool *conditional, int *firstOffset,
                  bool *streamed);
    bool checkEverywhere(const QList<Token> &tokens, bool topLevelSet);
    bool checkTopLevel(const QList<Token> &tokens, bool conditional, QByteArray *rewritten);
    bool checkSet(const QList<Token> &tokens);
    bool checkCreate(const QList<Token> &tokens);
    bool checkAlterDatabase(const QList<Token> &tokens, bool conditional, QByteArray *rewritten);
    bool checkValue(const QByteArray &variable, const QList<Token> &tokens, int *index);
    void refuse(const QString &problem);
    void refuseAt(int line, const QString &problem);
    void pass(const QByteArray &text, QByteArray *loadable);

    QByteArray m_database;
    QSet<QByteArray> m_foreign; // upper case
    QString m_problem;

    QByteArray m_pending; // an unfinished line
    QByteArray m_unit;    // what the client has gathered since the last statement ended
    QByteArray m_delimiter = ";";
    char m_quote = 0; // the quote of the string the client is in, or 0
    bool m_inComment = false;
    bool m_hasContent = false; // the unit holds more than blanks and comments
    int m_line = 0;
    int m_unitLine = 1;    // the line the unit starts on
    int m_contentLine = 1; // the line its statement starts on
    bool m_headerSeen = false;
    bool m_finished = false;
    QByteArray m_lastLine; // the last line that was not blank
    int m_statements = 0;
    bool m_namesOwnDatabase = false;
};

#endif
