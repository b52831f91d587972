// The sites whose logins the user never wants to save, kept in the profile
// (a key file in the data folder, see browser/profile.h). Only origins are
// kept there, never a username or a password.
#pragma once

#include <string>

std::string NeverSaveFile();
bool NeverSaveLoginsFor(const std::string& origin);
// False when the file could not be written.
bool AddNeverSaveLogins(const std::string& origin);
