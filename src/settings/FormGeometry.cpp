#include "settings/FormGeometry.h"

#include "settings/SettingsHelpers.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

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

} // namespace

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

    if (!form->isVisible() && frameExtra(form).isNull())
        new PendingFrameSize(form, form->frameGeometry().size());
}
