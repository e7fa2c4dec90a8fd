#include "settings/SettingsHelpers.h"

#include "base/Errors.h"
#include "base/PathRules.h"
#include "settings/IniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

QString& executablePathOverride()
{
    static QString path;
    return path;
}

QString executablePath()
{
    const QString& forced = executablePathOverride();
    return forced.isEmpty() ? QCoreApplication::applicationFilePath() : forced;
}

const QString kIniExtension = QStringLiteral(".INI");

int hexDigit(QChar c)
{
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

// The configuration-folder file, when that is the one IniFilePath() chose.
QString fallbackIniPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + u'/' +
           AppBaseName(false) + kIniExtension;
}

QString resolvePath(const QString& iniPath)
{
    return iniPath.isEmpty() ? IniFilePath() : iniPath;
}

// A write replaces the file through its folder, so both must take it (the folder alone for a
// file not made yet).
bool canReplace(const QString& file)
{
    const QFileInfo info(file);
    return IniFile::isWritablePath(info.absolutePath()) &&
           (!info.exists() || IniFile::isWritablePath(file));
}

// Where a write of the default settings goes. Settings beside a shared copy that cannot be
// written are carried over whole to the configuration folder at the first write, so that nothing
// the user had is lost when reads move there.
QString writePath(const QString& readPath)
{
    const QString beside = ChangeFileExt(executablePath(), kIniExtension);
    const QString fallback = fallbackIniPath();
    if (readPath == fallback)
        QDir().mkpath(QFileInfo(fallback).absolutePath());
    if (readPath != beside || canReplace(beside))
        return readPath;
    QDir().mkpath(QFileInfo(fallback).absolutePath());
    if (!QFileInfo::exists(fallback)) {
        QFile source(beside);
        QSaveFile copy(fallback);
        if (source.open(QIODevice::ReadOnly) && copy.open(QIODevice::WriteOnly)) {
            copy.write(source.readAll());
            copy.commit();
        }
    }
    return fallback;
}

} // namespace

void SetExecutablePathForTesting(const QString& path)
{
    executablePathOverride() = path;
}

QString ChangeFileExt(const QString& path, const QString& extension)
{
    const qsizetype nameStart = path.lastIndexOf(u'/') + 1;
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot <= nameStart)
        return path + extension;
    return path.left(dot) + extension;
}

QString AppDirectory()
{
    const QString path = executablePath();
    QString folder = path.left(path.lastIndexOf(u'/') + 1);
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

QString AppBaseName(bool upperCase)
{
    const QString path = executablePath();
    QString name = ChangeFileExt(path.mid(path.lastIndexOf(u'/') + 1), QString());
    if (upperCase) {
        for (QChar& c : name) {
            if (c >= u'a' && c <= u'z')
                c = QChar(c.unicode() - u'a' + u'A');
        }
    }
    return name;
}

QString IniFilePath()
{
    const QString path = executablePath();
    if (path.isEmpty())
        return QString();
    const QString beside = ChangeFileExt(path, kIniExtension);
    if (!QFileInfo::exists(beside))
        return IniFile::isWritablePath(QFileInfo(beside).absolutePath()) ? beside
                                                                         : fallbackIniPath();
    // Settings beside a copy that cannot be written are read until the first save has put them
    // into the configuration folder, which is read from then on.
    const QString fallback = fallbackIniPath();
    if (canReplace(beside) || !QFileInfo::exists(fallback))
        return beside;
    return fallback;
}

QString DefaultFolder()
{
    const QString path = executablePath();
    if (path.isEmpty() || IniFilePath() != fallbackIniPath()) {
        // A folder is shown without a final "/", the root folder excepted.
        const QString folder = AppDirectory();
        return folder.size() > 1 && folder.endsWith(u'/') ? folder.chopped(1) : folder;
    }
    return QDir::homePath();
}

QStringList SplitText(const QString& text, const QString& separator)
{
    QStringList pieces;
    QString rest = text;
    if (!separator.isEmpty()) {
        qsizetype at;
        while ((at = rest.indexOf(separator)) >= 0) {
            pieces.append(rest.left(at));
            rest.remove(0, at + separator.size());
        }
    }
    if (!rest.isEmpty())
        pieces.append(rest);
    return pieces;
}

std::optional<int> TryStrToInt(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    bool hex = false;
    if (i < n && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        hex = true;
        i += 2;
    }
    if (i == n)
        return std::nullopt;
    if (hex) {
        if (n - i > 8)
            return std::nullopt;
        quint32 pattern = 0;
        for (; i < n; ++i) {
            const int digit = hexDigit(text[i]);
            if (digit < 0)
                return std::nullopt;
            pattern = (pattern << 4) | quint32(digit);
        }
        if (negative)
            pattern = 0u - pattern;
        return int(pattern);
    }
    qint64 magnitude = 0;
    for (; i < n; ++i) {
        if (text[i] < u'0' || text[i] > u'9')
            return std::nullopt;
        magnitude = magnitude * 10 + (text[i].unicode() - u'0');
        if (magnitude > 2147483648LL)
            return std::nullopt;
    }
    const qint64 value = negative ? -magnitude : magnitude;
    if (value > 2147483647LL)
        return std::nullopt;
    return int(value);
}

int StrToInt(const QString& text)
{
    const std::optional<int> value = TryStrToInt(text);
    if (!value)
        throw base::EConvertError(
            QStringLiteral("''%1'' n'est pas une valeur entière valide").arg(text));
    return *value;
}

QString IniReadString(const QString& section, const QString& key, const QString& defaultValue,
                      const QString& iniPath)
{
    const IniFile file(resolvePath(iniPath));
    return file.readString(section, key).value_or(defaultValue);
}

void IniWriteString(const QString& section, const QString& key, const QString& value,
                    const QString& iniPath)
{
    const QString path = iniPath.isEmpty() ? writePath(IniFilePath()) : iniPath;
    const IniFile file(path);
    if (!file.writeString(section, key, value))
        throw base::EIniFileException(
            QStringLiteral("Impossible d'écrire dans %1").arg(base::PathRules::shownName(path)));
}

int IniReadInteger(const QString& section, const QString& key, int defaultValue,
                   const QString& iniPath)
{
    QString text = IniReadString(section, key, QString(), iniPath);
    if (text.size() > 2 && text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        text.replace(0, 2, u'$');
    return TryStrToInt(text).value_or(defaultValue);
}

void IniWriteInteger(const QString& section, const QString& key, int value, const QString& iniPath)
{
    IniWriteString(section, key, QString::number(value), iniPath);
}

bool IniReadBool(const QString& section, const QString& key, bool defaultValue,
                 const QString& iniPath)
{
    return IniReadInteger(section, key, defaultValue ? 1 : 0, iniPath) != 0;
}

void IniWriteBool(const QString& section, const QString& key, bool value, const QString& iniPath)
{
    IniWriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"), iniPath);
}
