// Re-reads a folder of 20,000 files with the main list's settings and prints the times, each
// with its ratio to reading every file of the folder once, and the peak memory.
#include "widgets/TJvFileListBox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    constexpr int Files = 20000;
    constexpr int Rounds = 5;

    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;
    const QByteArray base = QFile::encodeName(folder.path());
    for (int i = 0; i < Files; ++i) {
        const QByteArray name = base + "/Message " + QByteArray::number(i) +
                                (i % 3 == 0   ? ".eml"
                                 : i % 3 == 1 ? ".txt"
                                              : ".msg");
        const int fd = ::open(name.constData(), O_CREAT | O_WRONLY, 0644);
        if (fd < 0)
            return 1;
        ::close(fd);
    }

    QElapsedTimer baselineClock;
    baselineClock.start();
    char buffer[4096];
    for (int i = 0; i < Files; ++i) {
        const QByteArray name = base + "/Message " + QByteArray::number(i) +
                                (i % 3 == 0   ? ".eml"
                                 : i % 3 == 1 ? ".txt"
                                              : ".msg");
        const int fd = ::open(name.constData(), O_RDONLY);
        while (fd >= 0 && ::read(fd, buffer, sizeof buffer) > 0) {
        }
        ::close(fd);
    }
    const double baseline = double(baselineClock.nsecsElapsed()) / 1e6;
    std::printf("reading every file once: %.1f ms\n", baseline);

    TJvFileListBox list;
    list.setShowGlyphs(true);
    list.setMask(QStringLiteral("*"));
    list.resize(300, 600);
    list.show();

    QElapsedTimer timer;
    timer.start();
    list.setDirectory(folder.path());
    std::printf("folder change (two re-reads): %lld ms, %d items\n",
                static_cast<long long>(timer.elapsed()), list.itemCount());
    qint64 total = 0;
    qint64 worst = 0;
    for (int round = 0; round < Rounds; ++round) {
        timer.restart();
        list.Update();
        const qint64 ms = timer.elapsed();
        total += ms;
        worst = qMax(worst, ms);
    }
    std::printf("re-read: mean %lld ms (ratio %.2f), worst %lld ms over %d rounds\n",
                static_cast<long long>(total / Rounds), double(total / Rounds) / baseline,
                static_cast<long long>(worst), Rounds);
    timer.restart();
    list.setMask(QStringLiteral("Message 1*.e*"));
    std::printf("re-read with a narrowing mask: %lld ms, %d items\n",
                static_cast<long long>(timer.elapsed()), list.itemCount());
    list.setMask(QStringLiteral("*"));
    QApplication::processEvents();
    timer.restart();
    list.viewport()->grab();
    std::printf("first paint with icons: %lld ms\n", static_cast<long long>(timer.elapsed()));
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak memory: %.1f MB\n", usage.ru_maxrss / 1024.0);
    return 0;
}
