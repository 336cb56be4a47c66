#pragma once

// Reading a change-watch descriptor of the simulated client.

#include <sys/inotify.h>
#include <unistd.h>

#include <cstring>
#include <string_view>

namespace simclient {

// Calls onEvent(event, name) for every event queued on the (non-blocking)
// descriptor and returns when none is left: one read when nothing changed.
template <typename OnEvent>
void readChangeEvents(int fd, OnEvent&& onEvent)
{
    alignas(inotify_event) char events[4096];
    for (;;) {
        const ssize_t length = ::read(fd, events, sizeof events);
        if (length <= 0)
            return;
        for (ssize_t offset = 0; offset + static_cast<ssize_t>(sizeof(inotify_event)) <= length;) {
            inotify_event event;
            std::memcpy(&event, events + offset, sizeof event);
            const char* name = events + offset + sizeof event;
            offset += static_cast<ssize_t>(sizeof event + event.len);
            onEvent(event, std::string_view(name, ::strnlen(name, event.len)));
        }
    }
}

} // namespace simclient
