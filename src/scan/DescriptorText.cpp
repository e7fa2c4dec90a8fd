#include "scan/DescriptorText.h"

#include "base/Errors.h"
#include "scan/ComparisonStream.h"
#include "scan/TextCodec.h"

#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray readFromStart(int fd, const QString& path)
{
    struct stat info;
    const qint64 size = ::fstat(fd, &info) == 0 ? qint64(info.st_size) : 0;
    ::lseek(fd, 0, SEEK_SET);
    return ReadDescriptor(fd, size, path);
}

} // namespace

bool DescriptorTextsEqual(int fdA, const QString& pathA, int fdB, const QString& pathB)
{
    try {
        struct stat infoA;
        struct stat infoB;
        if (::fstat(fdA, &infoA) == 0 && ::fstat(fdB, &infoB) == 0 &&
            infoA.st_size <= ComparisonStream::kChunk &&
            infoB.st_size <= ComparisonStream::kChunk) {
            // Mails of a chunk or less are read whole, once each.
            return TextsEqual(FileText(readFromStart(fdA, pathA)),
                              FileText(readFromStart(fdB, pathB)));
        }
        ComparisonStream a(fdA, pathA);
        ComparisonStream b(fdB, pathB);
        return ComparisonStream::sameForm(a, b);
    } catch (const std::bad_alloc&) {
        throw base::EOutOfMemory(QStringLiteral("Mémoire insuffisante"));
    }
}

Fingerprint DescriptorFingerprint(int fd, const QString& path)
{
    ComparisonStream stream(fd, path);
    return Fingerprint::ofStream(stream);
}
