#include "scan/TMemo.h"

TMemo::TMemo(QWidget* parent) : QPlainTextEdit(parent), m_text(QStringLiteral("\r\n"))
{
    setPlainText(QStringLiteral("\n"));
}

QString TMemo::text() const
{
    return m_text;
}

void TMemo::setText(const QString& text)
{
    m_text = text;
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    setPlainText(shown);
}

void TMemo::LoadFromFile(const QString&)
{
}
