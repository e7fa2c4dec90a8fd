#include "GeneratedFolder.h"
#include "ScanModel.h"
#include "ScanTexts.h"

#include "base/Errors.h"
#include "scan/ScanEngine.h"
#include "scan/ScanListener.h"
#include "shell/RecycleBin.h"
#include "support/TempFolder.h"

#include <QStandardPaths>
#include <QtTest>

#include <unistd.h>

// The scan without a window, against the independent model on many generated folders, and the
// listener's part: stop requests, a list read again, a folder that cannot be opened.
class TestScanEngine : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void sameAsModel_data();
    void sameAsModel();
    void listenerEndsTheScan_data();
    void listenerEndsTheScan();
    void folderThatCannotBeOpened();
    void windowKeptAliveWhileListingAndFingerprinting();
    void secondNamesAndLinks_data();
    void secondNamesAndLinks();
    void changeAtTheMomentOfTheMove_data();
    void changeAtTheMomentOfTheMove();
};

namespace {

constexpr qsizetype kPane = qsizetype(64) * 1024 * 1024;

// Records what a window would show, in the words of the scan's own dialogs, and answers as told.
class Recorder : public ScanListener {
public:
    explicit Recorder(const ScanEngine* engine = nullptr) : m_engine(engine) {}
    void setEngine(const ScanEngine* engine) { m_engine = engine; }

    int modeValue = 0;
    bool automaticValue = true;
    QList<ScanModel::Answer> answers;
    QStringList dialogs;
    int found = 0;
    int keepAlives = 0;
    // keepAlives when the candidates of the first reference were chosen.
    mutable int keepAlivesBeforeFirstReference = -1;
    // A stop asked once this many duplicates were found; -1 never.
    int stopAfter = -1;
    // The list the scan walks "read again" once this many duplicates were found; -1 never.
    int changeAfter = -1;

    int mode() const override
    {
        if (keepAlivesBeforeFirstReference < 0)
            keepAlivesBeforeFirstReference = keepAlives;
        return modeValue;
    }
    bool automatic() const override { return automaticValue; }
    qsizetype referenceCapacity() const override { return kPane; }
    qsizetype candidateCapacity() const override { return kPane; }
    void keepAlive(bool) override { ++keepAlives; }
    bool stopRequested() override { return stopAfter >= 0 && found >= stopAfter; }
    bool listChanged() override { return changeAfter >= 0 && found >= changeAfter; }
    void loadFailed(const QString& notice) override { dialogs << notice; }
    void duplicateFound(bool) override { ++found; }
    Answer askDuplicate(const QString& candidateName) override
    {
        dialogs << ScanTexts::question(m_engine->view().caption, candidateName);
        const ScanModel::Answer answer = answers.value(m_nextAnswer++, ScanModel::No);
        return answer == ScanModel::Yes  ? Answer::Move
               : answer == ScanModel::No ? Answer::Keep
                                         : Answer::End;
    }
    bool notMoved(const QString& path, const QString& reason) override
    {
        dialogs << QStringLiteral("<not moved> %1: %2").arg(path, reason);
        return true;
    }
    void folderUnavailable(const QString& reason) override { dialogs << reason; }

private:
    const ScanEngine* m_engine;
    qsizetype m_nextAnswer = 0;
};

// The dialogs of a whole scan as the window shows them, question first.
QStringList runScan(ScanEngine& engine, Recorder& recorder, const QString& folder,
                    const QStringList& names)
{
    recorder.dialogs << QStringLiteral("Comparer %1 fichiers ?").arg(names.size());
    try {
        engine.run(folder, names, base::FolderListing::ftNormal);
    } catch (const base::Exception& e) {
        // The general error report shows it and no summary follows.
        recorder.dialogs << e.message();
        return recorder.dialogs;
    }
    recorder.dialogs << ScanTexts::summary(int(names.size()), engine.duplicates(),
                                           engine.notMoved());
    return recorder.dialogs;
}

// A trash of the test's own for each case.
class OwnTrash {
public:
    OwnTrash() : m_old(qgetenv("XDG_DATA_HOME"))
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()));
    }
    ~OwnTrash() { qputenv("XDG_DATA_HOME", m_old); }
    QString files() const { return m_data.path() + "/Trash/files"; }

private:
    TempFolder m_data;
    QByteArray m_old;
};

} // namespace

void TestScanEngine::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestScanEngine::sameAsModel_data()
{
    GeneratedFolder::addRows(40, 104729u);
}

void TestScanEngine::sameAsModel()
{
    QFETCH(int, mode);
    QFETCH(bool, automatic);
    QFETCH(quint32, seed);
    OwnTrash trash;
    TempFolder mails;
    GeneratedFolder generated(mails.path(), seed, mode, automatic);
    if (!generated.skipped.isEmpty())
        QSKIP(qPrintable(generated.skipped));
    const ScanModel& model = generated.model;
    const ScanModel::Trace expected = model.run();
    const QStringList before = GeneratedFolder::entriesOf(mails.path());

    Recorder recorder;
    ScanEngine engine(recorder);
    recorder.setEngine(&engine);
    recorder.modeValue = mode;
    recorder.automaticValue = automatic;
    recorder.answers = model.answers;
    const QStringList dialogs = runScan(engine, recorder, mails.path(), model.mainList());

    QCOMPARE(dialogs, expected.dialogs);
    QCOMPARE(GeneratedFolder::entriesOf(trash.files()), expected.moved);
    QStringList left = before;
    for (const QString& name : expected.moved)
        left.removeOne(name);
    QCOMPARE(GeneratedFolder::entriesOf(mails.path()), left);
    QStringList listed = engine.view().moved;
    ScanModel::sortNames(listed);
    QCOMPARE(listed, expected.listed);
    QCOMPARE(engine.duplicates(), expected.found);
    QCOMPARE(recorder.found, expected.found);
}

void TestScanEngine::listenerEndsTheScan_data()
{
    QTest::addColumn<bool>("stop");
    QTest::addColumn<int>("moved");
    // Three equal files: the first pass finds two duplicates.
    QTest::newRow("a stop request ends it after the candidate in hand") << true << 1;
    QTest::newRow("a list read again ends it at once") << false << 1;
}

void TestScanEngine::listenerEndsTheScan()
{
    QFETCH(bool, stop);
    QFETCH(int, moved);
    OwnTrash trash;
    TempFolder mails;
    for (const char* name : {"m1.eml", "m2.eml", "m3.eml", "n1.eml", "n2.eml"})
        mails.write(name, name[0] == 'm' ? "Bonjour.\r\n" : "Au revoir.\r\n");
    Recorder recorder;
    ScanEngine engine(recorder);
    recorder.setEngine(&engine);
    recorder.modeValue = 2;
    (stop ? recorder.stopAfter : recorder.changeAfter) = 1;
    const QStringList names{"m1.eml", "m2.eml", "m3.eml", "n1.eml", "n2.eml"};
    const QStringList dialogs = runScan(engine, recorder, mails.path(), names);

    QCOMPARE(dialogs.size(), 2);
    QCOMPARE(dialogs.last(), ScanTexts::summary(5, 1));
    QCOMPARE(GeneratedFolder::entriesOf(trash.files()).size(), moved);
    // The pass of n2, the last name, came first and found its duplicate n1.
    QCOMPARE(GeneratedFolder::entriesOf(trash.files()), QStringList{"n1.eml"});
}

void TestScanEngine::folderThatCannotBeOpened()
{
    OwnTrash trash;
    TempFolder place;
    const QString gone = place.path() + "/parti";
    Recorder recorder;
    ScanEngine engine(recorder);
    recorder.setEngine(&engine);
    engine.run(gone, {"a.eml"}, base::FolderListing::ftNormal);
    QCOMPARE(recorder.dialogs.size(), 1);
    QVERIFY2(recorder.dialogs[0].startsWith("Impossible d'ouvrir le dossier \"" + gone + "\"."),
             qPrintable(recorder.dialogs[0]));
    QCOMPARE(engine.duplicates(), 0);
}

void TestScanEngine::windowKeptAliveWhileListingAndFingerprinting()
{
    // Listing and fingerprinting a large folder come before the first reference: the window must
    // answer all along, not only once they are done.
    OwnTrash trash;
    TempFolder mails;
    constexpr int kFiles = 6000;
    QStringList names;
    for (int i = 0; i < kFiles; ++i) {
        const QString name = QStringLiteral("m%1.eml").arg(i, 5, 10, QLatin1Char('0'));
        mails.write(name, QStringLiteral("Message %1.\r\n").arg(i).toUtf8());
        names << name;
    }
    Recorder recorder;
    ScanEngine engine(recorder);
    recorder.setEngine(&engine);
    recorder.modeValue = 2;
    runScan(engine, recorder, mails.path(), names);
    // The listing alone gives a chance every few hundred names.
    QVERIFY2(recorder.keepAlivesBeforeFirstReference >= kFiles / 256,
             qPrintable(QString::number(recorder.keepAlivesBeforeFirstReference)));
}

void TestScanEngine::secondNamesAndLinks_data()
{
    QTest::addColumn<QString>("second");
    QTest::addColumn<QStringList>("trashed");
    // a.eml holds the text; z.eml is its second name, or a link, or a link to a copy outside.
    QTest::newRow("hard link: one file, nothing to move") << "hard link" << QStringList();
    QTest::newRow("link to it: one file, nothing to move") << "link" << QStringList();
    QTest::newRow("link to a copy outside: the link goes, never the file")
        << "outside" << QStringList{"z.eml"};
    QTest::newRow("a plain copy: the first of the list goes") << "copy" << QStringList{"a.eml"};
}

void TestScanEngine::secondNamesAndLinks()
{
    QFETCH(QString, second);
    QFETCH(QStringList, trashed);
    OwnTrash trash;
    TempFolder mails;
    TempFolder outside;
    const QByteArray text = "Bonjour.\r\n";
    const QString a = mails.write("a.eml", text);
    const QByteArray z = QFile::encodeName(mails.path() + "/z.eml");
    if (second == "hard link")
        QCOMPARE(::link(QFile::encodeName(a).constData(), z.constData()), 0);
    else if (second == "link")
        QCOMPARE(::symlink("a.eml", z.constData()), 0);
    else if (second == "outside")
        QCOMPARE(
            ::symlink(QFile::encodeName(outside.write("o.eml", text)).constData(), z.constData()),
            0);
    else
        mails.write("z.eml", text);
    Recorder recorder;
    ScanEngine engine(recorder);
    recorder.setEngine(&engine);
    recorder.modeValue = 2;
    runScan(engine, recorder, mails.path(), {"a.eml", "z.eml"});

    QCOMPARE(GeneratedFolder::entriesOf(trash.files()), trashed);
    QCOMPARE(engine.duplicates(), int(trashed.size()));
}

void TestScanEngine::changeAtTheMomentOfTheMove_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("the candidate is rewritten in place") << "rewritten";
    QTest::newRow("the candidate is replaced by another file") << "replaced";
    QTest::newRow("the reference becomes a link to the candidate") << "reference link";
    QTest::newRow("the reference is removed") << "reference removed";
}

void TestScanEngine::changeAtTheMomentOfTheMove()
{
    QFETCH(QString, fault);
    OwnTrash trash;
    TempFolder mails;
    const QString x1 = mails.write("x1.txt", "Bonjour.\r\n");
    const QString x2 = mails.write("x2.txt", "Bonjour.\r\n");
    bool fired = false;
    RecycleBinSeam::trashOpened = [&](const QString&) {
        if (std::exchange(fired, true))
            return;
        if (fault == "rewritten") {
            mails.write("x1.txt", "Autre chose.\r\n");
        } else if (fault == "replaced") {
            QVERIFY(QFile::remove(x1));
            mails.write("x1.txt", "Un autre message.\r\n");
        } else if (fault == "reference link") {
            QVERIFY(QFile::remove(x2));
            QVERIFY(QFile::link("x1.txt", x2));
        } else {
            QVERIFY(QFile::remove(x2));
        }
    };
    auto reset = qScopeGuard([] { RecycleBinSeam::trashOpened = {}; });
    Recorder recorder;
    ScanEngine engine(recorder);
    recorder.setEngine(&engine);
    const QStringList dialogs = runScan(engine, recorder, mails.path(), {"x1.txt", "x2.txt"});

    QVERIFY(fired);
    QVERIFY2(dialogs.size() >= 3 && dialogs[1].startsWith("<not moved> " + x1),
             qPrintable(dialogs.join("\n")));
    QCOMPARE(engine.notMoved(), 1);
    // Put back under its own name, with nothing left in the trash.
    QCOMPARE(GeneratedFolder::entriesOf(trash.files()), QStringList());
    QVERIFY(QFile::exists(x1));
}

QTEST_MAIN(TestScanEngine)
#include "tst_scanengine.moc"
