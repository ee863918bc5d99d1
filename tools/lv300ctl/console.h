#pragma once
// The console lv300ctl runs in: Ctrl-C, and the code page of a Windows console.

namespace ctl {

// Ctrl-C: the handler only sets a flag; every wait looks at it.
void installInterruptHandler();
bool interrupted();

// On a Windows console, its input and output code pages set to UTF-8 (what
// lv300ctl writes) while the program runs, so Russian text shows as it is;
// nothing elsewhere.
void useUtf8Console();

} // namespace ctl
