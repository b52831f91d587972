// The zoom each site keeps, by host, for every window and the next run: a
// key file in the profile's data folder, only the user's, replaced whole on
// each change so that a crash leaves the old file or the new one.
#pragma once

#include <string>

// The host a zoom is kept for (lower case); empty for pages without one.
std::string ZoomSiteOf(const char* uri);
// The level kept for `host` in percent; 100 when none is.
int SiteZoom(const std::string& host);
// Keeps `percent` for `host`; 100 is kept by keeping nothing. False, and a
// line on standard error, when the file could not be written.
bool KeepSiteZoom(const std::string& host, int percent);
// Forgets every site's zoom: which sites were visited is history. False, and
// a line on standard error, when the file could not be removed.
bool ForgetSiteZooms();
// The file the levels are kept in.
std::string SiteZoomFile();
