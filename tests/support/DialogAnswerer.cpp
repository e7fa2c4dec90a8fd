#include "DialogAnswerer.h"

#include "dialogs/TMessageForm.h"

#include <algorithm>
#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

QWidget* keyTarget(QWidget* modal)
{
    QWidget* focus = modal->focusWidget();
    return focus ? focus : modal;
}

QList<QAbstractButton*> buttonsLeftToRight(QWidget* modal)
{
    if (auto* form = qobject_cast<TMessageForm*>(modal)) {
        QList<QAbstractButton*> result;
        for (QPushButton* b : form->buttons())
            result.append(b);
        return result;
    }
    QList<QAbstractButton*> result = modal->findChildren<QAbstractButton*>();
    std::stable_sort(result.begin(), result.end(), [](QAbstractButton* a, QAbstractButton* b) {
        return a->mapTo(a->window(), QPoint()).x() < b->mapTo(b->window(), QPoint()).x();
    });
    return result;
}

QString withoutAmpersands(QString caption)
{
    return caption.remove(QLatin1Char('&'));
}

} // namespace

DialogAnswerer::DialogAnswerer(QObject* parent) : QObject(parent) {}

DialogAnswerer::~DialogAnswerer() = default;

DialogAnswerer& DialogAnswerer::press(int key, Qt::KeyboardModifiers modifiers)
{
    enqueue([key, modifiers](QWidget* modal) {
        QTest::keyClick(keyTarget(modal), Qt::Key(key), modifiers);
    });
    return *this;
}

void DialogAnswerer::setDefaultKeys(const QList<int>& keys, quint32 seed)
{
    m_defaultKeys = keys;
    m_seed = seed;
    schedule();
}

void DialogAnswerer::type(char character)
{
    enqueue([character](QWidget* modal) { QTest::keyClick(keyTarget(modal), character); });
}

void DialogAnswerer::click(const QString& caption)
{
    enqueue([caption](QWidget* modal) {
        for (QAbstractButton* button : buttonsLeftToRight(modal)) {
            if (withoutAmpersands(button->text()) == caption) {
                QTest::mouseClick(button, Qt::LeftButton);
                return;
            }
        }
        // Leaving the dialog open would hang the test: close it and let the result tell.
        qWarning("DialogAnswerer: no button \"%s\" in the dialog", qPrintable(caption));
        modal->close();
    });
}

void DialogAnswerer::closeBox()
{
    enqueue([](QWidget* modal) { modal->close(); });
}

void DialogAnswerer::copyText()
{
    enqueue([this](QWidget* modal) {
        QTest::keyClick(keyTarget(modal), Qt::Key_C, Qt::ControlModifier);
        m_copied.append(QGuiApplication::clipboard()->text());
    });
}

void DialogAnswerer::inspect(std::function<void(QDialog*)> check)
{
    enqueue([check = std::move(check)](QWidget* modal) { check(qobject_cast<QDialog*>(modal)); });
}

QStringList DialogAnswerer::texts() const
{
    QStringList result;
    for (const Record& r : m_records)
        result.append(r.text);
    return result;
}

QStringList DialogAnswerer::captions() const
{
    QStringList result;
    for (const Record& r : m_records)
        result.append(r.caption);
    return result;
}

QList<QStringList> DialogAnswerer::buttons() const
{
    QList<QStringList> result;
    for (const Record& r : m_records)
        result.append(r.buttons);
    return result;
}

QList<int> DialogAnswerer::results() const
{
    QList<int> result;
    for (const Record& r : m_records)
        result.append(r.result);
    return result;
}

void DialogAnswerer::enqueue(std::function<void(QWidget*)> step)
{
    m_steps.append(std::move(step));
    schedule();
}

void DialogAnswerer::schedule()
{
    if (m_scheduled || (m_steps.isEmpty() && m_defaultKeys.isEmpty()))
        return;
    m_scheduled = true;
    if (m_steps.isEmpty()) {
        // Only default answers left: look now and then rather than spin the event loop.
        QTimer::singleShot(2, this, &DialogAnswerer::tick);
        return;
    }
    // A fresh single shot each time: a step that opens a nested loop (a dialog opened by the
    // button it pressed) must not block the next one, as a repeating timer would.
    QTimer::singleShot(0, this, &DialogAnswerer::tick);
}

void DialogAnswerer::tick()
{
    m_scheduled = false;
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) {
        schedule();
        return;
    }
    if (m_steps.isEmpty()) {
        if (m_defaultKeys.isEmpty())
            return;
        // A simple generator of our own keeps the choices the same on every Qt version.
        m_seed = m_seed * 1103515245u + 12345u;
        const int key = m_defaultKeys[int((m_seed >> 16) % quint32(m_defaultKeys.size()))];
        schedule();
        record(modal);
        QTest::keyClick(keyTarget(modal), Qt::Key(key));
        return;
    }
    const auto step = m_steps.takeFirst();
    schedule();
    record(modal);
    step(modal);
}

void DialogAnswerer::record(QWidget* modal)
{
    for (const Record& r : m_records) {
        if (r.dialog == modal)
            return;
    }
    Record r;
    r.dialog = modal;
    r.caption = modal->windowTitle();
    if (auto* form = qobject_cast<TMessageForm*>(modal))
        r.text = form->messageText();
    else if (auto* box = qobject_cast<QMessageBox*>(modal))
        r.text = box->text();
    for (QAbstractButton* b : buttonsLeftToRight(modal))
        r.buttons.append(b->text());
    const qsizetype index = m_records.size();
    m_records.append(r);
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
        connect(dialog, &QDialog::finished, this,
                [this, index](int result) { m_records[index].result = result; });
    }
}
