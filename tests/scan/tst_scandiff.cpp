#include "ScanFixture.h"
#include "ScanModel.h"

#include "scan/ScanRun.h"
#include "shell/SystemSound.h"
#include "support/ScratchMount.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

#include <dirent.h>
#include <unistd.h>

// The whole window against a small independent model of the scan, on many generated folders:
// every dialog in order with its text, the files moved, the duplicates listed and counted.
class TestScanDiff : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void modelSelfChecks_data();
    void modelSelfChecks();
    void sameAsModel_data();
    void sameAsModel();
};

namespace {

const QStringList kStems{"alpha", "Alpine", "beta", "LE monde", "Le mot", "été", "Zoé",
                         "x*y",   "q?r",    "s;t",  "a",        "B",      "zulu"};

// Texts in French, with accents, so that every encoding matters.
QString baseText(int index, QRandomGenerator& random)
{
    return QStringLiteral(
               "From: r%1@example.org\r\nSubject: Réunion n°%1\r\n\r\nBonjour Éloïse,\r\n"
               "le café est prêt à %2 h ; à bientôt.\r\n")
        .arg(index)
        .arg(random.bounded(24));
}

// Names in a folder as they are, links and hidden files included.
QStringList entriesOf(const QString& folder)
{
    QStringList names;
    if (DIR* dir = opendir(QFile::encodeName(folder).constData())) {
        while (const dirent* entry = readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != ".." && !name.endsWith(".trashinfo"))
                names << QFile::decodeName(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

void TestScanDiff::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    SetSoundRecorder([](unsigned) {});
}

void TestScanDiff::modelSelfChecks_data()
{
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<bool>("equal");
    QTest::newRow("case and line breaks") << QByteArray("ABC\r\n") << QByteArray("abc\n") << true;
    QTest::newRow("utf-8 mark and windows-1252")
        << QByteArray("\xEF\xBB\xBF\xC3\xA9t\xC3\xA9") << QByteArray("\xE9t\xE9") << true;
    QTest::newRow("utf-16 both orders") << QByteArray("\xFF\xFE"
                                                      "a\0",
                                                      4)
                                        << QByteArray("\xFE\xFF\0A", 4) << true;
    QTest::newRow("final line break counts") << QByteArray("abc") << QByteArray("abc\n") << false;
    QTest::newRow("odd byte counts") << QByteArray("\xFF\xFE"
                                                   "A\0B",
                                                   5)
                                     << QByteArray("\xFF\xFE"
                                                   "A\0C",
                                                   5)
                                     << false;
}

void TestScanDiff::modelSelfChecks()
{
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(bool, equal);
    QCOMPARE(ScanModel::key(a) == ScanModel::key(b), equal);
    QVERIFY(ScanModel::maskMatches("A*", "ABC"));
    QVERIFY(!ScanModel::maskMatches("*?X", "AXX"));
    QCOMPARE(ScanModel::prefix("Le Monde 12.txt", 0), QStringLiteral("Le Monde"));
    QCOMPARE(ScanModel::prefix("LE 123.txt", 0), QStringLiteral("LE"));
    QCOMPARE(ScanModel::prefix("éclair.txt", 0), QStringLiteral("éclair.txt"));
}

void TestScanDiff::sameAsModel_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("automatic");
    QTest::addColumn<quint32>("seed");
    for (int mode : {-1, 0, 1, 2}) {
        for (bool automatic : {true, false}) {
            for (quint32 seed = 1; seed <= 6; ++seed) {
                const QByteArray name = QStringLiteral("mode %1, %2, seed %3")
                                            .arg(mode)
                                            .arg(automatic ? "automatic" : "manual")
                                            .arg(seed)
                                            .toLatin1();
                QTest::newRow(name.constData())
                    << mode << automatic << seed * 7919u + quint32(mode + 1);
            }
        }
    }
}

void TestScanDiff::sameAsModel()
{
    QFETCH(int, mode);
    QFETCH(bool, automatic);
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    ScanFixture fx;
    ScanModel model;
    model.folder = fx.folder();
    model.mode = mode;
    model.automatic = automatic;
    const QStringList masks{"", "", "a", "al", "*.eml", "?e", "b;z", "LE"};
    model.mainMask = masks[int(random.bounded(qsizetype(masks.size())))];

    QStringList plain;
    auto freshName = [&](const QString& stem) {
        QString name;
        do
            name = stem + QString::number(random.bounded(60)) + ".eml";
        while (model.files.contains(name));
        return name;
    };
    const int groups = 2 + int(random.bounded(3));
    for (int g = 0; g < groups; ++g) {
        const QString text = baseText(g, random);
        const int copies = 1 + int(random.bounded(4));
        for (int c = 0; c < copies + 2; ++c) {
            QString variant = text;
            if (c == copies)
                variant += QLatin1Char('x'); // one character more
            else if (c > copies)
                variant.replace(QStringLiteral("é"), QStringLiteral("e")); // an accent less
            QByteArray bytes = ScanFixture::randomEncoding(variant, random);
            // A UTF-16 file with one stray byte more is another file.
            if (c < copies && bytes.startsWith(c % 2 ? "\xFF\xFE" : "\xFE\xFF") &&
                random.bounded(3) == 0)
                bytes.append(char(random.bounded(256)));
            const QString name = freshName(kStems[int(random.bounded(qsizetype(kStems.size())))]);
            model.files[name] = {bytes, QString(), QString(), QString()};
            fx.write(name, model.files[name].bytes);
            plain << name;
            // A hidden copy is never listed, so never compared nor moved.
            if (random.bounded(6) == 0) {
                const QString hidden = "." + name;
                model.files[hidden] = model.files[name];
                fx.write(hidden, model.files[hidden].bytes);
            }
        }
    }
    // Links to files of the folder, some of them through a bind mount of the folder inside
    // itself (another path, the same file), and second names of files (hard links).
    TempFolder scratchPlace;
    ScratchMount scratch(scratchPlace.path() + "/tmp", 64);
    const bool viewed = QDir(fx.folder()).mkdir("view") && scratch.isMounted() &&
                        scratch.bind(fx.folder(), fx.folder() + "/view");
    for (int l = int(random.bounded(4)); l > 0; --l) {
        const QString to = plain[int(random.bounded(qsizetype(plain.size())))];
        const QString name = freshName(random.bounded(2) ? "alpha" : "lien");
        model.files[name] = {QByteArray(), to, QString(), QString()};
        const QString linkText = viewed && random.bounded(2) ? "view/" + to : to;
        QVERIFY(QFile::link(linkText, fx.folder() + "/" + name));
    }
    for (int h = int(random.bounded(3)); h > 0; --h) {
        const QString to = plain[int(random.bounded(qsizetype(plain.size())))];
        const QString name = freshName(random.bounded(2) ? "beta" : "zulu");
        model.files[name] = {model.files[to].bytes, QString(), QString(), to};
        QVERIFY(::link(QFile::encodeName(fx.folder() + "/" + to).constData(),
                       QFile::encodeName(fx.folder() + "/" + name).constData()) == 0);
    }
    // Now and then a file the loader refuses: 2 GiB, sparse. Never first in the main list, where
    // the window would refuse it on showing, before any scan.
    if (random.bounded(3) == 0) {
        const QString name = freshName(kStems[int(random.bounded(qsizetype(kStems.size())))]);
        model.files[name] = {QByteArray(), QString(),
                             QStringLiteral("Le fichier fait 2 Go ou plus."), QString()};
        if (model.mainList().value(0) == name) {
            model.files.remove(name);
        } else {
            const QString path = fx.write(name, QByteArray());
            if (::truncate(QFile::encodeName(path).constData(), off_t(2) * 1024 * 1024 * 1024) != 0)
                QSKIP("this file system cannot hold a sparse file of 2 GiB");
        }
    }
    for (int a = 0; a < 64; ++a) {
        const quint32 roll = random.bounded(20u);
        model.answers << (roll < 9    ? ScanModel::Yes
                          : roll < 19 ? ScanModel::No
                                      : ScanModel::Cancel);
    }
    const ScanModel::Trace expected = model.run();

    const QStringList before = entriesOf(fx.folder());
    fx.setOption("MODE", QString::number(mode));
    fx.setOption("AUTO", automatic ? "1" : "0");
    fx.setOption("MASQUE", model.mainMask);
    TForm1& form = fx.start();
    for (int key : expected.keys)
        fx.answers.press(key);
    // Should the window show more dialogs than the model, they are answered and told apart.
    fx.answers.setDefaultKeys({Qt::Key_Escape}, 1);
    fx.scan();

    QStringList texts = fx.answers.texts();
    for (QString& text : texts)
        text = ScanFixture::withoutTime(text);
    QCOMPARE(texts, expected.dialogs);
    QStringList moved = entriesOf(fx.trashFolder());
    QCOMPARE(moved, expected.moved);
    QStringList left = before;
    for (const QString& name : expected.moved)
        left.removeOne(name);
    QCOMPARE(entriesOf(fx.folder()), left);
    QCOMPARE(fx.duplicatesListed(), expected.listed);
    QCOMPARE(form.scan()->DuplicateCount, expected.found);
    QCOMPARE(form.statusText(3), QString::number(expected.found));
}

QTEST_MAIN(TestScanDiff)
#include "tst_scandiff.moc"
