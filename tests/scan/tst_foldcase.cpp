#include "scan/TextCodec.h"

#include <QRandomGenerator>
#include <QtTest>

#include <unicode/stringoptions.h>
#include <unicode/ustring.h>

// Folding takes a short way through ASCII; the result must be ICU's full folding of the whole
// text, whatever mix of ASCII and other characters it holds.
class TestFoldCase : public QObject {
    Q_OBJECT

private slots:
    void sameAsIcuOnMixedTexts();
    void sameAsIcuForEveryCodeUnit();
};

namespace {

QString icuFold(const QString& text)
{
    QList<UChar> out(text.size() * 3 + 16);
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length =
        u_strFoldCase(out.data(), int32_t(out.size()), reinterpret_cast<const UChar*>(text.utf16()),
                      int32_t(text.size()), U_FOLD_CASE_DEFAULT, &status);
    return QString(reinterpret_cast<const QChar*>(out.data()), length);
}

} // namespace

void TestFoldCase::sameAsIcuOnMixedTexts()
{
    // Pieces that fold to longer or to other scripts' letters, surrogate pairs and lone halves.
    const QStringList pieces{"a",
                             "Z",
                             "\r\n",
                             "I",
                             QStringLiteral("ß"),
                             "ÉÀç",
                             "ﬁ",
                             "Σ",
                             QStringLiteral("İ"),
                             "K",
                             "\U0001D400",
                             "\U00010400",
                             QString(QChar(0xD800)),
                             QString(QChar(0xDC00)),
                             "ΐ",
                             "@[`{",
                             QString(QChar(0))};
    QRandomGenerator random(7);
    for (int round = 0; round < 2000; ++round) {
        QString text;
        const int count = int(random.bounded(12));
        for (int i = 0; i < count; ++i)
            text += pieces[int(random.bounded(qsizetype(pieces.size())))];
        QCOMPARE(FoldCase(text, false), icuFold(text));
    }
}

// Each code unit alone, after a capital, and before one, so that table and ICU runs meet.
void TestFoldCase::sameAsIcuForEveryCodeUnit()
{
    for (int unit = 0; unit <= 0xFFFF; ++unit) {
        const QString alone{QChar(char16_t(unit))};
        const QStringList texts{alone, "A" + alone + QStringLiteral("É"), alone + alone + "Z"};
        for (const QString& text : texts) {
            if (FoldCase(text, false) != icuFold(text))
                QFAIL(qPrintable(QStringLiteral("U+%1").arg(unit, 4, 16, QLatin1Char('0'))));
        }
    }
}

QTEST_MAIN(TestFoldCase)
#include "tst_foldcase.moc"
