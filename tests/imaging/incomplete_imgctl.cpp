// A stand-in for a broken install: an image library that lacks three of the
// five functions.
#include <cstdint>

extern "C" __attribute__((visibility("default"))) std::int32_t ToDIB(const char*) { return 1; }
extern "C" __attribute__((visibility("default"))) void DeleteDIB(std::int32_t) {}
