// Resource identifiers of the Windows program.
#pragma once

// The program icon; the lowest identifier, so it is also the file's icon.
#define kIconId 1
