#include "scan/TextComparer.h"

#include "base/Errors.h"
#include "scan/ComparisonStream.h"
#include "scan/DescriptorText.h"
#include "scan/TextCodec.h"

#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The size at which a file is read whole; -1 for a larger one, left to the streamed comparison.
qint64 wholeSize(int fd)
{
    struct stat info;
    if (::fstat(fd, &info) != 0 || info.st_size > ComparisonStream::kChunk)
        return -1;
    return qint64(info.st_size);
}

QByteArray readFromStart(int fd, qint64 size, const QString& path)
{
    ::lseek(fd, 0, SEEK_SET);
    return ReadDescriptor(fd, size, path);
}

} // namespace

void TextComparer::takeReference(QByteArray bytes)
{
    m_referenceText = FileText(bytes);
    m_referenceBytes = std::move(bytes);
    m_referenceForm.clear();
    m_haveReferenceForm = false;
    m_haveReference = true;
    m_haveCandidate = false;
}

bool TextComparer::equal(int referenceFd, const QString& referencePath, int candidateFd,
                         const QString& candidatePath)
{
    const qint64 referenceSize = wholeSize(referenceFd);
    const qint64 candidateSize = wholeSize(candidateFd);
    if (referenceSize < 0 || candidateSize < 0)
        return DescriptorTextsEqual(referenceFd, referencePath, candidateFd, candidatePath);
    try {
        QByteArray reference = readFromStart(referenceFd, referenceSize, referencePath);
        if (!m_haveReference || reference != m_referenceBytes)
            takeReference(std::move(reference));
        QByteArray candidate = readFromStart(candidateFd, candidateSize, candidatePath);
        if (m_haveCandidate && candidate == m_candidateBytes)
            return m_candidateEqual;

        bool same = candidate == m_referenceBytes;
        if (!same) {
            const QString text = FileText(candidate);
            same = text == m_referenceText;
            if (!same) {
                if (!m_haveReferenceForm) {
                    m_referenceForm = ComparisonForm(m_referenceText);
                    m_haveReferenceForm = true;
                }
                same = ComparisonForm(text) == m_referenceForm;
            }
        }
        m_candidateBytes = std::move(candidate);
        m_candidateEqual = same;
        m_haveCandidate = true;
        return same;
    } catch (const std::bad_alloc&) {
        clear();
        throw base::EOutOfMemory(QStringLiteral("Mémoire insuffisante"));
    }
}

void TextComparer::clear()
{
    m_haveReference = false;
    m_referenceBytes = QByteArray();
    m_referenceText = QString();
    m_referenceForm = QString();
    m_haveReferenceForm = false;
    m_haveCandidate = false;
    m_candidateBytes = QByteArray();
}
