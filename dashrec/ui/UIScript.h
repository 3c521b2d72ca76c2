#pragma once
// The screen description file: read once into the drawing context's states.

#include "dashrec/ui/UIObjectBuild.h"

#include <cstddef>

// Reads the screen file into `states`; images are resolved among the loaded ones.
void ui_parse(const char* path, state_map_t& states);
// The same from text already in memory, with images resolved by `lookup`.
void ui_parse_text(const char* text, size_t size, state_map_t& states, ImageLookup lookup);
// Deletes every object of every state and every state.
void ui_destroy_list(state_map_t& states);
// Drops the button's references to its normal and focus images. The images
// belong to the image table and stay loaded.
void obj_button_free(obj_button* button);
