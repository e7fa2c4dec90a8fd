#pragma once

#include <QWidget>

// A horizontal bar with its percentage written across it.
class TGauge : public QWidget {
    Q_OBJECT
public:
    explicit TGauge(QWidget* parent = nullptr);

    int minValue() const { return m_minValue; }
    int maxValue() const { return m_maxValue; }
    int progress() const { return m_progress; }
    void setMinValue(int value);
    void setMaxValue(int value);
    void setProgress(int value);
    int PercentDone() const;

    QColor foreColor() const { return m_foreColor; }
    void setForeColor(const QColor& color);
    QColor backColor() const { return m_backColor; }
    void setBackColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_minValue = 0;
    int m_maxValue = 100;
    int m_progress = 0;
    QColor m_foreColor = Qt::red;
    QColor m_backColor = Qt::white;
};
