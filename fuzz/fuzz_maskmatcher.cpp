// Mask matching against a matcher written here from the rule itself: two phases, restart marks
// in the pattern and in the name. Both sides are upper-cased one code point to one (u_toupper).
#include "FuzzCheck.h"
#include "FuzzInput.h"

#include "base/Errors.h"
#include "base/MaskMatcher.h"

#include <unicode/uchar.h>

#include <optional>

namespace {

QString upperOneToOne(const QString& text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t code = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            code = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        const char32_t upper = char32_t(u_toupper(UChar32(code)));
        if (QChar::requiresSurrogates(upper)) {
            out += QChar(QChar::highSurrogate(upper));
            out += QChar(QChar::lowSurrogate(upper));
        } else {
            out += QChar(char16_t(upper));
        }
    }
    return out;
}

// One state of the match: positions in P and S and the two marks (unset: nullopt).
struct Match {
    const QString& P;
    const QString& S;
    std::optional<qsizetype> pMark;
    std::optional<qsizetype> sMark;

    bool bothMarks() const { return pMark && sMark; }

    bool phaseA(qsizetype p, qsizetype s)
    {
        if (p == P.size()) {
            if (s == S.size())
                return true;
            return bothMarks() ? phaseB(*pMark, *sMark) : false;
        }
        if (P[p] == u'*') {
            pMark = p + 1;
            return phaseB(p + 1, s);
        }
        if (P[p] == u'?')
            return s == S.size() ? false : phaseA(p + 1, s + 1);
        if (s == S.size())
            return false;
        if (P[p] == S[s])
            return phaseA(p + 1, s + 1);
        return bothMarks() ? phaseB(*pMark, *sMark) : false;
    }

    bool phaseB(qsizetype p, qsizetype s)
    {
        if (p == P.size())
            return true;
        if (P[p] == u'*') {
            pMark = p + 1;
            return phaseB(p + 1, s);
        }
        if (P[p] == u'?')
            return s == S.size() ? false : phaseB(p + 1, s + 1);
        while (s < S.size() && S[s] != P[p])
            ++s;
        if (s == S.size())
            return false;
        sMark = s + 1;
        return phaseA(p + 1, s + 1);
    }
};

bool oracleMatches(const QString& P, const QString& S)
{
    if (P == QLatin1String("*"))
        return true;
    Match match{P, S, std::nullopt, std::nullopt};
    return match.phaseA(0, 0);
}

// Characters whose upper case is special: ß and ŉ (no one-to-one upper case), ſ and ı (upper
// case ASCII), the Kelvin sign, ÿ (upper case outside Latin-1), a letter outside the BMP.
const QString kSpecials =
    QString::fromUtf16(u"*?;.\u00DF\u017F\u0131i\u0130\u212A\u00FF\u00E9\u00C9"
                       u"\u0149\U00010428") +
    QChar(0xD801) + QChar(0xDC28);

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size, kSpecials);
    const QString mask = input.takeText();
    const QString name = input.takeText();
    // The oracle recurses once per step; keep the steps few.
    if (mask.size() > 64 || name.size() > 64)
        return 0;
    const QString P = upperOneToOne(mask);
    const QString S = upperOneToOne(name);
    FUZZ_CHECK(
        base::MaskMatcher::upperCase(mask) == P && base::MaskMatcher::upperCase(name) == S,
        QStringLiteral("one-to-one upper case of %1 / %2").arg(fuzzDump(mask), fuzzDump(name)));

    if (P.isEmpty()) {
        bool raised = false;
        try {
            base::MaskMatcher::matches(P, S.isEmpty() ? QStringLiteral("A") : S);
        } catch (const base::Exception& e) {
            raised = e.message() == QLatin1String("Search string cannot be blank");
        }
        FUZZ_CHECK(raised, QStringLiteral("an empty pattern must be refused"));
        return 0;
    }
    if (S.isEmpty())
        return 0; // names are never empty

    const bool expected = oracleMatches(P, S);
    const bool actual = base::MaskMatcher::matches(P, S);
    FUZZ_CHECK(actual == expected, QStringLiteral("pattern %1\nname %2\nexpected %3")
                                       .arg(fuzzDump(P), fuzzDump(S), expected ? "match" : "none"));
    return 0;
}
