#include "maintenance/fs/sha256.h"

#include "maintenance/fs/posixfs.h"

#include <nettle/sha2.h>

#include <algorithm>
#include <vector>

struct Sha256::State
{
    sha256_ctx context;
};

Sha256::Sha256() : m_state(std::make_unique<State>())
{
    reset();
}

Sha256::~Sha256() = default;

void Sha256::reset()
{
    sha256_init(&m_state->context);
}

void Sha256::add(const char *data, size_t size)
{
    sha256_update(&m_state->context, size, reinterpret_cast<const uint8_t *>(data));
}

void Sha256::addZeros(long long count)
{
    static const char zeros[65536] = {};
    while (count > 0) {
        const size_t chunk = size_t(std::min<long long>(count, sizeof zeros));
        add(zeros, chunk);
        count -= (long long)chunk;
    }
}

QByteArray Sha256::hex()
{
    uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&m_state->context, sizeof digest, digest);
    return QByteArray(reinterpret_cast<const char *>(digest), sizeof digest).toHex();
}

bool sha256OfFile(int fd, QByteArray *sha256, qint64 *size, QByteArray *tail, int tailSize)
{
    static std::vector<char> buffer(1 << 18);
    Sha256 hash;
    *size = 0;
    for (;;) {
        const ssize_t got = posixfs::readRetrying(fd, buffer.data(), buffer.size());
        if (got < 0)
            return false;
        if (got == 0)
            break;
        hash.add(buffer.data(), size_t(got));
        *size += got;
        if (tail) {
            tail->append(buffer.data(), int(got));
            if (tail->size() > tailSize)
                tail->remove(0, tail->size() - tailSize);
        }
    }
    *sha256 = hash.hex();
    return true;
}
