#pragma once
// Which side draws the notification-area icon's context menu. Where the session bus has a
// host of the D-Bus tray protocol, the icon goes through it and the host draws a menu handed
// to it in its own look; otherwise (an XEmbed tray) the program's own menu widget shows.

namespace stikko::tray {

// True when a StatusNotifierWatcher on the session bus says a host is registered: the same
// test the toolkit makes when it picks the protocol for the icon.
bool shellDrawsContextMenus();

} // namespace stikko::tray
