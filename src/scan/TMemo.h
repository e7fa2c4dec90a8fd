#pragma once

#include "scan/TextCodec.h"

#include <QPlainTextEdit>
#include <QString>
#include <QStringView>

// A multi-line text pane that holds one whole text with CR LF line breaks; wrapping is display
// only. The control shows a NUL as U+2400, the odd-byte mark of a UTF-16 file as U+FFFD and each
// line break as one break, but text() always returns the true text, user edits included.
class TMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    // Characters a pane accepts; a longer text is refused with EInvalidOperation.
    static constexpr qsizetype kMemoCapacity = kTextPaneCapacity;

    explicit TMemo(QWidget* parent = nullptr);

    // The whole text exactly as held (CR LF line breaks).
    QString text() const;
    // Hands the text to the control in one operation; raises EInvalidOperation beyond the
    // capacity and then keeps the text it had.
    void setText(const QString& text);
    void clearText() { setText(QString()); }
    // Replaces the text with the file's decoded, normalised text; raises on failure and then
    // keeps the text it had. A text equal to the current one is not handed to the control again.
    void LoadFromFile(const QString& fileName);

    qsizetype capacity() const { return m_capacity; }
    void setCapacity(qsizetype capacity) { m_capacity = capacity; }
    // How many times a text was handed to the control.
    int textSetCount() const { return m_textSetCount; }

private:
    [[noreturn]] static void refuseText();
    static QString shownText(QStringView text);
    qsizetype trueOffset(qsizetype shownOffset, qsizetype fromShown, qsizetype fromTrue) const;
    void takeUserEdit();

    QString m_text;
    // What the document holds, as toRawText() gives it, to find what an edit changed.
    QString m_shown;
    qsizetype m_capacity = kMemoCapacity;
    int m_textSetCount = 0;
    bool m_handing = false;
};
