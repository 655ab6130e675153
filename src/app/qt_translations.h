#pragma once

namespace tessapak::app {

// Installs Qt's own texts in Simplified Chinese (message-box buttons, the
// file and folder dialogs, context menus) whatever the system's locale, from
// the catalogue built into the program. Call once the application exists;
// a second call changes nothing. Returns whether the catalogue is installed.
bool installQtTranslations();

}  // namespace tessapak::app
