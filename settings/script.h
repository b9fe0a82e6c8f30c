// The script command "Config" and the two text forms of an instance's levels:
// the script line that restores them and the one-line description.
#pragma once

#include <cstdint>

#include "host/records.h"

constexpr const char* configCommandName = "Config";
constexpr const char* configSignature = "0iii";  // no result, three integers
constexpr const char* scriptLineFormat = "Config(%d,%d,%d)";
constexpr const char* describeFormat = " (R= %d, G=%d, B=%d)";

// The host's description buffer holds this many bytes: the longest text any
// three 32-bit levels give, " (R= -2147483648, G=-2147483648, B=-2147483648)",
// and its terminator. Within the dialog's range the text takes at most 21.
constexpr int32_t describeCapacity = 48;

// Stores the three integers of args in levelR, levelG, levelB, unchecked.
void VELTO_CDECL configCommand(void* host, FrameContext* context, ScriptArg* args);

// Writes the script line into buffer, never more than size bytes: a size of 0
// or less writes nothing, a cut line is still NUL-terminated. Returns true.
bool VELTO_CDECL scriptLineCallback(FrameContext* context, void* host, char* buffer, int32_t size);

// Writes the description into buffer, which holds describeCapacity bytes.
void VELTO_CDECL describeCallback(FrameContext* context, void* host, char* buffer);
