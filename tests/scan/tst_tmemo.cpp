#include "base/Errors.h"
#include "scan/TMemo.h"
#include "support/TempFolder.h"

#include <QStandardPaths>
#include <QTextDocument>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

enum class Failure { MissingFile, Fifo, BeyondCapacity };

// Each character of keys is one key press: '\n' Return, '\b' Backspace, '\x7f' Delete.
void press(QWidget* widget, const QString& keys)
{
    for (QChar c : keys) {
        if (c == u'\n')
            QTest::keyClick(widget, Qt::Key_Return);
        else if (c == u'\b')
            QTest::keyClick(widget, Qt::Key_Backspace);
        else if (c == u'\x7f')
            QTest::keyClick(widget, Qt::Key_Delete);
        else
            QTest::keyClicks(widget, QString(c));
    }
}

} // namespace

Q_DECLARE_METATYPE(Failure)

class TestTMemo : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void startsWithOneEmptyLine()
    {
        TMemo memo;
        QCOMPARE(memo.text(), QStringLiteral("\r\n"));
    }

    void loadKeepsNulAndShowsIt()
    {
        TempFolder folder;
        TMemo memo;
        memo.LoadFromFile(folder.write("a.txt", QByteArray("ab\0cd\nef", 8)));
        QCOMPARE(memo.text(), QString::fromLatin1("ab\0cd\r\nef", 9));
        QCOMPARE(memo.document()->toPlainText(), QStringLiteral("ab\u2400cd\nef"));
    }

    void loadKeepsOddByteAndShowsIt()
    {
        TempFolder folder;
        TMemo memo;
        memo.LoadFromFile(folder.write("a.txt", QByteArray("\xFF\xFE"
                                                           "a\0\n\0b\0"
                                                           "C",
                                                           9)));
        QCOMPARE(memo.text(), QStringLiteral("a\r\nb\r") + QChar(char16_t(0xDC43)));
        QCOMPARE(memo.document()->toPlainText(), QStringLiteral("a\nb\uFFFD"));
    }

    void sameTextIsNotHandedAgain()
    {
        TempFolder folder;
        TMemo memo;
        memo.LoadFromFile(folder.write("a.txt", "Objet : essai\r\n\r\nBonjour"));
        const int handed = memo.textSetCount();
        memo.LoadFromFile(folder.filePath("a.txt"));
        // The same text in another line-break convention is the same text once loaded.
        memo.LoadFromFile(folder.write("b.txt", "Objet : essai\n\nBonjour"));
        QCOMPARE(memo.textSetCount(), handed);
        memo.LoadFromFile(folder.write("c.txt", "objet : essai\n\nBonjour"));
        QCOMPARE(memo.textSetCount(), handed + 1);
    }

    void failedLoadKeepsText_data()
    {
        QTest::addColumn<Failure>("failure");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing file") << Failure::MissingFile
                                      << "Impossible d'ouvrir le fichier \"%1\". Le fichier ou le "
                                         "dossier n'existe pas.";
        QTest::newRow("FIFO") << Failure::Fifo
                              << "Impossible d'ouvrir le fichier \"%1\". Ce n'est pas un fichier "
                                 "ordinaire.";
        QTest::newRow("beyond capacity")
            << Failure::BeyondCapacity << "Le texte dépasse la capacité du mémo";
    }

    void failedLoadKeepsText()
    {
        QFETCH(Failure, failure);
        QFETCH(QString, message);
        TempFolder folder;
        TMemo memo;
        memo.setText(QStringLiteral("avant\r\n"));
        const int handed = memo.textSetCount();
        QString path = folder.filePath("x.txt");
        if (failure == Failure::Fifo)
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        if (failure == Failure::BeyondCapacity) {
            memo.setCapacity(8);
            folder.write("x.txt", "123456789");
        }
        try {
            memo.LoadFromFile(path);
            QFAIL("the load succeeded");
        } catch (const base::EFOpenError& error) {
            QVERIFY(failure != Failure::BeyondCapacity);
            QCOMPARE(error.message(), message.arg(path));
        } catch (const base::EInvalidOperation& error) {
            QCOMPARE(failure, Failure::BeyondCapacity);
            QCOMPARE(error.message(), message);
        }
        QCOMPARE(memo.text(), QStringLiteral("avant\r\n"));
        QCOMPARE(memo.document()->toPlainText(), QStringLiteral("avant\n"));
        QCOMPARE(memo.textSetCount(), handed);
        QVERIFY(memo.updatesEnabled());
    }

    void capacityCountsTextNotBytes_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("capacity");
        QTest::addColumn<bool>("loads");
        QTest::newRow("line breaks take it to the capacity") << QByteArray("abc\n") << 5 << true;
        QTest::newRow("line breaks take it past the capacity")
            << QByteArray("abcd\n") << 5 << false;
        QTest::newRow("three-byte characters fit where their bytes would not")
            << QStringLiteral("€€€").toUtf8() << 3 << true;
        QTest::newRow("its size alone shows it is too long") << QByteArray(30, 'x') << 9 << false;
        QTest::newRow("the odd-byte mark takes it past the capacity") << QByteArray("\xFF\xFE"
                                                                                    "a\0b",
                                                                                    5)
                                                                      << 2 << false;
    }

    void capacityCountsTextNotBytes()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, capacity);
        QFETCH(bool, loads);
        TempFolder folder;
        TMemo memo;
        memo.setCapacity(capacity);
        const QString path = folder.write("a.txt", content);
        if (loads) {
            memo.LoadFromFile(path);
            QCOMPARE(memo.text(), LoadTextFile(path));
        } else {
            QVERIFY_THROWS_EXCEPTION(base::EInvalidOperation, memo.LoadFromFile(path));
            QCOMPARE(memo.text(), QStringLiteral("\r\n"));
        }
    }

    void sparseFileBeyondCapacityIsRefused()
    {
        TempFolder folder;
        const QString path = folder.write("big.eml", QByteArray());
        // Its size alone shows that its text cannot fit: it is refused without being read.
        if (::truncate(QFile::encodeName(path).constData(), off_t(700) * 1000 * 1000) != 0)
            QSKIP("the temporary folder's file system cannot hold a sparse file of 700 MB");
        TMemo memo;
        QString message;
        try {
            memo.LoadFromFile(path);
        } catch (const base::EInvalidOperation& error) {
            message = error.message();
        }
        QCOMPARE(message, QStringLiteral("Le texte dépasse la capacité du mémo"));
        QCOMPARE(memo.text(), QStringLiteral("\r\n"));
    }

    void wrappingAddsNothing()
    {
        TMemo memo;
        const QString line = QStringLiteral("mot ").repeated(200);
        memo.setText(line + QStringLiteral("\r\nfin"));
        memo.resize(120, 300);
        memo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&memo));
        QVERIFY(memo.document()->documentLayout()->documentSize().height() > 3);
        QCOMPARE(memo.text(), line + QStringLiteral("\r\nfin"));
    }

    void userEdits_data()
    {
        QTest::addColumn<QString>("initial");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("expected");
        QTest::newRow("typing at the end") << "ab\r\ncd" << 5 << "x"
                                           << "ab\r\ncdx";
        QTest::newRow("Return gives CR LF") << "ab\r\ncd" << 5 << "\ny"
                                            << "ab\r\ncd\r\ny";
        QTest::newRow("Backspace removes a whole CR LF") << "ab\r\ncd" << 3 << "\b"
                                                         << "abcd";
        QTest::newRow("Delete removes a whole CR LF") << "ab\r\ncd" << 2 << "\x7f"
                                                      << "abcd";
        QTest::newRow("typing beside a NUL keeps it")
            << QString::fromLatin1("a\0b", 3) << 1 << "Z" << QString::fromLatin1("aZ\0b", 4);
        QTest::newRow("deleting a NUL removes it") << QString::fromLatin1("a\0b", 3) << 1 << "\x7f"
                                                   << "ab";
        QTest::newRow("typing after a lone LF keeps it") << "a\nb" << 3 << "c"
                                                         << "a\nbc";
        const QString oddByte = QStringLiteral("\r") + QChar(char16_t(0xDC43));
        QTest::newRow("typing after the odd-byte sign keeps its mark") << "a" + oddByte << 2 << "x"
                                                                       << "a" + oddByte + "x";
        QTest::newRow("typing before the odd-byte sign keeps its mark") << "a" + oddByte << 1 << "x"
                                                                        << "ax" + oddByte;
        QTest::newRow("deleting the odd-byte sign removes its mark") << "a" + oddByte << 1 << "\x7f"
                                                                     << "a";
        QTest::newRow("typing a repeated letter") << "aaa\r\naaa" << 2 << "a"
                                                  << "aaaa\r\naaa";
    }

    void userEdits()
    {
        QFETCH(QString, initial);
        QFETCH(int, position);
        QFETCH(QString, keys);
        QFETCH(QString, expected);
        TMemo memo;
        memo.setText(initial);
        QTextCursor cursor = memo.textCursor();
        cursor.setPosition(position);
        memo.setTextCursor(cursor);
        press(&memo, keys);
        QCOMPARE(memo.text(), expected);
    }

    void clearTextEmptiesThePane()
    {
        TMemo memo;
        memo.clearText();
        QCOMPARE(memo.text(), QString());
        QCOMPARE(memo.document()->toPlainText(), QString());
    }
};

QTEST_MAIN(TestTMemo)
#include "tst_tmemo.moc"
