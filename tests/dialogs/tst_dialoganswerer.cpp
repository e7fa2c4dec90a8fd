#include "dialogs/MessageDialogs.h"
#include "support/DialogAnswerer.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

class TestDialogAnswerer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // As a scan does: several dialogs from one long handler that processes events in between.
    void dialogsFromALongHandler()
    {
        DialogAnswerer answerer;
        answerer.press(Qt::Key_Return);
        answerer.press(Qt::Key_Escape);
        answerer.closeBox();
        QList<bool> answers;
        bool finished = false;
        QTimer::singleShot(0, [&] {
            for (int i = 1; i <= 3; ++i) {
                answers.append(AskConfirm(QStringLiteral("Question %1").arg(i), mtConfirmation));
                QCoreApplication::processEvents();
            }
            finished = true;
        });
        QTRY_VERIFY(finished);
        QCOMPARE(answers, (QList<bool>{true, false, false}));
        QCOMPARE(answerer.texts(), (QStringList{"Question 1", "Question 2", "Question 3"}));
        QCOMPARE(answerer.results(), (QList<int>{1, 2, 2}));
        QCOMPARE(answerer.pending(), 0);
    }

    // A dialog opened by a button of another dialog, inside the step that clicked it.
    void nestedDialogs()
    {
        QDialog outer;
        outer.setWindowTitle(QStringLiteral("Extérieur"));
        auto* next = new QPushButton(QStringLiteral("&Suite"), &outer);
        int inner = -1;
        connect(next, &QPushButton::clicked, &outer, [&] {
            inner = ShowMessageDialog(QStringLiteral("Intérieur"), mtConfirmation,
                                      mbYes | mbNo | mbCancel, 0, -1, -1, QString());
        });
        DialogAnswerer answerer;
        answerer.click(QStringLiteral("Suite"));
        answerer.type('n');
        answerer.closeBox();
        outer.exec();
        QCOMPARE(inner, 7);
        QCOMPARE(answerer.captions(), (QStringList{"Extérieur", "Confirmer"}));
        QCOMPARE(answerer.texts(), (QStringList{"", "Intérieur"}));
        QCOMPARE(answerer.buttons(), (QList<QStringList>{{"&Suite"}, {"&Oui", "&Non", "Annuler"}}));
        QCOMPARE(answerer.results(), (QList<int>{QDialog::Rejected, 7}));
        QCOMPARE(answerer.pending(), 0);
    }
};

QTEST_MAIN(TestDialogAnswerer)
#include "tst_dialoganswerer.moc"
