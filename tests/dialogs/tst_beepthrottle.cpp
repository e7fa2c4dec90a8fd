// Which beeps of a run are played: events at given times (milliseconds), "b" a beep asked for,
// "e" the end of the sound played last; the expected result lists the times of the beeps played.
#include "dialogs/BeepThrottle.h"

#include <QTest>

class TestBeepThrottle : public QObject {
    Q_OBJECT
private slots:
    void beepsPlayed_data();
    void beepsPlayed();
    void quickRunOfDuplicates();
};

void TestBeepThrottle::beepsPlayed_data()
{
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QList<qint64>>("played");

    QTest::newRow("a lone beep is played") << QStringList{"b0"} << QList<qint64>{0};
    QTest::newRow("none while the sound lasts")
        << QStringList{"b0", "b50", "b300", "e400", "b600"} << QList<qint64>{0, 600};
    QTest::newRow("none just after its end")
        << QStringList{"b0", "e150", "b200", "b260"} << QList<qint64>{0, 260};
    QTest::newRow("short sounds: none within the gap after the start or the end")
        << QStringList{"b0", "e10", "b60", "b110", "e120", "b200", "b230"}
        << QList<qint64>{0, 110, 230};
    QTest::newRow("an end never told: free again after the longest sound")
        << QStringList{"b0", "b2999", "b3000"} << QList<qint64>{0, 3000};
    QTest::newRow("an end told twice changes nothing")
        << QStringList{"b0", "e150", "e400", "b240", "b250"} << QList<qint64>{0, 250};
}

void TestBeepThrottle::beepsPlayed()
{
    QFETCH(QStringList, events);
    QFETCH(QList<qint64>, played);

    BeepThrottle throttle;
    QList<qint64> started;
    for (const QString& event : events) {
        const qint64 at = event.mid(1).toLongLong();
        if (event.startsWith(u'b')) {
            if (throttle.tryStart(at))
                started << at;
        } else {
            throttle.finished(at);
        }
    }
    QCOMPARE(started, played);
}

// 1,528 duplicates found in 1.5 s, each sound lasting 150 ms: one beep every 250 ms.
void TestBeepThrottle::quickRunOfDuplicates()
{
    BeepThrottle throttle;
    QList<qint64> started;
    qint64 soundEnd = -1;
    for (int i = 0; i < 1528; ++i) {
        const qint64 at = qint64(i) * 1500 / 1528;
        if (soundEnd >= 0 && at >= soundEnd) {
            throttle.finished(soundEnd);
            soundEnd = -1;
        }
        if (throttle.tryStart(at)) {
            started << at;
            soundEnd = at + 150;
        }
    }
    QCOMPARE(started, (QList<qint64>{0, 250, 500, 750, 1000, 1250}));
}

QTEST_APPLESS_MAIN(TestBeepThrottle)
#include "tst_beepthrottle.moc"
