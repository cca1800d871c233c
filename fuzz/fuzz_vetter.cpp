// An SQL dump from a stick -> the vetter's verdict. Held to what any sound vetter must do,
// not to how this one reads SQL: the verdict does not depend on how the dump arrives in
// pieces, what passes once passes again unchanged, mysqldump's real output passes, and a
// value mysqldump quotes is data however hostile its bytes.
#include "fuzzcheck.h"
#include "maintenance/database/dumpvetting.h"
#include "tests/mysqldumptext.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

const QStringList &others()
{
    static const QStringList names{QStringLiteral("Misc"), QStringLiteral("mysql"),
                                   QStringLiteral("information_schema")};
    return names;
}

// mysqldump's output for appdb, as the tests keep it.
const QByteArray &realDump()
{
    static const QByteArray dump = [] {
        QFile file(QStringLiteral(PANEL_TEST_DATA "/mysqldump-appdb.sql"));
        FUZZ_CHECK(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }();
    return dump;
}

DumpVetter::Verdict inPieces(const QByteArray &dump, FuzzedDataProvider &cuts)
{
    DumpVetter vetter(QStringLiteral("appdb"), others());
    DumpVetter::Verdict verdict;
    int at = 0;
    bool going = true;
    while (going && at < dump.size()) {
        const int piece =
            cuts.remaining_bytes() > 0 ? cuts.ConsumeIntegralInRange(1, 64) : int(dump.size()) - at;
        going = vetter.feed(dump.mid(at, piece), &verdict.loadable);
        at += piece;
    }
    verdict.accepted = going && vetter.finish(&verdict.loadable);
    // What was passed before a refusal is not loaded either.
    if (!verdict.accepted)
        verdict.loadable.clear();
    verdict.refusal = vetter.refusal();
    verdict.statements = vetter.statementCount();
    verdict.namesOwnDatabase = vetter.namesOwnDatabase();
    return verdict;
}

// The smallest whole dump: mysqldump's first lines, `body`, and its closing line.
QByteArray dumpAround(const QByteArray &body)
{
    static const QByteArray head = [] {
        const QByteArray &real = realDump();
        int end = 0;
        for (int line = 0; line < 6; ++line)
            end = real.indexOf('\n', end) + 1;
        return real.left(end);
    }();
    static const QByteArray tail = realDump().mid(realDump().lastIndexOf("\n-- Dump completed"));
    return head + body + tail;
}

void checkVerdict(const QByteArray &dump, const DumpVetter::Verdict &verdict)
{
    FUZZ_CHECK(verdict.accepted == (verdict.refusal.reason == DumpVetter::Refusal::Reason::None));
    FUZZ_CHECK(verdict.refusal.name.size() <= DumpVetter::nameLimit);
    FUZZ_CHECK(verdict.refusal.value.size() <= DumpVetter::nameLimit);
    if (!verdict.accepted) {
        FUZZ_CHECK(verdict.loadable.isEmpty());
        return;
    }
    // The database's name may leave the text; what comes in is the loading account as the
    // definer ("DEFINER=x" becomes "DEFINER=CURRENT_USER", and a blank before a word that
    // followed: 12 bytes more at most) and the strict mode of the rows (",STRICT_ALL_TABLES"
    // where the dump sets SQL_MODE).
    const QByteArray capitals = dump.toUpper();
    FUZZ_CHECK(verdict.loadable.size() <=
               dump.size() + 12 * capitals.count("DEFINER") + 18 * capitals.count("SQL_MODE"));
    const DumpVetter::Verdict again =
        DumpVetter::vet(verdict.loadable, QStringLiteral("appdb"), others());
    FUZZ_CHECK(again.accepted);
    FUZZ_CHECK(again.loadable == verdict.loadable);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    const DumpVetter::Verdict verdict =
        DumpVetter::vet(realDump(), QStringLiteral("appdb"), others());
    FUZZ_CHECK(verdict.accepted);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const int mode = input.ConsumeIntegralInRange(0, 2);
    if (mode == 0) {
        // A dump with a row whose text comes from the input.
        const std::string text = input.ConsumeRemainingBytesAsString();
        const QByteArray row = "INSERT INTO `log` VALUES (7," +
                               mysqldumpQuoted(QByteArray(text.data(), int(text.size()))) + ");\n";
        const QByteArray dump = dumpAround(row);
        const DumpVetter::Verdict verdict =
            DumpVetter::vet(dump, QStringLiteral("appdb"), others());
        FUZZ_CHECK(verdict.accepted);
        FUZZ_CHECK(verdict.loadable.contains(row));
        checkVerdict(dump, verdict);
        return 0;
    }
    // Any text, or a whole dump with the input in its middle.
    const std::string cuts = input.ConsumeBytesAsString(input.ConsumeIntegralInRange(0, 32));
    const std::string text = input.ConsumeRemainingBytesAsString();
    QByteArray dump(text.data(), int(text.size()));
    if (mode == 2)
        dump = dumpAround(dump);
    const DumpVetter::Verdict whole = DumpVetter::vet(dump, QStringLiteral("appdb"), others());
    checkVerdict(dump, whole);
    FuzzedDataProvider cutter(reinterpret_cast<const uint8_t *>(cuts.data()), cuts.size());
    const DumpVetter::Verdict pieces = inPieces(dump, cutter);
    if (std::getenv("FUZZ_VERBOSE"))
        std::fprintf(stderr, "whole %d %d [%d line %d]\npieces %d %d [%d line %d]\ndump %s\n",
                     whole.accepted, whole.statements, int(whole.refusal.reason),
                     whole.refusal.line, pieces.accepted, pieces.statements,
                     int(pieces.refusal.reason), pieces.refusal.line, dump.toHex().constData());
    FUZZ_CHECK(pieces.accepted == whole.accepted);
    FUZZ_CHECK(pieces.loadable == whole.loadable);
    // (Where a refused dump stops is not compared: the vetter may look at a whole piece
    // before it reads its lines.)
    if (whole.accepted) {
        FUZZ_CHECK(pieces.statements == whole.statements);
        FUZZ_CHECK(pieces.namesOwnDatabase == whole.namesOwnDatabase);
    }
    return 0;
}
