#include "shell/ShellOpen.h"

#include "shell/RecycleBin.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

namespace {
// Some platform plugins (offscreen, a bare Wayland session) open nothing through
// QDesktopServices; xdg-open is then asked directly. Neither result is reported.
bool openUrl(const QUrl& url)
{
    if (QDesktopServices::openUrl(url))
        return true;
    if (url.isEmpty() || !url.isValid())
        return false;
    return QProcess::startDetached(QStringLiteral("xdg-open"),
                                   {QString::fromLatin1(url.toEncoded())});
}
} // namespace

void OpenRecycleBin()
{
    if (openUrl(QUrl(QStringLiteral("trash:///"))))
        return;
    const QString home = HomeTrashPath();
    if (!home.isEmpty())
        openUrl(QUrl::fromLocalFile(home + QStringLiteral("/files")));
}

void OpenFolderInFileManager(const QString& folder)
{
    openUrl(QUrl::fromLocalFile(folder));
}
