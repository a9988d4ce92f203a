// Reads the date of an item from its "pubDate" text.
#pragma once

// Reads 'Tue, 10 Jun 2003 04:00:00 GMT' the way the pattern "%s %d %s %d %d:%d:%d" of the
// C library's formatted input reads it: weekday token, day, month token, year, hour, minute,
// second. Reading stops at the first part that does not match; the outputs after it are not
// written. The month is the number (1 to 12) of the English month abbreviation that equals
// the last token read, ignoring case; otherwise it is not written either.
//
// Tokens have room for 11 characters. A first token longer than that is read as an ISO 8601
// date and time ('2003-06-10T04:00:00Z', seconds, fraction and zone optional; the zone is not
// applied); any other token longer than 11 characters gives no outputs at all.
// Numbers beyond the range of int are held at its nearest end.
void ParsePubDate(const char* text, int& year, int& month, int& day, int& hour, int& minute, int& second);
