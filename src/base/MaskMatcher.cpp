#include "base/MaskMatcher.h"

#include "base/Errors.h"

#include <unicode/uchar.h>

namespace base {

QStringList MaskMatcher::splitMask(const QString& mask)
{
    QStringList patterns;
    qsizetype start = 0;
    for (qsizetype i = 0; i < mask.size(); ++i) {
        if (mask.at(i) == QLatin1Char(';')) {
            patterns << upperCase(QStringView(mask).mid(start, i - start));
            start = i + 1;
        }
    }
    const QString last = mask.mid(start);
    if (!last.isEmpty())
        patterns << upperCase(last);
    return patterns;
}

QString MaskMatcher::upperCase(QStringView text)
{
    // Most names are ASCII: upper-cased here, without a call per letter.
    qsizetype ascii = 0;
    while (ascii < text.size() && text[ascii].unicode() < 0x80)
        ++ascii;
    if (ascii == text.size()) {
        QString upper(text.size(), Qt::Uninitialized);
        char16_t* out = reinterpret_cast<char16_t*>(upper.data());
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            out[i] = c >= u'a' && c <= u'z' ? char16_t(c - (u'a' - u'A')) : c;
        }
        return upper;
    }
    QString upper;
    upper.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t code = text[i].unicode();
        if (QChar::isHighSurrogate(code) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            code = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        // Simple mapping; a lone surrogate stays as it is.
        const char32_t mapped = char32_t(u_toupper(UChar32(code)));
        if (QChar::requiresSurrogates(mapped)) {
            upper += QChar(QChar::highSurrogate(mapped));
            upper += QChar(QChar::lowSurrogate(mapped));
        } else {
            upper += QChar(char16_t(mapped));
        }
    }
    return upper;
}

// Two phases with restart marks; kept literally because listings depend on its exact answers
// (for example "*?X" does not match "AXX").
bool MaskMatcher::matches(const QString& pattern, const QString& name)
{
    if (pattern == QLatin1String("*"))
        return true;
    if (pattern.isEmpty())
        throw Exception(QStringLiteral("Search string cannot be blank"));

    const qsizetype pEnd = pattern.size();
    const qsizetype sEnd = name.size();
    qsizetype p = 0;
    qsizetype s = 0;
    qsizetype pMark = -1;
    qsizetype sMark = -1;
    bool phaseA = true;

    for (;;) {
        if (phaseA) {
            if (p == pEnd) {
                if (s == sEnd)
                    return true;
                if (pMark < 0 || sMark < 0)
                    return false;
                p = pMark;
                s = sMark;
                phaseA = false;
                continue;
            }
            const QChar c = pattern.at(p);
            if (c == QLatin1Char('*')) {
                ++p;
                pMark = p;
                phaseA = false;
            } else if (c == QLatin1Char('?')) {
                if (s == sEnd)
                    return false;
                ++p;
                ++s;
            } else {
                if (s == sEnd)
                    return false;
                if (c == name.at(s)) {
                    ++p;
                    ++s;
                } else if (pMark >= 0 && sMark >= 0) {
                    p = pMark;
                    s = sMark;
                    phaseA = false;
                } else {
                    return false;
                }
            }
        } else {
            if (p == pEnd)
                return true;
            const QChar c = pattern.at(p);
            if (c == QLatin1Char('*')) {
                ++p;
                pMark = p;
            } else if (c == QLatin1Char('?')) {
                if (s == sEnd)
                    return false;
                ++p;
                ++s;
            } else {
                while (s < sEnd && name.at(s) != c)
                    ++s;
                if (s == sEnd)
                    return false;
                ++s;
                sMark = s;
                ++p;
                phaseA = true;
            }
        }
    }
}

bool MaskMatcher::matchesAny(const QStringList& patterns, const QString& upperName)
{
    if (patterns.isEmpty())
        return true;
    for (const QString& pattern : patterns) {
        if (matches(pattern, upperName))
            return true;
    }
    return false;
}

} // namespace base
