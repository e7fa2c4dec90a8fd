#pragma once

#include <QPlainTextEdit>
#include <QString>

// A multi-line text pane that holds one whole text with CR LF line breaks; wrapping is display only.
class TMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TMemo(QWidget* parent = nullptr);

    // The whole text exactly as held (CR LF line breaks).
    QString text() const;
    void setText(const QString& text);
    void clearText() { setText(QString()); }
    // Replaces the text with the file's decoded, normalised text; raises on failure and then
    // keeps the text it had.
    void LoadFromFile(const QString& fileName);

private:
    QString m_text;
};
