// The journal of moves: what is read back from damaged, cut or foreign files, where it is made,
// how many are kept, and that a move it cannot record does not happen.
#include "shell/MoveJournal.h"
#include "shell/RecycleBin.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using State = JournalMove::State;

namespace {

QByteArray b64(const QByteArray& bytes)
{
    return bytes.toBase64();
}

QByteArray header()
{
    return MoveJournal::line({"twindrop-journal", "1", "1700000000000", b64("/mails")});
}

QByteArray move(int sequence, const QByteArray& name = "a.eml")
{
    return MoveJournal::line({"move", QByteArray::number(sequence), b64("/mails"), "1", "2",
                              b64(name), b64("/home/u/.local/share/Trash"), b64(name), "1",
                              QByteArray::number(100 + sequence), "17", "5", b64("ref.eml")});
}

QByteArray mark(const QByteArray& kind, int sequence)
{
    return MoveJournal::line({kind, QByteArray::number(sequence)});
}

} // namespace

class TestMoveJournal : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();
    void cleanup() { qunsetenv("XDG_STATE_HOME"); }

    void readBack_data();
    void readBack();
    void madeAtTheFirstMoveOnly();
    void keepsTheNewestScans();
    void moveNotRecordedDoesNotHappen();

private:
    std::unique_ptr<TempFolder> m_state;
};

void TestMoveJournal::init()
{
    m_state = std::make_unique<TempFolder>();
    qputenv("XDG_STATE_HOME", QFile::encodeName(m_state->path()));
}

void TestMoveJournal::readBack_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QList<int>>("states"); // State of each move read, in order
    QTest::addColumn<bool>("closed");

    const QByteArray two = header() + move(1) + mark("done", 1) + move(2, "b.eml");
    QTest::newRow("whole: one done, one announced")
        << two << true << QList<int>{int(State::Done), int(State::Pending)} << false;
    QTest::newRow("failed, then restored and closed")
        << two + mark("failed", 2) + mark("restored", 1) + MoveJournal::line({"closed"}) << true
        << QList<int>{int(State::Restored), int(State::Failed)} << true;
    QByteArray cutDone = header() + move(1) + mark("done", 1);
    cutDone.chop(3);
    QTest::newRow("confirmation cut in the middle")
        << cutDone << true << QList<int>{int(State::Pending)} << false;
    QByteArray cutMove = header() + move(1) + mark("done", 1) + move(2);
    cutMove.chop(1);
    QTest::newRow("announcement without its line break")
        << cutMove << true << QList<int>{int(State::Done)} << false;
    QByteArray flipped = header() + move(1) + move(2, "b.eml");
    flipped[header().size() + 20] = flipped[header().size() + 20] ^ 1;
    QTest::newRow("one byte changed in a line")
        << flipped << true << QList<int>{int(State::Pending)} << false;
    QTest::newRow("marks of unknown and failed moves")
        << header() + mark("done", 7) + move(1) + mark("failed", 1) + mark("restored", 1) +
               mark("done", 1)
        << true << QList<int>{int(State::Failed)} << false;
    QTest::newRow("one number twice: the first kept")
        << header() + move(1, "a.eml") + move(1, "b.eml") + mark("done", 1) << true
        << QList<int>{int(State::Done)} << false;
    QTest::newRow("a move whose name climbs out of its folder")
        << header() + move(1, "../x") + move(2, "..") << true << QList<int>{} << false;
    QTest::newRow("garbage after the header")
        << header() + QByteArrayLiteral("\x00\xff\n\n  \nmove 1 2 3\n") << true << QList<int>{}
        << false;
    QTest::newRow("empty file") << QByteArray() << false << QList<int>{} << false;
    QTest::newRow("header cut") << header().left(20) << false << QList<int>{} << false;
    QTest::newRow("another version")
        << MoveJournal::line({"twindrop-journal", "2", "1700000000000", b64("/mails")}) + move(1)
        << false << QList<int>{} << false;
    QTest::newRow("not a journal")
        << QByteArray("[Trash Info]\nPath=/a\n") << false << QList<int>{} << false;
}

void TestMoveJournal::readBack()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    QFETCH(QList<int>, states);
    QFETCH(bool, closed);
    const JournalContents contents = MoveJournal::parse(bytes);
    QCOMPARE(contents.valid, valid);
    QList<int> read;
    for (const JournalMove& m : contents.moves)
        read.append(int(m.state));
    QCOMPARE(read, states);
    QCOMPARE(contents.closed, closed);
    if (valid) {
        QCOMPARE(contents.folder, QByteArray("/mails"));
        QCOMPARE(contents.started.toMSecsSinceEpoch(), 1700000000000);
    }
}

void TestMoveJournal::madeAtTheFirstMoveOnly()
{
    TempFolder mails;
    mails.write(QStringLiteral("a.eml"), "text");
    const int fd = ::open(QFile::encodeName(mails.path()).constData(), O_PATH | O_DIRECTORY);
    QVERIFY(fd >= 0);
    MoveJournal journal;
    journal.begin(mails.path());
    journal.end();
    QVERIFY(MoveJournal::journals().isEmpty());

    journal.begin(mails.path());
    QString why;
    QVERIFY(journal.aboutToMove(fd, "a.eml", "b.eml", "/trash", "a.eml", &why));
    journal.moved();
    QCOMPARE(MoveJournal::journals(), QStringList{journal.path()});
    QVERIFY(journal.path().startsWith(m_state->path() + QStringLiteral("/twindrop/")));
    const JournalContents contents = MoveJournal::read(journal.path());
    QCOMPARE(contents.moves.size(), 1);
    const JournalMove& m = contents.moves[0];
    struct stat st;
    QCOMPARE(::fstatat(fd, "a.eml", &st, 0), 0);
    QCOMPARE(m.inode, quint64(st.st_ino));
    QCOMPARE(m.size, 4);
    QCOMPARE(m.originalPath(), QFile::encodeName(mails.path()) + "/a.eml");
    QCOMPARE(m.reference, QByteArray("b.eml"));
    QCOMPARE(m.state, State::Done);
    ::close(fd);
}

void TestMoveJournal::keepsTheNewestScans()
{
    TempFolder mails;
    mails.write(QStringLiteral("a.eml"), "text");
    const int fd = ::open(QFile::encodeName(mails.path()).constData(), O_PATH | O_DIRECTORY);
    QStringList made;
    for (int scan = 0; scan < MoveJournal::kKept + 5; ++scan) {
        MoveJournal journal;
        journal.begin(mails.path());
        QVERIFY(journal.aboutToMove(fd, "a.eml", "b.eml", "/trash", "a.eml", nullptr));
        made.append(journal.path());
    }
    ::close(fd);
    QCOMPARE(MoveJournal::journals(), made.mid(5));
}

void TestMoveJournal::moveNotRecordedDoesNotHappen()
{
    // The state folder cannot be made: a file stands where it would go.
    TempFolder data;
    QVERIFY(QFile::remove(m_state->path()) || QDir(m_state->path()).removeRecursively());
    TempFolder blocker;
    const QString blocked = blocker.write(QStringLiteral("state"), "not a folder");
    qputenv("XDG_STATE_HOME", QFile::encodeName(blocked));
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    TempFolder mails;
    mails.write(QStringLiteral("a.eml"), "text");
    const int fd = ::open(QFile::encodeName(mails.path()).constData(), O_PATH | O_DIRECTORY);

    MoveJournal journal;
    journal.begin(mails.path());
    QString reason;
    const bool moved = SendToRecycleBinAt(
        fd, mails.path(), "a.eml", TrashVerify(), &reason, nullptr,
        [&](const QByteArray& root, const QByteArray& trashName, QString* why) {
            return journal.aboutToMove(fd, "a.eml", "b.eml", root, trashName, why);
        });
    ::close(fd);
    qunsetenv("XDG_DATA_HOME");
    QVERIFY(!moved);
    QVERIFY2(reason.startsWith(QStringLiteral("Le journal des déplacements ne peut pas être "
                                              "écrit")),
             qPrintable(reason));
    QVERIFY(QFile::exists(mails.filePath(QStringLiteral("a.eml"))));
    QCOMPARE(QDir(data.path() + QStringLiteral("/Trash/info")).entryList(QDir::Files),
             QStringList());
    QCOMPARE(QDir(data.path() + QStringLiteral("/Trash/files")).entryList(QDir::Files),
             QStringList());
}

QTEST_GUILESS_MAIN(TestMoveJournal)
#include "tst_movejournal.moc"
