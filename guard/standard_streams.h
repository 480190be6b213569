// Standard input, output and error are the program's talk with a person,
// never a card: a program started with one of them closed would otherwise
// get the card's descriptor in its place, read its answer from the card's
// bytes and write its texts into it.
#pragma once

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed. Call
// before anything else is opened. False when one could not be opened.
bool OpenClosedStandardStreams();
