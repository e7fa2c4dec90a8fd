#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// A small model of what a scan must do, written from the description of the tool and sharing
// no code with it: its own decoding, folding, mask matching and prefixes, and a plain quadratic
// walk. Given a folder and the user's answers it tells every dialog the scan shows, in order,
// and which files end in the trash.
class ScanModel {
public:
    struct File {
        QByteArray bytes;
        // A symbolic link to another file of the folder, by name; empty for a plain file.
        QString linkTo;
        // The loader refuses it (a file of 2 GiB or more), with this reason.
        QString refusal;
        // A second name (hard link) of another plain file of the folder: one file, two names.
        QString sameAs;
    };
    enum Answer { Yes, No, Cancel };

    QString folder;
    QMap<QString, File> files;
    QString mainMask;
    int mode = 0;
    bool automatic = true;
    // Answers to the duplicate questions, in order; the walk asks for them one by one.
    QList<Answer> answers;

    struct Trace {
        QStringList dialogs;
        // What answers the dialogs: the key for each, in the same order.
        QList<int> keys;
        QStringList moved;
        QStringList listed;
        int found = 0;
    };
    Trace run() const;
    // The main list the scan walks (empty where reading it fails).
    QStringList mainList() const;

    // Comparison key of a file's bytes: decoded, line breaks made CR LF, case folded; a last odd
    // byte of a UTF-16 file is part of the file, kept apart.
    static QString key(const QByteArray& bytes);
    static QString decode(const QByteArray& bytes, int* oddByte);
    static bool maskMatches(const QString& pattern, const QString& name);
    static QString prefix(const QString& name, int mode);
    static void sortNames(QStringList& names);

private:
    bool present(const QString& name, const QStringList& moved) const;
    QString target(const QString& name) const;
    // The file behind a name, whatever its names: links followed, hard links joined.
    QString identity(const QString& name) const;
    QStringList listing(const QStringList& moved) const;
    // Throws QString("Search string cannot be blank") where the tool's re-read would fail.
    QStringList matching(const QStringList& names, const QString& mask) const;
};
