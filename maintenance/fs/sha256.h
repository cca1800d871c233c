#ifndef SHA256_H
#define SHA256_H

#include <QByteArray>

#include <cstddef>
#include <memory>

// SHA-256 of a stream of bytes, in lower-case hex when done. Nettle's, which uses the
// processor's SHA instructions where there are any.
class Sha256
{
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;

    void reset();
    void add(const char *data, size_t size);
    // Adds `count` zero bytes: the holes of a sparse file.
    void addZeros(long long count);
    QByteArray hex(); // ends the stream; reset() starts the next

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// Reads an open file to its end and takes its SHA-256 (hex) and size, keeping its last
// `tailSize` bytes in `tail` when given; false with errno set.
bool sha256OfFile(int fd, QByteArray *sha256, qint64 *size, QByteArray *tail = nullptr,
                  int tailSize = 512);

#endif
