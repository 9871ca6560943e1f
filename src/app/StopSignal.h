// SIGINT and SIGTERM end the game the way closing the window does: the running game loop
// finishes its frame and the program shuts down normally with exit status 0.
#pragma once

namespace hm {

void installStopSignalHandlers();
bool stopSignalReceived();

} // namespace hm
