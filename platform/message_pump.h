// Draining a thread's message queue outside the modal loop, as a worker does
// between long steps so that messages sent to its windows are not left waiting.
#pragma once

// 0 when it met the quit message, which stays pending for whoever runs the loop.
int PumpPendingMessages();
