#include "base/PathRules.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>

namespace base {

QString PathRules::resolveFolder(const QString& value)
{
    if (QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::cleanPath(QDir::currentPath() + QLatin1Char('/') + value);
}

QString PathRules::fullName(const QString& folder, const QString& name)
{
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

QString PathRules::decodeName(const QByteArray& raw)
{
    // ASCII reads the same in every encoding: no round trip to check.
    if (std::all_of(raw.cbegin(), raw.cend(), [](char c) { return uchar(c) < 0x80; }))
        return QString::fromLatin1(raw);
    const QString name = QFile::decodeName(raw);
    if (QFile::encodeName(name) == raw)
        return name;
    QString escaped;
    escaped.reserve(raw.size());
    for (const char c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        escaped += byte < 0x80 ? QChar(byte) : QChar(char16_t(0xDC00 + byte));
    }
    return escaped;
}

bool PathRules::encodePath(const QString& path, QByteArray& out)
{
    out.clear();
    const qsizetype size = path.size();
    QByteArray bytes;
    bytes.reserve(size);
    qsizetype runStart = 0;
    auto flushRun = [&](qsizetype end) {
        if (end > runStart)
            bytes += QStringView(path).sliced(runStart, end - runStart).toUtf8();
    };
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = path.at(i).unicode();
        if (c == 0)
            return false;
        if (QChar::isHighSurrogate(c) && i + 1 < size &&
            QChar::isLowSurrogate(path.at(i + 1).unicode())) {
            ++i;
            continue;
        }
        if (!QChar::isSurrogate(c))
            continue;
        if (c < 0xDC80 || c > 0xDCFF)
            return false;
        flushRun(i);
        bytes += char(c - 0xDC00);
        runStart = i + 1;
    }
    flushRun(size);
    out = std::move(bytes);
    return true;
}

QByteArray PathRules::localPath(const QString& path)
{
    QByteArray bytes;
    encodePath(path, bytes);
    return bytes;
}

QString PathRules::shownName(const QString& name)
{
    QString shown = name;
    for (QChar& c : shown) {
        const char16_t code = c.unicode();
        if (code < 0x20)
            c = QChar(char16_t(0x2400 + code));
        else if (code == 0x7F)
            c = QChar(char16_t(0x2421));
    }
    return shown;
}

bool PathRules::isRegularFile(const QString& path)
{
    const QByteArray local = localPath(path);
    struct stat info;
    return !local.isEmpty() && ::stat(local.constData(), &info) == 0 && S_ISREG(info.st_mode);
}

QByteArray PathRules::realPath(const QString& path)
{
    const QByteArray local = localPath(path);
    if (local.isEmpty())
        return QByteArray();
    char* resolved = ::realpath(local.constData(), nullptr);
    if (!resolved)
        return QByteArray();
    QByteArray result(resolved);
    std::free(resolved);
    return result;
}

} // namespace base
