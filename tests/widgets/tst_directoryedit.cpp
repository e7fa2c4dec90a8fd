#include "base/Errors.h"
#include "support/DialogAnswerer.h"
#include "support/TempFolder.h"
#include "widgets/TJvDirectoryEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QStandardPaths>
#include <QTest>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

class TestDirectoryEdit : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();
    void cleanup();

    void changeNotification_data();
    void changeNotification();
    void buttonConfirmedNotifiesTwice();
    void buttonCancelledChangesNothing();
    void altDownWithoutSelectionNotifiesOnce();
    void startFolder_data();
    void startFolder();
    void handlerErrorDoesNotStopTheChoice();
    void drop_data();
    void drop();
    void folderWithLineBreakRefused_data();
    void folderWithLineBreakRefused();
    void readOnlyButCopyable();
    void buttonInsideTheRightEnd();

private:
    QToolButton* button() const { return m_edit->findChild<QToolButton*>(); }
    void answerPicker(std::optional<QString> answer);
    void dropPath(const QString& path);

    QWidget* m_window = nullptr;
    TJvDirectoryEdit* m_edit = nullptr;
    QLineEdit* m_other = nullptr;
    QStringList m_notified;
    QStringList m_starts;
    TempFolder* m_folder = nullptr;
};

void TestDirectoryEdit::init()
{
    m_folder = new TempFolder;
    QDir(m_folder->path()).mkdir("A");
    QDir(m_folder->path()).mkdir("B");
    m_folder->write("A/file.eml", "x");
    m_window = new QWidget;
    auto* layout = new QVBoxLayout(m_window);
    m_other = new QLineEdit(m_window);
    m_edit = new TJvDirectoryEdit(m_window);
    layout->addWidget(m_other);
    layout->addWidget(m_edit);
    m_window->resize(400, 80);
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    m_other->setFocus();
    m_notified.clear();
    m_starts.clear();
    connect(m_edit, &TJvDirectoryEdit::OnChange, this, [this] { m_notified << m_edit->text(); });
}

void TestDirectoryEdit::cleanup()
{
    TJvDirectoryEdit::setFolderPicker({});
    delete m_window;
    delete m_folder;
}

void TestDirectoryEdit::answerPicker(std::optional<QString> answer)
{
    TJvDirectoryEdit::setFolderPicker([this, answer](QWidget*, const QString& start) {
        m_starts << start;
        return answer;
    });
}

void TestDirectoryEdit::changeNotification_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("notified");
    QTest::newRow("same text notifies nothing") << "/start" << QStringList();
    QTest::newRow("new text notifies once") << "/other" << QStringList{"/other"};
    QTest::newRow("cut before LF") << "/a\nb" << QStringList{"/a"};
    QTest::newRow("cut before CR without LF") << "/a\rb" << QStringList{"/a"};
    QTest::newRow("cut before LF then before CR") << "/a\r\nb" << QStringList{"/a"};
    QTest::newRow("LF first even after a CR") << "/a\rb\nc" << QStringList{"/a"};
}

void TestDirectoryEdit::changeNotification()
{
    QFETCH(QString, text);
    QFETCH(QStringList, notified);
    m_edit->setDirectory("/start");
    m_notified.clear();
    m_edit->setText(text);
    QCOMPARE(m_notified, notified);
    QCOMPARE(m_edit->directory(), notified.isEmpty() ? QStringLiteral("/start") : notified.last());
}

void TestDirectoryEdit::buttonConfirmedNotifiesTwice()
{
    const QString a = m_folder->filePath("A");
    const QString b = m_folder->filePath("B");
    m_edit->setDirectory(a);
    m_notified.clear();
    answerPicker(b);
    QTest::mouseClick(button(), Qt::LeftButton);
    QCOMPARE(m_starts, QStringList{a});
    QCOMPARE(m_notified, (QStringList{"", b}));
    QCOMPARE(m_edit->directory(), b);
    QCOMPARE(m_edit->initialDir(), b);
    QVERIFY(m_edit->hasFocus());

    // The folder already shown notifies twice as well.
    m_other->setFocus();
    m_notified.clear();
    QTest::mouseClick(button(), Qt::LeftButton);
    QCOMPARE(m_notified, (QStringList{"", b}));
}

void TestDirectoryEdit::buttonCancelledChangesNothing()
{
    const QString a = m_folder->filePath("A");
    m_edit->setDirectory(a);
    m_notified.clear();
    answerPicker(std::nullopt);
    QTest::mouseClick(button(), Qt::LeftButton);
    QCOMPARE(m_starts.size(), 1);
    QCOMPARE(m_notified, QStringList());
    QCOMPARE(m_edit->directory(), a);
    QCOMPARE(m_edit->initialDir(), QString());
    QVERIFY(m_edit->hasFocus());
}

void TestDirectoryEdit::altDownWithoutSelectionNotifiesOnce()
{
    const QString a = m_folder->filePath("A");
    const QString b = m_folder->filePath("B");
    m_edit->setDirectory(a);
    // A click into the field places the cursor without selecting.
    QTest::mouseClick(m_edit, Qt::LeftButton, Qt::NoModifier, QPoint(5, m_edit->height() / 2));
    QVERIFY(m_edit->hasFocus());
    m_edit->deselect();
    m_notified.clear();
    answerPicker(b);
    QTest::keyClick(m_edit, Qt::Key_Down, Qt::AltModifier);
    QCOMPARE(m_notified, QStringList{b});
}

void TestDirectoryEdit::startFolder_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("initialDir");
    QTest::addColumn<QString>("start");
    QTest::newRow("existing folder in the text") << "%A"
                                                 << "%B"
                                                 << "%A";
    QTest::newRow("empty text takes the initial folder") << ""
                                                         << "%B"
                                                         << "%B";
    QTest::newRow("empty text and no initial folder start at home") << ""
                                                                    << ""
                                                                    << "~";
    QTest::newRow("folder since removed starts at its parent") << "%A/gone"
                                                               << "%B"
                                                               << "%A";
    QTest::newRow("several levels removed start at the nearest parent") << "%A/gone/deeper/"
                                                                        << ""
                                                                        << "%A";
    QTest::newRow("removed initial folder starts at its parent") << ""
                                                                 << "%B/gone"
                                                                 << "%B";
    QTest::newRow("a file starts at its folder") << "%A/file.eml"
                                                 << ""
                                                 << "%A";
    QTest::newRow("nothing left but the root starts at home") << "/no-such-top/twindrop"
                                                              << ""
                                                              << "~";
    QTest::newRow("the root itself stays the root") << "/"
                                                    << ""
                                                    << "/";
    QTest::newRow("a relative text starts at home") << "courrier/2019"
                                                    << ""
                                                    << "~";
}

void TestDirectoryEdit::startFolder()
{
    QFETCH(QString, text);
    QFETCH(QString, initialDir);
    QFETCH(QString, start);
    const auto expand = [this](QString value) {
        if (value == QLatin1String("~"))
            return QDir::homePath();
        return value.replace("%A", m_folder->filePath("A")).replace("%B", m_folder->filePath("B"));
    };
    m_edit->setDirectory(expand(text));
    m_edit->setInitialDir(expand(initialDir));
    answerPicker(std::nullopt);
    m_edit->setFocus();
    QTest::keyClick(m_edit, Qt::Key_Down, Qt::AltModifier);
    QCOMPARE(m_starts, QStringList{expand(start)});
}

void TestDirectoryEdit::handlerErrorDoesNotStopTheChoice()
{
    const QString b = m_folder->filePath("B");
    m_edit->setDirectory(m_folder->filePath("A"));
    connect(m_edit, &TJvDirectoryEdit::OnChange, this, [this] {
        if (m_edit->text().isEmpty())
            throw base::Exception(QStringLiteral("Dossier vide"));
    });
    m_notified.clear();
    answerPicker(b);
    DialogAnswerer answerer;
    answerer.press(Qt::Key_Return);
    QTest::mouseClick(button(), Qt::LeftButton);
    QCOMPARE(answerer.pending(), 0);
    QCOMPARE(answerer.texts(), QStringList{"Dossier vide."});
    QCOMPARE(m_notified, (QStringList{"", b}));
    QCOMPARE(m_edit->directory(), b);
}

void TestDirectoryEdit::drop_data()
{
    QTest::addColumn<QStringList>("urls");
    QTest::addColumn<QString>("text");
    const QString longPath = "/" + QString(299, QLatin1Char('m'));
    QTest::newRow("a file gives its folder") << QStringList{"%A/file.eml"} << "%A";
    QTest::newRow("a folder") << QStringList{"%B"} << "%B";
    QTest::newRow("one trailing slash removed") << QStringList{"%B/"} << "%B";
    QTest::newRow("several items use the first") << QStringList{"%A/file.eml", "%B"} << "%A";
    QTest::newRow("missing path taken as it is") << QStringList{"/no/such/x"} << "/no/such/x";
    QTest::newRow("root stays the root") << QStringList{"/"} << "/";
    QTest::newRow("300 characters cut to 255") << QStringList{longPath} << longPath.left(255);
    QTest::newRow("not a local file is refused")
        << QStringList{"https://example.org/a"} << "/start";
}

void TestDirectoryEdit::drop()
{
    QFETCH(QStringList, urls);
    QFETCH(QString, text);
    const auto expand = [this](QString value) {
        return value.replace("%A", m_folder->filePath("A")).replace("%B", m_folder->filePath("B"));
    };
    m_edit->setDirectory("/start");
    m_notified.clear();
    QList<QUrl> list;
    for (const QString& url : urls)
        list << (url.contains("://") ? QUrl(url) : QUrl::fromLocalFile(expand(url)));
    QMimeData data;
    data.setUrls(list);
    const QPointF at(10, 5);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_edit, &enter);
    QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_edit, &dropped);
    const QString expected = expand(text);
    QCOMPARE(m_edit->directory(), expected);
    QCOMPARE(m_notified, expected == "/start" ? QStringList() : QStringList{expected});
    QCOMPARE(enter.isAccepted(), expected != "/start");
    QVERIFY(m_other->hasFocus());
}

void TestDirectoryEdit::dropPath(const QString& path)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    const QPointF at(10, 5);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_edit, &enter);
    QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_edit, &dropped);
}

// Cut at its line break, a chosen folder's name would silently become another folder ("A").
void TestDirectoryEdit::folderWithLineBreakRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("dropped");
    QTest::newRow("LF through the picker") << "A\nB"
                                           << "A\u240AB" << false;
    QTest::newRow("CR through the picker") << "A\rB"
                                           << "A\u240DB" << false;
    QTest::newRow("CR LF through the picker") << "A\r\n"
                                              << "A\u240D\u240A" << false;
    QTest::newRow("LF dropped") << "A\nB"
                                << "A\u240AB" << true;
    QTest::newRow("CR dropped") << "A\rB"
                                << "A\u240DB" << true;
}

void TestDirectoryEdit::folderWithLineBreakRefused()
{
    QFETCH(QString, name);
    QFETCH(QString, shown);
    QFETCH(bool, dropped);
    QVERIFY(QDir(m_folder->path()).mkdir(name));
    const QString b = m_folder->filePath("B");
    m_edit->setDirectory(b);
    m_notified.clear();
    DialogAnswerer answerer;
    answerer.press(Qt::Key_Return);
    if (dropped) {
        dropPath(m_folder->filePath(name));
    } else {
        answerPicker(m_folder->filePath(name));
        QTest::mouseClick(button(), Qt::LeftButton);
    }
    QCOMPARE(answerer.pending(), 0);
    QCOMPARE(answerer.texts(),
             QStringList{"Le dossier \"" + m_folder->filePath(shown) +
                         "\" ne peut pas être affiché dans le champ Dossier : son nom contient un "
                         "saut de ligne.\r\nLe dossier n'est pas changé. Renommez ce dossier ou "
                         "choisissez-en un autre."});
    QCOMPARE(m_edit->directory(), b);
    QCOMPARE(m_notified, QStringList());
    QCOMPARE(m_edit->initialDir(), QString());
}

void TestDirectoryEdit::readOnlyButCopyable()
{
    const QString a = m_folder->filePath("A");
    m_edit->setDirectory(a);
    m_notified.clear();
    m_edit->setFocus();
    QTest::keyClicks(m_edit, "abc");
    QTest::keyClick(m_edit, Qt::Key_Backspace);
    m_edit->selectAll();
    QTest::keyClick(m_edit, Qt::Key_Delete);
    QGuiApplication::clipboard()->setText("pasted");
    QTest::keyClick(m_edit, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(m_edit, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("pasted"));
    QCOMPARE(m_edit->directory(), a);
    QVERIFY(m_edit->hasSelectedText());
    QTest::keyClick(m_edit, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), a);
    QCOMPARE(m_notified, QStringList());
}

void TestDirectoryEdit::buttonInsideTheRightEnd()
{
    QToolButton* b = button();
    QVERIFY(b);
    QCOMPARE(b->width(), TJvDirectoryEdit::ButtonWidth);
    QVERIFY(m_edit->rect().contains(b->geometry()));
    QVERIFY(b->geometry().right() >= m_edit->width() - 4);
    QVERIFY(!b->icon().isNull());
    QCOMPARE(b->focusPolicy(), Qt::NoFocus);
}

QTEST_MAIN(TestDirectoryEdit)
#include "tst_directoryedit.moc"
