// Decoding and equality of two files made of any bytes. Checks: decoding is a function of the
// bytes alone; UTF-8 is recognised by a validator written here and then decoded as Qt decodes it;
// other unmarked bytes decode one byte to one character as Windows-1252 (ICU's table, the five
// bytes it leaves undefined giving the C1 control of the same value), so two different byte
// sequences without a mark that are not UTF-8 never give the same text; UTF-16 after its mark is
// taken unit by unit; line breaks become CR LF; TextsEqual is ICU full case folding compared
// exactly.
#include "FuzzCheck.h"

#include "scan/FingerprintIndex.h"
#include "scan/TextCodec.h"

#include <QStringDecoder>

#include <unicode/stringoptions.h>
#include <unicode/ustring.h>

#include <cstring>
#include <vector>

namespace {

bool startsWith(QByteArrayView bytes, const char* mark)
{
    return bytes.startsWith(QByteArrayView(mark));
}

bool hasMark(QByteArrayView bytes)
{
    return startsWith(bytes, "\xEF\xBB\xBF") || startsWith(bytes, "\xFF\xFE") ||
           startsWith(bytes, "\xFE\xFF");
}

// Well-formed UTF-8 by the table of well-formed byte sequences.
bool isUtf8(QByteArrayView bytes)
{
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    auto in = [&](qsizetype i, int low, int high) { return i < n && b[i] >= low && b[i] <= high; };
    qsizetype i = 0;
    while (i < n) {
        const int lead = b[i];
        if (lead <= 0x7F)
            i += 1;
        else if (lead >= 0xC2 && lead <= 0xDF && in(i + 1, 0x80, 0xBF))
            i += 2;
        else if (lead == 0xE0 && in(i + 1, 0xA0, 0xBF) && in(i + 2, 0x80, 0xBF))
            i += 3;
        else if (((lead >= 0xE1 && lead <= 0xEC) || lead == 0xEE || lead == 0xEF) &&
                 in(i + 1, 0x80, 0xBF) && in(i + 2, 0x80, 0xBF))
            i += 3;
        else if (lead == 0xED && in(i + 1, 0x80, 0x9F) && in(i + 2, 0x80, 0xBF))
            i += 3;
        else if (lead == 0xF0 && in(i + 1, 0x90, 0xBF) && in(i + 2, 0x80, 0xBF) &&
                 in(i + 3, 0x80, 0xBF))
            i += 4;
        else if (lead >= 0xF1 && lead <= 0xF3 && in(i + 1, 0x80, 0xBF) && in(i + 2, 0x80, 0xBF) &&
                 in(i + 3, 0x80, 0xBF))
            i += 4;
        else if (lead == 0xF4 && in(i + 1, 0x80, 0x8F) && in(i + 2, 0x80, 0xBF) &&
                 in(i + 3, 0x80, 0xBF))
            i += 4;
        else
            return false;
    }
    return true;
}

QChar windows1252(unsigned char byte)
{
    static const std::vector<QChar> table = [] {
        std::vector<QChar> chars(256);
        for (int i = 0; i < 256; ++i) {
            QStringDecoder decoder("windows-1252");
            const char c = char(i);
            const QString one = decoder.decode(QByteArrayView(&c, 1));
            if (!decoder.isValid() || one.size() != 1)
                std::abort();
            chars[i] = one[0];
        }
        for (const int undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
            chars[undefined] = QChar(char16_t(undefined));
        return chars;
    }();
    return table[byte];
}

QString utf16(QByteArrayView bytes, bool bigEndian)
{
    QString text;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        const auto first = uchar(bytes[i]);
        const auto second = uchar(bytes[i + 1]);
        text += QChar(char16_t(bigEndian ? first * 256 + second : second * 256 + first));
    }
    return text;
}

QString lineBreaksOracle(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return text;
}

QString foldOracle(const QString& text, bool turkic)
{
    const uint32_t options = turkic ? U_FOLD_CASE_EXCLUDE_SPECIAL_I : U_FOLD_CASE_DEFAULT;
    UErrorCode status = U_ZERO_ERROR;
    const auto* src = reinterpret_cast<const UChar*>(text.utf16());
    const int32_t length = u_strFoldCase(nullptr, 0, src, int32_t(text.size()), options, &status);
    QString folded(length, Qt::Uninitialized);
    status = U_ZERO_ERROR;
    u_strFoldCase(reinterpret_cast<UChar*>(folded.data()), length, src, int32_t(text.size()),
                  options, &status);
    if (U_FAILURE(status))
        std::abort();
    return folded;
}

// Qt's decoder, keeping a U+FEFF at the start as the character it is.
QString utf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

QString hex(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes.toByteArray().toHex(' '));
}

// The odd last byte of a UTF-16 body, -1 when there is none.
int oddByteOracle(QByteArrayView bytes)
{
    const bool utf16 = startsWith(bytes, "\xFF\xFE") || startsWith(bytes, "\xFE\xFF");
    if (startsWith(bytes, "\xEF\xBB\xBF") || !utf16 || bytes.size() % 2 == 0)
        return -1;
    return uchar(bytes[bytes.size() - 1]);
}

QString decoded(QByteArrayView bytes)
{
    int odd = -1;
    return DecodeText(bytes, odd);
}

// What one file must decode to, where the rule fixes it.
void checkDecoding(QByteArrayView bytes)
{
    // A copy in a buffer of its own, with nothing readable past its end.
    std::vector<char> copy(bytes.begin(), bytes.end());
    int odd = -2;
    const QString text = DecodeText(bytes, odd);
    FUZZ_CHECK(odd == oddByteOracle(bytes), hex(bytes));
    FUZZ_CHECK(decoded(QByteArrayView(copy.data(), qsizetype(copy.size()))) == text, hex(bytes));

    if (startsWith(bytes, "\xEF\xBB\xBF")) {
        if (isUtf8(bytes.sliced(3)))
            FUZZ_CHECK(text == utf8(bytes.sliced(3)), hex(bytes));
    } else if (startsWith(bytes, "\xFF\xFE")) {
        FUZZ_CHECK(text == utf16(bytes.sliced(2), false), hex(bytes));
    } else if (startsWith(bytes, "\xFE\xFF")) {
        FUZZ_CHECK(text == utf16(bytes.sliced(2), true), hex(bytes));
    } else {
        QString strict;
        FUZZ_CHECK(DecodeUtf8Strict(bytes, strict) == isUtf8(bytes), hex(bytes));
        if (isUtf8(bytes)) {
            FUZZ_CHECK(text == utf8(bytes), hex(bytes));
        } else {
            FUZZ_CHECK(text.size() == bytes.size(), hex(bytes));
            for (qsizetype i = 0; i < bytes.size(); ++i)
                FUZZ_CHECK(text[i] == windows1252(uchar(bytes[i])),
                           hex(bytes) + QStringLiteral(" at %1").arg(i));
        }
    }
    // The odd byte stands at the end as CR and U+DC00 plus the byte, a CR no line break has.
    const QString mark = odd < 0 ? QString() : QStringLiteral("\r") + QChar(char16_t(0xDC00 + odd));
    FUZZ_CHECK(FileText(bytes) == lineBreaksOracle(text) + mark, hex(bytes));
}

} // namespace

// The first two bytes say how many of the rest belong to the first file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const size_t rest = size - 2;
    const size_t firstSize = (size_t(data[0]) << 8 | data[1]) % (rest + 1);
    const QByteArrayView a(reinterpret_cast<const char*>(data + 2), qsizetype(firstSize));
    const QByteArrayView b(reinterpret_cast<const char*>(data + 2 + firstSize),
                           qsizetype(rest - firstSize));

    checkDecoding(a);
    checkDecoding(b);

    const QString textA = decoded(a);
    const QString textB = decoded(b);
    if (a != b && !hasMark(a) && !hasMark(b) && !isUtf8(a) && !isUtf8(b))
        FUZZ_CHECK(textA != textB, hex(a) + QStringLiteral(" / ") + hex(b));

    const QString fileA = FileText(a);
    const QString fileB = FileText(b);
    for (const bool turkic : {false, true}) {
        const bool equal = TextsEqual(fileA, fileB, turkic);
        FUZZ_CHECK(equal == (foldOracle(fileA, turkic) == foldOracle(fileB, turkic)),
                   hex(a) + QStringLiteral(" / ") + hex(b));
        FUZZ_CHECK(TextsEqual(fileB, fileA, turkic) == equal,
                   hex(a) + QStringLiteral(" / ") + hex(b));
        FUZZ_CHECK(TextsEqual(fileA, fileA, turkic), hex(a));
    }
    // The index's fingerprints fold by the system's rules, which are not Turkic here: equal texts
    // always share one; different texts sharing one would be a collision of 128-bit hashes.
    const bool equal = TextsEqual(fileA, fileB, false);
    FUZZ_CHECK(equal == (Fingerprint::ofFile(a) == Fingerprint::ofFile(b) &&
                         foldOracle(fileA, false) == foldOracle(fileB, false)),
               hex(a) + QStringLiteral(" / ") + hex(b));
    FUZZ_CHECK(equal == (Fingerprint::ofFile(a) == Fingerprint::ofFile(b)),
               hex(a) + QStringLiteral(" / ") + hex(b));
    return 0;
}
