#include "settings/IniFile.h"

#include "base/PathRules.h"
#include "scan/TextCodec.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <unistd.h>

namespace {

const QFileDevice::Permissions kAnyWrite =
    QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;

QString trimBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && (text[begin] == u' ' || text[begin] == u'\t'))
        ++begin;
    while (end > begin &&
           (text[end - 1] == u' ' || text[end - 1] == u'\t' || text[end - 1] == u'\r'))
        --end;
    return text.mid(begin, end - begin);
}

bool hasLineBreak(const QString& text)
{
    return text.contains(u'\n') || text.contains(u'\r') || text.contains(QChar(0));
}

bool isQuoted(const QString& text)
{
    return text.size() >= 2 && text.startsWith(u'"') && text.endsWith(u'"');
}

// The reader trims blanks and strips one pair of quotes: a value that either would change is
// written inside quotes, so that it reads back as it was.
QString storedForm(const QString& value)
{
    if (trimBlanks(value) != value || isQuoted(value))
        return u'"' + value + u'"';
    return value;
}

bool hasLoneSurrogate(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return true;
    }
    return false;
}

// A line as text: UTF-8, except that a byte that begins no valid sequence reads as U+DC80..U+DCFF,
// as in file names, so that a folder whose name is not UTF-8 is written and read back exactly.
QString decodeLine(const QByteArray& raw)
{
    QString text;
    if (DecodeUtf8Strict(raw, text))
        return text;
    text.clear();
    qsizetype i = 0;
    while (i < raw.size()) {
        const auto byte = static_cast<unsigned char>(raw[i]);
        QString piece;
        qsizetype length = 1;
        if (byte < 0x80) {
            piece = QChar(byte);
        } else {
            for (length = 2; length <= 4 && i + length <= raw.size(); ++length) {
                if (DecodeUtf8Strict(QByteArrayView(raw).sliced(i, length), piece))
                    break;
            }
            if (length > 4 || i + length > raw.size()) {
                piece = QChar(char16_t(0xDC00 + byte));
                length = 1;
            }
        }
        text += piece;
        i += length;
    }
    return text;
}

// The bytes of a new line: UTF-8, and U+DC80..U+DCFF as the byte they stand for.
QByteArray encodeLine(const QString& text)
{
    QByteArray bytes;
    base::PathRules::encodePath(text, bytes);
    return bytes;
}

// Names that would not read back as the key they are: a line beginning with "[" is a section
// header, one beginning with ";" or "#" a comment.
bool startsLikeNoKey(const QString& key)
{
    return key.startsWith(u'[') || key.startsWith(u';') || key.startsWith(u'#');
}

} // namespace

IniFile::IniFile(QString path) : m_path(std::move(path)) {}

bool IniFile::isWritablePath(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    // access() alone says yes to root on a read-only file; the missing write bits mark it as
    // read-only for everyone, as the read-only attribute does elsewhere.
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0 &&
           (info.permissions() & kAnyWrite);
}

IniFile::Line IniFile::parseLine(const QByteArray& raw)
{
    Line line;
    line.raw = raw;
    const QString text = trimBlanks(decodeLine(raw));
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        if (close > 0) {
            line.kind = Line::Section;
            line.name = trimBlanks(text.mid(1, close - 1));
        }
        return line;
    }
    if (text.startsWith(u';') || text.startsWith(u'#'))
        return line;
    const qsizetype equal = text.indexOf(u'=');
    if (equal <= 0)
        return line;
    line.kind = Line::Key;
    line.name = trimBlanks(text.left(equal));
    line.value = trimBlanks(text.mid(equal + 1));
    if (line.name.isEmpty())
        line.kind = Line::Other;
    return line;
}

QList<IniFile::Line> IniFile::parse(const QByteArray& bytes, bool* endsWithNewline, QByteArray* eol)
{
    QList<Line> lines;
    QByteArray content = bytes;
    if (content.startsWith("\xEF\xBB\xBF"))
        content.remove(0, 3); // kept aside by the caller; a BOM is not part of the first line
    *endsWithNewline = content.isEmpty() || content.endsWith('\n');
    const qsizetype firstBreak = content.indexOf('\n');
    // Lines keep their own "\r"; new lines copy the first line's ending.
    *eol = (firstBreak > 0 && content.at(firstBreak - 1) == '\r') ? QByteArray("\r") : QByteArray();
    if (content.isEmpty())
        return lines;
    QList<QByteArray> raws = content.split('\n');
    if (*endsWithNewline)
        raws.removeLast();
    lines.reserve(raws.size());
    for (const QByteArray& raw : raws)
        lines.append(parseLine(raw));
    return lines;
}

std::optional<QString> IniFile::readString(const QString& section, const QString& key) const
{
    QFile file(m_path);
    if (m_path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    bool endsWithNewline = true;
    QByteArray eol;
    const QList<Line> lines = parse(file.readAll(), &endsWithNewline, &eol);
    bool inSection = false;
    for (const Line& line : lines) {
        if (line.kind == Line::Section)
            inSection = line.name.compare(section, Qt::CaseInsensitive) == 0;
        else if (inSection && line.kind == Line::Key &&
                 line.name.compare(key, Qt::CaseInsensitive) == 0) {
            QString value = line.value;
            if (isQuoted(value))
                value = value.mid(1, value.size() - 2);
            return value;
        }
    }
    return std::nullopt;
}

bool IniFile::writeString(const QString& section, const QString& key, const QString& value) const
{
    if (m_path.isEmpty() || section.isEmpty() || key.isEmpty() || hasLineBreak(section) ||
        hasLineBreak(key) || hasLineBreak(value) || section.contains(u']') || key.contains(u'=') ||
        trimBlanks(section) != section || trimBlanks(key) != key || startsLikeNoKey(key) ||
        hasLoneSurrogate(section) || hasLoneSurrogate(key))
        return false;
    // A value may hold a file name's raw bytes (U+DC80..U+DCFF), nothing else unpaired.
    QByteArray valueBytes;
    if (!base::PathRules::encodePath(storedForm(value), valueBytes))
        return false;

    const QFileInfo info(m_path);
    if (!isWritablePath(info.absolutePath()))
        return false;
    QByteArray original;
    if (info.exists()) {
        QFile file(m_path);
        if (!isWritablePath(m_path) || !file.open(QIODevice::ReadOnly))
            return false;
        original = file.readAll();
    }

    const QByteArray bom = original.startsWith("\xEF\xBB\xBF") ? original.left(3) : QByteArray();
    bool endsWithNewline = true;
    QByteArray eol;
    QList<Line> lines = parse(original, &endsWithNewline, &eol);

    qsizetype sectionAt = -1;
    qsizetype insertAt = -1; // after the last key of the first matching section
    bool inSection = false;
    bool inFirstSection = false;
    bool replaced = false;
    for (qsizetype i = 0; i < lines.size() && !replaced; ++i) {
        Line& line = lines[i];
        if (line.kind == Line::Section) {
            inSection = line.name.compare(section, Qt::CaseInsensitive) == 0;
            inFirstSection = inSection && sectionAt < 0;
            if (inFirstSection) {
                sectionAt = i;
                insertAt = i + 1;
            }
        } else if (inSection && line.kind == Line::Key) {
            if (line.name.compare(key, Qt::CaseInsensitive) == 0) {
                // The stored spelling of the key stays.
                const QByteArray cr = line.raw.endsWith('\r') ? QByteArray("\r") : QByteArray();
                line.raw = encodeLine(line.name) + '=' + valueBytes + cr;
                replaced = true;
            } else if (inFirstSection) {
                insertAt = i + 1;
            }
        }
    }
    const qsizetype originalCount = lines.size();
    bool lastLineAdded = false;
    if (!replaced) {
        Line added;
        added.raw = encodeLine(key) + '=' + valueBytes + eol;
        if (sectionAt >= 0) {
            lines.insert(insertAt, added);
            lastLineAdded = insertAt == originalCount;
        } else {
            Line header;
            header.raw = '[' + encodeLine(section) + ']' + eol;
            lines.append(header);
            lines.append(added);
            lastLineAdded = true;
        }
    }

    QByteArray out = bom;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        out += lines[i].raw;
        // A last line that had no line break keeps it that way.
        if (i + 1 < lines.size() || endsWithNewline || lastLineAdded)
            out += '\n';
    }

    QSaveFile file(m_path);
    // Unbuffered: a buffered write that fails on a full disk only shows at commit, which then
    // still puts the short file in place of the old one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (file.write(out) != out.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
