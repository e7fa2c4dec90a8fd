#pragma once

#include <QByteArray>
#include <QString>

namespace base {

// How a folder typed or chosen by the user becomes the listed folder, how a listed name becomes a
// full path, and how names and paths pass between the file system's bytes and the texts shown.
class PathRules {
public:
    // Absolute and clean ("/" stays "/", no trailing "/" otherwise); a relative path is taken
    // from the process's current folder. Symbolic links are kept as written.
    static QString resolveFolder(const QString& value);
    // folder + "/" + name, with a single "/" under "/".
    static QString fullName(const QString& folder, const QString& name);

    // The text of a name as the file system holds it. A name that is not valid UTF-8 keeps each
    // of its bytes from 0x80 up as the lone surrogate U+DC80..U+DCFF, so that it is still shown
    // and converts back to exactly its own bytes.
    static QString decodeName(const QByteArray& raw);
    // The bytes a text names on the file system: UTF-8, except that U+DC80..U+DCFF stand for the
    // byte of the same low value. False, and out left empty, for a text that names no file: a NUL
    // or any other lone surrogate in it.
    static bool encodePath(const QString& path, QByteArray& out);
    // encodePath's bytes, or an empty array for a text that names no file (no call on an empty
    // path reaches a file).
    static QByteArray localPath(const QString& path);

    // A name or path as messages and captions show it: each control character (U+0000..U+001F,
    // U+007F) becomes its visible symbol (U+2400 + c, U+2421 for DEL), so that a name can neither
    // break nor forge a line of the text around it. For display only.
    static QString shownName(const QString& name);

    // Whether the path names a regular file, links followed; never opens it.
    static bool isRegularFile(const QString& path);
    // The path with every link resolved, empty when it cannot be resolved.
    static QByteArray realPath(const QString& path);
};

} // namespace base
