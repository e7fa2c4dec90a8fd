#include "base/Errors.h"
#include "scan/TextCodec.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (int v : values)
        result.append(char(v));
    return result;
}

QByteArray utf16(const QString& text, bool bigEndian)
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

const QString kFrench = QStringLiteral("L'œuvre coûte 5 € à Noël,\ndéjà payé.\r\nÇa suffit !");
const QByteArray kUtf8Mark = bytes({0xEF, 0xBB, 0xBF});

enum class Fixture { Missing, Folder, Fifo, TwoGiB, NameWithNul, UnencodableName, NameWithBreaks };

} // namespace

Q_DECLARE_METATYPE(Fixture)

class TestTextCodec : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    int m_files = 0;

    QString write(const QByteArray& content)
    {
        const QString path = m_dir.filePath(QStringLiteral("f%1.txt").arg(++m_files));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot write a fixture file");
        return path;
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_dir.isValid());
    }

    void loadAndCompare_data()
    {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<bool>("equal");
        // The text the first file loads as; a null string skips the check.
        QTest::addColumn<QString>("firstText");

        // Windows-1252 form of kFrench, written out so that the test does not use the decoder.
        const QByteArray frenchWindows = QByteArray("L'") + char(0x9C) + "uvre co" + char(0xFB) +
                                         "te 5 " + char(0x80) + " " + char(0xE0) + " No" +
                                         char(0xEB) + "l,\nd" + char(0xE9) + "j" + char(0xE0) +
                                         " pay" + char(0xE9) + ".\r\n" + char(0xC7) + "a suffit !";
        const QByteArray frenchUtf8 = kFrench.toUtf8();
        const QString frenchLoaded =
            QStringLiteral("L'œuvre coûte 5 € à Noël,\r\ndéjà payé.\r\nÇa suffit !");

        QTest::newRow("empty files are equal") << QByteArray() << QByteArray() << true << "";
        QTest::newRow("UTF-8 mark alone is empty") << kUtf8Mark << QByteArray() << true << "";
        QTest::newRow("UTF-16 LE mark alone is empty")
            << bytes({0xFF, 0xFE}) << QByteArray() << true << "";
        QTest::newRow("UTF-16 BE mark alone is empty")
            << bytes({0xFE, 0xFF}) << QByteArray() << true << "";
        QTest::newRow("EF BB alone is 8-bit text")
            << bytes({0xEF, 0xBB}) << QByteArray() << false << QStringLiteral("ï»");
        QTest::newRow("case and line-break convention are ignored")
            << QByteArray("ABC\r\n") << QByteArray("abc\n") << true << QStringLiteral("ABC\r\n");
        QTest::newRow("another letter differs")
            << QByteArray("abc") << QByteArray("abd") << false << QString();
        QTest::newRow("a final line break differs")
            << QByteArray("abc") << QByteArray("abc\r\n") << false << QString();
        QTest::newRow("lone CR is a line break")
            << QByteArray("a\rb") << QByteArray("a\nb") << true << QStringLiteral("a\r\nb");
        QTest::newRow("LF CR gives two line breaks")
            << QByteArray("a\n\rb") << QByteArray("a\r\n\r\nb") << true
            << QStringLiteral("a\r\n\r\nb");
        QTest::newRow("CR CR LF gives two line breaks")
            << QByteArray("a\r\r\nb") << QByteArray("a\n\nb") << true
            << QStringLiteral("a\r\n\r\nb");
        QTest::newRow("FF FE 00 00 keeps its NUL")
            << bytes({0xFF, 0xFE, 0x00, 0x00}) << QByteArray() << false << QString(QChar(0));
        // The odd last byte of a UTF-16 file is kept as CR and U+DC00 plus the byte.
        const QString oddB = QStringLiteral("\r") + QChar(char16_t(0xDC42));
        QTest::newRow("UTF-16 LE odd byte after text is kept")
            << bytes({0xFF, 0xFE, 'A', 0, 'B'}) << bytes({0xFF, 0xFE, 'A', 0, 'C'}) << false
            << "A" + oddB;
        QTest::newRow("UTF-16 BE odd byte after text is kept")
            << bytes({0xFE, 0xFF, 0, 'A', 'B'}) << bytes({0xFE, 0xFF, 0, 'A', 'C'}) << false
            << "A" + oddB;
        QTest::newRow("UTF-16 LE odd byte alone differs from empty")
            << bytes({0xFF, 0xFE, 'B'}) << QByteArray() << false << oddB;
        QTest::newRow("UTF-16 BE odd byte alone differs from empty")
            << bytes({0xFE, 0xFF, 'B'}) << QByteArray() << false << oddB;
        QTest::newRow("UTF-16 LE odd byte differs from the text in UTF-8")
            << bytes({0xFF, 0xFE, 'A', 0, 'B'}) << QByteArray("a") << false << QString();
        QTest::newRow("UTF-16 BE odd byte differs from the text in UTF-8")
            << bytes({0xFE, 0xFF, 0, 'A', 'B'}) << kUtf8Mark + "A" << false << QString();
        QTest::newRow("UTF-16 LE odd byte differs from the same text without it")
            << bytes({0xFF, 0xFE, 'A', 0, 'B'}) << bytes({0xFF, 0xFE, 'A', 0}) << false
            << QString();
        QTest::newRow("UTF-16 BE odd byte differs from the same text without it")
            << bytes({0xFE, 0xFF, 0, 'A', 'B'}) << bytes({0xFE, 0xFF, 0, 'A'}) << false
            << QString();
        QTest::newRow("UTF-16 odd byte is the same in LE and BE")
            << bytes({0xFF, 0xFE, 'A', 0, 'B'}) << bytes({0xFE, 0xFF, 0, 'a', 'B'}) << true
            << QString();
        QTest::newRow("even UTF-16 body holding CR and U+DC42 differs from the odd byte")
            << bytes({0xFF, 0xFE, 'A', 0, 0x0D, 0, 0x42, 0xDC}) << bytes({0xFF, 0xFE, 'A', 0, 'B'})
            << false << QStringLiteral("A\r\n") + QChar(char16_t(0xDC42));
        // U+D801 U+DC00 would pair into a capital that folds to U+D801 U+DC28.
        QTest::newRow("odd bytes after a high surrogate stay distinct")
            << bytes({0xFF, 0xFE, 0x01, 0xD8, 0x00}) << bytes({0xFF, 0xFE, 0x01, 0xD8, 0x28})
            << false << QString();
        QTest::newRow("UTF-16 LE equals UTF-8 with mark")
            << utf16(kFrench, false) << kUtf8Mark + frenchUtf8 << true << frenchLoaded;
        QTest::newRow("UTF-16 BE equals UTF-16 LE")
            << utf16(kFrench, true) << utf16(kFrench, false) << true << frenchLoaded;
        QTest::newRow("Windows-1252 equals UTF-8 with mark")
            << frenchWindows << kUtf8Mark + frenchUtf8 << true << frenchLoaded;
        QTest::newRow("unmarked UTF-8 equals UTF-8 with mark")
            << frenchUtf8 << kUtf8Mark + frenchUtf8 << true << frenchLoaded;
        QTest::newRow("accented capitals equal small letters")
            << QStringLiteral("ÇA ÉTÉ Œ").toUtf8() << QStringLiteral("ça été œ").toUtf8() << true
            << QString();
        // A long run of ß folds to more than ICU's first guess at the folded length.
        QTest::newRow("sharp s folds to ss")
            << (QStringLiteral("Straße ") + QStringLiteral("ß").repeated(100)).toUtf8()
            << "STRASSE " + QByteArray("SS").repeated(100) << true << QString();
        QTest::newRow("an accent differs")
            << QStringLiteral("déjà").toUtf8() << QByteArray("deja") << false << QString();
        QTest::newRow("another accent differs")
            << QStringLiteral("é").toUtf8() << QStringLiteral("è").toUtf8() << false << QString();
        QTest::newRow("text after a NUL counts")
            << QByteArray("abc\0def", 7) << QByteArray("abc\0xyz", 7) << false
            << QString::fromLatin1("abc\0def", 7);
        QTest::newRow("a trailing NUL counts")
            << QByteArray("abc\0", 4) << QByteArray("abc") << false << QString();
        QTest::newRow("a control character counts")
            << QByteArray("abc\x01") << QByteArray("abc") << false << QString();
        QTest::newRow("invalid UTF-8 after the mark is not empty")
            << kUtf8Mark + QByteArray("caf\xE9") << QByteArray() << false << QStringLiteral("café");
        QTest::newRow("invalid UTF-8 after the mark equals its Windows-1252 form")
            << kUtf8Mark + QByteArray("caf\xE9") << QByteArray("CAF\xC9") << true << QString();
        QTest::newRow("a second mark is text")
            << kUtf8Mark + kUtf8Mark + "a" << QByteArray("a") << false << QStringLiteral("\uFEFFa");
        QTest::newRow("bytes undefined in Windows-1252 stay distinct")
            << bytes({0x81}) << bytes({0x8D}) << false << QStringLiteral("\u0081");
        QTest::newRow("overlong UTF-8 is 8-bit text")
            << bytes({0xC0, 0xAF}) << QByteArray() << false << QStringLiteral("À¯");
        QTest::newRow("an encoded surrogate is 8-bit text")
            << bytes({0xED, 0xA0, 0x80}) << QByteArray() << false << QStringLiteral("í\u00A0€");
        QTest::newRow("a cut UTF-8 sequence at the end is 8-bit text")
            << QByteArray("caf\xC3") << QByteArray() << false << QStringLiteral("cafÃ");
        QTest::newRow("four-byte UTF-8 gives a surrogate pair")
            << bytes({0xF0, 0x9F, 0x98, 0x80}) << utf16(QStringLiteral("\U0001F600"), true) << true
            << QStringLiteral("\U0001F600");
    }

    void loadAndCompare()
    {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(bool, equal);
        QFETCH(QString, firstText);

        const QString a = LoadTextFile(write(first));
        const QString b = LoadTextFile(write(second));
        if (!firstText.isNull())
            QCOMPARE(a, firstText);
        QCOMPARE(TextsEqual(a, b), equal);
        QCOMPARE(TextsEqual(b, a), equal);
    }

    void turkicFolding_data()
    {
        QTest::addColumn<QString>("reference");
        QTest::addColumn<QString>("candidate");
        QTest::addColumn<bool>("turkic");
        QTest::addColumn<bool>("equal");
        QTest::newRow("Turkic I is dotless i") << "KIŞ"
                                               << "kış" << true << true;
        QTest::newRow("Turkic I is not i") << "KIŞ"
                                           << "kiş" << true << false;
        QTest::newRow("Turkic dotted I is i") << "İSTANBUL"
                                              << "istanbul" << true << true;
        QTest::newRow("otherwise I is i") << "KIŞ"
                                          << "kiş" << false << true;
        QTest::newRow("otherwise I is not dotless i") << "KIŞ"
                                                      << "kış" << false << false;
    }

    void turkicFolding()
    {
        QFETCH(QString, reference);
        QFETCH(QString, candidate);
        QFETCH(bool, turkic);
        QFETCH(bool, equal);
        QCOMPARE(TextsEqual(reference, candidate, turkic), equal);
    }

    void turkicLocales_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("turkic");
        QTest::newRow("Turkish") << "tr_TR" << true;
        QTest::newRow("Azeri") << "az_AZ" << true;
        QTest::newRow("French") << "fr_FR" << false;
        QTest::newRow("English") << "en_US" << false;
    }

    void turkicLocales()
    {
        QFETCH(QString, locale);
        QFETCH(bool, turkic);
        QCOMPARE(IsTurkicLocale(QLocale(locale)), turkic);
    }

    void refused_data()
    {
        QTest::addColumn<Fixture>("fixture");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing file")
            << Fixture::Missing << "Le fichier ou le dossier n'existe pas.";
        QTest::newRow("folder") << Fixture::Folder << "Il s'agit d'un dossier.";
        QTest::newRow("FIFO, without blocking")
            << Fixture::Fifo << "Ce n'est pas un fichier ordinaire.";
        QTest::newRow("2 GiB file") << Fixture::TwoGiB << "Le fichier fait 2 Go ou plus.";
        QTest::newRow("name with a NUL")
            << Fixture::NameWithNul << "Le nom du fichier ne peut pas être codé pour le système.";
        QTest::newRow("name the file system cannot encode")
            << Fixture::UnencodableName
            << "Le nom du fichier ne peut pas être codé pour le système.";
        QTest::newRow("name with line breaks cannot forge lines of the message")
            << Fixture::NameWithBreaks << "Le fichier ou le dossier n'existe pas.";
    }

    void refused()
    {
        QFETCH(Fixture, fixture);
        QFETCH(QString, reason);
        const QString folder = m_dir.filePath(QStringLiteral("refused%1").arg(++m_files));
        QVERIFY(QDir().mkpath(folder));
        QString path = folder + QStringLiteral("/file.txt");
        switch (fixture) {
        case Fixture::Missing:
            break;
        case Fixture::Folder:
            path = folder;
            break;
        case Fixture::Fifo:
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
            break;
        case Fixture::TwoGiB: {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.resize(qint64(1) << 31));
            break;
        }
        case Fixture::NameWithNul: {
            // Without the check the name would open the file that its first part names.
            const QString target = write("secret");
            path = target + QChar(0) + QStringLiteral("x");
            break;
        }
        case Fixture::UnencodableName: {
            // A lone surrogate encodes lossily; the file under the lossy name must not be read.
            path = folder + QStringLiteral("/a") + QChar(0xD800) + QStringLiteral(".txt");
            QFile file(QFile::decodeName(QFile::encodeName(path)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("other file");
            break;
        }
        case Fixture::NameWithBreaks:
            path = folder + QStringLiteral("/a\r\nb\x7F.txt");
            break;
        }
        // Dialogs show a name's control characters as their visible symbols.
        QString shown = path;
        shown.replace(QChar(0), QChar(0x2400))
            .replace(QLatin1Char('\r'), QChar(0x240D))
            .replace(QLatin1Char('\n'), QChar(0x240A))
            .replace(QChar(0x7F), QChar(0x2421));
        try {
            ReadFileBytes(path);
            QFAIL("the file was read");
        } catch (const base::EFOpenError& error) {
            QCOMPARE(
                error.message(),
                QStringLiteral("Impossible d'ouvrir le fichier \"%1\". %2").arg(shown, reason));
        }
    }

    void readsExactlyWhatIsThere_data()
    {
        QTest::addColumn<qint64>("sizeHint");
        QTest::newRow("file shorter than its size said") << qint64(100000);
        QTest::newRow("file longer than its size said") << qint64(0);
        QTest::newRow("size as said") << qint64(40000);
    }

    void readsExactlyWhatIsThere()
    {
        QFETCH(qint64, sizeHint);
        QByteArray content(40000, 'x');
        for (int i = 0; i < content.size(); i += 7)
            content[i] = char('a' + i % 26);
        const QString path = write(content);
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        QVERIFY(fd >= 0);
        const QByteArray read = ReadDescriptor(fd, sizeHint, path);
        ::close(fd);
        QCOMPARE(read, content);
    }
};

QTEST_GUILESS_MAIN(TestTextCodec)
#include "tst_textcodec.moc"
