// The ports the engine never connects to for a web address (those of mail,
// name, file and other services, as the Fetch standard lists them): a load
// there shows a blank page without a word, so the program notices it first.
#pragma once

#include <optional>
#include <string>

// The port of `uri` when it is an http or https address to a blocked port.
std::optional<int> BlockedPort(const std::string& uri);
