// The features built on the browser component attach to it here, where the
// window and the web context are put together: downloads and saved logins
// in every page, and what clearing history takes from the windows.
#pragma once

// Once per run, before the first window's page; later calls do nothing.
void AttachFeatures();
