// Linux errno values as the Windows Sockets error codes that every socket message shows.
#pragma once

namespace orvex {

// The Winsock number for an errno value (EINTR -> 10004, ECONNREFUSED -> 10061, ...).
// An errno without a Winsock counterpart keeps its own value.
int errnoToWinsock(int err);

} // namespace orvex
