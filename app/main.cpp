// The program's entry point; start-up lives in module Public.
#include <windows.h>

#include "public.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) { return quillon::app::StartUp(instance); }
