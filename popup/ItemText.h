// The texts made of a feed item: the rich text of the item view and the plain text of the
// balloon that announces a new item. Strings are UTF-8.
#pragma once
#include "fw/CString.h"

// The item view's RTF: a bold title in the items' dark red (kTitleRed) over the description, in
// the popup's face at the items' size (popup/PopupFonts.h). The title is plain text. The
// description is the item's cleaned description, in which "\par " marks a line break and "\\",
// "\{" and "\}" stand for a backslash and braces; any other backslash or brace in it is taken
// as a plain character. In both, characters beyond ASCII are written as RTF Unicode escapes and
// control characters other than tab as blanks, so no text of the feed can reach the control as
// an RTF control word.
CString ItemRtf(const char* title, const char* description);

// The page shown when the feed has no items, pointing to the service's web site.
CString NoFeedsRtf(const char* serviceDomain);
// Rich text made by these functions with its text colour (kTitleRed) replaced by another, given
// as 0x00BBGGRR; any other text comes back as it is.
CString RecolouredRtf(const char* rtf, unsigned long colour);

// The page shown when every item of the feed is hidden by the user's mute words.
CString AllMutedRtf();

// The balloon text of an item: its cleaned description with the line breaks ("\par ") removed
// and the escaped backslashes and braces turned back into plain characters, cut to at most
// 255 bytes without splitting a character.
CString BalloonTextOf(const char* description);
