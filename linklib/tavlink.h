// Public interface of the link library that talks to the MARLO-3 board.
// The library is a placeholder for now: its exports arrive with the link itself.
#pragma once

#define TAVLINK_API __attribute__((visibility("default")))
