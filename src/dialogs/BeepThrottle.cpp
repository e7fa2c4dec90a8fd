#include "dialogs/BeepThrottle.h"

bool BeepThrottle::tryStart(qint64 nowMs)
{
    if (m_lastStart) {
        const qint64 sinceStart = nowMs - *m_lastStart;
        if (m_sounding && sinceStart < kLongestSoundMs)
            return false;
        if (sinceStart < kGapMs)
            return false;
    }
    if (m_lastEnd && !m_sounding && nowMs - *m_lastEnd < kGapMs)
        return false;
    m_lastStart = nowMs;
    m_lastEnd.reset();
    m_sounding = true;
    return true;
}

void BeepThrottle::finished(qint64 nowMs)
{
    if (!m_sounding)
        return;
    m_sounding = false;
    m_lastEnd = nowMs;
}
