#pragma once

// Reading a change-watch descriptor of the simulated client.

#include <sys/inotify.h>
#include <unistd.h>

#include <climits>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace simclient {

// Calls onEvent(event, name) for every event queued on the (non-blocking)
// descriptor and returns when none is left: one read when nothing changed,
// and one when less changed than fills the buffer. The kernel hands out
// whole events while the next one fits, so a read that leaves room for the
// longest event has emptied the queue; another read would only say so.
template <typename OnEvent>
void readChangeEvents(int fd, OnEvent&& onEvent)
{
    constexpr std::size_t kLongestEvent = sizeof(inotify_event) + NAME_MAX + 1;
    alignas(inotify_event) char events[4096];
    for (bool more = true; more;) {
        const ssize_t length = ::read(fd, events, sizeof events);
        if (length <= 0)
            return;
        more = static_cast<std::size_t>(length) + kLongestEvent > sizeof events;
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
