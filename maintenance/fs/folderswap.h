#ifndef FOLDERSWAP_H
#define FOLDERSWAP_H

#include <QByteArray>

// Puts the folder `fresh` in the place of `name`, both in one folder: with one atomic
// exchange where the file system has it, else by two renames by way of `aside`, the first
// undone when the second fails. Where `name` does not exist, `fresh` is only renamed.
class FolderSwap
{
public:
    enum class Fallback {
        // Any failed exchange is tried again by two renames.
        AfterAnyFailure,
        // Only an exchange the file system does not know is; other errors stop the swap.
        WhereUnsupported,
    };

    explicit FolderSwap(Fallback fallback) : m_fallback(fallback) {}

    bool swap(int dirFd, const QByteArray &fresh, const QByteArray &name, const QByteArray &aside);

    int error() const { return m_error; }
    // After a swap: the name that now holds the previous folder (`fresh` after an
    // exchange, `aside` after two renames), empty when there was none.
    QByteArray leftover() const { return m_leftover; }
    // After a failed swap: false when the previous folder could not be put back under
    // `name` (it is under `aside`).
    bool previousInPlace() const { return m_previousInPlace; }

private:
    bool fail(int error);

    Fallback m_fallback;
    int m_error = 0;
    QByteArray m_leftover;
    bool m_previousInPlace = true;
};

#endif
