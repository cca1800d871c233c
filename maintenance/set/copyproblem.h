#ifndef COPYPROBLEM_H
#define COPYPROBLEM_H

#include <QByteArray>
#include <QList>

// One entry that did not land as it was, for the technician's box.
struct CopyProblem
{
    enum class Kind {
        Unreadable, // the source could not be read (error)
        NotWritten, // the target could not take it (error)
        NotCopied,  // a socket or device node: nothing to copy (typeName)
        Mismatch,   // the data read back differs from the manifest
        Missing,    // the manifest lists it, the stick does not hold it
        Unsafe,     // the manifest names something outside the set
    };
    Kind kind = Kind::Unreadable;
    QByteArray path; // relative to the copy's top, byte for byte
    int error = 0;
    QByteArray typeName;
};

// The first few problems and how many there were in all: a box of ten thousand lines helps
// nobody, and memory must not grow with the tree.
class ProblemList
{
public:
    explicit ProblemList(int kept = 10) : m_kept(kept) {}
    void add(const CopyProblem &problem)
    {
        if (m_first.size() < m_kept)
            m_first << problem;
        ++m_count;
    }
    const QList<CopyProblem> &first() const { return m_first; }
    qint64 count() const { return m_count; }
    bool isEmpty() const { return m_count == 0; }

private:
    QList<CopyProblem> m_first;
    qint64 m_count = 0;
    int m_kept;
};

#endif
