#pragma once
// The program entry's steps, callable by tests with a shorter splash wait.

// Shows the splash for splashMs, creates the application's windows in their
// order, frees the splash and runs the message loop until the main window
// closes. SIGTERM and SIGINT close the main window as Exit does. False when
// the windows could not be made (the reason shown in a message box).
bool RunVantrel(unsigned splashMs);

// From now on SIGTERM and SIGINT end any modal window and then close the main
// window as Exit does. False when the signals cannot be caught.
bool InstallCloseOnTermination();

// Makes the database engine's server known to this process and its settings
// store (what installing the engine does on a desktop).
void RegisterDatabaseEngine();

// False (after saying why on standard error) when no window system can be
// reached: no display, no Wayland socket and no chosen Qt platform.
bool DisplayAvailable();
