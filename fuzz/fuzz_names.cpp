// A device's name -> the name a stick that cannot hold it gets.
#include "fuzzcheck.h"
#include "maintenance/set/manifestreader.h"
#include "maintenance/set/manifestwriter.h"
#include "maintenance/set/namemapper.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// Strict UTF-8: shortest forms, no surrogates, nothing past U+10FFFF.
bool validUtf8(const QByteArray &text)
{
    const auto *s = reinterpret_cast<const unsigned char *>(text.constData());
    const int n = text.size();
    for (int i = 0; i < n;) {
        const unsigned char c = s[i];
        int length = 0;
        unsigned int code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xc2 && c <= 0xdf) {
            length = 2;
            code = c & 0x1f;
        } else if (c >= 0xe0 && c <= 0xef) {
            length = 3;
            code = c & 0x0f;
        } else if (c >= 0xf0 && c <= 0xf4) {
            length = 4;
            code = c & 0x07;
        } else {
            return false;
        }
        if (i + length > n)
            return false;
        for (int k = 1; k < length; ++k) {
            if ((s[i + k] & 0xc0) != 0x80)
                return false;
            code = (code << 6) | (s[i + k] & 0x3f);
        }
        if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) || code > 0x10ffff ||
            (code >= 0xd800 && code <= 0xdfff))
            return false;
        i += length;
    }
    return true;
}

struct Rules
{
    bool refused[128] = {};
    bool utf8 = true;
    bool invalidUtf8 = true;
    long nameMax = 255;
};

// The stick's rules, as a stick would apply them to a name it is given.
bool stickTakes(const Rules &rules, const QByteArray &name)
{
    if (name.isEmpty() || name.size() > rules.nameMax || name == "." || name == "..")
        return false;
    bool high = false;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0 || byte == '/')
            return false;
        if (byte < 0x80 && rules.refused[byte])
            return false;
        high = high || byte >= 0x80;
    }
    if (!high || (rules.utf8 && rules.invalidUtf8))
        return true;
    return rules.utf8 && validUtf8(name);
}

bool onlySafeBytes(const QByteArray &name)
{
    for (const char c : name) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '.' || c == '_' || c == '-' || c == '%' || c == '~'))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    Rules rules;
    StickCapabilities caps = StickCapabilities::everything();
    // Every stick refuses NUL and '/'; FAT also the controls and ":*?"<>|\".
    rules.refused[0] = rules.refused['/'] = true;
    caps.refuseByte(0);
    caps.refuseByte('/');
    // What a stick's file system may refuse besides: controls and what FAT forbids.
    static const QByteArray refusable = [] {
        QByteArray bytes("\"*:<>?\\|\x7f");
        for (char c = 1; c < 0x20; ++c)
            bytes += c;
        return bytes;
    }();
    const int refusals = input.ConsumeIntegralInRange(0, 40);
    for (int i = 0; i < refusals; ++i) {
        const auto byte = static_cast<unsigned char>(
            refusable.at(input.ConsumeIntegralInRange(0, int(refusable.size()) - 1)));
        rules.refused[byte] = true;
        caps.refuseByte(byte);
    }
    rules.utf8 = caps.utf8 = input.ConsumeBool();
    rules.invalidUtf8 = caps.invalidUtf8 = rules.utf8 && input.ConsumeBool();
    rules.nameMax = caps.nameMax = input.ConsumeIntegralInRange<long>(17, 255);
    const bool safe = input.ConsumeBool();
    const int attempt = input.ConsumeIntegralInRange(0, 1000);
    // A name the device's own file system holds.
    std::string bytes = input.ConsumeRemainingBytesAsString();
    QByteArray name(bytes.data(), int(bytes.size()));
    name.replace('\0', "").replace('/', "");
    name.truncate(255);
    if (name.isEmpty() || name == "." || name == "..")
        return 0;

    const NameMapper mapper(caps);
    const QByteArray made = mapper.candidate(name, attempt, safe);
    if (std::getenv("FUZZ_VERBOSE"))
        std::fprintf(stderr, "name %s made %s max %ld utf8 %d invalid %d safe %d attempt %d\n",
                     name.toHex().constData(), made.toHex().constData(), rules.nameMax, rules.utf8,
                     rules.invalidUtf8, safe, attempt);
    FUZZ_CHECK(stickTakes(rules, made));
    if (safe)
        FUZZ_CHECK(onlySafeBytes(made));
    // A name the stick takes is kept as it is.
    if (!safe && attempt == 0 && stickTakes(rules, name))
        FUZZ_CHECK(made == name);
    // Each attempt after a collision gives a name not tried before.
    FUZZ_CHECK(made != mapper.candidate(name, attempt + 1, safe));

    // The manifest maps the stored name back to the device's.
    ManifestEntry entry;
    entry.type = ManifestEntry::Type::Folder;
    entry.mode = 0755;
    entry.path = "opt/" + name;
    entry.stored = "opt/" + made;
    ManifestReader reader;
    reader.openText(ManifestWriter::line(entry));
    ManifestEntry back;
    FUZZ_CHECK(reader.next(&back) == ManifestReader::Result::Entry);
    FUZZ_CHECK(back.path == entry.path);
    FUZZ_CHECK(back.storedPath() == entry.stored);
    return 0;
}
