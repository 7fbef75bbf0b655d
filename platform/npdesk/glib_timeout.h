// Repeating timeouts on GLib's default main context, for browsers without NPN_ScheduleTimer.
// They fire on the thread that runs that context; in a host that runs none they never fire.
#pragma once

namespace npdesk {

// Calls fire(data) every ms milliseconds until RemoveTimeout; dispose(data) runs when the
// timeout is removed. Returns the timeout's id (never 0).
unsigned AddTimeout(unsigned ms, void (*fire)(void* data), void* data, void (*dispose)(void* data));
void RemoveTimeout(unsigned id);

}  // namespace npdesk
