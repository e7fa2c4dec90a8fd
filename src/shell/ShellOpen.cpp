#include "shell/ShellOpen.h"

#include "base/PathRules.h"
#include "dialogs/MessageDialogs.h"
#include "shell/RecycleBin.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QUrl>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The file URL of a local path. A name that is not valid UTF-8 keeps its own bytes,
// percent-encoded, which QUrl::fromLocalFile would replace.
QByteArray fileUrl(const QString& path)
{
    QByteArray bytes;
    if (!base::PathRules::encodePath(path, bytes) || bytes.isEmpty())
        return QByteArray();
    if (bytes == path.toUtf8())
        return QUrl::fromLocalFile(path).toEncoded();
    return "file://" + bytes.toPercentEncoding("/");
}

// Runs xdg-open on the URL and tells its exit status when it comes, without waiting for it.
// xdg-open is detached (a file manager it starts in the foreground outlives the tool); a watcher
// between the two reports the status through a pipe. False when it could not be started.
bool launchOpener(const QByteArray& url, const std::function<void(bool)>& done)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    const QByteArray executable = base::PathRules::localPath(program);
    if (executable.isEmpty())
        return false;
    char name[] = "xdg-open";
    QByteArray argument = url;
    char* const argv[] = {name, argument.data(), nullptr};

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return false;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return false;
    }
    if (child == 0) {
        // The tool has threads: only async-signal-safe calls from here on.
        ::close(pipeFds[0]);
        struct sigaction deflt = {};
        deflt.sa_handler = SIG_DFL;
        ::sigaction(SIGCHLD, &deflt, nullptr);
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        const pid_t watcher = ::fork();
        if (watcher != 0)
            ::_exit(watcher < 0 ? 1 : 0);
        unsigned char code = 127;
        const pid_t opener = ::fork();
        if (opener == 0) {
            ::execv(executable.constData(), argv);
            ::_exit(127);
        }
        if (opener > 0) {
            int status = 0;
            pid_t waited;
            do
                waited = ::waitpid(opener, &status, 0);
            while (waited < 0 && errno == EINTR);
            code = waited == opener && WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        }
        while (::write(pipeFds[1], &code, 1) < 0 && errno == EINTR) {
        }
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    int status = 0;
    pid_t waited;
    do
        waited = ::waitpid(child, &status, 0);
    while (waited < 0 && errno == EINTR);
    if (waited != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        ::close(pipeFds[0]);
        return false;
    }

    const int readEnd = pipeFds[0];
    auto* notifier =
        new QSocketNotifier(readEnd, QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier, readEnd, done] {
        unsigned char code = 0;
        ssize_t n;
        do
            n = ::read(readEnd, &code, 1);
        while (n < 0 && errno == EINTR);
        notifier->setEnabled(false);
        ::close(readEnd);
        notifier->deleteLater();
        // No status at all (the watcher was killed) is not taken for a failure.
        done(n != 1 || code == 0);
    });
    return true;
}

// QDesktopServices cannot tell when the program it starts fails, so xdg-open (which it would run)
// is run directly; QDesktopServices stands in only where there is no xdg-open.
void openUrl(const QByteArray& url, const std::function<void(bool)>& done)
{
    if (url.isEmpty()) {
        done(false);
        return;
    }
    if (!launchOpener(url, done))
        done(QDesktopServices::openUrl(QUrl::fromEncoded(url)));
}

void warnUnopened(const QString& folder)
{
    QString shownFolder = base::PathRules::shownName(folder);
    shownFolder.replace(QLatin1Char('&'), QStringLiteral("&&"));
    ShowMessageDialog(QStringLiteral("Impossible d'ouvrir le dossier \"%1\".\r\n"
                                     "Vous pouvez l'ouvrir vous-même dans votre gestionnaire de "
                                     "fichiers.")
                          .arg(shownFolder),
                      mtWarning, buttonBit(mbOK), 0, -1, -1, QString());
}

void settle(const OpenOutcome& done, bool opened)
{
    if (done)
        done(opened);
}

// The trash of another disk may be the one that holds the files the user looks for.
QString& trashUsed()
{
    static QString root;
    return root;
}

} // namespace

void OpenRecycleBin(OpenOutcome done)
{
    openUrl("trash:///", [done](bool opened) {
        if (opened)
            return settle(done, true);
        const QString root = trashUsed().isEmpty() ? HomeTrashPath() : trashUsed();
        if (root.isEmpty()) {
            ShowMessageDialog(QStringLiteral("Impossible d'ouvrir la corbeille."), mtWarning,
                              buttonBit(mbOK), 0, -1, -1, QString());
            return settle(done, false);
        }
        const QString files = root + QStringLiteral("/files");
        openUrl(fileUrl(files), [done, files](bool filesOpened) {
            if (!filesOpened)
                warnUnopened(files);
            settle(done, filesOpened);
        });
    });
}

void RememberTrashUsed(const QString& trashRoot)
{
    trashUsed() = trashRoot;
}

void OpenFolderInFileManager(const QString& folder, OpenOutcome done)
{
    if (folder.isEmpty())
        return settle(done, false);
    openUrl(fileUrl(folder), [done, folder](bool opened) {
        if (!opened)
            warnUnopened(folder);
        settle(done, opened);
    });
}
