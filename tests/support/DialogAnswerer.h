#pragma once

#include <functional>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

class QDialog;
class QWidget;

// Answers the modal dialogs a test is about to open, with real key presses and clicks.
//
//     DialogAnswerer answerer;
//     answerer.press(Qt::Key_Return);      // first dialog: Enter
//     answerer.type('n');                  // next dialog: the letter "n"
//     answerer.copyText();                 // Ctrl+C on the dialog after that, which stays open,
//     answerer.closeBox();                 // so the close box answers it
//     window.startScan();                  // opens the dialogs
//     QCOMPARE(answerer.pending(), 0);
//     QCOMPARE(answerer.texts(), QStringList({"Comparer 3 fichiers ?", ...}));
//
// Steps run in the order queued, one per turn of whatever event loop is running (a dialog's own
// loop, a nested one, processEvents() inside a long handler), each on the modal widget active at
// that moment (QApplication::activeModalWidget()); a step waits while no modal widget is active.
// A step that leaves the dialog open (Escape without a cancel button, Ctrl+C, Tab) means the next
// step goes to the same dialog. Keys go to the dialog's focused widget, through the application's
// ordinary delivery (shortcut override, event filters, QApplication::notify).
//
// Each dialog reached is recorded once, in the order first reached: its message (texts()), its
// title (captions()), its button captions from left to right (buttons()) and, once it closes, its
// result (results(); -1 while open). Only one answerer should be alive at a time.
class DialogAnswerer : public QObject {
    Q_OBJECT
public:
    explicit DialogAnswerer(QObject* parent = nullptr);
    ~DialogAnswerer() override;

    // A key click, e.g. press(Qt::Key_Escape), press(Qt::Key_N, Qt::AltModifier).
    DialogAnswerer& press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // A typed character, e.g. type('n') or type('N') (text and key code of that character).
    void type(char character);
    // A left click on the button whose caption, without its "&", is caption ("Annuler", "Non").
    void click(const QString& caption);
    // Closes the dialog from its title bar (a close event).
    void closeBox();
    // Ctrl+C, then records the clipboard's text in copiedTexts().
    void copyText();
    // Runs code on the active dialog (to look at its widgets); the dialog stays open.
    void inspect(std::function<void(QDialog*)> check);

    // Once the queued steps are used up, every further dialog is answered by one of these keys,
    // drawn at random from the seed (so a run is repeatable).
    void setDefaultKeys(const QList<int>& keys, quint32 seed);

    // Steps not run yet.
    int pending() const { return int(m_steps.size()); }
    QStringList texts() const;
    QStringList captions() const;
    QList<QStringList> buttons() const;
    QList<int> results() const;
    QStringList copiedTexts() const { return m_copied; }

private:
    struct Record {
        QPointer<QWidget> dialog;
        QString text;
        QString caption;
        QStringList buttons;
        int result = -1;
    };

    void enqueue(std::function<void(QWidget*)> step);
    void schedule();
    void tick();
    void record(QWidget* modal);

    QList<std::function<void(QWidget*)>> m_steps;
    QList<int> m_defaultKeys;
    quint32 m_seed = 0;
    QList<Record> m_records;
    QStringList m_copied;
    bool m_scheduled = false;
};
