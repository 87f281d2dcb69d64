#pragma once
// Why Kestrow started no session of the CAD system, or let go of one
// without a single call: it could be somebody else's.

namespace kestrow {

enum class SessionLetGo {
    UsersSession,     // a process of the CAD system that COM did not start runs, is
                      // starting, or appeared while a session started
    ProgramNotKnown,  // the program registered for the CAD system cannot be read, so
                      // no process of it can be told from a user's
    NotProven,        // the session was served by a process Kestrow cannot prove it
                      // started for it (another program's, or one of several at once)
};

}  // namespace kestrow
