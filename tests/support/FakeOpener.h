#pragma once

#include <QStringList>

// Puts a fake `xdg-open` first on PATH; it records what it is asked to open instead of opening
// it. The program found first is remembered for the whole run, so every instance shares one
// fake; a new instance starts with no request recorded.
class FakeOpener {
public:
    FakeOpener();
    FakeOpener(const FakeOpener&) = delete;
    FakeOpener& operator=(const FakeOpener&) = delete;

    // One entry per request since this instance was made, in order.
    QStringList requests() const;

private:
    QString m_log;
};
