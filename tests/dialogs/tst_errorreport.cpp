#include "app/TwindropApplication.h"
#include "base/Errors.h"
#include "dialogs/AppTitle.h"
#include "dialogs/ErrorReport.h"
#include "dialogs/TMessageForm.h"
#include "support/DialogAnswerer.h"

#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <stdexcept>

namespace {

enum Thrown { OwnError, StandardError, OutOfMemory, Other };
enum Where { Timer, Click };

void throwError(int thrown)
{
    switch (Thrown(thrown)) {
    case OwnError:
        throw base::EFOpenError(QStringLiteral("Impossible d'ouvrir le fichier « a.eml »"));
    case StandardError:
        throw std::runtime_error("échec");
    case OutOfMemory:
        throw std::bad_alloc();
    case Other:
        throw 42;
    }
}

} // namespace

class TestErrorReport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void fullStop_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << "Fichier introuvable"
                                << "Fichier introuvable.";
        QTest::newRow("full stop") << "Fichier introuvable."
                                   << "Fichier introuvable.";
        QTest::newRow("exclamation mark, before the dot") << "Erreur !"
                                                          << "Erreur !";
        QTest::newRow("closing parenthesis, before the dot") << "Erreur (5)"
                                                             << "Erreur (5)";
        QTest::newRow("question mark, after the dot") << "Erreur ?"
                                                      << "Erreur ?.";
        QTest::newRow("digit, after the dot") << "Erreur E/S 21"
                                              << "Erreur E/S 21.";
        QTest::newRow("comma, before the dot") << "a,"
                                               << "a,";
        QTest::newRow("accented letter") << "Accès refusé"
                                         << "Accès refusé.";
        QTest::newRow("empty") << ""
                               << "";
    }
    void fullStop()
    {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(ErrorReportText(message), shown);
    }

    void reportDialog()
    {
        DialogAnswerer answerer;
        bool errorIcon = false;
        answerer.inspect([&](QDialog* dialog) {
            auto* form = qobject_cast<TMessageForm*>(dialog);
            QVERIFY(form);
            QVERIFY(form->iconLabel());
            const QImage expected =
                TMessageForm::kindIcon(mtError, form->devicePixelRatioF()).toImage();
            errorIcon = form->iconLabel()->pixmap().toImage() == expected;
        });
        answerer.press(Qt::Key_Escape);
        ShowErrorReport(QStringLiteral("Fichier introuvable"));
        QCOMPARE(answerer.texts(), QStringList{"Fichier introuvable."});
        QCOMPARE(answerer.captions(), QStringList{ApplicationTitle()});
        QCOMPARE(answerer.buttons(), QList<QStringList>{{"OK"}});
        QCOMPARE(answerer.results(), QList<int>{1});
        QVERIFY(errorIcon);
    }

    void reportException()
    {
        DialogAnswerer answerer;
        answerer.press(Qt::Key_Return);
        answerer.press(Qt::Key_Return);
        ReportException(base::EFOpenError(QStringLiteral("Accès refusé")));
        ReportException(std::runtime_error("déjà vu"));
        QCOMPARE(answerer.texts(), (QStringList{"Accès refusé.", "déjà vu."}));
    }

    // An exception leaving an event handler is reported and the program goes on.
    void handlerExceptions_data()
    {
        QTest::addColumn<int>("thrown");
        QTest::addColumn<int>("where");
        QTest::addColumn<QString>("text");
        const QString own = QStringLiteral("Impossible d'ouvrir le fichier « a.eml ».");
        QTest::newRow("own error from a timer") << int(OwnError) << int(Timer) << own;
        QTest::newRow("standard error from a timer")
            << int(StandardError) << int(Timer) << "échec.";
        QTest::newRow("out of memory from a timer")
            << int(OutOfMemory) << int(Timer) << "Mémoire insuffisante.";
        QTest::newRow("other from a timer") << int(Other) << int(Timer) << "Erreur inconnue.";
        QTest::newRow("own error from a click") << int(OwnError) << int(Click) << own;
        QTest::newRow("standard error from a click")
            << int(StandardError) << int(Click) << "échec.";
    }
    void handlerExceptions()
    {
        QFETCH(int, thrown);
        QFETCH(int, where);
        QFETCH(QString, text);

        DialogAnswerer answerer;
        answerer.press(Qt::Key_Return);
        bool after = false;
        if (Where(where) == Timer) {
            QTimer::singleShot(0, [thrown] { throwError(thrown); });
            QTimer::singleShot(0, [&] { after = true; });
            QTRY_VERIFY(after);
        } else {
            QPushButton button(QStringLiteral("Go"));
            connect(&button, &QPushButton::clicked, [thrown] { throwError(thrown); });
            connect(&button, &QPushButton::clicked, [&] { after = true; });
            button.show();
            QVERIFY(QTest::qWaitForWindowExposed(&button));
            QTest::mouseClick(&button, Qt::LeftButton);
            // The first handler's exception ends that delivery; the button still works after.
            QTRY_COMPARE(answerer.pending(), 0);
            QVERIFY(!button.isDown());
            after = false;
            disconnect(&button, nullptr, nullptr, nullptr);
            connect(&button, &QPushButton::clicked, [&] { after = true; });
            QTest::mouseClick(&button, Qt::LeftButton);
            QVERIFY(after);
        }
        QTRY_COMPARE(answerer.pending(), 0);
        QCOMPARE(answerer.texts(), QStringList{text});
        QCOMPARE(answerer.captions(), QStringList{ApplicationTitle()});
    }
};

int main(int argc, char** argv)
{
    TwindropApplication app(argc, argv);
    TestErrorReport test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_errorreport.moc"
