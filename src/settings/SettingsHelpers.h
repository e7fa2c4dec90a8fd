#pragma once

#include <optional>
#include <QString>
#include <QStringList>

// Stateless helpers around the settings file beside the executable. Every read and write opens
// the file, performs one operation and closes it again; nothing is cached. An empty IniPath means
// IniFilePath().

// The executable's folder, ending with "/", letter case kept.
QString AppDirectory();
// The executable's name without its extension; ASCII letters upper-cased when asked.
QString AppBaseName(bool upperCase);
// The settings file read: the executable's path with the extension ".INI", or the same name in the
// user's configuration folder when the executable's folder cannot be written and holds none, or
// when the file beside it cannot be written and the configuration folder holds a copy. Writes to
// a file beside the executable that cannot be written go to that copy, made from it first.
QString IniFilePath();
// The folder to work on when none is stored: the executable's folder (without a final "/") unless
// the settings live in the configuration folder (an installed twindrop): the user's home folder.
QString DefaultFolder();

QString IniReadString(const QString& section, const QString& key, const QString& defaultValue,
                      const QString& iniPath = QString());
// Raises EIniFileException "Impossible d'écrire dans <path>" when the file cannot be written.
void IniWriteString(const QString& section, const QString& key, const QString& value,
                    const QString& iniPath = QString());
int IniReadInteger(const QString& section, const QString& key, int defaultValue,
                   const QString& iniPath = QString());
void IniWriteInteger(const QString& section, const QString& key, int value,
                     const QString& iniPath = QString());
bool IniReadBool(const QString& section, const QString& key, bool defaultValue,
                 const QString& iniPath = QString());
void IniWriteBool(const QString& section, const QString& key, bool value,
                  const QString& iniPath = QString());

// Pieces between separators, empty ones kept, except that a trailing separator adds none and an
// empty text gives none.
QStringList SplitText(const QString& text, const QString& separator);

// Replaces the extension of the path's last element (a dot that is its first character does not
// start one) by the given one, which may be empty.
QString ChangeFileExt(const QString& path, const QString& extension);

// Leading blanks, an optional sign, then decimal digits within 32 bits or up to eight hexadecimal
// digits after "$", "x", "X", "0x" or "0X" read as a 32-bit pattern; nothing may follow.
std::optional<int> TryStrToInt(const QString& text);
// The same rule; raises EConvertError "''<text>'' n'est pas une valeur entière valide".
int StrToInt(const QString& text);

// Stands in for the running executable's path; an empty path restores the real one.
void SetExecutablePathForTesting(const QString& path);
