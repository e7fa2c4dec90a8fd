// Two large sparse files among a few mails: fingerprinted, compared, loaded into a pane and
// scanned, with the peak memory of the process after each step:
//     bench_bigfiles [megabytes [mails]]      (default 700 20)
// Each time is printed with its ratio to reading every file of the folder once from the page
// cache, measured in the same run. The folder is made in the temporary folder, whose file system
// must hold sparse files.

#include "app/TForm1.h"
#include "base/Errors.h"
#include "MailCorpus.h"
#include "scan/ComparisonStream.h"
#include "scan/DescriptorText.h"
#include "scan/FingerprintIndex.h"
#include "scan/TMemo.h"
#include "settings/SettingsHelpers.h"
#include "support/DialogAnswerer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

double peakMegabytes()
{
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// The baseline: every file of the folder opened and read whole, once.
qint64 readEveryFileUs(const QStringList& paths)
{
    QElapsedTimer clock;
    clock.start();
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (const QString& path : paths) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        if (fd < 0)
            continue;
        while (::read(fd, buffer.data(), size_t(buffer.size())) > 0) {
        }
        ::close(fd);
    }
    return clock.nsecsElapsed() / 1000;
}

void report(const char* step, qint64 us)
{
    std::printf("  %-52s %8.3f s                 peak %7.1f MB\n", step, us / 1e6, peakMegabytes());
    std::fflush(stdout);
}

void report(const char* step, qint64 us, qint64 baseline)
{
    std::printf("  %-52s %8.3f s  ratio %6.2f  peak %7.1f MB\n", step, us / 1e6,
                double(us) / double(baseline), peakMegabytes());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const QStringList args = app.arguments();
    const qint64 megabytes = args.size() > 1 ? args[1].toLongLong() : 700;
    const int mails = args.size() > 2 ? args[2].toInt() : 20;
    const qint64 size = megabytes * 1000 * 1000;

    QTemporaryDir home, data, folder;
    QStringList paths;
    QStringList big;
    for (const char* name : {"gros 1.eml", "gros 2.eml"}) {
        const QString path = folder.filePath(QString::fromLatin1(name));
        writeFile(path, QByteArray());
        if (::truncate(QFile::encodeName(path).constData(), off_t(size)) != 0) {
            std::fprintf(stderr, "the temporary folder cannot hold a sparse file of %lld MB\n",
                         megabytes);
            return 1;
        }
        big << path;
        paths << path;
    }
    QRandomGenerator random(42);
    for (int i = 0; i < mails; ++i) {
        const QString path = folder.filePath(QStringLiteral("mail %1.eml").arg(i));
        writeFile(path, encode(makeMail(random, i), i));
        paths << path;
    }
    std::printf("%d mails and two sparse files of %lld MB\n", mails, megabytes);
    // The first reading fills the page cache; every step after it reads from there.
    report("reading every file once, cold", readEveryFileUs(paths));
    const qint64 baseline = readEveryFileUs(paths);
    report("reading every file once (baseline)", baseline, baseline);

    QElapsedTimer clock;
    clock.start();
    FingerprintIndex index;
    index.refresh(paths);
    report("fingerprint index of the folder", clock.nsecsElapsed() / 1000, baseline);

    // What the index leaves out for the big files: their whole comparison forms, streamed.
    const int fdA = ::open(QFile::encodeName(big[0]).constData(), O_RDONLY | O_CLOEXEC);
    const int fdB = ::open(QFile::encodeName(big[1]).constData(), O_RDONLY | O_CLOEXEC);
    clock.restart();
    for (const int fd : {fdA, fdB}) {
        ComparisonStream stream(fd, QStringLiteral("gros"));
        Fingerprint::ofStream(stream);
    }
    report("streamed fingerprints of both big files", clock.nsecsElapsed() / 1000, baseline);
    clock.restart();
    const bool equal = DescriptorTextsEqual(fdA, big[0], fdB, big[1]);
    report(equal ? "comparison of the big files (equal)" : "comparison of the big files (differ)",
           clock.nsecsElapsed() / 1000, baseline);
    ::close(fdA);
    ::close(fdB);

    clock.restart();
    TMemo pane;
    int refused = 0;
    for (const QString& path : big) {
        try {
            pane.LoadFromFile(path);
        } catch (const base::EInvalidOperation&) {
            ++refused;
        }
    }
    report(refused == 2 ? "loading both into a pane (refused)" : "loading both into a pane",
           clock.nsecsElapsed() / 1000, baseline);

    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    SetExecutablePathForTesting(home.filePath("twindrop"));
    IniWriteString("OPTIONS", "DOSSIER", folder.path());
    IniWriteString("OPTIONS", "MASQUE", QString());
    IniWriteString("OPTIONS", "AUTO", "1");
    IniWriteString("OPTIONS", "MODE", "2");
    // The window loads the first file of its list as it opens, which may already be refused.
    DialogAnswerer answers;
    answers.setDefaultKeys({Qt::Key_Return}, 1);
    clock.restart();
    TForm1 form;
    form.show();
    form.chk_BEEP()->setChecked(false);
    QApplication::processEvents();
    report("opening the window on the folder", clock.nsecsElapsed() / 1000, baseline);
    clock.restart();
    QTest::mouseClick(form.Button1(), Qt::LeftButton);
    report("automatic scan of the folder", clock.nsecsElapsed() / 1000, baseline);
    std::printf("  messages: %lld\n", qlonglong(answers.texts().size()));
    for (const QString& text : answers.texts())
        std::printf("    %s\n", qPrintable(text.simplified().left(100)));
    std::printf("peak memory: %.1f MB\n", peakMegabytes());
    return 0;
}
