#pragma once

#include <QByteArray>
#include <QRandomGenerator>
#include <QString>

// Generated e-mails of a few kilobytes in French, for the benchmarks.

// One mail with headers, quoted lines and a signature; index makes it unique.
QString makeMail(QRandomGenerator& random, int index);
// The mail as exported with an attachment: a MIME part of random bytes in base64, of 4 to 60 KB.
QString withAttachment(QRandomGenerator& random, const QString& mail);
// The mail as a file's bytes in one of six forms (UTF-8 with or without a mark, UTF-16 LE and
// BE, lone CR breaks, Windows-1252).
QByteArray encode(const QString& mail, int form);
void writeFile(const QString& path, const QByteArray& bytes);
// A folder of mails (each made again from its own seed, so that no text is held) and of copies
// of some of them under other names, "<stem> <n>.eml" and "<stem> copie <n>.eml". Copies are in
// another of the six forms, or, with attachments, mails carry one and copies are the same bytes.
void fillMailFolder(const QString& folder, int mails, int duplicates, bool attachments = false);
