#pragma once

#include <QByteArrayList>

// Starts a saver program, waits until it says it is ready, lets it run for a random 0.2–30 ms
// and kills it with SIGKILL. Returns true when it was killed (and had not ended on its own).
bool runAndKillAtRandom(const QByteArray &program, const QByteArrayList &arguments);
