#pragma once

#include <QPointer>
#include <QWidget>

// A horizontal bar that changes the height of the control aligned below it, as a dragged
// splitter does; the control above takes the rest.
class TSplitter : public QWidget {
    Q_OBJECT
public:
    explicit TSplitter(QWidget* parent = nullptr);

    // The bar changes the height of `below`; `above` fills what is left.
    void setControls(QWidget* above, QWidget* below);
    QWidget* control() const { return m_control; }
    // Smallest height either neighbour keeps; a dragged or restored height stays within
    // [minimum, what leaves the neighbour above its minimum].
    int minimumControlHeight() const { return m_minimum; }
    void setMinimumControlHeight(int minimum) { m_minimum = minimum; }
    // Height of the control, bounded as a drag would bound it.
    void setControlHeight(int height);
    int boundedHeight(int height) const;
    // Brings the control back within bounds after the window was resized.
    void rebound();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // -1 while the column has not been laid out.
    int maximumControlHeight() const;

    QPointer<QWidget> m_above;
    QPointer<QWidget> m_control;
    int m_minimum = 30;
    int m_pressY = 0;
    int m_pressHeight = 0;
    bool m_dragging = false;
};
