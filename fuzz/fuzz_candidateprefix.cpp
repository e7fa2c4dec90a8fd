// The candidate prefix of every scan mode against the rule written out by hand. Mode 0 is
// "^(LE )?([a-z]+)" matched caselessly with PCRE2's UTF rules: [a-z] then also takes the long s
// (U+017F) and the Kelvin sign (U+212A), whose case partners are s and k; the whole match is the
// prefix, and a name that does not match, or is not valid UTF-16, is its own prefix.
#include "FuzzCheck.h"
#include "FuzzInput.h"

#include "scan/CandidatePrefix.h"

namespace {

bool isValidUtf16(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isLowSurrogate())
            return false;
        if (text[i].isHighSurrogate()) {
            if (i + 1 == text.size() || !text[i + 1].isLowSurrogate())
                return false;
            ++i;
        }
    }
    return true;
}

bool isCaselessLetter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || u == 0x017F || u == 0x212A;
}

qsizetype letterRun(const QString& text, qsizetype from)
{
    qsizetype end = from;
    while (end < text.size() && isCaselessLetter(text[end]))
        ++end;
    return end - from;
}

QString expectedModeZero(const QString& name)
{
    if (!isValidUtf16(name))
        return name;
    if (name.size() > 3 && (name[0] == u'L' || name[0] == u'l') &&
        (name[1] == u'E' || name[1] == u'e') && name[2] == u' ') {
        const qsizetype run = letterRun(name, 3);
        if (run > 0)
            return name.left(3 + run);
    }
    const qsizetype run = letterRun(name, 0);
    return run > 0 ? name.left(run) : name;
}

const QString kSpecials =
    QString::fromUtf16(
        u"LE \u017F\u212A\u00DF\u00E9\u0131\u0130\u0141\u0395\u00A0\u3000\U0001D41A") +
    QChar(0xD800) + QChar(0xDC00);

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size, kSpecials);
    const QString name = input.takeText();

    const QString prefix = CandidatePrefix(name, 0);
    const QString expected = expectedModeZero(name);
    FUZZ_CHECK(prefix == expected, QStringLiteral("name %1\nprefix %2\nexpected %3")
                                       .arg(fuzzDump(name), fuzzDump(prefix), fuzzDump(expected)));

    FUZZ_CHECK(CandidatePrefix(name, 1) == name.left(1), fuzzDump(name));
    FUZZ_CHECK(CandidatePrefix(name, 2).isEmpty(), fuzzDump(name));
    for (const int mode : {-1, 3, 1000})
        FUZZ_CHECK(CandidatePrefix(name, mode) == name, fuzzDump(name));
    return 0;
}
