#include "base/Errors.h"
#include "support/TempFolder.h"
#include "widgets/TJvFileListBox.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QToolTip>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

void touch(const QString& path)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
}

QStringList itemsOf(const TJvFileListBox& list)
{
    QStringList texts;
    for (int i = 0; i < list.itemCount(); ++i)
        texts << list.itemText(i);
    return texts;
}

// Expands %A and %B to the two fixture folders.
QString expand(QString text, const QString& a, const QString& b)
{
    return text.replace(QLatin1String("%A"), a).replace(QLatin1String("%B"), b);
}

} // namespace

class TestFileList : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();

    void maskListing_data();
    void maskListing();
    void maskBeginningWithSemicolonFails();
    void emptyPatternNeverReachedInEmptyFolder();
    void sameMaskDoesNothingUpdateAlwaysRereads();
    void folderChange_data();
    void folderChange();
    void rootFolder();
    void folderThatCannotBeEntered_data();
    void folderThatCannotBeEntered();
    void onlyVisibleRegularFiles();
    void undecodableNameIsListed();
    void fileTypeChoosesKinds_data();
    void fileTypeChoosesKinds();
    void emptyFolder_data();
    void emptyFolder();
    void indexOutsideItems();
    void windowSelectionFiresNothing();
    void deleteSelectedKeepsTheFile();
    void userClickFiresClickThenChange();
    void arrowKeysSelect();
    void typeAhead_data();
    void typeAhead();
    void busyCursorAbove100Items_data();
    void busyCursorAbove100Items();
    void rowHeight_data();
    void rowHeight();
    void highlightCoversOnlyTheText_data();
    void highlightCoversOnlyTheText();
    void iconsByType();
    void cutNameShowsWholeInAHint();

private:
    QString m_startFolder;
};

void TestFileList::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    m_startFolder = QDir::currentPath();
}

// The views make the listed folder current; the fixtures vanish after each test.
void TestFileList::cleanup()
{
    QDir::setCurrent(m_startFolder);
}

void TestFileList::maskListing_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QStringList>("items");
    const QStringList all{"ab", "alpha.txt", "Beta.TXT", "delta.eml", "gamma"};
    QTest::newRow("star lists names with and without dot") << "*" << all;
    QTest::newRow("star dot star needs a dot")
        << "*.*" << QStringList{"alpha.txt", "Beta.TXT", "delta.eml"};
    QTest::newRow("star dot star star needs a dot")
        << "*.**" << QStringList{"alpha.txt", "Beta.TXT", "delta.eml"};
    QTest::newRow("upper-case pattern lists lower and upper case names")
        << "*.TXT" << QStringList{"alpha.txt", "Beta.TXT"};
    QTest::newRow("lower-case pattern lists upper-case names") << "b*" << QStringList{"Beta.TXT"};
    QTest::newRow("question mark at the end") << "a?" << QStringList{"ab"};
    QTest::newRow("several patterns")
        << "*.txt;*.eml" << QStringList{"alpha.txt", "Beta.TXT", "delta.eml"};
    QTest::newRow("final semicolon lists as the pattern alone")
        << "*.txt;" << QStringList{"alpha.txt", "Beta.TXT"};
    QTest::newRow("pattern then star lists every file") << "x*;*" << all;
    QTest::newRow("name matching two patterns is listed once")
        << "a*;*.txt" << QStringList{"ab", "alpha.txt", "Beta.TXT"};
    QTest::newRow("empty mask lists every file") << "" << all;
    QTest::newRow("no match") << "z*" << QStringList();
}

void TestFileList::maskListing()
{
    QFETCH(QString, mask);
    QFETCH(QStringList, items);
    TempFolder folder;
    for (const char* name : {"gamma", "delta.eml", "Beta.TXT", "alpha.txt", "ab"})
        touch(folder.filePath(name));
    TJvFileListBox list;
    list.setDirectory(folder.path());
    QSignalSpy changes(&list, &TJvFileListBox::OnChange);
    list.setMask(mask);
    if (mask == list.mask() && changes.isEmpty())
        list.Update();
    QCOMPARE(changes.count(), 1);
    QCOMPARE(itemsOf(list), items);
    QCOMPARE(list.itemIndex(), -1);
}

void TestFileList::maskBeginningWithSemicolonFails()
{
    TempFolder folder;
    touch(folder.filePath("a.txt"));
    TJvFileListBox list;
    list.setDirectory(folder.path());
    QCOMPARE(list.itemCount(), 1);
    QSignalSpy changes(&list, &TJvFileListBox::OnChange);
    try {
        list.setMask(";*.txt");
        QFAIL("no error raised");
    } catch (const base::Exception& error) {
        QCOMPARE(error.message(), QStringLiteral("Search string cannot be blank"));
    }
    QCOMPARE(list.itemCount(), 0);
    QCOMPARE(changes.count(), 0);
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

void TestFileList::emptyPatternNeverReachedInEmptyFolder()
{
    TempFolder folder;
    touch(folder.filePath(".hidden"));
    TJvFileListBox list;
    list.setDirectory(folder.path());
    QSignalSpy changes(&list, &TJvFileListBox::OnChange);
    list.setMask(";*.txt");
    QCOMPARE(changes.count(), 1);
    QCOMPARE(list.itemCount(), 0);
}

void TestFileList::sameMaskDoesNothingUpdateAlwaysRereads()
{
    TempFolder folder;
    TJvFileListBox list;
    list.setDirectory(folder.path());
    list.setMask("a*");
    touch(folder.filePath("a1"));
    QSignalSpy changes(&list, &TJvFileListBox::OnChange);
    list.setMask("a*");
    QCOMPARE(changes.count(), 0);
    QCOMPARE(list.itemCount(), 0);
    list.setMask("A*");
    QCOMPARE(changes.count(), 1);
    list.Update();
    QCOMPARE(changes.count(), 2);
    QCOMPARE(itemsOf(list), QStringList{"a1"});
}

void TestFileList::folderChange_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("changes");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QStringList>("items");
    const QStringList inA{"a.txt"};
    const QStringList inB{"b.txt"};
    QTest::newRow("empty value does nothing") << "%A"
                                              << "" << 0 << "%A" << inA;
    QTest::newRow("folder already listed re-reads once") << "%A"
                                                         << "%A" << 1 << "%A" << inA;
    QTest::newRow("folder already listed with trailing slash") << "%A"
                                                               << "%A/" << 1 << "%A" << inA;
    QTest::newRow("another folder re-reads twice") << "%A"
                                                   << "%B" << 2 << "%B" << inB;
    QTest::newRow("another folder with trailing slash reads back without it")
        << "%A"
        << "%B/" << 2 << "%B" << inB;
    QTest::newRow("dot segments cleaned") << "%A"
                                          << "%A/../B/." << 2 << "%B" << inB;
    QTest::newRow("relative path from the folder listed last") << "%A"
                                                               << "../B" << 2 << "%B" << inB;
    QTest::newRow("square brackets are an ordinary folder name")
        << "%A"
        << "%A/[mail]" << 2 << "%A/[mail]" << QStringList{"m.txt"};
    QTest::newRow("relative name in square brackets")
        << "%A"
        << "[mail]" << 2 << "%A/[mail]" << QStringList{"m.txt"};
    QTest::newRow("folders differing only in case are different")
        << "%A/Case"
        << "%A/case" << 2 << "%A/case" << QStringList{"lower.txt"};
    QTest::newRow("symbolic link kept as written") << "%A"
                                                   << "%A/link" << 2 << "%A/link" << inB;
}

void TestFileList::folderChange()
{
    QFETCH(QString, start);
    QFETCH(QString, value);
    QFETCH(int, changes);
    QFETCH(QString, directory);
    QFETCH(QStringList, items);
    TempFolder root;
    const QString a = root.filePath("A");
    const QString b = root.filePath("B");
    for (const QString& sub : {a, b, a + "/[mail]", a + "/Case", a + "/case"})
        QVERIFY(QDir().mkpath(sub));
    touch(a + "/a.txt");
    touch(b + "/b.txt");
    touch(a + "/[mail]/m.txt");
    touch(a + "/Case/upper.txt");
    touch(a + "/case/lower.txt");
    QVERIFY(QFile::link(b, a + "/link"));

    TJvFileListBox list;
    list.setDirectory(expand(start, a, b));
    QSignalSpy spy(&list, &TJvFileListBox::OnChange);
    list.setDirectory(expand(value, a, b));
    QCOMPARE(spy.count(), changes);
    QCOMPARE(list.directory(), expand(directory, a, b));
    QCOMPARE(itemsOf(list), items);
}

void TestFileList::rootFolder()
{
    TJvFileListBox list;
    list.setMask("*");
    list.setDirectory("/");
    QCOMPARE(list.directory(), QStringLiteral("/"));
    list.setDirectory("//");
    QCOMPARE(list.directory(), QStringLiteral("/"));
    if (list.itemCount() == 0)
        QSKIP("no regular file in /");
    list.setItemIndex(0);
    QCOMPARE(list.fileName(), "/" + list.itemText(0));
}

void TestFileList::folderThatCannotBeEntered_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing folder in an existing one")
        << "missing" << 2 << QStringLiteral("Impossible de trouver le fichier spécifié");
    QTest::newRow("dangling link in an existing folder")
        << "dangling" << 2 << QStringLiteral("Impossible de trouver le fichier spécifié");
    QTest::newRow("missing parent")
        << "missing/deeper" << 3
        << QStringLiteral("Impossible de trouver le chemin d'accès spécifié");
    QTest::newRow("a file, not a folder")
        << "a.txt" << 3 << QStringLiteral("Impossible de trouver le chemin d'accès spécifié");
    QTest::newRow("folder without access")
        << "locked" << 5 << QStringLiteral("Accès au fichier refusé");
}

void TestFileList::folderThatCannotBeEntered()
{
    QFETCH(QString, name);
    QFETCH(int, code);
    QFETCH(QString, message);
    TempFolder folder;
    touch(folder.filePath("a.txt"));
    QVERIFY(QFile::link(folder.filePath("nowhere"), folder.filePath("dangling")));
    QVERIFY(QDir().mkdir(folder.filePath("locked")));
    QVERIFY(::chmod(QFile::encodeName(folder.filePath("locked")).constData(), 0) == 0);
    if (name == "locked" &&
        ::access(QFile::encodeName(folder.filePath("locked")).constData(), X_OK) == 0)
        QSKIP("running with rights that enter any folder");

    TJvFileListBox list;
    list.setDirectory(folder.path());
    list.setItemIndex(0);
    QDir::setCurrent(m_startFolder);
    QSignalSpy changes(&list, &TJvFileListBox::OnChange);
    try {
        list.setDirectory(folder.filePath(name));
        QFAIL("no error raised");
    } catch (const base::EInOutError& error) {
        QCOMPARE(error.code(), code);
        QCOMPARE(error.message(), message);
    }
    QCOMPARE(list.directory(), folder.path());
    QCOMPARE(itemsOf(list), QStringList{"a.txt"});
    QCOMPARE(list.itemIndex(), 0);
    QCOMPARE(QDir::currentPath(), m_startFolder);
    QCOMPARE(changes.count(), 0);
}

void TestFileList::onlyVisibleRegularFiles()
{
    TempFolder folder;
    touch(folder.filePath("visible.txt"));
    touch(folder.filePath(".hidden.txt"));
    QVERIFY(QDir().mkdir(folder.filePath("sub.txt")));
    QVERIFY(::mkfifo(QFile::encodeName(folder.filePath("pipe.txt")).constData(), 0600) == 0);
    QVERIFY(QFile::link(folder.filePath("visible.txt"), folder.filePath("link.txt")));
    QVERIFY(QFile::link(folder.filePath("pipe.txt"), folder.filePath("pipelink.txt")));
    QVERIFY(QFile::link(folder.filePath("gone"), folder.filePath("dangling.txt")));
    QVERIFY(QFile::link("/dev/null", folder.filePath("device.txt")));

    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    QVERIFY(sock >= 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketPath = QFile::encodeName(folder.filePath("sock.txt"));
    QVERIFY(size_t(socketPath.size()) < sizeof(address.sun_path));
    qstrcpy(address.sun_path, socketPath.constData());
    QVERIFY(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0);

    TJvFileListBox list;
    list.setDirectory(folder.path());
    ::close(sock);
    QCOMPARE(itemsOf(list), (QStringList{"link.txt", "visible.txt"}));
}

void TestFileList::undecodableNameIsListed()
{
    TempFolder folder;
    const QByteArray raw = QFile::encodeName(folder.path()) + "/bad\xff.txt";
    const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY, 0600);
    QVERIFY(fd >= 0);
    ::close(fd);
    TJvFileListBox list;
    list.setDirectory(folder.path());
    QCOMPARE(list.itemCount(), 1);
    // Shown with its bad byte as a lone surrogate, which names no file.
    QCOMPARE(list.itemText(0), QStringLiteral("bad") + QChar(char16_t(0xDCFF)) + ".txt");
    // Removal by decoded name cannot reach it.
    QCOMPARE(::unlink(raw.constData()), 0);
}

void TestFileList::fileTypeChoosesKinds_data()
{
    QTest::addColumn<int>("kinds");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("normal files only")
        << int(base::FolderListing::ftNormal) << QStringList{"plain.txt", "readonly.txt"};
    QTest::newRow("hidden files as well")
        << int(base::FolderListing::ftNormal | base::FolderListing::ftHidden)
        << QStringList{".hidden.txt", "plain.txt", "readonly.txt"};
    QTest::newRow("subfolders first")
        << int(base::FolderListing::ftNormal | base::FolderListing::ftDirectory)
        << QStringList{"sub", "plain.txt", "readonly.txt"};
    QTest::newRow("hidden only") << int(base::FolderListing::ftHidden)
                                 << QStringList{".hidden.txt"};
}

void TestFileList::fileTypeChoosesKinds()
{
    QFETCH(int, kinds);
    QFETCH(QStringList, items);
    TempFolder folder;
    touch(folder.filePath("plain.txt"));
    touch(folder.filePath("readonly.txt"));
    QVERIFY(QFile::setPermissions(folder.filePath("readonly.txt"), QFile::ReadOwner));
    touch(folder.filePath(".hidden.txt"));
    QVERIFY(QDir().mkdir(folder.filePath("sub")));
    TJvFileListBox list;
    list.setDirectory(folder.path());
    list.setFileType(base::FolderListing::FileKinds(kinds));
    QCOMPARE(itemsOf(list), items);
}

void TestFileList::emptyFolder_data()
{
    QTest::addColumn<bool>("withHidden");
    QTest::newRow("no entry at all") << false;
    QTest::newRow("hidden files only") << true;
}

void TestFileList::emptyFolder()
{
    QFETCH(bool, withHidden);
    TempFolder folder;
    if (withHidden)
        touch(folder.filePath(".mail.eml"));
    TJvFileListBox list;
    QSignalSpy changes(&list, &TJvFileListBox::OnChange);
    list.setDirectory(folder.path());
    QCOMPARE(changes.count(), 2);
    list.Update();
    QCOMPARE(changes.count(), 3);
    QCOMPARE(list.itemCount(), 0);
    QCOMPARE(list.itemIndex(), -1);
    QCOMPARE(list.fileName(), QString());
    list.setItemIndex(0);
    QCOMPARE(list.itemIndex(), -1);
}

void TestFileList::indexOutsideItems()
{
    TempFolder folder;
    touch(folder.filePath("a.txt"));
    TJvFileListBox list;
    list.setDirectory(folder.path());
    try {
        list.itemText(1);
        QFAIL("no error raised");
    } catch (const base::EStringListError& error) {
        QCOMPARE(error.message(), QStringLiteral("Index de liste hors limites (1)"));
    }
    try {
        list.isItemSelected(-1);
        QFAIL("no error raised");
    } catch (const base::EListError& error) {
        QCOMPARE(error.message(), QStringLiteral("Index de liste hors limites (-1)"));
    }
    try {
        list.setItemSelected(5, true);
        QFAIL("no error raised");
    } catch (const base::EListError& error) {
        QCOMPARE(error.message(), QStringLiteral("Index de liste hors limites (5)"));
    }
    QCOMPARE(list.itemIndex(), -1);
}

void TestFileList::windowSelectionFiresNothing()
{
    TempFolder folder;
    touch(folder.filePath("a.txt"));
    touch(folder.filePath("b.txt"));
    TJvFileListBox list;
    list.setDirectory(folder.path());
    QSignalSpy changes(&list, &TJvFileListBox::OnChange);
    QSignalSpy clicks(&list, &TJvFileListBox::OnClick);
    list.setItemIndex(1);
    QCOMPARE(list.fileName(), folder.filePath("b.txt"));
    list.setItemSelected(0, true);
    QVERIFY(list.isItemSelected(0));
    QVERIFY(!list.isItemSelected(1));
    QCOMPARE(list.itemIndex(), 0);
    list.setItemSelected(0, false);
    QCOMPARE(list.itemIndex(), -1);
    QCOMPARE(list.fileName(), QString());
    list.setItemIndex(1);
    list.DeleteSelected();
    QCOMPARE(changes.count(), 0);
    QCOMPARE(clicks.count(), 0);
}

void TestFileList::deleteSelectedKeepsTheFile()
{
    TempFolder folder;
    touch(folder.filePath("a.txt"));
    touch(folder.filePath("b.txt"));
    touch(folder.filePath("c.txt"));
    TJvFileListBox list;
    list.setDirectory(folder.path());
    list.DeleteSelected();
    QCOMPARE(list.itemCount(), 3);
    list.setItemIndex(1);
    list.DeleteSelected();
    QCOMPARE(itemsOf(list), (QStringList{"a.txt", "c.txt"}));
    QCOMPARE(list.itemIndex(), -1);
    QVERIFY(QFile::exists(folder.filePath("b.txt")));
    list.Update();
    QCOMPARE(itemsOf(list), (QStringList{"a.txt", "b.txt", "c.txt"}));
}

void TestFileList::userClickFiresClickThenChange()
{
    TempFolder folder;
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        touch(folder.filePath(name));
    TJvFileListBox list;
    list.setDirectory(folder.path());
    list.resize(200, 200);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QStringList events;
    connect(&list, &TJvFileListBox::OnClick, this,
            [&] { events << QStringLiteral("click %1").arg(list.itemIndex()); });
    connect(&list, &TJvFileListBox::OnChange, this,
            [&] { events << QStringLiteral("change %1").arg(list.itemIndex()); });
    const auto clickRow = [&](int row) {
        QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier,
                          list.itemRect(row).center());
    };

    clickRow(1);
    QCOMPARE(events, (QStringList{"click 1", "change 1"}));
    QCOMPARE(list.fileName(), folder.filePath("b.txt"));
    events.clear();
    clickRow(1);
    QCOMPARE(events, QStringList{"click 1"});
    // The window's own selection does not count as notified.
    list.setItemIndex(2);
    events.clear();
    clickRow(2);
    QCOMPARE(events, (QStringList{"click 2", "change 2"}));
    events.clear();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 190));
    QCOMPARE(events, QStringList());
    QCOMPARE(list.itemIndex(), 2);
}

void TestFileList::arrowKeysSelect()
{
    TempFolder folder;
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        touch(folder.filePath(name));
    TJvFileListBox list;
    list.setDirectory(folder.path());
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QStringList events;
    connect(&list, &TJvFileListBox::OnClick, this,
            [&] { events << QStringLiteral("click %1").arg(list.itemIndex()); });
    connect(&list, &TJvFileListBox::OnChange, this,
            [&] { events << QStringLiteral("change %1").arg(list.itemIndex()); });
    QTest::keyClick(&list, Qt::Key_Down);
    QCOMPARE(events, (QStringList{"click 0", "change 0"}));
    QTest::keyClick(&list, Qt::Key_End);
    QTest::keyClick(&list, Qt::Key_Down);
    QTest::keyClick(&list, Qt::Key_Up);
    QCOMPARE(events,
             (QStringList{"click 0", "change 0", "click 2", "change 2", "click 1", "change 1"}));
}

void TestFileList::typeAhead_data()
{
    // Each key: its text ("\b" for Backspace), "@", the clock in milliseconds.
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<int>("selected");
    QTest::newRow("letter selects the first match") << QStringList{"b@0"} << 1;
    QTest::newRow("prefix grows within 500 ms") << QStringList{"b@0", "r@499"} << 2;
    QTest::newRow("prefix starts afresh at 500 ms") << QStringList{"b@0", "c@500"} << 3;
    QTest::newRow("fresh prefix without match keeps the selection")
        << QStringList{"b@0", "r@500"} << 1;
    QTest::newRow("letter case ignored") << QStringList{"B@0", "R@10"} << 2;
    QTest::newRow("no match keeps the selection") << QStringList{"b@0", "z@10"} << 1;
    QTest::newRow("backspace removes the last character")
        << QStringList{"b@0", "r@10", "\b@20"} << 1;
    QTest::newRow("backspace emptying the prefix selects the first item")
        << QStringList{"c@0", "\b@10"} << 0;
    QTest::newRow("no match at all selects nothing") << QStringList{"z@0"} << -1;
}

void TestFileList::typeAhead()
{
    QFETCH(QStringList, keys);
    QFETCH(int, selected);
    TempFolder folder;
    for (const char* name : {"alpha", "Beta", "bravo", "charlie"})
        touch(folder.filePath(name));
    TJvFileListBox list;
    list.setMask("*");
    list.setDirectory(folder.path());
    qint64 now = 0;
    list.setTypeAheadClock([&] { return now; });
    QSignalSpy clicks(&list, &TJvFileListBox::OnClick);
    int moves = 0;
    int last = list.itemIndex();
    for (const QString& key : keys) {
        const qsizetype at = key.lastIndexOf('@');
        now = key.mid(at + 1).toLongLong();
        const QString text = key.left(at);
        if (text == "\b")
            QTest::keyClick(&list, Qt::Key_Backspace);
        else
            QTest::keyClick(&list, text.at(0).toLatin1());
        if (list.itemIndex() != last)
            ++moves;
        last = list.itemIndex();
    }
    QCOMPARE(list.itemIndex(), selected);
    QCOMPARE(clicks.count(), moves);
}

void TestFileList::busyCursorAbove100Items_data()
{
    QTest::addColumn<int>("files");
    QTest::addColumn<bool>("busy");
    QTest::newRow("100 files never show it") << 100 << false;
    QTest::newRow("150 files show it while the rows arrive") << 150 << true;
}

void TestFileList::busyCursorAbove100Items()
{
    QFETCH(int, files);
    QFETCH(bool, busy);
    TempFolder folder;
    for (int i = 0; i < files; ++i)
        touch(folder.filePath(QStringLiteral("m%1.eml").arg(i, 3, 10, QLatin1Char('0'))));
    TJvFileListBox list;
    bool seenBusy = false;
    bool busyAtChange = true;
    // The rows arrive in one reset of the model.
    connect(list.model(), &QAbstractItemModel::modelReset, this, [&] {
        const QCursor* cursor = QGuiApplication::overrideCursor();
        if (list.model()->rowCount() > 0 && cursor && cursor->shape() == Qt::WaitCursor)
            seenBusy = true;
    });
    connect(&list, &TJvFileListBox::OnChange, this,
            [&] { busyAtChange = QGuiApplication::overrideCursor() != nullptr; });
    list.setDirectory(folder.path());
    QCOMPARE(list.itemCount(), files);
    QCOMPARE(seenBusy, busy);
    QVERIFY(!busyAtChange);
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

void TestFileList::rowHeight_data()
{
    QTest::addColumn<bool>("glyphs");
    QTest::addColumn<int>("pixelSize");
    QTest::newRow("font height without glyphs") << false << 11;
    QTest::newRow("raised to 16 with glyphs") << true << 11;
    QTest::newRow("large font with glyphs") << true << 24;
}

void TestFileList::rowHeight()
{
    QFETCH(bool, glyphs);
    QFETCH(int, pixelSize);
    TempFolder folder;
    touch(folder.filePath("a.txt"));
    TJvFileListBox list;
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixelSize);
    list.setFont(font);
    list.setShowGlyphs(glyphs);
    list.setDirectory(folder.path());
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    const int textHeight = QFontMetrics(font).height();
    QCOMPARE(list.itemRect(0).height(), glyphs ? qMax(textHeight, 16) : textHeight);
}

void TestFileList::highlightCoversOnlyTheText_data()
{
    QTest::addColumn<bool>("glyphs");
    QTest::addColumn<int>("textLeft");
    QTest::newRow("with glyphs the text starts at 22") << true << 22;
    QTest::newRow("without glyphs the text starts at 2") << false << 2;
}

void TestFileList::highlightCoversOnlyTheText()
{
    QFETCH(bool, glyphs);
    QFETCH(int, textLeft);
    TempFolder folder;
    touch(folder.filePath("mail.eml"));
    TJvFileListBox list;
    QPalette palette = list.palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Base, Qt::white);
        palette.setColor(group, QPalette::Highlight, Qt::red);
        palette.setColor(group, QPalette::HighlightedText, Qt::white);
        palette.setColor(group, QPalette::Text, Qt::black);
    }
    list.setPalette(palette);
    // The focus rectangle would overlap the highlight's edge.
    list.setFocusPolicy(Qt::NoFocus);
    list.setShowGlyphs(glyphs);
    list.setDirectory(folder.path());
    list.setItemIndex(0);
    list.resize(300, 100);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    const QImage image = list.viewport()->grab().toImage();
    const QRect row = list.itemRect(0);
    const int textWidth = list.fontMetrics().horizontalAdvance(QStringLiteral("mail.eml"));
    const int y = row.center().y();
    const auto isRed = [&](int x) { return image.pixelColor(x, y) == QColor(Qt::red); };
    QVERIFY(isRed(textLeft - 2));
    QVERIFY(isRed(textLeft + textWidth + 1));
    QVERIFY(!isRed(textLeft + textWidth + 2));
    if (textLeft > 2)
        QVERIFY(!isRed(textLeft - 3));
    QVERIFY(!isRed(row.right()));
}

void TestFileList::iconsByType()
{
    TempFolder folder;
    for (const char* name : {"a.txt", "b.txt", "c.png", "d.zzqx"})
        touch(folder.filePath(name));
    TJvFileListBox list;
    list.setDirectory(folder.path());
    QCOMPARE(list.itemIconNumber(0), list.itemIconNumber(1));
    QVERIFY(list.itemIconNumber(0) != list.itemIconNumber(2));
    for (int i = 0; i < list.itemCount(); ++i)
        QVERIFY(!TJvFileListBox::iconForNumber(list.itemIconNumber(i)).isNull());
}

// A name too long for the list's width shows whole in a hint; a name that fits shows none.
void TestFileList::cutNameShowsWholeInAHint()
{
    TempFolder folder;
    const QString longName =
        QStringLiteral("a-very-long-name-of-a-mail-") + QString(60, u'x') + QStringLiteral(".eml");
    touch(folder.filePath(longName));
    touch(folder.filePath("b.eml"));
    TJvFileListBox list;
    list.setDirectory(folder.path());
    list.resize(150, 200);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QCOMPARE(itemsOf(list), (QStringList{longName, "b.eml"}));

    auto hintAt = [&](int index) {
        QToolTip::hideText();
        if (!QTest::qWaitFor([] { return !QToolTip::isVisible(); }))
            return QStringLiteral("the previous hint stays");
        const QPoint at = list.itemRect(index).center();
        QHelpEvent help(QEvent::ToolTip, at, list.viewport()->mapToGlobal(at));
        QApplication::sendEvent(list.viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    QCOMPARE(hintAt(0), longName);
    QCOMPARE(hintAt(1), QString());
    list.resize(2000, 200);
    QCOMPARE(hintAt(0), QString());
}

QTEST_MAIN(TestFileList)
#include "tst_filelist.moc"
