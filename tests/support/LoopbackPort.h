#pragma once
// A loopback port where nothing listens: bound once to learn a free port, then released.
// A client pointed at it is refused at once, so a test reaches the point where a run would
// contact the server without any server.

namespace testsupport {

int ClosedLoopbackPort();

}  // namespace testsupport
