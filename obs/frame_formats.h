// The frames of asynchronous sources in their own formats, as the engine's
// BGRA words and back. YUV frames are turned to RGB with the frame's own
// matrix and range, as OBS's shaders turn them for the screen (each pixel
// takes the chroma sample it lies in), and the corrected words turned back;
// a chroma sample shared by several pixels gets their mean. Alpha planes and
// bytes are never written.
#pragma once

#include <cstdint>

#include <obs.h>

// Whether frameToWords and wordsToFrame handle the frame: an 8-bit format,
// its planes there and their rows long enough, and for YUV a matrix that
// has an inverse and a range made of numbers. Any other frame is left alone.
bool frameHandled(const obs_source_frame& frame);

// The frame's own memory, where it holds the words already (BGRA or BGRX
// rows without padding), so that it is analysed and corrected in place;
// nullptr otherwise. Only for frames that frameHandled takes.
uint32_t* frameOwnWords(obs_source_frame& frame);

// frame's width x height pixels as words, top row first without gaps;
// alpha 255 where the format has none.
void frameToWords(const obs_source_frame& frame, uint32_t* words);
// The words back into the frame's planes, in its format.
void wordsToFrame(const uint32_t* words, obs_source_frame& frame);
