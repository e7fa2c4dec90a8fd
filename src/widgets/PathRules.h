#pragma once

#include <QString>

// How a folder typed or chosen by the user becomes the listed folder, and how a listed name
// becomes a full path.
class PathRules {
public:
    // Absolute and clean ("/" stays "/", no trailing "/" otherwise); a relative path is taken
    // from the process's current folder. Symbolic links are kept as written.
    static QString resolveFolder(const QString& value);
    // folder + "/" + name, with a single "/" under "/".
    static QString fullName(const QString& folder, const QString& name);
};
