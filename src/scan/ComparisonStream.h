#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// The comparison form of an open file's text, ComparisonForm(FileText(content)), made piece by
// piece from a few chunks at a time, so that a file of any size takes the same memory. Reads
// with pread from offset 0, whatever the descriptor's own offset. Raises EFOpenError naming the
// path when a read fails, the content reaches 2 GiB, or an unmarked file, read once to choose its
// decoding and once to decode it, changes between the two readings in a way that shows.
class ComparisonStream {
public:
    static constexpr qsizetype kChunk = qsizetype(1) << 20;

    // Case folded by the rules of the system's locale.
    ComparisonStream(int fd, const QString& path);
    // Reads of chunk bytes at most; without folding, the pieces make FileText itself.
    ComparisonStream(int fd, const QString& path, qsizetype chunk, bool turkic,
                     bool foldCase = true);
    ComparisonStream(const ComparisonStream&) = delete;
    ComparisonStream& operator=(const ComparisonStream&) = delete;

    // Reads no more than the byte-order mark.
    qint64 textLengthAtLeast();
    // Chooses the decoding, reading the whole content when the file has no UTF-16 mark. next()
    // starts by it.
    void start();
    // The next piece, valid until the next call; empty at the end and only there.
    QStringView next();
    // The length of FileText so far: the whole length once next() has reached the end.
    qint64 textLength() const { return m_textLength; }
    // Reads on until the end or until the length passes limit; returns the length reached.
    qint64 measure(qint64 limit);

    // Whether the two comparison forms are the same, read alternately up to the first
    // difference.
    static bool sameForm(ComparisonStream& a, ComparisonStream& b);

private:
    enum class Coding { EightBit, Utf8, Windows1252, Utf16Le, Utf16Be };

    qsizetype readAt(qint64 offset, char* into, qsizetype count) const;
    [[noreturn]] void throwChanged() const;
    void readHead();
    void allocate();
    bool growChunk(qsizetype got);
    bool bodyIsUtf8();
    void decodeNextChunk();
    void keepTail(const char* begin, qsizetype available, qsizetype tail);
    static qsizetype foldRun(const char16_t* run, qsizetype length, char16_t* out);
    void produceFolded(QStringView units);
    void produce(QStringView units);
    void finish();
    void fold(QStringView text);

    int m_fd;
    QString m_path;
    qsizetype m_chunk;
    bool m_turkic;
    bool m_foldCase;

    bool m_headRead = false;
    bool m_started = false;
    qint64 m_size = 0;
    char m_head[3] = {};
    qsizetype m_headSize = 0;
    Coding m_coding = Coding::EightBit;
    qint64 m_bodyStart = 0;
    // Where a validated UTF-8 body ended; -1 while unknown.
    qint64 m_bodyEnd = -1;
    qint64 m_offset = 0;
    // How much is read at a time: no more than the file needs, up to m_chunk.
    qsizetype m_readSize = 0;
    // A few bytes of room before the chunk for what the last chunk left of a split sequence.
    QByteArray m_bytes;
    qsizetype m_carry = 0;
    // The whole body was read by the first chunk of the validation and is still in m_bytes.
    bool m_bodyHeld = false;
    qsizetype m_heldSize = 0;
    bool m_bodyDone = false;
    bool m_ended = false;
    int m_oddByte = -1;

    QString m_units;
    qsizetype m_unitCount = 0;
    qsizetype m_unitPos = 0;
    QString m_normalized;
    bool m_afterCr = false;
    // A high surrogate that ended the last piece, kept to be folded with its low half.
    char16_t m_pendingHigh = 0;
    QString m_out;
    // The piece next() gives: in m_out, or in m_normalized where folding wrote there.
    QStringView m_piece;
    qint64 m_textLength = 0;
};
