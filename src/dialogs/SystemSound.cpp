#include "dialogs/SystemSound.h"

#include "dialogs/BeepThrottle.h"

#include <QApplication>
#include <QElapsedTimer>

#include <canberra.h>

#include <mutex>

namespace {
std::function<void(unsigned)>& recorder()
{
    static std::function<void(unsigned)> r;
    return r;
}

qint64 now()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer c;
        c.start();
        return c;
    }();
    return clock.elapsed();
}

// The sound system ends a sound on a thread of its own.
std::mutex& throttleLock()
{
    static std::mutex lock;
    return lock;
}

BeepThrottle& throttle()
{
    static BeepThrottle t;
    return t;
}

void soundEnded()
{
    const std::lock_guard<std::mutex> guard(throttleLock());
    throttle().finished(now());
}

void onPlayed(ca_context*, uint32_t, int, void*)
{
    soundEnded();
}

const char* eventId(unsigned kind)
{
    switch (kind) {
    case MB_ICONEXCLAMATION:
        return "dialog-warning";
    case MB_ICONASTERISK:
        return "dialog-information";
    default:
        return "bell";
    }
}

// Created and opened once for the run, its sounds cached where the back end can: opening the back
// end (loading its module) or decoding a sound for every beep costs more than the beep. Null when
// no sound system answers, so that it is not tried again for each beep.
ca_context* soundContext()
{
    static ca_context* context = [] {
        ca_context* c = nullptr;
        if (ca_context_create(&c) != CA_SUCCESS)
            return static_cast<ca_context*>(nullptr);
        ca_context_change_props(c, CA_PROP_APPLICATION_NAME, "twindrop", nullptr);
        if (ca_context_open(c) != CA_SUCCESS) {
            ca_context_destroy(c);
            return static_cast<ca_context*>(nullptr);
        }
        for (unsigned kind : {MB_OK, MB_ICONEXCLAMATION, MB_ICONASTERISK})
            ca_context_cache(c, CA_PROP_EVENT_ID, eventId(kind), nullptr);
        return c;
    }();
    return context;
}
} // namespace

void SetSoundRecorder(std::function<void(unsigned)> r)
{
    recorder() = std::move(r);
}

void MessageBeep(unsigned kind)
{
    if (recorder()) {
        recorder()(kind);
        return;
    }
    {
        const std::lock_guard<std::mutex> guard(throttleLock());
        if (!throttle().tryStart(now()))
            return;
    }
    // The sound is only queued, so the caller never waits for it.
    ca_context* context = soundContext();
    ca_proplist* props = nullptr;
    bool queued = false;
    if (context && ca_proplist_create(&props) == CA_SUCCESS) {
        ca_proplist_sets(props, CA_PROP_EVENT_ID, eventId(kind));
        ca_proplist_sets(props, CA_PROP_CANBERRA_CACHE_CONTROL, "permanent");
        queued = ca_context_play_full(context, 0, props, onPlayed, nullptr) == CA_SUCCESS;
        ca_proplist_destroy(props);
    }
    if (!queued) {
        QApplication::beep();
        soundEnded();
    }
}
