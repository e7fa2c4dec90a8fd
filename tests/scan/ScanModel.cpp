#include "ScanModel.h"

#include "ScanTexts.h"

#include <QCollator>
#include <QStringDecoder>
#include <QtTest>

#include <algorithm>

namespace {

QString upper(const QString& text)
{
    // One to one: each code point by itself.
    QString out;
    for (const char32_t c : text.toUcs4()) {
        const char32_t u = QChar::toUpper(c);
        out += QString::fromUcs4(&u, 1);
    }
    return out;
}

QStringList splitMask(const QString& mask)
{
    QStringList pieces = mask.split(QLatin1Char(';'));
    if (!pieces.isEmpty() && pieces.last().isEmpty())
        pieces.removeLast();
    for (QString& piece : pieces)
        piece = upper(piece);
    return pieces;
}

bool isLetter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

const QString kBlank = QStringLiteral("Search string cannot be blank");

} // namespace

QString ScanModel::decode(const QByteArray& bytes, int* oddByte)
{
    *oddByte = -1;
    auto eightBit = [](const QByteArray& data) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8(data);
        if (!utf8.hasError())
            return text;
        QStringDecoder cp1252("windows-1252");
        return QString(cp1252(data));
    };
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return eightBit(bytes.mid(3));
    const bool little = bytes.startsWith("\xFF\xFE");
    if (little || bytes.startsWith("\xFE\xFF")) {
        QString text;
        const QByteArray body = bytes.mid(2);
        for (qsizetype i = 0; i + 1 < body.size(); i += 2) {
            const auto a = static_cast<unsigned char>(body[i]);
            const auto b = static_cast<unsigned char>(body[i + 1]);
            text += QChar(char16_t(little ? (b << 8 | a) : (a << 8 | b)));
        }
        if (body.size() % 2)
            *oddByte = static_cast<unsigned char>(body.back());
        return text;
    }
    return eightBit(bytes);
}

QString ScanModel::key(const QByteArray& bytes)
{
    int odd;
    const QString text = decode(bytes, &odd);
    QString normal;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\r')) {
            normal += QStringLiteral("\r\n");
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
        } else if (text[i] == QLatin1Char('\n')) {
            normal += QStringLiteral("\r\n");
        } else {
            normal += text[i];
        }
    }
    return normal.toCaseFolded() + QStringLiteral("|odd=%1").arg(odd);
}

bool ScanModel::maskMatches(const QString& p, const QString& s)
{
    if (p == QLatin1String("*"))
        return true;
    qsizetype i = 0, j = 0, pMark = -1, sMark = -1;
    bool phaseA = true;
    for (;;) {
        if (phaseA) {
            if (i == p.size()) {
                if (j == s.size())
                    return true;
                if (pMark < 0 || sMark < 0)
                    return false;
                i = pMark, j = sMark, phaseA = false;
            } else if (p[i] == QLatin1Char('*')) {
                pMark = ++i;
                phaseA = false;
            } else if (p[i] == QLatin1Char('?')) {
                if (j == s.size())
                    return false;
                ++i, ++j;
            } else if (j == s.size()) {
                return false;
            } else if (p[i] == s[j]) {
                ++i, ++j;
            } else if (pMark >= 0 && sMark >= 0) {
                i = pMark, j = sMark, phaseA = false;
            } else {
                return false;
            }
        } else {
            if (i == p.size())
                return true;
            if (p[i] == QLatin1Char('*')) {
                pMark = ++i;
            } else if (p[i] == QLatin1Char('?')) {
                if (j == s.size())
                    return false;
                ++i, ++j;
            } else {
                while (j < s.size() && s[j] != p[i])
                    ++j;
                if (j == s.size())
                    return false;
                sMark = ++j;
                ++i;
                phaseA = true;
            }
        }
    }
}

QString ScanModel::prefix(const QString& name, int mode)
{
    if (mode == 1)
        return name.left(1);
    if (mode == 2)
        return QString();
    if (mode != 0)
        return name;
    auto lettersFrom = [&](qsizetype at) {
        qsizetype end = at;
        while (end < name.size() && isLetter(name[end]))
            ++end;
        return end;
    };
    if (name.size() > 3 && name.left(3).compare(QLatin1String("LE "), Qt::CaseInsensitive) == 0 &&
        isLetter(name[3]))
        return name.left(lettersFrom(3));
    const qsizetype end = lettersFrom(0);
    return end > 0 ? name.left(end) : name;
}

void ScanModel::sortNames(QStringList& names)
{
    QCollator collator(QLocale::system());
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(names.begin(), names.end(), [&](const QString& a, const QString& b) {
        const int c = collator.compare(a, b);
        return c != 0 ? c < 0 : a < b;
    });
}

QString ScanModel::target(const QString& name) const
{
    const File& file = files[name];
    return file.linkTo.isEmpty() ? name : file.linkTo;
}

QString ScanModel::identity(const QString& name) const
{
    const QString file = target(name);
    const QString other = files[file].sameAs;
    return other.isEmpty() ? file : other;
}

bool ScanModel::present(const QString& name, const QStringList& moved) const
{
    if (name.startsWith(QLatin1Char('.')) || moved.contains(name))
        return false;
    return !moved.contains(target(name));
}

QStringList ScanModel::listing(const QStringList& moved) const
{
    QStringList names;
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        if (present(it.key(), moved))
            names << it.key();
    }
    sortNames(names);
    return names;
}

QStringList ScanModel::matching(const QStringList& names, const QString& mask) const
{
    const QStringList patterns = splitMask(mask);
    QStringList result;
    for (const QString& name : names) {
        for (const QString& pattern : patterns) {
            if (pattern.isEmpty())
                throw kBlank;
            if (maskMatches(pattern, upper(name))) {
                result << name;
                break;
            }
        }
    }
    return result;
}

QStringList ScanModel::mainList() const
{
    try {
        return matching(listing({}), mainMask + QLatin1Char('*'));
    } catch (const QString&) {
        return {};
    }
}

ScanModel::Trace ScanModel::run() const
{
    Trace trace;
    const QStringList mainList = matching(listing({}), mainMask + QLatin1Char('*'));
    trace.dialogs << QStringLiteral("Comparer %1 fichiers ?").arg(mainList.size());
    trace.keys << Qt::Key_Return;
    qsizetype nextAnswer = 0;
    auto fileKey = [&](const QString& name) { return key(files[target(name)].bytes); };
    auto refusal = [&](const QString& name) { return files[target(name)].refusal; };
    auto path = [&](const QString& name) { return folder + QLatin1Char('/') + name; };
    for (qsizetype i = mainList.size() - 1; i >= 0; --i) {
        const QString& reference = mainList[i];
        bool pass = present(reference, trace.moved);
        if (pass && !refusal(reference).isEmpty()) {
            trace.dialogs << QStringLiteral("ERREUR 346 COMPARERExecute : Appel de Charge1\r\n") +
                                 QStringLiteral("Impossible d'ouvrir le fichier \"%1\". %2")
                                     .arg(path(reference), refusal(reference));
            trace.keys << Qt::Key_Return;
            pass = false;
        }
        QStringList candidates;
        try {
            candidates = matching(listing(trace.moved), prefix(reference, mode) + QLatin1Char('*'));
        } catch (const QString& error) {
            trace.dialogs << QStringLiteral("ERREUR 354  COMPARERExecute : Appel de Charge2\r\n") +
                                 error;
            trace.keys << Qt::Key_Return;
        }
        candidates.removeAll(reference);
        if (!pass)
            continue;
        for (qsizetype c = candidates.size() - 1; c >= 0; --c) {
            const QString& candidate = candidates[c];
            if (!present(candidate, trace.moved) || identity(candidate) == identity(reference))
                continue;
            if (!refusal(candidate).isEmpty()) {
                // The error report ends the scan: no summary.
                trace.dialogs << QStringLiteral("Impossible d'ouvrir le fichier \"%1\". %2")
                                     .arg(path(candidate), refusal(candidate));
                trace.keys << Qt::Key_Return;
                sortNames(trace.listed);
                std::sort(trace.moved.begin(), trace.moved.end());
                return trace;
            }
            if (fileKey(candidate) != fileKey(reference))
                continue;
            // A link may be the copy that goes, never the file beside a link.
            if (!files[reference].linkTo.isEmpty() && files[candidate].linkTo.isEmpty())
                continue;
            ++trace.found;
            Answer answer = Yes;
            if (!automatic) {
                answer = answers.value(nextAnswer++, No);
                trace.dialogs << ScanTexts::question(reference, candidate);
                trace.keys << (answer == Yes  ? Qt::Key_O
                               : answer == No ? Qt::Key_N
                                              : Qt::Key_Escape);
            }
            if (answer == Cancel) {
                i = -1;
                break;
            }
            if (answer == Yes) {
                trace.moved << candidate;
                trace.listed << candidate;
            }
        }
    }
    trace.dialogs << ScanTexts::summary(int(mainList.size()), trace.found);
    trace.keys << Qt::Key_Return;
    sortNames(trace.listed);
    std::sort(trace.moved.begin(), trace.moved.end());
    return trace;
}
