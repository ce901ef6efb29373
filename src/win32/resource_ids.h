#pragma once

// Resource identifiers, shared by the resource script and the code.
#define PLINDOR_ICON 1
#define PLINDOR_PHOTO 101
#define PLINDOR_LOGO 102
