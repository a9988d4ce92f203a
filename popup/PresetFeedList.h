// The preset feed list of the service: line-based text in which a line that starts with "["
// opens the section of the next channel (the first section is channel 0) and the lines after it,
// up to an empty line or the next section, are the feed addresses of that channel. The service
// names only web feeds: a line that is not an http:// or https:// address (a local file, a UNC
// path, any other scheme) is passed over, and the section goes on with the next line.
#pragma once
#include <cstddef>

#include "fw/CStringArray.h"

// Appends the http and https addresses of the given channel's section to feeds. A line ends at
// a line feed, which is removed; nothing else is trimmed (a carriage return stays part of the
// line). Reads exactly length bytes of body, which may hold any bytes.
void ReadPresetSection(const char* body, size_t length, int channel, CStringArray& feeds);

// The length of the whole lines at the start of body: up to and including its last line feed.
// A list whose transfer failed half-way is read only that far, so that a line cut short is not
// taken for an address.
size_t WholeLinesLength(const char* body, size_t length);
