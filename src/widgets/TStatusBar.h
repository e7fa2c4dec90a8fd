#pragma once

#include <QList>
#include <QStatusBar>

class QLabel;

// A status bar with fixed-width fields, addressed by index from 0.
class TStatusBar : public QStatusBar {
    Q_OBJECT
public:
    TStatusBar(int fieldCount, int fieldWidth, QWidget* parent = nullptr);

    int fieldCount() const { return int(m_fields.size()); }
    QString fieldText(int index) const;
    void setFieldText(int index, const QString& text);
    // The tooltip of one field.
    QString fieldHint(int index) const;
    void setFieldHint(int index, const QString& hint);

private:
    QList<QLabel*> m_fields;
};
