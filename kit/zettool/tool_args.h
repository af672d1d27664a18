// The sample tool's own option: /T and the menu command it was started as (920 to 998).
#pragma once

// Finds the first "/T" (or "/t") that stands outside quoted stretches and is followed by a
// digit, and blanks the option out of `cmdText` (name and digits become blanks): the
// project's command-line reader would take those digits for the length of a value and
// pass over every option behind them. Returns the number (digits beyond the ninth are
// blanked but not counted), or -1 when there is no such option (the text is unchanged).
// A null text gives -1.
int TakeToolNumber(char* cmdText);
