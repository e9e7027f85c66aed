/* The one translation unit that holds stb_truetype's code; the rest include its declarations. */
#define STB_TRUETYPE_IMPLEMENTATION
#include "stb_truetype.h"
