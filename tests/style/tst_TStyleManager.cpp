#include "base/Errors.h"
#include "style/TStyleManager.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResource>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

// Answers the next modal dialog with its "Fer&mer" button and keeps the texts it showed.
class CloseAnswerer : public QObject {
public:
    CloseAnswerer()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] { answer(); });
        m_timer.start(10);
    }
    bool shown() const { return m_shown; }
    QStringList texts() const { return m_texts; }
    bool pressedClose() const { return m_pressedClose; }

private:
    void answer()
    {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog)
            return;
        m_timer.stop();
        m_shown = true;
        for (const QLabel* label : dialog->findChildren<QLabel*>()) {
            if (!label->text().isEmpty())
                m_texts << label->text();
        }
        for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
            if (button->text() == QStringLiteral("Fer&mer")) {
                m_pressedClose = true;
                button->click();
                return;
            }
        }
        dialog->close();
    }

    QTimer m_timer;
    bool m_shown = false;
    bool m_pressedClose = false;
    QStringList m_texts;
};

class PaintCounter : public QWidget {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

int distance(QColor a, QColor b)
{
    return qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue());
}

// Pixels of the first text line that are close to the given colour.
int pixelsNear(const QImage& image, QColor color, int lineHeight)
{
    int count = 0;
    for (int y = 2; y < 2 + lineHeight; ++y) {
        for (int x = 2; x < image.width() / 2; ++x) {
            if (distance(image.pixelColor(x, y), color) < 60)
                ++count;
        }
    }
    return count;
}

} // namespace

class TestTStyleManager : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void discoversTheEmbeddedStyle();
    void findsTheStyleIgnoringCase_data();
    void findsTheStyleIgnoringCase();
    void unknownNameKeepsSystemStyle_data();
    void unknownNameKeepsSystemStyle();
    void requestingTheActiveStyleRedrawsNothing();
    void brokenEmbeddedStylesAreReported_data();
    void brokenEmbeddedStylesAreReported();
    void workingControlsKeepTheirColours_data();
    void workingControlsKeepTheirColours();
    void selfPaintedWidgetsAreLeftAlone();
};

void TestTStyleManager::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestTStyleManager::init()
{
    TStyleManager::resetForTesting();
}

void TestTStyleManager::cleanupTestCase()
{
    TStyleManager::resetForTesting();
}

void TestTStyleManager::discoversTheEmbeddedStyle()
{
    QVERIFY(TStyleManager::isSystemStyleActive());
    QCOMPARE(TStyleManager::activeStyleName(), TStyleManager::systemStyleName());
    QVERIFY(TStyleManager::TrySetStyle(QStringLiteral("Metropolis UI Blue"), true));
    QCOMPARE(TStyleManager::styleNames(), QStringList{QStringLiteral("Metropolis UI Blue")});
    QVERIFY(QFile::exists(QStringLiteral(":/VCLSTYLE/METROPOLISUIBLUE")));
}

void TestTStyleManager::findsTheStyleIgnoringCase_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("name as written") << QStringLiteral("Metropolis UI Blue");
    QTest::newRow("lower case") << QStringLiteral("metropolis ui blue");
    QTest::newRow("upper case") << QStringLiteral("METROPOLIS UI BLUE");
}

void TestTStyleManager::findsTheStyleIgnoringCase()
{
    QFETCH(QString, name);
    CloseAnswerer answerer;
    QVERIFY(TStyleManager::TrySetStyle(name, true));
    QVERIFY(!answerer.shown());
    QVERIFY(!TStyleManager::isSystemStyleActive());
    QCOMPARE(TStyleManager::activeStyleName(), QStringLiteral("Metropolis UI Blue"));
    QCOMPARE(TStyleManager::activationCount(), 1);
    // A default button is drawn flat in the accent colour.
    QPushButton button(QStringLiteral("OK"));
    button.setDefault(true);
    button.resize(80, 26);
    QCOMPARE(button.grab().toImage().pixelColor(6, 13), QColor(0x1f, 0x6f, 0xd1));
    QVERIFY(!qApp->styleSheet().isEmpty());
    QCOMPARE(QApplication::palette().color(QPalette::Highlight), QColor(0x1f, 0x6f, 0xd1));
}

void TestTStyleManager::unknownNameKeepsSystemStyle_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("showErrorDialog");
    QTest::newRow("unknown name, reported") << QStringLiteral("Carbon") << true;
    QTest::newRow("part of the name is not the name") << QStringLiteral("Metropolis") << true;
    QTest::newRow("unknown name, silent") << QStringLiteral("Carbon") << false;
}

void TestTStyleManager::unknownNameKeepsSystemStyle()
{
    QFETCH(QString, name);
    QFETCH(bool, showErrorDialog);
    const QString systemLook = QApplication::style()->name();

    CloseAnswerer answerer;
    QVERIFY(!TStyleManager::TrySetStyle(name, showErrorDialog));
    QCOMPARE(answerer.shown(), showErrorDialog);
    if (showErrorDialog) {
        QVERIFY2(answerer.texts().contains(QStringLiteral("Style '%1' non trouvé").arg(name)),
                 qPrintable(answerer.texts().join(QLatin1Char('|'))));
        QVERIFY(answerer.pressedClose());
    }
    QVERIFY(TStyleManager::isSystemStyleActive());
    QCOMPARE(TStyleManager::activeStyleName(), TStyleManager::systemStyleName());
    QCOMPARE(TStyleManager::activationCount(), 0);
    QCOMPARE(QApplication::style()->name(), systemLook);
    QVERIFY(qApp->styleSheet().isEmpty());
}

void TestTStyleManager::requestingTheActiveStyleRedrawsNothing()
{
    PaintCounter window;
    window.resize(100, 60);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(window.paints > 0);

    // The first activation redraws the window: the counter sees redraws.
    int before = window.paints;
    QVERIFY(TStyleManager::TrySetStyle(QStringLiteral("Metropolis UI Blue"), true));
    QTRY_VERIFY(window.paints > before);
    QCOMPARE(TStyleManager::activationCount(), 1);

    QCoreApplication::processEvents();
    before = window.paints;
    const QString sheet = qApp->styleSheet();
    QStyle* style = QApplication::style();
    QVERIFY(TStyleManager::TrySetStyle(QStringLiteral("metropolis ui blue"), true));
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QCOMPARE(window.paints, before);
    QCOMPARE(TStyleManager::activationCount(), 1);
    QCOMPARE(QApplication::style(), style);
    QCOMPARE(qApp->styleSheet(), sheet);
}

void TestTStyleManager::brokenEmbeddedStylesAreReported_data()
{
    QTest::addColumn<QString>("rcc");
    QTest::addColumn<QString>("message");
    QTest::newRow("one style that cannot be loaded")
        << QStringLiteral("one_broken.rcc")
        << QStringLiteral("Impossible de charger le style 'BROKEN1'");
    QTest::newRow("two styles that cannot be loaded")
        << QStringLiteral("two_broken.rcc")
        << QStringLiteral("Impossible de charger les styles : BROKEN1, BROKEN2");
}

void TestTStyleManager::brokenEmbeddedStylesAreReported()
{
    QFETCH(QString, rcc);
    QFETCH(QString, message);
    const QString path = QStringLiteral(TEST_RCC_FOLDER "/") + rcc;
    QVERIFY(QResource::registerResource(path));
    const auto unregister = qScopeGuard([&] { QResource::unregisterResource(path); });

    QString thrown;
    try {
        TStyleManager::TrySetStyle(QStringLiteral("Metropolis UI Blue"), true);
    } catch (const base::Exception& e) {
        thrown = e.message();
    }
    QCOMPARE(thrown, message);
    QVERIFY(TStyleManager::isSystemStyleActive());

    // Discovery is over: the good style is found without a second error.
    QVERIFY(TStyleManager::TrySetStyle(QStringLiteral("Metropolis UI Blue"), true));
    QCOMPARE(TStyleManager::styleNames(), QStringList{QStringLiteral("Metropolis UI Blue")});
}

void TestTStyleManager::workingControlsKeepTheirColours_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QColor>("text");
    QTest::addColumn<bool>("styleFirst");

    const QColor orange(255, 128, 0);
    const QColor memo2(255, 128, 64);
    QTest::newRow("ListBox1 orange, created under the style")
        << "list"
        << "ListBox1" << orange << QColor(Qt::white) << true;
    QTest::newRow("ListBox1 orange, style applied to a shown window")
        << "list"
        << "ListBox1" << orange << QColor(Qt::white) << false;
    QTest::newRow("JvFileListBox2 orange")
        << "list"
        << "JvFileListBox2" << orange << QColor(Qt::white) << true;
    QTest::newRow("Memo2 orange-red, created under the style")
        << "memo"
        << "Memo2" << memo2 << QColor(Qt::white) << true;
    QTest::newRow("Memo2 orange-red, style applied to a shown window")
        << "memo"
        << "Memo2" << memo2 << QColor(Qt::white) << false;
    QTest::newRow("Memo1 white with black text")
        << "memo"
        << "Memo1" << QColor(Qt::white) << QColor(Qt::black) << true;
}

void TestTStyleManager::workingControlsKeepTheirColours()
{
    QFETCH(QString, kind);
    QFETCH(QString, objectName);
    QFETCH(QColor, background);
    QFETCH(QColor, text);
    QFETCH(bool, styleFirst);

    if (styleFirst)
        QVERIFY(TStyleManager::TrySetStyle(QStringLiteral("Metropolis UI Blue"), false));

    std::unique_ptr<QWidget> control;
    if (kind == "list") {
        auto* list = new QListWidget;
        list->addItems({QStringLiteral("WWWWWWWW.eml"), QStringLiteral("MMMMMMMM.eml")});
        control.reset(list);
    } else {
        auto* memo = new QPlainTextEdit;
        memo->setPlainText(QStringLiteral("WWWWWWWWWWWW\nMMMMMMMMMMMM"));
        control.reset(memo);
    }
    control->setObjectName(objectName);
    QPalette palette = control->palette();
    palette.setColor(QPalette::Base, background);
    palette.setColor(QPalette::Text, text);
    control->setPalette(palette);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    control->setFont(font);
    control->resize(160, 120);
    control->show();
    QVERIFY(QTest::qWaitForWindowExposed(control.get()));

    if (!styleFirst)
        QVERIFY(TStyleManager::TrySetStyle(QStringLiteral("Metropolis UI Blue"), false));
    QCoreApplication::processEvents();

    const QImage image = control->grab().toImage();
    QCOMPARE(image.pixelColor(image.width() / 2, image.height() - 12), background);
    QVERIFY2(pixelsNear(image, text, 14) > 20, "the text is not drawn in the control's colour");
    // The border is the style's: its plain colour, or its accent while the control has focus.
    const QColor border = image.pixelColor(0, image.height() / 2);
    QVERIFY2(border == QColor(0xc2, 0xcb, 0xd5) || border == QColor(0x1f, 0x6f, 0xd1),
             qPrintable(border.name()));
}

void TestTStyleManager::selfPaintedWidgetsAreLeftAlone()
{
    QVERIFY(TStyleManager::TrySetStyle(QStringLiteral("Metropolis UI Blue"), false));
    // A panel filled from its own palette, as the caption panels and the gauge are.
    QFrame frame;
    frame.setAutoFillBackground(true);
    QPalette palette = frame.palette();
    palette.setColor(QPalette::Window, QColor(10, 36, 106));
    frame.setPalette(palette);
    frame.resize(80, 40);
    const QImage image = frame.grab().toImage();
    QCOMPARE(image.pixelColor(40, 20), QColor(10, 36, 106));
    QCOMPARE(image.pixelColor(0, 0), QColor(10, 36, 106));
}

QTEST_MAIN(TestTStyleManager)
#include "tst_TStyleManager.moc"
