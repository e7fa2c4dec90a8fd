// A full automatic scan, offscreen, of a folder of generated e-mails holding duplicates, then a
// second scan of the same folder, in each mode asked for:
//     bench_scan [--cold] [mails [duplicates [modes...]]]      (default 4000 400 2)
// Each time is printed with its ratio to reading every file of the folder once, measured in the
// same run, and the peak memory of the process. With --cold (root only) the page cache is dropped
// before the reading and again before the first scan, as for a folder not read since boot.

#include "app/TForm1.h"
#include "MailCorpus.h"
#include "scan/ScanRun.h"
#include "settings/SettingsHelpers.h"
#include "support/DialogAnswerer.h"

#include <QAction>
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

const QStringList kStems = {"facture", "reunion", "Re ",  "LE projet", "commande", "vacances",
                            "rapport", "budget",  "Noel", "agenda",    "contrat",  "photos"};

// Mail i is made again from its own seed wherever it is needed, so that no text is held.
QString mailNumber(int i)
{
    QRandomGenerator random(quint32(1000 + i));
    return makeMail(random, i);
}

void fillFolder(const QString& folder, int mails, int duplicates)
{
    const int originals = mails - duplicates;
    for (int i = 0; i < originals; ++i) {
        const QString name = QStringLiteral("%1 %2.eml").arg(kStems[i % kStems.size()]).arg(i);
        writeFile(folder + "/" + name, encode(mailNumber(i), i));
    }
    QRandomGenerator random(42);
    for (int d = 0; d < duplicates; ++d) {
        const int i = int(random.bounded(originals));
        const QString name =
            QStringLiteral("%1 copie %2.eml").arg(kStems[i % kStems.size()]).arg(d);
        writeFile(folder + "/" + name, encode(mailNumber(i), d + 1));
    }
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

qint64 scanUs(TForm1& form)
{
    DialogAnswerer answers;
    answers.setDefaultKeys({Qt::Key_Return}, 1);
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(form.Button1(), Qt::LeftButton);
    return clock.nsecsElapsed() / 1000;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    QStringList args = app.arguments();
    const bool cold = args.removeAll(QStringLiteral("--cold")) > 0;
    const int mails = args.size() > 1 ? args[1].toInt() : 4000;
    const int duplicates = args.size() > 2 ? args[2].toInt() : mails / 10;
    QList<int> modes;
    for (int i = 3; i < args.size(); ++i)
        modes << args[i].toInt();
    if (modes.isEmpty())
        modes = {2};

    for (int mode : modes) {
        QTemporaryDir home, data, folder;
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
        SetExecutablePathForTesting(home.filePath("twindrop"));
        fillFolder(folder.path(), mails, duplicates);
        IniWriteString("OPTIONS", "DOSSIER", folder.path());
        IniWriteString("OPTIONS", "MASQUE", QString());
        IniWriteString("OPTIONS", "AUTO", "1");
        IniWriteString("OPTIONS", "MODE", QString::number(mode));
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
