#pragma once

namespace platform {

// Makes the application's style hand out the overflow arrows of menu bars and tool bars unread:
// each is read from the style the first time it is drawn or measured, so a start whose arrows are
// never shown loads no image reader for them.
void DeferStyleIcons();

}  // namespace platform
