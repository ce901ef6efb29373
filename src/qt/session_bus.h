#pragma once

namespace plindor::qt {

// Where the desktop runs no session bus and cannot start one, makes connecting to it fail at once.
//
// The toolkit's accessibility bridge connects to the session bus before the first window is
// shown. With no bus address in the environment and no bus socket in the runtime folder, libdbus
// then tries to start a bus through dbus-launch: a fork and a search of every folder on PATH, a
// few milliseconds at every start, that can only fail where dbus-launch is not installed (screen
// readers cannot be reached without a session bus either). In that case this sets the bus
// address to the runtime folder's bus socket, where libdbus would have looked first. Call it
// before the application object exists; elsewhere it changes nothing.
void SkipHopelessSessionBusLaunch();

}  // namespace plindor::qt
