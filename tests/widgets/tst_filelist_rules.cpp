#include "base/Errors.h"
#include "base/FolderListing.h"
#include "base/MaskMatcher.h"
#include "base/PathRules.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The window-free rules of the file list: mask splitting and matching, name order, folder paths.
class TestFileListRules : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void splitMask_data();
    void splitMask();
    void match_data();
    void match();
    void emptyPatternReachedRaises();
    void letterCaseOneForOne_data();
    void letterCaseOneForOne();
    void sortIgnoresCaseThenCodeUnits_data();
    void sortIgnoresCaseThenCodeUnits();
    void resolveFolder_data();
    void resolveFolder();
    void fullNameHasOneSlash_data();
    void fullNameHasOneSlash();
    void shownName_data();
    void shownName();
};

void TestFileListRules::splitMask_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QStringList>("patterns");
    QTest::newRow("empty mask gives no pattern") << "" << QStringList();
    QTest::newRow("one pattern is upper-cased") << "mail*.eml" << QStringList{"MAIL*.EML"};
    QTest::newRow("pattern then star") << "a*;*" << QStringList{"A*", "*"};
    QTest::newRow("leading semicolon gives an empty first pattern")
        << ";a*" << QStringList{"", "A*"};
    QTest::newRow("final semicolon adds nothing") << "a*;" << QStringList{"A*"};
    QTest::newRow("empty piece between semicolons is kept") << "a;;b" << QStringList{"A", "", "B"};
    QTest::newRow("lone semicolon gives one empty pattern") << ";" << QStringList{""};
    QTest::newRow("accented letters are upper-cased") << "été*" << QStringList{"ÉTÉ*"};
    QTest::newRow("sharp s stays one letter") << "straße*" << QStringList{"STRAßE*"};
}

void TestFileListRules::splitMask()
{
    QFETCH(QString, mask);
    QFETCH(QStringList, patterns);
    QCOMPARE(base::MaskMatcher::splitMask(mask), patterns);
}

void TestFileListRules::match_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("matches");
    QTest::newRow("star alone takes a name without dot") << "*"
                                                         << "README" << true;
    QTest::newRow("star dot star takes a name with dot") << "*.*"
                                                         << "A.TXT" << true;
    QTest::newRow("star dot star refuses a name without dot") << "*.*"
                                                              << "README" << false;
    QTest::newRow("star dot star star refuses a name without dot") << "*.**"
                                                                   << "README" << false;
    QTest::newRow("star dot star star takes a name with dot") << "*.**"
                                                              << "A.TXT" << true;
    QTest::newRow("dot at the end is enough for star dot star") << "*.*"
                                                                << "A." << true;
    QTest::newRow("question mark at the end takes one character") << "A?"
                                                                  << "AB" << true;
    QTest::newRow("question mark at the end needs a character") << "A?"
                                                                << "A" << false;
    QTest::newRow("question mark at the end takes only one") << "A?"
                                                             << "ABC" << false;
    QTest::newRow("literal equal") << "ABC"
                                   << "ABC" << true;
    QTest::newRow("literal differing") << "ABC"
                                       << "ABD" << false;
    QTest::newRow("literal shorter than the name") << "AB"
                                                   << "ABC" << false;
    QTest::newRow("prefix star") << "A*"
                                 << "ABC" << true;
    QTest::newRow("prefix star needs the prefix") << "A*"
                                                  << "BA" << false;
    QTest::newRow("restart finds a later occurrence") << "*A"
                                                      << "BACA" << true;
    QTest::newRow("restart fails when the end never matches") << "*A"
                                                              << "BAC" << false;
    QTest::newRow("restart after a partial match") << "*AB"
                                                   << "AAB" << true;
    QTest::newRow("extension after several dots") << "*.TXT"
                                                  << "A.B.TXT" << true;
    QTest::newRow("extension not at the end") << "*.TXT"
                                              << "A.TXT.BAK" << false;
    QTest::newRow("star question mark x takes AXBX") << "*?X"
                                                     << "AXBX" << true;
    // The restart goes back to the question mark and past the x just matched, skipping the
    // split a plain wildcard match would find.
    QTest::newRow("star question mark x refuses AXX") << "*?X"
                                                      << "AXX" << false;
    QTest::newRow("two stars around a literal") << "*B*"
                                                << "ABC" << true;
    QTest::newRow("upper-case comparison is exact on the given text") << "A*"
                                                                      << "a" << false;
}

void TestFileListRules::match()
{
    QFETCH(QString, pattern);
    QFETCH(QString, name);
    QFETCH(bool, matches);
    QCOMPARE(base::MaskMatcher::matches(pattern, name), matches);
}

void TestFileListRules::emptyPatternReachedRaises()
{
    try {
        base::MaskMatcher::matchesAny({"X*", ""}, "ABC");
        QFAIL("no error raised");
    } catch (const base::Exception& error) {
        QCOMPARE(error.message(), QStringLiteral("Search string cannot be blank"));
    }
    // A pattern before it that accepts means the empty one is never reached.
    QVERIFY(base::MaskMatcher::matchesAny({"A*", ""}, "ABC"));
    QVERIFY(base::MaskMatcher::matchesAny({}, "ABC"));
}

// Through a real listing, so that names are upper-cased as the file list does it.
void TestFileListRules::letterCaseOneForOne_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("listed");
    QTest::newRow("question mark takes sharp s") << "?"
                                                 << "ß" << true;
    QTest::newRow("STRASSE star refuses straße") << "STRASSE*"
                                                 << "straße.eml" << false;
    QTest::newRow("straße star takes STRAßE") << "straße*"
                                              << "STRAßE.EML" << true;
    QTest::newRow("question mark takes a ligature") << "?"
                                                    << "ﬁ" << true;
    QTest::newRow("lower-case accented mask takes upper-case name") << "été*"
                                                                    << "ÉTÉ.txt" << true;
    QTest::newRow("letters beyond the BMP ignore case") << "\U00010428*"
                                                        << "\U00010400.txt" << true;
    QTest::newRow("ASCII letters ignore case") << "mail z*.EML"
                                               << "MAIL Z1.eml" << true;
    QTest::newRow("backquote is not an at sign") << "`*"
                                                 << "@.txt" << false;
    QTest::newRow("brace is not a bracket") << "{*"
                                            << "[.txt" << false;
    QTest::newRow("ASCII mask, accented name") << "?t?.txt"
                                               << "été.txt" << true;
}

void TestFileListRules::letterCaseOneForOne()
{
    QFETCH(QString, mask);
    QFETCH(QString, name);
    QFETCH(bool, listed);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QFile file(folder.filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QStringList names = base::FolderListing::list(
        folder.path(), base::MaskMatcher::splitMask(mask), base::FolderListing::ftNormal);
    QCOMPARE(names, listed ? QStringList{name} : QStringList());
}

void TestFileListRules::sortIgnoresCaseThenCodeUnits_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("sorted");
    QTest::newRow("case is ignored")
        << QStringList{"b.txt", "C.txt", "a.txt"} << QStringList{"a.txt", "b.txt", "C.txt"};
    QTest::newRow("names equal but for case are ordered by code units")
        << QStringList{"mail.eml", "MAIL.eml", "Mail.eml"}
        << QStringList{"MAIL.eml", "Mail.eml", "mail.eml"};
    QTest::newRow("accented letter sorts with its base letter")
        << QStringList{"f", "é", "e"} << QStringList{"e", "é", "f"};
}

void TestFileListRules::sortIgnoresCaseThenCodeUnits()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, sorted);
    base::FolderListing::sortNames(names);
    QCOMPARE(names, sorted);
}

void TestFileListRules::resolveFolder_data()
{
    const QString current = QDir::currentPath();
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("folder");
    QTest::newRow("root keeps its slash") << "/"
                                          << "/";
    QTest::newRow("doubled root is the root") << "//"
                                              << "/";
    QTest::newRow("trailing slash removed") << "/tmp/mail/"
                                            << "/tmp/mail";
    QTest::newRow("dot segments removed") << "/a/./b/../c"
                                          << "/a/c";
    QTest::newRow("doubled slash removed") << "/a//b"
                                           << "/a/b";
    QTest::newRow("relative from the current folder") << "sub" << current + "/sub";
    QTest::newRow("square brackets are part of the name") << "[mail]" << current + "/[mail]";
    QTest::newRow("absolute path in square brackets kept") << "/x/[mail]"
                                                           << "/x/[mail]";
    QTest::newRow("letter case kept") << "/Tmp/Mail"
                                      << "/Tmp/Mail";
}

void TestFileListRules::resolveFolder()
{
    QFETCH(QString, value);
    QFETCH(QString, folder);
    QCOMPARE(base::PathRules::resolveFolder(value), folder);
}

void TestFileListRules::fullNameHasOneSlash_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("fullName");
    QTest::newRow("under the root") << "/"
                                    << "/a.eml";
    QTest::newRow("under a folder") << "/tmp/mail"
                                    << "/tmp/mail/a.eml";
}

void TestFileListRules::fullNameHasOneSlash()
{
    QFETCH(QString, folder);
    QFETCH(QString, fullName);
    QCOMPARE(base::PathRules::fullName(folder, QStringLiteral("a.eml")), fullName);
}

void TestFileListRules::shownName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain name unchanged") << "a b.eml"
                                          << "a b.eml";
    QTest::newRow("line breaks become their symbols") << "a\r\nb"
                                                      << "a\u240D\u240Ab";
    QTest::newRow("NUL") << QString(QChar(0)) << "\u2400";
    QTest::newRow("tab and escape") << "\t\x1B"
                                    << "\u2409\u241B";
    QTest::newRow("last C0 control") << "\x1F"
                                     << "\u241F";
    QTest::newRow("DEL") << "x\x7F"
                         << "x\u2421";
    QTest::newRow("C1 controls and symbols kept") << "\u0085\u240A"
                                                  << "\u0085\u240A";
}

void TestFileListRules::shownName()
{
    QFETCH(QString, name);
    QFETCH(QString, shown);
    QCOMPARE(base::PathRules::shownName(name), shown);
}

int main(int argc, char** argv)
{
    // A real collation, whatever locale the test is started under.
    qputenv("LC_ALL", "fr_FR.UTF-8");
    QCoreApplication app(argc, argv);
    TestFileListRules test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_filelist_rules.moc"
