#pragma once

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>

// Puts a fake `xdg-open` first on PATH for the object's lifetime; it records what it is asked to
// open instead of opening it.
class FakeOpener {
public:
    FakeOpener();
    ~FakeOpener();
    FakeOpener(const FakeOpener&) = delete;
    FakeOpener& operator=(const FakeOpener&) = delete;

    // One entry per request, in order.
    QStringList requests() const;

private:
    QTemporaryDir m_dir;
    QByteArray m_oldPath;
};
