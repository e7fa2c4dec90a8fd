#include "scan/ComparisonStream.h"

#include "base/Errors.h"
#include "scan/TextCodec.h"

#include <unicode/stringoptions.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Room for the three bytes of a split UTF-8 sequence, or the odd byte of a UTF-16 code unit.
constexpr qsizetype kCarryRoom = 4;
// Units normalised and folded at a time: pieces stay small whatever the chunk.
constexpr qsizetype kSlice = 65536;

// How many bytes at the end of a chunk start a UTF-8 sequence that the chunk does not finish.
// They go to the next chunk; anything else is checked where it stands, so a malformed sequence
// is found wherever the chunks are cut.
qsizetype unfinishedUtf8(const unsigned char* bytes, qsizetype size)
{
    for (qsizetype back = 1; back <= std::min<qsizetype>(3, size); ++back) {
        const unsigned char byte = bytes[size - back];
        if ((byte & 0xC0) == 0x80)
            continue;
        if (byte < 0x80)
            return 0;
        const qsizetype length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
        return length > back ? back : 0;
    }
    return 0;
}

} // namespace

ComparisonStream::ComparisonStream(int fd, const QString& path)
    : ComparisonStream(fd, path, kChunk, SystemIsTurkic())
{
}

ComparisonStream::ComparisonStream(int fd, const QString& path, qsizetype chunk, bool turkic,
                                   bool foldCase)
    : m_fd(fd), m_path(path), m_chunk(std::max<qsizetype>(chunk, 1)), m_turkic(turkic),
      m_foldCase(foldCase)
{
}

qsizetype ComparisonStream::readAt(qint64 offset, char* into, qsizetype count) const
{
    qsizetype total = 0;
    while (total < count) {
        const ssize_t got =
            ::pread(m_fd, into + total, size_t(count - total), off_t(offset + total));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            ThrowFileOpenError(m_path, base::EInOutError::systemText(errno));
        }
        if (got == 0)
            break;
        total += got;
    }
    if (offset + total >= kFileSizeLimit)
        ThrowFileOpenError(m_path, FileTooLargeReason());
    return total;
}

void ComparisonStream::throwChanged() const
{
    ThrowFileOpenError(m_path, QStringLiteral("Le fichier a changé pendant sa lecture."));
}

void ComparisonStream::readHead()
{
    if (m_headRead)
        return;
    struct stat info;
    if (::fstat(m_fd, &info) != 0)
        ThrowFileOpenError(m_path, base::EInOutError::systemText(errno));
    if (info.st_size >= kFileSizeLimit)
        ThrowFileOpenError(m_path, FileTooLargeReason());
    m_size = info.st_size;
    m_headSize = readAt(0, m_head, 3);
    m_headRead = true;
    const auto* head = reinterpret_cast<const unsigned char*>(m_head);
    if (m_headSize >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) {
        m_bodyStart = 3;
    } else if (m_headSize >= 2 && head[0] == 0xFF && head[1] == 0xFE) {
        m_coding = Coding::Utf16Le;
        m_bodyStart = 2;
    } else if (m_headSize >= 2 && head[0] == 0xFE && head[1] == 0xFF) {
        m_coding = Coding::Utf16Be;
        m_bodyStart = 2;
    }
}

qint64 ComparisonStream::textLengthAtLeast()
{
    readHead();
    return FileTextLengthAtLeast(m_size, QByteArrayView(m_head, m_headSize));
}

void ComparisonStream::allocate()
{
    // One byte beyond the expected size, so that the end of a small file shows at once.
    m_readSize = qsizetype(std::clamp<qint64>(m_size - m_bodyStart + 1, 1, m_chunk));
    m_bytes.resize(kCarryRoom + m_readSize);
    m_units.resize(kCarryRoom + m_readSize);
}

bool ComparisonStream::growChunk(qsizetype got)
{
    // A file that grew after its size was taken is read in larger chunks again.
    if (got < m_readSize || m_readSize >= m_chunk)
        return false;
    m_readSize = std::min(m_chunk, m_readSize * 2);
    m_bytes.resize(kCarryRoom + m_readSize);
    m_units.resize(kCarryRoom + m_readSize);
    return true;
}

void ComparisonStream::keepTail(const char* begin, qsizetype available, qsizetype tail)
{
    char* const chunk = m_bytes.data() + kCarryRoom;
    std::memmove(chunk - tail, begin + available - tail, size_t(tail));
    m_carry = tail;
}

bool ComparisonStream::bodyIsUtf8()
{
    qint64 offset = m_bodyStart;
    m_carry = 0;
    for (bool first = true;; first = false) {
        char* const chunk = m_bytes.data() + kCarryRoom;
        const qsizetype want = m_readSize;
        const qsizetype got = readAt(offset, chunk, want);
        offset += got;
        const bool end = got < want;
        if (first && end) {
            // Read in one chunk: checked and decoded at once, and never read again.
            const qsizetype units = DecodeUtf8Into(QByteArrayView(chunk, got),
                                                   reinterpret_cast<char16_t*>(m_units.data()));
            if (units < 0) {
                m_bodyHeld = true;
                m_heldSize = got;
                return false;
            }
            m_unitCount = units;
            m_bodyDone = true;
            m_bodyEnd = offset;
            return true;
        }
        const char* begin = chunk - m_carry;
        const qsizetype available = m_carry + got;
        const qsizetype tail =
            end ? 0 : unfinishedUtf8(reinterpret_cast<const unsigned char*>(begin), available);
        if (!IsUtf8(QByteArrayView(begin, available - tail)))
            return false;
        if (end) {
            m_bodyEnd = offset;
            return true;
        }
        keepTail(begin, available, tail);
        growChunk(got);
    }
}

void ComparisonStream::start()
{
    if (m_started)
        return;
    readHead();
    allocate();
    if (m_coding == Coding::EightBit)
        m_coding = bodyIsUtf8() ? Coding::Utf8 : Coding::Windows1252;
    m_offset = m_bodyStart;
    m_carry = 0;
    m_started = true;
}

void ComparisonStream::decodeNextChunk()
{
    char* const chunk = m_bytes.data() + kCarryRoom;
    qsizetype got;
    bool end;
    if (m_bodyHeld) {
        got = m_heldSize;
        end = true;
        m_bodyHeld = false;
    } else {
        // A validated body is read again only as far as it was validated.
        const qsizetype want = m_bodyEnd >= 0
                                   ? qsizetype(std::min<qint64>(m_readSize, m_bodyEnd - m_offset))
                                   : m_readSize;
        got = readAt(m_offset, chunk, want);
        m_offset += got;
        if (m_bodyEnd >= 0) {
            if (got < want)
                throwChanged();
            end = m_offset == m_bodyEnd;
        } else {
            end = got < want;
        }
    }
    const char* begin = chunk - m_carry;
    const qsizetype available = m_carry + got;
    auto* units = reinterpret_cast<char16_t*>(m_units.data());
    qsizetype tail = 0;
    switch (m_coding) {
    case Coding::Utf8: {
        tail = end ? 0 : unfinishedUtf8(reinterpret_cast<const unsigned char*>(begin), available);
        m_unitCount = DecodeUtf8Into(QByteArrayView(begin, available - tail), units);
        if (m_unitCount < 0)
            throwChanged();
        break;
    }
    case Coding::Windows1252:
    case Coding::EightBit:
        DecodeWindows1252Into(QByteArrayView(begin, available), units);
        m_unitCount = available;
        break;
    case Coding::Utf16Le:
    case Coding::Utf16Be: {
        const auto* in = reinterpret_cast<const unsigned char*>(begin);
        const bool big = m_coding == Coding::Utf16Be;
        m_unitCount = available / 2;
        for (qsizetype i = 0; i < m_unitCount; ++i) {
            const unsigned first = in[2 * i];
            const unsigned second = in[2 * i + 1];
            units[i] = char16_t(big ? (first << 8 | second) : (second << 8 | first));
        }
        tail = available % 2;
        if (end && tail) {
            m_oddByte = in[available - 1];
            tail = 0;
        }
        break;
    }
    }
    m_unitPos = 0;
    if (end) {
        m_bodyDone = true;
        m_carry = 0;
    } else {
        keepTail(begin, available, tail);
        growChunk(got);
    }
}

void ComparisonStream::fold(QStringView text)
{
    if (m_foldCase)
        AppendFoldedCase(text, m_turkic, m_out);
    else
        m_out += text;
}

// Appends the full case folding of a run of code points to out, which has room for three units
// per unit of the run; returns the units written.
qsizetype ComparisonStream::foldRun(const char16_t* run, qsizetype length, char16_t* out)
{
    UErrorCode status = U_ZERO_ERROR;
    const int32_t written = u_strFoldCase(reinterpret_cast<UChar*>(out), int32_t(3 * length),
                                          reinterpret_cast<const UChar*>(run), int32_t(length),
                                          U_FOLD_CASE_DEFAULT, &status);
    if (U_SUCCESS(status))
        return written;
    // Never expected for valid arguments; keep the run as it is, as FoldCase does.
    std::memcpy(out, run, size_t(length) * sizeof(char16_t));
    return length;
}

// Line breaks and folding in one pass, for the usual case that is not Turkic. Every rule but the
// Turkic one leaves ASCII but A to Z alone, so only the runs of other units go through ICU.
void ComparisonStream::produceFolded(QStringView units)
{
    const auto* in = reinterpret_cast<const char16_t*>(units.utf16());
    const qsizetype size = units.size();
    m_normalized.resize(3 * (size + 2));
    auto* out = reinterpret_cast<char16_t*>(m_normalized.data());
    qsizetype n = 0;
    qsizetype added = 0;
    qsizetype i = 0;
    if (m_pendingHigh) {
        const char16_t pair[2] = {m_pendingHigh, size > 0 ? in[0] : char16_t(0)};
        m_pendingHigh = 0;
        const bool paired = size > 0 && QChar::isLowSurrogate(in[0]);
        n += foldRun(pair, paired ? 2 : 1, out);
        if (paired) {
            ++i;
            ++added;
        }
        m_afterCr = false;
    }
    while (i < size) {
        const char16_t c = in[i];
        if (c < 0x80) {
            if (c == u'\r') {
                out[n++] = u'\r';
                out[n++] = u'\n';
                added += 2;
                m_afterCr = true;
            } else if (c == u'\n') {
                if (!m_afterCr) {
                    out[n++] = u'\r';
                    out[n++] = u'\n';
                    added += 2;
                }
                m_afterCr = false;
            } else {
                // Eight at a time while all are ASCII other than a line break: the loops
                // vectorise.
                qsizetype end = i;
                while (end + 8 <= size) {
                    bool plain = true;
                    for (int k = 0; k < 8; ++k) {
                        const char16_t a = in[end + k];
                        plain &= (a < 0x80) & (a != u'\r') & (a != u'\n');
                    }
                    if (!plain)
                        break;
                    for (int k = 0; k < 8; ++k) {
                        const char16_t a = in[end + k];
                        out[n + k] = char16_t(a + (char16_t(a - u'A') < 26 ? 32 : 0));
                    }
                    n += 8;
                    end += 8;
                }
                if (end == i) {
                    out[n++] = (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
                    ++end;
                }
                added += end - i;
                m_afterCr = false;
                i = end;
                continue;
            }
            ++i;
            continue;
        }
        qsizetype end = i + 1;
        while (end < size && in[end] >= 0x80)
            ++end;
        added += end - i;
        m_afterCr = false;
        qsizetype foldEnd = end;
        // Folding goes by whole code points.
        if (end == size && QChar::isHighSurrogate(in[end - 1]))
            m_pendingHigh = in[--foldEnd];
        if (foldEnd > i)
            n += foldRun(in + i, foldEnd - i, out + n);
        i = end;
    }
    m_textLength += added;
    m_piece = QStringView(out, n);
}

void ComparisonStream::produce(QStringView units)
{
    if (m_foldCase && !m_turkic) {
        produceFolded(units);
        return;
    }
    m_normalized.resize(2 * units.size() + 1);
    auto* out = reinterpret_cast<char16_t*>(m_normalized.data());
    qsizetype n = 0;
    if (m_pendingHigh) {
        out[n++] = m_pendingHigh;
        m_pendingHigh = 0;
    }
    const qsizetype before = n;
    // LF, CR LF and a lone CR each become CR LF, wherever the chunks were cut.
    for (const QChar unit : units) {
        const char16_t c = unit.unicode();
        if (c == u'\r') {
            out[n++] = u'\r';
            out[n++] = u'\n';
            m_afterCr = true;
        } else if (c == u'\n') {
            if (!m_afterCr) {
                out[n++] = u'\r';
                out[n++] = u'\n';
            }
            m_afterCr = false;
        } else {
            out[n++] = c;
            m_afterCr = false;
        }
    }
    m_textLength += n - before;
    // Folding goes by whole code points.
    if (n > 0 && QChar::isHighSurrogate(out[n - 1]))
        m_pendingHigh = out[--n];
    m_out.resize(0);
    fold(QStringView(out, n));
    m_piece = m_out;
}

void ComparisonStream::finish()
{
    m_out.resize(0);
    if (m_pendingHigh) {
        const char16_t high = m_pendingHigh;
        m_pendingHigh = 0;
        fold(QStringView(&high, 1));
    }
    if (m_oddByte >= 0) {
        const QString mark = OddByteMark(quint8(m_oddByte));
        m_textLength += mark.size();
        fold(mark);
    }
    m_piece = m_out;
    m_ended = true;
}

QStringView ComparisonStream::next()
{
    start();
    while (!m_ended) {
        if (m_unitPos < m_unitCount) {
            const qsizetype count = std::min(kSlice, m_unitCount - m_unitPos);
            produce(QStringView(m_units.constData() + m_unitPos, count));
            m_unitPos += count;
        } else if (!m_bodyDone) {
            decodeNextChunk();
            continue;
        } else {
            finish();
        }
        if (!m_piece.isEmpty())
            return m_piece;
    }
    return {};
}

qint64 ComparisonStream::measure(qint64 limit)
{
    while (m_textLength <= limit && !next().isEmpty()) {
    }
    return m_textLength;
}

bool ComparisonStream::sameForm(ComparisonStream& a, ComparisonStream& b)
{
    a.start();
    b.start();
    QStringView left, right;
    for (;;) {
        if (left.isEmpty())
            left = a.next();
        if (right.isEmpty())
            right = b.next();
        if (left.isEmpty() || right.isEmpty())
            return left.isEmpty() && right.isEmpty();
        const qsizetype common = std::min(left.size(), right.size());
        if (std::memcmp(left.data(), right.data(), size_t(common) * sizeof(char16_t)) != 0)
            return false;
        left = left.sliced(common);
        right = right.sliced(common);
    }
}
