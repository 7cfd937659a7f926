#pragma once
// The classes a report layout can name, registered for the stream reader.
// A static library's object file is linked only when something refers to it,
// so a class that registers itself from its own file may be missing from a
// program that only loads layouts; this routine refers to every one of them.

// Registers every streamable report class (safe to call any number of times).
// Every report calls it when it is created, before a layout is read into it.
void ppRegisterReportClasses();
