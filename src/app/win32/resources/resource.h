// Resource identifiers of the Windows program (shared by the .rc file and
// the C++ sources, so plain #defines only).
#pragma once

#define IDI_TARVENIX 1
