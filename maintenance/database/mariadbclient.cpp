#include "maintenance/database/mariadbclient.h"

#include "maintenance/fs/uniquefd.h"
#include "maintenance/system/devicecommands.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Hands `text` to the client, then the end of its input.
class TextInput
{
public:
    explicit TextInput(const QByteArray &text) : m_text(text) {}
    qint64 operator()(char *buffer, qint64 size)
    {
        const qint64 count = qMin(size, qint64(m_text.size()) - m_offset);
        std::memcpy(buffer, m_text.constData() + m_offset, size_t(count));
        m_offset += count;
        return count;
    }

private:
    QByteArray m_text;
    qint64 m_offset = 0;
};

bool syncFile(const QString &path)
{
    UniqueFd fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    return fd.isValid() && ::fsync(fd.get()) == 0;
}

} // namespace

QByteArray quotedName(const QByteArray &name)
{
    QByteArray quoted = name;
    return '`' + quoted.replace('`', "``") + '`';
}

MariaDbClient::MariaDbClient(CommandRunner &runner, const QString &workFolder)
    : m_runner(runner), m_work(workFolder)
{
}

QString MariaDbClient::workFile(const char *name) const
{
    return m_work + QLatin1Char('/') + QLatin1String(name);
}

void MariaDbClient::probeSandbox()
{
    m_sandbox =
        m_runner.run("mysql --no-defaults --help 2>/dev/null | grep -q -e '--sandbox'").succeeded();
}

QByteArray MariaDbClient::clientLine(const QByteArray &login) const
{
    QByteArray line = "mysql ";
    if (!login.isEmpty())
        line += login + ' ';
    line += "--default-character-set=utf8mb4 --local-infile=0 --skip-named-commands "
            "--skip-force --skip-reconnect --batch";
    if (m_sandbox)
        line += " --sandbox";
    return line;
}

CommandResult MariaDbClient::run(const QByteArray &statements)
{
    CommandIo io;
    io.input = TextInput(statements);
    return m_runner.runWith(clientLine(), io);
}

CommandResult MariaDbClient::runWith(const QByteArray &login, const CommandIo &io)
{
    return m_runner.runWith(clientLine(login), io);
}

CommandResult MariaDbClient::runFiles(const QByteArray &login, const QByteArray &prefix,
                                      const QStringList &files)
{
    TextInput head(prefix);
    QStringList rest = files;
    QFile in;
    CommandIo io;
    io.input = [&](char *buffer, qint64 size) -> qint64 {
        const qint64 count = head(buffer, size);
        if (count > 0)
            return count;
        for (;;) {
            if (in.isOpen()) {
                const qint64 got = in.read(buffer, size);
                if (got != 0)
                    return got;
                in.close();
            }
            if (rest.isEmpty())
                return 0;
            in.setFileName(rest.takeFirst());
            // A file that cannot be read must not be taken for an empty one.
            if (!in.open(QIODevice::ReadOnly))
                return -1;
        }
    };
    return m_runner.runWith(clientLine(login), io);
}

bool MariaDbClient::query(const QByteArray &statements, Rows *rows, CommandResult *result)
{
    rows->clear();
    const QString answer = workFile("answer.txt");
    QFile::remove(answer);
    CommandIo io;
    io.input = TextInput(statements);
    *result =
        m_runner.runWith(clientLine() + " --skip-column-names > " + shellArgument(answer), io);
    QFile file(answer);
    if (result->succeeded() && file.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (!line.isEmpty())
                rows->append(line.split('\t'));
        }
    }
    file.remove();
    return result->succeeded();
}

bool MariaDbClient::dump(const QByteArray &arguments, const QString &file, CommandResult *result)
{
    const QString temporary = file + QLatin1String(".tmp");
    QFile::remove(temporary);
    *result = m_runner.run("mysqldump " + arguments + " > " + shellArgument(temporary));
    bool kept = false;
    if (result->succeeded()) {
        errno = 0;
        kept = syncFile(temporary) && std::rename(QFile::encodeName(temporary).constData(),
                                                  QFile::encodeName(file).constData()) == 0;
    }
    const int error = errno;
    QFile::remove(temporary);
    errno = error;
    return kept;
}
