#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace base {

// File-name masks: ";"-separated patterns where "*" stands for any run of characters and "?" for
// one character. "." has no special meaning, so "*.*" needs a dot in the name.
class MaskMatcher {
public:
    // Every piece ending at a ";" is kept (an empty one included); the piece after the last ";"
    // only when it is not empty. Each pattern is upper-cased.
    static QStringList splitMask(const QString& mask);
    // Upper case for masks and names alike, one code point for one ("ß" stays "ß"), so that
    // "?" still stands for one character of the name.
    static QString upperCase(QStringView text);
    // Both arguments upper-cased, name non-empty. An empty pattern raises Exception
    // "Search string cannot be blank".
    static bool matches(const QString& pattern, const QString& name);
    // The first pattern that matches accepts; no pattern at all accepts every name.
    static bool matchesAny(const QStringList& patterns, const QString& upperName);
};

} // namespace base
