#pragma once

#include <QByteArray>
#include <QRandomGenerator>
#include <QString>

// Texts of the scan's own dialogs, for exact comparison, and mails in every encoding.
class ScanTexts {
public:
    // notMoved: duplicates the trash did not take, told on a line of their own.
    static QString summary(int files, int duplicates, int notMoved = 0);
    static QString question(const QString& reference, const QString& candidate);
    // The elapsed time depends on the machine: compare the rest exactly.
    static QString withoutTime(QString text);
    // The text with CR, LF or CR LF breaks, in its case, upper or lower case, in UTF-8 with or
    // without a mark, Windows-1252, or UTF-16 of either order with its mark: all equal to it.
    static QByteArray randomEncoding(QString text, QRandomGenerator& random);
};
