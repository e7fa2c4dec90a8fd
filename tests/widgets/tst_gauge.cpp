#include "base/Errors.h"
#include "widgets/TGauge.h"

#include <QStandardPaths>
#include <QTest>

class TestGauge : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();
    void cleanup() { delete m_gauge; }

    void valueRules_data();
    void valueRules();
    void textInvertsWhatLiesUnder();
    void borderIsBlack();

private:
    TGauge* m_gauge = nullptr;
};

void TestGauge::init()
{
    m_gauge = new TGauge;
    m_gauge->resize(200, 20);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    m_gauge->setFont(font);
    m_gauge->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_gauge));
}

void TestGauge::valueRules_data()
{
    // Each step: "min=", "max=" or "progress=" and a value, applied in order; the first error
    // ends the steps.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("minValue");
    QTest::addColumn<int>("maxValue");
    QTest::addColumn<int>("progress");
    QTest::addColumn<int>("percent");
    QTest::addColumn<int>("paints");
    QTest::addColumn<QString>("error");

    QTest::newRow("maximum 0 shows 0% whatever the progress")
        << QStringList{"max=0", "progress=5", "progress=-3"} << 0 << 0 << 0 << 0 << 1 << "";
    QTest::newRow("maximum 3 and progress 1 show 33%")
        << QStringList{"max=3", "progress=1"} << 0 << 3 << 1 << 33 << 2 << "";
    QTest::newRow("progress above the maximum stored as the maximum")
        << QStringList{"progress=150"} << 0 << 100 << 100 << 100 << 1 << "";
    QTest::newRow("progress below the minimum stored as the minimum")
        << QStringList{"min=10", "progress=5"} << 10 << 100 << 10 << 0 << 1 << "";
    QTest::newRow("lowering the maximum below the progress lowers the progress")
        << QStringList{"progress=80", "max=50"} << 0 << 50 << 50 << 100 << 2 << "";
    QTest::newRow("raising the minimum above the progress raises the progress")
        << QStringList{"progress=20", "min=30"} << 30 << 100 << 30 << 0 << 2 << "";
    QTest::newRow("same percentage again causes no repaint")
        << QStringList{"max=1000", "progress=10", "progress=11", "progress=19"} << 0 << 1000 << 19
        << 1 << 2 << "";
    QTest::newRow("same progress again causes no repaint")
        << QStringList{"progress=40", "progress=40", "progress=1000", "progress=100"} << 0 << 100
        << 100 << 100 << 2 << "";
    QTest::newRow("same maximum again changes nothing")
        << QStringList{"max=100", "min=0"} << 0 << 100 << 0 << 0 << 0 << "";
    QTest::newRow("percentage truncated towards zero")
        << QStringList{"min=-100", "progress=-1"} << -100 << 100 << -1 << 49 << 2 << "";
    QTest::newRow("full 32-bit range without overflow")
        << QStringList{"min=-2147483647", "max=2147483647", "progress=2147483647"} << -2147483647
        << 2147483647 << 2147483647 << 100 << 3 << "";
    QTest::newRow("maximum below the minimum refused")
        << QStringList{"min=10", "max=5"} << 10 << 100 << 10 << 0 << 1
        << QString::fromUtf8("La valeur doit \xC3\xAAtre comprise entre 11 et 2147483647");
    QTest::newRow("minimum above the maximum refused")
        << QStringList{"max=50", "progress=25", "min=60"} << 0 << 50 << 25 << 50 << 2
        << QString::fromUtf8("La valeur doit \xC3\xAAtre comprise entre -2147483647 et 49");
}

void TestGauge::valueRules()
{
    QFETCH(QStringList, steps);
    QFETCH(int, minValue);
    QFETCH(int, maxValue);
    QFETCH(int, progress);
    QFETCH(int, percent);
    QFETCH(int, paints);
    QFETCH(QString, error);

    const int paintsBefore = m_gauge->paintCount();
    QString message;
    try {
        for (const QString& step : steps) {
            const QStringList parts = step.split(u'=');
            const int value = parts[1].toInt();
            if (parts[0] == "min")
                m_gauge->setMinValue(value);
            else if (parts[0] == "max")
                m_gauge->setMaxValue(value);
            else
                m_gauge->setProgress(value);
        }
    } catch (const base::EInvalidOperation& e) {
        message = e.message();
    }
    QCOMPARE(message, error);
    QCOMPARE(m_gauge->minValue(), minValue);
    QCOMPARE(m_gauge->maxValue(), maxValue);
    QCOMPARE(m_gauge->progress(), progress);
    QCOMPARE(m_gauge->PercentDone(), percent);
    // Repainted at once, without waiting for the event loop.
    QCOMPARE(m_gauge->paintCount() - paintsBefore, paints);

    // The bar's red part ends at the integer part of W x percent / 100 on the bottom inner row.
    const QImage image = m_gauge->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int w = m_gauge->width() - 1;
    const int expectedEnd = std::max(1, std::min(w, int(w * (percent * 0.01))));
    const int row = m_gauge->height() - 2;
    int end = 1;
    while (end < image.width() && image.pixelColor(end, row) == QColor(Qt::red))
        ++end;
    QCOMPARE(end, expectedEnd);
    QCOMPARE(m_gauge->filledLength(), int(w * (percent * 0.01)));
}

void TestGauge::textInvertsWhatLiesUnder()
{
    m_gauge->setProgress(50);
    const QImage image = m_gauge->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int length = m_gauge->filledLength();
    int black = 0;
    int cyan = 0;
    for (int y = 1; y < image.height() - 1; ++y) {
        for (int x = 1; x < image.width() - 1; ++x) {
            const QColor pixel = image.pixelColor(x, y);
            const bool overBar = x < length;
            const QColor background = overBar ? QColor(Qt::red) : QColor(Qt::white);
            const QColor inverse = overBar ? QColor(Qt::cyan) : QColor(Qt::black);
            if (pixel == background)
                continue;
            QCOMPARE(pixel, inverse);
            ++(overBar ? cyan : black);
        }
    }
    // "50%" straddles the bar's end, so both inverses show.
    QVERIFY(black > 10);
    QVERIFY(cyan > 10);
}

void TestGauge::borderIsBlack()
{
    m_gauge->setProgress(100);
    const QImage image = m_gauge->grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (int x = 0; x < image.width(); ++x) {
        QCOMPARE(image.pixelColor(x, 0), QColor(Qt::black));
        QCOMPARE(image.pixelColor(x, image.height() - 1), QColor(Qt::black));
    }
    for (int y = 0; y < image.height(); ++y) {
        QCOMPARE(image.pixelColor(0, y), QColor(Qt::black));
        QCOMPARE(image.pixelColor(image.width() - 1, y), QColor(Qt::black));
    }
    QCOMPARE(image.pixelColor(image.width() - 2, image.height() - 2), QColor(Qt::red));
}

QTEST_MAIN(TestGauge)
#include "tst_gauge.moc"
