#pragma once

#include <QStringList>

// Puts a fake `xdg-open` first on PATH; it records what it is asked to open instead of opening
// it. The program found first is remembered for the whole run, so every instance shares one
// fake; a new instance starts with no request recorded and no failure.
class FakeOpener {
public:
    FakeOpener();
    FakeOpener(const FakeOpener&) = delete;
    FakeOpener& operator=(const FakeOpener&) = delete;

    // One entry per request since this instance was made, in order.
    QStringList requests() const;
    // From now on the fake exits with an error (4) for these requests, "*" standing for every
    // one; an empty list makes it succeed again.
    void failFor(const QStringList& requests);

private:
    QString m_log;
    QString m_failing;
};
