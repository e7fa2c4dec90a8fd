#include "widgets/TStatusBar.h"

#include <QLabel>

TStatusBar::TStatusBar(int fieldCount, int fieldWidth, QWidget* parent) : QStatusBar(parent)
{
    setSizeGripEnabled(false);
    for (int i = 0; i < fieldCount; ++i) {
        auto* field = new QLabel(this);
        field->setObjectName(QStringLiteral("StatusField%1").arg(i));
        field->setFixedWidth(fieldWidth);
        field->setFrameShape(QFrame::StyledPanel);
        field->setFrameShadow(QFrame::Sunken);
        addWidget(field);
        m_fields.append(field);
    }
}

QString TStatusBar::fieldText(int index) const
{
    return m_fields.value(index) ? m_fields.value(index)->text() : QString();
}

void TStatusBar::setFieldText(int index, const QString& text)
{
    if (QLabel* field = m_fields.value(index))
        field->setText(text);
}

QString TStatusBar::fieldHint(int index) const
{
    return m_fields.value(index) ? m_fields.value(index)->toolTip() : QString();
}

void TStatusBar::setFieldHint(int index, const QString& hint)
{
    if (QLabel* field = m_fields.value(index))
        field->setToolTip(hint);
}
