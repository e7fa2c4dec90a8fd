#include "base/Errors.h"
#include "base/MaskMatcher.h"
#include "CountingIndex.h"
#include "scan/FingerprintIndex.h"
#include "scan/ScanListing.h"
#include "scan/TextCodec.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QMutex>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The index reads a file again only when its stamp has changed, keeps a read error to raise it
// where the file is loaded, and gives equal texts equal fingerprints. The listing chooses
// candidates by mask as a re-read of the candidate list would.
class TestFingerprintIndex : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void readsOnlyWhatChanged_data();
    void readsOnlyWhatChanged();
    void errorKeptAndRaisedInPlace();
    void equalTextsEqualFingerprints_data();
    void equalTextsEqualFingerprints();
    void stopsWhenAsked();
    void streamedFormIsTheWholeForm();
    void candidatesByMask_data();
    void candidatesByMask();
    void visitsSameFingerprintAndUnreadable();
    void ownMoveKeepsListingCurrent();
};

namespace {

// Moves a file's change stamps on, as a later write would.
void touchLater(const QString& path)
{
    struct stat info;
    QVERIFY(::stat(QFile::encodeName(path).constData(), &info) == 0);
    struct timespec times[2] = {{info.st_atim.tv_sec + 10, 0}, {info.st_mtim.tv_sec + 10, 0}};
    QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0);
}

} // namespace

void TestFingerprintIndex::readsOnlyWhatChanged_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QStringList>("readAgain");
    QTest::newRow("nothing changed: nothing read") << "none" << QStringList{};
    QTest::newRow("same size, new stamps: read again") << "rewrite" << QStringList{"b.eml"};
    QTest::newRow("grown: read again") << "grow" << QStringList{"b.eml"};
    QTest::newRow("replaced by another file: read again") << "replace" << QStringList{"b.eml"};
    QTest::newRow("only touched: read again") << "touch" << QStringList{"b.eml"};
}

void TestFingerprintIndex::readsOnlyWhatChanged()
{
    QFETCH(QString, change);
    QFETCH(QStringList, readAgain);
    TempFolder folder;
    const QStringList paths{folder.write("a.eml", "Bonjour"), folder.write("b.eml", "Salut"),
                            folder.write("c.eml", "Adieu")};
    CountingIndex counting;
    counting.index.refresh(paths);
    QCOMPARE(counting.reads.size(), 3);
    const Fingerprint before = counting.index.find(paths[1])->print;
    counting.reads.clear();

    if (change == "rewrite") {
        folder.write("b.eml", "SALUX");
        touchLater(paths[1]);
    } else if (change == "grow") {
        folder.write("b.eml", "Salut !");
    } else if (change == "replace") {
        const QString other = folder.write("other", "Autre");
        QVERIFY(::rename(QFile::encodeName(other).constData(),
                         QFile::encodeName(paths[1]).constData()) == 0);
    } else if (change == "touch") {
        touchLater(paths[1]);
    }
    counting.index.refresh(paths);
    QCOMPARE(counting.reads, readAgain);
    // update() of one file follows the same rule.
    counting.reads.clear();
    counting.index.update(paths[1]);
    QVERIFY(counting.reads.isEmpty());
    const bool sameText = change == "none" || change == "touch";
    QCOMPARE(counting.index.find(paths[1])->print == before, sameText);
}

void TestFingerprintIndex::errorKeptAndRaisedInPlace()
{
    TempFolder folder;
    const QString big = folder.write("big.eml", QByteArray());
    if (::truncate(QFile::encodeName(big).constData(), off_t(2) * 1024 * 1024 * 1024) != 0)
        QSKIP("this file system cannot hold a sparse file of 2 GiB");
    const QString gone = folder.filePath("gone.eml");
    CountingIndex counting;
    counting.index.refresh({big, gone});
    const FingerprintIndex::Entry* entry = counting.index.find(big);
    QVERIFY(entry && entry->error);
    counting.reads.clear();
    // Unchanged: the kept error is raised again without reading, with the loader's message.
    QString message;
    try {
        FingerprintIndex::raiseError(counting.index.update(big));
    } catch (const base::EFOpenError& error) {
        message = error.message();
    }
    QCOMPARE(message,
             "Impossible d'ouvrir le fichier \"" + big + "\". Le fichier fait 2 Go ou plus.");
    QVERIFY(counting.reads.isEmpty());
    QVERIFY_THROWS_EXCEPTION(base::EFOpenError,
                             FingerprintIndex::raiseError(*counting.index.find(gone)));
    // Mended, the file is read again and its error is gone.
    QVERIFY(::truncate(QFile::encodeName(big).constData(), 3) == 0);
    QVERIFY(!counting.index.update(big).error);
    QCOMPARE(counting.reads, QStringList{"big.eml"});
}

void TestFingerprintIndex::equalTextsEqualFingerprints_data()
{
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<bool>("equal");
    QTest::newRow("case and line breaks")
        << QByteArray("Été\r\nOK") << QByteArray("éTÉ\nok") << true;
    QTest::newRow("utf-16 and utf-8") << QByteArray("\xFF\xFE"
                                                    "a\0b\0",
                                                    6)
                                      << QByteArray("\xEF\xBB\xBF"
                                                    "AB")
                                      << true;
    QTest::newRow("full folding") << QByteArray("STRASSE")
                                  << QByteArray("stra\xC3\x9F"
                                                "e")
                                  << true;
    QTest::newRow("one letter") << QByteArray("abc") << QByteArray("abd") << false;
    QTest::newRow("final line break") << QByteArray("abc") << QByteArray("abc\n") << false;
    QTest::newRow("odd byte") << QByteArray("\xFF\xFE"
                                            "a\0",
                                            4)
                              << QByteArray("\xFF\xFE"
                                            "a\0b",
                                            5)
                              << false;
}

void TestFingerprintIndex::equalTextsEqualFingerprints()
{
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(bool, equal);
    TempFolder folder;
    const QString pa = folder.write("a", a), pb = folder.write("b", b);
    FingerprintIndex index;
    index.refresh({pa, pb});
    QCOMPARE(index.find(pa)->print == index.find(pb)->print, equal);
    QCOMPARE(TextsEqual(LoadTextFile(pa), LoadTextFile(pb)), equal);
}

void TestFingerprintIndex::stopsWhenAsked()
{
    TempFolder folder;
    QStringList paths;
    for (int i = 0; i < 400; ++i)
        paths << folder.write(QStringLiteral("m%1.eml").arg(i), QByteArray(2000, 'x'));
    FingerprintIndex index;
    int asked = 0;
    index.refresh(paths, [&] {
        ++asked;
        return false;
    });
    // Files already started are kept; the rest is left for the next refresh.
    QVERIFY(index.size() <= paths.size());
    index.refresh(paths);
    QCOMPARE(index.size(), paths.size());
}

void TestFingerprintIndex::streamedFormIsTheWholeForm()
{
    // Pieces that cross the streaming buffer's edges: line breaks, long runs of letters to fold,
    // surrogate pairs, lone halves, and every byte-order mark with or without an odd byte.
    const QList<QByteArray> pieces{"a",
                                   "Z",
                                   "\r",
                                   "\n",
                                   "\r\n",
                                   "\xC3\x89",
                                   "\xC3\x9F",
                                   "\xF0\x9D\x90\x80",
                                   "\xE2\x84\xAA",
                                   QByteArray(300, 'Q'),
                                   QByteArray("\xC3\x89").repeated(200),
                                   "\xFF",
                                   QByteArray(1, '\0')};
    const QList<QByteArray> marks{"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};
    QRandomGenerator random(11);
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes = marks[int(random.bounded(qsizetype(marks.size())))];
        const int count = int(random.bounded(60));
        for (int i = 0; i < count; ++i)
            bytes += pieces[int(random.bounded(qsizetype(pieces.size())))];
        QString streamed;
        const qsizetype length =
            StreamComparisonForm(bytes, [&](QStringView piece) { streamed += piece; });
        QCOMPARE(streamed, ComparisonForm(FileText(bytes)));
        QCOMPARE(length, FileText(bytes).size());
        QCOMPARE(Fingerprint::ofFile(bytes), Fingerprint::of(ComparisonForm(FileText(bytes))));
    }
}

void TestFingerprintIndex::candidatesByMask_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("fails");
    QTest::newRow("prefix") << "ab*" << QStringList{"AB.eml", "abc.eml", "abd.eml"} << false;
    QTest::newRow("letter case ignored") << "ABC*" << QStringList{"abc.eml"} << false;
    QTest::newRow("two patterns") << "x*;ab*"
                                  << QStringList{"AB.eml", "abc.eml", "abd.eml", "x;y.eml"}
                                  << false;
    QTest::newRow("wildcard ? for one character")
        << "ab?.eml*" << QStringList{"abc.eml", "abd.eml"} << false;
    QTest::newRow("a name holding * is a pattern") << "a*d.eml*" << QStringList{"abd.eml"} << false;
    // "X" and "Y.EML*": the name itself matches neither.
    QTest::newRow("a name holding ; splits") << "x;y.eml*" << QStringList{} << false;
    QTest::newRow("a name holding ? stands for any")
        << "q?r*" << QStringList{"q?r.eml", "qzr.eml"} << false;
    QTest::newRow("every file") << "*" << QStringList{"AB.eml",  "abc.eml", "abd.eml",
                                                      "q?r.eml", "qzr.eml", "x;y.eml"}
                                << false;
    QTest::newRow("an empty pattern reached fails") << "x;;y*" << QStringList{} << true;
    QTest::newRow("an empty pattern not reached")
        << "*;" << QStringList{"AB.eml", "abc.eml", "abd.eml", "q?r.eml", "qzr.eml", "x;y.eml"}
        << false;
}

void TestFingerprintIndex::candidatesByMask()
{
    QFETCH(QString, mask);
    QFETCH(QStringList, expected);
    QFETCH(bool, fails);
    TempFolder folder;
    for (const char* name :
         {"abc.eml", "AB.eml", "abd.eml", "x;y.eml", "q?r.eml", "qzr.eml", ".ab.eml"})
        folder.write(name, "x");
    QVERIFY(QDir(folder.path()).mkdir("abfolder"));
    ScanListing listing;
    listing.read(folder.path(), base::FolderListing::ftNormal);
    if (fails) {
        QVERIFY_THROWS_EXCEPTION(base::Exception, listing.matching(mask));
        return;
    }
    QStringList names;
    for (int i : listing.matching(mask))
        names << listing.names()[i];
    // The same names, in the same order, as a re-read of a list with that mask.
    QCOMPARE(names, base::FolderListing::list(folder.path(), base::MaskMatcher::splitMask(mask),
                                              base::FolderListing::ftNormal));
    QCOMPARE(QSet<QString>(names.begin(), names.end()),
             QSet<QString>(expected.begin(), expected.end()));
}

void TestFingerprintIndex::visitsSameFingerprintAndUnreadable()
{
    TempFolder folder;
    folder.write("a1.eml", "Texte");
    folder.write("a2.eml", "TEXTE");
    folder.write("a3.eml", "autre");
    folder.write("b1.eml", "texte");
    const QString big = folder.write("a4.eml", QByteArray());
    if (::truncate(QFile::encodeName(big).constData(), off_t(2) * 1024 * 1024 * 1024) != 0)
        QSKIP("this file system cannot hold a sparse file of 2 GiB");
    ScanListing listing;
    listing.read(folder.path(), base::FolderListing::ftNormal);
    FingerprintIndex index;
    index.refresh(listing.paths());
    listing.group(index, 1 << 20);
    const Fingerprint print = index.find(folder.filePath("a1.eml"))->print;
    QStringList visited;
    for (int i : listing.visits("a1.eml", print, base::MaskMatcher::splitMask("a*")))
        visited << listing.names()[i];
    // Last first; never the reference; the unreadable one always, for its error.
    QCOMPARE(visited, (QStringList{"a4.eml", "a2.eml"}));
    visited.clear();
    for (int i : listing.visits("a1.eml", print, base::MaskMatcher::splitMask("*")))
        visited << listing.names()[i];
    QCOMPARE(visited, (QStringList{"b1.eml", "a4.eml", "a2.eml"}));
}

void TestFingerprintIndex::ownMoveKeepsListingCurrent()
{
    TempFolder folder, elsewhere;
    folder.write("a.eml", "x");
    folder.write("b.eml", "x");
    ScanListing listing;
    listing.read(folder.path(), base::FolderListing::ftNormal);
    QVERIFY(!listing.isStale());
    const FileStamp before = listing.folderStamp();
    QVERIFY(QFile::rename(folder.filePath("a.eml"), elsewhere.filePath("a.eml")));
    listing.removeOwn(listing.indexOf("a.eml"), before);
    QVERIFY(!listing.isStale());
    QCOMPARE(listing.matching("*").size(), 1);
    // A file another program adds shows.
    folder.write("c.eml", "x");
    touchLater(folder.path());
    QVERIFY(listing.isStale());
}

QTEST_MAIN(TestFingerprintIndex)
#include "tst_fingerprintindex.moc"
