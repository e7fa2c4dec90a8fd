#include "widgets/TJvCaptionPanel.h"

#include <QFontMetrics>
#include <QLabel>
#include <QStandardPaths>
#include <QTest>
#include <QVBoxLayout>

namespace {

const QColor kBar(0x1f, 0x5f, 0xa8);
const QColor kPanel(0xd4, 0xd0, 0xc8);
const QColor kIcon(0xff, 0x00, 0xff);

QPixmap solidIcon()
{
    QPixmap icon(32, 32);
    icon.fill(kIcon);
    return icon;
}

// The client area as drawn, without the frame.
QImage clientImage(TJvCaptionPanel& panel)
{
    return panel.grab(panel.clientRect()).toImage().convertToFormat(QImage::Format_RGB32);
}

// Bounding box of the pixels of one colour.
QRect extentOf(const QImage& image, const QColor& color)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == color)
                box |= QRect(x, y, 1, 1);
    return box;
}

} // namespace

class TestCaptionPanel : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();
    void cleanup() { delete m_panel; }

    void contentArea_data();
    void contentArea();
    void barAndIcon();
    void titlePlacement_data();
    void titlePlacement();
    void ampersandsShownLiterally();
    void longCaptionCutOnOneLine();
    void pressingTheBarMovesNothing();
    void builtinIcons_data();
    void builtinIcons();

private:
    TJvCaptionPanel* m_panel = nullptr;
};

void TestCaptionPanel::init()
{
    m_panel = new TJvCaptionPanel;
    QPalette palette = m_panel->palette();
    palette.setColor(QPalette::Button, kPanel);
    m_panel->setPalette(palette);
    m_panel->setCaptionColor(kBar);
    m_panel->resize(250, 300);
}

void TestCaptionPanel::contentArea_data()
{
    QTest::addColumn<int>("captionHeight");
    QTest::addColumn<QPoint>("firstChild");

    QTest::newRow("platform caption height puts the child at (1, 26)") << 0 << QPoint(1, 26);
    QTest::newRow("own caption height of 30") << 30 << QPoint(1, 33);
}

void TestCaptionPanel::contentArea()
{
    QFETCH(int, captionHeight);
    QFETCH(QPoint, firstChild);

    m_panel->setCaptionHeight(captionHeight);
    auto* layout = new QVBoxLayout(m_panel);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* child = new QLabel("x");
    child->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    layout->addWidget(child);
    m_panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_panel));

    const QRect client = m_panel->clientRect();
    QCOMPARE(child->pos() - client.topLeft(), firstChild);
    // The 1-pixel margin holds on the other sides too.
    QCOMPARE(client.right() - child->geometry().right(), 1);
    QCOMPARE(client.bottom() - child->geometry().bottom(), 1);
    QCOMPARE(client, m_panel->rect().adjusted(2, 2, -2, -2));
}

void TestCaptionPanel::barAndIcon()
{
    m_panel->setIcon(solidIcon());
    const QImage image = clientImage(*m_panel);
    const int w = image.width();

    QCOMPARE(image.pixelColor(1, 1), kPanel);
    QCOMPARE(image.pixelColor(2, 2), kBar);
    QCOMPARE(image.pixelColor(w - 3, 24), kBar);
    QCOMPARE(image.pixelColor(w - 2, 2), kPanel);
    QCOMPARE(image.pixelColor(w - 3, 25), kPanel);
    // A 32-pixel icon in a 23-pixel bar is drawn 21 pixels high, inside the bar: nothing hangs
    // over the controls below it.
    QCOMPARE(m_panel->iconRect().translated(-m_panel->clientRect().topLeft()), QRect(3, 3, 21, 21));
    QCOMPARE(extentOf(image, kIcon), QRect(QPoint(3, 3), QPoint(23, 23)));
}

void TestCaptionPanel::titlePlacement_data()
{
    QTest::addColumn<bool>("withIcon");
    QTest::newRow("without icon") << false;
    QTest::newRow("with a 32-pixel icon") << true;
}

void TestCaptionPanel::titlePlacement()
{
    QFETCH(bool, withIcon);

    if (withIcon)
        m_panel->setIcon(solidIcon());
    m_panel->setCaption("Liste");
    const QPoint origin = m_panel->clientRect().topLeft();
    const QRect title = m_panel->titleRect().translated(-origin);
    const int textHeight = QFontMetrics(m_panel->captionFont()).height();
    // The 32-pixel icon is drawn 21 pixels wide, inside the 23-pixel bar.
    const int left = 2 + 8 + (withIcon ? 21 + 2 : 0);
    QCOMPARE(title.left(), left);
    QCOMPARE(title.top(), 2 + (23 - textHeight) / 2);
    QCOMPARE(title.height(), 23);

    // The white text starts at the rectangle's left and keeps within its first text line.
    const QRect text = extentOf(clientImage(*m_panel), Qt::white);
    QVERIFY(!text.isEmpty());
    QVERIFY2(text.left() >= left && text.left() <= left + 2,
             qPrintable(QString::number(text.left())));
    QVERIFY(text.top() >= title.top());
    QVERIFY(text.bottom() < title.top() + textHeight);
}

void TestCaptionPanel::ampersandsShownLiterally()
{
    const QString caption = "R&D&&X";
    m_panel->setCaption(caption);
    const QRect text = extentOf(clientImage(*m_panel), Qt::white);
    const QFontMetrics metrics(m_panel->captionFont());
    const int left = m_panel->titleRect().left() - m_panel->clientRect().left();
    // As wide as the whole caption; accelerator processing would draw the narrower "RD&X".
    QVERIFY2(text.right() > left + metrics.horizontalAdvance("RD&X") + 4,
             qPrintable(QString::number(text.right())));
    QVERIFY(text.right() < left + metrics.horizontalAdvance(caption) + 1);
}

void TestCaptionPanel::longCaptionCutOnOneLine()
{
    m_panel->resize(150, 200);
    m_panel->setCaption(QString("Doublons trait\u00e9s ").repeated(10));
    const QImage image = clientImage(*m_panel);
    const QRect text = extentOf(image, Qt::white);
    QVERIFY(text.right() >= image.width() - 6);
    // No second line: nothing white below the bar.
    QVERIFY(text.bottom() < 2 + 23);
}

void TestCaptionPanel::pressingTheBarMovesNothing()
{
    auto* parent = new QWidget;
    parent->resize(400, 400);
    m_panel->setParent(parent);
    m_panel->setGeometry(10, 10, 200, 200);
    parent->show();
    QVERIFY(QTest::qWaitForWindowExposed(parent));

    const QPoint onBar = m_panel->barRect().center();
    QTest::mousePress(m_panel, Qt::LeftButton, {}, onBar);
    QMouseEvent move(QEvent::MouseMove, onBar + QPoint(40, 30), m_panel->mapToGlobal(onBar),
                     Qt::NoButton, Qt::LeftButton, {});
    QCoreApplication::sendEvent(m_panel, &move);
    QTest::mouseRelease(m_panel, Qt::LeftButton, {}, onBar + QPoint(40, 30));
    QTest::mouseDClick(m_panel, Qt::LeftButton, {}, onBar);
    QCOMPARE(m_panel->geometry(), QRect(10, 10, 200, 200));
    m_panel = nullptr;
    delete parent;
}

void TestCaptionPanel::builtinIcons_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("Liste") << "Liste";
    QTest::newRow("Texte") << "Texte";
    QTest::newRow("Doublons traités") << QString::fromUtf8("Doublons trait\xC3\xA9s");
}

void TestCaptionPanel::builtinIcons()
{
    QFETCH(QString, name);
    const QPixmap icon = TJvCaptionPanel::builtinIcon(name, 1);
    QCOMPARE(icon.size(), QSize(32, 32));
    QVERIFY(TJvCaptionPanel::builtinIcon("Autre").isNull());
    // At a scale factor of 2 the picture is drawn with four times the pixels, not enlarged.
    const QPixmap sharp = TJvCaptionPanel::builtinIcon(name, 2);
    QCOMPARE(sharp.size(), QSize(64, 64));
    QCOMPARE(sharp.deviceIndependentSize(), QSizeF(32, 32));
    QVERIFY(sharp.toImage() !=
            icon.toImage().scaled(64, 64).convertToFormat(sharp.toImage().format()));
}

QTEST_MAIN(TestCaptionPanel)
#include "tst_captionpanel.moc"
