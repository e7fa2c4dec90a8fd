#pragma once

#include <QString>
#include <QStringList>

// A small tmpfs mounted for one test, in a mount namespace of the test's own so that nothing
// shows outside it. Needs the right to mount (root, as on CI); isMounted() is false otherwise
// and error() says why, for QSKIP.
class ScratchMount {
public:
    ScratchMount(const QString& path, int kilobytes);
    ~ScratchMount();
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;

    bool isMounted() const { return m_mounted; }
    const QString& error() const { return m_error; }
    const QString& path() const { return m_path; }

    // The whole file system becomes read-only, for root too.
    bool remountReadOnly();
    // Takes every free block with a filler file; true once a write met "no space left".
    bool fill();

    // One folder made read-only by a read-only bind mount of itself; undone with the mount.
    bool bindReadOnly(const QString& folder);
    // The folder becomes a mount point of its own (a bind mount of itself): a rename out of it
    // fails with EXDEV although the device is the same.
    bool bindToItself(const QString& folder);
    // Shows the folder from again at to (an existing folder); undone with the mount.
    bool bind(const QString& from, const QString& to);

private:
    bool enterOwnNamespace();

    QString m_path;
    QString m_error;
    QStringList m_binds;
    bool m_mounted = false;
};
