#pragma once
// The fixed help texts. A page is one zero-terminated string of 8-bit characters (plain ASCII,
// shown through the OEM code page) without line breaks: row k of the page is characters 80k to
// 80k + 79, at most 21 rows. Every page but the key summary has its title in row 0 after 19
// blanks and a blank row 1.

// The seven pages of the main help (F1 in the view), ended by a null entry.
extern const char* const mainHelpPages[];

// The two pages of the colour help (F1 on the colour setup screen), ended by a null entry.
extern const char* const colourHelpPages[];

// The page of the directory list's help, ended by a null entry.
extern const char* const treeHelpPages[];

// Cells in one row of a help page.
inline constexpr int kHelpRowWidth = 80;
