#include "scan/ComparisonStream.h"
#include "scan/TextComparer.h"
#include "support/TempFolder.h"

#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

// The comparer keeps what it read between calls; these rows change the files under the same open
// descriptors between calls, so that an answer kept too long shows as a wrong one.

namespace {

QByteArray utf16le(const QString& text)
{
    QByteArray result("\xFF\xFE", 2);
    result.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    return result;
}

// A file rewritten in place: the comparer's descriptor sees the new bytes.
void rewrite(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// One call: which file is rewritten first ('R', 'C' or '-' for none), with what, and the answer.
struct Step {
    char rewritten;
    QByteArray bytes;
    bool equal;
};

} // namespace

Q_DECLARE_METATYPE(QList<Step>)

class TestTextComparer : public QObject {
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
    void anotherReferenceWithTheSameCandidate();
};

void TestTextComparer::answers_data()
{
    QTest::addColumn<QByteArray>("reference");
    QTest::addColumn<QByteArray>("candidate");
    QTest::addColumn<QList<Step>>("steps");

    const QByteArray big = QByteArray("Objet\n") + QByteArray(ComparisonStream::kChunk + 10, 'a');
    QTest::newRow("same bytes") << QByteArray("Bonjour\r\n") << QByteArray("Bonjour\r\n")
                                << QList<Step>{{'-', {}, true}, {'-', {}, true}};
    QTest::newRow("same text in UTF-16 and UTF-8")
        << utf16le("Réunion\r\nà dix heures") << QByteArray("R\xC3\xA9union\nà dix heures")
        << QList<Step>{{'-', {}, true}};
    QTest::newRow("letter case differs") << QByteArray("Bonjour Ève") << QByteArray("BONJOUR ève")
                                         << QList<Step>{{'-', {}, true}, {'-', {}, true}};
    QTest::newRow("texts differ") << QByteArray("Bonjour") << QByteArray("Bonsoir")
                                  << QList<Step>{{'-', {}, false}, {'-', {}, false}};
    QTest::newRow("reference rewritten after an equal answer")
        << QByteArray("Bonjour") << QByteArray("bonjour")
        << QList<Step>{{'-', {}, true}, {'R', "Bonsoir", false}, {'R', "BONJOUR", true}};
    QTest::newRow("candidate rewritten after an equal answer")
        << QByteArray("Bonjour") << QByteArray("Bonjour")
        << QList<Step>{{'-', {}, true}, {'C', "Bonjour!", false}, {'C', "bonjour", true}};
    QTest::newRow("candidate rewritten to the reference's bytes")
        << QByteArray("Bonjour") << QByteArray("Au revoir")
        << QList<Step>{{'-', {}, false}, {'C', "Bonjour", true}};
    QTest::newRow("reference rewritten to the candidate's bytes")
        << QByteArray("Bonjour") << QByteArray("Au revoir")
        << QList<Step>{{'-', {}, false}, {'R', "Au revoir", true}, {'R', "Bonjour", false}};
    QTest::newRow("a file larger than a chunk")
        << big << QByteArray(big).toUpper()
        << QList<Step>{{'-', {}, true}, {'C', QByteArray(big).append('b'), false}};
    QTest::newRow("a large file then a small one")
        << big << QByteArray("Objet") << QList<Step>{{'-', {}, false}, {'R', "objet", true}};
}

void TestTextComparer::answers()
{
    QFETCH(QByteArray, reference);
    QFETCH(QByteArray, candidate);
    QFETCH(QList<Step>, steps);
    TempFolder folder;
    const QString referencePath = folder.write("reference.eml", reference);
    const QString candidatePath = folder.write("candidate.eml", candidate);
    const int referenceFd = ::open(QFile::encodeName(referencePath).constData(), O_RDONLY);
    const int candidateFd = ::open(QFile::encodeName(candidatePath).constData(), O_RDONLY);
    QVERIFY(referenceFd >= 0 && candidateFd >= 0);
    auto closeBoth = qScopeGuard([&] {
        ::close(referenceFd);
        ::close(candidateFd);
    });

    TextComparer comparer;
    for (int i = 0; i < steps.size(); ++i) {
        const Step& step = steps[i];
        if (step.rewritten == 'R')
            rewrite(referencePath, step.bytes);
        else if (step.rewritten == 'C')
            rewrite(candidatePath, step.bytes);
        // An offset left anywhere by an earlier reading changes nothing.
        ::lseek(candidateFd, 3, SEEK_SET);
        QVERIFY2(comparer.equal(referenceFd, referencePath, candidateFd, candidatePath) ==
                     step.equal,
                 qPrintable(QStringLiteral("step %1").arg(i)));
    }
}

// What is kept belongs to the pair read: a second reference is compared with the candidate anew.
void TestTextComparer::anotherReferenceWithTheSameCandidate()
{
    TempFolder folder;
    const QString first = folder.write("first.eml", "Facture");
    const QString second = folder.write("second.eml", "Devis");
    const QString candidate = folder.write("candidate.eml", "FACTURE");
    const int firstFd = ::open(QFile::encodeName(first).constData(), O_RDONLY);
    const int secondFd = ::open(QFile::encodeName(second).constData(), O_RDONLY);
    const int candidateFd = ::open(QFile::encodeName(candidate).constData(), O_RDONLY);
    auto closeAll = qScopeGuard([&] {
        ::close(firstFd);
        ::close(secondFd);
        ::close(candidateFd);
    });
    TextComparer comparer;
    QVERIFY(comparer.equal(firstFd, first, candidateFd, candidate));
    QVERIFY(!comparer.equal(secondFd, second, candidateFd, candidate));
    QVERIFY(comparer.equal(firstFd, first, candidateFd, candidate));
    comparer.clear();
    QVERIFY(!comparer.equal(secondFd, second, candidateFd, candidate));
}

QTEST_GUILESS_MAIN(TestTextComparer)
#include "tst_textcomparer.moc"
