// The fingerprint cache reader: any bytes. After a first byte 'R' the rest is the file as it is;
// otherwise the rest follows a valid header and is sealed with a valid checksum, so that inputs
// reach the entries. Whatever is accepted is written again to the same entries.
#include "FuzzCheck.h"

#include "scan/FingerprintIndex.h"

#include <QtEndian>

#include <xxhash.h>

#include <cstring>

namespace {

constexpr qint64 kNow = 1800000000;

QString describe(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

bool sameEntry(const FingerprintIndex::Entry& a, const FingerprintIndex::Entry& b)
{
    return a.stamp == b.stamp && a.print == b.print && a.textLength == b.textLength &&
           a.seenSecs == b.seenSecs;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray input(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    QByteArray bytes;
    if (data[0] == 'R') {
        bytes = input;
    } else {
        // An empty cache is its header, a count of 0 and the checksum.
        static const QByteArray header = [] {
            QByteArray empty = FingerprintIndex::encode({}, kNow);
            empty.chop(16);
            return empty;
        }();
        bytes = header + input;
        const quint64 sum =
            qToLittleEndian(quint64(XXH3_64bits(bytes.constData(), size_t(bytes.size()))));
        bytes.append(reinterpret_cast<const char*>(&sum), sizeof sum);
    }

    QHash<QString, FingerprintIndex::Entry> entries;
    const bool read = FingerprintIndex::decode(bytes, &entries, kNow);
    if (!read) {
        FUZZ_CHECK(entries.isEmpty(), describe(bytes));
        return 0;
    }
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        FUZZ_CHECK(!it.key().isEmpty() && it->stamp.isValid() && it->stamp.regular &&
                       it->textLength >= 0,
                   describe(bytes));
    }
    QHash<QString, FingerprintIndex::Entry> again;
    FUZZ_CHECK(FingerprintIndex::decode(FingerprintIndex::encode(entries, kNow), &again, kNow),
               describe(bytes));
    FUZZ_CHECK(again.size() == entries.size(), describe(bytes));
    for (auto it = entries.cbegin(); it != entries.cend(); ++it)
        FUZZ_CHECK(again.contains(it.key()) && sameEntry(again.value(it.key()), *it),
                   describe(bytes));
    return 0;
}
