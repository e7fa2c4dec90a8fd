#include "shell/SystemSound.h"

#include <QApplication>

#include <canberra.h>

namespace {
std::function<void(unsigned)>& recorder()
{
    static std::function<void(unsigned)> r;
    return r;
}

// Created on first use and kept for the run; null when no sound system answers.
ca_context* soundContext()
{
    static ca_context* context = [] {
        ca_context* c = nullptr;
        if (ca_context_create(&c) != CA_SUCCESS)
            return static_cast<ca_context*>(nullptr);
        ca_context_change_props(c, CA_PROP_APPLICATION_NAME, "twindrop", nullptr);
        return c;
    }();
    return context;
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
    // ca_context_play only queues the sound, so the caller never waits for it.
    ca_context* context = soundContext();
    if (!context ||
        ca_context_play(context, 0, CA_PROP_EVENT_ID, eventId(kind), nullptr) != CA_SUCCESS)
        QApplication::beep();
}
