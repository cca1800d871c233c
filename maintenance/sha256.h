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

#endif
