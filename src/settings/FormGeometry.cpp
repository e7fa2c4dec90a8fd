#include "settings/FormGeometry.h"

#include "settings/SettingsHelpers.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace {

std::optional<QRect>& workAreaOverride()
{
    static std::optional<QRect> area;
    return area;
}

QString geometryValue(const QWidget* form)
{
    const QRect frame = form->frameGeometry();
    return QStringLiteral("%1:%2:%3:%4")
        .arg(frame.x())
        .arg(frame.y())
        .arg(frame.width())
        .arg(frame.height());
}

// Width and height that the frame adds to the client area (none before the window has one).
QSize frameExtra(const QWidget* form)
{
    return form->frameGeometry().size() - form->geometry().size();
}

void setLeft(QWidget* form, int left)
{
    form->move(left, form->frameGeometry().y());
}

void setTop(QWidget* form, int top)
{
    form->move(form->frameGeometry().x(), top);
}

void setWidth(QWidget* form, int width)
{
    form->resize(width - frameExtra(form).width(), form->height());
}

void setHeight(QWidget* form, int height)
{
    form->resize(form->width(), height - frameExtra(form).height());
}

// First start: the window keeps its own size where the work area allows it, frame included,
// and stands in the middle of the work area.
void fitAndCentre(QWidget* form)
{
    const QRect area = WorkArea();
    const QSize extra = frameExtra(form);
    form->resize((form->size() + extra).boundedTo(area.size()) - extra);
    const QSize frame = form->frameGeometry().size();
    form->move(area.x() + (area.width() - frame.width()) / 2,
               area.y() + (area.height() - frame.height()) / 2);
}

// A window that has never been shown has no frame yet, so its restored size went to the client
// area whole. Once the window manager has framed it, the frame's share is taken back off, so that
// the next save writes the numbers restored instead of growing by the frame at every run. On a
// first start the window is fitted and centred again with its frame.
class PendingFrameSize : public QObject {
public:
    PendingFrameSize(QWidget* form, std::optional<QSize> frameSize)
        : QObject(form), m_frameSize(frameSize)
    {
        setObjectName(kName);
        form->installEventFilter(this);
    }

    static inline const QString kName = QStringLiteral("twindrop_PendingFrameSize");

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type == QEvent::Move || type == QEvent::Resize || type == QEvent::Show) {
            auto* form = static_cast<QWidget*>(watched);
            const QSize extra = frameExtra(form);
            if (!extra.isNull()) {
                form->removeEventFilter(this);
                if (m_frameSize)
                    form->resize(*m_frameSize - extra);
                else
                    fitAndCentre(form);
                deleteLater();
            }
        }
        return false;
    }

private:
    std::optional<QSize> m_frameSize;
};

// A stored position may come from another screen layout or another scale: keep the window where
// the user can reach its buttons.
void keepOnScreen(QWidget* form)
{
    const QRect frame = form->frameGeometry();
    const QRect fitted = FitIntoWorkArea(frame, WorkAreas());
    if (fitted == frame)
        return;
    if (fitted.size() != frame.size())
        form->resize(fitted.size() - frameExtra(form));
    form->move(fitted.topLeft());
}

qint64 overlap(const QRect& a, const QRect& b)
{
    const QRect common = a.intersected(b);
    return common.isEmpty() ? 0 : qint64(common.width()) * common.height();
}

qint64 distance(const QRect& frame, const QRect& area)
{
    const qint64 dx = std::max({0, area.left() - frame.right(), frame.left() - area.right()});
    const qint64 dy = std::max({0, area.top() - frame.bottom(), frame.top() - area.bottom()});
    return dx * dx + dy * dy;
}

} // namespace

QRect FitIntoWorkArea(const QRect& frame, const QList<QRect>& workAreas)
{
    const QRect* best = nullptr;
    qint64 bestOverlap = 0;
    for (const QRect& area : workAreas) {
        const qint64 o = overlap(frame, area);
        if (!area.isEmpty() && o > bestOverlap) {
            best = &area;
            bestOverlap = o;
        }
    }
    if (!best) {
        for (const QRect& area : workAreas) {
            if (!area.isEmpty() && (!best || distance(frame, area) < distance(frame, *best)))
                best = &area;
        }
    }
    if (!best)
        return frame;
    const QSize size = frame.size().boundedTo(best->size());
    const int left = std::clamp(frame.x(), best->x(), best->x() + best->width() - size.width());
    const int top = std::clamp(frame.y(), best->y(), best->y() + best->height() - size.height());
    return QRect(QPoint(left, top), size);
}

QList<QRect> WorkAreas()
{
    if (workAreaOverride())
        return {*workAreaOverride()};
    QList<QRect> areas;
    if (const QScreen* primary = QGuiApplication::primaryScreen())
        areas << primary->availableGeometry();
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen != QGuiApplication::primaryScreen())
            areas << screen->availableGeometry();
    }
    return areas;
}

void SetWorkAreaForTesting(std::optional<QRect> area)
{
    workAreaOverride() = area;
}

QRect WorkArea()
{
    if (workAreaOverride())
        return *workAreaOverride();
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

void SaveFormGeometry(QWidget* form, const QString& iniPath)
{
    IniWriteString(AppBaseName(false), form->objectName(), geometryValue(form), iniPath);
}

void RestoreFormGeometry(QWidget* form, const QString& iniPath)
{
    const QString path = iniPath.isEmpty() ? IniFilePath() : iniPath;
    const QString stored = IniReadString(AppBaseName(false), form->objectName(), QString(), path);
    const QStringList pieces = SplitText(stored, QStringLiteral(":"));
    delete form->findChild<QObject*>(PendingFrameSize::kName, Qt::FindDirectChildrenOnly);
    if (pieces.size() < 4) {
        fitAndCentre(form);
        if (!form->isVisible() && frameExtra(form).isNull())
            new PendingFrameSize(form, std::nullopt);
        return;
    }

    // Whatever was applied before an error stays, but never off the screen.
    try {
        // The work area is fetched anew for each comparison, as the display may change meanwhile.
        const int widthBefore = form->frameGeometry().width();
        setLeft(form, StrToInt(pieces[0]));
        if (form->frameGeometry().x() > WorkArea().width())
            setLeft(form, WorkArea().width() - widthBefore);

        setTop(form, StrToInt(pieces[1]));
        if (form->frameGeometry().y() < 0)
            setTop(form, 0);

        setWidth(form, StrToInt(pieces[2]));
        if (WorkArea().width() < form->frameGeometry().width())
            setWidth(form, WorkArea().width());

        setHeight(form, StrToInt(pieces[3]));
        if (WorkArea().height() < form->frameGeometry().height())
            setHeight(form, WorkArea().height());
    } catch (...) {
        keepOnScreen(form);
        throw;
    }
    keepOnScreen(form);

    if (!form->isVisible() && frameExtra(form).isNull())
        new PendingFrameSize(form, form->frameGeometry().size());
}
