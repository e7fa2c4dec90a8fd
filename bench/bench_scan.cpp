// A full automatic scan, offscreen, of a folder of generated e-mails holding duplicates, in each
// of the three scan modes:  bench_scan [mails [duplicates [modes...]]]  (default 2000 200 0 1 2).

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

namespace {

const QStringList kStems = {"facture", "reunion", "Re ",  "LE projet", "commande", "vacances",
                            "rapport", "budget",  "Noel", "agenda",    "contrat",  "photos"};

void fillFolder(const QString& folder, int mails, int duplicates)
{
    QRandomGenerator random(42);
    QList<QPair<QString, QString>> originals;
    for (int i = 0; i < mails - duplicates; ++i) {
        const QString name = QStringLiteral("%1 %2.eml").arg(kStems[i % kStems.size()]).arg(i);
        const QString mail = makeMail(random, i);
        writeFile(folder + "/" + name, encode(mail, i));
        originals.append({kStems[i % kStems.size()], mail});
    }
    for (int d = 0; d < duplicates; ++d) {
        const auto& [stem, mail] = originals[int(random.bounded(qsizetype(originals.size())))];
        const QString name = QStringLiteral("%1 copie %2.eml").arg(stem).arg(d);
        writeFile(folder + "/" + name, encode(mail, d + 1));
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const QStringList args = app.arguments();
    const int mails = args.size() > 1 ? args[1].toInt() : 2000;
    const int duplicates = args.size() > 2 ? args[2].toInt() : 200;
    QList<int> modes;
    for (int i = 3; i < args.size(); ++i)
        modes << args[i].toInt();
    if (modes.isEmpty())
        modes = {0, 1, 2};

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
        DialogAnswerer answers;
        answers.setDefaultKeys({Qt::Key_Return}, 1);
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(form.Button1(), Qt::LeftButton);
        const qint64 ms = clock.elapsed();
        const int left = int(QDir(folder.path()).entryList(QDir::Files).size());
        std::printf("mode %d: %d files, %d duplicates found, %d left, %.2f s\n", mode, mails,
                    form.DuplicateCount, left, ms / 1000.0);
        std::fflush(stdout);
    }
    return 0;
}
