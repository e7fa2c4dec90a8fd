// A new start of the program scanning a folder it scanned before: a first automatic scan in this
// process (its fingerprints are saved when it ends), the window closed, then the program started
// again in a new process, which reads the saved fingerprints and scans the same folder.
//     bench_restart [mails [duplicates]]      (default 4364 436)
// Printed: the new start's scan with the page cache dropped first (as after a reboot; root only,
// skipped with a message otherwise), its ratio to `cat` of every file of the folder with the page
// cache dropped; the same scan on the warm folder and its ratio to `jdupes` on the warm folder
// (when jdupes is installed).

#include "app/TForm1.h"
#include "MailCorpus.h"
#include "scan/FingerprintIndex.h"
#include "scan/ScanRun.h"
#include "settings/SettingsHelpers.h"
#include "support/DialogAnswerer.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <unistd.h>

namespace {

bool dropPageCache()
{
    ::sync();
    QFile control(QStringLiteral("/proc/sys/vm/drop_caches"));
    return control.open(QIODevice::WriteOnly) && control.write("3\n") == 2;
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

TForm1* openWindow()
{
    auto* form = new TForm1;
    form->show();
    // Sounds would measure the sound server, not the scan.
    form->chk_BEEP()->setChecked(false);
    QApplication::processEvents();
    return form;
}

// Wall time of a command, in microseconds; -1 when it cannot run.
qint64 runUs(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return clock.nsecsElapsed() / 1000;
}

// The new start: this program again, with --second; returns its scan time and its whole time.
bool newStart(const QString& home, const QString& data, qint64* scan, qint64* whole)
{
    QProcess child;
    QElapsedTimer clock;
    clock.start();
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--second"), home, data});
    if (!child.waitForFinished(-1) || child.exitCode() != 0)
        return false;
    *whole = clock.nsecsElapsed() / 1000;
    *scan = QString::fromLatin1(child.readAllStandardOutput()).trimmed().toLongLong();
    return *scan > 0;
}

int second(const QString& home, const QString& data)
{
    qputenv("XDG_DATA_HOME", QFile::encodeName(data));
    SetExecutablePathForTesting(home + QStringLiteral("/twindrop"));
    TForm1* form = openWindow();
    const qint64 us = scanUs(*form);
    std::printf("%lld\n", static_cast<long long>(us));
    delete form;
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QStringLiteral("--second"))
        return second(args[2], args[3]);
    const int mails = args.size() > 1 ? args[1].toInt() : 4364;
    const int duplicates = args.size() > 2 ? args[2].toInt() : mails / 10;

    QTemporaryDir home, data, folder;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    SetExecutablePathForTesting(home.filePath(QStringLiteral("twindrop")));
    fillMailFolder(folder.path(), mails, duplicates);
    IniWriteString(QStringLiteral("OPTIONS"), QStringLiteral("DOSSIER"), folder.path());
    IniWriteString(QStringLiteral("OPTIONS"), QStringLiteral("MASQUE"), QString());
    IniWriteString(QStringLiteral("OPTIONS"), QStringLiteral("AUTO"), QStringLiteral("1"));
    IniWriteString(QStringLiteral("OPTIONS"), QStringLiteral("MODE"), QStringLiteral("2"));
    QFile::remove(FingerprintIndex::cachePath());

    TForm1* form = openWindow();
    const qint64 first = scanUs(*form);
    const int found = form->scan()->DuplicateCount;
    form->close();
    delete form;
    const QStringList files = QDir(folder.path()).entryList(QDir::Files);
    std::printf("%d files, first scan %.3f s, %d duplicates moved; %lld bytes of fingerprints "
                "saved\n",
                mails, first / 1e6, found,
                static_cast<long long>(QFileInfo(FingerprintIndex::cachePath()).size()));

    QStringList paths;
    for (const QString& name : files)
        paths << folder.path() + QLatin1Char('/') + name;
    qint64 scan = 0;
    qint64 whole = 0;
    if (dropPageCache()) {
        const qint64 cat = runUs(QStringLiteral("cat"), paths);
        dropPageCache();
        if (!newStart(home.path(), data.path(), &scan, &whole))
            return 1;
        std::printf("cold (page cache dropped), %lld files:\n"
                    "  cat of every file: %.3f s\n"
                    "  new start, scan: %.3f s, ratio to cat %.2f\n"
                    "  new start, whole process (start, window, scan, close): %.3f s, ratio %.2f\n",
                    static_cast<long long>(files.size()), cat / 1e6, scan / 1e6,
                    double(scan) / double(cat), whole / 1e6, double(whole) / double(cat));
    } else {
        std::printf("cold figures skipped: dropping the page cache needs root\n");
    }

    // Warm: everything read once beforehand.
    runUs(QStringLiteral("cat"), paths);
    if (!newStart(home.path(), data.path(), &scan, &whole))
        return 1;
    std::printf("warm:\n  new start, scan: %.3f s; whole process %.3f s\n", scan / 1e6,
                whole / 1e6);
    const QString jdupes = QStandardPaths::findExecutable(QStringLiteral("jdupes"));
    if (jdupes.isEmpty()) {
        std::printf("  jdupes is not installed: no ratio to it\n");
    } else {
        runUs(jdupes, {QStringLiteral("-q"), folder.path()});
        const qint64 j = runUs(jdupes, {QStringLiteral("-q"), folder.path()});
        std::printf("  jdupes: %.3f s; ratio of the scan %.2f, of the whole process %.2f\n",
                    j / 1e6, double(scan) / double(j), double(whole) / double(j));
    }
    std::fflush(stdout);
    return 0;
}
