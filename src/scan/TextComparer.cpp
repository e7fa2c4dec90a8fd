#include "scan/TextComparer.h"

#include "base/Errors.h"
#include "scan/ComparisonStream.h"
#include "scan/DescriptorText.h"
#include "scan/TextCodec.h"

#include <cerrno>
#include <new>
#include <unistd.h>

namespace {

// Reads the file from its start into buffer (kChunk + 1 bytes), without moving its offset.
// Returns the size read, or -1 when the file holds more than a chunk and is left to the stream.
// Raises EFOpenError naming path when a read fails.
qsizetype readChunk(int fd, QByteArray& buffer, const QString& path)
{
    if (buffer.size() != ComparisonStream::kChunk + 1)
        buffer.resize(ComparisonStream::kChunk + 1);
    qsizetype total = 0;
    for (;;) {
        const ssize_t count =
            ::pread(fd, buffer.data() + total, size_t(buffer.size() - total), off_t(total));
        if (count < 0) {
            if (errno == EINTR)
                continue;
            ThrowFileOpenError(path, base::EInOutError::systemText(errno));
        }
        if (count == 0)
            return total;
        total += count;
        if (total > ComparisonStream::kChunk)
            return -1;
    }
}

} // namespace

void TextComparer::takeReference(QByteArray bytes)
{
    m_referenceBytes = std::move(bytes);
    m_referenceText.clear();
    m_haveReferenceText = false;
    m_referenceForm.clear();
    m_haveReferenceForm = false;
    m_haveReference = true;
    m_haveCandidate = false;
}

bool TextComparer::equal(int referenceFd, const QString& referencePath, int candidateFd,
                         const QString& candidatePath)
{
    try {
        const qsizetype referenceSize = readChunk(referenceFd, m_buffer, referencePath);
        if (referenceSize < 0)
            return DescriptorTextsEqual(referenceFd, referencePath, candidateFd, candidatePath);
        const QByteArrayView reference(m_buffer.constData(), referenceSize);
        if (!m_haveReference || reference != m_referenceBytes)
            takeReference(reference.toByteArray());
        const qsizetype candidateSize = readChunk(candidateFd, m_buffer, candidatePath);
        if (candidateSize < 0)
            return DescriptorTextsEqual(referenceFd, referencePath, candidateFd, candidatePath);
        const QByteArrayView candidate(m_buffer.constData(), candidateSize);
        if (m_haveCandidate && candidate == m_candidateBytes)
            return m_candidateEqual;

        bool same = candidate == m_referenceBytes;
        if (!same) {
            if (!m_haveReferenceText) {
                m_referenceText = FileText(m_referenceBytes);
                m_haveReferenceText = true;
            }
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
        m_candidateBytes = candidate.toByteArray();
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
    m_haveReferenceText = false;
    m_referenceForm = QString();
    m_haveReferenceForm = false;
    m_haveCandidate = false;
    m_candidateBytes = QByteArray();
    m_buffer = QByteArray();
}
