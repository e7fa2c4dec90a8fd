// The settings file: any bytes as the file, then writes of section, key and value triples taken
// from the input. Each write either leaves the file byte for byte as it was (a refused write), or
// changes one line or adds lines, every other line unchanged; and the key then reads back exactly
// as written (a value that reading would trim or unquote is written quoted).
#include "FuzzCheck.h"
#include "FuzzInput.h"

#include "settings/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

QString folder()
{
    // Memory-backed when the machine has it: every write replaces the file.
    static QTemporaryDir dir(QFileInfo(QStringLiteral("/dev/shm")).isDir()
                                 ? QStringLiteral("/dev/shm/twindrop-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/twindrop-fuzz-XXXXXX"));
    return dir.path();
}

std::optional<QByteArray> contents(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

void store(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        std::abort();
}

QString expectedRead(const QString& value)
{
    return value;
}

// The bytes a value stands for: UTF-8, a U+DC80..U+DCFF escape the byte of its low value.
QByteArray valueBytes(const QString& text)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0xDC80 && c <= 0xDCFF)
            bytes += char(c & 0xFF);
        else if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            bytes += text.mid(i++, 2).toUtf8();
        else
            bytes += QString(QChar(c)).toUtf8();
    }
    return bytes;
}

// The file's lines without their "\n" (a final "\n" ends the last line, it does not start one),
// and whether it begins with a UTF-8 byte-order mark.
QList<QByteArray> lines(QByteArray bytes, bool* bom)
{
    *bom = bytes.startsWith("\xEF\xBB\xBF");
    if (*bom)
        bytes.remove(0, 3);
    if (bytes.isEmpty())
        return {};
    QList<QByteArray> result = bytes.split('\n');
    if (bytes.endsWith('\n'))
        result.removeLast();
    return result;
}

QString describe(const QByteArray& before, const QByteArray& after, const QString& section,
                 const QString& key, const QString& value)
{
    return QStringLiteral("section %1\nkey %2\nvalue %3\nbefore %4\nafter %5")
        .arg(fuzzDump(section), fuzzDump(key), fuzzDump(value),
             QString::fromLatin1(before.toPercentEncoding()),
             QString::fromLatin1(after.toPercentEncoding()));
}

void checkOneChange(const QByteArray& before, const QByteArray& after, const QString& detail)
{
    bool bomBefore = false;
    bool bomAfter = false;
    const QList<QByteArray> old = lines(before, &bomBefore);
    const QList<QByteArray> now = lines(after, &bomAfter);
    FUZZ_CHECK(bomBefore == bomAfter || before.isEmpty(), detail);
    qsizetype head = 0;
    while (head < old.size() && head < now.size() && old[head] == now[head])
        ++head;
    qsizetype tail = 0;
    while (tail < old.size() - head && tail < now.size() - head &&
           old[old.size() - 1 - tail] == now[now.size() - 1 - tail])
        ++tail;
    const qsizetype changedOld = old.size() - head - tail;
    const qsizetype changedNew = now.size() - head - tail;
    // One line replaced (perhaps by itself), one key added to a section, or a section with its
    // key at the end.
    FUZZ_CHECK(
        (changedOld <= 1 && changedNew == changedOld) || (changedOld == 0 && changedNew == 1) ||
            (changedOld == 0 && changedNew == 2 && tail == 0),
        detail + QStringLiteral("\nlines kept %1 at the start, %2 at the end").arg(head).arg(tail));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = folder() + QStringLiteral("/twindrop.INI");
    FuzzInput input(data, size,
                    QString::fromUtf16(u"\r\n\t \"[]=;#\u00E9\u00DF\u0130\uFEFF") + QChar(0xDCE9) +
                        QChar(0xDCC3) + QChar(0xDCA9) + QChar(0xD800) + QChar(0));
    const QByteArray initial = input.takeBytesUntilDoubleZero();
    QFile::remove(path);
    // An input whose first byte is 0xFF starts with no file at all.
    if (!initial.startsWith('\xFF'))
        store(path, initial);

    for (int write = 0; write < 8 && !input.atEnd(); ++write) {
        const QString section = input.takeText();
        const QString key = input.takeText();
        const QString value = input.takeText();
        const std::optional<QByteArray> before = contents(path);

        const IniFile file(path);
        const bool written = file.writeString(section, key, value);
        const std::optional<QByteArray> after = contents(path);
        const QString detail =
            describe(before.value_or("(none)"), after.value_or("(none)"), section, key, value);

        const bool breaksLine =
            value.contains(u'\n') || value.contains(u'\r') || value.contains(QChar(0));
        FUZZ_CHECK(!(written && breaksLine), detail);
        if (!written) {
            FUZZ_CHECK(before == after, QStringLiteral("refused, yet changed\n") + detail);
            continue;
        }
        FUZZ_CHECK(after.has_value(), detail);
        checkOneChange(before.value_or(QByteArray()), *after, detail);

        const std::optional<QString> read = file.readString(section, key);
        // A value holding raw bytes may read back as another text of the same bytes.
        FUZZ_CHECK(read.has_value() && (*read == expectedRead(value) ||
                                        valueBytes(*read) == valueBytes(expectedRead(value))),
                   detail + QStringLiteral("\nread %1").arg(fuzzDump(read.value_or("(none)"))));
    }
    return 0;
}
