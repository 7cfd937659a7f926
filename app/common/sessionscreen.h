#pragma once
// What the program gives a database session of its own: the class library's
// login and password boxes, the screen cursor for the hourglass and the SQL
// wait cursor, a window timer that ends the wait cursor, and a warning box
// for what the user must know of an open's work on a database made by an
// earlier version.

class TttSession;

// Points the session's dialogs, screen cursor and wait-cursor timer at the
// program's. The timer is owned by the session and freed with it.
void InstallSessionScreen(TttSession* session);
