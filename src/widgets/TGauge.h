#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

// A horizontal bar with its percentage written across it. The bar advances in whole percent
// steps and is repainted at once, but only when the shown percentage changes.
class TGauge : public QWidget {
    Q_OBJECT
public:
    explicit TGauge(QWidget* parent = nullptr);

    int minValue() const { return m_minValue; }
    int maxValue() const { return m_maxValue; }
    int progress() const { return m_progress; }
    // Both raise EInvalidOperation "La valeur doit être comprise entre %d et %d" for a value
    // beyond the other bound, and then change nothing.
    void setMinValue(int value);
    void setMaxValue(int value);
    // Clamped to the range.
    void setProgress(int value);
    int PercentDone() const;

    QColor foreColor() const { return m_foreColor; }
    void setForeColor(const QColor& color);
    QColor backColor() const { return m_backColor; }
    void setBackColor(const QColor& color);

    // Length of the filled part, measured from the gauge's left edge (exclusive end).
    int filledLength() const;
    // The picture the gauge copies to the screen, in logical pixels.
    QImage render() const;
    // Paint events handled so far.
    int paintCount() const { return m_paintCount; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_minValue = 0;
    int m_maxValue = 100;
    int m_progress = 0;
    QColor m_foreColor = Qt::red;
    QColor m_backColor = Qt::white;
    int m_paintCount = 0;
};
