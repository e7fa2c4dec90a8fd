// A full automatic scan, offscreen, of a folder of generated e-mails holding duplicates, then a
// second scan of the same folder, in each mode asked for:
//     bench_scan [--cold] [--user] [--attachments] [mails [duplicates [modes...]]]
//                                                                      (default 4000 400 2)
// Each time is printed with its ratio to reading every file of the folder once, measured in the
// same run, and the peak memory of the process. With --cold (root only) the page cache is dropped
// before the reading and again before the first scan, as for a folder not read since boot.
// With --user the scan runs as a user meets it: on the platform given (an X server: see
// bench_x.sh), with the beep on as at a first start, the first scan compared with `cat` of the
// folder and the second with `jdupes` on it, each measured in the same run. With --attachments
// every mail carries a base64 attachment of 4 to 60 KB and its copies are the same bytes.

#include "app/TForm1.h"
#include "MailCorpus.h"
#include "scan/FingerprintIndex.h"
#include "scan/ScanRun.h"
#include "settings/SettingsHelpers.h"
#include "support/DialogAnswerer.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// --attachments: mails as exported with an attachment, their copies the same bytes, as copies
// of real mail mostly are.
bool g_attachments = false;

// A trash, a settings file and a generated folder of mails of the process's own, the scan
// automatic in the given mode.
void prepare(const QTemporaryDir& home, const QTemporaryDir& data, const QTemporaryDir& folder,
             int mails, int duplicates, int mode)
{
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    SetExecutablePathForTesting(home.filePath("twindrop"));
    fillMailFolder(folder.path(), mails, duplicates, g_attachments);
    IniWriteString("OPTIONS", "DOSSIER", folder.path());
    IniWriteString("OPTIONS", "MASQUE", QString());
    IniWriteString("OPTIONS", "AUTO", "1");
    IniWriteString("OPTIONS", "MODE", QString::number(mode));
    // A first scan meets the folder for the first time: no fingerprints kept by earlier runs,
    // whose folders are long gone, are read.
    QFile::remove(FingerprintIndex::cachePath());
}

// The baseline: every file of the folder opened and read whole, once.
qint64 readEveryFileUs(const QString& folder)
{
    QElapsedTimer clock;
    clock.start();
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (const QString& name : QDir(folder).entryList(QDir::Files)) {
        const int fd = ::open(QFile::encodeName(folder + "/" + name).constData(), O_RDONLY);
        if (fd < 0)
            continue;
        while (::read(fd, buffer.data(), size_t(buffer.size())) > 0) {
        }
        ::close(fd);
    }
    return clock.nsecsElapsed() / 1000;
}

// False when the cache cannot be dropped (not root).
bool dropPageCache()
{
    ::sync();
    QFile control(QStringLiteral("/proc/sys/vm/drop_caches"));
    return control.open(QIODevice::WriteOnly) && control.write("3\n") == 2;
}

double peakMegabytes()
{
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// Another program run over every file of the folder, its output thrown away; -1 when it cannot
// be run.
qint64 programUs(const QString& program, const QStringList& arguments, const QString& folder)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments);
    if (!process.waitForStarted(-1) || !process.waitForFinished(-1) ||
        process.exitStatus() != QProcess::NormalExit)
        return -1;
    return clock.nsecsElapsed() / 1000;
}

// The shortest of three runs: a single run of a few milliseconds varies by half.
qint64 bestOfThree(const std::function<qint64()>& run)
{
    qint64 best = -1;
    for (int i = 0; i < 3; ++i) {
        const qint64 us = run();
        if (us < 0)
            return -1;
        best = best < 0 ? us : std::min(best, us);
    }
    return best;
}

qint64 catUs(const QString& folder)
{
    QStringList names = QDir(folder).entryList(QDir::Files);
    names.prepend(QStringLiteral("--"));
    return bestOfThree([&] { return programUs(QStringLiteral("cat"), names, folder); });
}

qint64 scanUs(TForm1& form)
{
    DialogAnswerer answers;
    answers.setDefaultKeys({Qt::Key_Return}, 1);
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(form.Button1(), Qt::LeftButton);
    // A scan that hands control back while it runs is waited for.
    while (form.Button1()->text() == QLatin1String("STOP"))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return clock.nsecsElapsed() / 1000;
}

qint64 startedAt()
{
    static const qint64 at = QDateTime::currentMSecsSinceEpoch();
    return at;
}

// One scan and a second one as a user meets them, each with its ratio to another program.
int runAsUser(const QStringList& args)
{
    const int mails = args.size() > 1 ? args[1].toInt() : 4400;
    const int duplicates = args.size() > 2 ? args[2].toInt() : mails * 3 / 10;
    const int mode = args.size() > 3 ? args[3].toInt() : 2;
    const QString jdupes = QStandardPaths::findExecutable(QStringLiteral("jdupes"));

    QTemporaryDir home, data, folder;
    prepare(home, data, folder, mails, duplicates, mode);
    TForm1 form;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) {
        std::fprintf(stderr, "the window was never shown\n");
        return 1;
    }
    QApplication::processEvents();

    // The first reading brings the folder into the page cache.
    catUs(folder.path());
    const qint64 cat = catUs(folder.path());
    if (cat < 0) {
        std::fprintf(stderr, "cat could not be run\n");
        return 1;
    }
    // For a profiler told to wait (perf record -D): what comes before is the folder's making.
    std::fprintf(stderr, "first scan starts %lld ms after the start\n",
                 qlonglong(QDateTime::currentMSecsSinceEpoch() - startedAt()));
    const qint64 first = scanUs(form);
    const int found = form.scan()->DuplicateCount;
    const int left = int(QDir(folder.path()).entryList(QDir::Files).size());
    const qint64 second = scanUs(form);
    const qint64 jdupesUs = jdupes.isEmpty() ? -1 : bestOfThree([&] {
        return programUs(jdupes, {QStringLiteral("-q"), folder.path()}, folder.path());
    });

    std::printf("platform %s, beep %s, mode %d%s: %d files, %d duplicates found, %d left\n"
                "  cat of the folder: %.3f s\n"
                "  first scan: %.3f s, ratio to cat %.2f\n",
                qPrintable(QGuiApplication::platformName()),
                form.chk_BEEP()->isChecked() ? "on" : "off", mode,
                g_attachments ? ", mails with attachments" : "", mails, found, left, cat / 1e6,
                first / 1e6, double(first) / double(cat));
    if (jdupesUs > 0)
        std::printf("  jdupes on the folder: %.3f s\n"
                    "  second scan: %.3f s, ratio to jdupes %.2f\n",
                    jdupesUs / 1e6, second / 1e6, double(second) / double(jdupesUs));
    else
        std::printf("  second scan: %.3f s (no ratio: jdupes %s)\n", second / 1e6,
                    jdupes.isEmpty() ? "is not installed" : "failed");
    std::printf("  peak memory: %.1f MB\n", peakMegabytes());
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    startedAt();
    bool user = false;
    for (int i = 1; i < argc; ++i)
        user = user || QByteArray(argv[i]) == "--user";
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !user)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    QStringList args = app.arguments();
    const bool cold = args.removeAll(QStringLiteral("--cold")) > 0;
    g_attachments = args.removeAll(QStringLiteral("--attachments")) > 0;
    args.removeAll(QStringLiteral("--user"));
    if (user)
        return runAsUser(args);
    const int mails = args.size() > 1 ? args[1].toInt() : 4000;
    const int duplicates = args.size() > 2 ? args[2].toInt() : mails / 10;
    QList<int> modes;
    for (int i = 3; i < args.size(); ++i)
        modes << args[i].toInt();
    if (modes.isEmpty())
        modes = {2};

    for (int mode : modes) {
        QTemporaryDir home, data, folder;
        prepare(home, data, folder, mails, duplicates, mode);
        TForm1 form;
        form.show();
        // Sounds would measure the sound server, not the scan.
        form.chk_BEEP()->setChecked(false);
        // A user's window is on screen before the scan starts.
        QApplication::processEvents();
        if (cold && !dropPageCache()) {
            std::fprintf(stderr, "--cold needs root to drop the page cache\n");
            return 1;
        }
        const qint64 baseline = readEveryFileUs(folder.path());
        if (cold)
            dropPageCache();
        const qint64 first = scanUs(form);
        const int found = form.scan()->DuplicateCount;
        const int left = int(QDir(folder.path()).entryList(QDir::Files).size());
        const qint64 second = scanUs(form);
        std::printf("mode %d%s: %d files, %d duplicates found, %d left\n"
                    "  reading every file once: %.3f s\n"
                    "  scan: %.3f s, ratio %.2f\n"
                    "  second scan: %.3f s (%.3f s per 4,000 files)\n"
                    "  peak memory: %.1f MB (%.2f KB per file)\n",
                    mode, cold ? " (cold cache)" : "", mails, found, left, baseline / 1e6,
                    first / 1e6, double(first) / double(baseline), second / 1e6,
                    second / 1e6 * 4000.0 / left, peakMegabytes(),
                    peakMegabytes() * 1024.0 / mails);
        std::fflush(stdout);
    }
    return 0;
}
