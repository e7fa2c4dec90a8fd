#pragma once

#include <QtGlobal>

#include <optional>

// Beeps closer together than the ear can tell apart are heard as one: a beep does not start while
// the previous one still sounds, nor within kGapMs of its start or end. Times are milliseconds of
// one monotonic clock, given by the caller.
class BeepThrottle {
public:
    static constexpr qint64 kGapMs = 100;
    // A sound whose end is never told is taken as over after this long.
    static constexpr qint64 kLongestSoundMs = 3000;

    // True when a beep may start now; it then counts as sounding until finished().
    bool tryStart(qint64 nowMs);
    // The beep started last has ended (or could not be played after all).
    void finished(qint64 nowMs);

private:
    std::optional<qint64> m_lastStart;
    std::optional<qint64> m_lastEnd;
    bool m_sounding = false;
};
