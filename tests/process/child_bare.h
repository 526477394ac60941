// The exit codes of child_bare.cpp, which the process tests read: whether the
// library beside the child was found by name.
#pragma once

const int BARE_CHILD_NOT_FOUND = 0x600D;
const int BARE_CHILD_FOUND = 0xBAD;
