#include "scan/TextCodec.h"

#include "base/Errors.h"
#include "base/PathRules.h"
#include "scan/ComparisonStream.h"
#include "scan/ReadOnlyFile.h"

#include <QFile>

#include <unicode/stringoptions.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Windows-1252; the five bytes it leaves undefined map to the C1 control of the same value.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString decodeUtf16(QByteArrayView bytes, bool bigEndian, int& oddByte)
{
    const qsizetype units = bytes.size() / 2;
    oddByte = bytes.size() % 2 ? int(static_cast<unsigned char>(bytes.back())) : -1;
    QString text(units, Qt::Uninitialized);
    auto* out = reinterpret_cast<char16_t*>(text.data());
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    for (qsizetype i = 0; i < units; ++i) {
        const unsigned first = in[2 * i];
        const unsigned second = in[2 * i + 1];
        out[i] = char16_t(bigEndian ? (first << 8 | second) : (second << 8 | first));
    }
    return text;
}

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

} // namespace

namespace {

// Strict UTF-8 to UTF-16; with kWrite false it only checks. Returns the units made, or -1 when a
// sequence is malformed.
template <bool kWrite>
qsizetype convertUtf8(const unsigned char* in, qsizetype size, char16_t* dest)
{
    char16_t* const start = dest;
    qsizetype units = 0;
    qsizetype i = 0;
    while (i < size) {
#if defined(__SSE2__)
        // Mail is mostly ASCII: sixteen bytes at a time while none has its high bit set.
        // Widened whole (dest has room for a unit per byte left); only the ASCII before the
        // first other byte counts.
        while (i + 16 <= size) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
            const int high = _mm_movemask_epi8(bytes);
            const int ascii = high == 0 ? 16 : __builtin_ctz(unsigned(high));
            if constexpr (kWrite) {
                const __m128i zero = _mm_setzero_si128();
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dest), _mm_unpacklo_epi8(bytes, zero));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + 8),
                                 _mm_unpackhi_epi8(bytes, zero));
                dest += ascii;
            }
            i += ascii;
            units += ascii;
            if (ascii < 16)
                break;
        }
#endif
        // Then eight bytes at a time.
        while (i + 8 <= size) {
            quint64 word;
            std::memcpy(&word, in + i, 8);
            if (word & 0x8080808080808080ULL)
                break;
            if constexpr (kWrite) {
                for (int k = 0; k < 8; ++k)
                    *dest++ = in[i + k];
            }
            i += 8;
            units += 8;
        }
        if (i >= size)
            break;
        const unsigned char lead = in[i];
        if (lead < 0x80) {
            if constexpr (kWrite)
                *dest++ = lead;
            ++units;
            ++i;
            continue;
        }
        char32_t code;
        int length;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
            if (lead == 0xE0)
                low = 0xA0;
            else if (lead == 0xED)
                high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                high = 0x8F;
        } else {
            return -1;
        }
        if (size - i < length)
            return -1;
        const unsigned char second = in[i + 1];
        if (second < low || second > high)
            return -1;
        code = code << 6 | (second & 0x3F);
        for (int k = 2; k < length; ++k) {
            if (!isContinuation(in[i + k]))
                return -1;
            code = code << 6 | (in[i + k] & 0x3F);
        }
        i += length;
        if (code >= 0x10000) {
            if constexpr (kWrite) {
                *dest++ = char16_t(0xD800 + ((code - 0x10000) >> 10));
                *dest++ = char16_t(0xDC00 + ((code - 0x10000) & 0x3FF));
            }
            units += 2;
        } else {
            if constexpr (kWrite)
                *dest++ = char16_t(code);
            ++units;
        }
    }
    if constexpr (kWrite)
        return dest - start;
    return units;
}

} // namespace

qsizetype DecodeUtf8Into(QByteArrayView bytes, char16_t* out)
{
    return convertUtf8<true>(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                             out);
}

bool IsUtf8(QByteArrayView bytes)
{
    return convertUtf8<false>(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                              nullptr) >= 0;
}

bool DecodeUtf8Strict(QByteArrayView bytes, QString& out)
{
    QString text(bytes.size(), Qt::Uninitialized);
    const qsizetype units = DecodeUtf8Into(bytes, reinterpret_cast<char16_t*>(text.data()));
    if (units < 0)
        return false;
    text.truncate(units);
    out = std::move(text);
    return true;
}

void DecodeWindows1252Into(QByteArrayView bytes, char16_t* out)
{
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const unsigned char byte = in[i];
        out[i] = (byte >= 0x80 && byte < 0xA0) ? kWindows1252High[byte - 0x80] : char16_t(byte);
    }
}

QString DecodeWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    DecodeWindows1252Into(bytes, reinterpret_cast<char16_t*>(text.data()));
    return text;
}

QString DecodeEightBit(QByteArrayView bytes)
{
    QString text;
    if (DecodeUtf8Strict(bytes, text))
        return text;
    return DecodeWindows1252(bytes);
}

QString DecodeText(QByteArrayView bytes, int& oddByte)
{
    oddByte = -1;
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    if (size >= 3 && in[0] == 0xEF && in[1] == 0xBB && in[2] == 0xBF)
        return DecodeEightBit(bytes.sliced(3));
    if (size >= 2 && in[0] == 0xFF && in[1] == 0xFE)
        return decodeUtf16(bytes.sliced(2), false, oddByte);
    if (size >= 2 && in[0] == 0xFE && in[1] == 0xFF)
        return decodeUtf16(bytes.sliced(2), true, oddByte);
    return DecodeEightBit(bytes);
}

QString NormalizeLineBreaks(QStringView text)
{
    const QChar* in = text.data();
    const qsizetype size = text.size();
    QString result;
    result.reserve(size + size / 16 + 2);
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = in[i].unicode();
        if (c != u'\r' && c != u'\n')
            continue;
        result.append(in + runStart, i - runStart);
        result.append(QLatin1StringView("\r\n"));
        if (c == u'\r' && i + 1 < size && in[i + 1] == u'\n')
            ++i;
        runStart = i + 1;
    }
    result.append(in + runStart, size - runStart);
    return result;
}

// Why the odd byte takes two code units, and why it compares soundly. An even UTF-16 body can
// hold any sequence of code units, so no single one is left free for the byte. But once line
// breaks are made CR LF, every CR of a file's text is followed by LF; only the mark, added after
// that step, has a CR followed by something else. Case folding maps CR, LF and a lone surrogate
// to themselves and nothing else to them, so after folding, a text with the mark still has its
// CR followed by the surrogate and a text without it still has every CR followed by LF: they
// differ. The CR also keeps the surrogate from pairing with a high surrogate that ends the body,
// so folding leaves the mark alone and two marked texts fold equal only when their bytes are
// the same and their bodies fold equal.
QString OddByteMark(quint8 byte)
{
    return QStringLiteral("\r") + QChar(char16_t(0xDC00 + byte));
}

bool IsOddByteMark(QStringView text, qsizetype at)
{
    return at + 1 < text.size() && text[at] == u'\r' && text[at + 1].unicode() >= 0xDC00 &&
           text[at + 1].unicode() <= 0xDCFF;
}

QString FileText(QByteArrayView bytes)
{
    int oddByte = -1;
    QString text = NormalizeLineBreaks(DecodeText(bytes, oddByte));
    if (oddByte >= 0)
        text += OddByteMark(quint8(oddByte));
    return text;
}

namespace {

QString foldWithIcu(QStringView text, bool turkic);

constexpr qsizetype kRunPiece = 256;

// Code units below this are folded from a table: the letters of the scripts mail is written in.
constexpr char16_t kFoldTableEnd = 0x3000;

// ICU's full folding of each code unit from U+0080 up to kFoldTableEnd that folds to a single
// unit; 0 for one that folds to several (as "ß"), left to ICU. Full folding looks at one code
// point at a time, so a text folded unit by unit from this table is what ICU makes of it whole;
// calling ICU for each accented letter cost most of the folding.
const char16_t* singleUnitFolds()
{
    static const std::array<char16_t, kFoldTableEnd> table = [] {
        std::array<char16_t, kFoldTableEnd> folds{};
        for (char16_t c = 0x80; c < kFoldTableEnd; ++c) {
            const UChar in = c;
            UChar out[4];
            UErrorCode status = U_ZERO_ERROR;
            const int32_t length = u_strFoldCase(out, 4, &in, 1, U_FOLD_CASE_DEFAULT, &status);
            if (U_SUCCESS(status) && length == 1)
                folds[c] = out[0];
        }
        return folds;
    }();
    return table.data();
}

bool foldedFromTable(const char16_t* folds, char16_t c)
{
    return c < kFoldTableEnd && folds[c] != 0;
}

// Folds a text that is not Turkic, handing it to sink in pieces; line breaks are made CR LF on
// the way when asked. Every rule but the Turkic one leaves ASCII but A to Z alone, so runs of
// ASCII are done here and only the rest goes through ICU, one run at a time (full folding looks
// at one code point at a time, and never makes or takes a CR or LF).
// Returns the length of the text before folding, line breaks made CR LF.
qsizetype foldInPieces(QStringView text, bool normalizeBreaks,
                       const std::function<void(QStringView)>& sink)
{
    qsizetype unfolded = 0;
    constexpr qsizetype kPiece = 4096;
    // Full folding lengthens a code unit to three at the most.
    char16_t out[kPiece + 3 * (kRunPiece + 1) + 2];
    qsizetype n = 0;
    const char16_t* folds = singleUnitFolds();
    const auto* in = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size) {
#if defined(__SSE2__)
        // Runs of ASCII without line breaks, eight units at a time: only A to Z change.
        while (i + 8 <= size && n + 8 <= kPiece) {
            const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
            const __m128i zero = _mm_setzero_si128();
            const __m128i ascii =
                _mm_cmpeq_epi16(_mm_and_si128(units, _mm_set1_epi16(short(0xFF80))), zero);
            const __m128i breaks = normalizeBreaks
                                       ? _mm_or_si128(_mm_cmpeq_epi16(units, _mm_set1_epi16('\r')),
                                                      _mm_cmpeq_epi16(units, _mm_set1_epi16('\n')))
                                       : zero;
            const __m128i capital = _mm_and_si128(_mm_cmpgt_epi16(units, _mm_set1_epi16('A' - 1)),
                                                  _mm_cmplt_epi16(units, _mm_set1_epi16('Z' + 1)));
            const __m128i folded =
                _mm_add_epi16(units, _mm_and_si128(capital, _mm_set1_epi16(0x20)));
            // Stored whole; only the units before the first break or other character count.
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n), folded);
            const unsigned others =
                ~unsigned(_mm_movemask_epi8(_mm_andnot_si128(breaks, ascii))) & 0xFFFF;
            const int plain = others == 0 ? 8 : __builtin_ctz(others) / 2;
            n += plain;
            i += plain;
            unfolded += plain;
            if (plain < 8)
                break;
        }
        if (i >= size)
            break;
#endif
        const char16_t c = in[i];
        if (c < 0x80) {
            if (normalizeBreaks && (c == u'\r' || c == u'\n')) {
                out[n++] = u'\r';
                out[n++] = u'\n';
                ++unfolded;
                if (c == u'\r' && i + 1 < size && in[i + 1] == u'\n')
                    ++i;
            } else {
                out[n++] = (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
            }
            ++unfolded;
            ++i;
        } else if (foldedFromTable(folds, c)) {
            out[n++] = folds[c];
            ++unfolded;
            ++i;
        } else {
            qsizetype end = i + 1;
            while (end < size && in[end] >= 0x80 && !foldedFromTable(folds, in[end]) &&
                   end - i < kRunPiece)
                ++end;
            // A surrogate pair stays in one piece.
            if (end < size && end - i == kRunPiece && QChar::isHighSurrogate(in[end - 1]) &&
                QChar::isLowSurrogate(in[end]))
                ++end;
            UErrorCode status = U_ZERO_ERROR;
            const int32_t length =
                u_strFoldCase(reinterpret_cast<UChar*>(out + n), int32_t(3 * (kRunPiece + 1)),
                              reinterpret_cast<const UChar*>(in + i), int32_t(end - i),
                              U_FOLD_CASE_DEFAULT, &status);
            if (U_FAILURE(status)) {
                // Never expected for valid arguments; keep the piece as it is.
                std::memcpy(out + n, in + i, size_t(end - i) * sizeof(char16_t));
                n += end - i;
            } else {
                n += length;
            }
            unfolded += end - i;
            i = end;
        }
        if (n >= kPiece) {
            sink(QStringView(out, n));
            n = 0;
        }
    }
    if (n > 0)
        sink(QStringView(out, n));
    return unfolded;
}

} // namespace

QString FoldCase(QStringView text, bool turkic)
{
    // Turkic folding changes "I" itself.
    if (turkic)
        return foldWithIcu(text, true);
    QString result;
    result.reserve(text.size());
    foldInPieces(text, false, [&](QStringView piece) { result.append(piece); });
    return result;
}

namespace {

QString foldWithIcu(QStringView text, bool turkic)
{
    const uint32_t options = turkic ? U_FOLD_CASE_EXCLUDE_SPECIAL_I : U_FOLD_CASE_DEFAULT;
    // ICU counts in int32_t: fold in pieces that end on a code point boundary, which is safe
    // because full case folding looks at one code point at a time.
    constexpr qsizetype kPiece = qsizetype(1) << 20;
    QString result;
    result.reserve(text.size());
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = std::min(text.size(), start + kPiece);
        if (end < text.size() && text[end - 1].isHighSurrogate() && text[end].isLowSurrogate())
            --end;
        const auto* src = reinterpret_cast<const UChar*>(text.utf16() + start);
        const auto srcLength = int32_t(end - start);
        const qsizetype base = result.size();
        // Full folding can lengthen a piece (ß gives ss), at most threefold.
        int32_t capacity = srcLength + srcLength / 4 + 16;
        for (;;) {
            result.resize(base + capacity);
            UErrorCode status = U_ZERO_ERROR;
            const int32_t length = u_strFoldCase(reinterpret_cast<UChar*>(result.data() + base),
                                                 capacity, src, srcLength, options, &status);
            if (status == U_BUFFER_OVERFLOW_ERROR) {
                capacity = length;
                continue;
            }
            if (U_FAILURE(status)) {
                if (status == U_MEMORY_ALLOCATION_ERROR)
                    throw std::bad_alloc();
                // Never expected for valid arguments; keep the piece as it is.
                result.resize(base);
                result.append(text.sliced(start, end - start));
            } else {
                result.resize(base + length);
            }
            break;
        }
        start = end;
    }
    return result;
}

} // namespace

bool IsTurkicLocale(const QLocale& locale)
{
    return locale.language() == QLocale::Turkish || locale.language() == QLocale::Azerbaijani;
}

bool SystemIsTurkic()
{
    static const bool turkic = IsTurkicLocale(QLocale::system());
    return turkic;
}

bool TextsEqual(const QString& reference, const QString& candidate, bool turkic)
{
    if (reference == candidate)
        return true;
    try {
        return FoldCase(reference, turkic) == FoldCase(candidate, turkic);
    } catch (const std::bad_alloc&) {
        // Equality never raises; what cannot be compared is not a duplicate.
        return false;
    }
}

bool TextsEqual(const QString& reference, const QString& candidate)
{
    return TextsEqual(reference, candidate, SystemIsTurkic());
}

QString ComparisonForm(QStringView text)
{
    return FoldCase(text, SystemIsTurkic());
}

qsizetype StreamComparisonForm(QByteArrayView bytes, const std::function<void(QStringView)>& sink)
{
    if (SystemIsTurkic()) {
        const QString text = FileText(bytes);
        sink(ComparisonForm(text));
        return text.size();
    }
    int oddByte = -1;
    qsizetype length = foldInPieces(DecodeText(bytes, oddByte), true, sink);
    if (oddByte >= 0) {
        const QString mark = OddByteMark(quint8(oddByte));
        sink(FoldCase(mark, false));
        length += mark.size();
    }
    return length;
}

base::EFOpenError FileOpenError(const QString& path, const QString& reason)
{
    return base::EFOpenError(QStringLiteral("Impossible d'ouvrir le fichier \"%1\". %2")
                                 .arg(base::PathRules::shownName(path), reason));
}

void ThrowFileOpenError(const QString& path, const QString& reason)
{
    throw FileOpenError(path, reason);
}

void ThrowTextTooLong()
{
    throw base::EInvalidOperation(QStringLiteral("Le texte dépasse la capacité du mémo"));
}

QString FileTooLargeReason()
{
    return QStringLiteral("Le fichier fait 2 Go ou plus.");
}

QByteArray ReadDescriptor(int fd, qint64 sizeHint, const QString& path)
{
    // One byte beyond the expected size, so that the end of file shows at once.
    const qint64 first = std::clamp<qint64>(sizeHint, 0, kFileSizeLimit - 1) + 1;
    QByteArray data(first, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        if (total == data.size()) {
            if (total >= kFileSizeLimit)
                ThrowFileOpenError(path, FileTooLargeReason());
            data.resize(std::min(std::max<qint64>(total * 2, 65536), kFileSizeLimit));
        }
        const ssize_t count = ::read(fd, data.data() + total, size_t(data.size() - total));
        if (count < 0) {
            if (errno == EINTR)
                continue;
            ThrowFileOpenError(path, base::EInOutError::systemText(errno));
        }
        if (count == 0)
            break;
        total += count;
    }
    if (total >= kFileSizeLimit)
        ThrowFileOpenError(path, FileTooLargeReason());
    data.truncate(total);
    return data;
}

QByteArray ReadFileBytes(const QString& path)
{
    try {
        const ReadOnlyFile file = ReadOnlyFile::open(path);
        return ReadDescriptor(file.fd(), file.size(), path);
    } catch (const std::bad_alloc&) {
        throw base::EOutOfMemory(QStringLiteral("Mémoire insuffisante"));
    }
}

QString LoadTextFile(const QString& path)
{
    const QByteArray bytes = ReadFileBytes(path);
    try {
        return FileText(bytes);
    } catch (const std::bad_alloc&) {
        throw base::EOutOfMemory(QStringLiteral("Mémoire insuffisante"));
    }
}

bool LoadTextFileWithin(const QString& path, qint64 maxLength, QString& text)
{
    try {
        const ReadOnlyFile file = ReadOnlyFile::open(path);
        // Decoding gives at most a character per byte and line breaks at most double them, and
        // the odd-byte mark adds two: only a text that might not fit is measured first.
        if (2 * file.size() + 2 > maxLength) {
            ComparisonStream stream(file.fd(), path, ComparisonStream::kChunk, false, false);
            if (stream.textLengthAtLeast() > maxLength || stream.measure(maxLength) > maxLength)
                return false;
        }
        const QByteArray bytes = ReadDescriptor(file.fd(), file.size(), path);
        text = FileText(bytes);
        return true;
    } catch (const std::bad_alloc&) {
        throw base::EOutOfMemory(QStringLiteral("Mémoire insuffisante"));
    }
}

qint64 FileTextLengthAtLeast(qint64 size, QByteArrayView head)
{
    const auto* in = reinterpret_cast<const unsigned char*>(head.data());
    // A UTF-16 body gives a unit per two bytes and the odd byte a two-unit mark.
    if (head.size() >= 2 && ((in[0] == 0xFF && in[1] == 0xFE) || (in[0] == 0xFE && in[1] == 0xFF)))
        return (size - 2) / 2 + 2 * ((size - 2) % 2);
    // Windows-1252 gives a unit per byte; UTF-8 a unit per sequence of one to three bytes and two
    // per sequence of four, so never less than a unit per three bytes.
    const qint64 body =
        head.size() >= 3 && in[0] == 0xEF && in[1] == 0xBB && in[2] == 0xBF ? size - 3 : size;
    return (body + 2) / 3;
}

void AppendFoldedCase(QStringView text, bool turkic, QString& out)
{
    if (turkic) {
        out += foldWithIcu(text, true);
        return;
    }
    foldInPieces(text, false, [&](QStringView piece) { out.append(piece); });
}
