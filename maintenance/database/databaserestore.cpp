#include "maintenance/database/databaserestore.h"

#include "maintenance/database/dumpend.h"
#include "maintenance/database/dumpvetting.h"
#include "maintenance/database/loadingaccount.h"
#include "maintenance/fs/uniquefd.h"
#include "maintenance/database/stickfile.h"
#include "maintenance/fs/sha256.h"
#include "maintenance/system/commandrunner.h"
#include "maintenance/system/devicecommands.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <fcntl.h>

namespace {

// Texts for the panel's boxes, translated in the panel's context.
struct PanelText
{
    Q_DECLARE_TR_FUNCTIONS(sendordertoprinter_test)
};

const qint64 blockBytes = 64 * 1024;

DatabaseRestore::RefusalWording refusalWording = nullptr;

bool isPlainName(const QString &name)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_]+$"));
    return plain.match(name).hasMatch();
}

QString why(const CommandResult &result)
{
    const QString last = result.lastErrorLine();
    return last.isEmpty() ? result.reason() : result.reason() + QStringLiteral(": ") + last;
}

bool endsComplete(const QString &path)
{
    UniqueFd fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    return fd.isValid() && dumpEndsWhole(fd.get());
}

} // namespace

DatabaseRestore::DatabaseRestore(CommandRunner &runner, const QString &workFolder)
    : m_runner(runner), m_work(workFolder)
{
}

DatabaseRestore::~DatabaseRestore()
{
    removeIncoming();
    // The saved data is kept only while a roll-back may need it, or when it is the only
    // copy left (dataAtRisk()).
    if (!m_dataAtRisk) {
        for (const Item &item : qAsConst(m_items))
            QFile::remove(previousDump(item.database));
    }
}

void DatabaseRestore::setRefusalWording(RefusalWording wording)
{
    refusalWording = wording;
}

QString DatabaseRestore::defaultWorkFolder(const QString &systemRoot)
{
    return keptDataFolder(systemRoot);
}

QString DatabaseRestore::scratchName(const QString &database)
{
    return QLatin1String("servicepanel_check_") + database;
}

QString DatabaseRestore::previousDump(const QString &database) const
{
    return m_work + QLatin1String("/previous/") + database + QLatin1String(".sql");
}

QString DatabaseRestore::incomingDump(const QString &database) const
{
    return m_work + QLatin1String("/incoming/") + database + QLatin1String(".sql");
}

void DatabaseRestore::addDatabase(const QString &database, const QString &dumpPath,
                                  const QByteArray &sha256)
{
    Item item;
    item.database = database;
    item.dumpPath = dumpPath;
    item.sha256 = sha256;
    m_items << item;
}

bool DatabaseRestore::run(const QByteArray &commandLine, const QString &what)
{
    const CommandResult result = m_runner.run(commandLine);
    if (result.succeeded())
        return true;
    m_problems << PanelText::tr("%1: %2").arg(what, why(result));
    return false;
}

QByteArray DatabaseRestore::loadCommand(const QString &database, const QString &file,
                                        bool asAccount) const
{
    // The dump only ever names the database it is loaded into: it goes where we say. Quotes
    // and backslashes are read in a known way from the first line on (no ANSI_QUOTES, no
    // NO_BACKSLASH_ESCAPES from the server's defaults, a character set without surprises).
    // A stick's dump runs as the loading account, which the server keeps in that database.
    QByteArray line = "mysql ";
    if (asAccount)
        line += m_account->clientOptions() + ' ';
    line += "--default-character-set=utf8mb4 --local-infile=0 "
            "--skip-named-commands --skip-force "
            "--init-command=\"SET SESSION sql_mode='STRICT_ALL_TABLES,NO_ENGINE_SUBSTITUTION'\"";
    if (m_sandbox)
        line += " --sandbox";
    return line + ' ' + database.toLatin1() + " < " + shellArgument(file);
}

bool DatabaseRestore::makeFolders()
{
    const QDir work(m_work);
    if (!work.mkpath(QStringLiteral("incoming")) || !work.mkpath(QStringLiteral("previous"))) {
        m_problems << PanelText::tr("The folder %1 cannot be made on the device").arg(m_work);
        return false;
    }
    // The dumps hold the customer's data.
    QFile::setPermissions(m_work, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return true;
}

bool DatabaseRestore::readServer()
{
    // Clients before MariaDB 10.5.25 / 10.11.8 do not know --sandbox and would refuse it.
    m_sandbox =
        m_runner.run("mysql --no-defaults --help 2>/dev/null | grep -q -e '--sandbox'").succeeded();
    const QString list = m_work + QLatin1String("/databases.txt");
    const bool listed = run("mysql -N -B -e 'show databases' > " + shellArgument(list),
                            PanelText::tr("The database server cannot be reached"));
    QFile file(list);
    if (listed && file.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (!line.trimmed().isEmpty())
                m_serverDatabases << QString::fromUtf8(line.trimmed());
        }
    }
    file.remove();
    return listed;
}

bool DatabaseRestore::copyVetted(Item &item)
{
    const QString name = QFileInfo(item.dumpPath).fileName();
    StickFile in(item.dumpPath);
    if (!in.open()) {
        m_problems << in.problem();
        return false;
    }
    QStringList foreign = m_serverDatabases;
    for (const Item &other : qAsConst(m_items)) {
        foreign << other.database << scratchName(other.database);
    }
    foreign.removeAll(item.database);
    DumpVetter vetter(item.database, foreign);

    QFile out(incomingDump(item.database));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_problems
            << PanelText::tr("%1 cannot be copied to the device: %2").arg(name, out.errorString());
        return false;
    }
    QByteArray block(int(blockBytes), '\0');
    QByteArray loadable;
    Sha256 hash;
    bool readOk = true;
    bool written = true;
    for (;;) {
        const qint64 got = in.read(block.data(), blockBytes);
        if (got < 0) {
            readOk = false;
            break;
        }
        hash.add(block.constData(), size_t(got));
        if (got == 0) {
            vetter.finish(&loadable);
        } else {
            vetter.feed(QByteArray::fromRawData(block.constData(), int(got)), &loadable);
        }
        if (vetter.isRefused())
            break;
        written = out.write(loadable) == loadable.size();
        loadable.clear();
        if (!written || got == 0)
            break;
    }
    if (!readOk) {
        m_problems << in.problem();
        return false;
    }
    if (vetter.isRefused()) {
        m_problems << PanelText::tr("%1 refused: %2")
                          .arg(name, refusalWording ? refusalWording(vetter.refusal()) : QString());
        return false;
    }
    // The stick may have changed since it was checked: only the checked bytes are loaded.
    if (!item.sha256.isEmpty() && hash.hex() != item.sha256) {
        m_problems << PanelText::tr("%1 changed on the U disk after it was checked").arg(name);
        return false;
    }
    if (!written || !out.flush()) {
        m_problems
            << PanelText::tr("%1 cannot be copied to the device: %2").arg(name, out.errorString());
        return false;
    }
    item.namesItself = vetter.namesOwnDatabase();
    return true;
}

bool DatabaseRestore::saveLiveData(Item &item)
{
    const QString saved = previousDump(item.database);
    item.existed = m_serverDatabases.contains(item.database);
    if (!item.existed) {
        // Nothing to keep: putting it back means dropping it again.
        QFile::remove(saved);
        return true;
    }
    const QString temporary = saved + QLatin1String(".tmp");
    const QString what =
        PanelText::tr("The data of %1 cannot be saved on the device first").arg(item.database);
    const QByteArray dump = "mysqldump --routines --events --triggers " + item.database.toLatin1() +
                            " > " + shellArgument(temporary) + " && mv -f " +
                            shellArgument(temporary) + ' ' + shellArgument(saved);
    if (!run(dump, what)) {
        QFile::remove(temporary);
        return false;
    }
    if (!endsComplete(saved)) {
        m_problems << PanelText::tr("%1: the dump is incomplete").arg(what);
        return false;
    }
    return true;
}

bool DatabaseRestore::proveLoads(Item &item)
{
    const QByteArray scratch = scratchName(item.database).toLatin1();
    const bool made = run(
        "mysql -e 'drop database if exists " + scratch + "; create database " + scratch + ";'",
        PanelText::tr("The scratch database %1 cannot be made").arg(QString::fromLatin1(scratch)));
    const bool loaded =
        made &&
        loadAsAccount(QString::fromLatin1(scratch), incomingDump(item.database),
                      PanelText::tr("%1 does not load").arg(QFileInfo(item.dumpPath).fileName()));
    m_runner.run("mysql -e 'drop database if exists " + scratch + ";'");
    return loaded;
}

bool DatabaseRestore::prepare()
{
    m_problems.clear();
    m_serverDatabases.clear();
    m_prepared = false;
    m_replaced = false;
    m_dataAtRisk = false;
    for (const Item &item : qAsConst(m_items)) {
        if (!isPlainName(item.database)) {
            m_problems << PanelText::tr("%1 is not a database name").arg(item.database);
            return false;
        }
    }
    if (!makeFolders() || !readServer())
        return false;
    QStringList data;
    for (const Item &item : qAsConst(m_items))
        data << item.database;
    m_account = std::make_unique<LoadingAccount>(m_runner, m_work, data);
    // Every dump is checked before anything is saved or loaded.
    for (Item &item : m_items) {
        if (!copyVetted(item)) {
            removeIncoming();
            return false;
        }
    }
    for (Item &item : m_items) {
        if (!saveLiveData(item)) {
            removeIncoming();
            return false;
        }
    }
    bool proved = true;
    for (Item &item : m_items) {
        if (!proveLoads(item)) {
            proved = false;
            break;
        }
    }
    if (!proved) {
        for (Item &item : m_items) {
            if (item.touched)
                putBack(item);
        }
        removeIncoming();
        return false;
    }
    m_prepared = true;
    return true;
}

bool DatabaseRestore::replaceOne(Item &item)
{
    item.touched = true;
    const QString what = PanelText::tr("%1 cannot be replaced").arg(item.database);
    return run(dropDatabaseCommand(item.database), what) &&
           run(createDatabaseCommand(item.database), what) &&
           loadAsAccount(item.database, incomingDump(item.database),
                         PanelText::tr("%1 does not load into %2")
                             .arg(QFileInfo(item.dumpPath).fileName(), item.database));
}

bool DatabaseRestore::loadAsAccount(const QString &database, const QString &file,
                                    const QString &what)
{
    if (!m_account->open({database})) {
        m_problems << m_account->problem();
        return false;
    }
    const bool loaded = run(loadCommand(database, file, true), what);
    if (!m_account->close()) {
        m_problems << m_account->problem();
        return false;
    }
    return loaded;
}

bool DatabaseRestore::replace()
{
    if (!m_prepared) {
        m_problems << PanelText::tr("The dumps were not checked first");
        return false;
    }
    for (Item &item : m_items) {
        if (!replaceOne(item)) {
            rollBack();
            removeIncoming();
            m_prepared = false;
            return false;
        }
    }
    removeIncoming();
    m_prepared = false;
    m_replaced = true;
    return true;
}

bool DatabaseRestore::putBack(Item &item)
{
    const QString what =
        PanelText::tr("The previous data of %1 cannot be put back").arg(item.database);
    bool ok = run(dropDatabaseCommand(item.database), what);
    if (ok && item.existed) {
        ok = run(createDatabaseCommand(item.database), what) &&
             run(loadCommand(item.database, previousDump(item.database), false), what);
    }
    if (!ok) {
        m_dataAtRisk = true;
        if (item.existed)
            m_problems << PanelText::tr("The previous data of %1 is kept in %2")
                              .arg(item.database, previousDump(item.database));
        return false;
    }
    item.touched = false;
    m_problems << (item.existed ? PanelText::tr("%1 has its previous data back").arg(item.database)
                                : PanelText::tr("%1 is gone again, as before").arg(item.database));
    return true;
}

bool DatabaseRestore::putBackTouched()
{
    m_problems.clear();
    bool ok = true;
    for (Item &item : m_items) {
        if (item.touched)
            ok = putBack(item) && ok;
    }
    return ok;
}

bool DatabaseRestore::rollBack()
{
    bool ok = true;
    for (Item &item : m_items) {
        if (item.touched || m_replaced)
            ok = putBack(item) && ok;
    }
    m_replaced = false;
    return ok;
}

void DatabaseRestore::removeIncoming()
{
    for (const Item &item : qAsConst(m_items))
        QFile::remove(incomingDump(item.database));
}
