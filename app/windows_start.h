// What the Linux launcher does for the program, done by the Windows program
// itself before anything else: it works in its own folder, where data and
// music/ lie, whichever folder Explorer, a shortcut or a console started it
// in; and, being a windowed program (no console of its own appears from
// Explorer), it writes its lines into the console it was started from, or
// wherever its output was redirected.
#pragma once

// Called first in main, on Windows only.
void start_beside_program();
