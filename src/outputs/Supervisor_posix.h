// The process that stands between Telvane and a program it starts, on Linux:
// a child subreaper, so that everything the program starts stays below it
// even when it leaves its session or its parent ends, and can be ended with
// it. Making Telvane itself the subreaper would also adopt the orphans of
// other programs it starts (a desktop opener's double fork) with no one to
// reap them; one small process per run keeps that to the run.
//
// It runs in a child forked from a multi-threaded process, so it makes only
// async-signal-safe calls and allocates nothing: the parent prepares every
// string before forking.
#pragma once

namespace telvane {

struct TSupervisedProgram {
    const char* const* Paths; // where the program may be, tried in order; ends with null
    char* const* Arguments;   // ends with null
    char* const* Environment; // ends with null
    int Output;               // the program's standard output and error
    int Failure;              // gets the errno when the program cannot start
    int Control;              // reaches its end when the parent asks to stop or ends
};

// Runs the program and ends with its exit status (128 + the signal that
// ended it), leaving what it started running. When Control reaches its end
// first, the program and every process below this one are killed and reaped
// and this one ends with 137. Closes every other descriptor it inherited.
[[noreturn]] void SuperviseProgram(const TSupervisedProgram& program);

} // namespace telvane
