// Fingerprinting a folder of generated e-mails, against reading every file once:
//     bench_index [mails]      (default 4000)
#include "MailCorpus.h"
#include "scan/FingerprintIndex.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int mails = argc > 1 ? QByteArray(argv[1]).toInt() : 4000;
    QTemporaryDir folder;
    QRandomGenerator random(42);
    QStringList paths;
    for (int i = 0; i < mails; ++i) {
        const QString path = folder.filePath(QStringLiteral("mail %1.eml").arg(i));
        writeFile(path, encode(makeMail(random, i), i));
        paths << path;
    }
    QElapsedTimer clock;
    clock.start();
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (const QString& path : paths) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        while (fd >= 0 && ::read(fd, buffer.data(), size_t(buffer.size())) > 0) {
        }
        ::close(fd);
    }
    const qint64 baseline = clock.nsecsElapsed() / 1000;
    FingerprintIndex index;
    struct rusage before, after;
    getrusage(RUSAGE_SELF, &before);
    clock.restart();
    index.refresh(paths);
    const qint64 first = clock.nsecsElapsed() / 1000;
    getrusage(RUSAGE_SELF, &after);
    std::printf("cpu during fingerprinting: user %.3f s, system %.3f s\n",
                (after.ru_utime.tv_sec - before.ru_utime.tv_sec) +
                    (after.ru_utime.tv_usec - before.ru_utime.tv_usec) / 1e6,
                (after.ru_stime.tv_sec - before.ru_stime.tv_sec) +
                    (after.ru_stime.tv_usec - before.ru_stime.tv_usec) / 1e6);
    clock.restart();
    index.refresh(paths);
    const qint64 again = clock.nsecsElapsed() / 1000;
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%d files: reading once %.3f s; fingerprinting %.3f s (ratio %.2f); unchanged "
                "again %.3f s; peak %.1f MB\n",
                mails, baseline / 1e6, first / 1e6, double(first) / double(baseline), again / 1e6,
                usage.ru_maxrss / 1024.0);
    return 0;
}
