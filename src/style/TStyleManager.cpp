#include "style/TStyleManager.h"

#include "base/Errors.h"
#include "dialogs/MessageDialogs.h"
#include "style/StyleResources.h"
#include "style/TStyleData.h"
#include "style/TStyleEngine.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QStyle>
#include <QWidget>

#include <optional>
#include <vector>

namespace {

const QString kStylePrefix = QStringLiteral(":/VCLSTYLE");

struct Registry {
    bool discovered = false;
    std::vector<TStyleData> styles;
    int active = -1; // index into styles; -1 for the system style
    int activations = 0;
    // The look to go back to in tests.
    std::optional<QString> systemStyle;
    QPalette systemPalette;
    QString systemSheet;
};

Registry& registry()
{
    static Registry r;
    return r;
}

bool sameName(const QString& a, const QString& b)
{
    const QLocale locale = QLocale::system();
    return locale.toLower(a) == locale.toLower(b);
}

void activate(int index)
{
    Registry& r = registry();
    if (r.active == index)
        return;
    if (!r.systemStyle) {
        r.systemStyle = QApplication::style()->name();
        r.systemPalette = QApplication::palette();
        r.systemSheet = qApp->styleSheet();
    }
    const TStyleData& data = r.styles[size_t(index)];
    // The sheet goes last: setting it re-polishes every widget over the new style and palette.
    QApplication::setStyle(new TStyleEngine(data.keepColors()));
    QApplication::setPalette(data.palette());
    qApp->setStyleSheet(data.styleSheet());
    r.active = index;
    ++r.activations;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (window->isVisible())
            window->update();
    }
}

} // namespace

void TStyleManager::discover()
{
    Registry& r = registry();
    if (r.discovered)
        return;
    InitStyleResources();
    QStringList failed;
    const QStringList names = QDir(kStylePrefix).entryList(QDir::Files, QDir::Name);
    for (const QString& resource : names) {
        QFile file(kStylePrefix + QLatin1Char('/') + resource);
        TStyleData data;
        if (file.open(QIODevice::ReadOnly))
            data = TStyleData::parse(file.readAll());
        if (!data.isValid()) {
            failed << resource;
            continue;
        }
        r.styles.push_back(data);
    }
    r.discovered = true;
    if (failed.size() == 1)
        throw base::Exception(
            QStringLiteral("Impossible de charger le style '%1'").arg(failed.first()));
    if (failed.size() > 1)
        throw base::Exception(QStringLiteral("Impossible de charger les styles : %1")
                                  .arg(failed.join(QStringLiteral(", "))));
}

bool TStyleManager::TrySetStyle(const QString& name, bool showErrorDialog)
{
    discover();
    const Registry& r = registry();
    for (size_t i = 0; i < r.styles.size(); ++i) {
        if (sameName(r.styles[i].name(), name)) {
            activate(int(i));
            return true;
        }
    }
    if (showErrorDialog)
        ShowMessageDialog(QStringLiteral("Style '%1' non trouvé").arg(name), mtError,
                          buttonBit(mbClose), 0, -1, -1, QString());
    return false;
}

QString TStyleManager::activeStyleName()
{
    const Registry& r = registry();
    return r.active < 0 ? systemStyleName() : r.styles[size_t(r.active)].name();
}

bool TStyleManager::isSystemStyleActive()
{
    return registry().active < 0;
}

QStringList TStyleManager::styleNames()
{
    QStringList names;
    for (const TStyleData& data : registry().styles)
        names << data.name();
    return names;
}

int TStyleManager::activationCount()
{
    return registry().activations;
}

void TStyleManager::resetForTesting()
{
    Registry& r = registry();
    if (r.active >= 0 && r.systemStyle) {
        qApp->setStyleSheet(r.systemSheet);
        QApplication::setStyle(*r.systemStyle);
        QApplication::setPalette(r.systemPalette);
    }
    r = Registry();
}
