#pragma once

#include <QtGlobal>

// The programs this program has started, known by their process ids as the kernel tells them
// (with the moment each process started, so that a process id taken over by another process
// later does not count). Shared by the threads of the program.
namespace StartedPrograms {

// Notes a process this program has just started.
void add(qint64 pid);
// Whether the process, while it runs, is one of them or was started by one of them (a child,
// grandchild and so on that is still below it).
bool includes(qint64 pid);
// Forgets them all.
void clear();

} // namespace StartedPrograms
