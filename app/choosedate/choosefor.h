#pragma once
// What the date edits of the entry windows share: the date button opens the
// chooser below the edit on the edit's date (today when its text is no date)
// and OK writes the chosen date; a space typed into an empty edit is today.

class TwwDBCustomCombo;

// True when the user chose a date (and it was written).
bool ChooseDateFor(TwwDBCustomCombo* edit);

// A space typed into `edit` while it is empty is swallowed and its field
// becomes today (the entry goes into edit); typed into a date already begun,
// it completes the date part by part as in any date edit.
void TodayOnSpace(TwwDBCustomCombo* edit);
