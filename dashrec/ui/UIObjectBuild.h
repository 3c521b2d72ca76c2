#pragma once
// Turns what the scanner collected into the objects of a screen: each
// attribute is offered to the common set first, then to the element's own.

#include "dashrec/ui/ScreenScanner.h"
#include "dashrec/ui/UIObject.h"

#include <string>

// Resolves an image attribute (a file name) to a loaded image.
typedef ImgData* (*ImageLookup)(const char* name);

// The object of one scanned element, or null for a name that is no object.
obj_common* ui_make_object(const vk::ScannedElement& element, ImageLookup lookup);

// A state with its attributes applied and no objects yet.
state_struct* ui_make_state(const vk::ScannedState& scanned, ImageLookup lookup);

// Alignment letters L C R T M B (any case), OR-ed; other characters are
// ignored. With `zStopsText` the letter Z replaces what came before by the
// no-text bit.
unsigned ui_align_from_letters(const std::string& letters, bool zStopsText);

// The text position code of a button from the first letter of the value.
unsigned char ui_text_pos_from_letter(const std::string& value);
