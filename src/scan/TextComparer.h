#pragma once

#include <QByteArray>
#include <QString>

// Compares one reference with its candidates through their open descriptors, reading both files
// again at every call. Equality is a function of the two files' bytes alone, so what was read is
// kept: the reference is decoded once for all its candidates (and not at all while they hold its
// very bytes), and a pair read again with the same bytes (the checks before and after a move) is
// not decoded again.
class TextComparer {
public:
    // As DescriptorTextsEqual, which it falls back to for files larger than one chunk.
    bool equal(int referenceFd, const QString& referencePath, int candidateFd,
               const QString& candidatePath);
    // Frees what is kept.
    void clear();

private:
    void takeReference(QByteArray bytes);

    bool m_haveReference = false;
    QByteArray m_referenceBytes;
    // Decoded on the first candidate whose bytes differ from the reference's.
    QString m_referenceText;
    bool m_haveReferenceText = false;
    // Folded on the first candidate whose text differs from the reference's but in case.
    QString m_referenceForm;
    bool m_haveReferenceForm = false;
    bool m_haveCandidate = false;
    QByteArray m_candidateBytes;
    bool m_candidateEqual = false;
    // What is read, a chunk and one byte at the most, before it is kept.
    QByteArray m_buffer;
};
