// libobs started for a host of our own (the filter's test and its render
// benchmark): OpenGL (an X display is needed: run under xvfb-run), a canvas
// of the given size and rate, and velto-obs.so loaded from moduleDir with
// its data (effect, locale) from dataDir. false where any of it fails.
#pragma once

#include <cstdint>

bool startObs(const char* moduleDir, const char* dataDir, uint32_t width, uint32_t height,
              uint32_t fps);
