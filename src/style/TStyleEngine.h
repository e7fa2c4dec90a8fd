#pragma once

#include <QProxyStyle>
#include <QStringList>

// Fusion with flat push buttons and flat check and radio indicators, drawn as vectors from the
// palette (Highlight is the accent, Mid the border). Controls that keep their own colours (by
// object name, or the dynamic property keepColors) are left to Fusion.
class TStyleEngine : public QProxyStyle {
    Q_OBJECT
public:
    explicit TStyleEngine(const QStringList& keepColors);

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;

    int styleHint(StyleHint hint, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;

    bool keepsOwnColors(const QWidget* widget) const;

private:
    bool flatButton(const QWidget* widget) const;
    void drawButtonPanel(const QStyleOption* option, QPainter* painter, bool isDefault) const;
    void drawCheckIndicator(const QStyleOption* option, QPainter* painter) const;
    void drawRadioIndicator(const QStyleOption* option, QPainter* painter) const;

    QStringList m_keepColors;
};
