#pragma once
// The date button of a date edit: the chooser opens below the edit on the
// edit's date (today when its text is no date) and OK writes the chosen date.

class TwwDBCustomCombo;

// True when the user chose a date (and it was written).
bool ChooseDateFor(TwwDBCustomCombo* edit);
