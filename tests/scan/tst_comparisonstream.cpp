#include "base/Errors.h"
#include "scan/ComparisonStream.h"
#include "scan/DescriptorText.h"
#include "scan/FingerprintIndex.h"
#include "scan/TextCodec.h"
#include "support/TempFolder.h"

#include <QRandomGenerator>
#include <QStandardPaths>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

// Files read a few bytes at a time give the same text, length and comparison form as the whole
// content decoded at once, and two files compare as their whole texts would. The oracle is the
// whole-content path (FileText, FoldCase): it shares the UTF-8 checker and the folding of runs
// with the stream, but none of what the stream adds (chunks, carried bytes, the line-break and
// surrogate states across pieces, the choice of decoding made before decoding).

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (int v : values)
        result.append(char(v));
    return result;
}

QByteArray utf16(QStringView text, bool bigEndian)
{
    QByteArray result = bigEndian ? bytes({0xFE, 0xFF}) : bytes({0xFF, 0xFE});
    for (QChar c : text) {
        const char high = char(c.unicode() >> 8);
        const char low = char(c.unicode() & 0xFF);
        result.append(bigEndian ? high : low);
        result.append(bigEndian ? low : high);
    }
    return result;
}

class OpenFile {
public:
    explicit OpenFile(const QString& path, int flags = O_RDONLY)
        : m_path(path), m_fd(::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC))
    {
    }
    ~OpenFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd() const { return m_fd; }
    const QString& path() const { return m_path; }

private:
    QString m_path;
    int m_fd;
};

struct Streamed {
    QString text;
    qint64 length = 0;
};

Streamed readAll(ComparisonStream& stream)
{
    Streamed result;
    for (QStringView piece = stream.next(); !piece.isEmpty(); piece = stream.next())
        result.text += piece;
    result.length = stream.textLength();
    return result;
}

const QList<qsizetype> kChunks{1, 2, 3, 7, ComparisonStream::kChunk};

} // namespace

class TestComparisonStream : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void sameAsWholeContent_data();
    void sameAsWholeContent();
    void randomContentSameAsWholeContent();
    void descriptorTextsEqual_data();
    void descriptorTextsEqual();
    void readErrorNamesTheFile_data();
    void readErrorNamesTheFile();
    void changeBetweenReadings_data();
    void changeBetweenReadings();
    void lengthBoundFromSize_data();
    void lengthBoundFromSize();
    void bigSparseFiles();
};

void TestComparisonStream::sameAsWholeContent_data()
{
    QTest::addColumn<QByteArray>("content");
    const QByteArray mark = bytes({0xEF, 0xBB, 0xBF});
    const QByteArray french = QStringLiteral("Été à Noël : 5 €, œuvre\nﬁn").toUtf8();
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("UTF-8 mark only") << mark;
    QTest::newRow("UTF-16 mark only") << bytes({0xFF, 0xFE});
    QTest::newRow("half a UTF-8 mark is Windows-1252") << bytes({0xEF, 0xBB});
    QTest::newRow("UTF-8 without mark, sequences split everywhere")
        << QByteArray(french + "\xF0\x9D\x90\x80 \xE2\x84\xAA");
    QTest::newRow("UTF-8 with mark") << QByteArray(mark + french);
    QTest::newRow("invalid UTF-8 only after the first chunks: Windows-1252")
        << QByteArray(french.repeated(3) + "\x80\xE9t\xE9");
    QTest::newRow("invalid UTF-8 after the mark: Windows-1252")
        << QByteArray(mark + french + "\xC3");
    QTest::newRow("sequence cut by the end of the file") << QByteArray("abc\xE2\x82");
    QTest::newRow("overlong and surrogate forms")
        << QByteArray("ok\xC0\xAF and \xED\xA0\x80 and \xF4\x90\x80\x80");
    QTest::newRow("UTF-16 LE with odd byte") << QByteArray(utf16(u"Ab\nC", false) + "Z");
    QTest::newRow("UTF-16 BE with odd byte") << QByteArray(utf16(u"Ab\rC", true) + "\x01");
    QTest::newRow("UTF-16 odd byte after a CR and a high surrogate")
        << QByteArray(utf16(u"a\r\xD835", false) + "q");
    const QString pairs = QStringLiteral("x\U0001D400\U0001E900y\U00010400");
    QTest::newRow("UTF-16 LE surrogate pairs, folded across chunks") << utf16(pairs, false);
    QTest::newRow("UTF-16 BE surrogate pairs, folded across chunks") << utf16(pairs, true);
    QTest::newRow("UTF-16 lone surrogates")
        << utf16(QStringView(u"\xDC00 a\xD800\nb\xD801").toString(), false);
    QTest::newRow("UTF-16 ending with a high surrogate") << utf16(u"ab\xD800", true);
    QTest::newRow("CR LF, lone CR, LF CR and CR CR LF")
        << QByteArray("a\r\nb\rc\n\rd\r\r\ne\n\nf\r");
    QTest::newRow("CR at the very end") << QByteArray("abc\r");
    QTest::newRow("UTF-16 CR LF split between units")
        << utf16(QStringView(u"a\r\nb\n\rc\r").toString(), false);
    QTest::newRow("folding that lengthens") << QStringLiteral("STRAẞE Straße ŉ ﬃ ΐ İ").toUtf8();
    QTest::newRow("Turkic letters") << QStringLiteral("KIŞ İSTANBUL ıi Iİ").toUtf8();
    QTest::newRow("NUL characters") << QByteArray("a\0B\0\r\0", 6);
    QByteArray longRun;
    for (int i = 0; i < 40000; ++i)
        longRun += (i % 5 == 0) ? "\r" : (i % 7 == 0) ? "\xF0\x9D\x90\x80" : "\xC3\x89";
    QTest::newRow("more than a slice of units") << QByteArray(longRun + "\n");
}

void TestComparisonStream::sameAsWholeContent()
{
    QFETCH(QByteArray, content);
    TempFolder folder;
    const OpenFile file(folder.write("mail.eml", content));
    QVERIFY(file.fd() >= 0);
    const QString text = FileText(content);
    for (const qsizetype chunk : kChunks) {
        // Small chunks on the long content would only slow the test.
        if (content.size() > 10000 && chunk < 7)
            continue;
        for (const bool turkic : {false, true}) {
            const QString context = QStringLiteral("chunk %1, turkic %2").arg(chunk).arg(turkic);
            ComparisonStream folded(file.fd(), file.path(), chunk, turkic);
            const Streamed form = readAll(folded);
            QVERIFY2(form.text == FoldCase(text, turkic), qPrintable(context));
            QVERIFY2(form.length == text.size(), qPrintable(context));
        }
        ComparisonStream plain(file.fd(), file.path(), chunk, false, false);
        QVERIFY2(readAll(plain).text == text, qPrintable(QString::number(chunk)));
    }
}

void TestComparisonStream::randomContentSameAsWholeContent()
{
    // Texts that, cut anywhere, split sequences, pairs and line breaks, in every encoding; an
    // invalid byte late in an unmarked file changes its decoding after many chunks were checked.
    const QStringList pieces{
        u"a"_qs,          u"Z"_qs,          u"\r"_qs,          u"\n"_qs,
        u"\r\n"_qs,       u"É"_qs,          u"ß"_qs,           u"ẞ"_qs,
        u"\U0001D400"_qs, u"\U0001E900"_qs, u"İ"_qs,           u"I"_qs,
        u"ﬃ"_qs,          u"ΐ"_qs,          QString(20, u'Q'), QString(1, QChar(0))};
    const QStringList loneHalves{QString(1, QChar(0xD800)), QString(1, QChar(0xDC00))};
    QRandomGenerator random(20261210);
    TempFolder folder;
    for (int round = 0; round < 500; ++round) {
        const int encoding = random.bounded(5);
        QString text;
        for (int i = random.bounded(40); i > 0; --i) {
            // Lone halves only where the bytes can hold them: in UTF-16.
            if (encoding >= 3 && random.bounded(8) == 0)
                text += loneHalves[random.bounded(2)];
            else
                text += pieces[random.bounded(int(pieces.size()))];
        }
        QByteArray content;
        switch (encoding) {
        case 0:
            content = text.toUtf8();
            break;
        case 1:
            content = text.toUtf8();
            content.insert(random.bounded(int(content.size()) + 1), "\xFF");
            break;
        case 2:
            content = "\xEF\xBB\xBF" + text.toUtf8();
            break;
        default:
            content = utf16(text, encoding == 4);
            if (random.bounded(2))
                content += char(random.bounded(256));
            break;
        }
        const OpenFile file(folder.write(QStringLiteral("m%1").arg(round), content));
        const qsizetype chunk = 1 + random.bounded(9);
        const bool turkic = random.bounded(4) == 0;
        ComparisonStream stream(file.fd(), file.path(), chunk, turkic);
        const Streamed form = readAll(stream);
        const QString whole = FileText(content);
        QVERIFY2(form.text == FoldCase(whole, turkic),
                 qPrintable(QStringLiteral("round %1, chunk %2: %3")
                                .arg(round)
                                .arg(chunk)
                                .arg(QString::fromLatin1(content.toHex(' ')))));
        QCOMPARE(form.length, whole.size());
    }
}

void TestComparisonStream::descriptorTextsEqual_data()
{
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<bool>("equal");
    const QString mail = QStringLiteral("Objet : Été\nBonjour à tous,\n\U0001D400 fin");
    QTest::newRow("UTF-8 and UTF-16 LE") << mail.toUtf8() << utf16(mail, false) << true;
    QTest::newRow("UTF-16 BE and UTF-8 with mark")
        << utf16(mail, true) << QByteArray("\xEF\xBB\xBF" + mail.toUtf8()) << true;
    QTest::newRow("Windows-1252 and UTF-8")
        << QByteArray("caf\xE9 \x80\r\n") << QStringLiteral("café €\n").toUtf8() << true;
    QTest::newRow("differ only in letter case")
        << QByteArray("BONJOUR STRASSE\n") << QStringLiteral("bonjour straße\r\n").toUtf8() << true;
    QTest::newRow("differ only in the last character")
        << QByteArray(QByteArray(5000, 'x') + "a") << QByteArray(QByteArray(5000, 'x') + "b")
        << false;
    QTest::newRow("one a prefix of the other")
        << QByteArray("Bonjour") << QByteArray("Bonjour !") << false;
    QTest::newRow("the other a prefix of the one")
        << QByteArray("Bonjour\n") << QByteArray("Bonjour") << false;
    QTest::newRow("odd byte against none")
        << QByteArray(utf16(u"ab", false) + "c") << utf16(u"ab", false) << false;
    QTest::newRow("both empty, one with a mark") << QByteArray() << bytes({0xFE, 0xFF}) << true;
    QTest::newRow("accents count") << QByteArray("ete") << QStringLiteral("été").toUtf8() << false;
}

void TestComparisonStream::descriptorTextsEqual()
{
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(bool, equal);
    TempFolder folder;
    const OpenFile fileA(folder.write("a.eml", a));
    const OpenFile fileB(folder.write("b.eml", b));
    // The descriptors' own offsets play no part.
    QCOMPARE(::lseek(fileA.fd(), 3, SEEK_SET), off_t(3));
    QCOMPARE(DescriptorTextsEqual(fileA.fd(), fileA.path(), fileB.fd(), fileB.path()), equal);
    QCOMPARE(DescriptorTextsEqual(fileB.fd(), fileB.path(), fileA.fd(), fileA.path()), equal);
    QCOMPARE(TextsEqual(FileText(a), FileText(b), false), equal);
    // Pieces of different sizes on each side.
    for (const auto& [chunkA, chunkB] : {std::pair<qsizetype, qsizetype>{1, 7}, {3, 2}}) {
        ComparisonStream streamA(fileA.fd(), fileA.path(), chunkA, false);
        ComparisonStream streamB(fileB.fd(), fileB.path(), chunkB, false);
        QCOMPARE(ComparisonStream::sameForm(streamA, streamB), equal);
    }
}

void TestComparisonStream::readErrorNamesTheFile_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("faultInFirst");
    QTest::newRow("a folder's descriptor, first") << "folder" << true;
    QTest::newRow("a descriptor open for writing only, second") << "write-only" << false;
    QTest::newRow("a file of 2 GiB, second") << "2 GiB" << false;
}

void TestComparisonStream::readErrorNamesTheFile()
{
    QFETCH(QString, fault);
    QFETCH(bool, faultInFirst);
    TempFolder folder;
    const OpenFile good(folder.write("good.eml", "Bonjour"));
    QString badPath = folder.write("bad.eml", "Bonjour");
    QString reason;
    int flags = O_RDONLY;
    if (fault == "folder") {
        badPath = folder.path();
        reason = base::EInOutError::systemText(EISDIR);
    } else if (fault == "write-only") {
        flags = O_WRONLY;
        reason = base::EInOutError::systemText(EBADF);
    } else {
        if (::truncate(QFile::encodeName(badPath).constData(), off_t(1) << 31) != 0)
            QSKIP("this file system cannot hold a sparse file of 2 GiB");
        reason = FileTooLargeReason();
    }
    const OpenFile bad(badPath, flags);
    QVERIFY(bad.fd() >= 0);
    QString message;
    try {
        if (faultInFirst)
            DescriptorTextsEqual(bad.fd(), bad.path(), good.fd(), good.path());
        else
            DescriptorTextsEqual(good.fd(), good.path(), bad.fd(), bad.path());
        QFAIL("the comparison succeeded");
    } catch (const base::EFOpenError& error) {
        message = error.message();
    }
    QCOMPARE(message,
             QStringLiteral("Impossible d'ouvrir le fichier \"%1\". %2").arg(badPath, reason));
}

void TestComparisonStream::changeBetweenReadings_data()
{
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QString>("expected");
    // Empty: the read fails, the file having changed.
    QTest::newRow("shortened") << QByteArray("Bonjour à") << QString();
    QTest::newRow("an invalid byte written in place")
        << QByteArray("Bonjour \xE0 tous\n") << QString();
    QTest::newRow("grown: read as far as it was checked")
        << QByteArray("Bonjour à tous\n\xFF\xFF") << u"bonjour à tous\r\n"_qs;
}

void TestComparisonStream::changeBetweenReadings()
{
    QFETCH(QByteArray, after);
    QFETCH(QString, expected);
    TempFolder folder;
    const OpenFile file(folder.write("mail.eml", "Bonjour à tous\n"));
    ComparisonStream stream(file.fd(), file.path(), 4, false);
    // Chooses UTF-8, having read the whole file.
    stream.start();
    {
        QFile again(file.path());
        QVERIFY(again.open(QIODevice::ReadWrite));
        QCOMPARE(again.write(after), after.size());
        QVERIFY(again.resize(after.size()));
    }
    QString message;
    QString text;
    try {
        text = readAll(stream).text;
    } catch (const base::EFOpenError& error) {
        message = error.message();
    }
    if (expected.isNull()) {
        QCOMPARE(message, QStringLiteral("Impossible d'ouvrir le fichier \"%1\". Le fichier a "
                                         "changé pendant sa lecture.")
                              .arg(file.path()));
    } else {
        QCOMPARE(message, QString());
        QCOMPARE(text, expected);
    }
}

void TestComparisonStream::lengthBoundFromSize_data()
{
    // Each content is the shortest text for its size and mark: the bound is reached, never passed.
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("three-byte sequences") << QStringLiteral("€€€€").toUtf8();
    QTest::newRow("three-byte sequences and one byte more")
        << QByteArray(QStringLiteral("€€").toUtf8() + "a");
    QTest::newRow("three-byte sequences and two bytes more")
        << QByteArray(QStringLiteral("€€").toUtf8() + "é");
    QTest::newRow("after the UTF-8 mark")
        << QByteArray("\xEF\xBB\xBF" + QStringLiteral("€€").toUtf8());
    QTest::newRow("UTF-16 even") << utf16(u"abc", false);
    QTest::newRow("UTF-16 odd") << QByteArray(utf16(u"abc", true) + "x");
    QTest::newRow("Windows-1252") << QByteArray("\xFF\xFF\xFF");
    QTest::newRow("empty") << QByteArray();
}

void TestComparisonStream::lengthBoundFromSize()
{
    QFETCH(QByteArray, content);
    const qint64 bound =
        FileTextLengthAtLeast(content.size(), content.first(qMin(3, int(content.size()))));
    QVERIFY(bound <= FileText(content).size());
    if (QTest::currentDataTag() != QLatin1String("Windows-1252"))
        QCOMPARE(bound, FileText(content).size());
}

void TestComparisonStream::bigSparseFiles()
{
    TempFolder folder;
    const qint64 size = qint64(700) * 1000 * 1000;
    QStringList paths;
    for (const char* name : {"big1.eml", "big2.eml"}) {
        const QString path = folder.write(name, QByteArray());
        if (::truncate(QFile::encodeName(path).constData(), off_t(size)) != 0)
            QSKIP("the temporary folder's file system cannot hold a sparse file of 700 MB");
        paths << path;
    }
    // Its size alone shows it is too long for a pane: kept apart without being read through.
    FingerprintIndex index;
    index.refresh(paths);
    const FingerprintIndex::Entry* entry = index.find(paths[0]);
    QVERIFY(entry && !entry->error);
    QCOMPARE(entry->textLength, (size + 2) / 3);
    QVERIFY(entry->textLength > kTextPaneCapacity);
    QCOMPARE(entry->print, Fingerprint{});

    // Fingerprinted and compared through, all 700 million NUL characters.
    const OpenFile a(paths[0]), b(paths[1]);
    ComparisonStream stream(a.fd(), a.path());
    qint64 textLength = 0;
    const Fingerprint print = Fingerprint::ofStream(stream, &textLength);
    QCOMPARE(textLength, size);
    QCOMPARE(print.length, size);
    // Different only in their last byte: both are read through.
    {
        QFile last(paths[1]);
        QVERIFY(last.open(QIODevice::ReadWrite));
        QVERIFY(last.seek(size - 1));
        QCOMPARE(last.write("x", 1), qint64(1));
    }
    QVERIFY(!DescriptorTextsEqual(a.fd(), a.path(), b.fd(), b.path()));
}

QTEST_GUILESS_MAIN(TestComparisonStream)
#include "tst_comparisonstream.moc"
