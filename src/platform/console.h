#pragma once

// Called first thing in main(): makes the standard streams carry the program's text unchanged.
// On Windows that means no LF to CR LF translation (every line ends in a bare line feed, as on
// every other platform) and a console that shows the UTF-8 text as UTF-8. Nothing elsewhere.
namespace platform {

void prepare_console();

}  // namespace platform
