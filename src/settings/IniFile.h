#pragma once

#include <optional>
#include <QByteArray>
#include <QList>
#include <QString>

// One settings file in the INI format, read and written whole for each operation. Section and key
// names match without regard to letter case; every line the writer does not change is kept byte
// for byte, with the file's own line endings ("\n" for a new file).
class IniFile {
public:
    explicit IniFile(QString path);

    const QString& path() const { return m_path; }

    // The value trimmed of blanks and of one pair of surrounding double quotes; nothing when the
    // file, the section or the key is missing.
    std::optional<QString> readString(const QString& section, const QString& key) const;

    // Replaces the key's value, or adds the key at the end of its section (the section at the end
    // of the file). A value with surrounding blanks or quotes is stored inside one more pair of
    // quotes, so that it reads back exactly. The file is replaced atomically. False when the file
    // or its folder cannot be written, and for names or values that would break the line structure.
    bool writeString(const QString& section, const QString& key, const QString& value) const;

    // True when a file or folder at that path may be written (the read-only bits count, for root
    // too).
    static bool isWritablePath(const QString& path);

private:
    struct Line {
        QByteArray raw; // without its "\n", with any "\r"
        enum Kind { Other, Section, Key } kind = Other;
        QString name; // section or key name, trimmed
        QString value;
    };

    static QList<Line> parse(const QByteArray& bytes, bool* endsWithNewline, QByteArray* eol);
    static Line parseLine(const QByteArray& raw);

    QString m_path;
};
