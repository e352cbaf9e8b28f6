// Resource ids of the program's icons.
#pragma once

#define IDI_OSTREVIN 107
#define IDI_SMALL 108
