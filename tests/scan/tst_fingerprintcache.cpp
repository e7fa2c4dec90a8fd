// The fingerprint cache between runs: a file read back spares reading unchanged files; anything
// but a whole file of this version is ignored and then replaced; a changed stamp, even on a reused
// inode, is never taken for the same file.
#include "CountingIndex.h"
#include "scan/FingerprintIndex.h"
#include "support/ScratchMount.h"
#include "support/TempFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QStandardPaths>
#include <QtEndian>
#include <QTest>

#include <xxhash.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        QFAIL("cannot write");
}

// The file's own checksum made right again after a change, so that only the change is judged.
QByteArray resealed(QByteArray bytes)
{
    const qsizetype body = bytes.size() - 8;
    const quint64 sum = qToLittleEndian(quint64(XXH3_64bits(bytes.constData(), size_t(body))));
    std::memcpy(bytes.data() + body, &sum, 8);
    return bytes;
}

const QByteArray kMagic("twindrop-fingerprints\n", 22);

} // namespace

class TestFingerprintCache : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void unchangedFilesAreNotReadAgain();
    void damagedFilesIgnoredThenReplaced_data();
    void damagedFilesIgnoredThenReplaced();
    void unseenEntriesDropped();
    void boundedInSize();
    void reusedInodeNeverReusesAFingerprint();
    void writtenOnlyWhenSomethingChanged();
};

void TestFingerprintCache::unchangedFilesAreNotReadAgain()
{
    TempFolder mails;
    const QStringList paths{mails.write("a.eml", "From: a\r\n\r\nsame\r\n"),
                            // Read back under its exact name, a pair of surrogates included.
                            mails.write("b é\U0001F600.eml", "FROM: A\r\n\r\nSAME\r\n"),
                            mails.write("c.eml", "other")};
    const QString cache = mails.filePath("cache/fingerprints");
    {
        CountingIndex first;
        first.index.refresh(paths);
        QCOMPARE(first.reads.size(), 3);
        QVERIFY(first.index.save(cache));
    }
    CountingIndex next;
    QVERIFY(next.index.load(cache));
    QCOMPARE(next.index.size(), 3);
    // Changed since: read again; the others are not.
    writeBytes(paths[2], "other, longer");
    next.index.refresh(paths);
    QCOMPARE(next.reads, QStringList{"c.eml"});
    QCOMPARE(next.index.find(paths[0])->print, next.index.find(paths[1])->print);
    QVERIFY(!(next.index.find(paths[2])->print == next.index.find(paths[0])->print));
    QCOMPARE(next.index.find(paths[2])->print,
             Fingerprint::ofFile(QByteArrayView("other, longer")));
}

void TestFingerprintCache::damagedFilesIgnoredThenReplaced_data()
{
    QTest::addColumn<QString>("damage");
    QTest::newRow("one byte changed in an entry") << "corrupt";
    QTest::newRow("cut short") << "truncated";
    QTest::newRow("cut to its header") << "header-only";
    QTest::newRow("another version") << "version";
    QTest::newRow("made under other text rules") << "rules";
    QTest::newRow("a foreign file") << "foreign";
    QTest::newRow("an empty file") << "empty";
    QTest::newRow("a folder in its place") << "folder";
}

void TestFingerprintCache::damagedFilesIgnoredThenReplaced()
{
    QFETCH(QString, damage);
    TempFolder mails;
    const QStringList paths{mails.write("a.eml", "alpha"), mails.write("b.eml", "beta")};
    const QString cache = mails.filePath("fingerprints");
    FingerprintIndex first;
    first.refresh(paths);
    QVERIFY(first.save(cache));
    QByteArray bytes = readBytes(cache);
    QVERIFY(bytes.startsWith(kMagic));

    const qsizetype versionAt = kMagic.size();
    if (damage == "corrupt") {
        bytes[bytes.size() - 30] = char(bytes[bytes.size() - 30] ^ 0x40);
    } else if (damage == "truncated") {
        bytes.chop(13);
    } else if (damage == "header-only") {
        bytes.truncate(versionAt + 4);
    } else if (damage == "version") {
        quint32 version = qFromLittleEndian<quint32>(bytes.constData() + versionAt);
        qToLittleEndian(version + 1, bytes.data() + versionAt);
        bytes = resealed(bytes);
    } else if (damage == "rules") {
        const qsizetype rules = bytes.indexOf("turkic-");
        QVERIFY(rules > 0);
        bytes[rules + 7] = bytes[rules + 7] == '0' ? '1' : '0';
        bytes = resealed(bytes);
    } else if (damage == "foreign") {
        bytes = "SQLite format 3" + QByteArray(200, '\0');
    } else if (damage == "empty") {
        bytes.clear();
    }
    QVERIFY(QFile::remove(cache));
    if (damage == "folder")
        QVERIFY(QDir().mkpath(cache));
    else
        writeBytes(cache, bytes);

    CountingIndex next;
    QVERIFY(!next.index.load(cache));
    QCOMPARE(next.index.size(), 0);
    next.index.refresh(paths);
    QCOMPARE(next.reads.size(), 2);
    if (damage == "folder")
        QVERIFY(QDir(cache).removeRecursively());
    // Replaced by a whole one.
    QVERIFY(next.index.save(cache));
    FingerprintIndex third;
    QVERIFY(third.load(cache));
    QCOMPARE(third.size(), 2);
}

void TestFingerprintCache::unseenEntriesDropped()
{
    TempFolder mails;
    const QStringList paths{mails.write("a.eml", "alpha"), mails.write("b.eml", "beta")};
    FingerprintIndex index;
    index.refresh(paths);
    QHash<QString, FingerprintIndex::Entry> entries;
    for (const QString& path : paths)
        entries.insert(path, *index.find(path));
    entries[paths[0]].seenSecs -= FingerprintIndex::kCacheKeepSecs - 3600;
    entries[paths[1]].seenSecs -= FingerprintIndex::kCacheKeepSecs + 3600;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    QHash<QString, FingerprintIndex::Entry> read;
    QVERIFY(FingerprintIndex::decode(FingerprintIndex::encode(entries, now), &read, now));
    QCOMPARE(read.keys(), QStringList{paths[0]});
    // Read again later, it has gone too.
    QVERIFY(
        FingerprintIndex::decode(FingerprintIndex::encode(entries, now), &read, now + 2 * 3600));
    QCOMPARE(read.size(), 0);
}

void TestFingerprintCache::boundedInSize()
{
    // Entries of long paths, more than the bound holds; the most recently seen are the ones kept.
    FingerprintIndex::Entry entry;
    entry.stamp.size = 10;
    entry.stamp.regular = true;
    entry.print = Fingerprint::of(QStringLiteral("text"));
    entry.textLength = 4;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const QString longName(2000, QLatin1Char('n'));
    const int count = int(FingerprintIndex::kCacheMaxBytes / 4000) + 1000;
    QHash<QString, FingerprintIndex::Entry> entries;
    entries.reserve(count);
    for (int i = 0; i < count; ++i) {
        entry.stamp.inode = quint64(i);
        entry.seenSecs = now - i;
        entries.insert(QStringLiteral("/m/%1/").arg(i, 6, 10, QLatin1Char('0')) + longName, entry);
    }
    const QByteArray bytes = FingerprintIndex::encode(entries, now);
    QVERIFY(bytes.size() <= FingerprintIndex::kCacheMaxBytes);
    QVERIFY(bytes.size() > FingerprintIndex::kCacheMaxBytes - 8000);
    QHash<QString, FingerprintIndex::Entry> read;
    QVERIFY(FingerprintIndex::decode(bytes, &read, now));
    QVERIFY(read.size() < count);
    for (auto it = read.cbegin(); it != read.cend(); ++it)
        QVERIFY(it->stamp.inode < quint64(read.size()));
}

void TestFingerprintCache::reusedInodeNeverReusesAFingerprint()
{
    TempFolder scratch;
    const QString mountPoint = scratch.filePath("mnt");
    const QString cache = scratch.filePath("fingerprints");
    const QString path = mountPoint + "/a.eml";
    struct stat before;
    {
        ScratchMount mount(mountPoint, 256);
        if (!mount.isMounted())
            QSKIP(qPrintable("no tmpfs to mount: " + mount.error()));
        writeBytes(path, "first text");
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &before), 0);
        // On this thread: the pool's threads may have started before this mount namespace.
        FingerprintIndex index;
        index.update(path);
        QVERIFY(index.save(cache));
    }
    ScratchMount again(mountPoint, 256);
    QVERIFY(again.isMounted());
    // Another text of the same size, with the same modification time as the first.
    writeBytes(path, "other text");
    const timespec times[2] = {before.st_atim, before.st_mtim};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
    struct stat after;
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &after), 0);
    if (after.st_dev != before.st_dev || after.st_ino != before.st_ino)
        qInfo("the new file system gave another device or inode; only the stamp is compared");
    QCOMPARE(after.st_size, before.st_size);

    CountingIndex next;
    QVERIFY(next.index.load(cache));
    QCOMPARE(next.index.size(), 1);
    QCOMPARE(next.index.update(path).print, Fingerprint::ofFile(QByteArrayView("other text")));
    QCOMPARE(next.reads, QStringList{"a.eml"});
}

// Each save makes a new file that replaces the old one, so its inode tells whether it was written.
void TestFingerprintCache::writtenOnlyWhenSomethingChanged()
{
    TempFolder mails;
    const QStringList paths{mails.write("a.eml", "alpha"), mails.write("b.eml", "beta")};
    const QString cache = mails.filePath("cache/fingerprints");
    auto inode = [&] {
        struct stat st;
        return ::stat(QFile::encodeName(cache).constData(), &st) == 0 ? st.st_ino : ino_t(0);
    };
    FingerprintIndex index;
    index.refresh(paths);
    QVERIFY(index.saveIfChanged(cache));
    const ino_t first = inode();
    QVERIFY(first != 0);
    index.refresh(paths);
    QVERIFY(index.saveIfChanged(cache));
    QCOMPARE(inode(), first);
    writeBytes(paths[1], "beta, changed");
    index.refresh(paths);
    QVERIFY(index.saveIfChanged(cache));
    const ino_t second = inode();
    QVERIFY(second != first);
    // No temporary file is left beside it.
    QCOMPARE(QDir(mails.filePath("cache")).entryList(QDir::Files), QStringList{"fingerprints"});

    // Read back by another run, nothing is new; seen again days later, the seen time is kept.
    FingerprintIndex next;
    QVERIFY(next.load(cache));
    next.refresh(paths);
    QVERIFY(next.saveIfChanged(cache));
    QCOMPARE(inode(), second);
    QHash<QString, FingerprintIndex::Entry> entries;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    QVERIFY(FingerprintIndex::decode(readBytes(cache), &entries, now));
    for (auto& entry : entries)
        entry.seenSecs -= 2 * FingerprintIndex::kSeenStepSecs;
    writeBytes(cache, FingerprintIndex::encode(entries, now));
    FingerprintIndex later;
    QVERIFY(later.load(cache));
    later.refresh(paths);
    QVERIFY(later.saveIfChanged(cache));
    QVERIFY(FingerprintIndex::decode(readBytes(cache), &entries, now));
    QCOMPARE(entries.size(), 2);
    for (const auto& entry : std::as_const(entries))
        QVERIFY(entry.seenSecs >= now - 60);

    // A file gone from the folder leaves the cache once. Found gone again, as a moved duplicate
    // is at every later scan, or never there at all, it changes nothing.
    const ino_t third = inode();
    QVERIFY(QFile::remove(paths[0]));
    QVERIFY(later.update(paths[0]).missing);
    QVERIFY(later.saveIfChanged(cache));
    const ino_t fourth = inode();
    QVERIFY(fourth != third);
    QVERIFY(later.update(paths[0]).missing);
    QVERIFY(later.update(mails.filePath("never.eml")).missing);
    QVERIFY(later.saveIfChanged(cache));
    QCOMPARE(inode(), fourth);
}

QTEST_GUILESS_MAIN(TestFingerprintCache)
#include "tst_fingerprintcache.moc"
