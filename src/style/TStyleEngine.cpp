#include "style/TStyleEngine.h"

#include <QAbstractButton>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStyleFactory>
#include <QStyleOption>

namespace {
QColor mix(const QColor& a, const QColor& b, qreal t)
{
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t,
                            a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t);
}

bool hovered(const QStyleOption* option)
{
    return (option->state & QStyle::State_MouseOver) && (option->state & QStyle::State_Enabled);
}
} // namespace

TStyleEngine::TStyleEngine(const QStringList& keepColors)
    : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))), m_keepColors(keepColors)
{
}

bool TStyleEngine::keepsOwnColors(const QWidget* widget) const
{
    return widget &&
           (widget->property("keepColors").toBool() ||
            (!widget->objectName().isEmpty() && m_keepColors.contains(widget->objectName())));
}

bool TStyleEngine::flatButton(const QWidget* widget) const
{
    return qobject_cast<const QPushButton*>(widget) && !keepsOwnColors(widget);
}

void TStyleEngine::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                 QPainter* painter, const QWidget* widget) const
{
    switch (element) {
    case PE_PanelButtonCommand:
        if (flatButton(widget)) {
            const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
            drawButtonPanel(option, painter,
                            button && (button->features & QStyleOptionButton::DefaultButton));
            return;
        }
        break;
    case PE_FrameDefaultButton:
        if (flatButton(widget))
            return;
        break;
    case PE_FrameFocusRect:
        // A flat button shows its focus by its accent border.
        if (flatButton(widget))
            return;
        break;
    case PE_IndicatorCheckBox:
        if (!keepsOwnColors(widget)) {
            drawCheckIndicator(option, painter);
            return;
        }
        break;
    case PE_IndicatorRadioButton:
        if (!keepsOwnColors(widget)) {
            drawRadioIndicator(option, painter);
            return;
        }
        break;
    default:
        break;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void TStyleEngine::drawControl(ControlElement element, const QStyleOption* option,
                               QPainter* painter, const QWidget* widget) const
{
    if (element == CE_PushButtonLabel && flatButton(widget)) {
        const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
        if (button && (button->features & QStyleOptionButton::DefaultButton) &&
            (button->state & State_Enabled)) {
            QStyleOptionButton copy(*button);
            copy.palette.setColor(QPalette::ButtonText,
                                  copy.palette.color(QPalette::HighlightedText));
            QProxyStyle::drawControl(element, &copy, painter, widget);
            return;
        }
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

void TStyleEngine::drawButtonPanel(const QStyleOption* option, QPainter* painter,
                                   bool isDefault) const
{
    const QPalette& pal = option->palette;
    const bool enabled = option->state & State_Enabled;
    const bool down = option->state & (State_Sunken | State_On);
    const QColor accent = pal.color(QPalette::Highlight);
    QColor fill = pal.color(QPalette::Button);
    QColor border = pal.color(QPalette::Mid);
    if (!enabled) {
        border = pal.color(QPalette::Midlight);
    } else if (isDefault) {
        fill = down ? accent.darker(118) : hovered(option) ? accent.lighter(112) : accent;
        border = fill.darker(108);
    } else {
        if (down)
            fill = mix(fill, accent, 0.22);
        else if (hovered(option))
            fill = mix(fill, accent, 0.09);
        if (option->state & State_HasFocus || hovered(option))
            border = accent;
    }
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    const QRectF r = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5);
    painter->setPen(QPen(border, 1));
    painter->setBrush(fill);
    painter->drawRoundedRect(r, 3, 3);
    if (enabled && isDefault && (option->state & State_HasFocus)) {
        painter->setPen(QPen(pal.color(QPalette::HighlightedText), 1));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(r.adjusted(1.5, 1.5, -1.5, -1.5), 2, 2);
    }
    painter->restore();
}

void TStyleEngine::drawCheckIndicator(const QStyleOption* option, QPainter* painter) const
{
    const QPalette& pal = option->palette;
    const bool enabled = option->state & State_Enabled;
    const bool on = option->state & State_On;
    const bool partial = option->state & State_NoChange;
    const QColor accent = enabled ? pal.color(QPalette::Highlight) : pal.color(QPalette::Mid);
    const qreal side = qMin(option->rect.width(), option->rect.height());
    const QRectF box = QRectF(option->rect.x() + (option->rect.width() - side) / 2,
                              option->rect.y() + (option->rect.height() - side) / 2, side, side)
                           .adjusted(0.5, 0.5, -0.5, -0.5);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    if (on || partial) {
        painter->setPen(QPen(accent, 1));
        painter->setBrush(accent);
    } else {
        const bool focus = (option->state & State_HasFocus) || hovered(option);
        painter->setPen(QPen(focus && enabled ? accent : pal.color(QPalette::Dark), 1));
        painter->setBrush(enabled ? pal.color(QPalette::Base) : pal.color(QPalette::Window));
    }
    painter->drawRoundedRect(box, 2.5, 2.5);
    if (on || partial) {
        QPen mark(pal.color(QPalette::HighlightedText), qMax<qreal>(1.5, side / 8), Qt::SolidLine,
                  Qt::RoundCap, Qt::RoundJoin);
        painter->setPen(mark);
        painter->setBrush(Qt::NoBrush);
        const qreal x = box.x();
        const qreal y = box.y();
        const qreal w = box.width();
        if (partial && !on) {
            painter->drawLine(QPointF(x + w * 0.27, y + w * 0.5),
                              QPointF(x + w * 0.73, y + w * 0.5));
        } else {
            QPainterPath tick;
            tick.moveTo(x + w * 0.24, y + w * 0.52);
            tick.lineTo(x + w * 0.42, y + w * 0.70);
            tick.lineTo(x + w * 0.77, y + w * 0.32);
            painter->drawPath(tick);
        }
    }
    painter->restore();
}

void TStyleEngine::drawRadioIndicator(const QStyleOption* option, QPainter* painter) const
{
    const QPalette& pal = option->palette;
    const bool enabled = option->state & State_Enabled;
    const bool on = option->state & State_On;
    const QColor accent = enabled ? pal.color(QPalette::Highlight) : pal.color(QPalette::Mid);
    const qreal side = qMin(option->rect.width(), option->rect.height());
    const QRectF circle = QRectF(option->rect.x() + (option->rect.width() - side) / 2,
                                 option->rect.y() + (option->rect.height() - side) / 2, side, side)
                              .adjusted(0.5, 0.5, -0.5, -0.5);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    const bool focus = (option->state & State_HasFocus) || hovered(option);
    painter->setPen(QPen(on || (focus && enabled) ? accent : pal.color(QPalette::Dark), 1));
    painter->setBrush(enabled ? pal.color(QPalette::Base) : pal.color(QPalette::Window));
    painter->drawEllipse(circle);
    if (on) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(accent);
        const qreal inset = side * 0.27;
        painter->drawEllipse(circle.adjusted(inset, inset, -inset, -inset));
    }
    painter->restore();
}

int TStyleEngine::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                            QStyleHintReturn* returnData) const
{
    // Alt alone selects the menu bar, so the menus are reachable from the keyboard although
    // their captions carry no accelerator.
    if (hint == SH_MenuBar_AltKeyNavigation)
        return 1;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}
