#pragma once
// The exit codes every command of the command line shares.

namespace cli {

enum Exit : int {
    exitOk = 0,
    exitRefused = 1,     // rows refused, or no such postal code
    exitCannotRun = 2,   // wrong arguments, a file that cannot be read, a queue missing
    exitNotRecorded = 3, // printed, but recorded neither in the history nor in this PC's queue
};

} // namespace cli
