// SIGINT, SIGTERM and SIGHUP while a card is written, and a closed output:
// a command line either finishes its job or says where it stopped. A stop
// signal is recorded and the job ends at its next safe point; only a pass
// that may end anywhere (a read-back, test blocks about to be overwritten)
// ends at once, after its note.
#pragma once

// Output to a closed pipe fails with EPIPE instead of ending the program:
// the job goes on, unheard.
void IgnoreBrokenPipes();

// From now on a stop signal is recorded instead of ending the program.
void CatchStopSignals();

// The stop signal received since CatchStopSignals; 0 when none.
int StopSignal();

// note non-null: a stop signal, or one already recorded, prints "<program>:
// <note>\n" on stderr and ends the program with status. nullptr: signals are
// recorded again. note and program must outlive the setting.
void StopAtOnce(const char* program, const char* note, int status);
