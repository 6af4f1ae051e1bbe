#pragma once

// The console as a live view needs it: whether standard output is a terminal, how wide it is,
// whether it takes cursor and colour sequences, and a Ctrl+C that the program can answer by
// putting the cursor back instead of dying mid-frame.
namespace platform {

// True when standard output is an interactive terminal (a console on Windows).
bool stdout_is_terminal();

// Columns of the terminal on standard output; 0 when unknown (not a terminal, or the system
// would not say).
int terminal_columns();

// Makes the terminal interpret cursor-movement and colour sequences. Always true on POSIX
// terminals; on Windows it turns on virtual-terminal processing and is false where the console
// refuses it, in which case the caller falls back to plain lines.
bool enable_terminal_sequences();

// Replaces the default Ctrl+C (and SIGTERM / console close) action by setting a flag that
// interrupt_requested() reports, so the program can restore the terminal and exit itself.
void catch_interrupts();
bool interrupt_requested();

}  // namespace platform
