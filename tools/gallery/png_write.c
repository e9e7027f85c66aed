/* The PNG writer, compiled once, without our warning flags. */
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
