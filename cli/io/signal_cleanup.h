// Interrupting a long stream must not leave its temporary behind: the
// signals that would end the process remove the output's temporary first.
#pragma once

#include <string>

// Creates a file from temp, a name ending in "XXXXXX" that mkostemp fills in,
// and makes it the one a signal removes. Returns its descriptor, or -1 with
// errno saying why.
int createTemporary(std::string& temp);

// The temporary has been renamed into place or removed: a signal now leaves
// everything as it is.
void forgetTemporary();
