#pragma once
// What the menu windows share: the way back to the live view, and the
// screen objects they bind or show by id.

#include "dashrec/ui/MessageHandler.h"

namespace vk::menus {

// Closes to the live view, or first to formatting when the preferences need it.
void BackToLiveview(MessageHandler& window);

// The object of the window's screen, or a fatal assertion with the given text.
obj_common* Child(MessageHandler& window, int id, const char* assertion);

// Shows the text buffer in the window's text object.
void BindText(MessageHandler& window, int id, const char* buffer, const char* assertion);

void Show(MessageHandler& window, int id, bool shown);

// A window takes messages to itself or to every window; any other is refused
// with the window's tag in the printed line.
bool Accepts(MessageHandler& window, const ipc_msg_t& msg, const char* tag);

// INIT, PAINT, CLOSE and BUTTON to the window's handlers; false for any other command.
bool DispatchBasic(MessageHandler& window, ipc_msg_t& msg);

} // namespace vk::menus
