// Taking a card's volumes for a format: each one locked, and dismounted.
#pragma once

#include <windows.h>

// Whether an answer of "not supported" counts as done: only on a platform
// that answers every disk query so (Wine), never on a disk Windows describes.
enum class NotSupported { refused, accepted };

// Locks the volume and dismounts its file system. Programs registered for
// the volume's notifications (Explorer, indexers, antivirus) let go when a
// lock is attempted, so the lock is retried for about ten seconds; a
// program that still holds it then loses its handle to a dismount without
// the lock (the user has agreed that everything on the card goes: only
// handles to this volume are invalidated), and the lock is tried again.
// False when that fails too.
bool LockAndDismount(HANDLE volume, NotSupported notSupported);
